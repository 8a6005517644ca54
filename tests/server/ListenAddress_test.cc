// Which listeners count as loopback; which options each exposed listener lacks is shown, with the
// start refused, by Secure_e2e_test.
#include "server/ListenAddress.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "server/ServerOptions.h"

namespace zeb::server {
namespace {

boost::asio::ip::tcp::endpoint At(const char* address) {
  return {boost::asio::ip::make_address(address), 8080};
}

TEST(ExposureProblem, OnlyLoopbackListenersNeedNothing) {
  for (const auto& [address, loopback] : {std::pair<const char*, bool>{"127.0.0.1", true}, {"127.200.0.9", true},
                                          {"::1", true}, {"::ffff:127.0.0.1", true}, {"0.0.0.0", false},
                                          {"::", false}, {"2001:db8::7", false}, {"::ffff:192.0.2.7", false}}) {
    EXPECT_EQ(loopback, IsLoopback(At(address).address())) << address;
    EXPECT_EQ(loopback, ExposureProblem(ServerOptions(), At(address)).empty()) << address;
  }
  ServerOptions both;
  both.tlsCert = "c.pem";
  both.tlsKey = "k.pem";
  both.authFile = "users";
  ServerOptions insecure;
  insecure.insecure = true;
  EXPECT_EQ("", ExposureProblem(both, At("192.0.2.7")) + ExposureProblem(insecure, At("192.0.2.7")));
  EXPECT_EQ("refusing to listen on 192.0.2.7 without TLS (--tls-cert and --tls-key) and --auth-file: anyone who "
            "reaches the port could read and change the configuration (give --insecure to accept that)",
            ExposureProblem(ServerOptions(), At("192.0.2.7")));
}

}  // namespace
}  // namespace zeb::server
