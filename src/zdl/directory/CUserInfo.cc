#include "zdl/directory/CUserInfo.h"

namespace zeb::zdl {

std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> values;
  if (text.empty()) return values;
  const std::string separator = kValueSeparator;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size()) {
    values.push_back(text.substr(start, at - start));
  }
  values.push_back(text.substr(start));
  return values;
}

std::string JoinValues(const std::vector<std::string>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) text += (i ? kValueSeparator : "") + values[i];
  return text;
}

CUserInfo::CUserInfo(DirectoryEntry entry, bool isNew) : entry_(std::move(entry)), isNew_(isNew) {}

std::string CUserInfo::GetVal(const std::string& attribute) const {
  auto found = entry_.attributes.find(attribute);
  return found == entry_.attributes.end() || found->second.empty() ? std::string() : found->second.front();
}

std::vector<std::string> CUserInfo::GetValues(const std::string& attribute) const {
  auto found = entry_.attributes.find(attribute);
  return found == entry_.attributes.end() ? std::vector<std::string>() : found->second;
}

void CUserInfo::PutVal(const std::string& attribute, const std::string& value) {
  if (value.empty()) {
    PutValues(attribute, {});
  } else {
    PutValues(attribute, {value});
  }
}

void CUserInfo::PutValues(const std::string& attribute, std::vector<std::string> values) {
  entry_.attributes[attribute] = std::move(values);
  changed_.insert(attribute);
}

std::string CUserInfo::GetAllDevices() const {
  const std::string text = GetVal("allDevices");
  return text.empty() ? "false" : text;
}

}  // namespace zeb::zdl
