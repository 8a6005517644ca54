// addPhone, updatePhone, getPhone and removePhone through real HTTP.
#include "e2e/DeviceTest.h"

namespace zeb::test {
namespace {

const char kTemplate40[] = "{5EED0000-0000-0000-0008-000000000002}";
const char kAddOnTemplate[] = "{5EED0000-0000-0000-0008-000000000004}";
const char kDirectoryService[] = "{5EED0000-0000-0000-0009-000000000001}";
const char kRoomsService[] = "{5EED0000-0000-0000-0009-000000000002}";

class PhoneTest : public DeviceTest {
 protected:
  std::string Get(const std::string& name) {
    return WithoutStamp(Call("<getPhone><phoneName>" + name + "</phoneName></getPhone>"));
  }
  // The identifier of the n-th child row of the device, ordered by the column given.
  std::string ChildId(const std::string& table, const std::string& device, const std::string& order, int n) {
    return Column("SELECT pkid FROM " + table + " WHERE fkDevice = ? ORDER BY " + order + " LIMIT 1 OFFSET " +
                      std::to_string(n),
                  device);
  }

  // The getPhone response for a phone of the product, from its calling search space or load on.
  std::string PhoneResponse(const std::string& id, const std::string& name, const std::string& product,
                            const std::string& rest, const std::string& description = "") {
    return Got("getPhone", DeviceTag("device", "XIPPhone", id) +
                               Identity(name, description, product, "Phone", "Station", "User") + rest +
                               "</device>\r\n");
  }
  // The device settings after the load information.
  static std::string Settings(const std::string& trace) {
    return El("vendorConfig", "") + El("versionStamp", "{STAMP}") + El("traceFlag", trace) + El("associatedPC", "");
  }
};

// The phone with two lines, two speed dials, one add-on module, two services and both calling
// search spaces (the benchmark's phone).
std::string FullPhoneRequest(const std::string& dn1001, const std::string& name) {
  return PhoneHead(name, "Desk Phone 40", "Reception &amp; desk") +
         "<callingSearchSpaceName>Office</callingSearchSpaceName><devicePoolName>Default</devicePoolName>"
         "<locationName>HQ</locationName><mediaResourceListName>Media 1</mediaResourceListName>"
         "<automatedAlternateRoutingCSSName>Overflow</automatedAlternateRoutingCSSName>"
         "<aarNeighborhoodName>North</aarNeighborhoodName><loadInformation/><vendorConfig>&lt;cfg/&gt;</vendorConfig>"
         "<versionStamp>ignored</versionStamp><traceFlag>true</traceFlag><associatedPC>pc-7</associatedPC>"
         "<lines><line index=\"1\"><label>Main</label><display>Reception</display><dirn><pattern>1000</pattern>"
         "<usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn><ringSetting>Ring</ringSetting>"
         "<consecutiveRingSetting>Flash Only</consecutiveRingSetting><e164Mask>+4930XXXX</e164Mask>"
         "<dialPlanWizardId>5</dialPlanWizardId><mwlPolicy>Light Only</mwlPolicy></line>"
         "<line index=\"2\"><label>Second</label><display>Back</display><dirn uuid=\"" + dn1001 + "\"/></line></lines>"
         "<numberOfButtons>9</numberOfButtons><phoneTemplateName>Standard Desk Phone 40</phoneTemplateName>"
         "<speeddials><speeddial index=\"1\"><dirn>2000</dirn><label>Boss</label></speeddial>"
         "<speeddial index=\"3\"><dirn>2001</dirn><label/></speeddial></speeddials>"
         "<addOnModules><addOnModule index=\"1\"><loadInformation>AM.1-0</loadInformation><phoneTemplateId>" +
         std::string(kAddOnTemplate) + "</phoneTemplateId></addOnModule></addOnModules>"
         "<idleTimeout>30</idleTimeout><authenticationURL>http://auth</authenticationURL>"
         "<directoryURL>http://dir</directoryURL><idleURL/><informationURL>http://info</informationURL>"
         "<messagesURL>http://msg</messagesURL><proxyServerURL>http://proxy</proxyServerURL>"
         "<servicesURL>http://svc</servicesURL><services><service><name>Directory</name>"
         "<url>http://d?a=1&amp;b=2</url><voxbeamServiceName>Corporate Directory</voxbeamServiceName></service>"
         "<service><name>Rooms</name><url>http://r</url><voxbeamService uuid=\"" + kRoomsService + "\"/></service>"
         "</services><softkeyTemplateName>Standard Feature</softkeyTemplateName>"
         "<defaultProfileName>Roaming</defaultProfileName><enableExtensionMobility>true</enableExtensionMobility>";
}

TEST_F(PhoneTest, GetPhoneRendersThePhoneWithEverythingThatHangsOffIt) {
  AddCSS("Office", "Internal");
  AddCSS("Overflow");
  AddNamed("Location", "HQ");
  AddNamed("MediaResourceList", "Media 1");
  const std::string north = AddNamed("AARNeighborhood", "North");
  const std::string profile = AddProfile("Roaming");
  const std::string id = AddPhone(FullPhoneRequest(dn1001_, "SEP00AA"));
  Db().Execute("UPDATE Device SET tkUserLocale = 2, tkCountry = 7 WHERE pkid = ?", {id});

  const std::string expected = PhoneResponse(
      id, "SEP00AA", "Desk Phone 40",
      El("callingSearchSpaceName", "Office") + El("devicePoolName", "Default") +
      El("locationName", "HQ") + El("mediaResourceListName", "Media 1") +
      El("callingSearchSpaceName", "Overflow") + "<aarNeighborhood  uuid=\"" + north + "\">\r\n" +
      El("name", "North") + "</aarNeighborhood>\r\n" + El("loadInformation", "DP40.3-0-2") +
      El("vendorConfig", "&lt;cfg/&gt;") + El("versionStamp", "{STAMP}") + El("traceFlag", "true") +
      El("associatedPC", "pc-7") + "<lines>\r\n" +
      LineElement(ChildId("DeviceNumPlanMap", id, "NumPlanIndex", 0), 1, "Main", "Reception", dn1000_, "Ring",
                  "Flash Only", "+4930XXXX", 0, "Light Only") +
      LineElement(ChildId("DeviceNumPlanMap", id, "NumPlanIndex", 1), 2, "Second", "Back", dn1001_) +
      "</lines>\r\n" + El("numberOfButtons", "4") + El("phoneTemplateId", kTemplate40) +
      "<speeddials>\r\n<speeddial  index=\"1\">\r\n" + El("dirn", "2000") + El("label", "Boss") +
      "</speeddial>\r\n<speeddial  index=\"3\">\r\n" + El("dirn", "2001") + El("label", "") +
      "</speeddial>\r\n</speeddials>\r\n" + "<addOnModules>\r\n<addOnModule  uuid=\"" +
      ChildId("DeviceAddOnModuleMap", id, "ModuleIndex", 0) + "\" index=\"1\">\r\n" +
      El("loadInformation", "AM.1-0") + El("phoneTemplateId", kAddOnTemplate) +
      "</addOnModule>\r\n</addOnModules>\r\n" + "<userLocale>\r\n" + El("name", "German Germany") +
      El("DialcoreVersion", "1.0.0.1") + El("componentVersion", "1.0.0.1") + El("writtenLanguage", "German") +
      El("SpokenLanguage", "German") + El("winCharSet", "iso-8859-1") + "</userLocale>\r\n" +
      El("country", "New Zealand") + El("idleTimeout", "30") + El("authenticationURL", "http://auth") +
      El("directoryURL", "http://dir") + El("idleURL", "") + El("informationURL", "http://info") +
      El("messagesURL", "http://msg") + El("proxyServerURL", "http://proxy") +
      El("servicesURL", "http://svc") + "<services>\r\n<service  uuid=\"" +
      ChildId("VoxbeamSubscribedService", id, "serviceName", 0) + "\">\r\n" + El("name", "Directory") +
      El("url", "http://d?a=1&amp;b=2") + Ref("voxbeamService", kDirectoryService) +
      "</service>\r\n<service  uuid=\"" + ChildId("VoxbeamSubscribedService", id, "serviceName", 1) +
      "\">\r\n" + El("name", "Rooms") + El("url", "http://r") + Ref("voxbeamService", kRoomsService) +
      "</service>\r\n</services>\r\n" + El("softkeyTemplateName", "Standard Feature") +
      Ref("defaultProfile", profile) + El("enableExtensionMobility", "true"),
      "Reception &amp; desk");
  EXPECT_EQ(expected, Get("sep00aa"));
  EXPECT_EQ(expected, WithoutStamp(Call("<getPhone><phoneId>" + id + "</phoneId></getPhone>")));
}

TEST_F(PhoneTest, ProductWithoutPhoneServicesHasNoServiceSection) {
  const std::string id = AddPhone(PhoneHead("CONF1", "Conference Phone 10") + "<idleTimeout>5</idleTimeout>");
  // Without special load information the model's default load is shown; the element ends with the
  // country, without phone-service settings.
  EXPECT_EQ(PhoneResponse(id, "CONF1", "Conference Phone 10",
                          El("loadInformation", "CP10.1-4-0") + Settings("false") + El("lines", "") +
                              El("numberOfButtons", "1") + El("phoneTemplateId", "") + El("speeddials", "") +
                              El("addOnModules", "") + El("country", "")),
            Get("CONF1"));
}

TEST_F(PhoneTest, UpdateReplacesListsClearsReferencesAndKeepsWhatItDoesNotName) {
  AddCSS("Office", "Internal");
  const std::string id = AddPhone(
      PhoneHead("SEP2") + "<callingSearchSpaceName>Office</callingSearchSpaceName><devicePoolName>Default</devicePoolName>"
      "<lines><lineIdentifier><directoryNumber>1000</directoryNumber><routePartitionName>Internal</routePartitionName>"
      "</lineIdentifier></lines><speeddials><speeddial index=\"1\"><dirn>1</dirn><label>a</label></speeddial>"
      "</speeddials><services><service><name>S</name><url>u</url><voxbeamService uuid=\"" + std::string(kRoomsService) +
      "\"/></service></services>");
  EXPECT_EQ(Standard("updatePhone", id),
            Call("<updatePhone><name>SEP2</name><newName>SEP3</newName><description/><protocol>x</protocol>"
                 "<callingSearchSpaceId/><devicePoolName/><loadInformation>L9</loadInformation>"
                 "<lines><line index=\"4\"><label>New</label><display>D</display><dirn uuid=\"" + dn1001_ +
                 "\"/><mwlPolicy>None</mwlPolicy></line></lines><ringSetting>Disable</ringSetting>"
                 "<speeddials/><idleTimeout>12</idleTimeout><softkeyTemplateName>Standard User</softkeyTemplateName>"
                 "</updatePhone>"));
  // No calling search space or device pool is left; the services it did not name stay.
  EXPECT_EQ(
      PhoneResponse(id, "SEP3", "Desk Phone 12",
                    El("loadInformation", "L9") + Settings("false") + "<lines>\r\n" +
                        LineElement(ChildId("DeviceNumPlanMap", id, "pkid", 0), 4, "New", "D", dn1001_,
                                    "Use System Default", "Use System Default", "", 0, "None") +
                        "</lines>\r\n" + El("numberOfButtons", "2") + El("phoneTemplateId", "") +
                        El("speeddials", "") + El("addOnModules", "") + El("country", "") +
                        El("idleTimeout", "12") + El("authenticationURL", "") + El("directoryURL", "") +
                        El("idleURL", "") + El("informationURL", "") + El("messagesURL", "") +
                        El("proxyServerURL", "") + El("servicesURL", "") + "<services>\r\n<service  uuid=\"" +
                        ChildId("VoxbeamSubscribedService", id, "pkid", 0) + "\">\r\n" + El("name", "S") +
                        El("url", "u") + Ref("voxbeamService", kRoomsService) +
                        "</service>\r\n</services>\r\n" + El("softkeyTemplateName", "Standard User") +
                        // No default profile: the element is there with an empty "uuid".
                        "<defaultProfile  uuid=\"\"></defaultProfile>\r\n" +
                        El("enableExtensionMobility", "false")),
      Get("SEP3"));
  EXPECT_EQ("1", Column("SELECT tkRingSetting FROM Device WHERE pkid = ?", id));
  // An update without lists leaves them.
  EXPECT_EQ(Standard("updatePhone", id), Call("<updatePhone><uuid>" + id + "</uuid><traceFlag>true</traceFlag></updatePhone>"));
  EXPECT_EQ("1", Column("SELECT count(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(PhoneTest, GetByUnknownIdAnswersAnEmptyReturnAndRemoveTakesTheLines) {
  EXPECT_EQ(Response("getPhone", "<return>\r\n</return>\r\n"),
            Call("<getPhone><phoneId>{00000000-0000-0000-0000-00000000ABCD}</phoneId></getPhone>"));
  const std::string id = AddPhone(PhoneHead("SEP4") + "<lines><line index=\"1\"><label/><display/><dirn uuid=\"" +
                                  dn1000_ + "\"/></line></lines>");
  EXPECT_EQ(Standard("removePhone", id), Call("<removePhone><deviceName>SEP4</deviceName></removePhone>"));
  EXPECT_EQ("0", Column("SELECT count(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(PhoneTest, AddRefusalsNameTheProblemAndChangeNothing) {
  AddNumber("9000", internal_, 5);
  AddPhone(PhoneHead("Taken"));
  AddProfile("Roaming");
  const std::string head = PhoneHead("N");
  auto with = [&](const std::string& tail) { return "<addPhone><newPhone>" + head + tail + "</newPhone></addPhone>"; };
  auto line = [&](const std::string& inner) { return with("<lines><line index=\"1\">" + inner + "</line></lines>"); };
  const std::string labels = "<label>l</label><display>d</display>";
  const std::string toProtocol = "<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/>";
  ExpectAllRefused(zebd_, {
      {"<addPhone/>", kUnexpectedNode, "Found NULL, expecting <newPhone>"},
      {"<addPhone><newPhone><name>N</name><product>Toaster</product></newPhone></addPhone>", kInvalidValue,
       "Unkown product type specified: Toaster"},
      {toProtocol + "<protocol>Pigeon</protocol></newPhone></addPhone>", 8, "Invalid Parameter: Pigeon"},
      {with("<callingSearchSpaceId>x</callingSearchSpaceId>"), kUnexpectedNode,
       "Deprecated element. Please use <callingSearchSpace> or <callingSearchSpaceName."},
      {with("<devicePoolName>Nope</devicePoolName>"), kNotFound, "Device Pool not found."},
      {with("<locationName>Nope</locationName>"), kNotFound, "Location not found."},
      {with("<aarNeighborhoodName/>"), kInvalidValue,
       "The element, <aarNeighborhoodName> must contain a value."},
      {with("<aarNeighborhoodName>Nope</aarNeighborhoodName>"), kNotFound, "AAR Neighborhood not found."},
      // A profile takes <dirnId> as the number's identifier; a phone refuses it.
      {line(labels + "<dirnId>x</dirnId>"), kUnexpectedNode, "Deprecated element. Please use <dirn>."},
      {line(labels + "<dirn><pattern>1000</pattern><usage/></dirn>"), kUnexpectedNode,
       "NULL element found, expecting <routePartitionId> or <routeParititionName>"},
      {line(labels +
       "<dirn><pattern>1234</pattern><usage/><routePartitionName>Internal</routePartitionName></dirn>"),
       kNotFound, "Directory Number1234not found."},
      {line(labels + "<dirn><pattern>9000</pattern><usage/><routePartitionId>" + internal_ +
       "</routePartitionId></dirn>"),
       kNotFound, "The NumPlan specified is not a Directory Number."},
      {with("<lines><lineIdentifier><directoryNumber>1</directoryNumber><routePartitionName>Internal"
            "</routePartitionName></lineIdentifier></lines>"),
       kNotFound, "Directory Number not found."},
      // A line naming a number that does not exist: the phone is not left behind either.
      {line(labels + "<dirn uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"), 5,
       "The Number Plan entry {00000000-0000-0000-0000-00000000DEAD} referred to by this line appearance "
       "does not exist."},
      {with("<phoneTemplateName>Nope</phoneTemplateName>"), kNotFound, "Phone Template not found."},
      {with("<addOnModules/>"), kUnexpectedNode,
       "At least one <addOnModule> is required if <addOnModules> is present."},
      {with("<services><service><name/><url/><voxbeamServiceName>Nope</voxbeamServiceName></service></services>"),
       kNotFound, "Voxbeam Service not found."},
      {with("<softkeyTemplateName>standard user</softkeyTemplateName>"), kNotFound,
       "Softkey Template not found."},
      {with("<defaultProfileName>Taken</defaultProfileName>"), kNotFound,
       "The default device profile specified is not a device profile."},
      {with("<defaultProfileName>Roaming</defaultProfileName>"), kUnexpectedNode,
       "NULL element found. Expecting <enableExtensionMobility>."},
      {with("<enableExtensionMobility>false</enableExtensionMobility>"), kInvalidValue,
       "Default Profile must be set before enableExtensionMobility."},
      {"<addPhone><newPhone>" + PhoneHead("TAKEN") + "</newPhone></addPhone>", 3,
       "A Device named \"TAKEN\" already exists."},
  });
}

TEST_F(PhoneTest, UpdateAndGetRefusalsNameTheProblemAndChangeNothing) {
  AddPhone(PhoneHead("SEP5"));
  auto update = [](const std::string& tail) { return "<updatePhone><name>SEP5</name>" + tail + "</updatePhone>"; };
  ExpectAllRefused(zebd_, {
      {"<updatePhone><name/></updatePhone>", kInvalidValue, "Then element, <name>, must have a value."},
      {"<updatePhone><name>Nope</name></updatePhone>", kNotFound, "Device not found."},
      {update("<automatedAlternateRoutingCSSName>Nope</automatedAlternateRoutingCSSName>"), kNotFound,
       "AAR Calling Search Space not found."},
      {update("<enableExtensionMobility>true</enableExtensionMobility>"), kInvalidValue,
       "Default Profile must be set before enableExtensionMobility."},
      {update("<description/><name>x</name>"), kUnexpectedNode,
       "<name> is not a valid element of this request type."},
  });
  ExpectAllRefused(zebd_, {
      {"<getPhone/>", kUnexpectedNode, "NULL element found.  Expecting a device Id or Name."},
      {"<getPhone><phoneName>Nope</phoneName></getPhone>", kNotFound, "The specified phone was not found."},
  });
}

}  // namespace
}  // namespace zeb::test
