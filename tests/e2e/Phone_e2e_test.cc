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
  void SetUp() override {
    internal_ = AddPartition("Internal");
    dn1000_ = AddNumber("1000", internal_);
    dn1001_ = AddNumber("1001", internal_);
  }

  std::string Get(const std::string& name) {
    return WithoutStamp(Call("<getPhone><phoneName>" + name + "</phoneName></getPhone>"));
  }
  // The identifier of the n-th child row of the device, ordered by the column given.
  std::string ChildId(const std::string& table, const std::string& device, const std::string& order, int n) {
    return Column("SELECT pkid FROM " + table + " WHERE fkDevice = ? ORDER BY " + order + " LIMIT 1 OFFSET " +
                      std::to_string(n),
                  device);
  }

  std::string internal_, dn1000_, dn1001_;
};

// A line element as the phone element renders it.
std::string Line(const std::string& uuid, int index, const std::string& label, const std::string& display,
                 const std::string& dirn, const std::string& ring, const std::string& consecutive,
                 const std::string& mask, int wizard, const std::string& mwl) {
  return "<line  uuid=\"" + uuid + "\" index=\"" + std::to_string(index) + "\">\r\n<label>" + label +
         "</label>\r\n<display>" + display + "</display>\r\n<dirn  uuid=\"" + dirn + "\"></dirn>\r\n<ringSetting>" +
         ring + "</ringSetting>\r\n<consecutiveRingSetting>" + consecutive + "</consecutiveRingSetting>\r\n<e164Mask>" +
         mask + "</e164Mask>\r\n<dialPlanWizardId>" + std::to_string(wizard) + "</dialPlanWizardId>\r\n<mwlPolicy>" +
         mwl + "</mwlPolicy>\r\n</line>\r\n";
}

std::string Element(const std::string& tag, const std::string& text) { return "<" + tag + ">" + text + "</" + tag + ">\r\n"; }

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

  const std::string expected =
      "<return>\r\n<device  xsi:type=\"zeb:XIPPhone\" ctiid=\"" + Column("SELECT CtiId FROM Device WHERE pkid = ?", id) +
      "\" uuid=\"" + id + "\">\r\n" + Element("name", "SEP00AA") + Element("description", "Reception &amp; desk") +
      Element("product", "Desk Phone 40") + Element("model", "Desk Phone 40") + Element("class", "Phone") +
      Element("protocol", "Station") + Element("protocolSide", "User") + Element("callingSearchSpaceName", "Office") +
      Element("devicePoolName", "Default") + Element("locationName", "HQ") +
      Element("mediaResourceListName", "Media 1") + Element("callingSearchSpaceName", "Overflow") +
      "<aarNeighborhood  uuid=\"" + north + "\">\r\n" + Element("name", "North") + "</aarNeighborhood>\r\n" +
      Element("loadInformation", "DP40.3-0-2") + Element("vendorConfig", "&lt;cfg/&gt;") +
      Element("versionStamp", "{STAMP}") + Element("traceFlag", "true") + Element("associatedPC", "pc-7") +
      "<lines>\r\n" +
      Line(ChildId("DeviceNumPlanMap", id, "NumPlanIndex", 0), 1, "Main", "Reception", dn1000_, "Ring", "Flash Only",
           "+4930XXXX", 0, "Light Only") +
      Line(ChildId("DeviceNumPlanMap", id, "NumPlanIndex", 1), 2, "Second", "Back", dn1001_, "Use System Default",
           "Use System Default", "", 0, "Use System Policy") +
      "</lines>\r\n" + Element("numberOfButtons", "4") + Element("phoneTemplateId", kTemplate40) +
      "<speeddials>\r\n<speeddial  index=\"1\">\r\n" + Element("dirn", "2000") + Element("label", "Boss") +
      "</speeddial>\r\n<speeddial  index=\"3\">\r\n" + Element("dirn", "2001") + Element("label", "") +
      "</speeddial>\r\n</speeddials>\r\n" + "<addOnModules>\r\n<addOnModule  uuid=\"" +
      ChildId("DeviceAddOnModuleMap", id, "ModuleIndex", 0) + "\" index=\"1\">\r\n" +
      Element("loadInformation", "AM.1-0") + Element("phoneTemplateId", kAddOnTemplate) +
      "</addOnModule>\r\n</addOnModules>\r\n" + "<userLocale>\r\n" + Element("name", "German Germany") +
      Element("DialcoreVersion", "1.0.0.1") + Element("componentVersion", "1.0.0.1") +
      Element("writtenLanguage", "German") + Element("SpokenLanguage", "German") + Element("winCharSet", "iso-8859-1") +
      "</userLocale>\r\n" + Element("country", "New Zealand") + Element("idleTimeout", "30") +
      Element("authenticationURL", "http://auth") + Element("directoryURL", "http://dir") + Element("idleURL", "") +
      Element("informationURL", "http://info") + Element("messagesURL", "http://msg") +
      Element("proxyServerURL", "http://proxy") + Element("servicesURL", "http://svc") + "<services>\r\n" +
      "<service  uuid=\"" + ChildId("VoxbeamSubscribedService", id, "serviceName", 0) + "\">\r\n" +
      Element("name", "Directory") + Element("url", "http://d?a=1&amp;b=2") + "<voxbeamService  uuid=\"" +
      kDirectoryService + "\"></voxbeamService>\r\n</service>\r\n" + "<service  uuid=\"" +
      ChildId("VoxbeamSubscribedService", id, "serviceName", 1) + "\">\r\n" + Element("name", "Rooms") +
      Element("url", "http://r") + "<voxbeamService  uuid=\"" + kRoomsService + "\"></voxbeamService>\r\n</service>\r\n" +
      "</services>\r\n" + Element("softkeyTemplateName", "Standard Feature") + "<defaultProfile  uuid=\"" + profile +
      "\"></defaultProfile>\r\n" + Element("enableExtensionMobility", "true") + "</device>\r\n</return>\r\n";
  EXPECT_EQ(Response("getPhone", expected), Get("sep00aa"));
  // By identifier, with prefixed elements and a sequence.
  EXPECT_EQ(Response("getPhone", expected, "7"),
            WithoutStamp(Call("<zeb:getPhone sequence=\"7\"><zeb:phoneId>" + id + "</zeb:phoneId></zeb:getPhone>")));
}

TEST_F(PhoneTest, ProductWithoutPhoneServicesHasNoServiceSection) {
  AddPhone(PhoneHead("CONF1", "Conference Phone 10") + "<idleTimeout>5</idleTimeout>");
  const std::string phone = Get("CONF1");
  EXPECT_NE(std::string::npos, phone.find("<country></country>\r\n</device>")) << phone;
  EXPECT_EQ(std::string::npos, phone.find("<idleTimeout>")) << phone;
  // Without special load information the model's default load is shown.
  EXPECT_NE(std::string::npos, phone.find("<loadInformation>CP10.1-4-0</loadInformation>")) << phone;
}

TEST_F(PhoneTest, LineIdentifiersAreNumberedByPosition) {
  const std::string id = AddPhone(PhoneHead("SEP1") +
                                  "<lines><lineIdentifier><directoryNumber>1000</directoryNumber><routePartitionName>"
                                  "Internal</routePartitionName></lineIdentifier><lineIdentifier><directoryNumber>1001"
                                  "</directoryNumber><routePartitionName>internal</routePartitionName></lineIdentifier>"
                                  "<lineIdentifier><directoryNumber>1000</directoryNumber><routePartitionName>Internal"
                                  "</routePartitionName></lineIdentifier></lines>");
  EXPECT_EQ("1,2,3", Joined("SELECT NumPlanIndex FROM DeviceNumPlanMap WHERE fkDevice = ? ORDER BY NumPlanIndex",
                            id));
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
  const std::string phone = Get("SEP3");
  EXPECT_EQ(std::string::npos, phone.find("callingSearchSpaceName")) << phone;
  EXPECT_EQ(std::string::npos, phone.find("devicePoolName")) << phone;
  EXPECT_NE(std::string::npos, phone.find("<loadInformation>L9</loadInformation>")) << phone;
  EXPECT_NE(std::string::npos, phone.find("<lines>\r\n<line  uuid=\"" + ChildId("DeviceNumPlanMap", id, "pkid", 0) +
                                          "\" index=\"4\">")) << phone;
  EXPECT_EQ("1", Column("SELECT count(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  EXPECT_NE(std::string::npos, phone.find("<speeddials></speeddials>")) << phone;
  EXPECT_NE(std::string::npos, phone.find("<idleTimeout>12</idleTimeout>")) << phone;
  EXPECT_NE(std::string::npos, phone.find("<name>S</name>")) << "services not named stay: " << phone;
  EXPECT_EQ("1", Column("SELECT tkRingSetting FROM Device WHERE pkid = ?", id));
  // An update without lists leaves them.
  EXPECT_EQ(Standard("updatePhone", id), Call("<updatePhone><uuid>" + id + "</uuid><traceFlag>true</traceFlag></updatePhone>"));
  EXPECT_EQ("1", Column("SELECT count(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_F(PhoneTest, GetByUnknownIdAnswersAnEmptyReturnAndRemoveTakesTheLines) {
  EXPECT_EQ(Response("getPhone", "<return></return>\r\n"),
            Call("<getPhone><phoneId>{00000000-0000-0000-0000-00000000ABCD}</phoneId></getPhone>"));
  const std::string id = AddPhone(PhoneHead("SEP4") + "<lines><line index=\"1\"><label/><display/><dirn uuid=\"" +
                                  dn1000_ + "\"/></line></lines>");
  EXPECT_EQ(Standard("removePhone", id), Call("<removePhone><deviceName>SEP4</deviceName></removePhone>"));
  EXPECT_EQ("0", Column("SELECT count(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

struct Refusal {
  std::string request;
  int code;
  std::string message;
};

TEST_F(PhoneTest, AddRefusalsNameTheProblemAndChangeNothing) {
  AddNumber("9000", internal_, 5);
  AddPhone(PhoneHead("Taken"));
  AddProfile("Roaming");
  const std::string head = PhoneHead("N");
  auto with = [&](const std::string& tail) { return "<addPhone><newPhone>" + head + tail + "</newPhone></addPhone>"; };
  auto line = [&](const std::string& inner) { return with("<lines><line index=\"1\">" + inner + "</line></lines>"); };
  const std::string labels = "<label>l</label><display>d</display>";
  const Refusal cases[] = {
      {"<addPhone/>", kUnexpectedNode, "Unexpected element. Found NULL, expecting <newPhone>"},
      {"<addPhone><p/></addPhone>", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {"<addPhone><newPhone><x/></newPhone></addPhone>", kUnexpectedNode, "Unexpected element. Found <x>, expecting <name>."},
      {"<addPhone><newPhone><name/></newPhone></addPhone>", kInvalidValue, "The element, <name>, must contain a value."},
      {"<addPhone><newPhone><name>N</name></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <description> or <product>"},
      {"<addPhone><newPhone><name>N</name><description/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <product>"},
      {"<addPhone><newPhone><name>N</name><product/></newPhone></addPhone>", kInvalidValue,
       "The element, <product>, must contain a value."},
      {"<addPhone><newPhone><name>N</name><product>Toaster</product></newPhone></addPhone>", kInvalidValue,
       "Unkown product type specified: Toaster"},
      {"<addPhone><newPhone><name>N</name><productInfo/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. No \"name\" attribute found in <productInfo>."},
      {"<addPhone><newPhone><name>N</name><model/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. Found <model>, expecting <product> or <productInfo>."},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <model>"},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><class/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. Found <class>, expecting <model>."},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <class>"},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/></newPhone></addPhone>", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <protocol>"},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/><protocol/></newPhone></addPhone>",
       kInvalidValue, "The element, <protocol>, must contain a value."},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/><protocol>Pigeon</protocol></newPhone>"
       "</addPhone>",
       8, "Invalid Parameter: Pigeon"},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/><protocol>Station</protocol></newPhone>"
       "</addPhone>",
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <protocolSide>"},
      {"<addPhone><newPhone><name>N</name><product>Desk Phone 12</product><model/><class/><protocol>Station</protocol>"
       "<protocolSide/></newPhone></addPhone>",
       kInvalidValue, "The element, <protocolSide>, must contain a value."},
      {with("<callingSearchSpaceId>x</callingSearchSpaceId>"), kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <callingSearchSpace> or <callingSearchSpaceName."},
      {with("<callingSearchSpace/>"), kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <callingSearchSpace>."},
      {with("<callingSearchSpaceName>Nope</callingSearchSpaceName>"), kNotFound, "Calling search space not found."},
      {with("<devicePoolId/>"), kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <devicePool> or <devicePoolName."},
      {with("<devicePoolName/>"), kInvalidValue, "The element, <devicePoolName>, must contain a value."},
      {with("<devicePoolName>Nope</devicePoolName>"), kNotFound, "Device Pool not found."},
      {with("<locationId/>"), kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <location> or <locationName>."},
      {with("<location/>"), kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <location>."},
      {with("<locationName>Nope</locationName>"), kNotFound, "Location not found."},
      {with("<mediaResourceListId/>"), kUnexpectedNode,
       "Unexpected element. Deprecated element. Please use <mediaResourceList> or <mediaResourceListName>."},
      {with("<mediaResourceListName>Nope</mediaResourceListName>"), kNotFound, "Media Resource List not found."},
      {with("<automatedAlternateRoutingCSS/>"), kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <automatedAlternateRoutingCSS>."},
      {with("<automatedAlternateRoutingCSSName>Nope</automatedAlternateRoutingCSSName>"), kNotFound,
       "AAR Calling search space not found."},
      {with("<aarNeighborhood/>"), kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <aarNeighborhood>."},
      {with("<aarNeighborhoodName/>"), kInvalidValue, "The element, <aarNeighborhoodName> must contain a value."},
      {with("<aarNeighborhoodName>Nope</aarNeighborhoodName>"), kNotFound, "AAR Neighborhood not found."},
      {with("<traceFlag/>"), kInvalidValue, "The element, <traceFlag>, must contain a value."},
      {with("<traceFlag>TRUE</traceFlag>"), kInvalidValue, "Invalid boolean value: TRUE"},
      {with("<lines/>"), kUnexpectedNode, "Unexpected element. NULL element found, expecting <line> or <lineIdentifier>"},
      {with("<lines><x/></lines>"), kUnexpectedNode,
       "Unexpected element. Found <x>, expecting <line> or <lineIdentifier>."},
      {with("<lines><line/></lines>"), kUnexpectedNode, "Unexpected element. No \"index\" attribute found in <line>."},
      {with("<lines><line x=\"1\"/></lines>"), kUnexpectedNode,
       "Unexpected element. The <line> element requires an index attribute."},
      {line(""), kUnexpectedNode, "Unexpected element. NULL element found, expecting <label>"},
      {line("<display/>"), kUnexpectedNode, "Unexpected element. Found <display>, expecting <label>."},
      {line("<label/>"), kUnexpectedNode, "Unexpected element. NULL element found, expecting <display>"},
      {line(labels + "<dirnId>x</dirnId>"), kUnexpectedNode, "Unexpected element. Deprecated element. Please use <dirn>."},
      {line(labels + "<dirn/>"), kUnexpectedNode, "Unexpected element. NULL element found, expecting <pattern>"},
      {line(labels + "<dirn><pattern>1000</pattern></dirn>"), kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <usage>"},
      {line(labels + "<dirn><pattern>1000</pattern><usage/></dirn>"), kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <routePartitionId> or <routeParititionName>"},
      {line(labels + "<dirn><pattern>1000</pattern><usage/><routePartitionName>Nope</routePartitionName></dirn>"),
       kNotFound, "The specified Route Partition was not found."},
      {line(labels + "<dirn><pattern>1234</pattern><usage/><routePartitionName>Internal</routePartitionName></dirn>"),
       kNotFound, "Directory Number 1234 not found."},
      {line(labels + "<dirn><pattern>9000</pattern><usage/><routePartitionId>" + internal_ +
            "</routePartitionId></dirn>"),
       kNotFound, "The NumPlan specified is not a Directory Number."},
      {line(labels + "<dirn uuid=\"" + dn1000_ + "\"/><ringSetting/>"), kInvalidValue,
       "The element, <ringSetting>, must contain a value."},
      {with("<lines><lineIdentifier/></lines>"), kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <directoryNumber>."},
      {with("<lines><lineIdentifier><directoryNumber>1000</directoryNumber></lineIdentifier></lines>"),
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <routePartitionName>."},
      {with("<lines><lineIdentifier><directoryNumber>1</directoryNumber><routePartitionName>Internal"
            "</routePartitionName></lineIdentifier></lines>"),
       kNotFound, "Directory Number not found."},
      // A line naming a number that does not exist: the phone is not left behind either.
      {line(labels + "<dirn uuid=\"{00000000-0000-0000-0000-00000000DEAD}\"/>"), 5,
       "The Number Plan entry {00000000-0000-0000-0000-00000000DEAD} referred to by this line appearance does not "
       "exist."},
      {with("<phoneTemplate/>"), kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <phoneTemplate>."},
      {with("<phoneTemplateName>Nope</phoneTemplateName>"), kNotFound, "Phone Template not found."},
      {with("<speeddials><speeddial/></speeddials>"), kUnexpectedNode,
       "Unexpected element. No \"index\" attribute found in <speeddial>."},
      {with("<speeddials><speeddial index=\"1\"/></speeddials>"), kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <dirn>."},
      {with("<speeddials><speeddial index=\"1\"><dirn/></speeddial></speeddials>"), kInvalidValue,
       "The element, <dirn>, must contain a value."},
      {with("<speeddials><speeddial index=\"1\"><dirn>1</dirn></speeddial></speeddials>"), kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <label>."},
      {with("<addOnModules/>"), kUnexpectedNode,
       "Unexpected element. At least one <addOnModule> is required if <addOnModules> is present."},
      {with("<addOnModules><addOnModule/></addOnModules>"), kUnexpectedNode,
       "Unexpected element. No \"index\" attribute found in <addOnModule>."},
      {with("<addOnModules><addOnModule index=\"1\"/></addOnModules>"), kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <loadInformation>."},
      {with("<addOnModules><addOnModule index=\"1\"><loadInformation/></addOnModule></addOnModules>"),
       kUnexpectedNode, "Unexpected element. NULL element found. Expecting <phoneTemplateId>."},
      {with("<addOnModules><addOnModule index=\"1\"><loadInformation/><phoneTemplateId/></addOnModule>"
            "</addOnModules>"),
       kInvalidValue, "The element, <phoneTemplateId>, must contain a value."},
      {with("<services/>"), kUnexpectedNode, "Unexpected element. NULL element found, expecting <service>"},
      {with("<services><service/></services>"), kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <name>"},
      {with("<services><service><name/></service></services>"), kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <url>"},
      {with("<services><service><name/><url/></service></services>"), kUnexpectedNode,
       "Unexpected element. NULL element found, expecting <voxbeamService> or <voxbeamServiceName>"},
      {with("<services><service><name/><url/><voxbeamService/></service></services>"), kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <voxbeamService>."},
      {with("<services><service><name/><url/><voxbeamServiceName>Nope</voxbeamServiceName></service></services>"),
       kNotFound, "Voxbeam Service not found."},
      {with("<softkeyTemplate/>"), kUnexpectedNode,
       "Unexpected element. No \"uuid\" attribute found in <softkeyTemplate>."},
      {with("<softkeyTemplateName>standard user</softkeyTemplateName>"), kNotFound, "Softkey Template not found."},
      {with("<defaultProfile/>"), kUnexpectedNode, "Unexpected element. No \"uuid\" attribute found in <defaultProfile>."},
      {with("<defaultProfileName>Nope</defaultProfileName>"), kNotFound, "Device Profile not found."},
      {with("<defaultProfileName>Taken</defaultProfileName>"), kNotFound,
       "The default device profile specified is not a device profile."},
      {with("<defaultProfileName>Roaming</defaultProfileName>"), kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <enableExtensionMobility>."},
      {with("<defaultProfileName>Roaming</defaultProfileName><enableExtensionMobility/>"), kInvalidValue,
       "The element, <enableExtensionMobility>, must contain a value."},
      {with("<enableExtensionMobility>false</enableExtensionMobility>"), kInvalidValue,
       "Default Profile must be set before enableExtensionMobility."},
      {with("<lines><line index=\"1\">" + labels + "<dirn uuid=\"" + dn1000_ + "\"/></line></lines><bogus/>"),
       kUnexpectedNode, "Unexpected element. <bogus> is not a valid element of this request type."},
      {"<addPhone><newPhone>" + PhoneHead("TAKEN") + "</newPhone></addPhone>", 3, "A Device named \"TAKEN\" already exists."},
  };
  for (const Refusal& c : cases) ExpectRefused(c.request, "addPhone", c.code, c.message);
}

TEST_F(PhoneTest, UpdateAndGetRefusalsNameTheProblemAndChangeNothing) {
  AddPhone(PhoneHead("SEP5"));
  auto update = [](const std::string& tail) { return "<updatePhone><name>SEP5</name>" + tail + "</updatePhone>"; };
  const Refusal updates[] = {
      {"<updatePhone/>", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updatePhone><phoneName/></updatePhone>", kUnexpectedNode,
       "Unexpected element. Found <phoneName>, expecting <uuid> or <name>."},
      {"<updatePhone><name/></updatePhone>", kInvalidValue, "Then element, <name>, must have a value."},
      {"<updatePhone><uuid/></updatePhone>", kInvalidValue, "Then element, <uuid>, must have a value."},
      {"<updatePhone><name>Nope</name></updatePhone>", kNotFound, "Device not found."},
      {update("<newName/>"), kInvalidValue, "Then element, <newName>, must have a value."},
      {update("<callingSearchSpaceName>Nope</callingSearchSpaceName>"), kNotFound, "Calling Search Space not found."},
      {update("<callingSearchSpace>Nope</callingSearchSpace>"), kNotFound, "Calling Search Space not found."},
      {update("<automatedAlternateRoutingCSSName>Nope</automatedAlternateRoutingCSSName>"), kNotFound,
       "AAR Calling Search Space not found."},
      {update("<traceFlag/>"), kInvalidValue, "Then element, <traceFlag>, must have a value."},
      {update("<lines><line index=\"1\"><label/><display/><dirn uuid=\"" + dn1000_ + "\"/><mwlPolicy/></line></lines>"),
       kInvalidValue, "The element, <mwlPolicy>, must contain a value."},
      {update("<ringSetting/>"), kInvalidValue, "The element, <ringSetting>, must contain a value."},
      {update("<defaultProfileId/>"), kInvalidValue, "The element, <defaultProfileId>, must contain a value."},
      {update("<defaultProfileName/>"), kInvalidValue, "The element, <defaultProfileName>, must contain a value."},
      {update("<enableExtensionMobility>true</enableExtensionMobility>"), kInvalidValue,
       "Default Profile must be set before enableExtensionMobility."},
      {update("<services/>"), kUnexpectedNode, "Unexpected element. NULL element found, expecting <service>"},
      {update("<description/><name>x</name>"), kUnexpectedNode,
       "Unexpected element. <name> is not a valid element of this request type."},
  };
  for (const Refusal& c : updates) ExpectRefused(c.request, "updatePhone", c.code, c.message);
  const Refusal gets[] = {
      {"<getPhone/>", kUnexpectedNode, "Unexpected element. NULL element found.  Expecting a device Id or Name."},
      {"<getPhone><phoneName/></getPhone>", kInvalidValue, "The element, <phoneName>, must contain a value."},
      {"<getPhone><phoneId/></getPhone>", kInvalidValue, "The element, <phoneId>, must contain a value."},
      {"<getPhone><name>SEP5</name></getPhone>", kUnexpectedNode,
       "Unexpected element. Found <name>, expecting <phoneName> or <phoneId>.."},
      {"<getPhone><phoneName>Nope</phoneName></getPhone>", kNotFound, "The specified phone was not found."},
  };
  for (const Refusal& c : gets) ExpectRefused(c.request, "getPhone", c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
