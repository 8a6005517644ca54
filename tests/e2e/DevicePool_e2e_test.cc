// Device pools through real HTTP.
#include "e2e/ZebdTest.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::test {
namespace {

// Seeded records.
const char kDateTime[] = "{5EED0000-0000-0000-0003-000000000001}";
const char kDefaultRegion[] = "{5EED0000-0000-0000-0004-000000000001}";
const char kSoftkeyStandard[] = "{5EED0000-0000-0000-0005-000000000001}";
const char kSoftkeyFeature[] = "{5EED0000-0000-0000-0005-000000000002}";
const char kHavenDisable[] = "{5EED0000-0000-0000-0006-000000000001}";
const char kHavenDefault[] = "{5EED0000-0000-0000-0006-000000000002}";
const char kMediaList[] = "{00000000-0000-0000-0000-0000000000AA}";

const std::string kDateTimeElement = std::string("<dateTimeSetting  uuid=\"") + kDateTime +
                                     "\">\r\n<name>Default</name>\r\n<dateTemplate>M/D/Y</dateTemplate>\r\n"
                                     "<timeZone>Greenwich Mean Time</timeZone>\r\n</dateTimeSetting>\r\n";

std::string HavenElement(const std::string& id, const std::string& name) {
  return "<havenInfo  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<havenOption>" + name +
         "</havenOption>\r\n<userModifiable>false</userModifiable>\r\n<ipAddr1></ipAddr1>\r\n<port1>0</"
         "port1>\r\n"
         "<ipAddr2></ipAddr2>\r\n<port2>0</port2>\r\n<ipAddr3></ipAddr3>\r\n<port3>0</port3>\r\n</"
         "havenInfo>\r\n";
}

std::string Settings(const std::string& network, const std::string& user, const std::string& networkHold,
                     const std::string& userHold) {
  return "<networkLocale>" + network + "</networkLocale>\r\n<userLocale>" + user +
         "</userLocale>\r\n"
         "<networkHoldMOHAudioSourceId>" +
         networkHold +
         "</networkHoldMOHAudioSourceId>\r\n"
         "<userHoldMOHAudioSourceId>" +
         userHold + "</userHoldMOHAudioSourceId>\r\n";
}

class DevicePoolTest : public ZebdTest {
 protected:
  // Records a full pool refers to: a calling search space for automatic registration with one
  // partition, a node group without members, a region beside the seeded one, and a media
  // resource list (which the API cannot create).
  void AddReferencedRecords() {
    CallForId("addRoutePartition", "<addRoutePartition><newRoutePartition><name>Lobby</name></newRoutePartition></addRoutePartition>");
    css_ = CallForId("addCSS",
                     "<addCSS><newCSS><name>Auto</name><members><member index=\"1\"><routePartitionName>Lobby"
                     "</routePartitionName></member></members></newCSS></addCSS>");
    group_ = CallForId("addDialcoreGroup",
                       "<addDialcoreGroup><dialcoreGroup><name>Pool nodes</name><members/></dialcoreGroup></addDialcoreGroup>");
    region_ = CallForId("addRegion", "<addRegion><region><name>West</name></region></addRegion>");
    auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
    db->Session().Execute("INSERT INTO MediaResourceList (pkid, Name) VALUES (?, 'Music')", {kMediaList});
    entry_ = db->Session().Query("SELECT pkid FROM RegionMatrix").rows.at(0).at(0).AsText();
  }

  // A node group without members.
  std::string GroupElement(const std::string& id, const std::string& name) const {
    return "<dialcoreGroup  uuid=\"" + id + "\">\r\n<name>" + name +
           "</name>\r\n<tftpDefault>false</tftpDefault>\r\n"
           "<members></members>\r\n</dialcoreGroup>\r\n";
  }
  std::string AutoSearchSpaceElement() const {
    return "<autoSearchSpace  uuid=\"" + css_ +
           "\">\r\n<name>Auto</name>\r\n<description></description>\r\n"
           "<clause>Lobby</clause>\r\n<members>\r\n<member  "
           "index=\"1\">\r\n<routePartitionName>Lobby</routePartitionName>"
           "\r\n</member>\r\n</members>\r\n<dialPlanWizardGenID>0</dialPlanWizardGenID>\r\n</"
           "autoSearchSpace>\r\n";
  }
  std::string WestElement() const {
    return "<region  uuid=\"" + region_ +
           "\">\r\n<name>West</name>\r\n<relatedRegions>\r\n<relatedRegion  uuid=\"" + entry_ +
           "\">\r\n<name>Default</name>\r\n<bandwidth>G.711</bandwidth>\r\n</relatedRegion>\r\n"
           "</relatedRegions>\r\n</region>\r\n";
  }
  std::string PoolResponse(const std::string& id, const std::string& name, const std::string& content,
                           const std::string& sequence = "") {
    return Response("getDevicePool",
                    "<return>\r\n<devicePool  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n" +
                        content + "</devicePool>\r\n</return>\r\n",
                    sequence);
  }
  std::string GetPool(const std::string& identifying) {
    return Call("<getDevicePool>" + identifying + "</getDevicePool>");
  }

  std::string css_, group_, region_, entry_;
};

TEST_F(DevicePoolTest, AddByNamesWithEveryElementAndGet) {
  AddReferencedRecords();
  const std::string id = CallForId(
      "addDevicePool",
      "<addDevicePool><devicePool><name>Branch &amp; Co</name><autoSearchSpaceName>auto</autoSearchSpaceName>"
      "<dateTimeSettingName>Default</dateTimeSettingName><dialcoreGroupName>Pool nodes</dialcoreGroupName>"
      "<mediaResourceListName>Music</mediaResourceListName><regionName>West</regionName>"
      "<softkeyTemplateName>Standard Feature</softkeyTemplateName><networkLocale>Germany</networkLocale>"
      "<userLocale>German Germany</userLocale><networkHoldMOHAudioSourceId>3</networkHoldMOHAudioSourceId>"
      "<userHoldMOHAudioSourceId>4</userHoldMOHAudioSourceId><havenName>Use Default Gateway</havenName>"
      "</devicePool></addDevicePool>");
  EXPECT_EQ(PoolResponse(id, "Branch &amp; Co",
                         kDateTimeElement + GroupElement(group_, "Pool nodes") + AutoSearchSpaceElement() +
                             "<mediaResourceList  uuid=\"" + kMediaList + "\"></mediaResourceList>\r\n" +
                             WestElement() + "<softkeyTemplate  uuid=\"" + kSoftkeyFeature +
                             "\"></softkeyTemplate>\r\n" + Settings("Germany", "German Germany", "3", "4") +
                             HavenElement(kHavenDefault, "Use Default Gateway")),
            GetPool("<name>branch &amp; co</name>"));
}

TEST_F(DevicePoolTest, AddByIdentifiersWithoutOptionalElements) {
  AddReferencedRecords();
  const std::string id = CallForId(
      "addDevicePool", "<zeb:addDevicePool><zeb:p><zeb:name>Plain</zeb:name><zeb:dateTimeSetting uuid=\"" +
                           std::string(kDateTime) + "\"/><zeb:dialcoreGroup uuid=\"" + group_ +
                           "\"/><zeb:region uuid=\"" + region_ + "\"/><zeb:softkeyTemplate uuid=\"" +
                           kSoftkeyStandard + "\"/><zeb:havenInfo uuid=\"" + kHavenDisable +
                           "\"/><zeb:ignored/></zeb:p></zeb:addDevicePool>",
      kLenient);
  // Neither automatic-registration search space nor media resource list; the locales unset.
  const std::string plain = PoolResponse(id, "Plain",
                                         kDateTimeElement + GroupElement(group_, "Pool nodes") + WestElement() +
                                             "<softkeyTemplate  uuid=\"" + kSoftkeyStandard +
                                             "\"></softkeyTemplate>\r\n" + Settings("", "", "0", "0") +
                                             HavenElement(kHavenDisable, "Disable"),
                                         "5");
  const std::string get = "<zeb:getDevicePool sequence=\"5\"><zeb:uuid>" + id + "</zeb:uuid></zeb:getDevicePool>";
  EXPECT_EQ(plain, Call(get));
  // An empty media resource list reference (a list keyed by the empty text) is no reference either.
  auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
  db->Session().Execute("INSERT INTO MediaResourceList (pkid, Name) VALUES ('', 'Blank')");
  db->Session().Execute("UPDATE DevicePool SET fkMediaResourceList = '' WHERE pkid = ?", {zdl::CZDLID(id)});
  EXPECT_EQ(plain, Call(get));
}

TEST_F(DevicePoolTest, UpdateReplacesWhatItNamesAndClearsTheOptionalReferences) {
  AddReferencedRecords();
  const std::string id = CallForId(
      "addDevicePool",
      "<addDevicePool><devicePool><name>Branch</name><autoSearchSpaceName>Auto</autoSearchSpaceName>"
      "<dateTimeSettingName>Default</dateTimeSettingName><dialcoreGroupName>Pool nodes</dialcoreGroupName>"
      "<mediaResourceListName>Music</mediaResourceListName><regionName>West</regionName>"
      "<softkeyTemplateName>Standard User</softkeyTemplateName><networkLocale>Germany</networkLocale>"
      "<userLocale>German Germany</userLocale><havenName>Disable</havenName></devicePool></addDevicePool>");
  const std::string other = CallForId(
      "addDialcoreGroup", "<addDialcoreGroup><dialcoreGroup><name>Other nodes</name><members/></dialcoreGroup></addDialcoreGroup>");
  const std::string before = GetPool("<name>Branch</name>");
  EXPECT_EQ(Standard("updateDevicePool", id),
            Call("<updateDevicePool><name>Branch</name></updateDevicePool>"));
  EXPECT_EQ(before, GetPool("<name>Branch</name>"));

  EXPECT_EQ(
      Standard("updateDevicePool", id),
      Call(
          "<updateDevicePool><uuid>" + id +
          "</uuid><newName>Annex</newName><autoSearchSpaceId/>"
          "<dateTimeSettingId>" +
          kDateTime +
          "</dateTimeSettingId><dialcoreGroupName>Other nodes"
          "</dialcoreGroupName><mediaResourceListName/><regionId>" +
          kDefaultRegion +
          "</regionId>"
          "<softkeyTemplateName>Standard Feature</softkeyTemplateName><networkLocale/>"
          "<userLocale>French France</userLocale><networkHoldMOHAudioSourceId>7</networkHoldMOHAudioSourceId>"
          "<userHoldMOHAudioSourceId>-2</userHoldMOHAudioSourceId><havenInfoId>" +
          kHavenDefault + "</havenInfoId></updateDevicePool>"));
  // No search space or media resource list is left; the region now relates to West.
  EXPECT_EQ(PoolResponse(
                id, "Annex",
                kDateTimeElement + GroupElement(other, "Other nodes") + "<region  uuid=\"" + kDefaultRegion +
                    "\">\r\n<name>Default</name>\r\n<relatedRegions>\r\n<relatedRegion  uuid=\"" + entry_ +
                    "\">\r\n<name>West</name>\r\n<bandwidth>G.711</bandwidth>\r\n</relatedRegion>\r\n"
                    "</relatedRegions>\r\n</region>\r\n<softkeyTemplate  uuid=\"" +
                    kSoftkeyFeature + "\"></softkeyTemplate>\r\n" + Settings("", "French France", "7", "-2") +
                    HavenElement(kHavenDefault, "Use Default Gateway")),
            GetPool("<uuid>" + id + "</uuid>"));
}

TEST_F(DevicePoolTest, RemoveAnswersTheIdentifierUnlessADeviceUsesThePool) {
  AddReferencedRecords();
  const std::string pool =
      "<devicePool><name>Gone</name><dateTimeSettingName>Default</dateTimeSettingName>"
      "<dialcoreGroupName>Default</dialcoreGroupName><regionName>West</regionName>"
      "<softkeyTemplateName>Standard User</softkeyTemplateName><havenName>Disable</havenName></devicePool>";
  const std::string id = CallForId("addDevicePool", "<addDevicePool>" + pool + "</addDevicePool>");
  EXPECT_EQ(Standard("removeDevicePool", id),
            Call("<removeDevicePool><uuid>" + id + "</uuid></removeDevicePool>"));
  EXPECT_EQ(Fault("getDevicePool", kNotFound, "The specified Device Pool was not found."),
            GetPool("<uuid>" + id + "</uuid>"));
  // The region it used can go now that the pool has.
  EXPECT_EQ(Standard("removeRegion", region_), Call("<removeRegion><name>West</name></removeRegion>"));
  {
    auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
    db->Session().Execute(
        "INSERT INTO Device (pkid, Name, fkDevicePool) VALUES (?, ?, ?)",
        {"{00000000-0000-0000-0000-0000000000D1}", "Lobby phone", "{5EED0000-0000-0000-0007-000000000001}"});
  }
  ExpectRefused(
      "<removeDevicePool><name>Default</name></removeDevicePool>", "removeDevicePool", 4,
      "The Device Pool \"Default\" cannot be removed because it is still used by Device \"Lobby phone\".");
}

TEST_F(DevicePoolTest, AddRefusalsNameTheProblemAndChangeNothing) {
  AddReferencedRecords();
  // The elements of a complete request, to be cut short or spoiled one at a time.
  const std::string name = "<name>P</name>", dts = "<dateTimeSettingName>Default</dateTimeSettingName>",
                    group = "<dialcoreGroupName>Default</dialcoreGroupName>",
                    region = "<regionName>West</regionName>",
                    softkey = "<softkeyTemplateName>Standard User</softkeyTemplateName>";
  const std::string upToSoftkey = name + dts + group + region + softkey;
  auto add = [](const std::string& content) {
    return "<addDevicePool><devicePool>" + content + "</devicePool></addDevicePool>";
  };
  struct Case {
    std::string content;
    int code;
    std::string message;
  } cases[] = {
      {"", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {"<uuid/>", kUnexpectedNode, "Unexpected element. Found <uuid>, expecting <name>."},
      {"<name/>", kInvalidValue, "The element, <name>, must contain a value."},
      {name, kUnexpectedNode, "Unexpected element. NULL element found, expecting more elements."},
      {name + "<autoSearchSpace/>", kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <autoSearchSpace>."},
      {name + "<autoSearchSpaceName>Nope</autoSearchSpaceName>", kNotFound,
       "Calling Search Space not found."},
      {name + "<autoSearchSpaceName>Auto</autoSearchSpaceName>", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <dateTimeSetting> or <dateTimeSettingName>."},
      {name + "<dateTimeSettingId>x</dateTimeSettingId>", kUnexpectedNode,
       "Unexpected element. Found <dateTimeSettingId>, expecting <dateTimeSetting> or "
       "<dateTimeSettingName>."},
      {name + "<dateTimeSettingName/>", kInvalidValue,
       "The element, <dateTimeSettingName>, must contain a value."},
      {name + "<dateTimeSettingName>Nope</dateTimeSettingName>", kNotFound, "DateTimeSetting not found."},
      {name + dts, kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <dialcoreGroup> or <dialcoreGroupName>."},
      {name + dts + "<dialcoreGroupName>Nope</dialcoreGroupName>", kNotFound, "Dialcore Group not found."},
      {name + dts + group, kUnexpectedNode,
       "Unexpected element. NULL element found, expecting more elements."},
      {name + dts + group + "<mediaResourceListName>Nope</mediaResourceListName>", kNotFound,
       "Media Resource List not found."},
      {name + dts + group + "<mediaResourceListName>Music</mediaResourceListName>", kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <region> or <regionName>."},
      {name + dts + group + "<regionName>Nope</regionName>", kNotFound, "Region not found."},
      {name + dts + group + region, kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <softkeyTemplate> or <softkeyTemplateName>."},
      {name + dts + group + region + "<softkeyTemplateName>Nope</softkeyTemplateName>", kNotFound,
       "Softkey Template not found."},
      {upToSoftkey, kUnexpectedNode, "Unexpected element. NULL element found, expecting more elements."},
      {upToSoftkey + "<networkLocale>Atlantis</networkLocale>", 8, "Invalid Parameter: Atlantis"},
      {upToSoftkey + "<networkLocale/>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting more elements."},
      {upToSoftkey + "<userHoldMOHAudioSourceId/>", kInvalidValue,
       "The element, <userHoldMOHAudioSourceId>, must contain a value."},
      {upToSoftkey + "<userHoldMOHAudioSourceId>1</userHoldMOHAudioSourceId>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <havenInfo>."},
      {upToSoftkey + "<havenId>x</havenId>", kUnexpectedNode,
       "Unexpected element. Found <havenId>, expecting <havenInfo> or <havenName>."},
      {upToSoftkey + "<havenName>Nope</havenName>", kNotFound, "Haven Reference not found."},
      {"<name>default</name>" + dts + group + region + softkey + "<havenName>Disable</havenName>", 3,
       "A Device Pool named \"default\" already exists."},
      {name + "<dateTimeSetting uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>" + group + region +
           softkey + "<havenName>Disable</havenName>",
       5,
       "The Date/Time Setting {00000000-0000-0000-0000-00000000DEAD} referred to by this Device Pool does "
       "not exist."},
  };
  ExpectRefused("<addDevicePool/>", "addDevicePool", kUnexpectedNode,
                "Unexpected element. Found NULL, expecting <devicePool>");
  for (const Case& c : cases) ExpectRefused(add(c.content), "addDevicePool", c.code, c.message);
}

TEST_F(DevicePoolTest, UpdateRemoveGetRefusalsNameTheProblemAndChangeNothing) {
  auto update = [](const std::string& content) {
    return "<updateDevicePool><name>Default</name>" + content + "</updateDevicePool>";
  };
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<updateDevicePool/>", "updateDevicePool", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateDevicePool><devicePoolName>x</devicePoolName></updateDevicePool>", "updateDevicePool",
       kUnexpectedNode, "Unexpected element. Found <devicePoolName>, expecting <uuid> or <name>."},
      {"<updateDevicePool><name/></updateDevicePool>", "updateDevicePool", kInvalidValue,
       "The element, <name>, must have a value."},
      {"<updateDevicePool><name>Nope</name></updateDevicePool>", "updateDevicePool", kNotFound,
       "Device Pool not found."},
      {update("<newName/>"), "updateDevicePool", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {update("<autoSearchSpaceName>Nope</autoSearchSpaceName>"), "updateDevicePool", kNotFound,
       "Calling Search Space not found."},
      {update("<dateTimeSettingId/>"), "updateDevicePool", kInvalidValue,
       "Then element, <dateTimeSettingId>, must have a value."},
      {update("<regionName/>"), "updateDevicePool", kInvalidValue,
       "Then element, <regionName>, must have a value."},
      {update("<userLocale>Klingon</userLocale>"), "updateDevicePool", 8, "Invalid Parameter: Klingon"},
      {update("<userHoldMOHAudioSourceId/>"), "updateDevicePool", kInvalidValue,
       "The element, <userHoldMOHAudioSourceId>, must contain a value."},
      {update("<havenInfoId/>"), "updateDevicePool", kInvalidValue,
       "Then element, <havenInfoId>, must have a value."},
      {"<removeDevicePool/>", "removeDevicePool", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<removeDevicePool><x/></removeDevicePool>", "removeDevicePool", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <name> or <uuid>."},
      {"<removeDevicePool><name/></removeDevicePool>", "removeDevicePool", kInvalidValue,
       "The element, <name>, must have a value."},
      {"<removeDevicePool><name>Nope</name></removeDevicePool>", "removeDevicePool", kNotFound,
       "The specified Device Pool was not found."},
      {"<getDevicePool><x/></getDevicePool>", "getDevicePool", kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <name> or <uuid>."},
      {"<getDevicePool><name/></getDevicePool>", "getDevicePool", kInvalidValue,
       "The element, <name>, must contain a value."},
      {"<getDevicePool><uuid>{00000000-0000-0000-0000-00000000ABCD}</uuid></getDevicePool>", "getDevicePool",
       kNotFound, "The specified Device Pool was not found."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
