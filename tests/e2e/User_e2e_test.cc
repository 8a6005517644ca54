// Directory users through real HTTP.
#include "e2e/ZebdTest.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/directory/CUserInfoList.h"
#include "zdl/directory/SecretHash.h"

namespace zeb::test {
namespace {

const std::string kManagerPasswordParameter = "{5EED0000-0000-0000-0010-000000000202}";

class UserTest : public ZebdTest {
 protected:
  // The required elements of addUser for rn, then more.
  static std::string NewUser(const std::string& rn, const std::string& more = "", const std::string& first = "Ann",
                             const std::string& last = "Lee") {
    return "<addUser><newUser><firstname>" + first + "</firstname><lastname>" + last + "</lastname><ldapRN>" + rn +
           "</ldapRN><ldapDN>ignored</ldapDN><email>" + rn + "@example.org</email><userid>ignored</userid>"
           "<password>pw-" + rn + "</password><pin>1234</pin>" + more + "</newUser></addUser>";
  }
  void AddUser(const std::string& request) { EXPECT_EQ(Standard("addUser", "true"), Call(request)); }

  // A device the API cannot create yet, written through the library.
  std::string AddDeviceProfile(const std::string& name) {
    auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
    zdl::CDeviceList devices(db->Session());
    auto device = devices.Insert();
    device->PutName(name);
    device->PutProduct(7);
    device->PutClass(254);
    devices.Update();
    return device->GetID().str();
  }

  std::string GetUser(const std::string& rn) { return Call("<getUser><ldapRN>" + rn + "</ldapRN></getUser>"); }

  // The text of the first <tag> element of text.
  static std::string TextOf(const std::string& text, const std::string& tag) {
    const std::size_t start = text.find("<" + tag + ">");
    const std::size_t end = text.find("</" + tag + ">");
    if (start == std::string::npos || end == std::string::npos) return "<no " + tag + ">";
    return text.substr(start + tag.size() + 2, end - start - tag.size() - 2);
  }

  // Checks that the response's password and pin are hashes of the given secrets and returns the
  // response with both replaced by "#".
  std::string WithSecretsChecked(const std::string& response, const std::string& password, const std::string& pin) {
    std::string text = response;
    for (const auto& [tag, secret] : {std::pair<std::string, std::string>{"password", password}, {"pin", pin}}) {
      const std::string stored = TextOf(text, tag);
      EXPECT_NE(secret, stored);
      EXPECT_TRUE(zdl::VerifySecret(secret, stored)) << tag << ": " << stored;
      text.replace(text.find("<" + tag + ">") + tag.size() + 2, stored.size(), "#");
    }
    return text;
  }

  // The expected getUser response; the password and pin read "#". A list's content is Items().
  std::string UserResponse(const std::vector<std::pair<std::string, std::string>>& children) {
    std::string user = "<user>\r\n";
    for (const auto& [tag, content] : children) user += "<" + tag + ">" + content + "</" + tag + ">\r\n";
    return Response("getUser", "<return>\r\n" + user + "</user>\r\n</return>\r\n");
  }
  static std::string Items(const std::string& tag, const std::vector<std::string>& values) {
    std::string text = "\r\n";
    for (const std::string& value : values) text += "<" + tag + ">" + value + "</" + tag + ">\r\n";
    return text;
  }

  void SetManagerPassword(const std::string& password) {
    EXPECT_EQ(Standard("updateServiceParameter", kManagerPasswordParameter),
              Call("<updateServiceParameter><uuid>" + kManagerPasswordParameter + "</uuid><newValue>" + password +
                   "</newValue></updateServiceParameter>"));
  }
  std::string ManagerPassword() { return TextOf(Call("<getServiceParameter><uuid>" + kManagerPasswordParameter +
                                                     "</uuid></getServiceParameter>"), "value"); }
};

TEST_F(UserTest, AddStoresEveryPositionAndGetReturnsIt) {
  const std::string profile = AddDeviceProfile("Profile B");
  AddUser(NewUser("alee",
                  "<telephoneNumber>+1 555 0100</telephoneNumber><extension>100</extension>"
                  "<department>R&amp;D &lt;West&gt;</department><location>Bldg 4</location><manager>bob</manager>"
                  "<locale>English United States</locale><aaKeyPadMapping>533</aaKeyPadMapping>"
                  "<associatedDevices><device>SEP001</device><device>SEP002</device></associatedDevices>"
                  "<associatedPC>pc-7</associatedPC><authenticationProxyRights>yes</authenticationProxyRights>"
                  "<autoAttendantNameDialing>LEE</autoAttendantNameDialing><enableCTI>true</enableCTI>"
                  "<enableCTIAllDevices>true</enableCTIAllDevices><iaqExtension>200</iaqExtension>"
                  "<phoneProfiles><profileName>Profile A</profileName><profile uuid=\"" + profile +
                      "\"/></phoneProfiles>"));
  EXPECT_EQ(UserResponse({{"firstName", "Ann"}, {"lastName", "Lee"}, {"ldapRN", "alee"},
                          {"ldapDN", "cn=alee,ou=Users,o=zeb"}, {"email", "alee@example.org"}, {"userid", "alee"},
                          {"password", "#"}, {"pin", "#"}, {"telephoneNumber", "+1 555 0100"}, {"extension", "100"},
                          {"department", "R&amp;D &lt;West&gt;"}, {"location", "Bldg 4"}, {"manager", "bob"},
                          {"locale", "English United States"}, {"aaKeyPadMapping", "533"},
                          {"associatedDevices", Items("device", {"SEP001", "SEP002"})}, {"associatedPC", "pc-7"},
                          {"authenticationProxyRights", "yes"}, {"autoAttendantNameDialing", "LEE"},
                          {"enableCTI", "true"}, {"enableCTIAllDevices", "true"}, {"iaqExtension", "200"},
                          {"phoneProfiles", Items("profileName", {"Profile A", "Profile B"})}}),
            WithSecretsChecked(GetUser("ALEE"), "pw-alee", "1234"));
  // The first profile named is the default one.
  auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
  auto users = zdl::OpenUserDirectory(db->Session());
  users->SelectByRn("alee");
  EXPECT_EQ("Profile A", users->GetCurrentItem()->GetDefaultDeviceProfile());
}

TEST_F(UserTest, OptionalElementsWithoutValuesAreSkippedAndSecretsAreSalted) {
  AddUser(NewUser("bo", "<telephoneNumber/><extension/><associatedDevices/><enableCTI/><phoneProfiles/>", "Bo",
                  "Ng"));
  AddUser(NewUser("cy", "", "Cy", "Ng"));
  const std::string bo = GetUser("bo");
  EXPECT_EQ(UserResponse({{"firstName", "Bo"}, {"lastName", "Ng"}, {"ldapRN", "bo"}, {"ldapDN", "cn=bo,ou=Users,o=zeb"},
                          {"email", "bo@example.org"}, {"userid", "bo"}, {"password", "#"}, {"pin", "#"},
                          {"telephoneNumber", ""}, {"extension", ""}, {"department", ""}, {"location", ""},
                          {"manager", ""}, {"locale", ""}, {"aaKeyPadMapping", ""}, {"associatedDevices", ""},
                          {"associatedPC", ""}, {"authenticationProxyRights", ""}, {"autoAttendantNameDialing", ""},
                          {"enableCTI", "false"}, {"enableCTIAllDevices", "false"}, {"iaqExtension", ""},
                          {"phoneProfiles", ""}}),
            WithSecretsChecked(bo, "pw-bo", "1234"));
  // The same PIN hashes differently for each user.
  EXPECT_NE(TextOf(bo, "pin"), TextOf(GetUser("cy"), "pin"));
}

TEST_F(UserTest, UpdateChangesWhatItNamesAndClearsTheTextsItMayClear) {
  AddUser(NewUser("dee", "<telephoneNumber>5550</telephoneNumber><extension>10</extension><location>HQ</location>"
                         "<associatedDevices><device>SEP1</device></associatedDevices><enableCTI>true</enableCTI>"
                         "<phoneProfiles><profileName>P1</profileName></phoneProfiles>"));
  EXPECT_EQ(Standard("updateUser", "true"),
            Call("<updateUser><ldapRN>DEE</ldapRN><firstname>Dee</firstname><lastname/><email>d@x</email>"
                 "<password>new-pw</password><telephoneNumber/><extension/><location/>"
                 "<associatedDevices><device>SEP8</device><device>SEP9</device></associatedDevices>"
                 "<enableCTI>false</enableCTI><enableCTIAllDevices>true</enableCTIAllDevices>"
                 "<phoneProfiles><profileName>P2</profileName></phoneProfiles></updateUser>"));
  EXPECT_EQ(UserResponse({{"firstName", "Dee"}, {"lastName", ""}, {"ldapRN", "dee"}, {"ldapDN", "cn=dee,ou=Users,o=zeb"},
                          {"email", "d@x"}, {"userid", "dee"}, {"password", "#"}, {"pin", "#"},
                          {"telephoneNumber", ""}, {"extension", "10"}, {"department", ""}, {"location", ""},
                          {"manager", ""}, {"locale", ""}, {"aaKeyPadMapping", ""},
                          {"associatedDevices", Items("device", {"SEP8", "SEP9"})}, {"associatedPC", ""},
                          {"authenticationProxyRights", ""}, {"autoAttendantNameDialing", ""}, {"enableCTI", "false"},
                          {"enableCTIAllDevices", "true"}, {"iaqExtension", ""},
                          {"phoneProfiles", Items("profileName", {"P2"})}}),
            WithSecretsChecked(GetUser("dee"), "new-pw", "1234"));
  EXPECT_EQ(Standard("updateUser", "true", "3"),
            Call("<zeb:updateUser sequence=\"3\"><zeb:ldapRN>dee</zeb:ldapRN><zeb:pin>9876</zeb:pin></zeb:updateUser>"));
  WithSecretsChecked(GetUser("dee"), "new-pw", "9876");
}

TEST_F(UserTest, RemoveDeletesTheUser) {
  AddUser(NewUser("eve"));
  EXPECT_EQ(Standard("removeUser", "true"), Call("<removeUser><ldapRN>Eve</ldapRN></removeUser>"));
  EXPECT_EQ(Fault("getUser", kNotFound, "The user: eve was not found."), GetUser("eve"));
  EXPECT_EQ(Fault("removeUser", kNotFound, "User: eve not found."), Call("<removeUser><ldapRN>eve</ldapRN></removeUser>"));
  AddUser(NewUser("eve"));
}

TEST_F(UserTest, AWrongManagerPasswordInTheClusterConfigurationClosesTheDirectory) {
  AddUser(NewUser("fay"));
  const std::string password = ManagerPassword();
  ASSERT_EQ(32u, password.size());
  SetManagerPassword("guess");
  const std::string refused = "The directory refused the manager credentials of the cluster configuration.";
  ExpectRefused("<getUser><ldapRN>fay</ldapRN></getUser>", "getUser", 7, refused);
  ExpectRefused(NewUser("gus"), "addUser", 7, refused);
  ExpectRefused("<listUserByName><firstname>%</firstname><lastname/></listUserByName>", "listUserByName", 7, refused);
  SetManagerPassword(password);
  EXPECT_EQ(Standard("removeUser", "true"), Call("<removeUser><ldapRN>fay</ldapRN></removeUser>"));
}

TEST_F(UserTest, RefusalsNameTheProblemAndChangeNothing) {
  AddUser(NewUser("alee"));
  const std::string names = "<firstname>A</firstname><lastname>L</lastname>";
  const std::string upToPin = names + "<ldapRN>new</ldapRN><ldapDN/><email/><password>p</password><pin>1</pin>";
  auto add = [](const std::string& content) { return "<addUser><newUser>" + content + "</newUser></addUser>"; };
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addUser/>", "addUser", kUnexpectedNode, "Found NULL, expecting <newUser>"},
      {"<addUser><u/></addUser>", "addUser", kUnexpectedNode, "Found NULL, expecting <ldapRN>"},
      {add("<lastname>L</lastname>"), "addUser", kUnexpectedNode, "Found <lastname>, expecting <firstname>."},
      {add("<firstname/>"), "addUser", kInvalidValue, "The element, <firstname>, must contain a value."},
      {add("<firstname>A</firstname>"), "addUser", kUnexpectedNode, "NULL element found. Expecting <lastname>"},
      {add("<firstname>A</firstname><x/>"), "addUser", kUnexpectedNode, "Found <x>, expecting <lastname>."},
      {add("<firstname>A</firstname><lastname/>"), "addUser", kInvalidValue,
       "The element, <lastname>, must contain a value."},
      {add(names), "addUser", kUnexpectedNode, "NULL element found. Expecting <ldapRN>"},
      {add(names + "<zeb:rn/>"), "addUser", kUnexpectedNode, "Found <zeb:rn>, expecting <ldapRN>."},
      {add(names + "<ldapRN/>"), "addUser", kInvalidValue, "The element, <ldapRN>, must contain a value."},
      {add(names + "<ldapRN>n</ldapRN>"), "addUser", kUnexpectedNode, "Found NULL, expecting <ldapDN>"},
      {add(names + "<ldapRN>n</ldapRN><email/>"), "addUser", kUnexpectedNode, "Found <email>, expecting <ldapDN>."},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/>"), "addUser", kUnexpectedNode, "Found NULL, expecting <email>"},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><password/>"), "addUser", kUnexpectedNode,
       "Found <password>, expecting <email>."},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><email/><userid/>"), "addUser", kUnexpectedNode,
       "Found NULL, expecting <password>"},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><email/><pin/>"), "addUser", kUnexpectedNode,
       "Found <pin>, expecting <password>."},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><email/><password/>"), "addUser", kInvalidValue,
       "The element, <password>, must contain a value."},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><email/><password>p</password>"), "addUser", kUnexpectedNode,
       "Found NULL, expecting <pin>"},
      {add(names + "<ldapRN>n</ldapRN><ldapDN/><email/><password>p</password><pin/>"), "addUser", kInvalidValue,
       "The element, <pin>, must contain a value."},
      {add(upToPin + "<associatedDevices><dev>x</dev></associatedDevices>"), "addUser", kUnexpectedNode,
       "Found <dev>, expecting <device>."},
      {add(upToPin + "<associatedDevices><device/></associatedDevices>"), "addUser", kInvalidValue,
       "The element, <device>, must contain a value."},
      {add(upToPin + "<enableCTI>yes</enableCTI>"), "addUser", kInvalidValue, "Invalid boolean value: yes"},
      {add(upToPin + "<enableCTIAllDevices>TRUE</enableCTIAllDevices>"), "addUser", kInvalidValue,
       "Invalid boolean value: TRUE"},
      {add(upToPin + "<phoneProfiles><profileName/></phoneProfiles>"), "addUser", kInvalidValue,
       "The element, <profileName>, must contain a value."},
      {add(upToPin + "<phoneProfiles><profile/></phoneProfiles>"), "addUser", kUnexpectedNode,
       "No \"uuid\" attribute found in <profile>."},
      {add(upToPin + "<phoneProfiles><profileId>x</profileId></phoneProfiles>"), "addUser", kUnexpectedNode,
       "Deprecated element. Please use <profile> or <profileName."},
      {add(upToPin + "<phoneProfiles><name>x</name></phoneProfiles>"), "addUser", kUnexpectedNode,
       "Found <name>, expecting <profileName> or <profile>."},
      {add(upToPin + "<phoneProfiles><profile uuid=\"{00000000-0000-0000-0000-00000000BEEF}\"/></phoneProfiles>"),
       "addUser", kNotFound, "The specified device was not found."},
      {NewUser("ALEE"), "addUser", 3, "A User named \"ALEE\" already exists."},
      {"<updateUser/>", "updateUser", kUnexpectedNode, "Found NULL, expecting <ladpRN>"},
      {"<updateUser><name>alee</name></updateUser>", "updateUser", kUnexpectedNode,
       "Found <name>, expecting <ldapRN>."},
      {"<updateUser><ldapRN/></updateUser>", "updateUser", kInvalidValue, "Then element, <ldapRN>, must have a value."},
      {"<updateUser><ldapRN>nobody</ldapRN></updateUser>", "updateUser", kNotFound,
       "The user: nobody was not found."},
      {"<updateUser><ldapRN>alee</ldapRN><email/></updateUser>", "updateUser", kInvalidValue,
       "Then element, <email>, must have a value."},
      {"<updateUser><ldapRN>alee</ldapRN><password/></updateUser>", "updateUser", kInvalidValue,
       "Then element, <password>, must have a value."},
      {"<updateUser><ldapRN>alee</ldapRN><pin/></updateUser>", "updateUser", kInvalidValue,
       "Then element, <pin>, must have a value."},
      {"<updateUser><ldapRN>alee</ldapRN><enableCTI/></updateUser>", "updateUser", kInvalidValue,
       "Then element, <enableCTI>, must have a value."},
      {"<updateUser><ldapRN>alee</ldapRN><enableCTIAllDevices/></updateUser>", "updateUser", kInvalidValue,
       "Then element, <enableCTIAllDevices>, must have a value."},
      {"<updateUser><ldapRN>alee</ldapRN><enableCTI>1</enableCTI></updateUser>", "updateUser", kInvalidValue,
       "Invalid boolean value: 1"},
      {"<updateUser><ldapRN>alee</ldapRN><telephoneNumber>1</telephoneNumber><firstname>x</firstname></updateUser>",
       "updateUser", kUnexpectedNode, "<firstname> is not a valid element of this request type."},
      {"<updateUser><ldapRN>alee</ldapRN><ldapDN>x</ldapDN></updateUser>", "updateUser", kUnexpectedNode,
       "<ldapDN> is not a valid element of this request type."},
      {"<removeUser/>", "removeUser", kUnexpectedNode, "NULL element found.  Expecting <ldapRN>."},
      {"<removeUser><name>alee</name></removeUser>", "removeUser", kUnexpectedNode,
       "Found <name>, expecting <ldapRN>."},
      {"<removeUser><ldapRN>nobody</ldapRN></removeUser>", "removeUser", kNotFound, "User: nobody not found."},
      {"<getUser/>", "getUser", kUnexpectedNode, "NULL element found.  Expecting <ldapRN>."},
      {"<getUser><name>alee</name></getUser>", "getUser", kUnexpectedNode, "Found <name>, expecting <ldapRN>.."},
      {"<getUser><ldapRN/></getUser>", "getUser", kInvalidValue, "The element, <ldapRN>, must contain a value."},
      {"<getUser><ldapRN>nobody</ldapRN></getUser>", "getUser", kNotFound, "The user: nobody was not found."},
  };
  for (const Case& c : cases) {
    const std::string message = c.code == kUnexpectedNode ? "Unexpected element. " + c.message : c.message;
    ExpectRefused(c.request, c.method, c.code, message);
  }
}

}  // namespace
}  // namespace zeb::test
