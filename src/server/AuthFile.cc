#include "server/AuthFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "server/PasswordHash.h"

namespace zeb::server {

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Why a "user:hash" line cannot be used, or "" when it can.
std::string ProblemOf(std::string_view line, std::size_t colon) {
  if (colon == std::string_view::npos) return "not of the form user:hash";
  std::string_view user = line.substr(0, colon);
  std::string_view hash = line.substr(colon + 1);
  if (user.empty()) return "empty user name";
  if (user.size() > kMaxUserNameBytes)
    return "user name longer than " + std::to_string(kMaxUserNameBytes) + " bytes";
  if (std::any_of(user.begin(), user.end(), IsControl)) return "control character in the user name";
  if (!IsSupportedHash(hash) || hash.find(':') != std::string_view::npos)
    return "not a yescrypt, bcrypt or SHA-512 crypt hash (make one with mkpasswd or htpasswd -B)";
  return "";
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// How long after a write its file times may still fail to tell a later write apart (file
// systems with two-second times included).
constexpr long kRacySeconds = 3;

}  // namespace

UserTable UserTable::Parse(std::string_view text, std::vector<std::string>* warnings) {
  UserTable table;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    std::size_t colon = line.find(':');
    std::string problem = ProblemOf(line, colon);
    std::string user(line.substr(0, colon));
    if (problem.empty() && table.hashes_.count(user) != 0) problem = "user '" + user + "' appears again";
    if (!problem.empty()) {
      warnings->push_back("line " + std::to_string(lineNumber) + ": " + problem + "; the line is ignored");
      continue;
    }
    std::string hash(line.substr(colon + 1));
    if (table.decoyHash_.empty()) table.decoyHash_ = hash;
    table.hashes_.emplace(std::move(user), std::move(hash));
  }
  return table;
}

std::vector<std::string> UserTable::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : hashes_) names.push_back(entry.first);
  std::sort(names.begin(), names.end());
  return names;
}

const std::string* UserTable::Find(const std::string& user) const {
  auto found = hashes_.find(user);
  return found == hashes_.end() ? nullptr : &found->second;
}

bool AuthFile::Identity::operator==(const Identity& other) const {
  return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

AuthFile::Identity AuthFile::IdentityOf(const std::string& path) {
  struct stat info {};
  Identity identity;
  if (stat(path.c_str(), &info) != 0) return identity;
  identity.exists = true;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modified = info.st_mtim;
  identity.changed = info.st_ctim;
  return identity;
}

AuthFile::AuthFile(std::string path, Warn warn) : path_(std::move(path)), warn_(std::move(warn)) {
  std::string error;
  if (!Refresh(IdentityOf(path_), &error)) throw std::runtime_error(error);
  if (table_->size() == 0) warn_("auth file '" + path_ + "' names no user: every request will be refused");
}

bool AuthFile::ReadText(std::string* text, std::string* error) const {
  std::ifstream in(path_, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  if (!in || in.bad()) {
    *error = "cannot read auth file '" + path_ + "': " + std::strerror(errno);
    return false;
  }
  *text = content.str();
  return true;
}

bool AuthFile::Refresh(const Identity& identity, std::string* error) {
  identity_ = identity;
  racy_ = false;
  std::string text;
  if (!ReadText(&text, error)) {
    text_.reset();
    return false;
  }
  // File times advance in coarse steps: a write soon after this reading could leave size and
  // times as they are now. Until the time has moved on, the file is read on every look.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  racy_ = now.tv_sec - identity.modified.tv_sec < kRacySeconds;
  if (text_ && *text_ == text) return true;
  std::vector<std::string> warnings;
  table_ = std::make_shared<const UserTable>(UserTable::Parse(text, &warnings));
  text_ = std::move(text);
  for (const std::string& warning : warnings) warn_("auth file '" + path_ + "' " + warning);
  return true;
}

void AuthFile::Reload() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    racy_ = true;  // makes Current read the file
  }
  Current();
}

std::shared_ptr<const UserTable> AuthFile::Current() {
  Identity identity = IdentityOf(path_);
  std::lock_guard<std::mutex> lock(mutex_);
  if (identity == identity_ && !racy_) return table_;
  bool wasReadable = text_.has_value();
  std::shared_ptr<const UserTable> before = table_;
  std::string error;
  if (!Refresh(identity, &error)) {
    if (wasReadable) warn_(error + "; no request is accepted until it can be read");
    table_ = std::make_shared<const UserTable>();
  } else if (table_ != before) {
    warn_("auth file '" + path_ + "' read again: " + std::to_string(table_->size()) + " users");
  }
  return table_;
}

}  // namespace zeb::server
