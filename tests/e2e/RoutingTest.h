// The fixture shared by the dial plan end-to-end tests (partitions and calling search spaces, lines,
// patterns, route lists and groups, dial plans, route filters, digit discard instructions, the
// list queries over them): records the API cannot create written straight into zebd's database,
// identifiers read back from it, and the requests and elements several of them build.
#pragma once

#include <string>

#include "e2e/ZebdTest.h"
#include "zdl/CFastAccess.h"
#include "zdl/Records.h"

namespace zeb::test {

// A <members> element as built: empty on one line, or its children between lines.
inline std::string Members(const std::string& children) {
  return children.empty() ? "<members></members>\r\n" : "<members>\r\n" + children + "</members>\r\n";
}

// A calling search space as getCSS and the list of them write it, and one of its members.
inline std::string CssElement(const std::string& id, const std::string& name, const std::string& description,
                              const std::string& clause, const std::string& members) {
  return "<callingSearchSpace  uuid=\"" + id + "\">\r\n" + El("name", name) + El("description", description) +
         El("clause", clause) + El("dialPlanWizardGenID", "0") + Members(members) +
         "</callingSearchSpace>\r\n";
}
inline std::string CssMember(int index, const std::string& name) {
  return "<member  index=\"" + std::to_string(index) + "\">\r\n" + El("routePartitionName", name) +
         "</member>\r\n";
}

class RoutingTest : public ZebdTest {
 protected:
  // A record that has only a name.
  template <class List>
  std::string InsertNamed(const std::string& name) {
    List list(Db());
    auto record = list.Insert();
    record->PutName(name);
    list.Update();
    return record->GetID().str();
  }

  // Positions 5 to 16 of a pattern's add order with nothing set.
  static std::string Routing() {
    return "<blockEnable>false</blockEnable><calledPartyTransformationMask/><callingPartyTransformationMask/>"
           "<useCallingPartyPhoneMask/><dialPlan/><dialPlanWizardGenId/><digitDiscardInstruction/><messageWaiting/>"
           "<networkLocation/><patternUrgency>false</patternUrgency><prefixDigitsOut/><routeFilter/>";
  }
  // An addLine with only the required elements; partition is the routePartition element's text.
  static std::string NewLine(const std::string& pattern, const std::string& partition = "<routePartition/>") {
    return "<addLine><newLine><pattern>" + pattern + "</pattern><usage/>" + partition +
           "<callPickupGroup/><callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/>"
           "<shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></"
           "newLine></addLine>";
  }

  // The pkid of the row of table whose column ownerColumn is owner and column is value ("" when
  // there is none).
  std::string RowId(const std::string& table, const std::string& ownerColumn, const std::string& owner,
                    const std::string& column, const std::string& value) {
    zdl::CFastAccess rows(Db(), table);
    rows.SelectCustom("SELECT pkid FROM " + table + " WHERE " + ownerColumn + " = ? AND " + column + " = ?",
                      {zdl::CZDLID(owner), zdl::CZDLID(value)});
    return rows.IsEOF() ? "" : rows.getGuid("pkid");
  }

  // Expects the plain Server fault that a value the variant conversion refuses ends in, and an
  // unchanged database.
  void ExpectServerFault(const std::string& requestElement) {
    const std::string before = Snapshot();
    EXPECT_EQ(Envelope(PlainFault("SOAP-ENV:Server",
                                  "Unknown error occured on server. Please check your XML for errors.")),
              Call(requestElement))
        << requestElement;
    EXPECT_EQ(before, Snapshot()) << "the refused request changed the database: " << requestElement;
  }
};

}  // namespace zeb::test
