// glyph: one rasterised glyph's metrics and coverage. text layout | encode | dump: marked-up
// text laid out into rows and pages (and drawn), compiled into a content stream, and the
// readable listing of a content stream (docs/markup-text.md).
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_register.h"
#include "imaging/dibx.h"
#include "imaging/font_pixel.h"
#include "imaging/png_writer.h"
#include "platform/text_encoding.h"
#include "quentool/verb.h"
#include "text/content_stream.h"
#include "text/kv_word.h"
#include "text/markup_compiler.h"
#include "text/text_listing.h"

namespace quentool {
namespace {

using quen::platform::Cp932ToUtf8;

int32_t Int(Args& args, const std::string& name, int32_t fallback, int64_t lo, int64_t hi) {
  std::string v;
  if (!TakeOption(args, name, v)) return fallback;
  try {
    size_t used = 0;
    const long long n = std::stoll(v, &used, 0);
    if (used != v.size() || n < lo || n > hi) throw std::out_of_range(v);
    return static_cast<int32_t>(n);
  } catch (const std::exception&) {
    throw UsageError{name + " needs a number from " + std::to_string(lo) + " to " +
                     std::to_string(hi)};
  }
}

// RRGGBB (a leading # allowed) as 0x00BBGGRR.
int32_t Colour(Args& args, const std::string& name, int32_t fallback) {
  std::string v;
  if (!TakeOption(args, name, v)) return fallback;
  if (!v.empty() && v[0] == '#') v.erase(0, 1);
  if (v.size() != 6 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    throw UsageError{name + " takes a colour RRGGBB"};
  const long rgb = std::stol(v, nullptr, 16);
  return static_cast<int32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

std::string Sjis(const std::string& utf8, const std::string& what) {
  std::string out;
  if (!quen::platform::TryUtf8ToCp932(utf8, out))
    throw UsageError{what + " holds characters the code page cannot hold"};
  return out;
}

std::string Json(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string FontOption(Args& args) {
  std::string face = "ＭＳ ゴシック";
  TakeOption(args, "--font", face);
  return Sjis(face, "--font");
}

int RunGlyph(const Args& in) {
  Args args = in;
  std::string out;
  const bool png = TakeOption(args, "-o", out);
  const std::string face = FontOption(args);
  const int32_t height = Int(args, "--height", 12, INT32_MIN, INT32_MAX);
  const int32_t level = Int(args, "--level", 3, 0, 3);
  const int32_t flags = Int(args, "--flags", 0, 0, 15);
  if (args.size() != 1) throw UsageError{"one character is needed"};
  const std::string ch = Sjis(args[0], "the character");
  if (ch.empty() || quen::sjis::CharCount(ch) != 1) throw UsageError{"one character is needed"};
  const uint16_t code =
      ch.size() == 2
          ? static_cast<uint16_t>(static_cast<uint8_t>(ch[0]) << 8 | static_cast<uint8_t>(ch[1]))
          : static_cast<uint8_t>(ch[0]);
  quen::TFontPixelManager fonts;
  fonts.Level = level;
  quen::TFontPixel* g = fonts.GetGlyph(code, face, static_cast<uint8_t>(flags), height);
  const quen::TCharABC abc = fonts.CharABC(code, face, static_cast<uint8_t>(flags), height);
  std::printf(
      "{\"code\": %u, \"width\": %d, \"height\": %d, \"left\": %d, \"top\": %d, \"right_pad\": %d, "
      "\"advance\": %d, \"ascent\": %d, \"underline_size\": %d, \"strikeout_top\": %d, "
      "\"strikeout_size\": %d, \"a\": %d, \"b\": %d, \"c\": %d, \"file\": %s}\n",
      code, g->Width(), g->Height(), g->left, g->top, g->right_pad, g->Advance(), fonts.Ascent(),
      g->underline_size, g->strikeout_top, g->strikeout_size, abc.A, abc.B, abc.C,
      Json(fonts.FontFile()).c_str());
  if (png) {
    quen::TDIBX picture;
    if (g->Width() > 0 && g->Height() > 0) {
      picture.SetSize(g->Width(), g->Height(), 8);
      picture.Draw(0, 0, false, false, false, quen::TRect{0, 0, g->Width(), g->Height()},
                   g->Coverage());
    } else {
      picture.SetSize(1, 1, 8);  // nothing to draw: one empty pixel
      picture.Fill(0);
    }
    WriteOutputFile(out, quen::EncodePngGray(picture));
  }
  return 0;
}

std::string GlyphText(const quen::TWdGlyph& g) {
  switch (g.TypeCode()) {
    case quen::WD_EVENT:
      return Cp932ToUtf8(static_cast<const quen::TWdOpeEvent&>(g).value_);
    case quen::WD_VAR:
    case quen::WD_HISTCHAR:
      return Cp932ToUtf8(static_cast<const quen::TWdOpeVar&>(g).name_);
    case quen::WD_IMG:
      return Cp932ToUtf8(static_cast<const quen::TWdImg&>(g).src_);
    default:
      return Cp932ToUtf8(g.Text());
  }
}

int RunLayout(Args& args) {
  std::string png;
  const bool draw = TakeOption(args, "-o", png);
  const int32_t page_index = Int(args, "--page", 0, 0, INT32_MAX);
  quen::TKvWord word;
  quen::TKvWordSettings& s = word.settings;
  s.line_width = Int(args, "--width", 0, 0, 32768);
  s.page_height = Int(args, "--page-height", 0, 0, INT32_MAX);
  s.paging = Int(args, "--paging", s.page_height > 0 ? 1 : 0, 0, 1) != 0;
  s.font_name = FontOption(args);
  s.font_height = Int(args, "--height", 12, 1, quen::kMaxGlyphHeight);
  s.font_color = Colour(args, "--color", 0);
  s.default_border = Int(args, "--border", 0, 0, quen::kMaxEdgeWidth);
  s.border_color = Colour(args, "--border-color", 0);
  s.default_shadow = Int(args, "--shadow", 0, 0, quen::kMaxShadowOffset);
  s.shadow_color = Colour(args, "--shadow-color", 0x808080);
  s.link_color = Colour(args, "--link-color", 0xFF0000);
  s.line_spacing = Int(args, "--spacing", 0, -1000, 1000);
  s.antialias = Int(args, "--level", 3, 0, 3);
  const int32_t depth = Int(args, "--depth", 32, 15, 32);
  if (depth != 15 && depth != 16 && depth != 32) throw UsageError{"--depth takes 15, 16 or 32"};
  const int32_t delay = Int(args, "--delay", 50, INT32_MIN, INT32_MAX);
  std::vector<std::string> values;
  for (std::string v; TakeOption(args, "--var", v);) {
    if (v.find('=') == std::string::npos) throw UsageError{"--var takes NAME=TEXT"};
    values.push_back(Sjis(v, "--var"));
  }
  if (args.size() != 1) throw UsageError{"one input file is needed"};
  const std::string text = Sjis(ReadInputFile(args[0]), args[0]);

  // VAR names that are no listed value run as expressions with the text and value functions.
  quen::TParamCollection vars;
  quen::TSysFuncMan funcs;
  quen::RegisterTextFunctions(funcs);
  quen::RegisterValueFunctions(funcs);
  if (quen::TParamCollectionItem* r = vars.FindVariable("@TextDelay"); r && r->Value())
    r->Value()->SetAsInteger(delay);
  word.SetExpressionContext(&vars, &funcs);
  try {
    word.SetText(quen::SplitMarkupLines(text));
  } catch (const quen::EQuenError& e) {
    // Building stopped there; what was built before is laid out.
    std::fprintf(stderr, "quentool text layout: %s\n", Cp932ToUtf8(e.Message()).c_str());
  }
  word.Values() = values;
  word.ExpandVariables(0, -1);
  quen::TFontPixelManager fonts;  // the glyph cache of this run
  quen::TWdPageList pages;
  word.LayOut(pages);

  std::string json = "{\"width\": " + std::to_string(s.line_width) + ", \"pages\": [";
  for (size_t p = 0; p < pages.size(); ++p) {
    json += p ? ", " : "";
    json += "{\"rows\": [";
    for (size_t r = 0; r < pages[p]->rows.size(); ++r) {
      const quen::TWdRow& row = *pages[p]->rows[r];
      json += r ? ", " : "";
      json += "{\"y\": " + std::to_string(row.y) + ", \"height\": " + std::to_string(row.height) +
              ", \"left\": " + std::to_string(row.left) +
              ", \"right\": " + std::to_string(row.right) +
              ", \"width\": " + std::to_string(row.width) + ", \"glyphs\": [";
      for (size_t k = 0; k < row.items.size(); ++k) {
        const quen::TWdPlaced& it = row.items[k];
        json += k ? ", " : "";
        json += "{\"index\": " + std::to_string(it.index) + ", \"type\": \"" + it.glyph->Kind() +
                "\", \"x\": " + std::to_string(it.x) + ", \"y\": " + std::to_string(it.y) +
                ", \"width\": " + std::to_string(it.glyph->Width()) +
                ", \"height\": " + std::to_string(it.glyph->Height()) +
                ", \"text\": " + Json(GlyphText(*it.glyph)) + "}";
      }
      json += "]}";
    }
    json += "]}";
  }
  json += "]}\n";
  std::fputs(json.c_str(), stdout);

  if (draw) {
    if (static_cast<size_t>(page_index) >= pages.size())
      throw UsageError{"--page " + std::to_string(page_index) + ": the text has " +
                       std::to_string(pages.size()) + " pages"};
    const quen::TWdPage& page = *pages[static_cast<size_t>(page_index)];
    // The page's line width and height, grown to whatever its glyphs reach.
    quen::TRect bounds{0, 0, std::max(1, s.line_width), std::max(1, s.paging ? s.page_height : 0)};
    for (const auto& row : page.rows) {
      bounds = bounds.Union(quen::TRect{0, row->y, 1, row->y + row->height});
      for (const quen::TWdPlaced& it : row->items) bounds = bounds.Union(word.PlacedRect(it));
    }
    bounds.Left = std::min(bounds.Left, 0);
    bounds.Top = std::min(bounds.Top, 0);
    quen::TDIBX color, alpha;
    color.SetSize(bounds.Width(), bounds.Height(), depth);
    alpha.SetSize(bounds.Width(), bounds.Height(), 8);
    color.Fill(0);
    alpha.Fill(0);
    word.DrawPageToPair(page, color, alpha, -bounds.Left, -bounds.Top, quen::TPageDrawState{});
    WriteOutputFile(png, quen::EncodePngRgba(color, alpha));
  }
  return 0;
}

int RunEncode(Args& args) {
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o OUT.kvw is required"};
  const bool listing = TakeFlag(args, "--listing");
  const int32_t delay = Int(args, "--delay", 50, INT32_MIN, INT32_MAX);
  if (args.size() != 1) throw UsageError{"one input file is needed"};
  const std::string input = ReadInputFile(args[0]);
  if (listing) {
    quen::TKvMemoryStream m;
    quen::WriteContent(m, quen::ParseContentListing(input));
    WriteOutputFile(out, m.Data());
    return 0;
  }
  WriteOutputFile(out, quen::CompileMarkup(quen::SplitMarkupLines(Sjis(input, args[0])), delay));
  return 0;
}

int RunDump(Args& args) {
  std::string out;
  const bool to_file = TakeOption(args, "-o", out);
  if (args.size() != 1) throw UsageError{"one input file is needed"};
  quen::TKvMemoryStream m(ReadInputFile(args[0]));
  const quen::TContentImage c = quen::ReadContent(m);
  if (m.Remaining() > 0)
    std::fprintf(stderr, "quentool text dump: %lld bytes after the content stream\n",
                 static_cast<long long>(m.Remaining()));
  const std::string listing = quen::ContentListing(c);
  if (to_file) {
    WriteOutputFile(out, listing);
  } else {
    std::fputs(listing.c_str(), stdout);
  }
  return 0;
}

int RunText(const Args& in) {
  Args args = in;
  if (args.empty()) throw UsageError{"text layout|encode|dump ..."};
  const std::string sub = args.front();
  args.erase(args.begin());
  if (sub == "layout") return RunLayout(args);
  if (sub == "encode") return RunEncode(args);
  if (sub == "dump") return RunDump(args);
  throw UsageError{"unknown text verb " + sub};
}

}  // namespace
}  // namespace quentool

QUENTOOL_VERB("glyph",
              "glyph CHAR [--font NAME] [--height N] [--level 0-3] [--flags N] [-o COVERAGE.png]",
              quentool::RunGlyph);
QUENTOOL_VERB(
    "text",
    "text layout IN.txt [-o PAGE.png] [--page K] [--width N] [--page-height N] "
    "[--paging 0|1] [--font NAME] [--height N] [--color RRGGBB] [--border N] "
    "[--border-color RRGGBB] [--shadow N] [--shadow-color RRGGBB] [--link-color RRGGBB] "
    "[--spacing N] [--level 0-3] [--depth 15|16|32] [--delay N] [--var NAME=TEXT]... | "
    "text encode IN.txt -o OUT.kvw [--delay N] | text encode --listing IN.txt -o OUT.kvw | "
    "text dump IN.kvw [-o OUT.txt]",
    quentool::RunText);
