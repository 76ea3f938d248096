#include "platform/av_io.h"

namespace quen::platform::av {

namespace {

int ReadPacket(void* opaque, uint8_t* buf, int size) {
  const int64_t n = static_cast<IByteSource*>(opaque)->Read(buf, size);
  if (n < 0) return AVERROR(EIO);
  return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int64_t SeekPacket(void* opaque, int64_t offset, int whence) {
  auto* s = static_cast<IByteSource*>(opaque);
  if (whence & AVSEEK_SIZE) return s->Size();
  whence &= ~AVSEEK_FORCE;
  int64_t base = 0;
  if (whence == SEEK_CUR) base = s->Tell();
  if (whence == SEEK_END) {
    base = s->Size();
    if (base < 0) return -1;
  }
  return s->Seek(base + offset);
}

}  // namespace

std::string ErrorText(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

Input::~Input() {
  if (fmt_) avformat_close_input(&fmt_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

bool Input::Open(IByteSource& source, std::string* why) {
  // Damaged game files are reported by the player in its own words, once.
  static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
  (void)quiet;
  constexpr int kBuffer = 1 << 15;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
  if (!buffer) return false;
  io_ = avio_alloc_context(buffer, kBuffer, 0, &source, ReadPacket, nullptr, SeekPacket);
  if (!io_) {
    av_free(buffer);
    return false;
  }
  fmt_ = avformat_alloc_context();
  if (!fmt_) return false;
  fmt_->pb = io_;
  fmt_->flags |= AVFMT_FLAG_CUSTOM_IO;
  int r = avformat_open_input(&fmt_, nullptr, nullptr, nullptr);
  if (r < 0) {
    // avformat_open_input frees the context on failure.
    fmt_ = nullptr;
    if (why) *why = ErrorText(r);
    return false;
  }
  r = avformat_find_stream_info(fmt_, nullptr);
  if (r < 0) {
    if (why) *why = ErrorText(r);
    return false;
  }
  return true;
}

}  // namespace quen::platform::av
