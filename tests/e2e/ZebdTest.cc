#include "e2e/ZebdTest.h"

#include <optional>

#include "soap/Namespaces.h"
#include "zdl/Records.h"

namespace zeb::test {

const std::string& SchemaHost() { return LocalHostName(); }

std::string ZebdTest::Call(const std::string& requestElement, RequestCheck check) {
  std::optional<LenientRequests> lenient;
  if (check == RequestCheck::kLenient) lenient.emplace();
  const std::string response = PostSoap(zebd_.port(), SoapEnvelope(requestElement));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(response));
  return BodyOf(response);
}

std::string ZebdTest::CallForId(const std::string& method, const std::string& requestElement,
                                RequestCheck check) {
  const std::string envelope = Call(requestElement, check);
  const std::string id = ReturnText(envelope);
  EXPECT_EQ(Standard(method, id), envelope);
  EXPECT_EQ(38u, id.size()) << envelope;
  return id;
}

std::string ZebdTest::AddNumber(const std::string& pattern, const std::string& partition, long usage,
                                const std::string& filter) {
  zdl::CNumPlanList numbers(Db());
  auto number = numbers.Insert();
  number->PutDNOrPattern(pattern);
  number->PutPatternUsageType(usage);
  if (!partition.empty()) number->PutRoutePartitionID(zdl::CZDLID(partition));
  if (!filter.empty()) number->PutRouteFilterID(zdl::CZDLID(filter));
  numbers.Update();
  return number->GetID().str();
}

std::string ZebdTest::AddPartition(const std::string& name, const std::string& description) {
  return CallForId("addRoutePartition", AddPartitionRequest(name, description));
}

std::string ZebdTest::AddCSS(const std::string& name, const std::string& memberPartition) {
  const std::string members = memberPartition.empty()
                                  ? "<members/>"
                                  : "<members><member index=\"1\"><routePartitionName>" + memberPartition +
                                        "</routePartitionName></member></members>";
  return CallForId("addCSS", "<addCSS><newCSS><name>" + name + "</name>" + members + "</newCSS></addCSS>");
}

zdl::CZDLSession& ZebdTest::Db() {
  if (!db_) db_ = zebd_.OpenDatabase();
  return db_->Session();
}

std::string ZebdTest::Column(const std::string& sql, const std::string& value) {
  const zdl::ResultSet result = Db().Query(sql, {value});
  return result.rows.empty() ? "" : result.rows[0][0].AsText();
}

long long ZebdTest::CountRows(const std::string& table) {
  return Db().Query("SELECT COUNT(*) FROM " + table).rows[0][0].AsInt();
}

std::string ZebdTest::InsertDevice(const std::string& name, long product, const std::string& description,
                                   long deviceClass) {
  zdl::CDeviceList devices(Db());
  auto device = devices.Insert();
  device->PutName(name);
  device->PutDescription(description);
  device->PutProduct(product);
  if (deviceClass) device->PutClass(deviceClass);
  devices.Update();
  return device->GetID().str();
}

void ZebdTest::ExpectRefused(const std::string& requestElement, const std::string& method, int code,
                             const std::string& message) {
  const std::string before = Snapshot();
  EXPECT_EQ(Fault(method, code, message), Call(requestElement)) << requestElement;
  EXPECT_EQ(before, Snapshot()) << "the refused request changed the database: " << requestElement;
}

}  // namespace zeb::test
