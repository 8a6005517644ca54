// Directory users through real HTTP, on the embedded directory and on a directory server.
#include <map>

#include "e2e/DirectoryServer.h"
#include "e2e/ZebdTest.h"
#include "support/TempDir.h"
#include "zdl/CLdapConfig.h"
#include "zdl/CProcessConfigList.h"
#include "zdl/Records.h"
#include "zdl/SecretHash.h"
#include "zdl/directory/CUserInfoList.h"

namespace zeb::test {
namespace {

const std::string kManagerPasswordParameter = "{5EED0000-0000-0000-0010-000000000202}";

class UserTest : public ZebdTest, public ::testing::WithParamInterface<DirectoryKind> {
 protected:
  void SetUp() override {
    if (!OnServer()) return;
    if (!server_.available()) GTEST_SKIP() << "ZEB_TEST_LDAP names no test directory server";
    base_ = server_.MakeUserBase();
    UseDirectoryServer(zebd_, server_, base_);
  }

  bool OnServer() const { return GetParam() == DirectoryKind::kServer; }
  std::string Dn(const std::string& rn) const {
    return OnServer() ? "uid=" + rn + "," + base_ : "cn=" + rn + ",ou=Users,o=zeb";
  }
  // A refused request must leave the directory server's entries as they were, too.
  std::string Snapshot() const override {
    return ZebdTest::Snapshot() + (OnServer() ? server_.Dump(base_) : "");
  }

  // The required elements of addUser for rn, then more.
  static std::string NewUser(const std::string& rn, const std::string& more = "", const std::string& first = "Ann",
                             const std::string& last = "Lee") {
    return "<addUser><newUser><firstname>" + first + "</firstname><lastname>" + last + "</lastname><ldapRN>" + rn +
           "</ldapRN><ldapDN>ignored</ldapDN><email>" + rn + "@example.org</email><userid>ignored</userid>"
           "<password>pw-" + rn + "</password><pin>1234</pin>" + more + "</newUser></addUser>";
  }
  void AddUser(const std::string& request) { EXPECT_EQ(Standard("addUser", "true"), Call(request)); }

  // A device profile, which the API cannot create yet.
  std::string AddDeviceProfile(const std::string& name) { return InsertDevice(name, 7, "", 254); }

  std::string GetUser(const std::string& rn) { return Call("<getUser><ldapRN>" + rn + "</ldapRN></getUser>"); }

  // The stored forms of a user's secret ("password" or "pin").
  std::vector<std::string> StoredSecrets(const std::string& rn, const std::string& secret) {
    if (OnServer()) return server_.Values(base_, rn, secret == "pin" ? "zebPin" : "userPassword");
    auto db = zebd_.OpenDatabase();
    std::vector<std::string> stored;
    for (const auto& row : db->Session().Query(
             "SELECT attrValue FROM DirectoryAttribute a JOIN DirectoryEntry e ON e.pkid = a.fkDirectoryEntry "
             "WHERE e.Name = ? AND a.attrName = ?", {zdl::CZDLValue(rn), zdl::CZDLValue(secret)}).rows) {
      stored.push_back(row[0].AsText());
    }
    return stored;
  }
  // Expects the user's password and PIN to rest only as salted hashes of these secrets.
  void ExpectSecretsStored(const std::string& rn, const std::string& password, const std::string& pin) {
    for (const auto& [name, secret] : {std::pair<std::string, std::string>{"password", password}, {"pin", pin}}) {
      const std::vector<std::string> stored = StoredSecrets(rn, name);
      ASSERT_EQ(1u, stored.size()) << name;
      EXPECT_TRUE(OnServer() ? zdl::VerifyArgon2(secret, stored[0]) : zdl::VerifySecret(secret, stored[0]))
          << name << ": " << stored[0];
    }
  }

  // The expected getUser response of rn: every element in its order, with the values given,
  // else those NewUser gives and empty ones (the password and PIN are answered empty).
  std::string UserResponse(const std::string& rn, std::map<std::string, std::string> given) {
    given.insert({{"firstName", "Ann"}, {"lastName", "Lee"}, {"ldapRN", rn}, {"ldapDN", Dn(rn)},
                  {"email", rn + "@example.org"}, {"userid", rn}, {"enableCTI", "false"},
                  {"enableCTIAllDevices", "false"}});
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

  // Writes the cluster's copy of the manager password as the library stores it (sealed).
  void StoreManagerPassword(const std::string& password) {
    auto db = zebd_.OpenDatabase();
    zdl::CProcessConfigList parameters(db->Session());
    parameters.SelectByID(zdl::CZDLID(kManagerPasswordParameter));
    parameters.GetCurrentItem()->PutParamValue(db->secretKey().Seal(zdl::kManagerPasswordParameter, password));
    parameters.Update();
  }
  std::string ManagerPassword() {
    auto db = zebd_.OpenDatabase();
    return zdl::CLdapConfig(db->Session()).GetManagerPassword();
  }

  TestDirectoryServer server_;
  std::string base_;
};

INSTANTIATE_TEST_SUITE_P(Directories, UserTest, ::testing::Values(DirectoryKind::kEmbedded, DirectoryKind::kServer),
                         [](const auto& info) { return info.param == DirectoryKind::kServer ? "Server" : "Embedded"; });

TEST_P(UserTest, AddStoresEveryPositionAndGetReturnsIt) {
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
            GetUser("ALEE"));
  ExpectSecretsStored("alee", "pw-alee", "1234");
  // The first profile named is the default one.
  auto db = zebd_.OpenDatabase();
  auto users = zdl::OpenUserDirectory(db->Session());
  users->SelectByRn("alee");
  EXPECT_EQ("Profile A", users->GetCurrentItem()->GetDefaultDeviceProfile());

  // Optional elements without values are skipped (an empty boolean is outside the schema); the
  // same PIN hashes differently for each user.
  EXPECT_EQ(Standard("addUser", "true"),
            Call(NewUser("bo", "<telephoneNumber/><extension/><associatedDevices/><enableCTI/><phoneProfiles/>"),
                 kLenient));
  EXPECT_EQ(UserResponse("bo", {}), GetUser("bo"));
  EXPECT_NE(StoredSecrets("bo", "pin"), StoredSecrets("alee", "pin"));
}

TEST_P(UserTest, UpdateChangesWhatItNamesAndClearsTheTextsItMayClear) {
  AddUser(NewUser("dee", "<telephoneNumber>5550</telephoneNumber><extension>10</extension><location>HQ</location>"
                         "<associatedDevices><device>SEP1</device></associatedDevices><enableCTI>true</enableCTI>"
                         "<phoneProfiles><profileName>P1</profileName></phoneProfiles>"));
  EXPECT_EQ(Standard("updateUser", "true"),
            Call("<updateUser><ldapRN>DEE</ldapRN><firstname>Dee</firstname><lastname>Lee-Ng</lastname>"
                 "<email>d@x</email><password>new-pw</password><telephoneNumber/><extension/><location/>"
                 "<associatedDevices><device>SEP8</device><device>SEP9</device></associatedDevices>"
                 "<enableCTI>false</enableCTI><enableCTIAllDevices>true</enableCTIAllDevices>"
                 "<phoneProfiles><profileName>P2</profileName></phoneProfiles></updateUser>"));
  EXPECT_EQ(UserResponse("dee", {{"firstName", "Dee"}, {"lastName", "Lee-Ng"}, {"email", "d@x"}, {"extension", "10"},
                                 {"associatedDevices", Items("device", {"SEP8", "SEP9"})},
                                 {"enableCTIAllDevices", "true"}, {"phoneProfiles", Items("profileName", {"P2"})}}),
            GetUser("dee"));
  ExpectSecretsStored("dee", "new-pw", "1234");
  EXPECT_EQ(Standard("updateUser", "true", "3"),
            Call("<zeb:updateUser sequence=\"3\"><zeb:ldapRN>dee</zeb:ldapRN><zeb:pin>9876</zeb:pin></zeb:updateUser>"));
  ExpectSecretsStored("dee", "new-pw", "9876");
}

// The embedded directory stores an empty surname; an inetOrgPerson entry must have one, so the
// directory server refuses the change and nothing is written.
TEST_P(UserTest, ClearingTheSurnameIsUpToTheDirectory) {
  AddUser(NewUser("dan"));
  const std::string clear = "<updateUser><ldapRN>dan</ldapRN><firstname>Dan</firstname><lastname/></updateUser>";
  if (OnServer()) {
    ExpectRefused(clear, "updateUser", 1,
                  "The directory refused the operation: Object class violation (object class 'inetOrgPerson' requires "
                  "attribute 'sn').");
  } else {
    EXPECT_EQ(Standard("updateUser", "true"), Call(clear));
    EXPECT_NE(std::string::npos, GetUser("dan").find("<firstName>Dan</firstName>\r\n<lastName></lastName>"));
  }
}

TEST_P(UserTest, RemoveDeletesTheUser) {
  AddUser(NewUser("eve"));
  EXPECT_EQ(Standard("removeUser", "true"), Call("<removeUser><ldapRN>Eve</ldapRN></removeUser>"));
  EXPECT_EQ(Fault("getUser", kNotFound, "The user: eve was not found."), GetUser("eve"));
  AddUser(NewUser("eve"));
}

TEST_P(UserTest, AWrongManagerPasswordInTheClusterConfigurationClosesTheDirectory) {
  AddUser(NewUser("fay"));
  const std::string password = ManagerPassword();
  StoreManagerPassword("guess");
  const std::string refused = "The directory refused the manager credentials of the cluster configuration.";
  ExpectAllRefused(zebd_, {{"<getUser><ldapRN>fay</ldapRN></getUser>", 7, refused},
                           {NewUser("gus"), 7, refused},
                           {"<listUserByName><firstname>%</firstname><lastname/></listUserByName>", 7, refused}},
                   [this] { return Snapshot(); });
  StoreManagerPassword(password);
  EXPECT_EQ(Standard("removeUser", "true"), Call("<removeUser><ldapRN>fay</ldapRN></removeUser>"));
}

// Passwords and PINs go in and never come out: not in a response, a trace or on stderr, and neither they
// nor the manager's password rest in plain text in the configuration database.
TEST_P(UserTest, SecretsNeverLeaveTheServer) {
  const std::string managerPassword = ManagerPassword();
  AddUser("<addUser><newUser><firstname>Ivy</firstname><lastname>Ro</lastname><ldapRN>ivy</ldapRN><ldapDN/>"
          "<email/><password>Pw-q8Zr!x</password><pin>7391</pin></newUser></addUser>");
  std::string answers = Call("<updateUser><ldapRN>ivy</ldapRN><pin>4682</pin></updateUser>") + GetUser("ivy") +
                        Call("<listUserByName><firstname>I%</firstname><lastname/></listUserByName>");
  // The manager password is answered empty, and may be written again (the directory accepts it).
  const std::string byUuid = "<uuid>" + kManagerPasswordParameter + "</uuid>";
  answers += Call("<getServiceParameter>" + byUuid + "</getServiceParameter>") +
             Call("<listServiceParameters><nodeName>ZEBNODE1</nodeName><serviceType>Directory</serviceType>"
                  "</listServiceParameters>");
  EXPECT_NE(std::string::npos, answers.find("<name>DirectoryManagerPassword</name>\r\n<value></value>"));
  EXPECT_EQ(Standard("updateServiceParameter", kManagerPasswordParameter),
            Call("<updateServiceParameter>" + byUuid + "<newValue>" + managerPassword +
                 "</newValue></updateServiceParameter>"));
  std::string atRest;
  for (const char* suffix : {"", "-wal"}) atRest += ReadFile(zebd_.dbPath() + suffix);
  const std::string trace = zebd_.TraceFile();
  EXPECT_NE(std::string::npos, trace.find("<password>********</password><pin>********</pin>"));
  EXPECT_NE(std::string::npos, trace.find("<newValue>********</newValue>"));
  for (const std::string& secret : {std::string("Pw-q8Zr!x"), std::string("7391"), std::string("4682"), managerPassword}) {
    EXPECT_EQ(std::string::npos, answers.find(secret)) << secret;
    EXPECT_EQ(std::string::npos, zebd_.StderrText().find(secret)) << secret;
    EXPECT_EQ(std::string::npos, trace.find(secret)) << secret;
  }
  // (Four digits may occur by chance among the identifiers of a database file: the PINs' stored
  // forms are checked below instead. The file is empty on PostgreSQL.)
  EXPECT_EQ(std::string::npos, atRest.find("Pw-q8Zr!x"));
  EXPECT_EQ(std::string::npos, atRest.find(managerPassword));
  ExpectSecretsStored("ivy", "Pw-q8Zr!x", "4682");
}

// Patterns as the embedded directory reads them (% and _, ASCII letters without regard to case),
// whatever the directory: a server's substring filter only narrows the search.
TEST_P(UserTest, ListByNameMatchesGivenNameAndSurnamePatterns) {
  for (const auto& [rn, first, last] : {std::tuple{"ann", "Ann", "Lee"}, {"anna", "Anna", "O'Neil"},
                                        {"bob", "Bob", "Lee"}, {"pct", "100%", "Sure_ly"}, {"zoe", "Zoë", "Ng"}}) {
    AddUser(NewUser(rn, "", first, last));
  }
  auto user = [](const std::string& rn, const std::string& first, const std::string& last) {
    return "<user>\r\n" + El("ldapRN", rn) + El("firstname", first) + El("lastname", last) + "</user>\r\n";
  };
  auto expectListed = [&](const std::string& items, const std::string& first, const std::string& last) {
    EXPECT_EQ(Response("listUserByName", items.empty() ? "<return></return>\r\n" : Returned(items)),
              Call("<listUserByName><firstname>" + first + "</firstname><lastname>" + last +
                   "</lastname></listUserByName>"))
        << first << " " << last;
  };
  const std::string ann = user("ann", "Ann", "Lee"), anna = user("anna", "Anna", "O&apos;Neil"),
                    bob = user("bob", "Bob", "Lee"), pct = user("pct", "100%", "Sure_ly"), zoe = user("zoe", "Zoë", "Ng");
  expectListed(ann + bob, "", "lee");
  expectListed(ann, "a_n", "l%");
  expectListed(pct, "100%", "sure_ly");
  expectListed(zoe, "Zo_", "");
  expectListed(ann + anna + bob + pct + zoe, "", "");
  expectListed("", "*", "");
}

// One case for each place that reads an element, and for each rule of the shared parts.
TEST_P(UserTest, RefusalsNameTheProblemAndChangeNothing) {
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
  }, [this] { return Snapshot(); });
}

}  // namespace
}  // namespace zeb::test
