// zebd: checks that the listeners may start as configured, loads the extension, serves HTTP(S)
// (and the admin listener when asked) until SIGINT/SIGTERM, then unloads the extension and
// closes the database.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "extension/CQuillonExtension.h"
#include "server/AccessPolicy.h"
#include "server/AdminListener.h"
#include "server/AuditPruner.h"
#include "server/Authenticator.h"
#include "server/CommittedEvents.h"
#include "server/EventStream.h"
#include "server/HttpHost.h"
#include "server/ListenAddress.h"
#include "server/Metrics.h"
#include "server/PrimaryClient.h"
#include "server/ReadinessProbe.h"
#include "server/ServerOptions.h"
#include "server/ServiceNotify.h"
#include "server/TlsContext.h"
#include "server/TraceLoss.h"
#include "server/WebhookCommand.h"
#include "server/WebhookDeliverer.h"
#include "wsdl/ServiceDocuments.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLSession.h"
#include "zdl/CopyDatabase.h"
#include "zdl/DatabaseHealth.h"
#include "zdl/Drivers.h"
#include "zdl/SecretKey.h"
#include "zdl/StandbyWatch.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"
#include "zdl/base/Durability.h"
#include "zdl/directory/DirectorySetup.h"
#include "zdl/directory/DirectorySignIn.h"

namespace {

namespace server = zeb::server;

constexpr int kExitUsage = 2;  // bad options, or a listener that would be exposed
constexpr int kExitFailure = 1;

void Warn(const std::string& message) { std::cerr << "zebd: " + message + "\n" << std::flush; }

// What the host needs besides the options: made before anything else starts, so that a bad
// certificate, key, auth file or group file stops the start before a database is opened. A
// directory's sign-in is added once the database, which says where the directory is, is open.
struct Security {
  std::unique_ptr<boost::asio::ssl::context> tls;
  std::unique_ptr<server::Authenticator> authenticator;
  std::unique_ptr<server::AccessPolicy> access;
};

Security LoadSecurity(const server::ServerOptions& options) {
  Security security;
  if (options.tls()) security.tls = server::MakeTlsContext(options.tlsCert, options.tlsKey);
  if (!options.authFile.empty())
    security.authenticator = std::make_unique<server::Authenticator>(options.authFile, Warn);
  server::AccessPolicy::Setup access;
  if (!options.groupFile.empty()) access.groups = std::make_unique<server::GroupFile>(options.groupFile, Warn);
  access.directoryRoles = options.authDirectory;
  access.rateLimit = options.rateLimit;
  access.writeRateLimit = options.writeRateLimit;
  if (access.groups || access.directoryRoles || access.rateLimit || access.writeRateLimit)
    security.access = std::make_unique<server::AccessPolicy>(std::move(access));
  if (security.access && security.authenticator) {
    for (const std::string& line : security.access->Mismatches(security.authenticator->file())) Warn(line);
  }
  return security;
}

// The cluster's directory settings as of now, read on the calling thread.
zeb::zdl::DirectorySettings DirectorySettingsOf(zeb::zdl::CZDLDatabase& database) {
  zeb::zdl::CZDLSession& session = database.Session();
  zeb::zdl::CZDLReadScope snapshot(session);
  return zeb::zdl::CLdapConfig(session).settings();
}

// Signs users in on the directory server the cluster names (checked now: start refused without
// one); a user's role is the highest of the --role-group groups it is a member of.
std::unique_ptr<server::Authenticator> DirectoryAuthenticator(const server::ServerOptions& options,
                                                              zeb::zdl::CZDLDatabase& database) {
  namespace zdl = zeb::zdl;
  if (DirectorySettingsOf(database).embedded())
    throw std::runtime_error(
        "--auth-directory: the cluster has no directory server (choose one with 'zebd directory --url ...')");
  std::vector<std::string> groups;
  std::vector<zeb::Role> roles;
  for (const auto& [role, dn] : options.roleGroups) roles.push_back(role), groups.push_back(dn);
  auto signIn = std::make_shared<const zdl::DirectorySignIn>([&database] { return DirectorySettingsOf(database); },
                                                             std::move(groups));
  using Result = server::Authenticator::CheckResult;
  auto check = [signIn, roles](const std::string& user, const std::string& password) {
    const zdl::DirectorySignIn::Result signedIn = signIn->SignIn(user, password);
    Result result;
    result.knownUser = signedIn.knownUser;
    result.reason = signedIn.reason;
    if (signedIn.outcome == zdl::DirectorySignIn::Outcome::kUnavailable) result.outcome = Result::Outcome::kUnavailable;
    if (signedIn.outcome != zdl::DirectorySignIn::Outcome::kPassed) return result;
    result.outcome = Result::Outcome::kPassed;
    result.role = zeb::Role::kNone;
    for (std::size_t i = 0; i < roles.size(); ++i) {
      if (signedIn.memberOf[i]) result.role = std::max(*result.role, roles[i]);
    }
    return result;
  };
  server::Authenticator::Policy policy;
  policy.cacheTime = options.authDirectoryCache;
  return std::make_unique<server::Authenticator>(check, policy);
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

// What runs beside the SOAP listener. Made before the host, ended after it.
struct Monitoring {
  std::unique_ptr<server::TraceLoss> traceLoss;
  std::unique_ptr<server::Metrics> metrics;
  std::unique_ptr<server::ReadinessProbe> readiness;
  zeb::zdl::StandbyWatch* standby = nullptr;  // on PostgreSQL
};

// Who hears of the change events: the admin listener's stream (with an admin listener) and the
// webhooks. Both are woken by this node's commits, whose events they find in memory.
struct ChangeFeeds {
  server::CommittedEvents committed;
  std::unique_ptr<server::EventStream> stream;
  std::unique_ptr<server::WebhookDeliverer> webhooks;

  void Wake() const {
    if (stream) stream->Wake();
    if (webhooks) webhooks->Wake();
  }
  // REQUIRES: the event's transaction committed.
  void Committed(const zeb::zdl::ChangeEvent& event) {
    if (stream || webhooks) committed.Add(event);
    Wake();
  }
  std::string MetricsText() const {
    std::string text;
    if (stream)
      text += "# HELP zebd_event_stream_clients Clients of GET /events.\n# TYPE zebd_event_stream_clients gauge\n"
              "zebd_event_stream_clients " + std::to_string(stream->Clients()) + "\n";
    if (webhooks) text += webhooks->MetricsText();
    return text;
  }
};

// Whether an answered request may have committed a change (a spurious yes costs one look).
bool MayHaveChanged(const zeb::RequestSummary& summary) {
  return summary.faultCode.empty() && summary.refusalStatus == 0 && summary.accessStatus == 0 &&
         !summary.method.empty() && summary.method.rfind("get", 0) != 0 && summary.method.rfind("list", 0) != 0;
}

// On a read-only standby: not ready while the replication delay is unknown or above the bound.
void CheckReplication(zeb::zdl::CZDLDatabase& database, std::chrono::milliseconds bound) {
  const zeb::zdl::ReplicaStatus status = zeb::zdl::QueryReplicaStatus(database.Session());
  if (!status.readOnly) return;
  if (status.delaySeconds && *status.delaySeconds * 1000 <= static_cast<double>(bound.count())) return;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(bound.count()) / 1000);
  throw std::runtime_error(zeb::zdl::ReplicaStatusText(status) + ", above the bound of " + seconds +
                           " s (--max-replication-delay)");
}

// Whether two listeners would compete for one port (a wildcard address takes the port on every
// address). Port 0 picks a free port for each.
bool SharePort(const boost::asio::ip::tcp::endpoint& a, const boost::asio::ip::tcp::endpoint& b) {
  if (a.port() == 0 || a.port() != b.port()) return false;
  return a.address() == b.address() || a.address().is_unspecified() || b.address().is_unspecified();
}

// The readiness checks: each gets a second of its own, past which its waits give up.
server::ReadinessProbe::Check WithinASecond(std::function<void()> check) {
  return [check = std::move(check)] {
    const zeb::zdl::CZDLDeadline deadline(std::chrono::seconds(1));
    check();
  };
}

// Serves until shutdown. Returns the process exit code.
int Serve(const server::ServerOptions& options, const boost::asio::ip::tcp::endpoint& endpoint,
          const std::optional<boost::asio::ip::tcp::endpoint>& adminEndpoint, Security security,
          Monitoring& monitoring, ChangeFeeds& feeds, zeb::ExtensionOptions& extensionOptions) {
  try {
    server::HttpHost host(options, std::move(security.tls), std::move(security.authenticator),
                          monitoring.metrics.get(), std::move(security.access));
    std::string address = host.Listen(endpoint);
    extensionOptions.node = HostName() + address.substr(address.rfind(':'));
    zeb::LoadExtension(extensionOptions);
    // The extension made the trace directory if it could. An unusable one is told here, before
    // any request; the trace loss watch then says only when records reach it again.
    if (access(extensionOptions.traceDir.c_str(), W_OK | X_OK) != 0) {
      Warn("the trace directory " + extensionOptions.traceDir + " cannot be written (" + std::strerror(errno) +
           "): requests are not traced until it can be");
      monitoring.traceLoss->AlreadyLosing();
    }
    zeb::HSE_VERSION_INFO version;
    zeb::GetExtensionVersion(&version);
    std::unique_ptr<server::AdminListener> admin;
    // The event stream's clients are connections of the admin listener: the stream ends first.
    struct StreamEnd {
      ChangeFeeds& feeds;
      ~StreamEnd() { feeds.stream.reset(); }
    } streamEnd{feeds};
    if (adminEndpoint) {
      monitoring.metrics->SetOpenConnections([&host] { return host.OpenConnections(); });
      server::AdminListener::Services services;
      services.metrics = monitoring.metrics.get();
      services.readiness = monitoring.readiness.get();
      if (options.tls()) services.tls = [&host] { return host.CurrentTls(); };
      services.authenticator = host.authenticator();
      services.events = feeds.stream.get();
      services.moreMetrics = [&feeds] { return feeds.MetricsText(); };
      if (auto* standby = monitoring.standby) {
        services.readyNote = [standby] {
          const zeb::zdl::ReplicaStatus status = standby->status();
          return status.readOnly ? zeb::zdl::ReplicaStatusText(status) : std::string();
        };
      }
      admin = std::make_unique<server::AdminListener>(std::move(services));
      std::cout << "zebd admin listening on " << admin->Start(*adminEndpoint) << std::endl;
    }
    // Tests and scripts read this line to learn the port; it must be flushed at once.
    std::cout << "zebd listening on " << address << std::endl;
    server::NotifyReady();
    host.Run();
    if (admin) admin->Stop();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }
}

// Opens the configuration database with the key of its secret parameters. The key file is read,
// or made when it does not exist; a key made now is removed again when the database holds
// secrets sealed with another key, so that the next start says the same thing.
std::unique_ptr<zeb::zdl::CZDLDatabase> OpenDatabase(const server::ServerOptions& options) {
  namespace zdl = zeb::zdl;
  const std::string keyPath = options.secretKey.empty() ? zdl::DefaultKeyPath(options.database) : options.secretKey;
  const bool made = access(keyPath.c_str(), F_OK) != 0;
  std::shared_ptr<const zdl::SecretKey> key = made ? zdl::SecretKey::Generate() : zdl::SecretKey::Load(keyPath);
  if (made) key->Save(keyPath);
  try {
    auto database = zdl::CZDLDatabase::Open(options.database, key);
    database->KeepAnswersFor(options.readCache);
    if (made) Warn("made the secret key file " + keyPath + " (every node of the cluster needs a copy)");
    return database;
  } catch (const zdl::CZDLException& error) {
    if (made) unlink(keyPath.c_str());
    if (error.GetExceptionStr() != zdl::kSecretKeyMismatch) throw;
    throw std::runtime_error(
        made ? "this node has no secret key file " + keyPath +
                   ", and the database holds secrets sealed with another key: copy the key file of a node "
                   "that serves this database there, or name it with --secret-key"
             : "the secret key in " + keyPath + " does not open the secrets of the configuration database");
  }
}

// `zebd xsd` prints the schema and `zebd wsdl [ADDRESS]` the WSDL, whose service address is
// ADDRESS (default: the one of the default listener), for generating clients offline.
int PrintDocument(int argc, char** argv) {
  const std::string which = argv[1];
  if (argc > (which == "wsdl" ? 3 : 2)) {
    std::cerr << "zebd: usage: zebd xsd | zebd wsdl [ADDRESS]\n";
    return kExitUsage;
  }
  try {
    const zeb::wsdl::ServiceDocuments& documents = zeb::wsdl::Documents();
    if (which == "xsd") {
      std::cout << documents.Schema();
    } else {
      std::cout << documents.Wsdl(argc > 2 ? argv[2] : std::string("http://127.0.0.1:8080") + zeb::wsdl::kServicePath);
    }
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }
  return std::cout.flush() ? 0 : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  // `zebd copy --from A --to B` moves a configuration database instead of serving.
  if (argc > 1 && std::string(argv[1]) == "copy") return zeb::zdl::RunCopyCommand(argc - 2, argv + 2, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  // `zebd wsdl` and `zebd xsd` print the service documents.
  if (argc > 1 && (std::string(argv[1]) == "wsdl" || std::string(argv[1]) == "xsd")) return PrintDocument(argc, argv);
  if (argc > 1 && std::string(argv[1]) == "audit") return zeb::zdl::RunAuditCommand(argc - 2, argv + 2, std::cout, std::cerr);
  if (argc > 1 && std::string(argv[1]) == "webhook") return server::RunWebhookCommand(argc - 2, argv + 2, std::cout, std::cerr);
  // `zebd directory --db DB --url URL ...` chooses the cluster's user directory.
  if (argc > 1 && std::string(argv[1]) == "directory") {
    return zeb::zdl::RunDirectoryCommand(argc - 2, argv + 2, std::cout, std::cerr);
  }
  server::ServerOptions options;
  std::string error;
  switch (server::ParseServerOptions(argc, argv, &options, &error)) {
    case server::ParseResult::kHelp:
      std::cout << server::HelpText();
      return 0;
    case server::ParseResult::kError:
      std::cerr << "zebd: " << error << "\nTry 'zebd --help' for the list of options.\n";
      return kExitUsage;
    case server::ParseResult::kRun:
      break;
  }
  // A client that disconnects while we write must not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
  // PostgreSQL sessions take the request time limit as their statement time-out.
  zeb::zdl::SetRequestTimeout(options.requestTimeout);

  boost::asio::ip::tcp::endpoint endpoint;
  std::optional<boost::asio::ip::tcp::endpoint> adminEndpoint;
  Security security;
  std::unique_ptr<zeb::zdl::CZDLDatabase> database;
  std::unique_ptr<server::PrimaryClient> primary;
  try {
    endpoint = server::ResolveListenEndpoint(options.host, options.port);
    if (std::string problem = server::ExposureProblem(options, endpoint); !problem.empty()) {
      std::cerr << "zebd: " << problem << "\n";
      return kExitUsage;
    }
    if (options.admin()) {
      adminEndpoint = server::ResolveListenEndpoint(options.adminHost, options.adminPort);
      if (SharePort(endpoint, *adminEndpoint)) {
        std::cerr << "zebd: --admin-listen " << options.adminHost << ":" << options.adminPort
                  << " is the SOAP listener's port: the admin listener needs a port of its own\n";
        return kExitUsage;
      }
      if (std::string problem = server::ExposureProblem(options, *adminEndpoint); !problem.empty()) {
        std::cerr << "zebd: admin listener: " << problem << "\n";
        return kExitUsage;
      }
    }
    for (const auto* listener : {&endpoint, adminEndpoint ? &*adminEndpoint : nullptr}) {
      if (listener && options.insecure && !server::IsLoopback(listener->address()) &&
          (!options.tls() || !options.authenticated()))
        Warn("warning: listening on " + listener->address().to_string() +
             " without TLS and authentication (--insecure)");
    }
    security = LoadSecurity(options);
    if (!options.primaryUrl.empty())
      primary = std::make_unique<server::PrimaryClient>(options.primaryUrl, options.primaryCa);
    // Built once, before the first request: a broken schema stops the start.
    zeb::wsdl::Documents();
    database = OpenDatabase(options);
    if (options.authDirectory) security.authenticator = DirectoryAuthenticator(options, *database);
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }

  zeb::ExtensionOptions extensionOptions;
  extensionOptions.traceDir = options.traceDir;
  extensionOptions.session = [db = database.get()] { return &db->Session(); };
  extensionOptions.audit = options.audit;
  extensionOptions.requestTimeout = options.requestTimeout;
  Monitoring monitoring;
  ChangeFeeds feeds;
  try {
    server::WebhookDeliverer::Options webhookOptions;
    webhookOptions.failingAfter = options.webhookFailingAfter;
    webhookOptions.caFile = options.webhookCa;
    feeds.webhooks = std::make_unique<server::WebhookDeliverer>(*database, &feeds.committed, webhookOptions, Warn);
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }
  if (adminEndpoint)
    feeds.stream = std::make_unique<server::EventStream>(*database, &feeds.committed, server::EventStream::Options{}, Warn);
  monitoring.traceLoss = std::make_unique<server::TraceLoss>(extensionOptions.traceDir, Warn);
  extensionOptions.observer = [&monitoring, &feeds](const zeb::RequestSummary& summary) {
    monitoring.traceLoss->OnRecord(summary.traceLost, summary.traceError);
    if (monitoring.metrics) monitoring.metrics->OnRequest(summary);
    // The feeds hear of a commit once it is durable, as the client does.
    if (summary.committedEvent) {
      zeb::zdl::AfterDurable([&feeds, event = *summary.committedEvent] { feeds.Committed(event); });
    } else if (MayHaveChanged(summary)) {
      zeb::zdl::AfterDurable([&feeds] { feeds.Wake(); });
    }
  };
  std::unique_ptr<zeb::zdl::StandbyWatch> standby;
  if (zeb::zdl::IsSharedLocation(options.database)) {
    standby = std::make_unique<zeb::zdl::StandbyWatch>(*database, options.standbyPoll, Warn);
    monitoring.standby = standby.get();
    extensionOptions.readOnly = [db = database.get()] { return db->readOnly(); };
    extensionOptions.forwarder = primary.get();
    if (database->readOnly())
      Warn("the database is a read-only standby: writes are " +
           (primary ? "forwarded to " + options.primaryUrl : std::string("refused (no --primary-url)")));
  }
  if (adminEndpoint) {
    monitoring.metrics = std::make_unique<server::Metrics>(ZEB_VERSION);
    monitoring.readiness = std::make_unique<server::ReadinessProbe>();
    monitoring.readiness->Add("database", WithinASecond([db = database.get()] { zeb::zdl::ProbeDatabase(*db); }));
    if (standby) {
      monitoring.readiness->Add("replication", WithinASecond([db = database.get(), bound = options.maxReplicationDelay] {
                                  CheckReplication(*db, bound);
                                }));
      monitoring.metrics->SetReplication([watch = standby.get()] {
        const zeb::zdl::ReplicaStatus status = watch->status();
        return server::Metrics::Replication{status.readOnly, status.delaySeconds.value_or(std::nan(""))};
      });
    }
    monitoring.readiness->Add("directory",
                              WithinASecond([db = database.get()] { zeb::zdl::ProbeDirectory(db->Session()); }));
  }
  std::unique_ptr<server::AuditPruner> pruner;
  const unsigned auditRetention = options.audit ? options.auditRetentionDays : 0;
  if (auditRetention > 0 || options.eventRetentionDays > 0)
    pruner = std::make_unique<server::AuditPruner>(*database, auditRetention, options.eventRetentionDays, Warn);

  int exitCode = Serve(options, endpoint, adminEndpoint, std::move(security), monitoring, feeds, extensionOptions);
  // The host's signal handling ended with it. A second SIGTERM or SIGINT (a service manager that
  // repeats its request) must not cut short the final close of the database.
  std::signal(SIGTERM, SIG_IGN);
  std::signal(SIGINT, SIG_IGN);

  pruner.reset();
  feeds.webhooks.reset();
  monitoring.readiness.reset();
  standby.reset();
  if (zeb::LoadedExtension()) {
    zeb::TerminateExtension(0);
    zeb::UnloadExtension();
  }
  return exitCode;
}
