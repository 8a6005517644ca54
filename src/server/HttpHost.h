// The HTTP/1.1 host of zebd: accepts connections on one address, reads requests on a pool of
// worker threads and hands each one to the extension (see HttpSession.h). It owns the listening
// socket, the worker threads and the set of open connections, and shuts down on SIGINT/SIGTERM.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/ConnectionRegistry.h"
#include "server/ServerOptions.h"

namespace zeb::server {

class HttpHost {
 public:
  explicit HttpHost(const ServerOptions& options);
  ~HttpHost();
  HttpHost(const HttpHost&) = delete;
  HttpHost& operator=(const HttpHost&) = delete;

  // Binds and listens on options.host:options.port. Returns the bound address as
  // "HOST:PORT" with the real port. Throws boost::system::system_error when it cannot.
  std::string Listen();

  // REQUIRES: Listen succeeded. Serves on options.threads worker threads until Shutdown is
  // called or SIGINT/SIGTERM arrives, then stops accepting, closes idle connections, lets
  // requests under way finish (waiting at most kShutdownGrace) and returns once every
  // worker thread has ended.
  void Run();

  // Asks Run to shut down. Thread-safe; may be called more than once.
  void Shutdown();

  static constexpr std::chrono::seconds kShutdownGrace{5};

 private:
  void DoAccept();
  void OnAccept(boost::system::error_code ec, boost::asio::ip::tcp::socket socket);
  void RunWorker();
  void WaitForShutdownRequest();

  const ServerOptions options_;
  ConnectionRegistry registry_;  // declared before ioc_: sessions deregister as ioc_ dies
  boost::asio::io_context ioc_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::signal_set signals_;
  std::vector<std::thread> workers_;

  std::mutex mutex_;
  std::condition_variable shutdownRequested_;
  bool shutdown_ = false;  // guarded by mutex_
};

}  // namespace zeb::server
