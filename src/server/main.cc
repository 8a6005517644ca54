// zebd: loads the extension, serves HTTP until SIGINT/SIGTERM, then unloads the extension.
#include <csignal>
#include <exception>
#include <iostream>

#include "extension/CQuillonExtension.h"
#include "server/HttpHost.h"
#include "server/ServerOptions.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CopyDatabase.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

// Serves until shutdown. Returns the process exit code.
int Serve(const zeb::server::ServerOptions& options) {
  try {
    zeb::server::HttpHost host(options);
    std::string address = host.Listen();
    // Tests and scripts read this line to learn the port; it must be flushed at once.
    std::cout << "zebd listening on " << address << std::endl;
    host.Run();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "zebd: " << e.what() << std::endl;
    return kExitFailure;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // `zebd copy --from A --to B` moves a configuration database instead of serving.
  if (argc > 1 && std::string(argv[1]) == "copy") return zeb::zdl::RunCopyCommand(argc - 2, argv + 2, std::cout, std::cerr);
  zeb::server::ServerOptions options;
  std::string error;
  switch (zeb::server::ParseServerOptions(argc, argv, &options, &error)) {
    case zeb::server::ParseResult::kHelp:
      std::cout << zeb::server::HelpText();
      return 0;
    case zeb::server::ParseResult::kError:
      std::cerr << "zebd: " << error << "\nTry 'zebd --help' for the list of options.\n";
      return kExitUsage;
    case zeb::server::ParseResult::kRun:
      break;
  }
  // A client that disconnects while we write must not kill the process.
  std::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<zeb::zdl::CZDLDatabase> database;
  try {
    database = zeb::zdl::CZDLDatabase::Open(options.database);
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

  int exitCode = Serve(options);

  zeb::TerminateExtension(0);
  zeb::UnloadExtension();
  return exitCode;
}
