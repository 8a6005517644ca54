// The HTTP host seen from a client: connection handling, limits, time-outs and shutdown of the
// real zebd, over raw sockets.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "e2e/ZebdProcess.h"
#include "support/TempDir.h"

namespace zeb::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kUnknownMethodBody = SoapEnvelope("<fooBar/>");

const std::string kTooLargeBody =
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
    "<SOAP-ENV:Body>\r\n"
    "<SOAP-ENV:Fault>\r\n"
    "<faultcode>SOAP-ENV:Client</faultcode>\r\n"
    "<faultstring>The ZEB API service can not handle a request larger than 40KB.</faultstring>\r\n"
    "</SOAP-ENV:Fault>\r\n"
    "</SOAP-ENV:Body>\r\n"
    "</SOAP-ENV:Envelope>";
const std::string kTooLargeResponse =
    "HTTP/1.1 413 Request Entity Too Large\r\n"
    "Content-Type: text/xml\r\n"
    "Content-Length: " +
    std::to_string(kTooLargeBody.size()) + "\r\n\r\n" + kTooLargeBody;

constexpr std::size_t kMaxBody = 40960;

// Milliseconds since start, as a number so that failed comparisons print readably.
long long ElapsedMs(Clock::time_point start) {
  return std::chrono::duration_cast<Millis>(Clock::now() - start).count();
}

// A body of exactly n bytes: an envelope padded with blanks inside the body element.
std::string BodyOfSize(std::size_t n) {
  std::string body = SoapEnvelope("<fooBar/>");
  body.insert(body.find("<fooBar/>"), n - body.size(), ' ');
  return body;
}

std::string Chunked(std::string_view body, std::size_t chunk) {
  std::string out;
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    std::string_view piece = body.substr(at, chunk);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size;
    out += piece;
    out += "\r\n";
  }
  return out + "0\r\n\r\n";
}

std::string ChunkedRequest(std::string_view body) {
  return "POST /zebapi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n"
         "Transfer-Encoding: chunked\r\n\r\n" +
         Chunked(body, 4096);
}

// ---------------------------------------------------------------------------------------------
// Keep-alive and connection close

TEST(HttpHostKeepAlive, SeveralPostsOnOneConnection) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
    std::string response = client.ReadResponse();
    ASSERT_TRUE(client.complete()) << "request " << i << ": " << response;
    EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(response));
  }
  EXPECT_FALSE(client.closed());
}

TEST(HttpHostKeepAlive, PipelinedRequestsAreAnsweredInOrder) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  std::string first = SoapRequest(kUnknownMethodBody);
  std::string get = "GET /zebapi HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  ASSERT_TRUE(client.Send(first + get + first));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  EXPECT_EQ("HTTP/1.1 405 Method Not Allowed", StatusLineOf(client.ReadResponse()));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  EXPECT_TRUE(client.complete());
}

TEST(HttpHostKeepAlive, ConnectionCloseAndHttp10EndAfterTheResponse) {
  ZebdProcess zebd;
  const std::string closing[] = {
      SoapRequest(kUnknownMethodBody, "Connection: close\r\n"),
      "POST /zebapi HTTP/1.0\r\nContent-Type: text/xml\r\nContent-Length: " +
          std::to_string(kUnknownMethodBody.size()) + "\r\n\r\n" + kUnknownMethodBody,
  };
  for (const std::string& request : closing) {
    RawConnection client(zebd.port());
    ASSERT_TRUE(client.Send(request));
    EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
    EXPECT_FALSE(client.reset());
  }
}

TEST(HttpHostKeepAlive, IdleConnectionIsClosedAfterIdleTimeout) {
  ZebdProcess zebd({"--idle-timeout", "0.3"});
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
  ASSERT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  auto start = Clock::now();
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(5000)));
  EXPECT_GE(ElapsedMs(start), 250);
}

// ---------------------------------------------------------------------------------------------
// Methods

TEST(HttpHostMethods, MethodsOtherThanGetAndPostGetNoBytesAndAClose) {
  ZebdProcess zebd;
  for (const char* method : {"PUT", "DELETE", "OPTIONS"}) {
    RawConnection client(zebd.port());
    std::string request = SoapRequest(kUnknownMethodBody);
    request.replace(0, 4, method);
    ASSERT_TRUE(client.Send(request));
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000))) << method;
  }
}

TEST(HttpHostMethods, GetReachesTheExtensionAndKeepsTheConnection) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send("GET /zebapi?wsdl HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
  EXPECT_EQ("HTTP/1.1 405 Method Not Allowed", StatusLineOf(client.ReadResponse()));
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
}

// ---------------------------------------------------------------------------------------------
// Bodies

TEST(HttpHostBodies, BodyOfExactlyTheLimitIsAdmitted) {
  ZebdProcess zebd;
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(PostSoap(zebd.port(), BodyOfSize(kMaxBody))));
}

TEST(HttpHostBodies, EmptyBodyIsAdmitted) {
  ZebdProcess zebd;
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(PostSoap(zebd.port(), "")));
}

TEST(HttpHostBodies, LargerBodyGetsThe413ResponseThenAnOrderlyClose) {
  ZebdProcess zebd;
  for (std::size_t size : {kMaxBody + 1, std::size_t{41 * 1024}, std::size_t{1024 * 1024}}) {
    RawConnection client(zebd.port());
    // The whole body goes out, as a client that does not wait for an answer sends it.
    std::thread sender([&] { client.Send(SoapRequest(BodyOfSize(size))); });
    std::string response = client.ReadResponse();
    sender.join();
    EXPECT_EQ(kTooLargeResponse, response) << size;
    EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000))) << size;
    EXPECT_FALSE(client.reset()) << size;
  }
}

TEST(HttpHostBodies, LargerBodyAnnouncedWithExpectIsRefusedWithoutContinue) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  std::string header = SoapRequest(BodyOfSize(41 * 1024), "Expect: 100-continue\r\n");
  header.erase(header.find("\r\n\r\n") + 4);
  ASSERT_TRUE(client.Send(header));
  EXPECT_EQ(kTooLargeResponse, client.ReadResponse());
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
}

TEST(HttpHostBodies, ExpectContinueGetsTheInterimAnswerBeforeTheBody) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  std::string request = SoapRequest(kUnknownMethodBody, "Expect: 100-continue\r\n");
  std::size_t headerEnd = request.find("\r\n\r\n") + 4;
  ASSERT_TRUE(client.Send(request.substr(0, headerEnd)));
  EXPECT_EQ("HTTP/1.1 100 Continue\r\n\r\n", client.ReadResponse());
  ASSERT_TRUE(client.Send(request.substr(headerEnd)));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
}

TEST(HttpHostBodies, ChunkedBodyWithinTheLimitIsAdmittedAndBeyondItRefused) {
  ZebdProcess zebd;
  {
    RawConnection client(zebd.port());
    ASSERT_TRUE(client.Send(ChunkedRequest(kUnknownMethodBody)));
    EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  }
  RawConnection client(zebd.port());
  std::thread sender([&] { client.Send(ChunkedRequest(BodyOfSize(kMaxBody + 100))); });
  std::string response = client.ReadResponse();
  sender.join();
  EXPECT_EQ(kTooLargeResponse, response);
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
}

TEST(HttpHostBodies, SlowBodyWithinTheTimeoutIsAnswered) {
  ZebdProcess zebd({"--body-timeout", "5"});
  RawConnection client(zebd.port());
  std::string request = SoapRequest(kUnknownMethodBody);
  std::size_t headerEnd = request.find("\r\n\r\n") + 4;
  ASSERT_TRUE(client.Send(request.substr(0, headerEnd)));
  ASSERT_TRUE(client.SendSlowly(request.substr(headerEnd), 40, Millis(20)));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
}

TEST(HttpHostBodies, BodyStalledPastTheTimeoutIsCutOff) {
  ZebdProcess zebd({"--body-timeout", "0.3"});
  RawConnection client(zebd.port());
  std::string request = SoapRequest(kUnknownMethodBody);
  ASSERT_TRUE(client.Send(request.substr(0, request.size() - 10)));
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(5000)));
}

// ---------------------------------------------------------------------------------------------
// Headers

TEST(HttpHostHeaders, StalledHeaderIsCutOffWhileOthersAreServed) {
  ZebdProcess zebd({"--header-timeout", "1", "--threads", "1"});
  RawConnection stalled(zebd.port());
  auto start = Clock::now();
  ASSERT_TRUE(stalled.Send("POST /zebapi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Ty"));

  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(PostSoap(zebd.port(), kUnknownMethodBody)));
  EXPECT_LT(ElapsedMs(start), 900);

  EXPECT_TRUE(stalled.WaitClosedWithoutData(Millis(5000)));
  EXPECT_GE(ElapsedMs(start), 900);
}

TEST(HttpHostHeaders, HeaderLargerThanTheCapIsRefused) {
  ZebdProcess zebd({"--max-header-bytes", "1024"});
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody, "X-Padding: " + std::string(1100, 'a') + "\r\n")));
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));

  RawConnection next(zebd.port());
  ASSERT_TRUE(next.Send(SoapRequest(kUnknownMethodBody, "X-Padding: " + std::string(500, 'a') + "\r\n")));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(next.ReadResponse()));
}

TEST(HttpHostHeaders, MalformedRequestIsClosedWithoutAnswer) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send("POST /zebapi HTTP/1.1\r\nContent-Length: banana\r\n\r\n"));
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
}

// ---------------------------------------------------------------------------------------------
// Connection cap

TEST(HttpHostConnections, ConnectionsPastTheCapAreClosedAtOnce) {
  ZebdProcess zebd({"--max-connections", "2"});
  auto first = std::make_unique<RawConnection>(zebd.port());
  RawConnection second(zebd.port());
  // A served request proves the server holds the connection; the start of the next one, sent
  // with it, keeps it busy (an idle one would be closed to make room).
  for (RawConnection* held : {first.get(), &second}) {
    ASSERT_TRUE(held->Send(SoapRequest(kUnknownMethodBody) + "POST / HTTP/1.1\r\n"));
    ASSERT_EQ("HTTP/1.1 200 OK", StatusLineOf(held->ReadResponse()));
  }

  RawConnection third(zebd.port());
  third.Send(SoapRequest(kUnknownMethodBody));
  EXPECT_TRUE(third.WaitClosedWithoutData(Millis(3000)));

  // Once one closes, a new connection is served again (the server notices the close soon).
  first.reset();
  std::string response;
  for (auto start = Clock::now(); ElapsedMs(start) < 5000;) {
    RawConnection again(zebd.port());
    again.Send(SoapRequest(kUnknownMethodBody));
    response = again.ReadResponse(Millis(2000));
    if (!response.empty()) break;
    std::this_thread::sleep_for(Millis(20));
  }
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(response));
}

TEST(HttpHostConnections, RemoteAddressReachesTheExtension) {
  ZebdProcess zebd;
  ASSERT_EQ("HTTP/1.1 200 OK", StatusLineOf(PostSoap(zebd.port(), kUnknownMethodBody)));
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_NE(std::string::npos, zebd.TraceFile().find("127.0.0.1"));
}

// ---------------------------------------------------------------------------------------------
// What reaches the extension, and what comes back when it fails

TEST(HttpHostExtension, RequestTextAndItsTraceEndAtTheFirstNulByte) {
  ZebdProcess zebd;
  const std::string envelope = "<Envelope><Body><fooBar/></Body></Envelope>";
  const std::string answer = BodyOf(PostSoap(zebd.port(), envelope + std::string("\0<bazQux/>", 10)));
  EXPECT_NE(std::string::npos, answer.find("Unknown method: fooBar")) << answer;
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_NE(std::string::npos, zebd.TraceFile().find("RequestContents: \r\n" + envelope + "\r\nResponseContents: "))
      << zebd.TraceFile();
}

TEST(HttpHostExtension, AnExceptionOfTheExtensionIsAnsweredWith500AndNoTraceRecord) {
  // A worker opens its database connection on its first request: while the database's
  // directory is gone, that throws out of the extension.
  TempDir dir;
  std::filesystem::create_directory(dir / "db");
  ZebdProcess zebd({"--db", dir / "db/zeb.db", "--threads", "1"});
  std::filesystem::rename(dir / "db", dir / "gone");
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
  EXPECT_EQ(
      "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\nContent-Length: 23\r\n\r\n"
      "Internal server error.\n",
      client.ReadResponse());
  std::filesystem::rename(dir / "gone", dir / "db");
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  ASSERT_EQ(0, zebd.Stop());
  EXPECT_EQ(std::string::npos, zebd.TraceFile().find("RequestID: 1\r\n"));
  EXPECT_NE(std::string::npos, zebd.TraceFile().find("RequestID: 2\r\n"));
}

// ---------------------------------------------------------------------------------------------
// Shutdown

TEST(HttpHostShutdown, SigtermExitsZeroWithTheTraceFileComplete) {
  ZebdProcess zebd;
  const std::string marked = SoapEnvelope("<fooBar>last-request-marker</fooBar>");
  ASSERT_EQ("HTTP/1.1 200 OK", StatusLineOf(PostSoap(zebd.port(), marked)));
  EXPECT_EQ(0, zebd.Stop());
  EXPECT_NE(std::string::npos, zebd.TraceFile().find("last-request-marker"));
  EXPECT_EQ("", zebd.StderrText());
}

TEST(HttpHostShutdown, IdleKeptAliveConnectionDoesNotDelayShutdown) {
  ZebdProcess zebd;  // idle time-out 60 s, shutdown grace 5 s
  RawConnection client(zebd.port());
  ASSERT_TRUE(client.Send(SoapRequest(kUnknownMethodBody)));
  ASSERT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  auto start = Clock::now();
  EXPECT_EQ(0, zebd.Stop());
  EXPECT_LT(ElapsedMs(start), 2000);
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(1000)));
}

TEST(HttpHostShutdown, RequestUnderWayIsAnsweredWhileNewConnectionsAreRefused) {
  ZebdProcess zebd;
  RawConnection client(zebd.port());
  std::string request = SoapRequest(kUnknownMethodBody);
  std::size_t half = request.size() / 2;
  ASSERT_TRUE(client.Send(request.substr(0, half)));
  std::this_thread::sleep_for(Millis(100));  // the server has the first half

  zebd.Signal(SIGTERM);
  std::this_thread::sleep_for(Millis(200));  // ... and has begun to shut down
  EXPECT_THROW(RawConnection(zebd.port()), std::runtime_error);

  ASSERT_TRUE(client.Send(request.substr(half)));
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(client.ReadResponse()));
  EXPECT_TRUE(client.WaitClosedWithoutData(Millis(3000)));
  EXPECT_EQ(0, zebd.Stop());
}

// ---------------------------------------------------------------------------------------------
// Command line

TEST(ZebdCommandLine, HelpListsEveryOptionWithItsDefault) {
  CommandResult result = RunZebd({"--help"});
  EXPECT_EQ(0, result.exitCode);
  for (const char* expected :
       {"--listen HOST:PORT", "127.0.0.1:8080", "--trace-dir DIR", "--db PATH", "zeb.db", "--threads N",
        "--max-connections N", "1024", "--max-header-bytes N", "8192", "--header-timeout S",
        "--body-timeout S", "--idle-timeout S", "(default: 60)", "--help"}) {
    EXPECT_NE(std::string::npos, result.out.find(expected)) << expected;
  }
}

TEST(ZebdCommandLine, BadOptionsExitWithStatus2AndAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--bogus"},         {"--threads", "0"},           {"--listen", "127.0.0.1"},
      {"--listen", "h:x"}, {"--header-timeout", "-1"},   {"--max-connections"},
      {"stray"},           {"--listen=127.0.0.1:99999"},
  };
  for (const auto& args : bad) {
    CommandResult result = RunZebd(args);
    EXPECT_EQ(2, result.exitCode) << args[0];
    EXPECT_NE(std::string::npos, result.err.find("zebd: ")) << args[0];
    EXPECT_EQ("", result.out) << args[0];
  }
}

TEST(ZebdCommandLine, AddressInUseFailsWithStatus1) {
  ZebdProcess first;
  CommandResult result =
      RunZebd({"--listen", "127.0.0.1:" + std::to_string(first.port()), "--trace-dir", first.traceDir()});
  EXPECT_EQ(1, result.exitCode);
  EXPECT_NE(std::string::npos, result.err.find("zebd: ")) << result.err;
}

}  // namespace
}  // namespace zeb::test
