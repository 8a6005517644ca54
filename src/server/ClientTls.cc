#include "server/ClientTls.h"

namespace zeb::server {

namespace ssl = boost::asio::ssl;

std::shared_ptr<ssl::context> MakeClientTlsContext(const std::string& caFile, boost::system::error_code& ec) {
  auto context = std::make_shared<ssl::context>(ssl::context::tls_client);
  context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                       ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::no_compression);
  context->set_verify_mode(ssl::verify_peer);
  if (caFile.empty()) {
    context->set_default_verify_paths(ec);
  } else {
    context->load_verify_file(caFile, ec);
  }
  return context;
}

}  // namespace zeb::server
