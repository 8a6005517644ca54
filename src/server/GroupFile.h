// The roles of the auth file's users: a group file of "role: user user ..." lines (the format
// web servers read group files in), one group per role of access control (read, write, admin).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dispatch/Role.h"
#include "server/AuthFile.h"

namespace zeb::server {

// The users of a group file as read at one moment, with their roles. Immutable.
class RoleTable {
 public:
  // Parses the text of a group file. Blank lines and lines starting with '#' are skipped, a
  // trailing CR is dropped; every other line is a role name ("read", "write" or "admin"), a
  // colon and user names separated by blanks. A role may take several lines. A user in two
  // roles gets the higher one, and *notes says so ("line N: ..."). Throws std::runtime_error
  // "line N: ..." for a line without a colon or with another role name.
  static RoleTable Parse(std::string_view text, std::vector<std::string>* notes);

  // The user's role; Role::kNone for a user the file does not name.
  Role RoleOf(const std::string& user) const;
  std::size_t size() const { return roles_.size(); }
  // The users the file names, sorted.
  std::vector<std::string> Users() const;

 private:
  std::unordered_map<std::string, Role> roles_;
};

// A group file, read at start and again on Reload. Thread-safe.
class GroupFile {
 public:
  using Warn = std::function<void(const std::string& message)>;

  // Reads the file. Throws std::runtime_error naming the file (and the line) when it cannot be
  // read or used. warn receives the notes of every reading and the outcome of every reload.
  GroupFile(std::string path, Warn warn);

  // Reads the file again; a file that cannot be read or used is reported through warn and the
  // roles read before are kept.
  void Reload();

  std::shared_ptr<const RoleTable> Current() const;
  const std::string& path() const { return path_; }

 private:
  std::shared_ptr<const RoleTable> Read() const;

  const std::string path_;
  const Warn warn_;
  mutable std::mutex mutex_;
  std::shared_ptr<const RoleTable> table_;  // guarded by mutex_
};

// Lines for the operator when an auth file and its group file disagree: users the group file
// names that the auth file does not (a misspelt name, or a user removed from one file only), and
// users of the auth file the group file gives no role, who may call no method. Empty when every
// user has a role and every member of a group is a user. Each list names at most ten users.
std::vector<std::string> RoleMismatches(const UserTable& users, const std::string& authPath,
                                        const RoleTable& roles, const std::string& groupPath);

}  // namespace zeb::server
