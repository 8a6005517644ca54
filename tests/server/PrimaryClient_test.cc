// The forwarding client against a one-shot server on loopback: what it sends, how it relays the
// answer, and what a failure says.
#include "server/PrimaryClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "zdl/base/DatabaseWait.h"

namespace zeb::server {
namespace {

// Listens on a free loopback port; Serve answers one request with reply (read up to its body).
class OneShotServer {
 public:
  OneShotServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      throw std::runtime_error("cannot listen");
    port_ = ntohs(address.sin_port);
  }
  ~OneShotServer() {
    if (thread_.joinable()) thread_.join();
    close(fd_);
  }
  void Serve(std::string reply) {
    thread_ = std::thread([this, reply] {
      const int client = accept(fd_, nullptr, nullptr);
      char buffer[4096];
      while (received_.find("\r\n\r\n") == std::string::npos || received_.back() != '>') {
        const ssize_t got = read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        received_.append(buffer, static_cast<std::size_t>(got));
      }
      if (!reply.empty() && write(client, reply.data(), reply.size()) < 0) received_ += "(write failed)";
      close(client);
    });
  }
  std::string Received() {
    thread_.join();
    return received_;
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/soap"; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::string received_;
};

ForwardedRequest Request() {
  ForwardedRequest request;
  request.body = "<Envelope/>";
  request.contentType = "text/xml";
  request.soapAction = "\"addPhone\"";
  request.authorization = "Basic YTpi";
  request.forwardedBy = "standby:8081 for 10.0.0.7";
  return request;
}

TEST(PrimaryClientTest, SendsTheRequestAsItCameAndRelaysTheAnswerWithoutConnectionHeaders) {
  OneShotServer server;
  server.Serve("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3\r\nContent-Type: text/xml\r\nConnection: close\r\n"
               "Content-Length: 5\r\n\r\nhello");
  PrimaryClient client(server.Url(), "");
  const zdl::CZDLDeadline deadline(std::chrono::seconds(5));
  EXPECT_EQ("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3\r\nContent-Type: text/xml\r\nContent-Length: 5\r\n\r\n"
            "hello",
            client.Forward(Request()));
  const std::string received = server.Received();
  for (const char* line : {"POST /soap HTTP/1.1\r\n", "Content-Type: text/xml\r\n", "SOAPAction: \"addPhone\"\r\n",
                           "Authorization: Basic YTpi\r\n", "X-Zeb-Forwarded-By: standby:8081 for 10.0.0.7\r\n",
                           "Content-Length: 11\r\n", "\r\n\r\n<Envelope/>"}) {
    EXPECT_NE(std::string::npos, received.find(line)) << line << " in " << received;
  }
}

TEST(PrimaryClientTest, AFailureSaysWhetherTheRequestMayHaveArrived) {
  OneShotServer silent;
  silent.Serve("");  // reads the request, then closes without an answer
  PrimaryClient client(silent.Url(), "");
  const zdl::CZDLDeadline deadline(std::chrono::seconds(5));
  try {
    client.Forward(Request());
    ADD_FAILURE() << "no failure";
  } catch (const ForwardFailure& failure) {
    EXPECT_TRUE(failure.sent()) << failure.what();
  }
  silent.Received();
  PrimaryClient nowhere("http://127.0.0.1:1/", "");
  try {
    nowhere.Forward(Request());
    ADD_FAILURE() << "no failure";
  } catch (const ForwardFailure& failure) {
    EXPECT_FALSE(failure.sent());
    EXPECT_EQ(std::string("cannot connect to 127.0.0.1:1: Connection refused"), failure.what());
  }
}

TEST(PrimaryClientTest, RefusesURLsItCannotUse) {
  for (const char* bad : {"ftp://host/", "http://", "http://user@host/", "http://host:port/", "host:8080"}) {
    EXPECT_THROW(PrimaryClient(bad, ""), std::runtime_error) << bad;
  }
  EXPECT_THROW(PrimaryClient("https://host/", "/nonexistent/ca.pem"), std::runtime_error);
  EXPECT_EQ("https://[::1]:8443/", PrimaryClient("https://[::1]:8443/", "").primary());
}

}  // namespace
}  // namespace zeb::server
