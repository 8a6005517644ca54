#include "handlers/system/ListQueryHandlers.h"

#include "builders/CXMLCallingSearchSpace.h"
#include "builders/CXMLRoutePartition.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/CDeviceReportList.h"
#include "zdl/CTypeList.h"
#include "zdl/TypeEnums.h"
#include "zdl/directory/CUserInfoList.h"

namespace zeb {

namespace {

// The value of the request's first element, which must be "searchString" ("" when empty).
std::string ReadSearchString(XmlNode request) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("searchString", "<searchString>", "Found NULL, expecting <searchString>");
  return ValueOrEmpty(cursor.node());
}

// One "phone" per device of the report.
void AddPhones(zdl::CZDLSession& session, zdl::CDeviceReportList& devices, CXMLElement& result) {
  zdl::CTypeList products(session, "TypeProduct");
  zdl::CTypeList models(session, "TypeModel");
  for (; !devices.IsEOF(); devices.MoveNext()) {
    CXMLElement* phone = result.AddNewChild("phone");
    phone->AddAttribute("uuid", devices.GetDeviceID());
    phone->AddChild("name", devices.GetDeviceName());
    phone->AddChild("product", products.GetStringRef(devices.GetProductEnum()));
    phone->AddChild("model", models.GetStringRef(devices.GetDeviceModel()));
  }
}

}  // namespace

void CListQueryHandler::ListPhoneByName(XmlNode request, CXMLElement& result) {
  const std::string pattern = ReadSearchString(request);
  zdl::CDeviceReportList devices(db());
  devices.SelectDeviceByDeviceName(zdl::kClassPhone, pattern);
  AddPhones(db(), devices, result);
}

void CListQueryHandler::ListPhoneByDescription(XmlNode request, CXMLElement& result) {
  const std::string pattern = ReadSearchString(request);
  zdl::CDeviceReportList devices(db());
  devices.SelectDeviceByDescription(zdl::kClassPhone, pattern);
  AddPhones(db(), devices, result);
}

void CListQueryHandler::ListUserByName(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("firstname", "<firstname>", "Found NULL, expecting <firstname>");
  const std::string firstName = ValueOrEmpty(cursor.node());
  cursor.Advance();
  cursor.Expect("lastname", "<lastname>", "Found NULL, expecting <lastname>");
  const std::string lastName = ValueOrEmpty(cursor.node());

  auto users = zdl::OpenUserDirectory(db());
  users->SelectByName(firstName, lastName);
  for (users->MoveFirst(); !users->IsEOF(); users->MoveNext()) {
    auto user = users->GetCurrentItem();
    CXMLElement* item = result.AddNewChild("user");
    item->AddChild("ldapRN", user->GetCn());
    item->AddChild("firstname", user->GetGivenName());
    item->AddChild("lastname", user->GetSn());
  }
}

void CListQueryHandler::ListRoutePlanByType(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("usage", "<usage>", "Found NULL, expecting <usage>");
  std::string where;
  std::vector<zdl::CZDLValue> values;
  if (auto usage = ValueOf(cursor.node())) {
    where = " WHERE NumPlan.tkPatternUsage = ?";
    values.push_back(TypeEnum(db(), "TypePatternUsage", *usage));
  }
  zdl::CFastAccess rows(db(), "NumPlan");
  rows.SelectCustom(
      "SELECT NumPlan.pkid, NumPlan.DNOrPattern, NumPlan.tkPatternUsage, RoutePartition.Name AS PartitionName, "
      "RouteFilter.Name AS FilterName FROM NumPlan "
      "LEFT JOIN RoutePartition ON RoutePartition.pkid = NumPlan.fkRoutePartition "
      "LEFT JOIN RouteFilter ON RouteFilter.pkid = NumPlan.fkRouteFilter" +
          where + " ORDER BY NumPlan.DNOrPattern, RoutePartition.Name",
      values);
  zdl::CTypeList usages(db(), "TypePatternUsage");
  for (; !rows.IsEOF(); rows.MoveNext()) {
    CXMLElement* plan = result.AddNewChild("routePlan");
    plan->AddAttribute("uuid", rows.getGuid("pkid"));
    plan->AddChild("directoryNumber", rows.getString("DNOrPattern"));
    plan->AddChild("routePartitionName", rows.getString("PartitionName"));
    plan->AddChild("usage", usages.GetStringRef(rows.getInt("tkPatternUsage")));
    plan->AddChild("routeFilterName", rows.getString("FilterName"));
  }
}

void CListQueryHandler::ListRoutePartitionByName(XmlNode request, CXMLElement& result) {
  const std::string pattern = ReadSearchString(request);
  zdl::CFastAccess rows(db(), "RoutePartition");
  rows.SelectCustom("SELECT * FROM RoutePartition WHERE Name LIKE ? ORDER BY Name", {pattern});
  for (; !rows.IsEOF(); rows.MoveNext())
    result.AddNewChild<CXMLRoutePartition>()->BuildFromRow(rows, RenderMode::kNamespaces);
}

void CListQueryHandler::ListCSSByName(XmlNode request, CXMLElement& result) {
  const std::string pattern = ReadSearchString(request);
  zdl::CFastAccess rows(db(), "CallingSearchSpace");
  rows.SelectCustom("SELECT pkid FROM CallingSearchSpace WHERE Name LIKE ? ORDER BY Name", {pattern});
  for (; !rows.IsEOF(); rows.MoveNext()) {
    result.AddNewChild<CXMLCallingSearchSpace>()->BuildFromDatabase(db(), rows.getID("pkid"),
                                                                    RenderMode::kFull);
  }
}

const ElementTable kNumDevicesElements = {
    nullptr, nullptr, "getNumDevices", {Custom("class", Form::kValue, kNo, kNo, kReq)}};

void CListQueryHandler::GetNumDevices(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("class", "<class>", "Found NULL, expecting <class>");
  const long deviceClass = TypeEnum(db(), "TypeClass", RequireValue(cursor.node(), ValueWording::kThenMustHave));
  zdl::CDeviceReportList devices(db());
  const std::size_t count = devices.CountDeviceByDeviceName(deviceClass, "%");
  result.SetText(std::to_string(count));
}

}  // namespace zeb
