// The seed data of a fresh cluster: every enumerated type with the numbers the API relies on and
// a small catalogue of products and models, the enterprise-wide pseudo node and one
// call-processing node with their parameters, per-model defaults, and the default records every
// cluster starts with. Seeded rows have fixed identifiers so that every installation agrees.
#include <initializer_list>
#include <string>
#include <vector>

#include "zdl/CLdapConfig.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/SecretHash.h"
#include "zdl/TypeEnums.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

namespace {

using Row = std::vector<CZDLValue>;

class Seeder {
 public:
  explicit Seeder(CZDLSession& session) : session_(session) {}

  void Rows(const char* table, const std::vector<std::string>& columns, std::initializer_list<Row> rows) {
    const std::string sql = session_.dialect().InsertIgnore(table, columns, columns.front());
    for (const Row& row : rows) session_.Execute(sql, row);
  }

  // A type table with only Enum and Name.
  void Types(const char* table, std::initializer_list<std::pair<long, const char*>> rows) {
    const std::string sql = session_.dialect().InsertIgnore(table, {"Enum", "Name"}, "Enum");
    for (const auto& row : rows) session_.Execute(sql, {row.first, row.second});
  }

 private:
  CZDLSession& session_;
};

// Identifiers of seeded records.
const char kEnterpriseNode[] = "{00000000-1111-0000-0000-000000000000}";
const char kNode[] = "{5EED0000-0000-0000-0000-000000000001}";
const char kDialcore[] = "{5EED0000-0000-0000-0001-000000000001}";
const char kDialcoreGroup[] = "{5EED0000-0000-0000-0002-000000000001}";
const char kDateTime[] = "{5EED0000-0000-0000-0003-000000000001}";
const char kRegion[] = "{5EED0000-0000-0000-0004-000000000001}";
const char kSoftkeyStandard[] = "{5EED0000-0000-0000-0005-000000000001}";
const char kSoftkeyFeature[] = "{5EED0000-0000-0000-0005-000000000002}";
const char kHavenDisable[] = "{5EED0000-0000-0000-0006-000000000001}";
const char kHavenDefault[] = "{5EED0000-0000-0000-0006-000000000002}";
const char kDevicePool[] = "{5EED0000-0000-0000-0007-000000000001}";

void SeedTypes(Seeder& seed) {
  seed.Types("TypeClass", {{kClassPhone, "Phone"}, {kClassGateway, "Gateway"},
                           {kClassConferenceBridge, "Conference Bridge"},
                           {kClassMediaTermination, "Media Termination Point"}, {kClassRouteList, "Route List"},
                           {kClassVoiceMailPort, "Voice Mail Port"}, {kClassCTIRoutePoint, "CTI Route Point"},
                           {kClassEmulatedPhone, "Emulated Phone"}, {kClassDeviceProfile, "Device Profile"}});
  seed.Rows("TypeModel", {"Enum", "Name", "tkClass", "NumButtons"},
            {{7, "Desk Phone 12", kClassPhone, 2},
             {8, "Desk Phone 40", kClassPhone, 4},
             {9, "Desk Phone 60", kClassPhone, 6},
             {10, "Conference Phone 10", kClassPhone, 1},
             {kModelAnalogAccess2, "Analog Access 2", kClassGateway, 0},
             {kModelDigitalAccessT1, "Digital Access T1", kClassGateway, 0},
             {kModelDigitalAccessPri, "Digital Access PRI", kClassGateway, 0},
             {kModelAnalogStation24, "Analog Station 24", kClassGateway, 0},
             {50, "Conference Bridge", kClassConferenceBridge, 0},
             {51, "Media Termination Point", kClassMediaTermination, 0},
             {73, "CTI Route Point", kClassCTIRoutePoint, 0},
             {85, "Voice Mail Port", kClassVoiceMailPort, 0},
             {90, "Route List", kClassRouteList, 0},
             {100, "Emulated Phone", kClassEmulatedPhone, 1},
             {110, "Software Conference Bridge", kClassConferenceBridge, 0},
             {111, "Software Media Termination Point", kClassMediaTermination, 0},
             {kModelMGCPStation, "MGCP Station", kClassGateway, 0},
             {kModelMGCPTrunk, "MGCP Trunk", kClassGateway, 0},
             {130, "Branch Gateway 2", kClassGateway, 0},
             {131, "Branch Gateway 4", kClassGateway, 0}});
  // kProductUnknown is left out on purpose: it marks an unknown product name in some clients.
  seed.Rows("TypeProduct", {"Enum", "Name", "tkModel", "tkClass", "tkDeviceProtocol", "MaxPorts"},
            {{7, "Desk Phone 12", 7, kClassPhone, kProtocolStation, 0},
             {8, "Desk Phone 40", 8, kClassPhone, kProtocolStation, 0},
             {9, "Conference Phone 10", 10, kClassPhone, kProtocolStation, 0},
             {kProductCTIRoutePoint, "CTI Route Point", 73, kClassCTIRoutePoint, kProtocolStation, 0},
             {kProductVoiceMailPort, "Voice Mail Port", 85, kClassVoiceMailPort, kProtocolStation, 0},
             {30, "Analog Access 2", kModelAnalogAccess2, kClassGateway, kProtocolAnalog, 2},
             {kProductDeskPhone60, "Desk Phone 60", 9, kClassPhone, kProtocolStation, 0},
             {kProductRouteList, "Route List", 90, kClassRouteList, kProtocolStation, 0},
             {42, "Digital Access T1", kModelDigitalAccessT1, kClassGateway, kProtocolT1, 24},
             {43, "Digital Access PRI", kModelDigitalAccessPri, kClassGateway, kProtocolPri, 23},
             {47, "Analog Station 24", kModelAnalogStation24, kClassGateway, kProtocolAnalog, 24},
             {50, "Conference Bridge", 50, kClassConferenceBridge, kProtocolStation, 0},
             {51, "Media Termination Point", 51, kClassMediaTermination, kProtocolStation, 0},
             {100, "Emulated Phone", 100, kClassEmulatedPhone, kProtocolStation, 0},
             {110, "Software Conference Bridge", 110, kClassConferenceBridge, kProtocolStation, 0},
             {111, "Software Media Termination Point", 111, kClassMediaTermination, kProtocolStation, 0},
             {120, "MGCP Station", kModelMGCPStation, kClassGateway, kProtocolAnalog, 0},
             {121, "MGCP Trunk", kModelMGCPTrunk, kClassGateway, kProtocolT1, 0},
             {130, "Branch Gateway 2", 130, kClassGateway, kProtocolMediaGateway, 0},
             {131, "Branch Gateway 4", 131, kClassGateway, kProtocolMediaGateway, 0}});
  seed.Types("TypeDeviceProtocol", {{kProtocolStation, "Station"}, {kProtocolPri, "Digital Access PRI"},
                                    {kProtocolMediaGateway, "Media Gateway Control"}, {kProtocolAnalog, "Analog Access"},
                                    {kProtocolT1, "Digital Access T1"}, {kProtocolInterCluster, "Inter-Cluster Trunk"}});
  seed.Types("TypeProtocolSide", {{kProtocolSideUser, "User"}, {kProtocolSideNetwork, "Network"}});
  seed.Types("TypeDeviceProfile", {{kProfileRealDevice, "Real Device"}, {kProfileUser, "User Profile"},
                                   {kProfileAutoGenerated, "Autogenerated Profile"}});
  seed.Types("TypePatternUsage", {{kUsageCallPark, "Call Park"}, {kUsageConference, "Conference"},
                                  {kUsageDirectoryNumber, "Device"}, {kUsageTranslation, "Translation"},
                                  {kUsageCallPickup, "Call Pickup Group"}, {kUsageRoute, "Route"},
                                  {kUsageMessageWaiting, "Message Waiting"}});
  seed.Types("TypeStatus", {{0, "Off"}, {1, "On"}, {2, "Default"}});
  seed.Types("TypeLampBlinkRate", {{0, "Default"}, {1, "On"}, {2, "Off"}, {3, "Wink"}, {4, "Flash"}, {5, "Blink"}});
  seed.Types("TypeNetworkLocation", {{0, "OnNet"}, {1, "OffNet"}});
  seed.Types("TypeRingSetting", {{0, "Use System Default"}, {1, "Disable"}, {2, "Flash Only"}, {3, "Ring Once"},
                                 {4, "Ring"}, {5, "Beep Only"}});
  seed.Types("TypeMWLPolicy", {{0, "Use System Policy"}, {1, "Light and Prompt"}, {2, "Prompt Only"},
                               {3, "Light Only"}, {4, "None"}});
  seed.Types("TypeCountry", {{1, "United States"}, {2, "United Kingdom"}, {3, "Germany"}, {4, "France"},
                             {5, "Japan"}, {6, "Australia"}, {7, "New Zealand"}, {8, "Netherlands"}});
  seed.Rows("TypeLanguage", {"Enum", "Name", "Code"},
            {{1, "English", "en"}, {2, "German", "de"}, {3, "French", "fr"}, {4, "Japanese", "ja"}});
  seed.Types("TypeWinCharSet", {{1, "iso-8859-1"}, {2, "utf-8"}, {3, "shift_jis"}});
  seed.Rows("TypeUserLocale",
            {"Enum", "Name", "DirectoryName", "DialcoreVersion", "ComponentVersion", "tkLanguage", "tkLanguage_Spoken",
             "tkWinCharSet"},
            {{1, "English United States", "English_United_States", "1.0.0.1", "1.0.0.1", 1, 1, 1},
             {2, "German Germany", "German_Germany", "1.0.0.1", "1.0.0.1", 2, 2, 1},
             {3, "French France", "French_France", "1.0.0.1", "1.0.0.1", 3, 3, 1},
             {4, "Japanese Japan", "Japanese_Japan", "1.0.0.1", "1.0.0.1", 4, 4, 3}});
  seed.Types("TypeTimeZone", {{1, "Greenwich Mean Time"}, {2, "Central European Time"},
                              {3, "Eastern Standard Time"}, {4, "Pacific Standard Time"}, {5, "Japan Standard Time"}});
  seed.Types("TypeBandwidth", {{1, "G.711"}, {2, "G.729"}, {3, "G.723"}, {4, "Wideband"}});
  seed.Types("TypeOperator", {{0, "NOT-SELECTED"}, {1, "EXISTS"}, {2, "DOES-NOT-EXIST"}, {3, "=="}});
  seed.Types("TypeService", {{1, "Call Processing"}, {2, "Directory"}, {3, "Trace Collector"}, {4, "Media Server"},
                             {11, "Enterprise Wide"}});
  seed.Types("TypeParam", {{0, "String"}, {1, "Integer"}, {2, "Boolean"}, {3, "Enumeration"}});
  seed.Types("TypeHavenOption", {{0, "Disable"}, {1, "Use Default Gateway"}, {2, "User Defined"}});
  seed.Types("TypeFeature", {{1, "Phone Services"}, {2, "Add-on Modules"}});
  // Slot module 4 and VIC 5 are left out: they mark unknown names in some clients.
  seed.Types("TypeMGCPSlotModule", {{0, "None"}, {1, "Two-Slot Carrier"}, {2, "Voice Network Module"},
                                    {3, "High-Density Module"}, {6, "Digital Voice Module"}});
  seed.Types("TypeMGCPVic", {{0, "None"}, {1, "Two-Port FXS"}, {2, "Two-Port FXO"}, {3, "One-Port T1"},
                             {4, "Two-Port E&M"}, {6, "One-Port PRI"}});
  seed.Types("TypeCallerID", {{0, "None"}, {1, "ANI"}, {2, "DNIS"}});
  seed.Types("TypeCallingPartySelection", {{0, "Originator"}, {1, "First Redirect Number"},
                                           {2, "Last Redirect Number"}});
  seed.Types("TypeDigitSending", {{0, "DTMF"}, {1, "MF"}, {2, "Pulse"}});
  seed.Types("TypeEncode", {{0, "A-law"}, {1, "u-law"}});
  seed.Types("TypeTrunk", {{0, "POTS"}, {1, "Ground Start"}, {2, "Loop Start"}});
  seed.Types("TypeTrunkDirection", {{0, "Inbound"}, {1, "Outbound"}, {2, "Bothways"}});
  seed.Types("TypeTrunkLevel", {{0, "0dB"}, {1, "-3dB"}, {2, "-6dB"}});
  seed.Types("TypeTrunkPad", {{0, "NoPadding"}, {1, "3dB"}, {2, "6dB"}, {3, "9dB"}});
  seed.Types("TypeTrunkSelectionOrder", {{0, "Top Down"}, {1, "Bottom Up"}});
  seed.Types("TypePresentationBit", {{0, "Allowed"}, {1, "Restricted"}});
  seed.Types("TypeSilenceSuppressionThreshold", {{0, "Default"}, {1, "Low"}, {2, "Medium"}, {3, "High"}});
  seed.Types("TypeStartDialProtocol", {{0, "Immediate"}, {1, "Wink"}, {2, "Dial Tone"}});
  seed.Types("TypeClockReference", {{0, "Network"}, {1, "Internal"}});
  seed.Types("TypeCSUParam", {{0, "0db"}, {1, "-7.5db"}, {2, "-15db"}, {3, "-22.5db"}});
  seed.Types("TypeFDLChannel", {{0, "ANSI T1.403"}, {1, "None"}});
  seed.Types("TypeFraming", {{0, "SF"}, {1, "ESF"}});
  seed.Types("TypeYellowAlarm", {{0, "Bit 2"}, {1, "F-Bit"}});
  seed.Types("TypeZeroSuppression", {{0, "AMI"}, {1, "B8ZS"}});
  seed.Types("TypeNumberingPlan", {{0, "Unknown"}, {1, "ISDN"}, {2, "Private"}});
  seed.Types("TypePriOfNumber", {{0, "Unknown"}, {1, "International"}, {2, "National"}, {3, "Subscriber"}});
  seed.Types("TypePriProtocol", {{0, "ETSI"}, {1, "ISDN National"}, {2, "QSIG"}});
}

void SeedCluster(Seeder& seed) {
  seed.Rows("ProcessNode", {"pkid", "Name", "Description"},
            {{kEnterpriseNode, "EnterpriseWideData", "Parameters that apply to every node"},
             {kNode, "ZEBNODE1", "Call-processing node"}});
  const char* kUrlBase = "http://ZEBNODE1/services/";
  auto param = [](const char* pkid, const char* name, std::string value, int type) {
    return Row{pkid, kEnterpriseNode, 11, name, std::move(value), type, 0};
  };
  seed.Rows("ProcessConfig", {"pkid", "fkProcessNode", "tkService", "paramName", "paramValue", "tkParam", "isPrimaryData"},
            {param("{5EED0000-0000-0000-0010-000000000001}", "URLInformation", std::string(kUrlBase) + "help.xml", 0),
             param("{5EED0000-0000-0000-0010-000000000002}", "URLDirectories", std::string(kUrlBase) + "directory.xml", 0),
             param("{5EED0000-0000-0000-0010-000000000003}", "URLMessages", "", 0),
             param("{5EED0000-0000-0000-0010-000000000004}", "URLServices", std::string(kUrlBase) + "services.xml", 0),
             param("{5EED0000-0000-0000-0010-000000000005}", "URLIdle", "", 0),
             param("{5EED0000-0000-0000-0010-000000000006}", "URLAuthentication", std::string(kUrlBase) + "authenticate", 0),
             param("{5EED0000-0000-0000-0010-000000000007}", "URLProxy", "", 0),
             param("{5EED0000-0000-0000-0010-000000000008}", "URLHelp", std::string(kUrlBase) + "help.html", 0),
             param("{5EED0000-0000-0000-0010-000000000009}", "URLIdleTime", "0", 1),
             param("{5EED0000-0000-0000-0010-00000000000A}", "DefaultUserLocale", "1", 1),
             param("{5EED0000-0000-0000-0010-00000000000B}", "DefaultNetworkLocale", "1", 1),
             param("{5EED0000-0000-0000-0010-00000000000C}", "DefaultRegionBandwidth", "1", 1),
             Row{"{5EED0000-0000-0000-0010-000000000101}", kNode, 1, "MaxCallDuration", "720", 1, 0},
             Row{"{5EED0000-0000-0000-0010-000000000102}", kNode, 1, "StatisticsEnabled", "false", 2, 0}});
  seed.Rows("ComponentVersion", {"pkid", "fkProcessNode", "softwareComponent", "version"},
            {{"{5EED0000-0000-0000-0011-000000000001}", kNode, "Locale - English United States", "1.0.0.1"},
             {"{5EED0000-0000-0000-0011-000000000002}", kNode, "Locale - German Germany", "1.0.0.1"},
             {"{5EED0000-0000-0000-0011-000000000003}", kNode, "Locale - French France", "1.0.0.1"},
             {"{5EED0000-0000-0000-0011-000000000004}", kNode, "Locale - Japanese Japan", "1.0.0.1"}});
  seed.Rows("Defaults", {"pkid", "tkModel", "LoadInformation"},
            {{"{5EED0000-0000-0000-0012-000000000007}", 7, "DP12.2-1-0"},
             {"{5EED0000-0000-0000-0012-000000000008}", 8, "DP40.3-0-2"},
             {"{5EED0000-0000-0000-0012-000000000009}", 9, "DP60.3-0-2"},
             {"{5EED0000-0000-0000-0012-000000000010}", 10, "CP10.1-4-0"},
             {"{5EED0000-0000-0000-0012-000000000030}", 30, "AA2.1-0-0"},
             {"{5EED0000-0000-0000-0012-000000000042}", 42, "DT1.2-0-1"},
             {"{5EED0000-0000-0000-0012-000000000043}", 43, "DPRI.2-0-1"},
             {"{5EED0000-0000-0000-0012-000000000047}", 47, "AS24.1-2-0"}});
  seed.Rows("datetimeSetting", {"pkid", "Name", "DateTemplate", "tkTimeZone"},
            {{kDateTime, "Default", "M/D/Y", 1}});
  seed.Rows("Region", {"pkid", "Name"}, {{kRegion, "Default"}});
  seed.Rows("Dialcore", {"pkid", "Name", "Description", "AnalogAccessPort", "DigitalAccessPort", "EthernetPhonePort",
                         "MGCPListenPort", "MGCPKeepAlivePort", "fkProcessNode"},
            {{kDialcore, "ZEBNODE1", "Call-processing node ZEBNODE1", 2002, 2001, 2000, 2427, 2428, kNode}});
  seed.Rows("DialcoreGroup", {"pkid", "Name", "TFTPDefault"}, {{kDialcoreGroup, "Default", 1}});
  seed.Rows("DialcoreGroupMember", {"pkid", "fkDialcoreGroup", "fkDialcore", "Priority"},
            {{"{5EED0000-0000-0000-0002-000000000101}", kDialcoreGroup, kDialcore, 0}});
  seed.Rows("SoftkeyTemplate", {"pkid", "Name", "Description"},
            {{kSoftkeyStandard, "Standard User", "Softkeys for everyday calls"},
             {kSoftkeyFeature, "Standard Feature", "Softkeys with conference and transfer features"}});
  seed.Rows("PhoneTemplate", {"pkid", "Name", "tkModel", "NumButtons"},
            {{"{5EED0000-0000-0000-0008-000000000001}", "Standard Desk Phone 12", 7, 2},
             {"{5EED0000-0000-0000-0008-000000000002}", "Standard Desk Phone 40", 8, 4},
             {"{5EED0000-0000-0000-0008-000000000003}", "Standard Desk Phone 60", 9, 6},
             {"{5EED0000-0000-0000-0008-000000000004}", "Standard Add-on Module", 9, 14}});
  seed.Rows("Haven", {"pkid", "Name", "tkHavenOption", "isUserModifiable"},
            {{kHavenDisable, "Disable", 0, 0}, {kHavenDefault, "Use Default Gateway", 1, 0}});
  seed.Rows("VoxbeamService", {"pkid", "Name", "URL", "Description"},
            {{"{5EED0000-0000-0000-0009-000000000001}", "Corporate Directory", "http://ZEBNODE1/services/directory.xml",
              "Look up colleagues"},
             {"{5EED0000-0000-0000-0009-000000000002}", "Conference Rooms", "http://ZEBNODE1/services/rooms.xml",
              "Book a conference room"}});
  seed.Rows("ProductSupportsFeature", {"pkid", "tkProduct", "tkFeature"},
            {{"{5EED0000-0000-0000-0013-000000000007}", 7, 1},
             {"{5EED0000-0000-0000-0013-000000000008}", 8, 1},
             {"{5EED0000-0000-0000-0013-000000000035}", 35, 1},
             {"{5EED0000-0000-0000-0013-000000000135}", 35, 2}});
  seed.Rows("DevicePool", {"pkid", "Name", "fkDateTimeSetting", "fkDialcoreGroup", "fkRegion", "fkSoftkeyTemplate",
                           "tkCountry", "tkUserLocale", "fkHaven"},
            {{kDevicePool, "Default", kDateTime, kDialcoreGroup, kRegion, kSoftkeyStandard, 1, 1, kHavenDisable}});
}

const std::vector<std::string> kParamColumns = {"pkid",       "fkProcessNode", "tkService",    "paramName",
                                                "paramValue", "tkParam",       "isPrimaryData"};
const char kManagerDn[] = "cn=Directory Manager,o=zeb";
const char kUserBase[] = "ou=Users,o=zeb";

// Where the directory is: the embedded one (no URL) under its own user base, without StartTLS.
void SeedDirectoryLocation(Seeder& seed) {
  seed.Rows("ProcessConfig", kParamColumns,
            {Row{"{5EED0000-0000-0000-0010-000000000203}", kEnterpriseNode, 2, kUrlParameter, "", 0, 0},
             Row{"{5EED0000-0000-0000-0010-000000000204}", kEnterpriseNode, 2, kStartTlsParameter, "false", 2, 0},
             Row{"{5EED0000-0000-0000-0010-000000000205}", kEnterpriseNode, 2, kUserBaseParameter, kUserBase, 0, 0}});
}

// The user directory with its manager entry, and the cluster's copy of the manager's credentials
// (enterprise-wide parameters of the Directory service). The password is made afresh for each
// new cluster; the directory keeps only its hash, the parameter only its sealed form.
void SeedDirectory(CZDLSession& session, Seeder& seed) {
  const std::string password = RandomSecret();
  const std::string sealed = session.database().secretKey().Seal(kManagerPasswordParameter, password);
  seed.Rows("ProcessConfig", kParamColumns,
            {Row{"{5EED0000-0000-0000-0010-000000000201}", kEnterpriseNode, 2, kManagerDnParameter, kManagerDn, 0, 0},
             Row{"{5EED0000-0000-0000-0010-000000000202}", kEnterpriseNode, 2, kManagerPasswordParameter, sealed, 0,
                 0}});
  SeedDirectoryLocation(seed);
  seed.Rows("DirectoryConfig", {"pkid", "ManagerDn", "ManagerSecret", "UserBase"},
            {Row{"{5EED0000-0000-0000-0014-000000000001}", kManagerDn, HashSecret(password), kUserBase}});
}

}  // namespace

void SeedDatabase(CZDLSession& session, bool typesOnly) {
  Seeder seed(session);
  SeedTypes(seed);
  if (!typesOnly) SeedCluster(seed);
  if (!typesOnly) SeedDirectory(session, seed);
}

void SeedMissingParameters(CZDLSession& session) {
  // An empty schema (the target of a copy) has no node to hang parameters on.
  if (session.Query("SELECT 1 FROM ProcessNode WHERE pkid = ?", {kEnterpriseNode}).rows.empty()) return;
  Seeder seed(session);
  SeedDirectoryLocation(seed);
}

}  // namespace zeb::zdl
