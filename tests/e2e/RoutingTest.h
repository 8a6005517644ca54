// The fixture shared by the dial plan end-to-end tests (lines, patterns, route lists and groups,
// dial plans, route filters, digit discard instructions): records the API cannot create written
// straight into zebd's database, and identifiers read back from it.
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

  // A device of the product (30 is an analog gateway, 37 a route list).
  std::string InsertDevice(const std::string& name, long product = 30) {
    auto db = OpenDatabase();
    zdl::CDeviceList devices(db->Session());
    auto device = devices.Insert();
    device->PutName(name);
    device->PutProduct(product);
    devices.Update();
    return device->GetID().str();
  }

  // A record that has only a name.
  template <class List>
  std::string InsertNamed(const std::string& name) {
    auto db = OpenDatabase();
    List list(db->Session());
    auto record = list.Insert();
    record->PutName(name);
    list.Update();
    return record->GetID().str();
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
    return OpenDatabase()->Session().Query("SELECT COUNT(*) FROM " + table).rows[0][0].AsInt();
  }

  // The response of a get method that found element.
  std::string Got(const std::string& method, const std::string& element, const std::string& sequence = "") const {
    return Response(method, Returned(element), sequence);
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
};

}  // namespace zeb::test
