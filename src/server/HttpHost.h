// The HTTP/1.1 host of zebd: accepts connections on one address, over TLS when it has a TLS
// context, reads requests on a pool of worker threads, asks for credentials when it has an
// authenticator, and hands each admitted request to the extension (see HttpSession.h). It owns
// the listening socket, the worker threads, the password check pool and the set of open
// connections, shuts down on SIGINT/SIGTERM, and on SIGHUP reads its TLS certificate and key
// and its auth file again without touching open connections.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/thread_pool.hpp>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/Authenticator.h"
#include "server/ConnectionRegistry.h"
#include "server/HttpSession.h"
#include "server/ServerOptions.h"
#include "server/WorkerPool.h"

namespace zeb::server {

class HttpHost {
 public:
  // tls: serve HTTPS with this context (nullptr: plain HTTP). authenticator: require HTTP Basic
  // credentials (nullptr: none). metrics: count requests and connections there (nullptr: none;
  // it must outlive the host). access: roles and rate limits of the callers (nullptr: none).
  HttpHost(const ServerOptions& options, std::unique_ptr<boost::asio::ssl::context> tls,
           std::unique_ptr<Authenticator> authenticator, Metrics* metrics = nullptr,
           std::unique_ptr<AccessPolicy> access = nullptr);
  ~HttpHost();
  HttpHost(const HttpHost&) = delete;
  HttpHost& operator=(const HttpHost&) = delete;

  // Binds and listens on endpoint. Returns the bound address as "HOST:PORT" with the real
  // port. Throws boost::system::system_error when it cannot.
  std::string Listen(const boost::asio::ip::tcp::endpoint& endpoint);

  // REQUIRES: Listen succeeded. Serves on options.threads worker threads until Shutdown is
  // called or SIGINT/SIGTERM arrives, then stops accepting, closes idle connections, lets
  // requests under way finish (waiting at most options.drainTimeout) and returns once every
  // worker thread has ended.
  void Run();

  // Asks Run to shut down. Thread-safe; may be called more than once.
  void Shutdown();

  // Reads the TLS certificate and key, the auth file and the group file again (what SIGHUP does). New
  // connections get the new certificate; open ones keep theirs. A certificate or key that does
  // not load is reported on stderr and the one in use is kept. Thread-safe.
  void Reload();

  // The TLS context new connections get; nullptr for plain HTTP. Thread-safe.
  std::shared_ptr<boost::asio::ssl::context> CurrentTls() const;
  Authenticator* authenticator() const { return authenticator_.get(); }
  std::size_t OpenConnections() const { return registry_.size(); }
  // Threads that compute password hashes; each check also holds its hash's working memory.
  static constexpr std::size_t kCheckThreads = 2;

 private:
  void DoAccept();
  void OnAccept(boost::system::error_code ec, boost::asio::ip::tcp::socket socket);
  template <class Stream>
  void StartSession(Stream&& stream);
  void WaitForShutdownRequest();
  void WaitForSignal();

  const ServerOptions options_;
  mutable std::mutex tlsMutex_;
  std::shared_ptr<boost::asio::ssl::context> tls_;  // guarded by tlsMutex_
  const std::unique_ptr<Authenticator> authenticator_;
  const std::unique_ptr<AccessPolicy> access_;
  Metrics* const metrics_;
  ConnectionRegistry registry_;  // declared before ioc_: sessions deregister as ioc_ dies
  boost::asio::io_context ioc_;
  // Declared after ioc_: destroyed first, dropping the sessions of abandoned checks while the
  // I/O objects they hold can still be closed.
  boost::asio::thread_pool checkPool_;
  SessionServices services_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::signal_set signals_;
  WorkerPool workers_;  // declared after ioc_, whose loop it runs

  std::mutex mutex_;
  std::condition_variable shutdownRequested_;
  bool shutdown_ = false;  // guarded by mutex_
};

}  // namespace zeb::server
