#include "server/ServerOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string_view>
#include <thread>

namespace zeb::server {

namespace {

// Stores a parsed value into the options; returns false when the text is not acceptable.
using Setter = std::function<bool(std::string_view value, ServerOptions* options)>;

struct OptionEntry {
  const char* name;         // without the leading "--"
  const char* placeholder;  // nullptr for a flag, which takes no value
  const char* description;
  const char* defaultText;
  Setter set;
  bool repeatable = false;  // given once per value (its setter refuses a repeated value)
  std::string accepts = "";  // what a valid value is, in words; empty: the placeholder says it
};

// Unsigned decimal within [min, max]; no sign, no blanks, no suffix.
bool ParseUnsigned(std::string_view text, std::uint64_t min, std::uint64_t max, std::uint64_t* out) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) return false;
  *out = value;
  return true;
}

constexpr int kMaxSeconds = 86400;  // a day

// Seconds as a positive decimal number ("10", "0.25"), at most a day.
bool ParseSeconds(std::string_view text, std::chrono::milliseconds* out) {
  std::string copy(text);
  char* end = nullptr;
  double seconds = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(seconds) || seconds <= 0 ||
      seconds > kMaxSeconds) {
    return false;
  }
  auto ms = static_cast<std::chrono::milliseconds::rep>(std::ceil(seconds * 1000));
  *out = std::chrono::milliseconds(ms);
  return true;
}

// HOST:PORT, where HOST may be a bracketed IPv6 literal ("[::1]:8080").
bool ParseListen(std::string_view text, ServerOptions* options) {
  auto colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  std::uint64_t port = 0;
  if (host.empty() || !ParseUnsigned(text.substr(colon + 1), 0, 65535, &port)) return false;
  options->host = std::string(host);
  options->port = static_cast<std::uint16_t>(port);
  return true;
}

// [HOST:]PORT for the admin listener; a bare port listens on loopback.
bool ParseAdminListen(std::string_view text, ServerOptions* options) {
  std::uint64_t port = 0;
  if (text.find(':') == std::string_view::npos) {
    if (!ParseUnsigned(text, 0, 65535, &port)) return false;
    options->adminHost = "127.0.0.1";
    options->adminPort = static_cast<std::uint16_t>(port);
    return true;
  }
  if (text.front() == ':') {
    if (!ParseUnsigned(text.substr(1), 0, 65535, &port)) return false;
    options->adminHost = "127.0.0.1";
    options->adminPort = static_cast<std::uint16_t>(port);
    return true;
  }
  ServerOptions parsed;
  if (!ParseListen(text, &parsed)) return false;
  options->adminHost = parsed.host;
  options->adminPort = parsed.port;
  return true;
}

// A file name option: any non-empty text.
Setter FileName(std::string ServerOptions::*member) {
  return [member](std::string_view v, ServerOptions* o) {
    o->*member = std::string(v);
    return !v.empty();
  };
}

// A rate limit option: R[/s][,burst=B].
Setter Limit(std::optional<RateLimit> ServerOptions::*member) {
  return [member](std::string_view v, ServerOptions* o) {
    o->*member = RateLimit::Parse(v);
    return (o->*member).has_value();
  };
}

// ROLE=DN, one role at most once.
bool ParseRoleGroup(std::string_view text, ServerOptions* options) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos || equals + 1 == text.size()) return false;
  const std::optional<Role> role = ParseRole(text.substr(0, equals));
  if (!role || *role == Role::kNone) return false;
  for (const auto& [given, dn] : options->roleGroups) {
    if (given == *role) return false;
  }
  options->roleGroups.emplace_back(*role, std::string(text.substr(equals + 1)));
  return true;
}

// The access options that do not fit together; "" when they do.
std::string AccessProblem(const ServerOptions& options) {
  if (!options.groupFile.empty() && options.authFile.empty()) return "option '--group-file' needs '--auth-file'";
  if (options.authDirectory && !options.authFile.empty())
    return "options '--auth-directory' and '--auth-file' do not go together";
  if (options.authDirectory && !options.groupFile.empty())
    return "option '--group-file' gives roles to --auth-file users; with '--auth-directory', '--role-group' does";
  if (!options.roleGroups.empty() && !options.authDirectory) return "option '--role-group' needs '--auth-directory'";
  if (options.authDirectory && options.roleGroups.empty())
    return "option '--auth-directory' needs at least one '--role-group ROLE=DN'";
  if (!options.primaryCa.empty() && options.primaryUrl.rfind("https://", 0) != 0)
    return "option '--primary-ca' needs an https:// '--primary-url'";
  return "";
}

// An option whose value is a whole number from min to max.
template <typename T>
OptionEntry WholeNumber(const char* name, const char* placeholder, const char* description,
                        const char* defaultText, T ServerOptions::*member, std::uint64_t min,
                        std::uint64_t max) {
  Setter set = [member, min, max](std::string_view v, ServerOptions* o) {
    std::uint64_t n = 0;
    if (!ParseUnsigned(v, min, max, &n)) return false;
    o->*member = T(n);
    return true;
  };
  const std::string accepts = "a whole number from " + std::to_string(min) + " to " + std::to_string(max);
  return {name, placeholder, description, defaultText, std::move(set), false, accepts};
}

// An option whose value is a number of seconds (ParseSeconds).
OptionEntry Seconds(const char* name, const char* description, const char* defaultText,
                    std::chrono::milliseconds ServerOptions::*member) {
  Setter set = [member](std::string_view v, ServerOptions* o) { return ParseSeconds(v, &(o->*member)); };
  const std::string accepts = "a number of seconds above 0 and at most " + std::to_string(kMaxSeconds);
  return {name, "S", description, defaultText, std::move(set), false, accepts};
}

unsigned DefaultThreads() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

const std::vector<OptionEntry>& Options() {
  static const std::vector<OptionEntry> kOptions = {
      {"listen", "HOST:PORT", "address and port to listen on; port 0 picks a free port", "127.0.0.1:8080",
       ParseListen},
      {"trace-dir", "DIR", "directory of the request trace files", "trace",
       [](std::string_view v, ServerOptions* o) {
         o->traceDir = std::string(v);
         return !v.empty();
       }},
      {"db", "PATH", "configuration database (SQLite file or postgresql:// URI)", "zeb.db",
       [](std::string_view v, ServerOptions* o) {
         o->database = std::string(v);
         return !v.empty();
       }},
      {"secret-key", "FILE", "key of the secret service parameters, made (mode 0600) when absent",
       "beside the --db file, its extension replaced by .key; zeb.key for PostgreSQL",
       FileName(&ServerOptions::secretKey)},
      WholeNumber("threads", "N", "worker threads handling requests", "the number of cores",
                  &ServerOptions::threads, 1, 1024),
      WholeNumber("max-connections", "N", "open connections; past this, new ones are closed at once", "1024",
                  &ServerOptions::maxConnections, 1, 1'000'000),
      WholeNumber("max-connections-per-address", "N", "open connections from one client address", "256",
                  &ServerOptions::maxConnectionsPerAddress, 1, 1'000'000),
      WholeNumber("max-header-bytes", "N", "largest request header accepted", "8192",
                  &ServerOptions::maxHeaderBytes, 256, 1 << 20),
      Seconds("header-timeout", "seconds to receive a request header", "10", &ServerOptions::headerTimeout),
      Seconds("body-timeout", "seconds to receive a request body after its header", "10",
              &ServerOptions::bodyTimeout),
      Seconds("idle-timeout", "seconds a kept-alive connection may wait for its next request", "60",
              &ServerOptions::idleTimeout),
      Seconds("write-timeout", "seconds to send one response to a client that reads slowly", "30",
              &ServerOptions::writeTimeout),
      {"tls-cert", "FILE", "PEM certificate chain; with --tls-key, serve HTTPS (TLS 1.2 and 1.3)", "none",
       FileName(&ServerOptions::tlsCert)},
      {"tls-key", "FILE", "unencrypted PEM private key of the --tls-cert certificate", "none",
       FileName(&ServerOptions::tlsKey)},
      {"auth-file", "FILE", "require HTTP Basic authentication against user:crypt-hash lines", "none",
       FileName(&ServerOptions::authFile)},
      {"group-file", "FILE",
       "roles of the --auth-file users: 'role: user user ...' lines (read, write, admin)",
       "none: every user is admin", FileName(&ServerOptions::groupFile)},
      {"auth-directory", nullptr,
       "check HTTP Basic credentials by binding as the user on the directory server", "off",
       [](std::string_view, ServerOptions* o) {
         o->authDirectory = true;
         return true;
       }},
      {"role-group", "ROLE=DN",
       "with --auth-directory: the groupOfNames whose members have ROLE; once per role", "none",
       ParseRoleGroup, /*repeatable=*/true},
      Seconds("auth-directory-cache", "seconds a directory sign-in is trusted before the user binds again",
              "60", &ServerOptions::authDirectoryCache),
      {"rate-limit", "R[/s][,burst=B]", "requests a second per user (per address without credentials)",
       "none", Limit(&ServerOptions::rateLimit)},
      {"write-rate-limit", "R[/s][,burst=B]", "requests a second per user to the write and admin methods",
       "none", Limit(&ServerOptions::writeRateLimit)},
      {"admin-listen", "[HOST:]PORT",
       "serve /metrics, /healthz and /readyz on this address (loopback without HOST)", "none",
       ParseAdminListen},
      Seconds(
          "request-timeout",
          "seconds a request may wait for the database and directory servers; past them it fails with ID 7",
          "15", &ServerOptions::requestTimeout),
      Seconds("drain-timeout", "seconds requests under way may take to finish when zebd stops", "10",
              &ServerOptions::drainTimeout),
      WholeNumber("read-cache", "MS",
                  "milliseconds a get's answer may be served again from memory unless a change drops it; 0 "
                  "keeps none",
                  "2000", &ServerOptions::readCache, 0, 60'000),
      WholeNumber("audit-retention", "DAYS", "days audit rows are kept; 0 keeps them for ever", "365",
                  &ServerOptions::auditRetentionDays, 0, 100'000),
      WholeNumber("event-retention", "DAYS",
                  "days change events are kept for /events and the webhooks; 0 keeps them for ever", "7",
                  &ServerOptions::eventRetentionDays, 0, 100'000),
      Seconds("webhook-failing-after", "seconds a webhook may fail before it is marked failing", "3600",
              &ServerOptions::webhookFailingAfter),
      {"webhook-ca", "FILE", "PEM certificates webhook receivers are verified against",
       "the system's trust store", FileName(&ServerOptions::webhookCa)},
      {"no-audit", nullptr, "write no audit rows", "audit on",
       [](std::string_view, ServerOptions* o) {
         o->audit = false;
         return true;
       }},
      {"primary-url", "URL",
       "on a read-only standby, forward write requests to this zebd node on the primary (http:// or "
       "https://)",
       "none: writes are refused",
       [](std::string_view v, ServerOptions* o) {
         o->primaryUrl = std::string(v);
         return v.rfind("http://", 0) == 0 || v.rfind("https://", 0) == 0;
       }},
      {"primary-ca", "FILE", "PEM certificates that an https --primary-url is verified against",
       "the system's trust store", FileName(&ServerOptions::primaryCa)},
      Seconds("standby-poll",
              "on a read-only standby, seconds between checks of its replay (drops stale caches)", "0.5",
              &ServerOptions::standbyPoll),
      Seconds("max-replication-delay", "a read-only standby lagging behind its primary by more is not ready",
              "30", &ServerOptions::maxReplicationDelay),
      {"insecure", nullptr, "allow a non-loopback --listen address without TLS and authentication", "off",
       [](std::string_view, ServerOptions* o) {
         o->insecure = true;
         return true;
       }},
  };
  return kOptions;
}

const OptionEntry* FindOption(std::string_view name) {
  for (const OptionEntry& option : Options()) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

}  // namespace

ParseResult ParseServerOptions(int argc, const char* const* argv, ServerOptions* options,
                               std::string* error) {
  *options = ServerOptions();
  std::vector<const OptionEntry*> seen;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return ParseResult::kHelp;
    if (arg.substr(0, 2) != "--") {
      *error = "unexpected argument '" + std::string(arg) + "'";
      return ParseResult::kError;
    }
    std::string_view name = arg.substr(2);
    std::string_view value;
    bool hasValue = false;
    if (auto eq = name.find('='); eq != std::string_view::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    const OptionEntry* option = FindOption(name);
    if (option == nullptr) {
      *error = "unknown option '--" + std::string(name) + "'";
      return ParseResult::kError;
    }
    if (!option->repeatable && std::find(seen.begin(), seen.end(), option) != seen.end()) {
      *error = "option '--" + std::string(name) + "' is given more than once";
      return ParseResult::kError;
    }
    seen.push_back(option);
    if (option->placeholder == nullptr) {
      if (hasValue) {
        *error = "option '--" + std::string(name) + "' takes no value";
        return ParseResult::kError;
      }
      option->set({}, options);
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        *error = "option '--" + std::string(name) + "' needs a value " + option->placeholder;
        return ParseResult::kError;
      }
      value = argv[++i];
    }
    if (!option->set(value, options)) {
      *error = "invalid value '" + std::string(value) + "' for option '--" + std::string(name) +
               "' (expected " + (option->accepts.empty() ? option->placeholder : option->accepts) + ")";
      return ParseResult::kError;
    }
  }
  if (options->tlsCert.empty() != options->tlsKey.empty()) {
    *error = "options '--tls-cert' and '--tls-key' must be given together";
    return ParseResult::kError;
  }
  if (std::string problem = AccessProblem(*options); !problem.empty()) {
    *error = problem;
    return ParseResult::kError;
  }
  if (options->threads == 0) options->threads = DefaultThreads();
  return ParseResult::kRun;
}

std::string HelpText() {
  constexpr std::size_t kHelpColumn = 40;
  std::string text =
      "Usage: zebd [OPTION]...\n"
      "Serves the ZEB API (SOAP 1.1 over HTTP/1.1).\n\n"
      "Options:\n";
  for (const OptionEntry& option : Options()) {
    std::string left = std::string("  --") + option.name;
    if (option.placeholder != nullptr) left += std::string(" ") + option.placeholder;
    left.resize(std::max<std::size_t>(left.size() + 2, kHelpColumn), ' ');
    std::string defaultText = option.defaultText;
    if (std::string_view(option.name) == "threads")
      defaultText += ", " + std::to_string(DefaultThreads()) + " here";
    text += left + option.description + " (default: " + defaultText + ")\n";
  }
  text += std::string("  --help").append(kHelpColumn - 8, ' ') + "print this help and exit\n";
  text +=
      "\nA --listen or --admin-listen address other than a loopback one needs --tls-cert, --tls-key\n"
      "and --auth-file (or --auth-directory), or --insecure. The admin listener uses the same TLS and\n"
      "authentication.\n"
      "\nRoles: read (get, list and count methods, the WSDL and schema), write (also add, update,\n"
      "remove and do methods), admin (also service parameters and users). With --group-file or\n"
      "--auth-directory a user without a role may call nothing; without them every user is admin.\n"
      "\nOn a PostgreSQL hot standby the node is read-only: it forwards every method that is not a read\n"
      "to --primary-url, or refuses it without one.\n"
      "\nOther commands:\n"
      "  zebd copy --from LOCATION --to LOCATION   copy a configuration database\n"
      "  zebd audit --db LOCATION [--since TIME] [--user U] [--method M] [--record UUID]\n"
      "                                            print the audit log of changes as JSON lines\n"
      "  zebd webhook add|list|remove --db LOCATION ...\n"
      "                                            keep the webhook subscriptions (zebd webhook --help)\n"
      "\nSignals: SIGTERM and SIGINT stop after the requests under way; SIGHUP reads the TLS\n"
      "certificate and key, the auth file and the group file again (and forgets directory sign-ins).\n";
  return text;
}

}  // namespace zeb::server
