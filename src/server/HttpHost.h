// The HTTP/1.1 host of zebd: accepts connections on one address, over TLS when it has a TLS
// context, and serves each on one of its event loops (see WorkerPool.h), which reads its
// requests, asks for credentials when the host has an authenticator, and hands each admitted
// request to the extension (see HttpSession.h). It owns the listening socket, the event loops
// and their threads, the password check pool and the set of open connections, shuts down on
// SIGINT/SIGTERM, and on SIGHUP reads its TLS certificate and key and its auth file again
// without touching open connections.
//
// One acceptor, run by the thread that calls Run, hands the accepted connections to the loops in
// turn: a connection is handed over once, never its requests; the loops share connections
// evenly however few there are (a hash of addresses, as with one listening socket per loop, may
// put a handful of busy clients on one loop); and there is one listening socket to bind, report
// and close, which drops no connection waiting in the queue of another.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <memory>
#include <mutex>
#include <string>

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

  // REQUIRES: Listen succeeded. Serves on options.threads event loops, each run by a thread of
  // its own, until Shutdown is called or SIGINT/SIGTERM arrives, then stops accepting, closes idle
  // connections, lets requests under way finish (waiting at most options.drainTimeout) and
  // returns once every loop's thread has ended. The calling thread accepts connections and takes
  // the signals.
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
  // How often the open connections are checked for a step that has run out of time: a
  // connection is closed at most this long after its deadline.
  static constexpr std::chrono::seconds kSweepPeriod{1};

 private:
  void DoAccept();
  void OnAccept(boost::system::error_code ec, ConnectionSocket socket);
  template <class Stream>
  void StartSession(Stream&& stream);
  void WaitForSignal();
  // Closes, every kSweepPeriod, the connections whose deadline has passed.
  void Sweep();

  const ServerOptions options_;
  mutable std::mutex tlsMutex_;
  std::shared_ptr<boost::asio::ssl::context> tls_;  // guarded by tlsMutex_
  const std::unique_ptr<Authenticator> authenticator_;
  const std::unique_ptr<AccessPolicy> access_;
  Metrics* const metrics_;
  ConnectionRegistry registry_;  // declared before workers_: sessions deregister as its loops die
  WorkerPool workers_;           // the loops the connections live on
  // Declared after workers_: destroyed first, dropping the sessions of abandoned checks while
  // the I/O objects they hold can still be closed.
  boost::asio::thread_pool checkPool_;
  SessionServices services_;
  // Runs on the first loop, so that it goes on while requests drain at shutdown; declared after
  // workers_, so that it goes before the loops do.
  boost::asio::steady_timer sweep_;
  // The loop of the acceptor and the signals, run by the thread in Run; stopped by Shutdown.
  boost::asio::io_context control_{1};
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::signal_set signals_;
};

}  // namespace zeb::server
