// Where the cluster configuration says the user directory is and how to open it, read from the
// enterprise-wide service parameters of the Directory service when the object is made: the
// directory server's URL (none: the embedded directory in the configuration database), whether
// to use StartTLS, the base under which users live, and the manager's name and password.
#pragma once

#include <string>

namespace zeb::zdl {

class CZDLSession;

// The settings that name a directory and the credentials it is opened with.
struct DirectorySettings {
  std::string url;  // "" for the embedded directory; else ldap:// or ldaps://
  bool startTls = false;
  std::string userBase;
  std::string managerDn;
  std::string managerPassword;

  bool embedded() const { return url.empty(); }
};

class CLdapConfig {
 public:
  // Reads the parameters; a missing one reads as "" (which no directory accepts). Throws
  // CZDLException kZDLDatabaseUnavailable when the password does not open with this node's key.
  explicit CLdapConfig(CZDLSession& session);

  const std::string& GetManagerDn() const { return settings_.managerDn; }
  const std::string& GetManagerPassword() const { return settings_.managerPassword; }
  const DirectorySettings& settings() const { return settings_; }

 private:
  DirectorySettings settings_;
};

// Names of the enterprise-wide parameters of the Directory service.
constexpr char kUrlParameter[] = "DirectoryURL";
constexpr char kStartTlsParameter[] = "DirectoryStartTLS";
constexpr char kUserBaseParameter[] = "DirectoryUserBase";
constexpr char kManagerDnParameter[] = "DirectoryManagerDn";
constexpr char kManagerPasswordParameter[] = "DirectoryManagerPassword";

// Whether a parameter of that name is one of the five above (which only make sense together).
bool IsDirectoryConnectionParameter(const std::string& name);

}  // namespace zeb::zdl
