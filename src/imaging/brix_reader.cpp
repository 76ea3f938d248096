// Reader of layered pictures, every version from the magic-less 0 to 106.
#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/le.h"
#include "base/stream.h"
#include "imaging/brix_compose.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_internal.h"
#include "imaging/brix_messages.h"
#include "imaging/brix_scramble.h"
#include "imaging/pixel_convert.h"
#include "platform/fast_inflate.h"

namespace quen {

[[noreturn]] void RaiseBrixDamaged(const char* what) {
  RaiseErrorFmt(msg::kBrixDamaged, what);
}

bool IsBrixBitCount(int32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
         bits == 32;
}

void ReadBrixHeader(TStream& s, TBrixHeader& h) {
  h = TBrixHeader{};
  char magic[7];
  s.ReadBuffer(magic, 7);
  if (std::memcmp(magic, "Brix", 4) != 0) {
    s.Seek(-7, TSeekOrigin::soCurrent);
    h.Version = 0;
  } else {
    for (int i = 4; i < 7; ++i) {
      if (magic[i] < '0' || magic[i] > '9') RaiseBrixDamaged("version");
    }
    h.Version = (magic[4] - '0') * 100 + (magic[5] - '0') * 10 + (magic[6] - '0');
    if (h.Version < 100 || h.Version > 106) RaiseBrixDamaged("version");
  }
  if (h.Version < 103) {
    h.FrameCount = ReadInt32(s);
    ReadByte(s);
    if (h.Version >= 102) h.BackgroundColor = ReadInt32(s);
  } else {
    const int32_t size = ReadInt32(s);
    // The fields up to the compression kind are needed; a shorter record is damaged, later
    // fields of a short record count as 0, and whatever follows the 40 bytes we know is skipped.
    if (size < 24) RaiseBrixDamaged("header size");
    uint8_t rec[40] = {};
    const int32_t known = std::min(size, 40);
    s.ReadBuffer(rec, known);
    if (size > 40) {
      if (size - 40 > s.Remaining()) RaiseReadError();
      s.Seek(size - 40, TSeekOrigin::soCurrent);
    }
    h.Width = le::I32(rec + 4);
    h.Height = le::I32(rec + 8);
    h.BitCount = le::I32(rec + 12);
    h.FrameCount = le::I32(rec + 16);
    h.Scrambled = rec[21] != 0;
    h.Compression = rec[22];
    h.BackgroundColor = le::I32(rec + 24);
    h.BlockWidth = le::I32(rec + 28);
    h.BlockHeight = le::I32(rec + 32);
    h.OpaqueBottom = h.Version >= 105 && rec[36] != 0;
    h.Quality = rec[37];
    if (h.Compression > BC_NONREVERSIBLE) RaiseBrixDamaged("compression");
  }
  if (h.FrameCount < 0) RaiseBrixDamaged("frame count");
}

bool BrxContentCompressed(const std::string& content) {
  try {
    TViewStream s(content);
    TBrixHeader h;
    ReadBrixHeader(s, h);
    return h.Compression != BC_NONE;
  } catch (const EQuenError&) {
    return false;
  }
}

namespace {

// Smallest number of bytes a frame and a layer take in the file, to check counts before
// anything is allocated.
constexpr int64_t kMinFrameBytes = 33;
constexpr int64_t kMinLayerBytes = 25;

// Inflates into out (growing up to cap when grow is set); returns the bytes produced.
// Inflation stops at the size the header implies, however long the stream would run.
template <typename Room>
int64_t InflateWith(const std::string& chunk, int64_t cap, Room room) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) RaiseBrixDamaged("zlib");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
  z.avail_in = static_cast<uInt>(chunk.size());
  int64_t done = 0;
  int rc = Z_OK;
  while (done < cap) {
    int64_t space = 0;
    uint8_t* at = room(done, space);
    space = std::min<int64_t>(space, 1 << 30);
    z.next_out = at;
    z.avail_out = static_cast<uInt>(space);
    rc = inflate(&z, Z_NO_FLUSH);
    done += space - z.avail_out;
    if (rc != Z_OK) break;
  }
  inflateEnd(&z);
  if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) RaiseBrixDamaged("zlib");
  return done;
}

// Into memory that grows with the output, so that a short stream costs little.
std::string Inflate(const std::string& chunk, int64_t cap) {
  std::string out;
  const int64_t done = InflateWith(chunk, cap, [&](int64_t used, int64_t& space) {
    if (used == static_cast<int64_t>(out.size())) {
      out.resize(
          static_cast<size_t>(std::min<int64_t>(cap, std::max<int64_t>(used * 2, 64 << 10))));
    }
    space = static_cast<int64_t>(out.size()) - used;
    return reinterpret_cast<uint8_t*>(out.data()) + used;
  });
  out.resize(static_cast<size_t>(done));
  return out;
}

// Straight into a buffer of cap bytes. A well-formed chunk inflates in one go; anything odd
// (a stream longer than the picture, cut short or damaged) takes the streaming path, whose
// results on such chunks define what the reader shows.
int64_t InflateInto(const std::string& chunk, uint8_t* out, int64_t cap) {
  size_t produced = 0;
  if (cap > 0 &&
      platform::FastZlibInflate(chunk.data(), chunk.size(), out, static_cast<size_t>(cap),
                                &produced) &&
      static_cast<int64_t>(produced) == cap)
    return cap;
  return InflateWith(chunk, cap, [&](int64_t used, int64_t& space) {
    space = cap - used;
    return out + used;
  });
}

class TReader {
 public:
  TReader(TStream& s, TBrixFrameList& list) : s_(s), list_(list) {}

  void Run(bool firstFrameOnly, bool keepLayers, bool makeMasks);

 private:
  void ReadFrame(TBrixFrame& frame, int32_t index);
  void ReadLayer(TBrixFrame& frame, int32_t frameIndex, TBrixLayer& layer);
  void SizePicture(TDIBSurface& pic, int32_t w, int32_t h, int32_t bits);
  void DecodeChunk(const std::string& chunk, TDIBSurface& target, bool mask, int32_t frameIndex);
  void DecodeJpeg(const std::string& chunk, TDIBSurface& target);
  void DecodeBlocks(const std::string& data, TDIBSurface& target, bool mask, int32_t frameIndex);
  std::vector<TRect> ReadRegions();
  void AfterLoad(TBrixFrame& frame, bool keepLayers);

  TStream& s_;
  TBrixFrameList& list_;
  TBrixHeader h_;
  int64_t used_ = 0;
  bool keep_layers_ = false;
};

void TReader::SizePicture(TDIBSurface& pic, int32_t w, int32_t h, int32_t bits) {
  // Counted at the larger of the stored depth and the depth the load converts to, so a
  // picture of 1-bit rows cannot grow past the budget once converted.
  const int32_t converted =
      list_.TargetBitCount > 0 ? list_.TargetBitCount : (bits <= 8 ? 24 : bits);
  const int32_t counted = std::max(bits == 15 ? 16 : bits, converted == 15 ? 16 : converted);
  const int64_t bytes = static_cast<int64_t>(TDIBSurface::RowBytes(w, counted)) * h;
  used_ += bytes;
  if (used_ > list_.MaxDecodedBytes) RaiseBrixDamaged("too large");
  pic.SetSize(w, h, bits);
}

void TReader::Run(bool firstFrameOnly, bool keepLayers, bool makeMasks) {
  keep_layers_ = keepLayers;
  ReadBrixHeader(s_, h_);
  list_.Version = h_.Version;
  list_.BackgroundColor = h_.BackgroundColor;
  list_.OpaqueBottom = h_.OpaqueBottom;
  int32_t count = h_.FrameCount;
  if (firstFrameOnly) count = std::min(count, 1);
  if (count > s_.Remaining() / kMinFrameBytes) RaiseReadError();
  for (int32_t i = 0; i < count; ++i) ReadFrame(list_.AddFrame(), i);
  // Conversions wait until every frame is read: block entries of later frames copy from the
  // layers as they were decoded.
  if (makeMasks) {
    for (int32_t i = 0; i < list_.Count(); ++i) AfterLoad(list_.Frame(i), keepLayers);
  }
  if (!keepLayers) {
    for (int32_t i = 0; i < list_.Count(); ++i) list_.Frame(i).ClearLayers();
  }
}

void TReader::ReadFrame(TBrixFrame& frame, int32_t index) {
  frame.Name = ReadString(s_);
  frame.ColorKey = ReadInt32(s_);
  frame.Duration = ReadInt32(s_);
  ReadByte(s_);
  ReadInt32(s_);
  const int32_t layers = ReadInt32(s_);
  const int32_t w = ReadInt32(s_);
  const int32_t h = ReadInt32(s_);
  const int32_t bits = ReadInt32(s_);
  if (layers < 0) RaiseBrixDamaged("layer count");
  if (w <= 0 || h <= 0 || w > TDIBSurface::kMaxSide || h > TDIBSurface::kMaxSide) {
    RaiseBrixDamaged("size");
  }
  if (!IsBrixBitCount(bits)) RaiseBrixDamaged("bit count");
  if (layers > s_.Remaining() / kMinLayerBytes) RaiseReadError();
  SizePicture(frame.Picture, w, h, bits);
  TColorTable& table = frame.Picture.ColorTable();
  table.fill(TRGBQuad{});
  if (bits <= 8) {
    uint8_t entries[256 * 4];
    const int32_t n = 1 << bits;
    s_.ReadBuffer(entries, n * 4);
    for (int32_t i = 0; i < n; ++i) {
      table[i] = TRGBQuad{entries[4 * i], entries[4 * i + 1], entries[4 * i + 2], 0};
    }
  }
  frame.ColorKeyColor = frame.ColorKey >= 0 ? BrixKeyColor(frame.Picture, frame.ColorKey) : -1;
  FillBrixBackground(frame.Picture, list_.BackgroundColor);

  bool firstVisible = true;
  for (int32_t i = 0; i < layers; ++i) {
    TBrixLayer& layer = frame.AddLayer();
    ReadLayer(frame, index, layer);
    if (!layer.Visible) continue;
    const bool masked = layer.HasMask() && layer.MaskValid;
    if (firstVisible && masked) frame.Picture.CreateMask() = *layer.Picture.Mask();
    if (masked && i != 0) {
      frame.Picture.MakeIndependent();
      BrixBlendMask(frame.Picture, layer.Picture, *layer.Picture.Mask());
    } else if ((layer.ColorKey == -1 || (firstVisible && list_.OpaqueBottom)) &&
               layer.Alpha > 254) {
      // A full copy shares the layer's pixels until somebody draws on the picture.
      frame.Picture.ShareBits(layer.Picture);
    } else {
      frame.Picture.MakeIndependent();
      BrixBlendAlpha(frame.Picture, layer.Picture, layer.Alpha, layer.ColorKey);
    }
    firstVisible = false;
  }
  if (keep_layers_) frame.Picture.MakeIndependent();
  if (h_.Version >= 104) {
    frame.DrawRegions = ReadRegions();
    frame.SecondRegions = ReadRegions();
  }
}

std::vector<TRect> TReader::ReadRegions() {
  const int32_t n = ReadInt32(s_);
  std::vector<TRect> out;
  if (n <= 0) return out;
  if (n > s_.Remaining() / 16) RaiseReadError();
  out.resize(static_cast<size_t>(n));
  for (TRect& r : out) {
    r.Left = ReadInt32(s_);
    r.Top = ReadInt32(s_);
    r.Right = ReadInt32(s_);
    r.Bottom = ReadInt32(s_);
  }
  return out;
}

void TReader::ReadLayer(TBrixFrame& frame, int32_t frameIndex, TBrixLayer& layer) {
  const TDIBSurface& pic = frame.Picture;
  SizePicture(layer.Picture, pic.Width(), pic.Height(), pic.BitCount());
  layer.Picture.ColorTable() = pic.ColorTable();
  ReadInt32(s_);
  ReadInt32(s_);
  layer.Visible = ReadByte(s_) != 0;
  layer.ColorKey = ReadInt32(s_);
  layer.Alpha = ReadInt32(s_);
  layer.MaskValid = h_.Version >= 101 && ReadByte(s_) != 0;
  layer.Name = ReadString(s_);
  const int32_t size = ReadInt32(s_);
  DecodeChunk(ReadBytes(s_, size), layer.Picture, false, frameIndex);
  if (h_.Version < 100) return;
  const int32_t maskSize = ReadInt32(s_);
  if (maskSize < 0) RaiseBrixDamaged("mask size");
  if (maskSize == 0) return;
  if (layer.MaskValid) layer.ColorKey = -1;
  std::string chunk = ReadBytes(s_, maskSize);
  used_ += static_cast<int64_t>(TDIBSurface::RowBytes(pic.Width(), 8)) * pic.Height();
  if (used_ > list_.MaxDecodedBytes) RaiseBrixDamaged("too large");
  DecodeChunk(chunk, layer.Picture.CreateMask(), true, frameIndex);
}

void TReader::DecodeChunk(const std::string& chunk, TDIBSurface& target, bool mask,
                          int32_t frameIndex) {
  if (h_.Compression == BC_NONREVERSIBLE && !mask) {
    DecodeJpeg(chunk, target);
    return;
  }
  const int32_t w = target.Width(), h = target.Height();
  const int32_t bits = target.StorageBitCount();
  const int64_t rowBytes = TDIBSurface::RowBytes(w, bits);
  const bool blocks = h_.Version >= 103 && h_.BlockWidth > 0 && h_.BlockHeight > 0 &&
                      h_.Compression != BC_NONREVERSIBLE;
  int64_t need = rowBytes * h;
  if (blocks) {
    const int64_t across = (w + int64_t{h_.BlockWidth} - 1) / h_.BlockWidth;
    const int64_t down = (h + int64_t{h_.BlockHeight} - 1) / h_.BlockHeight;
    // The table plus every block stored in the data.
    int64_t blockBytes = 0;
    for (int64_t c = 0; c < across; ++c) {
      const int64_t bw = std::min<int64_t>(h_.BlockWidth, w - c * h_.BlockWidth);
      blockBytes += (bw * bits + 7) / 8;
    }
    need = across * down * 8 + blockBytes * h;
  }
  const bool zipped = h_.Compression == BC_DEFAULT || (mask && h_.Compression == BC_NONREVERSIBLE);
  const bool scrambled = h_.Version >= 103 && h_.Scrambled && h_.Compression != BC_NONREVERSIBLE;
  if (zipped && !blocks && !scrambled && target.Pitch() == rowBytes) {
    // Plain rows inflate straight into the picture.
    if (InflateInto(chunk, target.Bits(), need) < need) RaiseBrixDamaged("short chunk");
    return;
  }
  const std::string data = zipped ? Inflate(chunk, need) : std::string();
  const std::string& bytes = zipped ? data : chunk;
  if (blocks) {
    DecodeBlocks(bytes, target, mask, frameIndex);
    return;
  }
  if (static_cast<int64_t>(bytes.size()) < rowBytes * h) RaiseBrixDamaged("short chunk");
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (scrambled) {
    TBrixScramble order(list_.Key, h);
    for (int32_t i = 0; i < h; ++i) {
      std::memcpy(target.ScanLine(order.Next()), p + i * rowBytes, static_cast<size_t>(rowBytes));
    }
  } else {
    for (int32_t y = 0; y < h; ++y) {
      std::memcpy(target.ScanLine(y), p + y * rowBytes, static_cast<size_t>(rowBytes));
    }
  }
}

void TReader::DecodeJpeg(const std::string& chunk, TDIBSurface& target) {
  tjhandle tj = tjInitDecompress();
  if (!tj) RaiseBrixDamaged("jpeg");
  struct Closer {
    tjhandle h;
    ~Closer() { tjDestroy(h); }
  } closer{tj};
  int w = 0, h = 0, subsamp = 0, colorspace = 0;
  auto* src = reinterpret_cast<unsigned char*>(const_cast<char*>(chunk.data()));
  const auto size = static_cast<unsigned long>(chunk.size());
  if (tjDecompressHeader3(tj, src, size, &w, &h, &subsamp, &colorspace) != 0) {
    RaiseBrixDamaged("jpeg");
  }
  // Grey or colour only, and exactly the frame's size.
  if (w != target.Width() || h != target.Height()) RaiseBrixDamaged("jpeg size");
  if (colorspace != TJCS_RGB && colorspace != TJCS_YCbCr && colorspace != TJCS_GRAY) {
    RaiseBrixDamaged("jpeg components");
  }
  TDIBSurface rgb;
  TDIBSurface* out = &target;
  if (target.BitCount() != 24) {
    used_ += static_cast<int64_t>(TDIBSurface::RowBytes(w, 24)) * h;
    if (used_ > list_.MaxDecodedBytes) RaiseBrixDamaged("too large");
    rgb.SetSize(w, h, 24);
    out = &rgb;
  }
  if (tjDecompress2(tj, src, size, out->Bits(), w, out->Pitch(), h, TJPF_BGR, 0) != 0 &&
      tjGetErrorCode(tj) != TJERR_WARNING) {
    RaiseBrixDamaged("jpeg");
  }
  if (out != &target) {
    ConvertPixels(rgb, target);
    used_ -= rgb.ImageBytes();
  }
}

void TReader::DecodeBlocks(const std::string& data, TDIBSurface& target, bool mask,
                           int32_t frameIndex) {
  const int32_t w = target.Width(), h = target.Height();
  const int32_t bits = target.StorageBitCount();
  const int32_t bw = h_.BlockWidth, bh = h_.BlockHeight;
  const int32_t across = static_cast<int32_t>((w + int64_t{bw} - 1) / bw);
  const int32_t down = static_cast<int32_t>((h + int64_t{bh} - 1) / bh);
  const int64_t n = int64_t{across} * down;
  const auto size = static_cast<int64_t>(data.size());
  if (n > size / 8) RaiseBrixDamaged("short chunk");
  const auto* p = reinterpret_cast<const uint8_t*>(data.data());
  std::vector<int32_t> e0(static_cast<size_t>(n)), e1(static_cast<size_t>(n));
  if (h_.Scrambled) {
    TBrixScramble order(list_.Key, static_cast<int32_t>(n));
    for (int64_t i = 0; i < n; ++i) {
      const int32_t at = order.Next();
      e0[at] = le::I32(p + 8 * i);
      e1[at] = le::I32(p + 8 * i + 4);
    }
  } else {
    for (int64_t i = 0; i < n; ++i) {
      e0[i] = le::I32(p + 8 * i);
      e1[i] = le::I32(p + 8 * i + 4);
    }
  }
  int64_t at = n * 8;
  auto blockRect = [&](int64_t b) {
    const int32_t x = static_cast<int32_t>(b % across) * bw;
    const int32_t y = static_cast<int32_t>(b / across) * bh;
    return TRect{x, y, static_cast<int32_t>(std::min<int64_t>(int64_t{x} + bw, w)),
                 static_cast<int32_t>(std::min<int64_t>(int64_t{y} + bh, h))};
  };
  // Copies the top-left part of a source block that fits both blocks and both pictures.
  auto copyBlock = [&](const TDIBSurface& src, const TRect& from, const TRect& to) {
    const int32_t cw = std::min({from.Width(), to.Width(), src.Width() - from.Left});
    const int32_t ch = std::min({from.Height(), to.Height(), src.Height() - from.Top});
    if (cw <= 0 || ch <= 0 || !src.Bits()) return;
    for (int32_t r = 0; r < ch; ++r) {
      const uint8_t* s = src.ScanLine(from.Top + r);
      uint8_t* d = target.ScanLine(to.Top + r);
      if (bits >= 8) {
        std::memmove(d + static_cast<int64_t>(to.Left) * (bits / 8),
                     s + static_cast<int64_t>(from.Left) * (bits / 8),
                     static_cast<size_t>(cw) * (bits / 8));
      } else {
        for (int32_t x = 0; x < cw; ++x) {
          StorePixel(d, bits, to.Left + x, LoadPixel(s, bits, from.Left + x));
        }
      }
    }
  };
  for (int64_t b = 0; b < n; ++b) {
    const TRect rc = blockRect(b);
    const int32_t a = e0[b], c = e1[b];
    if (a == -1) {
      const int64_t rowLen = (int64_t{rc.Width()} * bits + 7) / 8;
      if (rowLen * rc.Height() > size - at) RaiseBrixDamaged("short chunk");
      for (int32_t r = 0; r < rc.Height(); ++r) {
        uint8_t* d = target.ScanLine(rc.Top + r);
        const uint8_t* s = p + at + r * rowLen;
        if (bits >= 8) {
          std::memcpy(d + static_cast<int64_t>(rc.Left) * (bits / 8), s,
                      static_cast<size_t>(rowLen));
        } else {
          for (int32_t x = 0; x < rc.Width(); ++x) {
            StorePixel(d, bits, rc.Left + x, LoadPixel(s, bits, x));
          }
        }
      }
      at += rowLen * rc.Height();
    } else if (a == -2) {
      if (c >= 0 && c < n && c != b) copyBlock(target, blockRect(c), rc);
    } else if (a >= 0) {
      // Only layers decoded before this one: of earlier frames, or earlier in this frame (the
      // last layer of this frame is the one being read); pictures of our depth.
      if (a > frameIndex || c < 0) continue;
      const TBrixFrame& from = list_.Frame(a);
      if (c >= (a == frameIndex ? from.Count() - 1 : from.Count())) continue;
      const TDIBSurface* src = &from.Layer(c).Picture;
      if (mask) src = src->Mask();
      if (!src || src->StorageBitCount() != bits) continue;
      copyBlock(*src, rc, rc);
    }
  }
}

void TReader::AfterLoad(TBrixFrame& frame, bool keepLayers) {
  if (frame.ColorKey >= 0) frame.MakeMask(keepLayers);
  TDIBSurface& pic = frame.Picture;
  if (list_.TargetBitCount <= 0) {
    if (pic.BitCount() <= 8) {
      frame.ColorKey = BrixConvertPicture(pic, 24, frame.ColorKey);
      if (keepLayers) {
        for (int32_t i = 0; i < frame.Count(); ++i) {
          TBrixLayer& layer = frame.Layer(i);
          layer.ColorKey = BrixConvertPicture(layer.Picture, 24, layer.ColorKey);
        }
      }
    }
  } else {
    if (frame.HasMask() || frame.ColorKey < 0) {
      frame.ColorKey = BrixConvertPicture(pic, list_.TargetBitCount, frame.ColorKey);
    }
    if (keepLayers) {
      for (int32_t i = 0; i < frame.Count(); ++i) {
        TBrixLayer& layer = frame.Layer(i);
        layer.ColorKey = BrixConvertPicture(layer.Picture, list_.TargetBitCount, layer.ColorKey);
      }
    }
  }
  pic.MakeIndependent();
  for (int32_t i = 0; i < frame.Count(); ++i) frame.Layer(i).Picture.MakeIndependent();
}

}  // namespace

void TBrixFrameList::LoadFromStream(TStream& stream, bool firstFrameOnly, bool keepLayers,
                                    bool makeMasks) {
  Clear();
  try {
    TReader(stream, *this).Run(firstFrameOnly, keepLayers, makeMasks);
  } catch (...) {
    Clear();
    throw;
  }
}

}  // namespace quen
