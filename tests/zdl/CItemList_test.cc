#include "zdl/CItemList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "zdl/CFastAccess.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/Records.h"

namespace zeb::zdl {
namespace {

class CItemListTest : public ::testing::Test {
 protected:
  CItemListTest() : db_(CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  CZDLID AddPartition(const std::string& name) {
    CRoutePartitionList list(session_);
    auto partition = list.Insert();
    partition->PutName(name);
    list.Update();
    return partition->GetID();
  }

  CZDLID AddCss(const std::string& name, const std::vector<CZDLID>& partitions) {
    CZDLTransaction transaction(session_);
    CCallingSearchSpaceList list(session_);
    auto css = list.Insert();
    css->PutName(name);
    list.Update();
    CCallingSearchSpaceMemberList members(session_);
    int order = 1;
    for (const CZDLID& partition : partitions) {
      auto member = members.Insert();
      member->PutCallingSearchSpaceID(css->GetID());
      member->PutRoutePartitionID(partition);
      member->PutSortOrder(order++);
    }
    members.Update();
    transaction.Commit();
    return css->GetID();
  }

  std::size_t CountRows(const std::string& table) {
    CFastAccess rows(session_, table);
    rows.SelectAll();
    return rows.Count();
  }

  // The library exception's ID and text, or 0 when none was thrown.
  std::pair<int, std::string> Refusal(const std::function<void()>& action) {
    try {
      action();
    } catch (const CZDLException& error) {
      return {error.GetExceptionID(), error.GetExceptionStr()};
    }
    return {0, ""};
  }

  test::TempDir dir_;
  std::unique_ptr<CZDLDatabase> db_;
  CZDLSession& session_;
};

TEST_F(CItemListTest, NamesAreUniqueWithoutRegardToCase) {
  AddPartition("Internal");
  EXPECT_EQ(std::make_pair(static_cast<int>(kZDLDuplicate), std::string("A Route Partition named \"INTERNAL\" already exists.")),
            Refusal([&] { AddPartition("INTERNAL"); }));
  CRoutePartitionList list(session_);
  list.SelectByName("iNtErNaL");
  ASSERT_EQ(1u, list.Count());
  EXPECT_EQ("Internal", list.GetCurrentItem()->GetName());
}

TEST_F(CItemListTest, ValuesAreBoundNeverInterpreted) {
  const std::vector<std::string> names = {"O'Brien", "100%", "a_b", "x'; DROP TABLE RoutePartition; --", "\"q\""};
  for (const std::string& name : names) AddPartition(name);
  for (const std::string& name : names) {
    CRoutePartitionList list(session_);
    list.SelectByName(name);
    ASSERT_EQ(1u, list.Count()) << name;
    EXPECT_EQ(name, list.GetCurrentItem()->GetName());
  }
  CRoutePartitionList wildcard(session_);
  wildcard.SelectByName("%");
  EXPECT_EQ(0u, wildcard.Count());
  wildcard.SelectByName("a%b");
  EXPECT_EQ(0u, wildcard.Count());
}

TEST_F(CItemListTest, RemovingAReferencedRecordIsRefusedAndNamesTheUser) {
  const CZDLID partition = AddPartition("P1");
  AddCss("Lobby", {partition});
  CRoutePartitionList list(session_);
  list.SelectByID(partition);
  list.Delete();
  EXPECT_EQ(std::make_pair(static_cast<int>(kZDLStillReferenced),
                           std::string("The Route Partition \"P1\" cannot be removed because it is still used by a "
                                       "Calling Search Space member of Calling Search Space \"Lobby\".")),
            Refusal([&] { list.Update(); }));
  EXPECT_EQ(1u, CountRows("RoutePartition") - 0);
}

TEST_F(CItemListTest, ChildRowsGoWithTheirOwner) {
  const CZDLID css = AddCss("Lobby", {AddPartition("P1"), AddPartition("P2")});
  EXPECT_EQ(2u, CountRows("callingSearchSpaceMember"));
  CCallingSearchSpaceList list(session_);
  list.SelectByID(css);
  list.Delete();
  list.Update();
  EXPECT_EQ(0u, CountRows("callingSearchSpaceMember"));
  EXPECT_EQ(2u, CountRows("RoutePartition"));
}

TEST_F(CItemListTest, ARecordUsedThroughAChildOfAnotherIsRefused) {
  // Removing a device pool that a device uses is refused; removing the device takes its rows.
  CDeviceList devices(session_);
  auto device = devices.Insert();
  device->PutName("Phone1");
  device->PutProduct(7);
  CDevicePoolList pools(session_);
  pools.SelectByName("Default");
  device->PutDevicePoolID(pools.GetCurrentItem()->GetID());
  devices.Update();
  pools.Delete();
  EXPECT_EQ(kZDLStillReferenced, Refusal([&] { pools.Update(); }).first);
  EXPECT_NE(std::string::npos, Refusal([&] { pools.Update(); }).second.find("Device \"Phone1\""));
}

TEST_F(CItemListTest, ReferencesToMissingRecordsAndMissingRequiredValuesAreRefused) {
  CCallingSearchSpaceList list(session_);
  list.Insert()->PutName("C");
  list.Update();
  CCallingSearchSpaceMemberList members(session_);
  auto member = members.Insert();
  member->PutCallingSearchSpaceID(list.GetCurrentItem()->GetID());
  member->PutRoutePartitionID(CZDLID("{11111111-2222-3333-4444-555555555555}"));
  EXPECT_EQ(kZDLReferenceMissing, Refusal([&] { members.Update(); }).first);
  CRoutePartitionList partitions(session_);
  partitions.Insert()->PutDescription("no name");
  EXPECT_EQ(kZDLRequiredValue, Refusal([&] { partitions.Update(); }).first);
}

TEST_F(CItemListTest, UpdateWritesAllOrNothing) {
  AddPartition("Taken");
  CRoutePartitionList list(session_);
  list.Insert()->PutName("Fresh");
  list.Insert()->PutName("taken");
  EXPECT_EQ(kZDLDuplicate, Refusal([&] { list.Update(); }).first);
  CRoutePartitionList check(session_);
  check.SelectByName("Fresh");
  EXPECT_EQ(0u, check.Count());
}

TEST_F(CItemListTest, TransactionRollsBackEveryListWrittenInIt) {
  {
    CZDLTransaction transaction(session_);
    AddPartition("Gone1");
    AddPartition("Gone2");
  }
  EXPECT_EQ(0u, CountRows("RoutePartition"));
}

TEST_F(CItemListTest, PatternIsUniqueWithinItsPartitionIncludingNoPartition) {
  const CZDLID partition = AddPartition("P");
  auto add = [&](const std::string& pattern, const CZDLID& where) {
    CNumPlanList list(session_);
    auto number = list.Insert();
    number->PutDNOrPattern(pattern);
    number->PutRoutePartitionID(where);
    list.Update();
  };
  add("1000", partition);
  add("1000", CZDLID());
  EXPECT_EQ(std::make_pair(static_cast<int>(kZDLDuplicate),
                           std::string("The pattern 1000 already exists in this route partition.")),
            Refusal([&] { add("1000", CZDLID()); }));
  EXPECT_EQ(kZDLDuplicate, Refusal([&] { add("1000", partition); }).first);
}

TEST_F(CItemListTest, DeviceClassAndModelFollowTheProductUnlessSet) {
  CDeviceList devices(session_);
  auto phone = devices.Insert();
  phone->PutName("Phone");
  phone->PutProduct(35);
  auto profile = devices.Insert();
  profile->PutName("Profile");
  profile->PutProduct(35);
  profile->PutClass(254);
  devices.Update();
  EXPECT_EQ(1, phone->GetClass());
  EXPECT_EQ(9, phone->GetModel());
  EXPECT_EQ(254, profile->GetClass());
  EXPECT_NE(phone->GetCtiId(), profile->GetCtiId());
}

TEST_F(CItemListTest, FastAccessReadsRowsByNameWithDefaults) {
  const CZDLID id = AddPartition("P");
  CFastAccess row(session_, "RoutePartition");
  row.SelectByID(id);
  ASSERT_FALSE(row.IsEOF());
  EXPECT_EQ(id.str(), row.getGuid("PKID"));
  EXPECT_EQ("P", row.getString("name"));
  EXPECT_EQ(0, row.getInt("DialPlanWizardGenID"));
  EXPECT_THROW(row.getString("NoSuchColumn"), CZDLException);
  row.SelectCustom("SELECT * FROM RoutePartition WHERE Name = ? AND Description = ?", {"P", ""});
  EXPECT_EQ(1u, row.Count());
}

TEST_F(CItemListTest, TypeListsFindBothWays) {
  CTypeList models(session_, "TypeModel");
  ASSERT_TRUE(models.Find(std::string("Desk Phone 60")));
  EXPECT_EQ(9, models.GetEnum());
  EXPECT_EQ(6, models.GetColumn("NumButtons").AsInt());
  EXPECT_FALSE(models.Find(std::string("desk phone 60")));
  EXPECT_FALSE(models.Find(99999L));
  EXPECT_EQ("", models.GetStringRef(99999));
  session_.Execute("DELETE FROM TypeFeature");
  db_->types().Invalidate();
  EXPECT_TRUE(CTypeList(session_, "TypeFeature").IsBOF());
  EXPECT_THROW(CTypeList(session_, "RoutePartition"), CZDLException);
}

TEST_F(CItemListTest, ConcurrentWritersLoseNothing) {
  constexpr int kThreads = 8, kEach = 50;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      CZDLSession& session = db_->Session();
      for (int i = 0; i < kEach; ++i) {
        try {
          CRoutePartitionList list(session);
          list.Insert()->PutName("T" + std::to_string(t) + "-" + std::to_string(i));
          list.Update();
          CRoutePartitionList again(session);
          again.SelectByName("T" + std::to_string(t) + "-" + std::to_string(i));
          again.GetCurrentItem()->PutDescription("changed");
          again.Update();
        } catch (const CZDLException&) {
          ++failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  CFastAccess rows(session_, "RoutePartition");
  rows.SelectCustom("SELECT * FROM RoutePartition WHERE Description = ?", {"changed"});
  EXPECT_EQ(static_cast<std::size_t>(kThreads * kEach), rows.Count());
}

}  // namespace
}  // namespace zeb::zdl
