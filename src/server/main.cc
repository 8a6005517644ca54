// zebd: checks that the listener may start as configured, loads the extension, serves HTTP(S)
// until SIGINT/SIGTERM, then unloads the extension.
#include <unistd.h>

#include <csignal>
#include <exception>
#include <iostream>
#include <memory>

#include "extension/CQuillonExtension.h"
#include "server/Authenticator.h"
#include "server/HttpHost.h"
#include "server/ListenAddress.h"
#include "server/ServerOptions.h"
#include "server/TlsContext.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/CopyDatabase.h"
#include "zdl/SecretKey.h"
#include "zdl/directory/DirectorySetup.h"

namespace {

namespace server = zeb::server;

constexpr int kExitUsage = 2;  // bad options, or a listener that would be exposed
constexpr int kExitFailure = 1;

void Warn(const std::string& message) { std::cerr << "zebd: " + message + "\n" << std::flush; }

// What the host needs besides the options: made before anything else starts, so that a bad
// certificate, key or auth file stops the start before a database is opened.
struct Security {
  std::unique_ptr<boost::asio::ssl::context> tls;
  std::unique_ptr<server::Authenticator> authenticator;
};

Security LoadSecurity(const server::ServerOptions& options) {
  Security security;
  if (options.tls()) security.tls = server::MakeTlsContext(options.tlsCert, options.tlsKey);
  if (!options.authFile.empty())
    security.authenticator = std::make_unique<server::Authenticator>(options.authFile, Warn);
  return security;
}

// Serves until shutdown. Returns the process exit code.
int Serve(const server::ServerOptions& options, const boost::asio::ip::tcp::endpoint& endpoint,
          Security security) {
  try {
    server::HttpHost host(options, std::move(security.tls), std::move(security.authenticator));
    std::string address = host.Listen(endpoint);
    // Tests and scripts read this line to learn the port; it must be flushed at once.
    std::cout << "zebd listening on " << address << std::endl;
    host.Run();
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

}  // namespace

int main(int argc, char** argv) {
  // `zebd copy --from A --to B` moves a configuration database instead of serving.
  if (argc > 1 && std::string(argv[1]) == "copy") return zeb::zdl::RunCopyCommand(argc - 2, argv + 2, std::cout, std::cerr);
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

  boost::asio::ip::tcp::endpoint endpoint;
  Security security;
  std::unique_ptr<zeb::zdl::CZDLDatabase> database;
  try {
    endpoint = server::ResolveListenEndpoint(options.host, options.port);
    if (std::string problem = server::ExposureProblem(options, endpoint); !problem.empty()) {
      std::cerr << "zebd: " << problem << "\n";
      return kExitUsage;
    }
    if (options.insecure && !server::IsLoopback(endpoint.address()) &&
        (!options.tls() || options.authFile.empty()))
      Warn("warning: listening on " + endpoint.address().to_string() +
           " without TLS and authentication (--insecure)");
    security = LoadSecurity(options);
    database = OpenDatabase(options);
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }

  zeb::ExtensionOptions extensionOptions;
  extensionOptions.traceDir = options.traceDir;
  extensionOptions.session = [db = database.get()] { return &db->Session(); };
  zeb::LoadExtension(extensionOptions);
  zeb::HSE_VERSION_INFO version;
  zeb::GetExtensionVersion(&version);

  int exitCode = Serve(options, endpoint, std::move(security));

  zeb::TerminateExtension(0);
  zeb::UnloadExtension();
  return exitCode;
}
