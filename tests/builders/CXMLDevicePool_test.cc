#include "builders/CXMLDevicePool.h"

#include <gtest/gtest.h>

#include "builders/CXMLDialcore.h"
#include "support/TempDir.h"
#include "zdl/Records.h"

namespace zeb {
namespace {

// Seeded records of a fresh database.
const char kSeededPool[] = "{5EED0000-0000-0000-0007-000000000001}";

const std::string kSeededNodeGroup =
    "<dialcoreGroup  uuid=\"{5EED0000-0000-0000-0002-000000000001}\">\r\n<name>Default</name>\r\n"
    "<tftpDefault>true</tftpDefault>\r\n<members>\r\n<member  priority=\"0\">\r\n"
    "<dialcore  uuid=\"{5EED0000-0000-0000-0001-000000000001}\">\r\n<name>ZEBNODE1</name>\r\n"
    "<description>Call-processing node "
    "ZEBNODE1</description>\r\n<autoRegistration>\r\n<startDN>0</startDN>\r\n"
    "<endDN>0</endDN>\r\n<nextDN>0</nextDN>\r\n<e164Mask></e164Mask>\r\n</autoRegistration>\r\n<ports>\r\n"
    "<analogAccessPort>2002</analogAccessPort>\r\n<digitalAccessPort>2001</digitalAccessPort>\r\n"
    "<ethernetPhonePort>2000</ethernetPhonePort>\r\n<mgcpPorts>\r\n<listen>2427</listen>\r\n"
    "<keepAlive>2428</keepAlive>\r\n</mgcpPorts>\r\n</ports>\r\n<processNodeName>ZEBNODE1</"
    "processNodeName>\r\n"
    "</dialcore>\r\n</member>\r\n</members>\r\n</dialcoreGroup>\r\n";

class DevicePoolBuilderTest : public ::testing::Test {
 protected:
  DevicePoolBuilderTest() : db_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  template <class Builder>
  std::string Build(const std::string& id, int mode) {
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

TEST_F(DevicePoolBuilderTest, SeededPoolNestsEveryReferencedRecordInOrder) {
  EXPECT_EQ(
      std::string("<devicePool  uuid=\"") + kSeededPool + "\">\r\n<name>Default</name>\r\n" +
          "<dateTimeSetting  uuid=\"{5EED0000-0000-0000-0003-000000000001}\">\r\n<name>Default</name>\r\n"
          "<dateTemplate>M/D/Y</dateTemplate>\r\n<timeZone>Greenwich Mean Time</timeZone>\r\n"
          "</dateTimeSetting>\r\n" +
          kSeededNodeGroup +
          "<region  "
          "uuid=\"{5EED0000-0000-0000-0004-000000000001}\">\r\n<name>Default</name>\r\n</region>\r\n" +
          "<softkeyTemplate  uuid=\"{5EED0000-0000-0000-0005-000000000001}\"></softkeyTemplate>\r\n"
          "<networkLocale>United States</networkLocale>\r\n<userLocale>English United States</userLocale>\r\n"
          "<networkHoldMOHAudioSourceId>0</networkHoldMOHAudioSourceId>\r\n"
          "<userHoldMOHAudioSourceId>0</userHoldMOHAudioSourceId>\r\n"
          "<havenInfo  uuid=\"{5EED0000-0000-0000-0006-000000000001}\">\r\n<name>Disable</name>\r\n"
          "<havenOption>Disable</havenOption>\r\n<userModifiable>false</userModifiable>\r\n"
          "<ipAddr1></ipAddr1>\r\n<port1>0</port1>\r\n<ipAddr2></ipAddr2>\r\n<port2>0</port2>\r\n"
          "<ipAddr3></ipAddr3>\r\n<port3>0</port3>\r\n</havenInfo>\r\n</devicePool>\r\n",
      Build<CXMLDevicePool>(kSeededPool, kModeFull));
}

TEST_F(DevicePoolBuilderTest, NameFormsAndMissingRecords) {
  EXPECT_EQ("<devicePoolName>Default</devicePoolName>\r\n", Build<CXMLDevicePool>(kSeededPool, kModeNames));
  EXPECT_EQ("<dialcoreGroupName>Default</dialcoreGroupName>\r\n",
            Build<CXMLDialcoreGroup>("{5EED0000-0000-0000-0002-000000000001}", kModeNames));
  EXPECT_EQ("<havenName>Disable</havenName>\r\n",
            Build<CXMLHavenInfo>("{5EED0000-0000-0000-0006-000000000001}", kModeNames));
  const std::string unknown = "{00000000-0000-0000-0000-00000000ABCD}";
  EXPECT_EQ("", Build<CXMLDevicePool>(unknown, kModeFull));
  EXPECT_EQ("", Build<CXMLRegion>(unknown, kModeFull));
  EXPECT_EQ("", Build<CXMLDialcore>(unknown, kModeFull));
  // These three set their tag before they look: a missing record leaves an empty element.
  EXPECT_EQ("<dateTimeSetting></dateTimeSetting>\r\n", Build<CXMLDateTimeSetting>(unknown, kModeFull));
  EXPECT_EQ("<dialcoreGroup></dialcoreGroup>\r\n", Build<CXMLDialcoreGroup>("", kModeFull));
  EXPECT_EQ("<havenInfo></havenInfo>\r\n", Build<CXMLHavenInfo>("", kModeNames));
}

TEST_F(DevicePoolBuilderTest, PoolWithoutReferencesKeepsItsAlwaysPresentElements) {
  const zdl::CZDLID id = AddBarePool("Bare");
  EXPECT_EQ(
      "<devicePool  uuid=\"" + id.str() +
          "\">\r\n<name>Bare</name>\r\n"
          "<dateTimeSetting></dateTimeSetting>\r\n<dialcoreGroup></dialcoreGroup>\r\n"
          "<softkeyTemplate  uuid=\"\"></softkeyTemplate>\r\n<networkLocale></networkLocale>\r\n"
          "<userLocale></userLocale>\r\n<networkHoldMOHAudioSourceId>0</networkHoldMOHAudioSourceId>\r\n"
          "<userHoldMOHAudioSourceId>0</userHoldMOHAudioSourceId>\r\n<havenInfo></havenInfo>\r\n"
          "</devicePool>\r\n",
      Build<CXMLDevicePool>(id.str(), kModeFull));
}

TEST_F(DevicePoolBuilderTest, AutoSearchSpaceAndMediaResourceListFollowThePool) {
  zdl::CRoutePartitionList partitions(session_);
  auto partition = partitions.Insert();
  partition->PutName("Lobby");
  partitions.Update();
  zdl::CCallingSearchSpaceList spaces(session_);
  auto css = spaces.Insert();
  css->PutName("Auto");
  spaces.Update();
  zdl::CCallingSearchSpaceMemberList members(session_);
  auto member = members.Insert();
  member->PutCallingSearchSpaceID(css->GetID());
  member->PutRoutePartitionID(partition->GetID());
  members.Update();
  const std::string list = "{00000000-0000-0000-0000-0000000000AA}";
  session_.Execute("INSERT INTO MediaResourceList (pkid, Name) VALUES (?, 'Music')", {list});
  const zdl::CZDLID pool = AddBarePool("Lobby pool");
  session_.Execute(
      "UPDATE DevicePool SET fkCallingSearchSpace_Autoregistration = ?, fkMediaResourceList = ? "
      "WHERE pkid = ?",
      {css->GetID(), list, pool});

  const std::string autoSearchSpace =
      "<dialcoreGroup></dialcoreGroup>\r\n<autoSearchSpace  uuid=\"" + css->GetID().str() +
      "\">\r\n<name>Auto</name>\r\n<description></description>\r\n<clause>Lobby</clause>\r\n"
      "<members>\r\n<member  index=\"0\">\r\n";
  const std::string afterMembers =
      "</member>\r\n</members>\r\n<dialPlanWizardGenID>0</dialPlanWizardGenID>\r\n"
      "</autoSearchSpace>\r\n<mediaResourceList  uuid=\"" +
      list + "\"></mediaResourceList>\r\n<softkeyTemplate";
  // Mode 3 names the member partitions; the device modes (0, 2) nest them in full.
  EXPECT_NE(std::string::npos,
            Build<CXMLDevicePool>(pool.str(), kModeFull)
                .find(autoSearchSpace + "<routePartitionName>Lobby</routePartitionName>\r\n" + afterMembers));
  EXPECT_NE(std::string::npos,
            Build<CXMLDevicePool>(pool.str(), kModeTftp)
                .find(autoSearchSpace + "<routePartition  uuid=\"" + partition->GetID().str() +
                      "\">\r\n<name>Lobby</name>\r\n<description></description>\r\n"
                      "<dialPlanWizardGenId>0</dialPlanWizardGenId>\r\n</routePartition>\r\n" +
                      afterMembers));
}

}  // namespace
}  // namespace zeb
