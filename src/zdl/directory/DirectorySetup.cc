#include "zdl/directory/DirectorySetup.h"

#include <strings.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "zdl/CProcessConfigList.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Drivers.h"
#include "zdl/Records.h"
#include "zdl/SecretHash.h"
#include "zdl/base/CZDLException.h"
#include "zdl/directory/DirectoryBackEnd.h"
#include "zdl/directory/LdapConnection.h"

namespace zeb::zdl {

namespace {

SmartItemPtr<CDirectoryConfig> EmbeddedConfig(CZDLSession& session) {
  CDirectoryConfigList config(session);
  config.SelectAll();
  if (config.Count() == 0) throw CZDLException(kZDLDatabaseUnavailable, "The embedded directory is not set up.");
  return config.GetCurrentItem();
}

std::vector<std::string> CheckEmbedded(CZDLSession& session, const DirectorySettings& settings) {
  const std::string base = EmbeddedConfig(session)->GetUserBase();
  OpenDatabaseDirectory(session)->Bind(settings.managerDn, settings.managerPassword);
  if (strcasecmp(base.c_str(), settings.userBase.c_str()) != 0) {
    throw CZDLException(kZDLInvalidParameter, "The embedded directory keeps its users under \"" + base + "\".");
  }
  return {"the embedded directory accepts the manager " + settings.managerDn,
          "the embedded directory keeps its users under " + base};
}

std::vector<std::string> CheckServer(const DirectorySettings& settings) {
  if (settings.startTls && strncasecmp(settings.url.c_str(), "ldaps:", 6) == 0) {
    throw CZDLException(kZDLInvalidParameter, "StartTLS cannot be used on an ldaps:// connection, which has TLS.");
  }
  LdapConnection connection(settings.url, settings.startTls);
  connection.Bind(settings.managerDn, settings.managerPassword,
                  "The directory refused the manager credentials " + settings.managerDn + ".");
  std::vector<std::string> checked = {std::string("connected to ") + settings.url +
                                          (settings.startTls ? " with StartTLS" : "") + " and bound as " +
                                          settings.managerDn};
  if (settings.userBase.empty() || connection.Search(settings.userBase, true, "(objectClass=*)", {"1.1"}).empty()) {
    throw CZDLException(kZDLRecordNotFound, "The user base \"" + settings.userBase + "\" does not exist.");
  }
  checked.push_back("the user base " + settings.userBase + " exists");
  return checked;
}

// Writes each named value into the enterprise-wide parameter of that name.
void WriteParameters(CZDLSession& session, const std::map<std::string, std::string>& values) {
  CProcessConfigList parameters(session);
  SelectEnterpriseWide(parameters);
  for (const auto& [name, value] : values) {
    if (!FindByParamName(parameters, name)) {
      throw CZDLException(kZDLRecordNotFound, "The cluster configuration has no parameter " + name + ".");
    }
    parameters.GetCurrentItem()->PutParamValue(
        IsSecretParameter(name) ? session.database().secretKey().Seal(name, value) : value);
  }
  parameters.Update();
}

struct Arguments {
  std::map<std::string, std::string> values;  // option -> value
  bool startTls = false;
};

constexpr char kUsage[] =
    "usage: zebd directory --db LOCATION --url URL --user-base DN --manager-dn DN\n"
    "                      --manager-password-file FILE [--start-tls] [--secret-key FILE]\n"
    "       zebd directory --db LOCATION --url '' [--secret-key FILE]\n"
    "Checks that the directory server at URL binds the manager and holds the user base, and only\n"
    "then makes it the cluster's directory. --url '' returns to the embedded directory, with a\n"
    "fresh manager password.\n";

// Parses the options; false (with the usage on err) when they are wrong.
bool Parse(int argc, char** argv, Arguments& arguments, std::ostream& err) {
  static const char* const kWithValue[] = {"--db",         "--url",        "--user-base", "--manager-dn",
                                           "--manager-password-file", "--secret-key"};
  for (int i = 0; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--start-tls") {
      arguments.startTls = true;
      continue;
    }
    bool known = false;
    for (const char* name : kWithValue) known = known || option == name;
    if (!known || i + 1 >= argc || arguments.values.count(option)) {
      err << "zebd directory: " << (known ? "option " + option + " needs one value" : "unknown option " + option)
          << "\n" << kUsage;
      return false;
    }
    arguments.values[option] = argv[++i];
  }
  const bool embedded = arguments.values.count("--url") && arguments.values["--url"].empty();
  std::size_t needed = embedded ? 2 : 5;  // --db and --url, or all but --secret-key
  const std::size_t given = arguments.values.size() - arguments.values.count("--secret-key");
  const bool complete = arguments.values.count("--db") && arguments.values.count("--url") && given == needed &&
                        !(embedded && arguments.startTls);
  if (!complete) {
    err << "zebd directory: "
        << (embedded ? "--url '' takes only --db and --secret-key: the embedded directory's settings are its own"
                     : "--db, --url, --user-base, --manager-dn and --manager-password-file are all needed")
        << "\n" << kUsage;
    return false;
  }
  return true;
}

// The password file's first line, without its line feed; the command line never holds it.
std::string ReadPasswordFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string password;
  if (!file || !std::getline(file, password)) throw std::runtime_error("cannot read the password file " + path);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.empty()) throw std::runtime_error("the password file " + path + " holds no password");
  return password;
}

int Run(const Arguments& arguments, std::ostream& out) {
  const std::string db = arguments.values.at("--db");
  if (!IsSharedLocation(db) && !std::filesystem::exists(db)) {
    throw std::runtime_error("there is no configuration database " + db);
  }
  const std::string keyPath =
      arguments.values.count("--secret-key") ? arguments.values.at("--secret-key") : DefaultKeyPath(db);
  auto database = CZDLDatabase::Open(db, SecretKey::Load(keyPath));
  CZDLSession& session = database->Session();
  DirectorySettings settings;
  settings.url = arguments.values.at("--url");
  CZDLTransaction transaction(session);
  if (settings.embedded()) {
    CDirectoryConfigList config(session);
    config.SelectAll();
    if (config.Count() == 0) throw CZDLException(kZDLDatabaseUnavailable, "The embedded directory is not set up.");
    settings.managerDn = config.GetCurrentItem()->GetManagerDn();
    settings.userBase = config.GetCurrentItem()->GetUserBase();
    settings.managerPassword = RandomSecret();
    config.GetCurrentItem()->PutManagerSecret(HashSecret(settings.managerPassword));
    config.Update();
    out << "the embedded directory has a fresh manager password for " << settings.managerDn << "\n";
  } else {
    settings.startTls = arguments.startTls;
    settings.userBase = arguments.values.at("--user-base");
    settings.managerDn = arguments.values.at("--manager-dn");
    settings.managerPassword = ReadPasswordFile(arguments.values.at("--manager-password-file"));
    for (const std::string& line : CheckDirectorySettings(session, settings)) out << "checked: " << line << "\n";
  }
  WriteParameters(session, {{kUrlParameter, settings.url},
                            {kStartTlsParameter, settings.startTls ? "true" : "false"},
                            {kUserBaseParameter, settings.userBase},
                            {kManagerDnParameter, settings.managerDn},
                            {kManagerPasswordParameter, settings.managerPassword}});
  transaction.Commit();
  out << "the cluster's directory is now " << (settings.embedded() ? "the embedded directory" : settings.url)
      << ", users under " << settings.userBase << "\n";
  return 0;
}

}  // namespace

std::vector<std::string> CheckDirectorySettings(CZDLSession& session, const DirectorySettings& settings) {
  return settings.embedded() ? CheckEmbedded(session, settings) : CheckServer(settings);
}

void ProbeDirectory(CZDLSession& session) {
  DirectorySettings settings;
  {
    CZDLReadScope snapshot(session);
    settings = CLdapConfig(session).settings();
  }
  if (!settings.embedded()) CheckServer(settings);
}

int RunDirectoryCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Arguments arguments;
  if (!Parse(argc, argv, arguments, err)) return 2;
  try {
    return Run(arguments, out);
  } catch (const std::exception& error) {
    err << "zebd directory: refused, nothing was changed: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace zeb::zdl
