// The phone element in the rendering modes getPhone does not use, and the enterprise caches. The
// line element is shown by getVoiceMailPort.
#include "builders/CXMLIPPhone.h"

#include <gtest/gtest.h>

#include "builders/CXMLComponentVersionCache.h"
#include "builders/CXMLURLCache.h"
#include "support/TempDir.h"
#include "zdl/Records.h"

namespace zeb {
namespace {

const char kDefaultPool[] = "{5EED0000-0000-0000-0007-000000000001}";

class PhoneBuilderTest : public ::testing::Test {
 protected:
  PhoneBuilderTest() : db_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {
    zdl::CDeviceList devices(session_);
    auto phone = devices.Insert();
    phone->PutName("SEP1");
    phone->PutProduct(7);
    phone->PutDevicePoolID(zdl::CZDLID(kDefaultPool));
    devices.Update();
    phone_ = phone->GetID();
  }

  std::string Build(RenderMode mode) {
    CXMLIPPhone element;
    element.BuildFromDatabase(session_, phone_, mode, "{STAMP}");
    return element.ToString();
  }
  void Set(const std::string& table, const std::string& assignments, const std::string& id) {
    session_.Execute("UPDATE " + table + " SET " + assignments + " WHERE pkid = ?", {id});
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  test::TempDir dir_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
  zdl::CZDLSession& session_;
  zdl::CZDLID phone_;
};

TEST_F(PhoneBuilderTest, TftpModeFallsBackFromDeviceToPoolToEnterpriseDefaults) {
  // Device and pool have no locale of their own: the enterprise defaults (locale 1, country 1).
  Set("DevicePool", "tkUserLocale = 0, tkCountry = 0", kDefaultPool);
  const std::string enterprise = Build(RenderMode::kTftp);
  EXPECT_TRUE(Has(enterprise, "<userLocale>\r\n<name>English_United_States</name>\r\n<uid>1</uid>\r\n"
                              "<langCode>en</langCode>\r\n<version>1.0.0.1</version>\r\n<winCharSet>iso-8859-1"
                              "</winCharSet>\r\n</userLocale>\r\n<networkLocale>United_States</networkLocale>\r\n"))
      << enterprise;
  // The pool's values come before the enterprise defaults.
  Set("DevicePool", "tkUserLocale = 4, tkCountry = 7", kDefaultPool);
  const std::string pool = Build(RenderMode::kTftp);
  EXPECT_TRUE(Has(pool, "<name>Japanese_Japan</name>\r\n<uid>4</uid>\r\n<langCode>ja</langCode>")) << pool;
  EXPECT_TRUE(Has(pool, "<networkLocale>New_Zealand</networkLocale>")) << pool;
  // The device's own values come first; other modes look at nothing else.
  Set("Device", "tkUserLocale = 2, tkCountry = 3", phone_.str());
  EXPECT_TRUE(Has(Build(RenderMode::kTftp), "<uid>2</uid>"));
  Set("Device", "tkUserLocale = 0, tkCountry = 0", phone_.str());
  const std::string names = Build(RenderMode::kNames);
  EXPECT_FALSE(Has(names, "<userLocale>")) << names;
  EXPECT_TRUE(Has(names, "<country></country>")) << names;
}

TEST_F(PhoneBuilderTest, NamespaceModeRendersReferencesInFullWithoutLinesOrSpeedDials) {
  zdl::CCallingSearchSpaceList spaces(session_);
  auto css = spaces.Insert();
  css->PutName("Office");
  spaces.Update();
  session_.Execute("INSERT INTO Location (pkid, Name, Kbits) VALUES ('{00000000-0000-0000-0000-0000000000AA}', "
                   "'HQ', 64)");
  Set("Device", "fkCallingSearchSpace = '" + css->GetID().str() +
                    "', fkLocation = '{00000000-0000-0000-0000-0000000000AA}', tkCountry = 7",
      phone_.str());
  const std::string text = Build(RenderMode::kNamespaces);
  EXPECT_EQ(0u, text.find("<device  xmlns=\"http://www.tarvo.com/ZEB/1.0\" xsi:xmlns=\""
                          "http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"http://www.tarvo.com/ZEB/1.0 "
                          "http://"))
      << text;
  EXPECT_TRUE(Has(text, "\" xsi:type=\"zeb:XIPPhone\" ctiid=\"1\" uuid=\"" + phone_.str() + "\">")) << text;
  EXPECT_TRUE(Has(text, "<callingSearchSpace  uuid=\"" + css->GetID().str() + "\">\r\n<name>Office</name>")) << text;
  EXPECT_TRUE(Has(text, "<devicePool  uuid=\"" + std::string(kDefaultPool) + "\">\r\n<name>Default</name>")) << text;
  EXPECT_TRUE(Has(text, "<location  uuid=\"{00000000-0000-0000-0000-0000000000AA}\">\r\n<name>HQ</name>\r\n"
                        "<kbits>64</kbits>\r\n</location>\r\n"))
      << text;
  EXPECT_TRUE(Has(text, "<networkLocale>New_Zealand</networkLocale>")) << text;
  for (const char* absent : {"<lines>", "<numberOfButtons>", "<phoneTemplateId>", "<speeddials>"}) {
    EXPECT_FALSE(Has(text, absent)) << absent;
  }
  // Mode kFull has no namespace attributes and shows the country.
  const std::string full = Build(RenderMode::kFull);
  EXPECT_EQ(0u, full.find("<device  xsi:type=\"zeb:XIPPhone\"")) << full;
  EXPECT_TRUE(Has(full, "<country>New Zealand</country>")) << full;
}

// --- enterprise caches ---

using EnterpriseCacheTest = PhoneBuilderTest;

TEST_F(EnterpriseCacheTest, UrlsAreReadOnceAndAFailedReadIsRetried) {
  CXMLURLCache cache;
  session_.Execute("DELETE FROM ProcessConfig WHERE paramName = 'URLIdleTime'");
  EXPECT_EQ(0u, cache.GetIdleTimeout(session_));
  session_.Execute("INSERT INTO ProcessConfig (pkid, fkProcessNode, tkService, paramName, paramValue) VALUES "
                   "('{00000000-0000-0000-0000-0000000000CC}', '{00000000-1111-0000-0000-000000000000}', 11, "
                   "'URLIdleTime', '45')");
  EXPECT_EQ(0u, cache.GetIdleTimeout(session_)) << "a missing parameter is not read again";
  EXPECT_EQ("http://ZEBNODE1/services/directory.xml", cache.GetDirectoriesURL(session_));
  EXPECT_EQ("", cache.GetMessagesURL(session_));

  session_.Execute("ALTER TABLE ProcessConfig RENAME TO ProcessConfigAway");
  EXPECT_EQ("", cache.GetHelpURL(session_));
  session_.Execute("ALTER TABLE ProcessConfigAway RENAME TO ProcessConfig");
  EXPECT_EQ("http://ZEBNODE1/services/help.html", cache.GetHelpURL(session_));
  session_.Execute("UPDATE ProcessConfig SET paramValue = 'changed' WHERE paramName = 'URLHelp'");
  EXPECT_EQ("http://ZEBNODE1/services/help.html", cache.GetHelpURL(session_)) << "loaded values never expire";
  cache.Invalidate();
  EXPECT_EQ("changed", cache.GetHelpURL(session_));
  EXPECT_EQ(45u, cache.GetIdleTimeout(session_));
}

TEST_F(EnterpriseCacheTest, ComponentVersionMissReloadsTheTable) {
  CXMLComponentVersionCache cache;
  const zdl::CZDLID node("{5EED0000-0000-0000-0000-000000000001}");
  EXPECT_EQ("1.0.0.1", cache.GetVersion(session_, node, "Locale - German Germany"));
  EXPECT_EQ("1.0.0.1", cache.GetVersionByID(zdl::CZDLID("{5EED0000-0000-0000-0011-000000000002}")));
  EXPECT_EQ("", cache.GetVersion(session_, node, "Locale - Klingon"));
  session_.Execute("INSERT INTO ComponentVersion (pkid, fkProcessNode, softwareComponent, version) VALUES "
                   "('{00000000-0000-0000-0000-0000000000DD}', ?, 'Locale - Klingon', '2.0')",
                   {node});
  EXPECT_EQ("2.0", cache.GetVersion(session_, node, "Locale - Klingon"));
  EXPECT_EQ(node, LocalProcessNodeID(session_));
}

}  // namespace
}  // namespace zeb
