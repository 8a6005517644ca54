#include "builders/BuilderSupport.h"

#include <algorithm>

#include "zdl/CTypeList.h"

namespace zeb {

std::string TypeText(zdl::CZDLSession& session, const std::string& table, long number) {
  zdl::CTypeList types(session, table);
  if (types.IsBOF()) return "";
  return types.GetStringRef(number);
}

bool ReadRecord(zdl::CFastAccess& row, const zdl::CZDLID& id) {
  if (id.isNull()) return false;
  row.SelectByID(id);
  return !row.IsEOF();
}

void BuildReference(CXMLElement& element, zdl::CZDLSession& session, const char* table, const char* entity,
                    const zdl::CZDLID& id, RenderMode mode, const RowFiller& fill) {
  zdl::CFastAccess row(session, table);
  if (!ReadRecord(row, id)) return;
  if (mode == RenderMode::kNames) {
    element.SetTag(std::string(entity) + "Name");
    element.SetText(row.getString("Name"));
    return;
  }
  element.SetTag(entity);
  element.AddAttribute("uuid", row.getGuid("pkid"));
  element.AddChild("name", row.getString("Name"));
  if (fill) fill(element, row);
}

CXMLElement* AddUuidChild(CXMLElement& parent, const std::string& tag, const zdl::CZDLID& id) {
  CXMLElement* child = parent.AddNewChild(tag);
  child->AddAttribute("uuid", id.str());
  return child;
}

void CXMLCountryInfo::BuildFromDatabase(zdl::CZDLSession& session, long number) {
  SetTag("country");
  SetText(TypeText(session, "TypeCountry", number));
}

void CXMLCountryInfo::BuildFromDatabaseAsNetworkLocale(zdl::CZDLSession& session, long number) {
  SetTag("networkLocale");
  std::string text = TypeText(session, "TypeCountry", number);
  std::replace(text.begin(), text.end(), ' ', '_');
  SetText(text);
}

void CXMLEncodeInfo::BuildFromDatabase(long number) {
  SetTag("encode");
  SetText(number == 0 ? "A-law" : "u-law");
}

void CXMLLanguageInfo::BuildFromDatabase(zdl::CZDLSession& session, long number) {
  SetTag("langCode");
  zdl::CTypeList languages(session, "TypeLanguage");
  if (languages.Find(number)) SetText(languages.GetColumn("Code").AsText());
}

void CXMLMaxPorts::BuildFromDatabase(zdl::CZDLSession& session, long product) {
  SetTag("maxPorts");
  zdl::CTypeList products(session, "TypeProduct");
  SetText(products.Find(product) ? products.GetColumn("MaxPorts").AsText() : "0");
}

std::string DefaultLoadCache::DefaultLoad(zdl::CZDLSession& session, long model) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = loads_.find(model);
  if (found != loads_.end()) return found->second;
  loads_.clear();
  zdl::CFastAccess rows(session, "Defaults");
  for (rows.SelectAll(); !rows.IsEOF(); rows.MoveNext()) loads_[rows.getInt("tkModel")] = rows.getString("LoadInformation");
  found = loads_.find(model);
  return found == loads_.end() ? std::string() : found->second;
}

void DefaultLoadCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  loads_.clear();
}

}  // namespace zeb
