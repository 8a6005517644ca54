// Directory users through real HTTP.
#include <map>

#include "e2e/Refusals.h"
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
  static std::string NewUser(const std::string& rn, const std::string& more = "") {
    return "<addUser><newUser><firstname>Ann</firstname><lastname>Lee</lastname><ldapRN>" + rn +
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

  // The expected getUser response of rn: every element in its order, with the values given,
  // else those NewUser gives and empty ones; the password and pin read "#".
  std::string UserResponse(const std::string& rn, std::map<std::string, std::string> given) {
    given.insert({{"firstName", "Ann"}, {"lastName", "Lee"}, {"ldapRN", rn}, {"ldapDN", "cn=" + rn + ",ou=Users,o=zeb"},
                  {"email", rn + "@example.org"}, {"userid", rn}, {"password", "#"}, {"pin", "#"},
                  {"enableCTI", "false"}, {"enableCTIAllDevices", "false"}});
    std::string user = "<user>\r\n";
    for (const char* tag : {"firstName", "lastName", "ldapRN", "ldapDN", "email", "userid", "password", "pin",
                            "telephoneNumber", "extension", "department", "location", "manager", "locale",
                            "aaKeyPadMapping", "associatedDevices", "associatedPC", "authenticationProxyRights",
                            "autoAttendantNameDialing", "enableCTI", "enableCTIAllDevices", "iaqExtension",
                            "phoneProfiles"}) {
      user += El(tag, given[tag]);
    }
    return Response("getUser", Returned(user + "</user>\r\n"));
  }
  static std::string Items(const std::string& tag, const std::vector<std::string>& values) {
    std::string text = "\r\n";
    for (const std::string& value : values) text += El(tag, value);
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
  EXPECT_EQ(UserResponse("alee", {{"telephoneNumber", "+1 555 0100"}, {"extension", "100"},
                                  {"department", "R&amp;D &lt;West&gt;"}, {"location", "Bldg 4"}, {"manager", "bob"},
                                  {"locale", "English United States"}, {"aaKeyPadMapping", "533"},
                                  {"associatedDevices", Items("device", {"SEP001", "SEP002"})},
                                  {"associatedPC", "pc-7"}, {"authenticationProxyRights", "yes"},
                                  {"autoAttendantNameDialing", "LEE"}, {"enableCTI", "true"},
                                  {"enableCTIAllDevices", "true"}, {"iaqExtension", "200"},
                                  {"phoneProfiles", Items("profileName", {"Profile A", "Profile B"})}}),
            WithSecretsChecked(GetUser("ALEE"), "pw-alee", "1234"));
  // The first profile named is the default one.
  auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
  auto users = zdl::OpenUserDirectory(db->Session());
  users->SelectByRn("alee");
  EXPECT_EQ("Profile A", users->GetCurrentItem()->GetDefaultDeviceProfile());

  // Optional elements without values are skipped; the same PIN hashes differently for each user.
  AddUser(NewUser("bo", "<telephoneNumber/><extension/><associatedDevices/><enableCTI/><phoneProfiles/>"));
  const std::string bo = GetUser("bo");
  EXPECT_EQ(UserResponse("bo", {}), WithSecretsChecked(bo, "pw-bo", "1234"));
  EXPECT_NE(TextOf(bo, "pin"), TextOf(GetUser("alee"), "pin"));
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
  EXPECT_EQ(UserResponse("dee", {{"firstName", "Dee"}, {"lastName", ""}, {"email", "d@x"}, {"extension", "10"},
                                 {"associatedDevices", Items("device", {"SEP8", "SEP9"})},
                                 {"enableCTIAllDevices", "true"}, {"phoneProfiles", Items("profileName", {"P2"})}}),
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
  ExpectAllRefused(zebd_, {{"<getUser><ldapRN>fay</ldapRN></getUser>", 7, refused},
                           {NewUser("gus"), 7, refused},
                           {"<listUserByName><firstname>%</firstname><lastname/></listUserByName>", 7, refused}});
  SetManagerPassword(password);
  EXPECT_EQ(Standard("removeUser", "true"), Call("<removeUser><ldapRN>fay</ldapRN></removeUser>"));
}

// One case for each place that reads an element, and for each rule of the shared parts.
TEST_F(UserTest, RefusalsNameTheProblemAndChangeNothing) {
  AddUser(NewUser("alee"));
  const std::string names = "<firstname>A</firstname><lastname>L</lastname>";
  const std::string upToEmail = names + "<ldapRN>n</ldapRN><ldapDN/><email/>";
  const std::string upToPin = upToEmail + "<password>p</password><pin>1</pin>";
  auto add = [](const std::string& content) { return "<addUser><newUser>" + content + "</newUser></addUser>"; };
  auto update = [](const std::string& content) { return "<updateUser><ldapRN>alee</ldapRN>" + content + "</updateUser>"; };
  ExpectAllRefused(zebd_, {
      {"<addUser/>", kUnexpectedNode, "Found NULL, expecting <newUser>"},
      {"<addUser><u/></addUser>", kUnexpectedNode, "Found NULL, expecting <ldapRN>"},
      {add("<lastname>L</lastname>"), kUnexpectedNode, "Found <lastname>, expecting <firstname>."},
      {add("<firstname/>"), kInvalidValue, "The element, <firstname>, must contain a value."},
      {add("<firstname>A</firstname>"), kUnexpectedNode, "NULL element found. Expecting <lastname>"},
      {add("<firstname>A</firstname><x/>"), kUnexpectedNode, "Found <x>, expecting <lastname>."},
      {add(names), kUnexpectedNode, "NULL element found. Expecting <ldapRN>"},
      {add(names + "<zeb:rn/>"), kUnexpectedNode, "Found <zeb:rn>, expecting <ldapRN>."},
      {add(names + "<ldapRN>n</ldapRN><email/>"), kUnexpectedNode, "Found <email>, expecting <ldapDN>."},
      {add(upToEmail + "<userid/>"), kUnexpectedNode, "Found NULL, expecting <password>"},
      {add(upToEmail + "<password/>"), kInvalidValue, "The element, <password>, must contain a value."},
      {add(upToEmail + "<password>p</password><pin/>"), kInvalidValue, "The element, <pin>, must contain a value."},
      {add(upToPin + "<associatedDevices><dev>x</dev></associatedDevices>"), kUnexpectedNode,
       "Found <dev>, expecting <device>."},
      {add(upToPin + "<associatedDevices><device/></associatedDevices>"), kInvalidValue,
       "The element, <device>, must contain a value."},
      {add(upToPin + "<enableCTI>yes</enableCTI>"), kInvalidValue, "Invalid boolean value: yes"},
      {add(upToPin + "<phoneProfiles><profile/></phoneProfiles>"), kUnexpectedNode,
       "No \"uuid\" attribute found in <profile>."},
      {add(upToPin + "<phoneProfiles><profileId>x</profileId></phoneProfiles>"), kUnexpectedNode,
       "Deprecated element. Please use <profile> or <profileName."},
      {add(upToPin + "<phoneProfiles><name>x</name></phoneProfiles>"), kUnexpectedNode,
       "Found <name>, expecting <profileName> or <profile>."},
      {add(upToPin + "<phoneProfiles><profile uuid=\"{00000000-0000-0000-0000-00000000BEEF}\"/></phoneProfiles>"),
       kNotFound, "The specified device was not found."},
      {NewUser("ALEE"), 3, "A User named \"ALEE\" already exists."},
      {"<updateUser/>", kUnexpectedNode, "Found NULL, expecting <ladpRN>"},
      {"<updateUser><name>alee</name></updateUser>", kUnexpectedNode, "Found <name>, expecting <ldapRN>."},
      {"<updateUser><ldapRN/></updateUser>", kInvalidValue, "Then element, <ldapRN>, must have a value."},
      {"<updateUser><ldapRN>nobody</ldapRN></updateUser>", kNotFound, "The user: nobody was not found."},
      {update("<pin/>"), kInvalidValue, "Then element, <pin>, must have a value."},
      {update("<enableCTI/>"), kInvalidValue, "Then element, <enableCTI>, must have a value."},
      {update("<telephoneNumber>1</telephoneNumber><firstname>x</firstname>"), kUnexpectedNode,
       "<firstname> is not a valid element of this request type."},
      {"<removeUser/>", kUnexpectedNode, "NULL element found.  Expecting <ldapRN>."},
      {"<removeUser><name>alee</name></removeUser>", kUnexpectedNode, "Found <name>, expecting <ldapRN>."},
      {"<removeUser><ldapRN>nobody</ldapRN></removeUser>", kNotFound, "User: nobody not found."},
      {"<getUser/>", kUnexpectedNode, "NULL element found.  Expecting <ldapRN>."},
      {"<getUser><name>alee</name></getUser>", kUnexpectedNode, "Found <name>, expecting <ldapRN>.."},
      {"<getUser><ldapRN/></getUser>", kInvalidValue, "The element, <ldapRN>, must contain a value."},
  });
}

}  // namespace
}  // namespace zeb::test
