#include "components/quen_http.h"

#include <atomic>

#include "base/sjis.h"
#include "components/quen_base_list.h"
#include "platform/http_client.h"

namespace quen {

namespace {
std::atomic<bool> g_wait_for_completion{false};
}

TQuenHttp::TQuenHttp(TQuenBaseList* owner)
    : TQuenComponent(owner), client_(std::make_unique<platform::HttpGet>()) {}

TQuenHttp::~TQuenHttp() {
  // The transfer is cut short rather than waited for: destruction happens inside the update
  // pass or a reset, where the frame cannot wait a minute for a slow server.
  client_->Abort();
}

void TQuenHttp::SetWaitForCompletion(bool wait) {
  g_wait_for_completion = wait;
}

bool TQuenHttp::Transferring() const {
  return client_->Busy();
}

bool TQuenHttp::ReadResponse(std::string& bytes) const {
  // The buffer is read under its lock, so another request may take it while this one runs.
  bytes = client_->Body();
  return true;
}

std::string TQuenHttp::ResponseText(const std::string& bytes) {
  if (bytes.empty()) return {};
  const std::string text = sjis::EucJpToSjis(bytes);
  std::string out;
  out.reserve(text.size());
  bool pending_break = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      pending_break = true;
      continue;
    }
    if (pending_break) out += '\x01';
    pending_break = false;
    out += c;
  }
  return out;
}

bool TQuenHttp::Update(int32_t /*frame_ms*/) {
  if (!client_->Busy()) return false;
  if (!client_->Finished()) {
    if (!g_wait_for_completion) return false;
    client_->WaitFor(platform::HttpGet::kTransferTimeoutMs + platform::HttpGet::kConnectTimeoutMs);
  }
  client_->Join();
  FireEvent(PR_ONPLAYEND, {}, false);
  return false;
}

TPropValue TQuenHttp::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(client_->Url());
    case PR_TEXT:
      // Read only between transfers: a running one is still writing the buffer.
      return TPropValue::OfStr(
          client_->Busy() && !client_->Finished() ? std::string() : ResponseText(client_->Body()));
    default:
      return TQuenComponent::ReadOwn(code);
  }
}

void TQuenHttp::WriteOwn(uint8_t code, const TPropValue& value) {
  if (code != PR_SOURCE) {
    TQuenComponent::WriteOwn(code, value);
    return;
  }
  if (client_->Busy()) return;  // one transfer at a time
  std::string url = value.Str;
  if (!url.empty() && url[0] == '!') {
    // "!NAME": the URL is what another request received.
    const TQuenObject* other = owner_ ? owner_->FindComponent(url.substr(1)) : nullptr;
    std::string bytes;
    url = other && other->ReadResponse(bytes) ? bytes : std::string();
  }
  client_->Start(url);
}

}  // namespace quen
