// Feeds arbitrary bytes to the content stream reader, or (odd first byte) to the settings
// record. Whatever loads is written and read back to the same bytes, goes through its listing
// to the same bytes, and is expanded and laid out as a text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "text/content_stream.h"
#include "text/kv_word.h"
#include "text/text_listing.h"

namespace {

std::string Write(const quen::TContentImage& c) {
  quen::TKvMemoryStream m;
  quen::WriteContent(m, c);
  return m.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (mode & 1) {
    quen::TKvWord w;
    const int32_t version = 100 + (mode >> 1) % 16;
    quen::TKvMemoryStream in(bytes);
    try {
      w.LoadSettings(in, version);
    } catch (const quen::EQuenError&) {
      return 0;
    }
    quen::TKvMemoryStream out;
    w.SaveSettings(out, version);
    // A name given a negative length reads as empty and is written back as 0.
    quen::TKvWord again;
    out.SetPosition(0);
    again.LoadSettings(out, version);
    quen::TKvMemoryStream out2;
    again.SaveSettings(out2, version);
    if (out2.Data() != out.Data()) std::abort();
    return 0;
  }
  quen::TKvMemoryStream in(bytes);
  quen::TContentImage c;
  try {
    c = quen::ReadContent(in);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  const std::string written = Write(c);
  quen::TKvMemoryStream reread(written);
  if (Write(quen::ReadContent(reread)) != written) std::abort();
  if (Write(quen::ParseContentListing(quen::ContentListing(c))) != written) std::abort();

  quen::TKvWord w;
  quen::TKvMemoryStream load(written);
  w.LoadContent(load);
  w.settings.line_width = mode;
  w.settings.page_height = mode / 2;
  w.settings.paging = (mode & 2) != 0;
  w.Values() = {
      "a=b\x01"
      "c"};
  const int32_t last = w.ExpandVariables(0, -1, (mode & 4) != 0);
  quen::TWdPageList pages;
  w.LayOut(pages, 0, last);
  quen::TKvMemoryStream saved;
  w.SaveContent(saved);
  quen::TKvWord back;
  saved.SetPosition(0);
  back.LoadContent(saved);
  quen::TKvMemoryStream saved2;
  back.SaveContent(saved2);
  if (saved2.Data() != saved.Data()) std::abort();
  return 0;
}
