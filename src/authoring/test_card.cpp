#include "authoring/test_card.h"

#include <cmath>
#include <memory>

#include "imaging/color_tables.h"
#include "imaging/dibx.h"
#include "imaging/dibx_wave.h"
#include "imaging/pixel_convert.h"

namespace quen {

namespace {

constexpr int32_t kCell = 100, kGap = 4, kMargin = 8, kSprite = 48;

struct TCardParts {
  TDIBX sprite, mask, mono, outline, indexed, heat;
  uint32_t key = 0;
};

uint32_t Px(TCustomDIBX& s, int r, int g, int b) {
  return static_cast<uint32_t>(s.ColorToPixel(
      RGBColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b))));
}

void MakeParts(TCardParts& p, int32_t bits) {
  p.sprite.SetSize(kSprite, kSprite, bits);
  p.key = Px(p.sprite, 255, 0, 255);
  p.sprite.SetColorKey(static_cast<int32_t>(p.key));
  p.mask.SetSize(kSprite, kSprite, 8);
  for (int y = 0; y < kSprite; ++y) {
    for (int x = 0; x < kSprite; ++x) {
      const bool keyed = x + y < 14 || (x > 30 && y > 30 && (x + y) % 8 < 3);
      p.sprite.SetPixel(x, y, keyed ? p.key : Px(p.sprite, x * 255 / 47, y * 255 / 47, 128));
      const double d = std::hypot(x - 23.5, y - 23.5);
      const double m = (22.0 - d) * 48.0;
      p.mask.SetPixel(x, y, static_cast<uint32_t>(m < 0 ? 0 : m > 255 ? 255 : m));
    }
  }
  // Glyph sources, four sub-pixels per destination pixel each way.
  p.mono.SetSize(128, 128, 1);
  p.outline.SetSize(128, 128, 4);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const double d = std::hypot(x - 63.5, y - 63.5);
      const bool ink = (d > 36 && d < 56) || (std::abs(x - y) < 10 && d < 56);
      StorePixel(p.mono.DIB().ScanLine(y), 1, x, ink ? 0 : 1);
      const uint32_t cls = d < 14 ? 3 : d < 44 ? 1 : d < 56 ? 2 : 0;
      StorePixel(p.outline.DIB().ScanLine(y), 4, x, cls);
    }
  }
  p.indexed.SetSize(kSprite, kSprite, 4);
  p.indexed.SetColorKey(0);
  p.heat.SetSize(96, 48, 8);
  for (int y = 0; y < kSprite; ++y) {
    for (int x = 0; x < kSprite; ++x) {
      StorePixel(p.indexed.DIB().ScanLine(y), 4, x, static_cast<uint32_t>((x / 6 + y / 12) % 16));
    }
  }
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 96; ++x) {
      const int v = 255 - y * 5 + static_cast<int>(12 * std::sin(x / 5.0));
      p.heat.SetPixel(x, y, static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v));
    }
  }
}

void Backdrop(TCustomDIBX& card, const TRect& cell) {
  const int32_t half = cell.Top + kCell / 2;
  for (int x = 0; x < kCell; ++x) {
    const int r = x * 255 / (kCell - 1);
    card.FillRect(TRect{cell.Left + x, cell.Top, cell.Left + x + 1, half},
                  Px(card, r, 96, 255 - r));
  }
  for (int y = half; y < cell.Bottom; y += 10) {
    for (int x = cell.Left; x < cell.Right; x += 10) {
      const bool dark = ((x - cell.Left) / 10 + (y - half) / 10) % 2 == 0;
      card.FillRect(TRect{x, y, x + 10, y + 10},
                    dark ? Px(card, 70, 70, 70) : Px(card, 180, 180, 180));
    }
  }
}

void DrawCell(TCustomDIBX& card, TCardParts& p, int index, const TRect& c, int32_t bits) {
  const TRect whole{0, 0, kSprite, kSprite};
  const int32_t L = c.Left, T = c.Top;
  auto bands = [&](auto fn) {
    for (int i = 0; i < 4; ++i) fn(TRect{L + 8, T + 6 + i * 23, c.Right - 8, T + 24 + i * 23}, i);
  };
  const uint32_t* fire = QuenColorTables().FireFor(bits);
  const uint32_t* grey = QuenColorTables().GreyFor(bits);
  switch (index) {
    case 0:
      card.FillRect(TRect{L + 20, T + 20, L + 80, T + 80}, Px(card, 200, 40, 40));
      card.FrameRect(TRect{L + 10, T + 10, L + 90, T + 90}, 4, Px(card, 240, 240, 80));
      card.FrameRectAlpha(TRect{L + 30, T + 30, L + 70, T + 70}, 6, 128, Px(card, 0, 255, 0));
      card.FrameRectAdd(TRect{L + 2, T + 2, L + 98, T + 98}, 2, Px(card, 0, 0, 200));
      break;
    case 1:
      bands([&](const TRect& r, int i) {
        card.FillRectAlpha(r, Px(card, 40, 80, 255), 32 + 64 * i);
      });
      break;
    case 2:
      bands(
          [&](const TRect& r, int i) { card.FillRectAdd(r, Px(card, 32 * (i + 1), 40 * i, 20)); });
      break;
    case 3:
      bands(
          [&](const TRect& r, int i) { card.FillRectSub(r, Px(card, 40 * i, 32 * (i + 1), 60)); });
      break;
    case 4:
      for (int i = 0; i < 4; ++i) {
        card.Draw(L + 2 + (i % 2) * 50, T + 2 + (i / 2) * 50, i >= 2, i % 2 == 1, true, whole,
                  p.sprite);
      }
      break;
    case 5:
      for (int i = 0; i < 4; ++i) {
        card.DrawAlpha(L + 2 + (i % 2) * 50, T + 2 + (i / 2) * 50, 64 * (i + 1) - (i == 3), false,
                       false, true, whole, p.sprite);
      }
      break;
    case 6:
      for (int i = 0; i < 4; ++i) {
        card.DrawAdd(L + 2 + (i % 2) * 50, T + 2 + (i / 2) * 50, 64 * (i + 1) - (i == 3), false,
                     false, true, whole, p.sprite);
      }
      break;
    case 7:
      card.DrawMask(L + 2, T + 2, p.mask, false, false, whole, p.sprite);
      card.DrawMask(L + 40, T + 40, p.mask, true, true, whole, p.sprite);
      break;
    case 8:
      card.DrawAlphaMask(L + 2, T + 2, 96, p.mask, false, false, whole, p.sprite);
      card.DrawAlphaMask(L + 40, T + 40, 220, p.mask, false, true, whole, p.sprite);
      break;
    case 9:
      card.DrawAddMask(L + 2, T + 2, 128, p.mask, false, false, whole, p.sprite);
      card.DrawAddMask(L + 40, T + 40, 255, p.mask, true, false, whole, p.sprite);
      break;
    case 10:
      card.StretchDraw(TRect{L + 2, T + 2, L + 98, T + 62}, p.sprite, 255, false, false, true,
                       whole);
      card.StretchDraw(TRect{L + 10, T + 60, L + 90, T + 96}, p.sprite, 128, false, true, false,
                       TRect{8, 8, 40, 40});
      break;
    case 11:
      card.StretchDrawAdd(TRect{L + 2, T + 2, L + 98, T + 98}, p.sprite, 160, true, false, true,
                          whole);
      card.StretchDrawAddMask(TRect{L + 30, T + 30, L + 70, T + 70}, p.sprite, 255, p.mask, false,
                              false, whole);
      break;
    case 12:
      card.DrawRotZoom(L + 50, T + 50, 255, false, false, true, 32, 24, 24, whole, p.sprite, 320,
                       320);
      card.DrawRotZoom(L + 80, T + 80, 300, false, true, true, -20, 24, 24, whole, p.sprite, 128,
                       128);
      break;
    case 13:
      card.DrawRotZoomMask(L + 50, T + 50, 200, p.mask, false, false, -24, 24, 24, whole, p.sprite,
                           384, 384);
      break;
    case 14:
      card.PatternZoom(TRect{L + 4, T + 4, L + 96, T + 50}, p.sprite, 180, false, false, true, 5, 7,
                       128, 128);
      card.PatternZoom(TRect{L + 4, T + 52, L + 96, T + 96}, p.sprite, 400, true, true, false, 0, 0,
                       384, 256);
      break;
    case 15:
      card.TileDrawAlpha(TRect{L + 4, T + 4, L + 96, T + 96}, 3, 5, 9, 200, true,
                         TRect{4, 4, 28, 28}, p.sprite, 3);
      break;
    case 16:
      card.DrawMonoGlyph(L + 4, T + 4, 4, 255, false, false, Px(card, 255, 255, 255),
                         TRect{0, 0, 128, 128}, p.mono);
      card.DrawMonoGlyph(L + 40, T + 40, 4, 128, true, false, Px(card, 255, 255, 0),
                         TRect{0, 0, 128, 128}, p.mono);
      card.DrawMonoGlyph(L + 62, T + 8, 8, 255, false, true, Px(card, 0, 0, 0),
                         TRect{0, 0, 128, 128}, p.mono);
      break;
    case 17:
      for (int i = 0; i < 3; ++i) {
        const int blend[] = {255, 128, 400};
        card.DrawOutlineGlyph(L + 4 + i * 32, T + 10 + i * 28, 4, blend[i], false, false,
                              Px(card, 255, 255, 255), Px(card, 0, 0, 0), Px(card, 230, 30, 30),
                              TRect{0, 0, 128, 128}, p.outline);
      }
      break;
    case 18:
      card.DrawColorMask(L + 2, T + 2, Px(card, 255, 200, 0), 255, false, false, whole, p.mask);
      card.DrawColorMask(L + 50, T + 50, Px(card, 0, 255, 200), 128, false, false, whole, p.mask);
      break;
    case 19: {
      uint32_t table[16];
      for (int i = 0; i < 16; ++i) table[i] = Px(card, i * 17, 255 - i * 17, (i * 64) & 255);
      card.DrawIndexed16(L + 2, T + 2, table, 255, false, false, whole, p.indexed);
      card.DrawIndexed16(L + 50, T + 2, table, 140, false, true, whole, p.indexed);
      card.DrawIndexed16(L + 26, T + 50, table, 320, true, false, whole, p.indexed);
      break;
    }
    case 20: {
      uint32_t table[256];
      for (int i = 0; i < 256; ++i) {
        if (fire) {
          table[i] = fire[i];
        } else {
          uint8_t r, g, b;
          FireGradient(i, r, g, b);
          table[i] = Px(card, r, g, b);
        }
      }
      card.DrawIndexedAdd(L + 2, T + 2, table, 255, false, false, 16, TRect{0, 0, 96, 48}, p.heat);
      card.StretchIndexedAdd(TRect{L + 2, T + 50, L + 98, T + 98}, p.heat, table, 200, true, false,
                             0, TRect{0, 0, 48, 24});
      break;
    }
    case 21:
      for (int i = 0; i < 8; ++i) {
        const int v = i * 36;
        const uint32_t g = grey ? grey[v] : Px(card, v, v, v);
        card.FillRectAdd(TRect{L + 4 + i * 12, T + 4, L + 14 + i * 12, T + 96}, g);
      }
      break;
    case 22: {
      TDIBXWave wave;
      wave.SetTarget(&card, L, T);
      wave.SetSize(kCell, kCell, bits);
      for (int i = 0; i < kCell; ++i) {
        wave.Offsets()[i] = static_cast<int32_t>(std::lround(std::sin(i / 8.0) * 8));
      }
      wave.FillRect(TRect{L + 40, T + 4, L + 60, T + 96}, Px(card, 255, 255, 255));
      wave.StretchDraw(TRect{L + 10, T + 10, L + 90, T + 90}, p.sprite, 255, false, false, true,
                       whole);
      break;
    }
    default:
      card.PatternFill(TRect{L + 10, T + 10, L + 90, T + 90}, p.sprite, false, false, 12, 20);
      card.FramePattern(TRect{L + 2, T + 2, L + 98, T + 98}, 8, 0, 0, p.sprite);
      break;
  }
}

}  // namespace

void DrawTestCard(TCustomDIBX& card, int32_t bits) {
  card.SetSize(kTestCardWidth, kTestCardHeight, bits);
  card.ResetUpdateRect();
  card.Fill(Px(card, 40, 40, 48));
  TCardParts parts;
  MakeParts(parts, bits);
  for (int i = 0; i < 24; ++i) {
    const int32_t left = kMargin + (i % 6) * (kCell + kGap);
    const int32_t top = kMargin + (i / 6) * (kCell + kGap);
    const TRect cell{left, top, left + kCell, top + kCell};
    // Each family draws inside its own cell only.
    card.ResetUpdateRect();
    card.AddUpdateRect(cell);
    Backdrop(card, cell);
    DrawCell(card, parts, i, cell, bits);
  }
  card.ResetUpdateRect();
}

}  // namespace quen
