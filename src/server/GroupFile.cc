#include "server/GroupFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zeb::server {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

struct Member {
  Role role;
  std::size_t line;
};

}  // namespace

RoleTable RoleTable::Parse(std::string_view text, std::vector<std::string>* notes) {
  RoleTable table;
  std::unordered_map<std::string, Member> seen;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
      throw std::runtime_error(where + "no colon (a line is \"role: user user ...\")");
    const std::string_view name = Trim(line.substr(0, colon));
    const std::optional<Role> role = ParseRole(name);
    if (!role || *role == Role::kNone)
      throw std::runtime_error(where + "unknown role \"" + std::string(name) + "\" (read, write or admin)");
    std::string_view users = line.substr(colon + 1);
    while (!(users = Trim(users)).empty()) {
      const std::string user(users.substr(0, users.find_first_of(kBlanks)));
      users.remove_prefix(user.size());
      auto [member, added] = seen.emplace(user, Member{*role, number});
      if (!added && member->second.role != *role) {
        const Role higher = std::max(member->second.role, *role);
        notes->push_back(where + "'" + user + "' is also in the " + RoleName(member->second.role) + " group (line " +
                         std::to_string(member->second.line) + "); the higher role, " + RoleName(higher) +
                         ", is theirs");
        member->second.role = higher;
      }
      table.roles_[user] = member->second.role;
    }
  }
  return table;
}

Role RoleTable::RoleOf(const std::string& user) const {
  auto found = roles_.find(user);
  return found == roles_.end() ? Role::kNone : found->second;
}

std::vector<std::string> RoleTable::Users() const {
  std::vector<std::string> users;
  for (const auto& entry : roles_) users.push_back(entry.first);
  std::sort(users.begin(), users.end());
  return users;
}

namespace {

// "a, b, c", at most ten names, then how many more there are.
std::string NameList(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 10;
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) text += (i ? ", " : "") + names[i];
  if (names.size() > kShown) text += " and " + std::to_string(names.size() - kShown) + " more";
  return text;
}

}  // namespace

std::vector<std::string> RoleMismatches(const UserTable& users, const std::string& authPath,
                                        const RoleTable& roles, const std::string& groupPath) {
  std::vector<std::string> strangers, roleless;
  for (const std::string& user : roles.Users()) {
    if (users.Find(user) == nullptr) strangers.push_back(user);
  }
  for (const std::string& user : users.Names()) {
    if (roles.RoleOf(user) == Role::kNone) roleless.push_back(user);
  }
  std::vector<std::string> lines;
  if (!strangers.empty())
    lines.push_back("group file '" + groupPath + "' names users that auth file '" + authPath +
                    "' does not: " + NameList(strangers));
  if (!roleless.empty())
    lines.push_back("auth file '" + authPath + "' has users without a role in group file '" + groupPath +
                    "', who may call no method: " + NameList(roleless));
  return lines;
}

GroupFile::GroupFile(std::string path, Warn warn) : path_(std::move(path)), warn_(std::move(warn)) {
  try {
    table_ = Read();
  } catch (const std::exception& e) {
    throw std::runtime_error("group file '" + path_ + "': " + e.what());
  }
}

std::shared_ptr<const RoleTable> GroupFile::Read() const {
  std::ifstream in(path_, std::ios::binary);
  std::string text;
  if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in || in.bad()) throw std::runtime_error("cannot be read");
  std::vector<std::string> notes;
  auto table = std::make_shared<const RoleTable>(RoleTable::Parse(text, &notes));
  for (const std::string& note : notes) warn_("group file '" + path_ + "' " + note);
  return table;
}

void GroupFile::Reload() {
  try {
    std::shared_ptr<const RoleTable> table = Read();
    const std::size_t users = table->size();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      table_ = std::move(table);
    }
    warn_("reload: group file '" + path_ + "' read again (" + std::to_string(users) + " users)");
  } catch (const std::exception& e) {
    warn_("reload: group file '" + path_ + "': " + e.what() + "; keeping the roles read before");
  }
}

std::shared_ptr<const RoleTable> GroupFile::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return table_;
}

}  // namespace zeb::server
