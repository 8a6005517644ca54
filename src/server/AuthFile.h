// The users allowed in: an auth file of "user:hash" lines, re-read when it changes on disk.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zeb::server {

// Longest user name accepted: the extension records at most this many bytes of REMOTE_USER, and
// a longer name would appear in no trace record.
constexpr std::size_t kMaxUserNameBytes = 24;

// The users of an auth file as read at one moment: name -> crypt(3) hash. Immutable.
class UserTable {
 public:
  // Parses the text of an auth file. Blank lines and lines starting with '#' are skipped; a
  // trailing CR is dropped. Every other line must be "user:hash" with a name of 1 to
  // kMaxUserNameBytes bytes without control characters and a hash IsSupportedHash accepts;
  // a line that is not, and a second line for a name already seen, is skipped with one message
  // "line N: ..." appended to *warnings.
  static UserTable Parse(std::string_view text, std::vector<std::string>* warnings);

  // The hash of the user, or nullptr when there is no such user. Names match exactly.
  const std::string* Find(const std::string& user) const;

  // A hash of this table to verify against for an unknown name, so that the time a refusal
  // takes does not tell whether the name exists. Empty when the table is.
  const std::string& decoyHash() const { return decoyHash_; }

  std::size_t size() const { return hashes_.size(); }
  // The user names, sorted.
  std::vector<std::string> Names() const;

 private:
  std::unordered_map<std::string, std::string> hashes_;
  std::string decoyHash_;
};

// An auth file that follows the file on disk. Thread-safe.
class AuthFile {
 public:
  using Warn = std::function<void(const std::string& message)>;

  // Reads the file at path. Throws std::runtime_error naming the file when it cannot be read.
  // warn receives, as one line each, the skipped lines of every reading and the outcome of
  // every re-reading.
  AuthFile(std::string path, Warn warn);
  AuthFile(const AuthFile&) = delete;
  AuthFile& operator=(const AuthFile&) = delete;

  // The users as of now. Costs one stat() when the file did not change; re-reads it when its
  // inode, size, modification or change time differ from the last reading, and also while its
  // modification time is too recent to tell a later write of the same size apart. While the
  // file cannot be read, the table is empty: nobody gets in until it can be read again.
  std::shared_ptr<const UserTable> Current();
  // Reads the file now, whether or not it looks changed, and reports the outcome.
  void Reload();

  const std::string& path() const { return path_; }

 private:
  struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const Identity& other) const;
  };

  static Identity IdentityOf(const std::string& path);
  // Reads the file into *text; false with *error set when it cannot.
  bool ReadText(std::string* text, std::string* error) const;
  // Takes in what the file holds now: parses it when its text changed. False with *error set
  // when the file cannot be read. REQUIRES: mutex_ is held.
  bool Refresh(const Identity& identity, std::string* error);

  const std::string path_;
  const Warn warn_;
  std::mutex mutex_;
  // Guarded by mutex_:
  Identity identity_;
  bool racy_ = false;  // the last reading was so soon after a write that another might follow unseen
  std::optional<std::string> text_;  // what was read last; nullopt while the file cannot be read
  std::shared_ptr<const UserTable> table_;
};

}  // namespace zeb::server
