// Change events seen from outside, on the back end ZEB_TEST_DB names: webhooks POSTed to a
// receiver the test runs (in order, signed, every one after the receiver was down and zebd
// killed), GET /events resumed with Last-Event-ID, and, on PostgreSQL, two nodes that deliver
// each event once.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/hmac.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "e2e/TlsConnection.h"
#include "e2e/ZebdProcess.h"
#include "server/WebhookClient.h"
#include "support/PgScratchDatabase.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/ChangeEvents.h"
#include "zdl/Webhooks.h"

namespace zeb::test {
namespace {

using Clock = std::chrono::steady_clock;

// Reads from fd until `until` holds for what arrived, the peer closes, or the deadline.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& until, Millis timeout) {
  std::string data;
  const auto deadline = Clock::now() + timeout;
  while (!until(data) && Clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  return data;
}

// A webhook receiver on a loopback port that stays the same across Stop and Start: it records
// every POST (headers lower-cased, body) and answers 200. By default it says it closes the
// connection after each answer; it can also keep it, or close it without saying so.
class Receiver {
 public:
  struct Post {
    std::map<std::string, std::string> headers;
    std::string body;
  };
  enum class Connections { kSaysClose, kKeeps, kClosesSilently };

  explicit Receiver(Connections mode = Connections::kSaysClose) : mode_(mode) { Start(); }
  ~Receiver() { Stop(); }

  void Start() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0)
      throw std::runtime_error("receiver cannot listen");
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    stop_ = false;
    thread_ = std::thread([this] { Serve(); });
  }

  // Closes the port: deliveries are refused until Start.
  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
    close(listener_);
  }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hook?x=1"; }
  std::vector<Post> Posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
  }
  std::size_t Count() { return Posts().size(); }
  int ConnectionsAccepted() const { return accepted_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd ready{listener_, POLLIN, 0};
      if (poll(&ready, 1, 50) <= 0) continue;
      const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++accepted_;
      while (Take(fd) && mode_ == Connections::kKeeps && !stop_) {
      }
      close(fd);
    }
  }

  bool Take(int fd) {
    const std::string data = ReadUntil(
        fd,
        [](const std::string& in) {
          const std::size_t end = in.find("\r\n\r\n"), at = in.find("Content-Length: ");
          return end != std::string::npos &&
                 in.size() >= end + 4 + (at == std::string::npos ? 0 : std::stoul(in.substr(at + 16)));
        },
        Millis(5000));
    const std::size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    Post post{{{"request-line", data.substr(0, data.find("\r\n"))}}, data.substr(end + 4)};
    for (std::size_t line = data.find("\r\n") + 2, next; line < end; line = next + 2) {
      next = data.find("\r\n", line);
      const std::size_t colon = data.find(':', line);
      std::string name = data.substr(line, colon - line);
      for (char& c : name) c = static_cast<char>(std::tolower(c));
      post.headers[name] = data.substr(colon + 2, next - colon - 2);
    }
    const std::string answer = std::string("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n") +
                               (mode_ == Connections::kSaysClose ? "Connection: close\r\n" : "") + "\r\n";
    send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    std::lock_guard<std::mutex> lock(mutex_);
    posts_.push_back(std::move(post));
    return true;
  }

  const Connections mode_;
  std::atomic<int> accepted_{0};
  int port_ = 0;
  int listener_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Post> posts_;
};

std::string Hmac(const std::string& key, const std::string& text) {
  unsigned char digest[32];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) std::snprintf(pair, sizeof pair, "%02x", digest[i]), hex += pair;
  return hex;
}

// The body with its time replaced by "T", for comparison.
std::string WithoutTime(const std::string& json) {
  return std::regex_replace(
      json, std::regex("\"time\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}Z\""), "\"time\":\"T\"");
}

std::string EventJson(int id, const std::string& method, const std::string& recordId,
                      const std::string& name) {
  const std::string kind = method.rfind("add", 0) == 0 ? "add" : "remove";
  return "{\"id\":" + std::to_string(id) + ",\"time\":\"T\",\"user\":\"\",\"method\":\"" + method +
         "\",\"kind\":\"" + kind + "\",\"recordTable\":\"RoutePartition\",\"recordId\":\"" + recordId +
         "\",\"recordName\":\"" + name + "\"}";
}

// `zebd webhook add` on zebd's database, with the secret in secretFile.
CommandResult AddWebhook(const ZebdProcess& zebd, const std::string& url, const std::string& secretFile,
                         const std::string& methods = "") {
  std::vector<std::string> args{"webhook", "add",           "--db",     zebd.dbPath(),  "--url",
                                url,       "--secret-file", secretFile, "--secret-key", zebd.keyPath()};
  if (!methods.empty()) args.insert(args.end(), {"--methods", methods});
  return RunZebd(args);
}

// Subscribes the receiver to zebd's database with the secret "s3cret"; returns the command's output.
std::string Subscribe(const ZebdProcess& zebd, const std::string& url, const std::string& methods = "") {
  std::ofstream(zebd.dir() + "/hook.secret") << "s3cret\n";
  const CommandResult result = AddWebhook(zebd, url, zebd.dir() + "/hook.secret", methods);
  EXPECT_EQ(0, result.exitCode) << result.err;
  return result.out;
}

std::string WebhookList(const ZebdProcess& zebd) {
  return RunZebd({"webhook", "list", "--db", zebd.dbPath()}).out;
}

// The ids of the posts, in arrival order.
std::vector<int> Ids(const std::vector<Receiver::Post>& posts) {
  std::vector<int> ids;
  for (const Receiver::Post& post : posts) ids.push_back(std::stoi(post.headers.at("x-zeb-event-id")));
  return ids;
}
std::size_t Distinct(Receiver& receiver) {
  const std::vector<int> ids = Ids(receiver.Posts());
  return std::set<int>(ids.begin(), ids.end()).size();
}

// Events go one after another on one kept connection; a receiver that closes its connections
// without saying so gets each event once the connection is made again, with no failure counted.
TEST(WebhookTest, TenChangesGiveTenSignedEventsInOrderOverKeptOrRemadeConnections) {
  Receiver receiver, removals, keeps(Receiver::Connections::kKeeps),
      closes(Receiver::Connections::kClosesSilently);
  ZebdProcess zebd({"--admin-listen", "0"});
  EXPECT_EQ("webhook 1 added: " + receiver.Url() + "\n", Subscribe(zebd, receiver.Url()));
  Subscribe(zebd, removals.Url(), "remove*");
  Subscribe(zebd, keeps.Url());
  Subscribe(zebd, closes.Url());
  std::vector<std::string> expected(10), ids;
  for (int i = 1; i <= 5; ++i) {
    ids.push_back(AddPartition(zebd.port(), "P" + std::to_string(i)));
    expected[i - 1] = EventJson(i, "addRoutePartition", ids.back(), "P" + std::to_string(i));
  }
  for (int i = 1; i <= 5; ++i) {
    PostElement(zebd.port(), "<removeRoutePartition><partitionName>p" + std::to_string(i) +
                                 "</partitionName></removeRoutePartition>");
    expected[4 + i] = EventJson(5 + i, "removeRoutePartition", ids[i - 1], "p" + std::to_string(i));
  }
  ASSERT_TRUE(Eventually([&] {
    return receiver.Count() >= 10 && removals.Count() >= 5 && keeps.Count() == 10 && closes.Count() == 10;
  })) << receiver.Count()
      << " " << WebhookList(zebd) << zebd.StderrText();

  const std::vector<Receiver::Post> posts = receiver.Posts();
  ASSERT_EQ(10u, posts.size());
  for (std::size_t i = 0; i < posts.size(); ++i) {
    const Receiver::Post& post = posts[i];
    EXPECT_EQ(expected[i], WithoutTime(post.body));
    EXPECT_EQ("POST /hook?x=1 HTTP/1.1", post.headers.at("request-line"));
    EXPECT_EQ("application/json", post.headers.at("content-type"));
    EXPECT_EQ(std::to_string(i + 1), post.headers.at("x-zeb-event-id"));
    // t=<seconds>,v1=<HMAC-SHA256 of "<seconds>.<body>">, the time close to now.
    const std::string signature = post.headers.at("x-zeb-signature");
    const std::string seconds = signature.substr(2, signature.find(',') - 2);
    EXPECT_EQ("t=" + seconds + ",v1=" + Hmac("s3cret", seconds + "." + post.body), signature);
    EXPECT_LT(std::abs(std::stoll(seconds) - zdl::NowMicros() / 1'000'000), 60);
  }
  std::vector<std::string> removed;
  for (const Receiver::Post& post : removals.Posts()) removed.push_back(WithoutTime(post.body));
  EXPECT_EQ(std::vector<std::string>(expected.begin() + 5, expected.end()), removed);
  EXPECT_TRUE(Eventually([&] {
    return WebhookList(zebd).find("1\tok\t10\t*\t" + receiver.Url()) != std::string::npos;
  })) << WebhookList(zebd);
  const std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(all, Ids(keeps.Posts()));
  EXPECT_EQ(all, Ids(closes.Posts()));
  EXPECT_EQ(1, keeps.ConnectionsAccepted());
  EXPECT_EQ(10, closes.ConnectionsAccepted());
  const std::string metrics = AdminRequest(zebd.adminPort(), "/metrics");
  EXPECT_TRUE(Contains(metrics, "zebd_webhook_failures_total{subscription=\"4\"} 0\n"));
}

TEST(WebhookTest, ReceiverDownAndZebdKilledLosesNoEvent) {
  Receiver receiver;
  auto first = std::make_unique<ZebdProcess>(std::vector<std::string>{"--webhook-failing-after", "1"});
  Subscribe(*first, receiver.Url());
  for (int i = 1; i <= 3; ++i) AddPartition(first->port(), "A" + std::to_string(i));
  ASSERT_TRUE(Eventually([&] { return receiver.Count() >= 3; })) << first->StderrText();

  receiver.Stop();
  for (int i = 1; i <= 4; ++i) AddPartition(first->port(), "B" + std::to_string(i));
  // Down for longer than --webhook-failing-after: marked failing, with the reason.
  ASSERT_TRUE(Eventually([&] { return WebhookList(*first).find("\tfailing\t3\t") != std::string::npos; }))
      << WebhookList(*first);
  EXPECT_TRUE(Contains(WebhookList(*first), ": connect: Connection refused\n"));
  first->Signal(SIGKILL);
  first->Stop();

  receiver.Start();
  ZebdProcess second({"--db", first->dbPath(), "--secret-key", first->keyPath()});
  for (int i = 1; i <= 3; ++i) AddPartition(second.port(), "C" + std::to_string(i));
  ASSERT_TRUE(Eventually([&] { return Distinct(receiver) == 10; })) << second.StderrText();
  // Every event arrived, in order; one sent again is the same event.
  const std::vector<int> ids = Ids(receiver.Posts());
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_EQ(std::set<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), std::set<int>(ids.begin(), ids.end()));
  EXPECT_TRUE(Eventually([&] { return WebhookList(second).find("\tok\t10\t") != std::string::npos; }))
      << WebhookList(second);
}

// One POST with the webhook client, run to its end: what went wrong, "" for a 2xx answer.
std::string PostOnce(const std::string& url, const std::string& caFile) {
  boost::asio::io_context ioc;
  auto tls = server::MakeWebhookTlsContext(caFile);
  std::string problem = "not done";
  server::WebhookChannel channel(ioc, *tls, server::ParseWebhookUrl(url));
  channel.Post("{}", {}, Millis(5000), [&problem](const std::string& what) { problem = what; });
  ioc.run();
  return problem;
}

TEST(WebhookTest, TlsReceiversAreVerified) {
  TempDir dir;
  MakeCertificate(dir / "cert.pem", dir / "key.pem");
  // zebd itself serves HTTPS here; it refuses a JSON body, which shows the TLS session stood.
  ZebdProcess receiver({"--tls-cert", dir / "cert.pem", "--tls-key", dir / "key.pem"});
  const std::string url = "https://127.0.0.1:" + std::to_string(receiver.port()) + "/";
  EXPECT_EQ("TLS: certificate verify failed", PostOnce(url, ""));
  EXPECT_EQ("answered 415 Unsupported Media Type", PostOnce(url, dir / "cert.pem"));
  EXPECT_EQ("connect: Connection refused", PostOnce("http://127.0.0.1:1/", ""));
}

TEST(WebhookCommandTest, RefusesBadInputStoresTheSecretSealedAndRemoves) {
  ZebdProcess zebd;
  const std::string secretFile = zebd.dir() + "/hook.secret";
  std::ofstream(secretFile) << "topsecret\n";
  const CommandResult ftp = AddWebhook(zebd, "ftp://hooks.example/", secretFile);
  EXPECT_EQ(2, ftp.exitCode);
  EXPECT_EQ(0u, ftp.err.find(
                    "zebd webhook: --url ftp://hooks.example/: the URL must start with http:// or https://\n"
                    "usage: zebd webhook add"))
      << ftp.err;
  const CommandResult unreadable = AddWebhook(zebd, "https://hooks.example/", zebd.dir() + "/none");
  EXPECT_EQ(1, unreadable.exitCode);
  EXPECT_EQ("zebd webhook: --secret-file " + zebd.dir() + "/none cannot be read\n", unreadable.err);
  ASSERT_EQ(0, AddWebhook(zebd, "https://hooks.example/", secretFile).exitCode);

  auto database = zebd.OpenDatabase();
  const std::string stored =
      database->Session().Query("SELECT Secret FROM WebhookSubscription").rows.at(0).at(0).AsText();
  EXPECT_EQ(0u, stored.find("{AES-256-GCM}")) << stored;
  EXPECT_FALSE(Contains(stored, "topsecret"));
  EXPECT_EQ("topsecret",
            zdl::OpenWebhookSecret(database->secretKey(), zdl::ReadWebhooks(database->Session()).at(0)));

  EXPECT_EQ("webhook 1 removed\n", RunZebd({"webhook", "remove", "--db", zebd.dbPath(), "1"}).out);
  const CommandResult again = RunZebd({"webhook", "remove", "--db", zebd.dbPath(), "1"});
  EXPECT_EQ(1, again.exitCode);
  EXPECT_EQ("zebd webhook: there is no webhook 1\n", again.err);
  EXPECT_EQ("ID\tSTATE\tDELIVERED\tMETHODS\tURL\tLAST ERROR\n", WebhookList(zebd));
}

// An SSE client of the admin listener.
class EventClient : public RawConnection {
 public:
  EventClient(int port, const std::string& target, const std::string& header = "") : RawConnection(port) {
    Send("GET " + target + " HTTP/1.1\r\nHost: zebd\r\n" + header + "\r\n");
  }
  // What has arrived once `frames` event frames are there (or at the timeout).
  std::string ReadFrames(std::size_t frames) {
    received_ += ReadUntil(
        fd_, [&](const std::string& in) { return Count(received_ + in) >= frames; }, Millis(10'000));
    return received_;
  }

 private:
  // The frames that have ended: their id lines come before the last blank line.
  static std::size_t Count(const std::string& text) {
    const std::size_t end = text.rfind("\n\n");
    return end == std::string::npos ? 0 : Occurrences(text.substr(0, end), "\nid: ");
  }
  std::string received_;
};

std::string Frames(const std::string& stream) {
  const std::size_t body = stream.find("\r\n\r\n");
  return body == std::string::npos ? stream : WithoutTime(stream.substr(body + 4));
}

TEST(EventsEndpointTest, ResumesAfterLastEventIdThenGoesLiveAndRefusesPrunedIds) {
  ZebdProcess zebd({"--admin-listen", "127.0.0.1:0"});
  std::vector<std::string> ids;
  for (int i = 1; i <= 3; ++i) ids.push_back(AddPartition(zebd.port(), "S" + std::to_string(i)));
  const auto frame = [&](int id) {
    return "id: " + std::to_string(id) +
           "\ndata: " + EventJson(id, "addRoutePartition", ids[id - 1], "S" + std::to_string(id)) + "\n\n";
  };

  EventClient resumed(zebd.adminPort(), "/events", "Last-Event-ID: 1\r\n");
  const std::string stream = resumed.ReadFrames(2);
  EXPECT_EQ(0u, stream.find("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n")) << stream;
  EXPECT_EQ(frame(2) + frame(3), Frames(stream));
  // Without an id, a client gets what comes from now on.
  EventClient live(zebd.adminPort(), "/events");
  ASSERT_TRUE(Eventually([&] {
    return Sample(BodyOf(AdminRequest(zebd.adminPort(), "/metrics")), "zebd_event_stream_clients") == 2;
  }));
  ids.push_back(AddPartition(zebd.port(), "S4"));
  EXPECT_EQ(frame(2) + frame(3) + frame(4), Frames(resumed.ReadFrames(3)));
  EXPECT_EQ(frame(4), Frames(live.ReadFrames(1)));
  EventClient fromStart(zebd.adminPort(), "/events?since=0");
  EXPECT_EQ(frame(1) + frame(2) + frame(3) + frame(4), Frames(fromStart.ReadFrames(4)));

  // Once events are pruned, asking for them is answered with the oldest kept.
  auto database = zebd.OpenDatabase();
  EXPECT_EQ(3, zdl::PruneChangeEvents(database->Session(), zdl::NowMicros() + 1));
  const std::string gone = "The events asked for are no longer kept; the oldest kept is 4.\n";
  EventClient pruned(zebd.adminPort(), "/events", "Last-Event-ID: 2\r\n");
  EXPECT_EQ("HTTP/1.1 410 Gone\r\nContent-Type: text/plain\r\nX-Zeb-Oldest-Event-ID: 4\r\nContent-Length: " +
                std::to_string(gone.size()) + "\r\nConnection: close\r\n\r\n" + gone,
            pruned.ReadResponse());
  EXPECT_EQ("HTTP/1.1 400 Bad Request", StatusLineOf(AdminRequest(zebd.adminPort(), "/events?since=x")));
}

bool Delivers(const ZebdProcess& node) {
  return Sample(BodyOf(AdminRequest(node.adminPort(), "/metrics")), "zebd_webhook_delivering") == 1;
}

TEST(WebhookTest, TwoNodesOnOneDatabaseDeliverEachEventOnceAndTakeOver) {
  const std::string server = PgScratchDatabase::ServerForTests();
  if (server.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
  PgScratchDatabase database(server, ZebdBuildStamp());
  Receiver receiver;
  std::unique_ptr<ZebdProcess> nodes[2];
  for (auto& node : nodes)
    node = std::make_unique<ZebdProcess>(
        std::vector<std::string>{"--db", database.location(), "--admin-listen", "127.0.0.1:0"});
  Subscribe(*nodes[0], receiver.Url());
  for (int i = 1; i <= 10; ++i) AddPartition(nodes[i % 2]->port(), "N" + std::to_string(i));
  ASSERT_TRUE(Eventually([&] { return receiver.Count() >= 10; }))
      << nodes[0]->StderrText() << nodes[1]->StderrText();
  ASSERT_TRUE(Eventually([&] { return Delivers(*nodes[0]) != Delivers(*nodes[1]); }));
  EXPECT_EQ(std::vector<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), Ids(receiver.Posts()));

  // The delivering node dies: the other takes over.
  const int holder = Delivers(*nodes[0]) ? 0 : 1;
  nodes[holder]->Signal(SIGKILL);
  nodes[holder]->Stop();
  AddPartition(nodes[1 - holder]->port(), "N11");
  ASSERT_TRUE(Eventually([&] { return Distinct(receiver) == 11; })) << nodes[1 - holder]->StderrText();
  EXPECT_TRUE(Delivers(*nodes[1 - holder]));
}

}  // namespace
}  // namespace zeb::test
