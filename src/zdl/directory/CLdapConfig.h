// Where the cluster configuration says the user directory is to be opened: the manager's
// distinguished name and password, read from the enterprise-wide service parameters
// "DirectoryManagerDn" and "DirectoryManagerPassword" when the object is made.
#pragma once

#include <string>

namespace zeb::zdl {

class CZDLSession;

class CLdapConfig {
 public:
  // Reads both parameters; a missing parameter reads as "" (which no directory accepts).
  explicit CLdapConfig(CZDLSession& session);

  const std::string& GetManagerDn() const { return managerDn_; }
  const std::string& GetManagerPassword() const { return managerPassword_; }

 private:
  std::string managerDn_;
  std::string managerPassword_;
};

// Names of the enterprise-wide service parameters that hold the credentials.
constexpr char kManagerDnParameter[] = "DirectoryManagerDn";
constexpr char kManagerPasswordParameter[] = "DirectoryManagerPassword";

}  // namespace zeb::zdl
