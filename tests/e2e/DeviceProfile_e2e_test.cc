// Device profiles, auto-generated profiles, login, logout and reset through real HTTP.
#include "e2e/DeviceTest.h"
#include "e2e/Refusals.h"

namespace zeb::test {
namespace {

const char kTemplate60[] = "{5EED0000-0000-0000-0008-000000000003}";
const char kRoomsService[] = "{5EED0000-0000-0000-0009-000000000002}";

class DeviceProfileTest : public DeviceTest {
 protected:
  void SetUp() override {
    internal_ = AddPartition("Internal");
    dn1000_ = AddNumber("1000", internal_);
  }
  std::string Device(const std::string& column, const std::string& id) {
    return Column("SELECT " + column + " FROM Device WHERE pkid = ?", id);
  }

  // A profile element as getDeviceProfile renders it; lines, speed dials and services are the
  // children of their lists.
  std::string ProfileElement(const std::string& id, const std::string& name, const std::string& description,
                             const std::string& lines, const std::string& buttons, const std::string& phoneTemplate,
                             const std::string& speeddials, const std::string& services, const std::string& type) {
    return "<profile  uuid=\"" + id + "\" ctiid=\"" + Device("CtiId", id) + "\">\r\n" + El("name", name) +
           El("description", description) + El("product", "Desk Phone 60") + El("model", "Desk Phone 60") +
           El("class", "Device Profile") + El("protocol", "Station") + El("protocolSide", "User") + "<lines>\r\n" +
           lines + "</lines>\r\n" + El("numberOfButtons", buttons) + El("phoneTemplateId", phoneTemplate) +
           "<speeddials>\r\n" + speeddials + "</speeddials>\r\n" + El("addOnModules", "") + "<services>\r\n" +
           services + "</services>\r\n" + El("deviceProfile", type) + "</profile>\r\n";
  }
  static std::string ServiceElement(const std::string& uuid) {
    return "<service  uuid=\"" + uuid + "\">\r\n" + El("name", "R") + El("url", "u") +
           Ref("voxbeamService", kRoomsService) + "</service>\r\n";
  }

  std::string internal_, dn1000_;
};

TEST_F(DeviceProfileTest, AddStoresTheFixedProductAndGetRendersTheProfile) {
  const std::string id = AddProfile(
      "Roamer", "<callingSearchSpaceName>ignored</callingSearchSpaceName><traceFlag>bad</traceFlag>"
                "<lines><line index=\"1\"><label>L</label><display>D</display><dirnId>" + dn1000_ +
                "</dirnId></line></lines><numberOfButtons>1</numberOfButtons><phoneTemplateName>Standard Desk Phone 60"
                "</phoneTemplateName><speeddials><speeddial index=\"2\"><dirn>55</dirn><label>x</label></speeddial>"
                "</speeddials><idleTimeout>9</idleTimeout><servicesURL>http://s</servicesURL><services><service><name>R"
                "</name><url>u</url><voxbeamService uuid=\"" + std::string(kRoomsService) + "\"/></service></services>"
                "<softkeyTemplateName>Standard User</softkeyTemplateName>");
  const std::string line = Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", id);
  const std::string service = Column("SELECT pkid FROM VoxbeamSubscribedService WHERE fkDevice = ?", id);
  const std::string expected = ProfileElement(
      id, "Roamer", "", LineElement(line, 1, "L", "D", dn1000_), "6", kTemplate60,
      "<speeddial  index=\"2\">\r\n" + El("dirn", "55") + El("label", "x") + "</speeddial>\r\n",
      ServiceElement(service), "User Profile");
  EXPECT_EQ(Response("getDeviceProfile", Returned(expected)),
            Call("<getDeviceProfile><profileName>ROAMER</profileName></getDeviceProfile>"));
  EXPECT_EQ(Response("getDeviceProfile", Returned(expected), "3"),
            Call("<zeb:getDeviceProfile sequence=\"3\"><zeb:profileId>" + id + "</zeb:profileId></zeb:getDeviceProfile>"));
  EXPECT_EQ("35|254|1|0", Column("SELECT tkProduct || '|' || tkClass || '|' || tkProtocolSide || '|' || "
                                 "tkDeviceProtocol FROM Device WHERE pkid = ?", id));
  // Phone-service URLs are accepted and have no effect.
  EXPECT_EQ("0", Column("SELECT count(*) FROM Voxbeam WHERE fkDevice = ?", id));
}

TEST_F(DeviceProfileTest, UpdateReplacesTheListsItNames) {
  const std::string id = AddProfile("P1");
  AddNumber("1001", internal_);
  EXPECT_EQ(Standard("updateDeviceProfile", id),
            Call("<updateDeviceProfile><name>P1</name><newName>P2</newName><description>d</description><lines>"
                 "<lineIdentifier><directoryNumber>1001</directoryNumber><routePartitionName>Internal"
                 "</routePartitionName></lineIdentifier><lineIdentifier><directoryNumber>1000</directoryNumber>"
                 "<routePartitionName>Internal</routePartitionName></lineIdentifier></lines><phoneTemplateId/>"
                 "<softkeyTemplateName>Standard User</softkeyTemplateName></updateDeviceProfile>"));
  EXPECT_EQ("P2|d", Column("SELECT Name || '|' || Description FROM Device WHERE pkid = ?", id));
  // Line identifiers are numbered by their position.
  EXPECT_EQ("1,2", Joined("SELECT NumPlanIndex FROM DeviceNumPlanMap WHERE fkDevice = ? ORDER BY NumPlanIndex", id));
}

TEST_F(DeviceProfileTest, AutoGeneratedProfileCopiesThePhoneAndGoesWithIt) {
  const std::string phone = AddPhone(
      PhoneHead("SEP9") + "<lines><line index=\"1\"><label>L</label><display/><dirn uuid=\"" + dn1000_ +
      "\"/></line></lines><phoneTemplateName>Standard Desk Phone 12</phoneTemplateName><speeddials><speeddial "
      "index=\"1\"><dirn>7</dirn><label/></speeddial></speeddials><services><service><name>R</name><url>u</url>"
      "<voxbeamService uuid=\"" + std::string(kRoomsService) + "\"/></service></services>");
  const std::string profile = CallForId("createAutogeneratedProfile",
                                        "<createAutogeneratedProfile><phoneName>SEP9</phoneName>"
                                        "</createAutogeneratedProfile>");
  // The profile has copies of the phone's lines, speed dials, services and template.
  EXPECT_EQ(
      Response(
          "getDeviceProfile",
          Returned(ProfileElement(
              profile, "AutoProfile_SEP9", "Auto-generated profile of SEP9",
              LineElement(Column("SELECT pkid FROM DeviceNumPlanMap WHERE fkDevice = ?", profile), 1, "L", "",
                          dn1000_),
              "2", Device("fkPhoneTemplate", phone),
              "<speeddial  index=\"1\">\r\n" + El("dirn", "7") + El("label", "") + "</speeddial>\r\n",
              ServiceElement(Column("SELECT pkid FROM VoxbeamSubscribedService WHERE fkDevice = ?", profile)),
              "Autogenerated Profile"))),
      Call("<getDeviceProfile><profileId>" + profile + "</profileId></getDeviceProfile>"));

  ExpectRefused("<createAutogeneratedProfile><phoneId>" + phone + "</phoneId></createAutogeneratedProfile>",
                "createAutogeneratedProfile", 3,
                "The phone \"SEP9\" already has an auto-generated profile, \"AutoProfile_SEP9\".");
  ExpectRefused("<removeDeviceProfile><deviceId>" + profile + "</deviceId></removeDeviceProfile>",
                "removeDeviceProfile", kNotFound, "Cannot delete an auto-generated profile.");
  EXPECT_EQ(Standard("removePhone", phone), Call("<removePhone><deviceId>" + phone + "</deviceId></removePhone>"));
  EXPECT_EQ("", Device("Name", profile));
}

TEST_F(DeviceProfileTest, LoginAndLogoutAreRecordedOnTheDevice) {
  const std::string profile = AddProfile("Visitor");
  const std::string phone = AddPhone(PhoneHead("SEP7"));
  EXPECT_EQ(Standard("doDeviceLogin", "true"),
            Call("<doDeviceLogin><deviceName>sep7</deviceName><loginDuration>90</loginDuration><profileName>Visitor"
                 "</profileName><userId>jdoe</userId></doDeviceLogin>"));
  EXPECT_EQ(profile + "|jdoe|90|5400",
            Column("SELECT ikDevice_CurrentLoginProfile || '|' || LoginUserID || '|' || LoginDuration || '|' || "
                   "(LoginExpiry - LoginTime) FROM Device WHERE pkid = ?", phone));
  ExpectRefused("<doDeviceLogin><deviceId>" + phone + "</deviceId><loginDuration>0</loginDuration><profileId>" +
                    profile + "</profileId><userId>other</userId></doDeviceLogin>",
                "doDeviceLogin", 11, "A user is logged in to the device \"SEP7\" already; log that user out first.");
  ExpectRefused("<removeDeviceProfile><deviceName>Visitor</deviceName></removeDeviceProfile>", "removeDeviceProfile",
                4, "The Device \"Visitor\" cannot be removed because it is still used by Device \"SEP7\".");
  EXPECT_EQ(Standard("doDeviceLogout", "true"),
            Call("<doDeviceLogout><deviceId>" + phone + "</deviceId></doDeviceLogout>"));
  EXPECT_EQ("|||0", Column("SELECT COALESCE(ikDevice_CurrentLoginProfile, '') || '|' || LoginUserID || '|' || "
                           "'|' || LoginExpiry FROM Device WHERE pkid = ?", phone));
  ExpectRefused("<doDeviceLogout><deviceName>SEP7</deviceName></doDeviceLogout>", "doDeviceLogout", 11,
                "Nobody is logged in to the device \"SEP7\".");
  EXPECT_EQ(Standard("removeDeviceProfile", profile),
            Call("<removeDeviceProfile><deviceName>Visitor</deviceName></removeDeviceProfile>"));
}

TEST_F(DeviceProfileTest, ResetsAreRecordedWithTheirType) {
  const std::string phone = AddPhone(PhoneHead("SEP8"));
  EXPECT_EQ(Standard("doDeviceReset", "true"),
            Call("<doDeviceReset><deviceName>SEP8</deviceName><isHardReset>false</isHardReset></doDeviceReset>"));
  EXPECT_EQ(Standard("doDeviceReset", "true"),
            Call("<doDeviceReset><deviceId>" + phone + "</deviceId><isHardReset>true</isHardReset></doDeviceReset>"));
  EXPECT_EQ("SEP8:7:2,SEP8:7:1",
            Joined("SELECT DeviceName || ':' || tkModel || ':' || ResetType FROM DeviceReset WHERE fkDevice = ? "
                   "ORDER BY ResetTime, ResetType DESC", phone));
}

TEST_F(DeviceProfileTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string phone = AddPhone(PhoneHead("SEP1"));
  const std::string profile = AddProfile("Prof");
  const std::string head = "<name>N</name><product/><model/><class/><protocol/><protocolSide/>";
  auto add = [&](const std::string& tail) {
    return "<addDeviceProfile><newProfile>" + head + tail + "</newProfile></addDeviceProfile>";
  };
  auto login = [&](const std::string& device, const std::string& profileElement) {
    return "<doDeviceLogin>" + device + "<loginDuration>5</loginDuration>" + profileElement + "<userId>u</userId>"
           "</doDeviceLogin>";
  };
  const std::string unknown = "{00000000-0000-0000-0000-00000000BEEF}";
  ExpectAllRefused(zebd_, {
      {"<addDeviceProfile/>", kUnexpectedNode, "Found NULL, expecting <newProfile>"},
      {add("<phoneTemplateName>Nope</phoneTemplateName>"), kNotFound, "Phone Template not found."},
      {"<createAutogeneratedProfile><phoneName>Nope</phoneName></createAutogeneratedProfile>", kNotFound,
       "Device not found."},
      {"<createAutogeneratedProfile><phoneName>Prof</phoneName></createAutogeneratedProfile>", 11,
       "The device \"Prof\" is not a phone; only a phone can have an auto-generated profile."},
      {"<updateDeviceProfile><name>Prof</name></updateDeviceProfile>", kUnexpectedNode,
       "Found NULL, expecting <newName>"},
      {"<updateDeviceProfile><name>Nope</name><newName>x</newName></updateDeviceProfile>", kNotFound,
       "Device not found."},
      {"<updateDeviceProfile><name>Prof</name><x/></updateDeviceProfile>", kUnexpectedNode,
       "<x> is not a valid element of this request type."},
      {"<getDeviceProfile><profileId>" + unknown + "</profileId></getDeviceProfile>", kNotFound,
       "The specified profile was not found."},
      {"<removePhone><deviceName>Prof</deviceName></removePhone>", kNotFound,
       "The device [Prof] is not of type [Device Profile].  Cannot delete with removePhone method."},
      {"<doDeviceLogin><deviceName>Nope</deviceName></doDeviceLogin>", kNotFound,
       "Device not found with name Nope."},
      {login("<deviceName>SEP1</deviceName>", "<profileName>Ghost</profileName>"), kNotFound,
       "Profile not found with name Ghost."},
      // What the cluster refuses.
      {login("<deviceName>SEP1</deviceName>", "<profileName>SEP1</profileName>"), 11,
       "The device \"SEP1\" is not a device profile."},
      {login("<deviceName>Prof</deviceName>", "<profileName>Prof</profileName>"), 11,
       "The device \"Prof\" is not a phone; nobody can log in to it."},
      {login("<deviceId>" + unknown + "</deviceId>", "<profileId>" + profile + "</profileId>"), kNotFound,
       "The device " + unknown + " does not exist."},
      {login("<deviceId>" + phone + "</deviceId>", "<profileId>" + unknown + "</profileId>"), kNotFound,
       "The device profile " + unknown + " does not exist."},
      {"<doDeviceLogin><deviceName>SEP1</deviceName><loginDuration>-5</loginDuration><profileName>Prof</profileName>"
       "<userId>u</userId></doDeviceLogin>",
       8, "The login duration must not be negative."},
      {"<doDeviceReset><deviceName>Nope</deviceName></doDeviceReset>", kNotFound,
       "The specified device was not found."},
      {"<doDeviceReset><deviceName>SEP1</deviceName><isHardReset>yes</isHardReset></doDeviceReset>",
       kInvalidValue, "Invalid boolean value: yes"},
  });
}

}  // namespace
}  // namespace zeb::test
