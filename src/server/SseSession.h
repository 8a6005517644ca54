// One client of GET /events on the admin listener: the connection, taken over from the admin
// exchange once its request was read and its credentials checked, and the queue of bytes the
// event stream hands it. The stream's thread queues; the listener's thread writes, one piece at
// a time, and watches for the client closing. A write that makes no progress for kWriteTimeout
// ends the connection.
#pragma once

#include <algorithm>
#include <atomic>
#include <boost/asio/buffer.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/stream_traits.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "server/EventStream.h"
#include "server/HttpSession.h"

namespace zeb::server {

template <class Stream>
class SseSession : public EventSink, public std::enable_shared_from_this<SseSession<Stream>> {
 public:
  static constexpr std::chrono::seconds kWriteTimeout{30};

  explicit SseSession(Stream&& stream) : stream_(std::move(stream)) {}

  void Accept() override {
    // Queued at once, so that it goes before the first event; the body has no length and ends
    // when the connection does.
    Queue(std::make_shared<const std::string>(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
        "Connection: close\r\n\r\n"));
    Post([](SseSession& self) { self.WatchForClose(); });
  }

  void Refuse(std::int64_t oldestKept) override {
    const std::string body =
        "The events asked for are no longer kept; the oldest kept is " + std::to_string(oldestKept) + ".\n";
    closeWhenWritten_ = true;
    Queue(std::make_shared<const std::string>(
        "HTTP/1.1 410 Gone\r\nContent-Type: text/plain\r\nX-Zeb-Oldest-Event-ID: " +
        std::to_string(oldestKept) + "\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body));
  }

  void Send(std::shared_ptr<const std::string> bytes) override { Queue(std::move(bytes)); }

  std::size_t Queued() const override { return queued_.load(); }

  void Cut() override {
    gone_ = true;
    Post([](SseSession& self) { self.Close(); });
  }

  bool Gone() const override { return gone_.load(); }

 private:
  static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;
  static constexpr std::size_t kMaxGathered = 64;  // frames per write

  boost::beast::tcp_stream& Lowest() { return boost::beast::get_lowest_layer(stream_); }

  template <class Work>
  void Post(Work work) {
    boost::asio::post(stream_.get_executor(), [self = this->shared_from_this(), work] { work(*self); });
  }

  void Queue(std::shared_ptr<const std::string> bytes) {
    if (gone_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    queued_ += bytes->size();
    pending_.push_back(std::move(bytes));
    if (writing_) return;
    writing_ = true;
    Post([](SseSession& self) { self.WriteNext(); });
  }

  // On the listener's thread. Writes every frame queued so far in one gathered write: under a
  // burst of changes the stream queues faster than one write per frame could keep up.
  void WriteNext() {
    std::vector<std::shared_ptr<const std::string>> batch;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (pending_.empty() || gone_) {
        writing_ = false;
        // The watch for a close must not time out between writes.
        Lowest().expires_never();
        if (closeWhenWritten_ && pending_.empty()) Close();
        return;
      }
      const std::size_t count = std::min(pending_.size(), kMaxGathered);
      batch.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    }
    std::vector<boost::asio::const_buffer> buffers;
    buffers.reserve(batch.size());
    for (const auto& bytes : batch) buffers.emplace_back(boost::asio::buffer(*bytes));
    Lowest().expires_after(kWriteTimeout);
    boost::asio::async_write(stream_, buffers,
                             [self = this->shared_from_this(), batch = std::move(batch)](
                                 boost::beast::error_code ec, std::size_t) {
                               {
                                 std::lock_guard<std::mutex> lock(self->mutex_);
                                 for (const auto& bytes : batch) {
                                   self->pending_.pop_front();
                                   self->queued_ -= bytes->size();
                                 }
                               }
                               if (ec) return self->Close();
                               self->WriteNext();
                             });
  }

  // A client sends nothing after its request; a read that ends means it has gone.
  void WatchForClose() {
    stream_.async_read_some(boost::asio::buffer(scratch_),
                            [self = this->shared_from_this()](boost::beast::error_code ec, std::size_t) {
                              if (ec) return self->Close();
                              self->WatchForClose();
                            });
  }

  void Close() {
    gone_ = true;
    boost::beast::error_code ec;
    Lowest().socket().shutdown(boost::asio::ip::tcp::socket::shutdown_both, ec);
    Lowest().socket().close(ec);
  }

  Stream stream_;
  std::mutex mutex_;
  std::deque<std::shared_ptr<const std::string>> pending_;  // guarded by mutex_
  bool writing_ = false;                                    // guarded by mutex_
  std::atomic<bool> closeWhenWritten_{false};
  std::atomic<std::size_t> queued_{0};
  std::atomic<bool> gone_{false};
  char scratch_[256];
};

}  // namespace zeb::server
