#include "server/WebhookCommand.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>

#include "server/WebhookClient.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Drivers.h"
#include "zdl/SecretKey.h"
#include "zdl/Webhooks.h"
#include "zdl/base/CZDLException.h"

namespace zeb::server {

namespace {

constexpr std::size_t kMaxSecretBytes = 4096;

constexpr char kUsage[] =
    "usage: zebd webhook add --db LOCATION --url URL --secret-file FILE [--methods PATTERNS] [--secret-key "
    "FILE]\n"
    "       zebd webhook list --db LOCATION\n"
    "       zebd webhook remove --db LOCATION ID\n";

constexpr char kHelp[] =
    "Keeps the webhook subscriptions: each change event is POSTed, signed, to every subscription.\n"
    "  --db LOCATION      the configuration database (file or postgresql:// URI)\n"
    "  --url URL          where events are POSTed: http:// or https:// (the certificate is verified)\n"
    "  --secret-file FILE the file holding the secret the events are signed with (stored sealed)\n"
    "  --methods PATTERNS only events of these methods: names with * and ?, separated by commas\n"
    "  --secret-key FILE  the cluster's secret key (default: beside --db, .key for its extension)\n";

struct Arguments {
  std::string action;
  std::map<std::string, std::string> options;
  std::string id;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Arguments Parse(int argc, char** argv) {
  Arguments arguments;
  if (argc < 1) throw UsageError("add, list or remove?");
  arguments.action = argv[0];
  if (arguments.action != "add" && arguments.action != "list" && arguments.action != "remove")
    throw UsageError("unknown action " + arguments.action);
  static const std::map<std::string, std::string> kAllowed{
      {"add", "--db --url --secret-file --methods --secret-key"}, {"list", "--db"}, {"remove", "--db"}};
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.compare(0, 2, "--") != 0) {
      if (arguments.action != "remove" || !arguments.id.empty())
        throw UsageError("unexpected argument " + word);
      arguments.id = word;
      continue;
    }
    if ((" " + kAllowed.at(arguments.action) + " ").find(" " + word + " ") == std::string::npos)
      throw UsageError("unknown option " + word);
    if (arguments.options.count(word)) throw UsageError(word + " is given more than once");
    if (i + 1 >= argc) throw UsageError(word + " needs a value");
    arguments.options[word] = argv[++i];
  }
  if (!arguments.options.count("--db")) throw UsageError("--db is required");
  if (arguments.action == "add" && !arguments.options.count("--url")) throw UsageError("--url is required");
  if (arguments.action == "add" && !arguments.options.count("--secret-file"))
    throw UsageError("--secret-file is required");
  if (arguments.action == "remove" && arguments.id.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("remove needs the subscription's number, not '" + arguments.id + "'");
  if (arguments.action == "remove" && (arguments.id.empty() || arguments.id.size() > 18))
    throw UsageError("remove needs the subscription's number");
  return arguments;
}

std::string ReadSecret(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("--secret-file " + path + " cannot be read");
  std::string secret;
  secret.resize(kMaxSecretBytes + 1);
  file.read(&secret[0], static_cast<std::streamsize>(secret.size()));
  secret.resize(static_cast<std::size_t>(file.gcount()));
  if (file.bad()) throw std::runtime_error("--secret-file " + path + " cannot be read");
  if (secret.size() > kMaxSecretBytes)
    throw std::runtime_error("--secret-file " + path + " holds more than " + std::to_string(kMaxSecretBytes) +
                             " bytes");
  if (!secret.empty() && secret.back() == '\n') secret.pop_back();
  if (!secret.empty() && secret.back() == '\r') secret.pop_back();
  if (secret.empty()) throw std::runtime_error("--secret-file " + path + " is empty");
  return secret;
}

void CheckMethods(const std::string& patterns) {
  if (patterns.empty() || patterns.find_first_not_of(
                              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ*?,") != std::string::npos)
    throw UsageError("--methods takes method names with * and ?, separated by commas");
}

std::unique_ptr<zdl::CZDLDatabase> Open(const std::string& location,
                                        std::shared_ptr<const zdl::SecretKey> key) {
  if (!zdl::IsSharedLocation(location) && !std::filesystem::exists(location))
    throw zdl::CZDLException(zdl::kZDLDatabaseUnavailable,
                             "There is no configuration database " + location + ".");
  return zdl::CZDLDatabase::Open(location, std::move(key));
}

int Add(const Arguments& arguments, std::ostream& out) {
  const std::string& url = arguments.options.at("--url");
  try {
    ParseWebhookUrl(url);
  } catch (const std::invalid_argument& error) {
    throw UsageError("--url " + url + ": " + error.what());
  }
  const std::string methods = arguments.options.count("--methods") ? arguments.options.at("--methods") : "";
  if (arguments.options.count("--methods")) CheckMethods(methods);
  const std::string secret = ReadSecret(arguments.options.at("--secret-file"));
  const std::string& location = arguments.options.at("--db");
  const std::string keyPath = arguments.options.count("--secret-key") ? arguments.options.at("--secret-key")
                                                                      : zdl::DefaultKeyPath(location);
  if (!std::filesystem::exists(keyPath))
    throw std::runtime_error(
        "there is no secret key file " + keyPath +
        ": zebd makes it when it first opens the database, or name it with --secret-key");
  auto key = zdl::SecretKey::Load(keyPath);
  auto database = Open(location, key);
  const std::int64_t id = zdl::AddWebhook(database->Session(), *key, url, secret, methods);
  out << "webhook " << id << " added: " << url << "\n";
  return 0;
}

std::string State(const zdl::WebhookSubscription& subscription) {
  if (subscription.failing) return "failing";
  return subscription.failingSince ? "retrying" : "ok";
}

int List(const Arguments& arguments, std::ostream& out) {
  auto database = Open(arguments.options.at("--db"), nullptr);
  zdl::CZDLSession& session = database->Session();
  std::vector<zdl::WebhookSubscription> subscriptions;
  {
    zdl::CZDLReadScope snapshot(session);
    subscriptions = zdl::ReadWebhooks(session);
  }
  out << "ID\tSTATE\tDELIVERED\tMETHODS\tURL\tLAST ERROR\n";
  for (const zdl::WebhookSubscription& subscription : subscriptions) {
    out << subscription.id << '\t' << State(subscription) << '\t' << subscription.position << '\t'
        << (subscription.methods.empty() ? "*" : subscription.methods) << '\t' << subscription.url << '\t';
    if (subscription.failingSince)
      out << "since " << zdl::FormatTime(subscription.failingSince) << ": " << subscription.lastError;
    out << '\n';
  }
  return 0;
}

int Remove(const Arguments& arguments, std::ostream& out) {
  auto database = Open(arguments.options.at("--db"), nullptr);
  if (!zdl::RemoveWebhook(database->Session(), std::stoll(arguments.id)))
    throw std::runtime_error("there is no webhook " + arguments.id);
  out << "webhook " << arguments.id << " removed\n";
  return 0;
}

}  // namespace

int RunWebhookCommand(int argc, char** argv, std::ostream& out, std::ostream& err) {
  if (argc >= 1 && (std::string(argv[0]) == "--help" || std::string(argv[0]) == "-h")) {
    out << kUsage << kHelp;
    return 0;
  }
  try {
    const Arguments arguments = Parse(argc, argv);
    if (arguments.action == "add") return Add(arguments, out);
    if (arguments.action == "list") return List(arguments, out);
    return Remove(arguments, out);
  } catch (const UsageError& error) {
    err << "zebd webhook: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    err << "zebd webhook: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace zeb::server
