// Writer of layered pictures ("Brix106").
#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "base/error.h"
#include "base/le.h"
#include "base/stream.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_internal.h"
#include "imaging/brix_messages.h"
#include "imaging/brix_scramble.h"
#include "imaging/pixel_convert.h"
#include "platform/host_fs.h"

namespace quen {

namespace {

std::string Deflate(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                1) != Z_OK) {
    RaiseWriteError();
  }
  out.resize(size);
  return out;
}

std::string EncodeJpeg(const TDIBSurface& pic, int32_t quality) {
  TDIBSurface rgb;
  const TDIBSurface* src = &pic;
  if (pic.BitCount() != 24) {
    rgb.SetSize(pic.Width(), pic.Height(), 24);
    ConvertPixels(pic, rgb);
    src = &rgb;
  }
  tjhandle tj = tjInitCompress();
  if (!tj) RaiseWriteError();
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  const int rc = tjCompress2(tj, src->Bits(), src->Width(), src->Pitch(), src->Height(), TJPF_BGR,
                             &buf, &size, TJSAMP_444, std::clamp(quality, 1, 100), 0);
  std::string out;
  if (rc == 0) out.assign(reinterpret_cast<const char*>(buf), size);
  tjFree(buf);
  tjDestroy(tj);
  if (rc != 0) RaiseWriteError();
  return out;
}

class TWriter {
 public:
  TWriter(TStream& s, int32_t compression, int32_t quality, int32_t key)
      : s_(s), compression_(compression), quality_(quality), key_(key) {}

  void Chunk(const TDIBSurface* pic, bool mask) {
    if (!pic || !pic->Bits()) {
      WriteInt32(s_, 0);
      return;
    }
    std::string data;
    if (compression_ == BC_NONREVERSIBLE && !mask) {
      data = EncodeJpeg(*pic, quality_);
    } else {
      const int32_t h = pic->Height();
      const int64_t rowBytes = TDIBSurface::RowBytes(pic->Width(), pic->StorageBitCount());
      data.reserve(static_cast<size_t>(rowBytes * h));
      if (key_ != 0) {
        TBrixScramble order(key_, h);
        for (int32_t i = 0; i < h; ++i) {
          const uint8_t* row = pic->ScanLine(order.Next());
          data.append(reinterpret_cast<const char*>(row), static_cast<size_t>(rowBytes));
        }
      } else {
        for (int32_t y = 0; y < h; ++y) {
          data.append(reinterpret_cast<const char*>(pic->ScanLine(y)),
                      static_cast<size_t>(rowBytes));
        }
      }
      if (compression_ == BC_DEFAULT || (mask && compression_ == BC_NONREVERSIBLE)) {
        data = Deflate(data);
      }
    }
    if (data.size() > INT32_MAX) RaiseWriteError();
    WriteInt32(s_, static_cast<int32_t>(data.size()));
    s_.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  }

  void Table(const TDIBSurface& pic) {
    if (pic.BitCount() > 8) return;
    const int32_t n = 1 << pic.BitCount();
    for (int32_t i = 0; i < n; ++i) {
      const TRGBQuad& q = pic.ColorTable()[i];
      const uint8_t e[4] = {q.Blue, q.Green, q.Red, 0};
      s_.WriteBuffer(e, 4);
    }
  }

  void Regions(const std::vector<TRect>& list) {
    WriteInt32(s_, static_cast<int32_t>(list.size()));
    for (const TRect& r : list) {
      WriteInt32(s_, r.Left);
      WriteInt32(s_, r.Top);
      WriteInt32(s_, r.Right);
      WriteInt32(s_, r.Bottom);
    }
  }

 private:
  TStream& s_;
  int32_t compression_;
  int32_t quality_;
  int32_t key_;
};

}  // namespace

void TBrixFrameList::SaveToStream(TStream& stream, int32_t compression, int32_t quality) {
  SaveToStream(stream, compression, quality, Key != 0);
}

void TBrixFrameList::SaveToStream(TStream& stream, int32_t compression, int32_t quality,
                                  bool scramble) {
  if (frames_.empty()) RaiseError(msg::kBrixNothingToSave);
  if (scramble && Key == 0) RaiseError(msg::kBrixKeyNotSet);
  if (compression < BC_DEFAULT || compression > BC_NONREVERSIBLE) compression = BC_DEFAULT;
  quality = std::clamp(quality, 1, 100);
  // Every layer is stored at its frame's size and depth, and a frame needs pixels.
  for (const auto& frame : frames_) {
    const TDIBSurface& first = frame->Count() > 0 ? frame->Layer(0).Picture : frame->Picture;
    if (!first.Bits() || first.Width() <= 0 || first.Height() <= 0) {
      RaiseError(msg::kBrixNothingToSave);
    }
    for (int32_t i = 1; i < frame->Count(); ++i) {
      const TDIBSurface& p = frame->Layer(i).Picture;
      if (p.Width() != first.Width() || p.Height() != first.Height() ||
          p.BitCount() != first.BitCount() || !p.Bits()) {
        RaiseError(msg::kBrixLayerMismatch);
      }
    }
  }
  const int32_t kind = scramble ? BC_NONE : compression;
  // Built in memory so that a refused picture leaves the target stream untouched.
  TKvMemoryStream out;
  out.WriteBuffer("Brix106", 7);
  WriteInt32(out, 40);
  uint8_t rec[40] = {};
  const TBrixFrame& first = *frames_[0];
  le::Put32(rec + 0, 106);
  le::Put32(rec + 4, static_cast<uint32_t>(first.Width()));
  le::Put32(rec + 8, static_cast<uint32_t>(first.Height()));
  le::Put32(rec + 12, static_cast<uint32_t>(first.BitCount()));
  le::Put32(rec + 16, static_cast<uint32_t>(frames_.size()));
  rec[20] = 1;
  rec[21] = scramble ? 1 : 0;
  rec[22] = static_cast<uint8_t>(kind);
  le::Put32(rec + 24, static_cast<uint32_t>(BackgroundColor));
  rec[36] = OpaqueBottom ? 1 : 0;
  rec[37] = static_cast<uint8_t>(quality);
  out.WriteBuffer(rec, 40);

  TWriter w(out, kind, quality, scramble ? Key : 0);
  for (const auto& frame : frames_) {
    WriteString(out, frame->Name);
    WriteInt32(out, frame->ColorKey);
    WriteInt32(out, frame->Duration);
    WriteByte(out, 0);
    WriteInt32(out, 0);
    if (frame->Count() == 0) {
      const TDIBSurface& pic = frame->Picture;
      WriteInt32(out, 1);
      WriteInt32(out, pic.Width());
      WriteInt32(out, pic.Height());
      WriteInt32(out, pic.BitCount());
      w.Table(pic);
      WriteInt32(out, 0);
      WriteInt32(out, 0);
      WriteByte(out, 1);
      WriteInt32(out, -1);
      WriteInt32(out, 255);
      WriteByte(out, pic.Mask() ? 1 : 0);
      WriteString(out, "Layer");
      w.Chunk(&pic, false);
      w.Chunk(pic.Mask(), true);
    } else {
      const TDIBSurface& base = frame->Layer(0).Picture;
      WriteInt32(out, frame->Count());
      WriteInt32(out, base.Width());
      WriteInt32(out, base.Height());
      WriteInt32(out, base.BitCount());
      w.Table(base);
      for (int32_t i = 0; i < frame->Count(); ++i) {
        const TBrixLayer& layer = frame->Layer(i);
        WriteInt32(out, 0);
        WriteInt32(out, 0);
        WriteByte(out, layer.Visible ? 1 : 0);
        WriteInt32(out, layer.ColorKey);
        WriteInt32(out, layer.Alpha);
        WriteByte(out, layer.MaskValid ? 1 : 0);
        WriteString(out, layer.Name);
        w.Chunk(&layer.Picture, false);
        w.Chunk(layer.Picture.Mask(), true);
      }
    }
    w.Regions(frame->DrawRegions);
    w.Regions(frame->SecondRegions);
  }
  stream.WriteBuffer(out.Data().data(), static_cast<int64_t>(out.Data().size()));
}

void TBrixFrameList::SaveToFile(const std::string& path) {
  TKvMemoryStream out;
  SaveToStream(out, BC_DEFAULT, 70);
  // Written beside the target and renamed over it, so a failed write never loses the old file.
  if (!platform::WriteFileAtomically(path, out.Data())) RaiseWriteError();
}

}  // namespace quen
