// The HTTP request: a PR_SOURCE write fetches the URL on a worker thread; the update after the
// worker ended queues PR_ONPLAYEND, and PR_TEXT reads the response as Shift-JIS lines.
#pragma once

#include <memory>
#include <string>

#include "components/quen_object.h"

namespace quen {

namespace platform {
class HttpGet;
}

class TQuenHttp : public TQuenComponent {
 public:
  explicit TQuenHttp(TQuenBaseList* owner);
  // Aborts a running transfer and waits for its worker.
  ~TQuenHttp() override;
  const char* ClassName() const override { return "TQuenHttp"; }
  uint8_t CompoType() const override { return LT_HTTP; }
  TQuenKind Kind() const override { return TQuenKind::Htp; }

  // Requests are never paused and never sit in a cabinet.
  bool IsPaused() const override { return false; }
  bool Update(int32_t frame_ms) override;
  bool ReadResponse(std::string& bytes) const override;
  bool Transferring() const;
  // Headless runs wait in the first update after a request until it has ended (at most the
  // transfer time-out), so the completion always comes in the same frame.
  static void SetWaitForCompletion(bool wait);

  // PR_TEXT of a response: EUC-JP bytes as Shift-JIS, lines (CR, LF or CR LF) joined by 0x01.
  static std::string ResponseText(const std::string& bytes);

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  std::unique_ptr<platform::HttpGet> client_;
};

}  // namespace quen
