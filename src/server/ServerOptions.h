// Command-line options of zebd: where it listens, where the extension keeps its trace files and
// database, how clients are authenticated and encrypted, and the limits the HTTP host enforces on
// every connection.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dispatch/Role.h"
#include "extension/AccessGate.h"

namespace zeb::server {

struct ServerOptions {
  std::string host = "127.0.0.1";  // address to bind; a name or an IPv4/IPv6 literal
  std::uint16_t port = 8080;       // 0 binds a free port
  std::string traceDir = "trace";  // relative paths are taken from the working directory
  std::string database = "zeb.db";
  std::string secretKey;  // key file of the secret service parameters; "" for the default
  unsigned threads = 0;  // 0 until parsed: then the number of cores
  std::size_t maxConnections = 1024;
  std::size_t maxConnectionsPerAddress = 256;  // from one client address
  std::uint32_t maxHeaderBytes = 8 * 1024;
  std::chrono::milliseconds headerTimeout{10'000};  // first byte of a request to end of header
  std::chrono::milliseconds bodyTimeout{10'000};    // end of header to end of body
  std::chrono::milliseconds idleTimeout{60'000};    // keep-alive wait for the next request
  std::chrono::milliseconds writeTimeout{30'000};   // sending one response
  std::string tlsCert;    // PEM certificate chain; with tlsKey, the listener speaks HTTPS
  std::string tlsKey;     // PEM private key of tlsCert, unencrypted
  std::string authFile;   // "user:hash" lines; when set, every request needs HTTP Basic credentials
  std::string groupFile;  // "role: user ..." lines giving the auth file's users their roles
  bool authDirectory = false;  // HTTP Basic credentials are checked by binding on the directory server
  std::vector<std::pair<Role, std::string>> roleGroups;  // with authDirectory: a group's DN per role
  std::chrono::milliseconds authDirectoryCache{60'000};  // a directory sign-in is trusted this long
  std::optional<RateLimit> rateLimit;       // per user, every method
  std::optional<RateLimit> writeRateLimit;  // per user, write and admin methods
  bool insecure = false;  // allows a non-loopback listener without TLS and authentication
  std::string adminHost;  // the admin listener's address; "" when there is none
  std::uint16_t adminPort = 0;
  std::chrono::milliseconds drainTimeout{10'000};  // requests under way may finish at shutdown
  std::chrono::milliseconds requestTimeout{15'000};  // one request's waits for database servers
  bool audit = true;                               // append an audit row for every change
  unsigned auditRetentionDays = 365;               // 0 keeps audit rows for ever
  std::chrono::milliseconds readCache{2000};       // age of a get's answer served from memory (PostgreSQL)
  unsigned eventRetentionDays = 7;                 // 0 keeps change events for ever
  std::chrono::milliseconds webhookFailingAfter{3'600'000};  // then a subscription is marked failing
  std::string webhookCa;                           // "" trusts the system's store
  // On a read-only standby: where writes are forwarded ("" refuses them), and with which CA.
  std::string primaryUrl;
  std::string primaryCa;
  std::chrono::milliseconds standbyPoll{500};              // how often a standby's replay is checked
  std::chrono::milliseconds maxReplicationDelay{30'000};   // past this a standby is not ready

  bool tls() const { return !tlsCert.empty(); }
  bool authenticated() const { return !authFile.empty() || authDirectory; }
  bool admin() const { return !adminHost.empty(); }
};

enum class ParseResult {
  kRun,    // options are valid; start the server
  kHelp,   // --help was given; print HelpText() and exit 0
  kError,  // *error says what is wrong; exit 2
};

// Parses argv (argv[0] is the program name). Accepts "--name VALUE" and "--name=VALUE".
// Options without a value (flags) take none; an option given twice is an error. On kRun, *options holds every value, defaults filled
// in (threads >= 1), --tls-cert and --tls-key are either both given or both absent, and the
// access options fit together (--group-file with --auth-file, --role-group with
// --auth-directory, which does not go with --auth-file). On
// kError, *error holds a one-line message naming the offending option; *options is unspecified.
ParseResult ParseServerOptions(int argc, const char* const* argv, ServerOptions* options, std::string* error);

// The --help text: usage and one line per option with its default.
std::string HelpText();

}  // namespace zeb::server
