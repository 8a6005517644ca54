<?php
// Every method family of the ZEB API through PHP's SoapClient, built from the WSDL a running zebd
// serves (loaded by URL, no cache): each family's records are added, read back with their typed
// fields, updated and removed, with PHP's own booleans; a refused request surfaces as a SoapFault
// whose detail holds the code and message.
//
// Usage: php php_soap_client_test.php WSDL_URL (php_soap_client_test.py starts the zebd).

ini_set('soap.wsdl_cache_enabled', '0');

final class Api
{
    public array $called = [];
    public array $failures = [];
    private SoapClient $client;

    public function __construct(string $wsdl)
    {
        $this->client = new SoapClient($wsdl, ['cache_wsdl' => WSDL_CACHE_NONE, 'exceptions' => true,
                                               'features' => SOAP_SINGLE_ELEMENT_ARRAYS, 'trace' => true]);
    }

    public function methods(): array
    {
        $names = [];
        foreach ($this->client->__getFunctions() as $signature) {
            preg_match('/ (\w+)\(/', $signature, $match);
            $names[$match[1]] = true;
        }
        return array_keys($names);
    }

    // Calls a method with its request's children; returns the response's "return".
    public function __invoke(string $method, array $request = [])
    {
        $this->called[$method] = true;
        try {
            return $this->client->__soapCall($method, [$request])->return;
        } catch (SoapFault $fault) {
            throw new RuntimeException("$method: " . trim($fault->getMessage()) . "\n  " .
                                       $this->client->__getLastRequest());
        }
    }

    // Values and their types must match: a number is no text, a boolean no number.
    public function check($actual, $expected, string $what): void
    {
        if ($actual !== $expected) {
            $this->failures[] = "$what: " . var_export($actual, true) . ", expected " . var_export($expected, true);
        }
    }

    // Calls a request the server refuses and checks the fault's detail.
    public function refused(string $method, int $code, string $message, array $request): void
    {
        $this->called[$method] = true;
        try {
            $this->client->__soapCall($method, [$request]);
            $this->failures[] = "$method was not refused";
        } catch (SoapFault $fault) {
            $error = $fault->detail->error;
            $this->check((int) $error->code, $code, "$method fault code");
            $this->check(trim($error->message), $message, "$method fault message");
            $this->check(trim($fault->getMessage()), $message, "$method faultstring");
            $this->check($error->request, $method, "$method fault request");
        }
    }
}

function partitions(Api $api): array
{
    $internal = $api('addRoutePartition', ['newRoutePartition' => ['name' => 'Internal', 'description' => 'Staff']]);
    $spare = $api('addRoutePartition', ['newRoutePartition' => ['name' => 'Spare']]);
    $api->refused('addRoutePartition', 3, 'A Route Partition named "Internal" already exists.',
                  ['newRoutePartition' => ['name' => 'Internal']]);
    $rp = $api('getRoutePartition', ['partitionName' => 'Internal'])->routePartition;
    $api->check([$rp->uuid, $rp->name, $rp->description, $rp->dialPlanWizardGenId],
                [$internal, 'Internal', 'Staff', 0], 'getRoutePartition');
    $api('updateRoutePartition', ['name' => 'Spare', 'newName' => 'Spare2']);
    $listed = $api('listRoutePartitionByName', ['searchString' => '%'])->routePartition;
    $api->check(array_map(fn($p) => $p->name, $listed), ['Internal', 'Spare2'], 'listRoutePartitionByName');
    $members = ['member' => [['index' => 2, 'routePartition' => ['uuid' => $spare]],
                             ['index' => 1, 'routePartitionName' => 'Internal']]];
    $css = $api('addCSS', ['newCSS' => ['name' => 'Office', 'members' => $members]]);
    $got = $api('getCSS', ['name' => 'Office'])->callingSearchSpace;
    $api->check(array_map(fn($m) => [$m->index, $m->routePartitionName], $got->members->member),
                [[2, 'Spare2'], [1, 'Internal']], 'getCSS');
    $api('updateCSS', ['uuid' => $css, 'description' => 'Front desks']);
    $listed = $api('listCSSByName', ['searchString' => 'off%'])->callingSearchSpace;
    $api->check([$listed[0]->name, $listed[0]->description], ['Office', 'Front desks'], 'listCSSByName');
    $api->refused('getCSS', 2, 'The specified calling search space was not found.', ['name' => 'Nope']);
    return ['internal' => $internal, 'css' => $css];
}

function system_records(Api $api): void
{
    $api('addRegion', ['region' => ['name' => 'West']]);
    $entry = $api('getRegion', ['name' => 'West'])->region->relatedRegions->relatedRegion[0];
    $api->check([$entry->name, $entry->bandwidth], ['Default', 'G.711'], 'getRegion');
    $api('updateRegionMatrix', ['uuid' => $entry->uuid, 'bandwidth' => 'G.729']);

    $api('addLocation', ['location' => ['name' => 'HQ', 'id' => '0', 'kbits' => 64]]);
    $api('updateLocation', ['name' => 'HQ', 'kbits' => 128]);
    $location = $api('getLocation', ['name' => 'HQ'])->location;
    $api->check([$location->name, $location->kbits], ['HQ', 128], 'getLocation');

    $node = $api('addDialcore', ['dialcore' => [
        'name' => 'Node2', 'description' => 'second',
        'autoregistration' => ['startDN' => 1000, 'endDN' => 1999, 'nextDN' => 1000,
                               'routePartitionName' => 'Internal', 'e164Mask' => '+1'],
        'ports' => ['analogAccessPort' => 1, 'digitalAccessPort' => 2, 'ethernetPhonePort' => 3,
                    'mgcpPorts' => ['listen' => 4, 'keepAlive' => 5]],
        'processNodeName' => 'ZEBNODE1']]);
    $api('updateDialcore', ['name' => 'Node2', 'description' => 'updated']);
    $got = $api('getDialcore', ['uuid' => $node])->dialcore;
    $api->check([$got->description, $got->ports->mgcpPorts->keepAlive, $got->autoRegistration->endDN],
                ['updated', 5, 1999], 'getDialcore');

    // A boolean PHP writes as it likes, in the element the server reads as "true" or "false".
    $api('addDialcoreGroup', ['dialcoreGroup' => ['name' => 'Pair', 'tftpDefault' => false, 'members' => [
        'member' => [['priority' => 1, 'dialcoreName' => 'Node2'], ['priority' => 0, 'dialcoreName' => 'ZEBNODE1']]]]]);
    $api('updateDialcoreGroup', ['name' => 'Pair', 'newName' => 'Pair2', 'tftpDefault' => true]);
    $group = $api('getDialcoreGroup', ['name' => 'Pair2'])->dialcoreGroup;
    $api->check([$group->tftpDefault, array_map(fn($m) => [$m->priority, $m->dialcore->name], $group->members->member)],
                [true, [[1, 'Node2'], [0, 'ZEBNODE1']]], 'getDialcoreGroup');

    $api('addDevicePool', ['devicePool' => [
        'name' => 'Branch', 'dateTimeSettingName' => 'Default', 'dialcoreGroupName' => 'Pair2', 'regionName' => 'West',
        'softkeyTemplateName' => 'Standard User', 'networkLocale' => 'Germany', 'userLocale' => 'German Germany',
        'networkHoldMOHAudioSourceId' => 3, 'userHoldMOHAudioSourceId' => 4, 'havenName' => 'Disable']]);
    $api('updateDevicePool', ['name' => 'Branch', 'userHoldMOHAudioSourceId' => 7]);
    $pool = $api('getDevicePool', ['name' => 'Branch'])->devicePool;
    $api->check([$pool->region->name, $pool->userHoldMOHAudioSourceId, $pool->havenInfo->userModifiable],
                ['West', 7, false], 'getDevicePool');
}

function analog_port(int $number): array
{
    return ['portNumber' => $number, 'callerIdEnable' => true, 'callingPartySelection' => 'Originator',
            'digitSending' => 'DTMF', 'expectedDigits' => 4, 'finalDigits' => ['_' => 3, 'significant' => true],
            'presentationBit' => 'Allowed', 'silenceSuppressionThreshold' => 'Default', 'smdiPortNumber' => 7,
            'startDialProtocol' => 'Wink', 'timers' => ['timer' => [1, 2, 3, 4, 5, 6]], 'trunk' => 'Loop Start',
            'trunkDirection' => 'Bothways', 'trunkLevel' => '0dB', 'trunkPadRx' => 'NoPadding',
            'trunkPadTx' => 'NoPadding'];
}

function analog_gateway(string $name): array
{
    return ['name' => $name, 'product' => 'Analog Access 2', 'model' => '', 'class' => '',
            'protocol' => 'Analog Access', 'protocolSide' => 'Network', 'devicePoolName' => 'Default',
            'traceFlag' => false, 'country' => 'Germany', 'maxPorts' => '2',
            'ports' => ['port' => [analog_port(1)]], 'trunkSelectionOrder' => 'Top Down'];
}

function gateways(Api $api): string
{
    $gateway = $api('addGatewayEndpoint', ['newGateway' => analog_gateway('GW-A')]);
    $api('updateGatewayEndpoint', ['name' => 'GW-A', 'description' => 'Hall',
                                   'analog' => ['trunkSelectionOrder' => 'Bottom Up']]);
    $device = $api('getGatewayEndpoint', ['uuid' => $gateway])->device;
    $port = $device->ports->port[0];
    $api->check([$device->description, $port->portNumber, $port->finalDigits->_, $port->finalDigits->significant,
                 $port->callerIdEnable, $port->smdiPortNumber, $port->timers->timer],
                ['Hall', 1, 3, true, true, 7, [1, 2, 3, 4, 5, 6]], 'getGatewayEndpoint');

    $domain = ['domainName' => 'gw1.example'];
    $api('addMGCP', ['newMGCP' => ['domainName' => 'gw1.example', 'description' => 'Branch',
                                   'product' => 'Branch Gateway 2', 'model' => '', 'dialcoreGroupName' => 'Default',
                                   'versionStamp' => '', 'loadInformation' => 'BG2.1']]);
    $api('addMGCPUnit', $domain + ['unit' => ['index' => 0, 'product' => 'Voice Network Module']]);
    $api('addMGCPSubunit', $domain + ['unit' => ['index' => 0], 'subunit' => ['index' => 1, 'product' => 'Two-Port FXS']]);
    $endpoint = array_merge(analog_gateway('EP-A'), ['product' => 'MGCP Station', 'maxPorts' => '1', 'index' => 2]);
    $api('addMGCPEndpoint', $domain + ['unit' => ['index' => 0], 'subunit' => ['index' => 1], 'endpoint' => $endpoint]);
    $api('updateMGCP', $domain + ['description' => 'Branch office']);
    $mgcp = $api('getMGCP', $domain)->mgcp;
    $unit = $mgcp->units->unit[0];
    $api->check([$mgcp->description, $unit->index, $unit->subunits->subunit[0]->endpoints->endpoint[0]->index],
                ['Branch office', 0, 2], 'getMGCP');
    $api('removeMGCPEndpoint', $domain + ['unit' => ['index' => 0], 'subunit' => ['index' => 1], 'endpoint' => ['index' => 2]]);
    $api('removeMGCPSubunit', $domain + ['unit' => ['index' => 0], 'subunit' => ['index' => 1]]);
    $api('removeMGCPUnit', $domain + ['unit' => ['index' => 0]]);
    $api('removeMGCP', $domain);
    $api->refused('getMGCP', 2, 'MGCP gateway device not found.', $domain);
    return $gateway;
}

function dial_plans(Api $api): void
{
    $api('addDialPlan', ['dialPlan' => ['name' => 'NANP', 'description' => 'North America']]);
    $api('updateDialPlan', ['name' => 'NANP', 'description' => 'NA']);
    $api->check($api('getDialPlan', ['name' => 'NANP'])->dialPlan->description, 'NA', 'getDialPlan');
    $tag = $api('addDialPlanTag', ['dialPlanTag' => ['name' => 'AREA-CODE', 'dialPlanName' => 'NANP',
                                                     'operator' => '==', 'suppressFromRouteFilter' => true]]);
    $got = $api('getDialPlanTag', ['uuid' => $tag])->dialPlanTag;
    $api->check([$got->name, $got->suppressFromRouteFilter], ['AREA-CODE', true], 'getDialPlanTag');
    $api('updateDialPlanTag', ['uuid' => $tag, 'suppressFromRouteFilter' => false]);
    $api->check($api('getDialPlanTag', ['uuid' => $tag])->dialPlanTag->suppressFromRouteFilter, false,
                'updateDialPlanTag');

    $api('addDDI', ['ddi' => ['name' => 'PreDot', 'dialPlanName' => 'NANP',
                              'members' => ['member' => [['dialPlanTagName' => 'AREA-CODE']]]]]);
    $api('updateDDI', ['name' => 'PreDot', 'newName' => 'PreDot2']);
    $ddi = $api('getDDI', ['name' => 'PreDot2'])->ddi;
    $api->check([$ddi->clause, $ddi->digitAnalysisId], ['AREA-CODE', 0], 'getDDI');

    $api('addRouteFilter', ['rfPtr' => ['name' => 'Local', 'dialPlanName' => 'NANP', 'members' => ['member' => [
        ['priority' => 1, 'dialPlanTagName' => 'AREA-CODE', 'digits' => '214', 'operator' => '==']]]]]);
    $api('updateRouteFilter', ['name' => 'Local', 'newName' => 'Metro']);
    $rf = $api('getRouteFilter', ['name' => 'Metro'])->routeFilter;
    $api->check([$rf->clause, $rf->members->member[0]->priority], ['(AREA-CODE == 214)', 1], 'getRouteFilter');
}

function routing(Api $api): void
{
    $api('addRouteGroup', ['routeGroup' => ['name' => 'Trunks', 'members' => ['member' => [
        ['port' => 0, 'deviceSelectionOrder' => 1, 'dialPlanWizardGenId' => '0', 'deviceName' => 'GW-A']]]]]);
    $api('updateRouteGroup', ['name' => 'Trunks', 'newName' => 'Trunks2']);
    $member = $api('getRouteGroup', ['name' => 'Trunks2'])->routeGroup->members->member[0];
    $api->check([$member->port, $member->deviceSelectionOrder], [0, 1], 'getRouteGroup');
    $api('addRouteList', ['routeList' => ['name' => 'RL1', 'members' => ['member' => [
        ['routeGroupName' => 'Trunks2', 'routeGroupSelectionOrder' => 1,
         'useFullyQualifiedCallingPartyNumber' => 'Default']]]]]);
    $api('updateRouteList', ['name' => 'RL1', 'description' => 'Main']);
    $list = $api('getRouteList', ['name' => 'RL1'])->routeList;
    $api->check([$list->description, $list->members->member[0]->routeGroupName], ['Main', 'Trunks2'], 'getRouteList');
}

function numbers(Api $api, array $ids): array
{
    $settings = ['usage' => 'Device', 'routePartitionName' => 'Internal', 'callPickupGroup' => [],
                 'callWaitingEnabled' => 'On', 'cfaCSSClause' => '', 'mwiStatus' => '', 'shareLineAppearanceCSS' => [],
                 'useFullyQualCallingPartyNum' => 'Off'];
    $forward = ['forwardToVoiceMail' => true, 'callingSearchSpace' => ['uuid' => $ids['css']], 'destination' => '2000'];
    $line = $api('addLine', ['newLine' => ['pattern' => '1000', 'description' => 'Reception'] + $settings +
                                           ['callForwardAll' => $forward]]);
    $line2 = $api('addLine', ['newLine' => ['pattern' => '1001'] + $settings]);
    $api('updateLine', ['uuid' => $line, 'callWaitingEnabled' => 'Off']);
    $dn = $api('getLine', ['uuid' => $line])->directoryNumber;
    $api->check([$dn->pattern, $dn->callWaitingEnabled, $dn->callForwardAll->forwardToVoiceMail,
                 $dn->callForwardAll->destination], ['1000', 'Off', true, '2000'], 'getLine');

    $routing = ['usage' => 'Translation', 'routePartitionName' => 'Internal', 'blockEnable' => false,
                'calledPartyTransformationMask' => '', 'callingPartyTransformationMask' => '',
                'useCallingPartyPhoneMask' => 'Default', 'dialPlan' => [], 'dialPlanWizardGenId' => '0',
                'digitDiscardInstruction' => [], 'messageWaiting' => 'Default', 'networkLocation' => 'OffNet',
                'patternUrgency' => true, 'prefixDigitsOut' => '', 'routeFilter' => []];
    $trans = $api('addTransPattern', ['newPattern' => ['pattern' => '9.@'] + $routing +
                                                      ['callingSearchSpaceName' => 'Office']]);
    $api('updateTransPattern', ['uuid' => $trans, 'description' => 'Outside']);
    $got = $api('getTransPattern', ['uuid' => $trans])->pattern;
    $api->check([$got->description, $got->patternUrgency, $got->blockEnable, $got->dialPlanWizardGenId],
                ['Outside', true, false, 0], 'getTransPattern');
    $route = $api('addRoutePattern', ['newPattern' => array_merge(['pattern' => '8.@'], $routing, ['usage' => 'Route',
        'destination' => ['routeListName' => 'RL1']])]);
    $api('updateRoutePattern', ['uuid' => $route, 'destination' => ['gatewayName' => 'GW-A']]);
    $got = $api('getRoutePattern', ['uuid' => $route])->pattern;
    $api->check([$got->uuid, $got->destination->gatewayName, $got->blockEnable], [$route, 'GW-A', false],
                'getRoutePattern');

    $park = $api('addCallPark', ['callPark' => ['pattern' => '700', 'usage' => 'Call Park',
                                                'routePartitionName' => 'Internal', 'dialcoreName' => 'ZEBNODE1']]);
    $api('updateCallPark', ['uuid' => $park, 'description' => 'Lobby']);
    $api->check($api('getCallPark', ['uuid' => $park])->callPark->uuid, $park, 'getCallPark');
    $pickup = $api('addCallPickupGroup', ['callPickup' => ['pattern' => '*77', 'usage' => 'Call Pickup Group']]);
    $api('updateCallPickupGroup', ['uuid' => $pickup, 'newPattern' => '*78']);
    $api->check($api('getCallPickupGroup', ['uuid' => $pickup])->callPickup->pattern, '*78', 'getCallPickupGroup');
    $plans = $api('listRoutePlanByType', ['usage' => 'Device'])->routePlan;
    $api->check(array_map(fn($p) => $p->directoryNumber, $plans), ['1000', '1001'], 'listRoutePlanByType');
    return ['line' => $line, 'line2' => $line2, 'trans' => $trans, 'route' => $route, 'park' => $park,
            'pickup' => $pickup];
}

function ports(Api $api, array $numbers): void
{
    $head = ['model' => '', 'class' => '', 'protocol' => 'Station', 'protocolSide' => 'User',
             'devicePoolName' => 'Default'];
    $line = ['index' => 1, 'label' => 'Port', 'display' => 'Voice', 'dirn' => ['uuid' => $numbers['line2']],
             'ringSetting' => 'Ring'];
    $api('addVoiceMailPort', ['voiceMailPort' => ['name' => 'VM1', 'product' => 'Voice Mail Port'] + $head +
                                                 ['traceFlag' => true, 'line' => [$line]]]);
    $api('updateVoiceMailPort', ['name' => 'VM1', 'description' => 'Mailbox', 'traceFlag' => false]);
    $port = $api('getVoiceMailPort', ['name' => 'VM1'])->voiceMailPort;
    $api->check([$port->description, $port->traceFlag, $port->line->index], ['Mailbox', false, 1], 'getVoiceMailPort');
    $api('removeVoiceMailPort', ['name' => 'VM1']);

    $api('addCTIRoutePoint', ['routePoint' => ['name' => 'RP1', 'product' => 'CTI Route Point'] + $head +
                                              ['lines' => ['line' => [$line]]]]);
    $api('updateCTIRoutePoint', ['name' => 'RP1', 'description' => 'Queue']);
    $point = $api('getCTIRoutePoint', ['name' => 'RP1'])->routePoint;
    $api->check([$point->description, $point->lines->line[0]->index], ['Queue', 1], 'getCTIRoutePoint');
    $api('removeCTIRoutePoint', ['name' => 'RP1']);
}

function phones(Api $api, array $numbers): void
{
    $phone = $api('addPhone', ['newPhone' => [
        'name' => 'SEP001122334455', 'description' => 'Desk', 'product' => 'Desk Phone 40', 'model' => '',
        'class' => '', 'protocol' => 'Station', 'protocolSide' => 'User', 'callingSearchSpaceName' => 'Office',
        'devicePoolName' => 'Branch', 'locationName' => 'HQ', 'traceFlag' => true,
        'lines' => ['line' => [['index' => 1, 'label' => 'Main', 'display' => 'Reception',
                                'dirn' => ['uuid' => $numbers['line']], 'ringSetting' => 'Ring']]],
        'phoneTemplateName' => 'Standard Desk Phone 40',
        'speeddials' => ['speeddial' => [['index' => 1, 'dirn' => '2000', 'label' => 'Boss']]],
        'idleTimeout' => 30, 'softkeyTemplateName' => 'Standard Feature']]);
    $api('updatePhone', ['name' => 'SEP001122334455', 'description' => 'Front desk', 'traceFlag' => false]);
    $device = $api('getPhone', ['phoneName' => 'SEP001122334455'])->device;
    $api->check([$device->uuid, $device->description, $device->traceFlag, $device->numberOfButtons,
                 $device->idleTimeout, $device->lines->line[0]->index, $device->enableExtensionMobility,
                 $device->defaultProfile->uuid],
                [$phone, 'Front desk', false, 4, 30, 1, false, ''], 'getPhone');
    $listed = $api('listPhoneByName', ['searchString' => 'SEP%'])->phone;
    $api->check([$listed[0]->name, $listed[0]->product], ['SEP001122334455', 'Desk Phone 40'], 'listPhoneByName');
    $api->check($api('listPhoneByDescription', ['searchString' => 'front%'])->phone[0]->uuid, $phone,
                'listPhoneByDescription');
    $api->check($api('getNumDevices', ['class' => 'Phone']), 1, 'getNumDevices');

    $api('addDeviceProfile', ['newProfile' => ['name' => 'Roaming', 'product' => 'Desk Phone 12', 'model' => '',
        'class' => '', 'protocol' => '', 'protocolSide' => '',
        'lines' => ['line' => [['index' => 1, 'label' => 'L', 'display' => 'D', 'dirnId' => $numbers['line2']]]]]]);
    $api('updateDeviceProfile', ['name' => 'Roaming', 'description' => 'Hot desk']);
    $profile = $api('getDeviceProfile', ['profileName' => 'Roaming'])->profile;
    $api->check([$profile->description, $profile->lines->line[0]->index], ['Hot desk', 1], 'getDeviceProfile');
    $api->check($api('doDeviceLogin', ['deviceName' => 'SEP001122334455', 'loginDuration' => 60,
                                       'profileName' => 'Roaming', 'userId' => 'asmith']), 'true', 'doDeviceLogin');
    $api->check($api('doDeviceLogout', ['deviceName' => 'SEP001122334455']), 'true', 'doDeviceLogout');
    $api->check($api('doDeviceReset', ['deviceName' => 'SEP001122334455', 'isHardReset' => true]), 'true',
                'doDeviceReset');
    $api->refused('doDeviceReset', 5003, 'Invalid boolean value:  true',
                  ['deviceName' => 'SEP001122334455', 'isHardReset' => new SoapVar(' true', XSD_STRING)]);
    $generated = $api('createAutogeneratedProfile', ['phoneName' => 'SEP001122334455']);
    $api->refused('removeDeviceProfile', 2, 'Cannot delete an auto-generated profile.', ['deviceId' => $generated]);
    $api('removeDeviceProfile', ['deviceName' => 'Roaming']);
    $api->check($api('removePhone', ['deviceName' => 'SEP001122334455']), $phone, 'removePhone');
}

function parameters(Api $api): void
{
    $listed = $api('listServiceParameters', ['nodeName' => 'ZEBNODE1', 'serviceType' => 'Call Processing'])->param;
    $api->check(in_array('MaxCallDuration', array_map(fn($p) => $p->name, $listed), true), true,
                'listServiceParameters');
    $parameter = $api('getServiceParameter', ['name' => 'MaxCallDuration', 'processNodeName' => 'ZEBNODE1',
                                              'service' => 'Call Processing'])->serviceParameter;
    $api->check([$parameter->value, $parameter->primaryData], ['720', false], 'getServiceParameter');
    $api('updateServiceParameter', ['uuid' => $parameter->uuid, 'newValue' => '900']);
    $api->check($api('getServiceParameter', ['uuid' => $parameter->uuid])->serviceParameter->value, '900',
                'updateServiceParameter');
}

function users(Api $api): void
{
    $api->check($api('addUser', ['newUser' => ['firstname' => 'Alice', 'lastname' => 'Smith', 'ldapRN' => 'asmith',
        'ldapDN' => '', 'email' => 'alice@example.com', 'password' => 'pw', 'pin' => '1234',
        'telephoneNumber' => '1000', 'enableCTI' => true, 'enableCTIAllDevices' => false,
        'associatedDevices' => ['device' => ['SEP1', 'SEP2']]]]), 'true', 'addUser');
    $api('updateUser', ['ldapRN' => 'asmith', 'department' => 'Sales']);
    $user = $api('getUser', ['ldapRN' => 'asmith'])->user;
    $api->check([$user->firstName, $user->department, $user->enableCTI, $user->associatedDevices->device],
                ['Alice', 'Sales', true, ['SEP1', 'SEP2']], 'getUser');
    $listed = $api('listUserByName', ['firstname' => 'al%', 'lastname' => ''])->user;
    $api->check([$listed[0]->ldapRN, $listed[0]->lastname], ['asmith', 'Smith'], 'listUserByName');
    $api('removeUser', ['ldapRN' => 'asmith']);
}

function remove_everything(Api $api, array $ids, array $numbers, string $gateway): void
{
    foreach ([['removeRoutePattern', ['uuid' => $numbers['route']]], ['removeTransPattern', ['uuid' => $numbers['trans']]],
              ['removeCallPark', ['uuid' => $numbers['park']]], ['removeCallPickupGroup', ['uuid' => $numbers['pickup']]],
              ['removeRouteList', ['name' => 'RL1']], ['removeRouteGroup', ['name' => 'Trunks2']],
              ['removeRouteFilter', ['name' => 'Metro']], ['removeDDI', ['name' => 'PreDot2']],
              ['removeDialPlanTag', ['name' => 'AREA-CODE']], ['removeDialPlan', ['name' => 'NANP']],
              ['removeGatewayEndpoint', ['uuid' => $gateway]], ['removeLine', ['uuid' => $numbers['line']]],
              ['removeLine', ['uuid' => $numbers['line2']]], ['removeDevicePool', ['name' => 'Branch']],
              ['removeDialcoreGroup', ['name' => 'Pair2']], ['removeDialcore', ['name' => 'Node2']],
              ['removeLocation', ['name' => 'HQ']], ['removeRegion', ['name' => 'West']],
              ['removeCSS', ['uuid' => $ids['css']]], ['removeRoutePartition', ['partitionName' => 'Spare2']],
              ['removeRoutePartition', ['partitionId' => $ids['internal']]]] as [$method, $request]) {
        $api($method, $request);
    }
}

// A warning (a property read on a missing response) ends the family it happens in.
set_error_handler(function (int $level, string $message, string $file, int $line) {
    throw new ErrorException($message, 0, $level, $file, $line);
});
$api = new Api($argv[1]);
try {
    $ids = partitions($api);
    system_records($api);
    $gateway = gateways($api);
    dial_plans($api);
    routing($api);
    $numbers = numbers($api, $ids);
    ports($api, $numbers);
    phones($api, $numbers);
    parameters($api);
    users($api);
    remove_everything($api, $ids, $numbers, (string) $gateway);
} catch (Throwable $error) {
    $api->failures[] = 'stopped: ' . $error->getMessage() . ' at line ' . $error->getLine();
}
$methods = $api->methods();
$missing = array_diff($methods, array_keys($api->called));
if (count($methods) !== 120 || $missing) {
    $api->failures[] = 'methods not called: ' . implode(', ', $missing);
}
foreach ($api->failures as $failure) {
    echo "FAILED $failure\n";
}
printf("%d methods called, %d failures\n", count($api->called), count($api->failures));
exit($api->failures ? 1 : 0);
