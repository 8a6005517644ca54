// The HTTP host seen from a client: connection handling, limits, time-outs and shutdown of the
// real zebd, over raw sockets.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>
#include <utility>

#include "e2e/ZebdProcess.h"

namespace zeb::test {
namespace {

// Answered with a fault for the unknown method, with status 200.
const std::string kBody = SoapEnvelope("<fooBar/>");
const std::string kOk = "HTTP/1.1 200 OK";

const std::string kTooLargeBody =
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/"
    "\">\r\n<SOAP-ENV:Body>\r\n<SOAP-ENV:Fault>\r\n"
    "<faultcode>SOAP-ENV:Client</faultcode>\r\n"
    "<faultstring>The ZEB API service can not handle a request larger than 40KB.</faultstring>\r\n"
    "</SOAP-ENV:Fault>\r\n</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>";
const std::string kTooLargeResponse = "HTTP/1.1 413 Request Entity Too Large\r\nContent-Type: text/xml\r\n"
                                      "Content-Length: " + std::to_string(kTooLargeBody.size()) + "\r\n\r\n" +
                                      kTooLargeBody;

constexpr std::size_t kMaxBody = 40960;

// A body of exactly n bytes: an envelope padded with blanks inside the body element.
std::string BodyOfSize(std::size_t n) {
  std::string body = kBody;
  return body.insert(body.find("<fooBar/>"), n - body.size(), ' ');
}

std::string ChunkedRequest(std::string_view body) {
  std::string request = "POST /zebapi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n"
                        "Transfer-Encoding: chunked\r\n\r\n";
  for (std::size_t at = 0; at < body.size(); at += 4096) {
    std::string_view piece = body.substr(at, 4096);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    request += size + std::string(piece) + "\r\n";
  }
  return request + "0\r\n\r\n";
}

std::string HeaderOf(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 4); }

// Sends the request and returns the status line of the answer ("" when the send fails).
std::string StatusOfAnswer(RawConnection& client, const std::string& request) {
  return client.Send(request) ? StatusLineOf(client.ReadResponse()) : "";
}

// ---------------------------------------------------------------------------------------------
// Connections

TEST(HttpHostConnections, PipelinedRequestsAreAnsweredInOrderOnAConnectionKeptOpen) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  // The GET reaches the extension, which refuses it.
  ASSERT_TRUE(client.Send(SoapRequest(kBody) + "GET /zebapi?wsdl HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" +
                          SoapRequest(kBody)));
  EXPECT_EQ(kOk, StatusLineOf(client.ReadResponse()));
  EXPECT_EQ("HTTP/1.1 405 Method Not Allowed", StatusLineOf(client.ReadResponse()));
  EXPECT_EQ(kOk, StatusLineOf(client.ReadResponse()));
  EXPECT_EQ(kOk, StatusOfAnswer(client, SoapRequest(kBody)));
  EXPECT_TRUE(client.complete());
  EXPECT_FALSE(client.closed());
}

TEST(HttpHostConnections, ConnectionCloseAndHttp10EndAfterTheResponse) {
  ZebdProcess zebd;
  const std::string closing[] = {
      SoapRequest(kBody, "Connection: close\r\n"),
      "POST /zebapi HTTP/1.0\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(kBody.size()) +
          "\r\n\r\n" + kBody,
  };
  for (const std::string& request : closing) {
    RawConnection client(zebd.port());
    EXPECT_EQ(kOk, StatusOfAnswer(client, request));
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
    EXPECT_FALSE(client.reset());
  }
}

TEST(HttpHostConnections, IdleConnectionIsClosedAfterIdleTimeout) {
  ZebdProcess zebd({"--idle-timeout", "0.3"});
  RawConnection client(zebd.port());
  ASSERT_EQ(kOk, StatusOfAnswer(client, SoapRequest(kBody)));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(5000)));
  EXPECT_GE(ElapsedMs(start), 250);
}

TEST(HttpHostConnections, ConnectionsPastEitherCapAreClosedAtOnce) {
  ZebdProcess zebd({"--max-connections", "3", "--max-connections-per-address", "2"});
  auto first = std::make_unique<RawConnection>(zebd.port());
  RawConnection second(zebd.port());
  // A served request proves the server holds the connection; the start of the next one, sent
  // with it, keeps it busy (an idle one would be closed to make room).
  auto served = [](RawConnection& connection) {
    return StatusOfAnswer(connection, SoapRequest(kBody) + "POST / HTTP/1.1\r\n") == kOk;
  };
  ASSERT_TRUE(served(*first));
  ASSERT_TRUE(served(second));
  RawConnection third(zebd.port());
  third.Send(SoapRequest(kBody));
  EXPECT_TRUE(third.WaitClosedWithoutData(Millis(3000))) << "a third from one address";
  RawConnection elsewhere(zebd.port(), "127.0.0.2");
  ASSERT_TRUE(served(elsewhere)) << "another address is not locked out";
  RawConnection fourth(zebd.port(), "127.0.0.3");
  fourth.Send(SoapRequest(kBody));
  EXPECT_TRUE(fourth.WaitClosedWithoutData(Millis(3000))) << "a fourth in all";

  // Once one closes, a new connection is served again (the server notices the close soon).
  first.reset();
  bool servedAgain = false;
  for (auto start = std::chrono::steady_clock::now(); !servedAgain && ElapsedMs(start) < 5000;) {
    RawConnection again(zebd.port(), "127.0.0.3");
    servedAgain = served(again);
  }
  EXPECT_TRUE(servedAgain);
}

// ---------------------------------------------------------------------------------------------
// Requests and bodies

TEST(HttpHostRequests, MethodsTheHostCannotServeAreClosedWithoutAnAnswer) {
  ZebdProcess zebd;
  std::string put = SoapRequest(kBody), remove = put;
  for (const std::string& request : {put.replace(0, 4, "PUT"), remove.replace(0, 4, "DELETE")}) {
    RawConnection client(zebd.port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000))) << request.substr(0, 40);
  }
}

// A request the HTTP parser refuses is told why, and its connection is closed after the answer.
TEST(HttpHostRequests, MalformedRequestsAreAnsweredAndClosed) {
  ZebdProcess zebd({"--max-header-bytes", "1024"});
  const std::string chunked = ChunkedRequest(kBody);
  const std::pair<std::string, std::string> refused[] = {
      {"POST /zebapi HTTP/1.1\r\nContent-Length: banana\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: 51\r\nConnection: close\r\n\r\n"
       "The request is not valid HTTP: bad Content-Length.\n"},
      {SoapRequest(kBody, "X-Padding: " + std::string(1100, 'a') + "\r\n"),
       "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Type: text/plain\r\nContent-Length: 46\r\n"
       "Connection: close\r\n\r\nThe request header is larger than 1024 bytes.\n"},
      {HeaderOf(chunked) + "zz\r\n" + kBody + "\r\n0\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: 42\r\nConnection: close\r\n\r\n"
       "The request is not valid HTTP: bad chunk.\n"},
  };
  for (const auto& [request, answer] : refused) {
    RawConnection client(zebd.port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_EQ(answer, client.ReadResponse()) << request.substr(0, 40);
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
  }
  RawConnection client(zebd.port());
  EXPECT_EQ(kOk, StatusOfAnswer(client, SoapRequest(kBody, "X-Padding: " + std::string(500, 'a') + "\r\n")))
      << "a header within the cap";
}

TEST(HttpHostRequests, BodiesUpToTheLimitAreAdmittedWhateverTheirFraming) {
  ZebdProcess zebd;
  EXPECT_EQ(kOk, StatusLineOf(PostSoap(zebd.port(), "")));
  EXPECT_EQ(kOk, StatusLineOf(PostSoap(zebd.port(), BodyOfSize(kMaxBody))));
  RawConnection client(zebd.port());
  EXPECT_EQ(kOk, StatusOfAnswer(client, ChunkedRequest(kBody)));
  // A client announcing its body waits for the interim answer.
  const std::string request = SoapRequest(kBody, "Expect: 100-continue\r\n");
  ASSERT_TRUE(client.Send(HeaderOf(request)));
  EXPECT_EQ("HTTP/1.1 100 Continue\r\n\r\n", client.ReadResponse());
  EXPECT_EQ(kOk, StatusOfAnswer(client, request.substr(HeaderOf(request).size())));
}

TEST(HttpHostRequests, LargerBodiesGetThe413ResponseThenAnOrderlyClose) {
  ZebdProcess zebd;
  const std::string requests[] = {SoapRequest(BodyOfSize(kMaxBody + 1)), SoapRequest(BodyOfSize(1024 * 1024)),
                                  ChunkedRequest(BodyOfSize(kMaxBody + 100))};
  for (const std::string& request : requests) {
    RawConnection client(zebd.port());
    // The whole body goes out, as a client that does not wait for an answer sends it.
    std::thread sender([&] { client.Send(request); });
    std::string response = client.ReadResponse();
    sender.join();
    EXPECT_EQ(kTooLargeResponse, response) << request.size();
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000))) << request.size();
    EXPECT_FALSE(client.reset()) << request.size();
  }
  // A client announcing a larger body is not invited to send it.
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(HeaderOf(SoapRequest(BodyOfSize(41 * 1024), "Expect: 100-continue\r\n"))));
  EXPECT_EQ(kTooLargeResponse, client.ReadResponse());
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
  // A body the client stops sending before its declared end did not arrive whole either: it
  // gets the same answer, and its record in the trace.
  RawConnection cut(zebd.port());
  const std::string request = SoapRequest(kBody);
  ASSERT_TRUE(cut.Send(request.substr(0, request.size() - 10)));
  cut.EndSending();
  EXPECT_EQ(kTooLargeResponse, cut.ReadResponse());
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_TRUE(Contains(zebd.TraceFile(),
                       "RequestID: 5\r\nRequestContents: \r\n\r\nResponseContents: \r\n"
                       "HTTP/1.1 413 Request Entity Too Large"));
}

TEST(HttpHostRequests, SlowBodyWithinTheTimeoutIsAnsweredAndAStalledOneCutOff) {
  ZebdProcess zebd({"--body-timeout", "1"});
  const std::string request = SoapRequest(kBody);
  RawConnection slow(zebd.port()), stalled(zebd.port());
  ASSERT_TRUE(slow.Send(HeaderOf(request)));
  ASSERT_TRUE(slow.SendSlowly(request.substr(HeaderOf(request).size()), 40, Millis(20)));
  EXPECT_EQ(kOk, StatusLineOf(slow.ReadResponse()));
  ASSERT_TRUE(stalled.Send(request.substr(0, request.size() - 10)));
  EXPECT_TRUE(stalled.WaitClosedWithoutData(Millis(5000)));
}

// A header trickling in one byte at a time is cut off when the header time-out has passed since
// its first byte, however lively it looks; meanwhile the one worker thread serves others.
TEST(HttpHostRequests, TricklingHeaderIsCutOffWhileOthersAreServed) {
  ZebdProcess zebd({"--header-timeout", "1", "--threads", "1"});
  RawConnection loris(zebd.port());
  const std::string header = HeaderOf(SoapRequest(kBody));
  auto start = std::chrono::steady_clock::now();
  auto cutOffAfterMs = std::async(std::launch::async, [&] {
    for (std::size_t i = 0; i < header.size() && loris.Send(header.substr(i, 1)); ++i) {
      if (loris.WaitClosedWithoutData(Millis(150))) break;
    }
    return ElapsedMs(start);
  });
  std::this_thread::sleep_for(Millis(200));  // the header timer runs
  EXPECT_EQ(kOk, StatusLineOf(PostSoap(zebd.port(), kBody)));
  EXPECT_LT(ElapsedMs(start), 900);
  const long long cutOff = cutOffAfterMs.get();
  EXPECT_TRUE(loris.closed());
  EXPECT_GE(cutOff, 900);
  EXPECT_LT(cutOff, 3000);
}

// ---------------------------------------------------------------------------------------------
// What reaches the extension, and what comes back when it fails

TEST(HttpHostExtension, RequestTextAndItsTraceEndAtTheFirstNulByteAndNameTheClient) {
  ZebdProcess zebd;
  const std::string envelope = "<Envelope><Body><fooBar/></Body></Envelope>";
  const std::string answer = BodyOf(PostSoap(zebd.port(), envelope + std::string("\0<bazQux/>", 10)));
  EXPECT_TRUE(Contains(answer, "Unknown method: fooBar"));
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_TRUE(Contains(zebd.TraceFile(),
                       "Client IP: 127.0.0.1\r\nClient User ID: \r\nRequestID: 1\r\n"
                       "RequestContents: \r\n" +
                           envelope + "\r\nResponseContents: "));
}

TEST(HttpHostExtension, AnExceptionOfTheExtensionIsAnsweredWith500AndNoTraceRecord) {
  // A worker opens its database connection on its first request: while the database's
  // directory is gone, that throws out of the extension.
  TempDir dir;
  std::filesystem::create_directory(dir / "db");
  ZebdProcess zebd({"--db", dir / "db/zeb.db", "--threads", "1"});
  std::filesystem::rename(dir / "db", dir / "gone");
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(SoapRequest(kBody)));
  EXPECT_EQ(
      "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 23\r\n\r\n"
      "Internal server error.\n",
      client.ReadResponse());
  std::filesystem::rename(dir / "gone", dir / "db");
  EXPECT_EQ(kOk, StatusOfAnswer(client, SoapRequest(kBody)));
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_FALSE(Contains(zebd.TraceFile(), "RequestID: 1\r\n"));
  EXPECT_TRUE(Contains(zebd.TraceFile(), "RequestID: 2\r\n"));
}

// ---------------------------------------------------------------------------------------------
// Shutdown

TEST(HttpHostShutdown, IdleConnectionDoesNotDelayAnOrderlyShutdown) {
  // Idle time-out 60 s, and requests under way get 30 s at shutdown: a stop that waited for the
  // idle connection would take 30 s. The bound leaves room for a loaded or instrumented build.
  ZebdProcess zebd({"--drain-timeout", "30"});
  RawConnection client(zebd.port());
  ASSERT_EQ(kOk, StatusOfAnswer(client, SoapRequest(SoapEnvelope("<fooBar>last-request-marker</fooBar>"))));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, zebd.Stop());
  EXPECT_LT(ElapsedMs(start), 10000);
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(1000)));
  EXPECT_TRUE(Contains(zebd.TraceFile(), "last-request-marker"));
  EXPECT_EQ("", zebd.StderrText());
}

// ---------------------------------------------------------------------------------------------
// Command line

TEST(ZebdCommandLine, HelpAnswersAndBadOptionsExitWithStatus2) {
  CommandResult result = RunZebd({"--help"});
  EXPECT_EQ(0, result.exitCode);
  EXPECT_TRUE(Contains(result.out, "--listen HOST:PORT"));

  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},         {"--threads", "0"},         {"--listen", "127.0.0.1"},
      {"--listen", "h:x"}, {"--header-timeout", "-1"}, {"--max-connections"},
      {"stray"},           {"--insecure=yes"},         {"--listen=127.0.0.1:99999"},
      {"--tls-cert", "cert.pem"}, {"--request-timeout", "0"},
      {"--threads", "2", "--threads=3"},
  };
  for (const auto& args : bad) {
    CommandResult result = RunZebd(args);
    EXPECT_EQ(2, result.exitCode) << args[0];
    EXPECT_TRUE(Contains(result.err, "zebd: ")) << args[0];
    EXPECT_EQ("", result.out) << args[0];
  }
  // Some say more: options that go together or once only; a value out of range names the range,
  // a value of another form the form.
  const std::pair<std::vector<std::string>, std::string> explained[] = {
      {{"--tls-cert", "cert.pem"}, "'--tls-cert' and '--tls-key' must be given together"},
      {{"--no-audit", "--no-audit"}, "zebd: option '--no-audit' is given more than once"},
      {{"--read-cache", "70000"},
       "invalid value '70000' for option '--read-cache' (expected a whole number from 0 to 60000)\n"},
      {{"--drain-timeout=0"}, "'--drain-timeout' (expected a number of seconds above 0 and at most 86400)\n"},
      {{"--listen", "h:x"}, "'--listen' (expected HOST:PORT)\n"},
  };
  for (const auto& [args, message] : explained) EXPECT_TRUE(Contains(RunZebd(args).err, message)) << args[0];
}

TEST(ZebdCommandLine, AddressInUseOrUnknownHostFailsWithStatus1) {
  ZebdProcess first;
  CommandResult result = RunZebd({"--listen", "127.0.0.1:" + std::to_string(first.port()), "--trace-dir",
                                  first.traceDir(), "--db", first.traceDir() + "/second.db"});
  EXPECT_EQ(1, result.exitCode);
  EXPECT_TRUE(Contains(result.err, "zebd: "));
  // A host that does not resolve is named (.invalid names never resolve).
  result = RunZebd({"--listen", "nohost.invalid:80", "--db", first.traceDir() + "/second.db"});
  EXPECT_EQ(1, result.exitCode);
  EXPECT_TRUE(Contains(result.err, "zebd: cannot listen on nohost.invalid: the host does not resolve ("));
}

}  // namespace
}  // namespace zeb::test
