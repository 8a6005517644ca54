// The fixture shared by the route list, route group, dial plan, route filter and digit discard
// instruction end-to-end tests: records the API cannot create yet (gateways, patterns) written
// straight into zebd's database, and member identifiers read back from it.
#pragma once

#include <memory>
#include <string>

#include "e2e/ZebdTest.h"
#include "zdl/CFastAccess.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"

namespace zeb::test {

class RoutingTest : public ZebdTest {
 protected:
  std::unique_ptr<zdl::CZDLDatabase> OpenDatabase() { return zdl::CZDLDatabase::Open(zebd_.dbPath()); }

  // A device of the product (30 is an analog gateway), written where the API cannot write it.
  std::string InsertDevice(const std::string& name, long product = 30) {
    auto db = OpenDatabase();
    zdl::CDeviceList devices(db->Session());
    auto device = devices.Insert();
    device->PutName(name);
    device->PutProduct(product);
    devices.Update();
    return device->GetID().str();
  }

  // The pkid of the row of table whose column ownerColumn is owner and column is value ("" when
  // there is none).
  std::string RowId(const std::string& table, const std::string& ownerColumn, const std::string& owner,
                    const std::string& column, const std::string& value) {
    auto db = OpenDatabase();
    zdl::CFastAccess rows(db->Session(), table);
    rows.SelectCustom("SELECT pkid FROM " + table + " WHERE " + ownerColumn + " = ? AND " + column + " = ?",
                      {zdl::CZDLID(owner), zdl::CZDLID(value)});
    return rows.IsEOF() ? "" : rows.getGuid("pkid");
  }

  long long CountRows(const std::string& table) {
    auto db = OpenDatabase();
    zdl::CFastAccess rows(db->Session(), table);
    rows.SelectCustom("SELECT COUNT(*) AS n FROM " + table);
    return rows.getInt("n");
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

  // A <members> element as built: empty on one line, or its children between lines.
  static std::string Members(const std::string& children) {
    return children.empty() ? "<members></members>\r\n" : "<members>\r\n" + children + "</members>\r\n";
  }
  static std::string UuidElement(const std::string& tag, const std::string& id) {
    return "<" + tag + "  uuid=\"" + id + "\"></" + tag + ">\r\n";
  }
  static std::string Returned(const std::string& element) { return "<return>\r\n" + element + "</return>\r\n"; }
};

}  // namespace zeb::test
