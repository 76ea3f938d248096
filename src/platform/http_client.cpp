#include "platform/http_client.h"

#include <curl/curl.h>

#include <chrono>
#include <condition_variable>

namespace quen::platform {

namespace {

struct TransferState {
  std::string* body;
  std::mutex* lock;
  std::atomic<bool>* abort;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* st = static_cast<TransferState*>(user);
  const size_t n = size * count;
  std::lock_guard<std::mutex> hold(*st->lock);
  const size_t room = static_cast<size_t>(HttpGet::kMaxBody) - st->body->size();
  if (n > room) {
    // The body keeps what fits; a short count ends the transfer.
    st->body->append(data, room);
    return room;
  }
  st->body->append(data, n);
  return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* st = static_cast<TransferState*>(user);
  return st->abort->load() ? 1 : 0;
}

// Wakes WaitFor when a worker ends.
std::mutex g_done_lock;
std::condition_variable g_done_signal;

}  // namespace

void InitHttp() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpGet::~HttpGet() {
  Abort();
}

bool HttpGet::Start(const std::string& url) {
  if (Busy()) return false;
  InitHttp();
  {
    std::lock_guard<std::mutex> hold(body_lock_);
    body_.clear();
  }
  url_ = url;
  done_ = false;
  abort_ = false;
  worker_ = std::thread([this, url] { Run(url); });
  return true;
}

void HttpGet::Run(std::string url) {
  if (CURL* curl = curl_easy_init()) {
    TransferState st{&body_, &body_lock_, &abort_};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kConnectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(kTransferTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &st);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &st);
    curl_easy_perform(curl);  // any failure keeps what arrived
    curl_easy_cleanup(curl);
  }
  {
    std::lock_guard<std::mutex> hold(g_done_lock);
    done_ = true;
  }
  g_done_signal.notify_all();
}

bool HttpGet::WaitFor(int64_t ms) {
  std::unique_lock<std::mutex> hold(g_done_lock);
  return g_done_signal.wait_for(hold, std::chrono::milliseconds(ms),
                                [this] { return done_.load(); });
}

void HttpGet::Join() {
  if (worker_.joinable()) worker_.join();
}

void HttpGet::Abort() {
  abort_ = true;
  Join();
}

std::string HttpGet::Body() const {
  std::lock_guard<std::mutex> hold(body_lock_);
  return body_;
}

}  // namespace quen::platform
