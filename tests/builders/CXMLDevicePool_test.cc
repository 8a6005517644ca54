// The device pool element where no request shows it: records missing behind a reference, and the
// device form that nests member partitions in full. getDevicePool and getDialcoreGroup show the
// rest byte for byte.
#include "builders/CXMLDevicePool.h"

#include <gtest/gtest.h>

#include "builders/CXMLDialcore.h"
#include "support/SoapText.h"
#include "support/TempDir.h"
#include "zdl/Records.h"

namespace zeb {
namespace {

class DevicePoolBuilderTest : public ::testing::Test {
 protected:
  DevicePoolBuilderTest() : db_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  template <class Builder>
  std::string Build(const std::string& id, RenderMode mode) {
    Builder element;
    element.BuildFromDatabase(session_, zdl::CZDLID(id), mode);
    return element.ToString();
  }

  // A pool named name with no reference set; returns its identifier.
  zdl::CZDLID AddBarePool(const std::string& name) {
    zdl::CDevicePoolList pools(session_);
    auto pool = pools.Insert();
    pool->PutName(name);
    pools.Update();
    return pool->GetID();
  }

  test::TempDir dir_;
  std::unique_ptr<zdl::CZDLDatabase> db_;
  zdl::CZDLSession& session_;
};

TEST_F(DevicePoolBuilderTest, MissingRecordsBuildNothingOrAnEmptyElement) {
  const std::string unknown = "{00000000-0000-0000-0000-00000000ABCD}";
  EXPECT_EQ("", Build<CXMLDevicePool>(unknown, RenderMode::kFull) +
                    Build<CXMLRegion>(unknown, RenderMode::kFull) +
                    Build<CXMLDialcore>(unknown, RenderMode::kFull));
  // These three set their tag before they look.
  EXPECT_EQ(
      "<dateTimeSetting></dateTimeSetting>\r\n<dialcoreGroup></dialcoreGroup>\r\n<havenInfo></havenInfo>\r\n",
      Build<CXMLDateTimeSetting>(unknown, RenderMode::kFull) +
          Build<CXMLDialcoreGroup>("", RenderMode::kFull) + Build<CXMLHavenInfo>("", RenderMode::kNames));
  const zdl::CZDLID id = AddBarePool("Bare");
  EXPECT_EQ(
      "<devicePool  uuid=\"" + id.str() +
          "\">\r\n<name>Bare</name>\r\n"
          "<dateTimeSetting></dateTimeSetting>\r\n<dialcoreGroup></dialcoreGroup>\r\n"
          "<softkeyTemplate  uuid=\"\"></softkeyTemplate>\r\n<networkLocale></networkLocale>\r\n"
          "<userLocale></userLocale>\r\n<networkHoldMOHAudioSourceId>0</networkHoldMOHAudioSourceId>\r\n"
          "<userHoldMOHAudioSourceId>0</userHoldMOHAudioSourceId>\r\n<havenInfo></havenInfo>\r\n"
          "</devicePool>\r\n",
      Build<CXMLDevicePool>(id.str(), RenderMode::kFull));
}

TEST_F(DevicePoolBuilderTest, DeviceFormNestsTheAutoSearchSpacePartitionsInFull) {
  session_.ExecScript(
      "INSERT INTO RoutePartition (pkid, Name) VALUES ('{00000000-0000-0000-0000-0000000000A1}', 'Lobby');"
      "INSERT INTO CallingSearchSpace (pkid, Name, Clause) VALUES ('{00000000-0000-0000-0000-0000000000A2}', 'Auto', "
      "'Lobby');"
      "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition, SortOrder) VALUES "
      "('{00000000-0000-0000-0000-0000000000A3}', '{00000000-0000-0000-0000-0000000000A2}', "
      "'{00000000-0000-0000-0000-0000000000A1}', 0)");
  const zdl::CZDLID pool = AddBarePool("Lobby pool");
  session_.Execute("UPDATE DevicePool SET fkCallingSearchSpace_Autoregistration = ? WHERE pkid = ?",
                   {zdl::CZDLID("{00000000-0000-0000-0000-0000000000A2}"), pool});
  const std::string text = Build<CXMLDevicePool>(pool.str(), RenderMode::kTftp);
  EXPECT_NE(std::string::npos,
            text.find("<dialcoreGroup></dialcoreGroup>\r\n<autoSearchSpace  uuid=\"{00000000-0000-0000-0000-0000000000A2}"
                      "\">\r\n<name>Auto</name>\r\n<description></description>\r\n<clause>Lobby</clause>\r\n"
                      "<members>\r\n<member  index=\"0\">\r\n" +
                      test::PartitionElement("{00000000-0000-0000-0000-0000000000A1}", "Lobby") +
                      "</member>\r\n</members>\r\n<dialPlanWizardGenID>0</dialPlanWizardGenID>\r\n"
                      "</autoSearchSpace>\r\n<softkeyTemplate"))
      << text;
}

}  // namespace
}  // namespace zeb
