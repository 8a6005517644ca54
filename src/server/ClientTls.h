// The TLS context of zebd's own HTTPS clients (webhook deliveries, writes forwarded to the
// primary): TLS 1.2 or later, the server's certificate verified.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <boost/system/error_code.hpp>
#include <memory>
#include <string>

namespace zeb::server {

// A client context that verifies servers against the system's trust store, or against caFile's
// certificates when caFile is not empty. A store or file that cannot be read is reported in ec;
// the caller says which option named it.
std::shared_ptr<boost::asio::ssl::context> MakeClientTlsContext(const std::string& caFile,
                                                                boost::system::error_code& ec);

}  // namespace zeb::server
