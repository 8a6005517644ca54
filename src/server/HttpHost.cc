#include "server/HttpHost.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/strand.hpp>
#include <csignal>
#include <exception>
#include <memory>

#include "server/ListenAddress.h"
#include "server/ServiceNotify.h"
#include "server/TlsContext.h"
#include "zdl/base/Durability.h"

namespace zeb::server {

namespace net = boost::asio;
using tcp = net::ip::tcp;

HttpHost::HttpHost(const ServerOptions& options, std::unique_ptr<net::ssl::context> tls,
                   std::unique_ptr<Authenticator> authenticator, Metrics* metrics,
                   std::unique_ptr<AccessPolicy> access)
    : options_(options),
      tls_(std::move(tls)),
      authenticator_(std::move(authenticator)),
      access_(std::move(access)),
      metrics_(metrics),
      registry_(options.maxConnections, options.maxConnectionsPerAddress),
      workers_(options.threads),
      checkPool_(authenticator_ ? kCheckThreads : 1),
      services_{&options_, &registry_, authenticator_.get(), &checkPool_, metrics, access_.get()},
      sweep_(workers_.Loop(0)),
      acceptor_(control_),
      signals_(control_, SIGINT, SIGTERM, SIGHUP) {}

HttpHost::~HttpHost() {
  Shutdown();
  zdl::AwaitHandedOn();
  workers_.Stop();
  workers_.Join();
}

std::string HttpHost::Listen(const tcp::endpoint& endpoint) {
  return server::Listen(acceptor_, endpoint);
}

void HttpHost::WaitForSignal() {
  signals_.async_wait([this](boost::system::error_code ec, int signal) {
    if (ec) return;
    if (signal != SIGHUP) return Shutdown();
    Reload();
    WaitForSignal();
  });
}

void HttpHost::Sweep() {
  sweep_.expires_after(kSweepPeriod);
  sweep_.async_wait([this](boost::system::error_code ec) {
    if (ec) return;
    registry_.ExpireOverdue(std::chrono::steady_clock::now().time_since_epoch().count());
    Sweep();
  });
}

void HttpHost::Reload() {
  NotifyReloading();
  if (options_.tls()) {
    try {
      std::shared_ptr<net::ssl::context> fresh = MakeTlsContext(options_.tlsCert, options_.tlsKey);
      std::lock_guard<std::mutex> lock(tlsMutex_);
      tls_ = std::move(fresh);
      fail({}, "reload: TLS certificate '" + options_.tlsCert + "' read again");
    } catch (const std::exception& e) {
      fail({}, std::string("reload: ") + e.what() + "; keeping the certificate in use");
    }
  }
  if (authenticator_) authenticator_->ReloadUsers();
  if (access_) {
    access_->Reload();
    for (const std::string& line : access_->Mismatches(authenticator_ ? authenticator_->file() : nullptr))
      fail({}, "reload: " + line);
  }
  NotifyReady();
}

std::shared_ptr<net::ssl::context> HttpHost::CurrentTls() const {
  std::lock_guard<std::mutex> lock(tlsMutex_);
  return tls_;
}

void HttpHost::Run() {
  WaitForSignal();
  DoAccept();
  Sweep();
  zdl::SetWaitObserver(&workers_);
  workers_.Start();
  {
    const auto busy = net::make_work_guard(control_);
    control_.run();
  }

  NotifyStopping();
  boost::system::error_code ignored;
  acceptor_.close(ignored);
  signals_.cancel(ignored);
  registry_.StopAll();
  if (!registry_.WaitUntilEmpty(options_.drainTimeout)) {
    fail({}, "shutting down with " + std::to_string(registry_.size()) + " connections still open");
  }
  // Answers waiting for a sync reach the loops when it ends.
  zdl::AwaitHandedOn();
  workers_.Stop();
  workers_.Join();
  zdl::SetWaitObserver(nullptr);
  // Checks still queued are abandoned: their sessions can no longer answer.
  checkPool_.stop();
  checkPool_.join();
}

void HttpHost::Shutdown() { control_.stop(); }

void HttpHost::DoAccept() {
  // The connection lives on the next loop. It gets a strand of its own there, so that its
  // handlers never run concurrently while a stand-in runs the loop beside a waiting thread.
  acceptor_.async_accept(net::make_strand(workers_.NextLoop()),
                         [this](boost::system::error_code ec, ConnectionSocket socket) { OnAccept(ec, std::move(socket)); });
}

void HttpHost::OnAccept(boost::system::error_code ec, ConnectionSocket socket) {
  if (ec == net::error::operation_aborted || !acceptor_.is_open()) return;
  if (ec) {
    fail(ec, "accept");
  } else {
    // Responses go out as soon as they are written; waiting to coalesce them only adds latency
    // for clients that pipeline requests.
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    // The stream's TLS state holds its own reference to the context, so a reload may drop
    // this one while the connection goes on.
    if (std::shared_ptr<net::ssl::context> tls = CurrentTls()) {
      StartSession(TlsConnection(std::move(socket), *tls));
    } else {
      StartSession(PlainConnection(std::move(socket)));
    }
  }
  DoAccept();
}

template <class Stream>
void HttpHost::StartSession(Stream&& stream) {
  auto session = std::make_shared<HttpSession<Stream>>(std::move(stream), services_);
  // Past a cap, with no idle connection to close instead, the connection is closed at once,
  // when the session is released here.
  const Admission admission = registry_.TryAdd(session, session->remoteAddress());
  if (metrics_ && admission == Admission::kAdmittedByEviction) metrics_->OnIdleConnectionEvicted();
  if (metrics_ && admission == Admission::kRefused) metrics_->OnConnectionRefused();
  if (admission != Admission::kRefused) session->Start();
}

}  // namespace zeb::server
