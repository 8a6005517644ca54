// One round per method family through the node soap client, built from the WSDL a running zebd
// serves: a record is added, read back with its typed fields, updated, listed where the family
// lists, and removed; a refused request surfaces as an error whose fault detail holds the code
// and message.
//
// Usage: node node_soap_client_test.js ZEBD_BINARY  (with the soap package on NODE_PATH)
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const readline = require('readline');
const soap = require('soap');

const failures = [];
function check(actual, expected, what) {
  if (JSON.stringify(actual) !== JSON.stringify(expected)) {
    failures.push(`${what}: ${JSON.stringify(actual)}, expected ${JSON.stringify(expected)}`);
  }
}

// Starts zebd on a free loopback port with a fresh database; resolves with its port.
function startZebd(binary, dir) {
  const zebd = spawn(binary, ['--listen', '127.0.0.1:0', '--db', path.join(dir, 'zeb.db'), '--trace-dir',
                              path.join(dir, 'trace')], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    readline.createInterface({ input: zebd.stdout }).once('line', (line) => {
      const match = /^zebd listening on .*:(\d+)$/.exec(line);
      if (match) resolve({ zebd, port: Number(match[1]) });
      else reject(new Error(`zebd did not start: ${line}`));
    });
  });
}

async function run(client) {
  const call = async (method, args) => (await client[`${method}Async`](args))[0].return;
  const uuid = (element) => element.attributes.uuid;

  // Partitions and calling search spaces.
  const partition = await call('addRoutePartition', { newRoutePartition: { name: 'Internal', description: 'Staff' } });
  await call('updateRoutePartition', { name: 'Internal', description: 'All staff' });
  const got = (await call('getRoutePartition', { partitionId: partition })).routePartition;
  check([uuid(got), got.description, got.dialPlanWizardGenId], [partition, 'All staff', 0], 'getRoutePartition');
  check((await call('listRoutePartitionByName', { searchString: 'int%' })).routePartition.map((p) => p.name),
        ['Internal'], 'listRoutePartitionByName');
  const css = await call('addCSS', { newCSS: { name: 'Office', members: { member: [
    { attributes: { index: 1 }, routePartitionName: 'Internal' }] } } });

  // Pools, regions, locations and nodes.
  await call('addRegion', { region: { name: 'West' } });
  const region = (await call('getRegion', { name: 'West' })).region;
  const entry = region.relatedRegions.relatedRegion[0];
  await call('updateRegionMatrix', { uuid: uuid(entry), bandwidth: 'Wideband' });
  check((await call('getRegion', { name: 'West' })).region.relatedRegions.relatedRegion.map((r) => r.bandwidth),
        ['Wideband'], 'getRegion');

  // Lines and patterns.
  const line = await call('addLine', { newLine: {
    pattern: '1000', usage: 'Device', routePartitionName: 'Internal', callPickupGroup: {}, callWaitingEnabled: 'On',
    cfaCSSClause: '', mwiStatus: '', shareLineAppearanceCSS: {}, useFullyQualCallingPartyNum: 'Off' } });
  const park = await call('addCallPark', { callPark: { pattern: '700', usage: 'Call Park',
                                                       routePartitionName: 'Internal', dialcoreName: 'ZEBNODE1' } });
  await call('updateCallPark', { uuid: park, newPattern: '701' });
  check((await call('getCallPark', { uuid: park })).callPark.pattern, '701', 'getCallPark');
  check((await call('listRoutePlanByType', { usage: '' })).routePlan.map((p) => p.directoryNumber), ['1000', '701'],
        'listRoutePlanByType');

  // Route lists, groups, filters and dial plans.
  await call('addDialPlan', { dialPlan: { name: 'NANP' } });
  const tag = await call('addDialPlanTag', { dialPlanTag: { name: 'AREA', dialPlanName: 'NANP', operator: '==' } });
  await call('updateDialPlanTag', { uuid: tag, suppressFromRouteFilter: true });
  const gotTag = (await call('getDialPlanTag', { uuid: tag })).dialPlanTag;
  check([gotTag.operator, gotTag.suppressFromRouteFilter], ['==', true], 'getDialPlanTag');

  // Phones, profiles, login and reset.
  const phone = await call('addPhone', { newPhone: {
    name: 'SEP1', product: 'Desk Phone 40', model: '', class: '', protocol: 'Station', protocolSide: 'User',
    devicePoolName: 'Default', traceFlag: true } });
  await call('updatePhone', { uuid: phone, description: 'Lobby' });
  const device = (await call('getPhone', { phoneId: phone })).device;
  check([device.description, device.traceFlag, device.numberOfButtons], ['Lobby', true, 4], 'getPhone');
  check((await call('listPhoneByDescription', { searchString: 'lob%' })).phone.map((p) => p.name), ['SEP1'],
        'listPhoneByDescription');

  // Gateways, MGCP, voice-mail ports and route points.
  const point = await call('addCTIRoutePoint', { routePoint: {
    name: 'RP1', product: 'CTI Route Point', model: 'CTI Route Point', class: '', protocol: 'Station',
    protocolSide: 'User', devicePoolName: 'Default' } });
  await call('updateCTIRoutePoint', { uuid: point, description: 'Queue' });
  const gotPoint = (await call('getCTIRoutePoint', { uuid: point })).routePoint;
  check([gotPoint.description, gotPoint.class, gotPoint.devicePool.name], ['Queue', 'CTI Route Point', 'Default'],
        'getCTIRoutePoint');

  // Service parameters.
  const parameter = (await call('getServiceParameter', { name: 'MaxCallDuration', processNodeName: 'ZEBNODE1',
                                                          service: 'Call Processing' })).serviceParameter;
  check([parameter.value, parameter.primaryData], ['720', false], 'getServiceParameter');
  await call('updateServiceParameter', { uuid: uuid(parameter), newValue: '900' });
  const params = (await call('listServiceParameters', { nodeName: 'ZEBNODE1', serviceType: 'Call Processing' })).param;
  check(params.filter((p) => p.name === 'MaxCallDuration').map((p) => p.value), ['900'],
        'listServiceParameters');

  // Users.
  await call('addUser', { newUser: { firstname: 'Alice', lastname: 'Smith', ldapRN: 'asmith', ldapDN: '',
                                     email: 'a@example.com', password: 'pw', pin: '1234', enableCTI: true } });
  await call('updateUser', { ldapRN: 'asmith', department: 'Sales' });
  const user = (await call('getUser', { ldapRN: 'asmith' })).user;
  check([user.department, user.enableCTI], ['Sales', true], 'getUser');
  check((await call('listUserByName', { firstname: '', lastname: 'sm%' })).user.map((u) => u.ldapRN), ['asmith'],
        'listUserByName');

  // List and count queries.
  check(await call('getNumDevices', { class: 'Phone' }), 1, 'getNumDevices');
  check((await call('listCSSByName', { searchString: '%' })).callingSearchSpace.map((c) => c.name), ['Office'],
        'listCSSByName');

  // A refused request, and the removals.
  try {
    await call('getCSS', { name: 'Nope' });
    failures.push('getCSS of an unknown name was not refused');
  } catch (error) {
    const detail = error.root.Envelope.Body.Fault.detail.error;
    check([detail.code, detail.message.trim(), detail.request],
          ['2', 'The specified calling search space was not found.', 'getCSS'], 'fault detail');
  }
  for (const [method, args] of [['removeUser', { ldapRN: 'asmith' }], ['removeCTIRoutePoint', { uuid: point }],
                                ['removePhone', { deviceId: phone }], ['removeDialPlanTag', { uuid: tag }],
                                ['removeDialPlan', { name: 'NANP' }], ['removeCallPark', { uuid: park }],
                                ['removeLine', { uuid: line }], ['removeRegion', { name: 'West' }],
                                ['removeCSS', { uuid: css }], ['removeRoutePartition', { partitionId: partition }]]) {
    await call(method, args);
  }
  check((await call('listRoutePartitionByName', { searchString: '%' })) || null, null, 'partitions left');
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zebd-toolkit-'));
  const { zebd, port } = await startZebd(process.argv[2], dir);
  try {
    const client = await soap.createClientAsync(`http://127.0.0.1:${port}/QMSApi/ZEB/V1/zebsoap.wsdl`);
    await run(client);
  } finally {
    zebd.kill('SIGTERM');
    await new Promise((resolve) => zebd.once('exit', resolve));
    fs.rmSync(dir, { recursive: true, force: true });
  }
  for (const failure of failures) console.log(`FAILED ${failure}`);
  process.exitCode = failures.length ? 1 : 0;
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
