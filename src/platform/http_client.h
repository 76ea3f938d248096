// One HTTP GET on a worker thread of its own: the body received lands in a buffer the caller
// reads once the worker has ended. Only http and https are fetched (redirects too, at most 5);
// a connection must come within 10 s and the whole transfer within 60 s; a body is cut at
// 16 MiB. A failure of any kind ends the transfer quietly with what arrived.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace quen::platform {

// Sets the HTTP library up; the player calls it once at start-up (a first transfer would too).
void InitHttp();

class HttpGet {
 public:
  static constexpr int64_t kMaxBody = int64_t{16} << 20;
  static constexpr int64_t kConnectTimeoutMs = 10000;
  static constexpr int64_t kTransferTimeoutMs = 60000;

  HttpGet() = default;
  // Aborts a running transfer and waits for its worker.
  ~HttpGet();
  HttpGet(const HttpGet&) = delete;
  HttpGet& operator=(const HttpGet&) = delete;

  // Empties the body and starts fetching url; false (and nothing changes) while a worker runs.
  bool Start(const std::string& url);
  // A worker was started and has not been joined yet.
  bool Busy() const { return worker_.joinable(); }
  // The worker has ended (Join then returns at once).
  bool Finished() const { return done_.load(); }
  // Waits up to ms for the worker to end; true when it has.
  bool WaitFor(int64_t ms);
  // Waits for the worker and forgets it.
  void Join();
  // Asks a running transfer to stop as soon as it can, then joins it.
  void Abort();
  // The bytes received so far (a copy taken under the buffer's lock).
  std::string Body() const;
  const std::string& Url() const { return url_; }

 private:
  void Run(std::string url);

  std::string url_;
  std::thread worker_;
  std::atomic<bool> done_{false};
  std::atomic<bool> abort_{false};
  mutable std::mutex body_lock_;
  std::string body_;
};

}  // namespace quen::platform
