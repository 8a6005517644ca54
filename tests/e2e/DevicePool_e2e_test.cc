// Device pools through real HTTP.
#include "e2e/ZebdTest.h"

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
  return "<havenInfo  uuid=\"" + id + "\">\r\n" + El("name", name) + El("havenOption", name) +
         El("userModifiable", "false") + El("ipAddr1", "") + El("port1", "0") + El("ipAddr2", "") + El("port2", "0") +
         El("ipAddr3", "") + El("port3", "0") + "</havenInfo>\r\n";
}

std::string Settings(const std::string& network, const std::string& user, const std::string& networkHold,
                     const std::string& userHold) {
  return El("networkLocale", network) + El("userLocale", user) + El("networkHoldMOHAudioSourceId", networkHold) +
         El("userHoldMOHAudioSourceId", userHold);
}

class DevicePoolTest : public ZebdTest {
 protected:
  // Records a full pool refers to: a calling search space for automatic registration with one
  // partition, a node group without members, a region beside the seeded one, and a media
  // resource list (which the API cannot create).
  void SetUp() override {
    AddPartition("Lobby");
    css_ = AddCSS("Auto", "Lobby");
    group_ = CallForId("addDialcoreGroup",
                       "<addDialcoreGroup><dialcoreGroup><name>Pool nodes</name><members/></dialcoreGroup></addDialcoreGroup>");
    region_ = CallForId("addRegion", "<addRegion><region><name>West</name></region></addRegion>");
    Db().Execute("INSERT INTO MediaResourceList (pkid, Name) VALUES (?, 'Music')", {kMediaList});
    entry_ = Db().Query("SELECT pkid FROM RegionMatrix").rows.at(0).at(0).AsText();
  }

  std::string AutoSearchSpaceElement() const {
    return "<autoSearchSpace  uuid=\"" + css_ + "\">\r\n" + El("name", "Auto") + El("description", "") +
           El("clause", "Lobby") + "<members>\r\n<member  index=\"1\">\r\n" + El("routePartitionName", "Lobby") +
           "</member>\r\n</members>\r\n" + El("dialPlanWizardGenID", "0") + "</autoSearchSpace>\r\n";
  }
  std::string RegionElement(const std::string& id, const std::string& name, const std::string& related) const {
    return "<region  uuid=\"" + id + "\">\r\n" + El("name", name) + "<relatedRegions>\r\n<relatedRegion  uuid=\"" +
           entry_ + "\">\r\n" + El("name", related) + El("bandwidth", "G.711") +
           "</relatedRegion>\r\n</relatedRegions>\r\n</region>\r\n";
  }
  std::string WestElement() const { return RegionElement(region_, "West", "Default"); }
  std::string PoolResponse(const std::string& id, const std::string& name, const std::string& content,
                           const std::string& sequence = "") {
    return Got("getDevicePool",
               "<devicePool  uuid=\"" + id + "\">\r\n" + El("name", name) + content + "</devicePool>\r\n",
               sequence);
  }

  std::string css_, group_, region_, entry_;
};

TEST_F(DevicePoolTest, AddByIdentifiersWithoutOptionalElements) {
  const std::string id = CallForId(
      "addDevicePool", "<zeb:addDevicePool><zeb:p><zeb:name>Plain</zeb:name><zeb:dateTimeSetting uuid=\"" +
                           std::string(kDateTime) + "\"/><zeb:dialcoreGroup uuid=\"" + group_ +
                           "\"/><zeb:region uuid=\"" + region_ + "\"/><zeb:softkeyTemplate uuid=\"" +
                           kSoftkeyStandard + "\"/><zeb:havenInfo uuid=\"" + kHavenDisable +
                           "\"/><zeb:ignored/></zeb:p></zeb:addDevicePool>",
      kLenient);
  // Neither automatic-registration search space nor media resource list; the locales unset.
  const std::string plain =
      PoolResponse(id, "Plain",
                   kDateTimeElement + DialcoreGroupElement(group_, "Pool nodes", "false") + WestElement() +
                       Ref("softkeyTemplate", kSoftkeyStandard) + Settings("", "", "0", "0") +
                       HavenElement(kHavenDisable, "Disable"),
                   "5");
  const std::string get = "<zeb:getDevicePool sequence=\"5\"><zeb:uuid>" + id + "</zeb:uuid></zeb:getDevicePool>";
  EXPECT_EQ(plain, Call(get));
  // An empty media resource list reference (a list keyed by the empty text) is no reference either.
  Db().Execute("INSERT INTO MediaResourceList (pkid, Name) VALUES ('', 'Blank')");
  Db().Execute("UPDATE DevicePool SET fkMediaResourceList = '' WHERE pkid = ?", {zdl::CZDLID(id)});
  EXPECT_EQ(plain, Call(get));
}

TEST_F(DevicePoolTest, AddByNamesWithEveryElementThenUpdateReplacesWhatItNames) {
  const std::string id = CallForId(
      "addDevicePool",
      "<addDevicePool><devicePool><name>Branch &amp; Co</name><autoSearchSpaceName>auto</autoSearchSpaceName>"
      "<dateTimeSettingName>Default</dateTimeSettingName><dialcoreGroupName>Pool nodes</dialcoreGroupName>"
      "<mediaResourceListName>Music</mediaResourceListName><regionName>West</regionName>"
      "<softkeyTemplateName>Standard Feature</softkeyTemplateName><networkLocale>Germany</networkLocale>"
      "<userLocale>German Germany</userLocale><networkHoldMOHAudioSourceId>3</networkHoldMOHAudioSourceId>"
      "<userHoldMOHAudioSourceId>4</userHoldMOHAudioSourceId><havenName>Use Default Gateway</havenName>"
      "</devicePool></addDevicePool>");
  const std::string full = PoolResponse(
      id, "Branch &amp; Co",
      kDateTimeElement + DialcoreGroupElement(group_, "Pool nodes", "false") + AutoSearchSpaceElement() +
          Ref("mediaResourceList", kMediaList) + WestElement() + Ref("softkeyTemplate", kSoftkeyFeature) +
          Settings("Germany", "German Germany", "3", "4") +
          HavenElement(kHavenDefault, "Use Default Gateway"));
  EXPECT_EQ(full, ByName("getDevicePool", "branch &amp; co"));
  const std::string other = CallForId(
      "addDialcoreGroup", "<addDialcoreGroup><dialcoreGroup><name>Other nodes</name><members/></dialcoreGroup></addDialcoreGroup>");
  // An update that names nothing changes nothing.
  EXPECT_EQ(Standard("updateDevicePool", id), ByName("updateDevicePool", "Branch &amp; Co"));
  EXPECT_EQ(full, ById("getDevicePool", id));

  EXPECT_EQ(Standard("updateDevicePool", id),
            Call("<updateDevicePool><uuid>" + id + "</uuid><newName>Annex</newName><autoSearchSpaceId/>"
                 "<dateTimeSettingId>" + kDateTime + "</dateTimeSettingId><dialcoreGroupName>Other nodes"
                 "</dialcoreGroupName><mediaResourceListName/><regionId>" + kDefaultRegion + "</regionId>"
                 "<softkeyTemplateName>Standard Feature</softkeyTemplateName><networkLocale/>"
                 "<userLocale>French France</userLocale><networkHoldMOHAudioSourceId>7</networkHoldMOHAudioSourceId>"
                 "<userHoldMOHAudioSourceId>-2</userHoldMOHAudioSourceId><havenInfoId>" + kHavenDefault +
                 "</havenInfoId></updateDevicePool>"));
  // No search space or media resource list is left; the region now relates to West.
  EXPECT_EQ(
      PoolResponse(id, "Annex",
                   kDateTimeElement + DialcoreGroupElement(other, "Other nodes", "false") +
                       RegionElement(kDefaultRegion, "Default", "West") +
                       Ref("softkeyTemplate", kSoftkeyFeature) + Settings("", "French France", "7", "-2") +
                       HavenElement(kHavenDefault, "Use Default Gateway")),
      ById("getDevicePool", id));
}

TEST_F(DevicePoolTest, RemoveAnswersTheIdentifierUnlessADeviceUsesThePool) {
  const std::string pool =
      "<devicePool><name>Gone</name><dateTimeSettingName>Default</dateTimeSettingName>"
      "<dialcoreGroupName>Default</dialcoreGroupName><regionName>West</regionName>"
      "<softkeyTemplateName>Standard User</softkeyTemplateName><havenName>Disable</havenName></devicePool>";
  const std::string id = CallForId("addDevicePool", "<addDevicePool>" + pool + "</addDevicePool>");
  EXPECT_EQ(Standard("removeDevicePool", id), ById("removeDevicePool", id));
  EXPECT_EQ(Fault("getDevicePool", kNotFound, "The specified Device Pool was not found."),
            ById("getDevicePool", id));
  // The region it used can go now that the pool has.
  EXPECT_EQ(Standard("removeRegion", region_), ByName("removeRegion", "West"));
  Db().Execute("INSERT INTO Device (pkid, Name, fkDevicePool) VALUES (?, ?, ?)",
               {"{00000000-0000-0000-0000-0000000000D1}", "Lobby phone", "{5EED0000-0000-0000-0007-000000000001}"});
  ExpectRefused("<removeDevicePool><name>Default</name></removeDevicePool>", "removeDevicePool", 4,
                "The Device Pool \"Default\" cannot be removed because it is still used by Device \"Lobby phone\".");
}

TEST_F(DevicePoolTest, RefusalsNameTheProblemAndChangeNothing) {
  // The elements of a complete request, to be cut short or spoiled one at a time.
  const std::string name = "<name>P</name>", dts = "<dateTimeSettingName>Default</dateTimeSettingName>",
                    group = "<dialcoreGroupName>Default</dialcoreGroupName>",
                    region = "<regionName>West</regionName>",
                    softkey = "<softkeyTemplateName>Standard User</softkeyTemplateName>";
  const std::string upToSoftkey = name + dts + group + region + softkey;
  auto add = [](const std::string& content) { return "<addDevicePool><devicePool>" + content + "</devicePool></addDevicePool>"; };
  auto update = [](const std::string& content) {
    return "<updateDevicePool><name>Default</name>" + content + "</updateDevicePool>";
  };
  ExpectAllRefused(zebd_, {
      {"<addDevicePool/>", kUnexpectedNode, "Found NULL, expecting <devicePool>"},
      {add(name + "<dateTimeSettingName>Nope</dateTimeSettingName>"), kNotFound,
       "DateTimeSetting not found."},
      {add(name + dts + group + "<regionName>Nope</regionName>"), kNotFound, "Region not found."},
      {add(name + dts + group + region + "<softkeyTemplateName>Nope</softkeyTemplateName>"), kNotFound,
       "Softkey Template not found."},
      {add(upToSoftkey + "<networkLocale>Atlantis</networkLocale>"), 8, "Invalid Parameter: Atlantis"},
      {add(upToSoftkey + "<havenName>Nope</havenName>"), kNotFound, "Haven Reference not found."},
      {add("<name>default</name>" + dts + group + region + softkey + "<havenName>Disable</havenName>"), 3,
       "A Device Pool named \"default\" already exists."},
      {add(name + "<dateTimeSetting uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"
       + group + region + softkey + "<havenName>Disable</havenName>"),
       5,
       "The Date/Time Setting {00000000-0000-0000-0000-00000000DEAD} referred to by this Device Pool does "
       "not exist."},
      {"<updateDevicePool><name>Nope</name></updateDevicePool>", kNotFound, "Device Pool not found."},
      {update("<autoSearchSpaceName>Nope</autoSearchSpaceName>"), kNotFound,
       "Calling Search Space not found."},
      {update("<dateTimeSettingId/>"), kInvalidValue,
       "Then element, <dateTimeSettingId>, must have a value."},
      {update("<userLocale>Klingon</userLocale>"), 8, "Invalid Parameter: Klingon"},
      {"<removeDevicePool><name>Nope</name></removeDevicePool>", kNotFound,
       "The specified Device Pool was not found."},
  });
}

}  // namespace
}  // namespace zeb::test
