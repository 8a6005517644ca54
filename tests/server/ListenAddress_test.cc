#include "server/ListenAddress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/ServerOptions.h"

namespace zeb::server {
namespace {

boost::asio::ip::tcp::endpoint At(const char* address) {
  return {boost::asio::ip::make_address(address), 8080};
}

TEST(ExposureProblem, LoopbackListenersNeedNothing) {
  for (const char* address : {"127.0.0.1", "127.200.0.9", "::1", "::ffff:127.0.0.1"}) {
    EXPECT_TRUE(IsLoopback(At(address).address())) << address;
    EXPECT_EQ("", ExposureProblem(ServerOptions(), At(address))) << address;
  }
}

TEST(ExposureProblem, OtherListenersNeedTlsAndAnAuthFileOrInsecure) {
  ServerOptions none;
  ServerOptions tlsOnly;
  tlsOnly.tlsCert = "c.pem";
  tlsOnly.tlsKey = "k.pem";
  ServerOptions authOnly;
  authOnly.authFile = "users";
  ServerOptions both = tlsOnly;
  both.authFile = "users";
  ServerOptions insecure;
  insecure.insecure = true;

  for (const char* address : {"0.0.0.0", "::", "192.0.2.7", "2001:db8::7", "::ffff:192.0.2.7"}) {
    EXPECT_FALSE(IsLoopback(At(address).address())) << address;
    const std::string start =
        std::string("refusing to listen on ") + At(address).address().to_string() + " without ";
    const std::string end =
        ": anyone who reaches the port could read and change the configuration (give --insecure to accept "
        "that)";
    EXPECT_EQ(start + "TLS (--tls-cert and --tls-key) and --auth-file" + end,
              ExposureProblem(none, At(address)));
    EXPECT_EQ(start + "--auth-file" + end, ExposureProblem(tlsOnly, At(address)));
    EXPECT_EQ(start + "TLS (--tls-cert and --tls-key)" + end, ExposureProblem(authOnly, At(address)));
    EXPECT_EQ("", ExposureProblem(both, At(address))) << address;
    EXPECT_EQ("", ExposureProblem(insecure, At(address))) << address;
  }
}

}  // namespace
}  // namespace zeb::server
