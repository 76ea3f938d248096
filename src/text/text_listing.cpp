#include "text/text_listing.h"

#include <climits>
#include <cstdio>
#include <stdexcept>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/text_encoding.h"
#include "text/wd_glyph.h"

namespace quen {

namespace {

bool HasControl(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// UTF-8 of Shift-JIS bytes when it converts back to exactly those bytes.
bool ExactUtf8(std::string_view sjis, std::string& utf8) {
  std::string back;
  return !HasControl(sjis) && platform::TryCp932ToUtf8(sjis, utf8) &&
         platform::TryUtf8ToCp932(utf8, back) && back == sjis;
}

std::string Quote(const std::string& sjis) {
  std::string utf8;
  if (ExactUtf8(sjis, utf8)) {
    std::string out = "\"";
    for (char c : utf8) {
      out += c;
      if (c == '"') out += '"';
    }
    return out + "\"";
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "hex:";
  for (unsigned char c : sjis) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

std::string Color(int32_t v) {
  if (v == -1) return "none";
  if (v < 0 || v > 0xFFFFFF) return std::to_string(v);
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
  return buf;
}

std::string CodeBytes(uint16_t code) {
  std::string s;
  if (code >= 0x100) s += static_cast<char>(code >> 8);
  s += static_cast<char>(code & 0xFF);
  return s;
}

// The character's text when the code is exactly one character with an exact text form.
bool CharText(uint16_t code, std::string& utf8) {
  const bool lead = sjis::IsLeadByte(static_cast<unsigned char>(code >> 8));
  if (code >= 0x100 ? !lead : sjis::IsLeadByte(static_cast<unsigned char>(code))) return false;
  if (code >= 0x100 && (code & 0xFF) == 0) return false;
  return ExactUtf8(CodeBytes(code), utf8);
}

std::string Common(const TContentGlyph& g, bool with_deco) {
  std::string s;
  if (with_deco) s += " deco=" + std::to_string(g.deco);
  s += " delay=" + std::to_string(g.delay);
  if (!g.link.empty()) s += " link=" + Quote(g.link);
  return s;
}

// ---- reading ----

struct TField {
  std::string key;  // empty for a positional value
  std::string value;
};

[[noreturn]] void Fail(int line, const std::string& what) {
  RaiseError(Format("line %d: %s", line, what.c_str()));
}

std::vector<TField> Fields(std::string_view s, int line) {
  std::vector<TField> out;
  size_t i = 0;
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    TField f;
    size_t start = i;
    if (s[i] != '"') {
      while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '=' && s[i] != '"') ++i;
      if (i < s.size() && s[i] == '=') {
        f.key = std::string(s.substr(start, i - start));
        ++i;
        start = i;
      } else {
        f.value = std::string(s.substr(start, i - start));
        out.push_back(std::move(f));
        continue;
      }
    }
    if (i < s.size() && s[i] == '"') {
      // Keeps the quotes: the value is decoded by whoever knows it is a string.
      ++i;
      while (true) {
        if (i >= s.size()) Fail(line, "unterminated string");
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        ++i;
      }
    } else {
      while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    }
    f.value = std::string(s.substr(start, i - start));
    out.push_back(std::move(f));
  }
  return out;
}

std::string StringValue(const std::string& v, int line) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') {
    std::string utf8;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
      utf8 += v[i];
      if (v[i] == '"') ++i;
    }
    std::string sjis;
    if (!platform::TryUtf8ToCp932(utf8, sjis)) Fail(line, "text the code page cannot hold");
    return sjis;
  }
  if (v.rfind("hex:", 0) == 0) {
    std::string out;
    if ((v.size() - 4) % 2 != 0) Fail(line, "odd hex string");
    for (size_t i = 4; i < v.size(); i += 2) {
      const auto d = [&](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        Fail(line, "bad hex digit");
      };
      out += static_cast<char>(d(v[i]) * 16 + d(v[i + 1]));
    }
    return out;
  }
  Fail(line, "a string must be \"...\" or hex:...");
}

int64_t Number(const std::string& v, int line) {
  if (v.empty()) Fail(line, "missing number");
  size_t used = 0;
  long long n = 0;
  try {
    n = std::stoll(v, &used, 0);
  } catch (const std::exception&) {
    Fail(line, "bad number " + v);
  }
  if (used != v.size()) Fail(line, "bad number " + v);
  return n;
}

int32_t Int32(const std::string& v, int line) {
  const int64_t n = Number(v, line);
  if (n < INT32_MIN || n > INT32_MAX) Fail(line, "number out of range " + v);
  return static_cast<int32_t>(n);
}

int32_t ColorValue(const std::string& v, int line) {
  if (v == "none") return -1;
  if (v.size() == 7 && v[0] == '#') {
    const int64_t rgb = Number("0x" + v.substr(1), line);
    return static_cast<int32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
  }
  return Int32(v, line);
}

uint8_t Byte(const std::string& v, int line) {
  const int64_t n = Number(v, line);
  if (n < 0 || n > 255) Fail(line, "byte out of range " + v);
  return static_cast<uint8_t>(n);
}

}  // namespace

std::string ContentListing(const TContentImage& c) {
  std::string out = "# content stream: " + std::to_string(c.decorations.size()) + " decorations, " +
                    std::to_string(c.glyphs.size()) + " glyphs\n";
  out += "kvword " + std::to_string(c.version) + "\n";
  const bool modern = c.version >= 100;
  for (const TContentDecoration& d : c.decorations) {
    const TDecorate& l = d.looks;
    out += "decoration refs=" + std::to_string(d.refs) + " color=" + Color(l.color) +
           " border_color=" + Color(l.border_color);
    if (modern) out += " shadow_color=" + Color(l.shadow_color);
    out += " size=" + std::to_string(l.size) + " style=" + std::to_string(l.style) +
           " nobr=" + std::to_string(l.no_break ? 1 : 0) + " border=" + std::to_string(l.border);
    if (modern) out += " shadow=" + std::to_string(l.shadow);
    out += " face=" + Quote(l.face) + " ruby=" + Quote(l.ruby) + "\n";
  }
  for (size_t i = 0; i < c.glyphs.size(); ++i) {
    const TContentGlyph& g = c.glyphs[i];
    std::string text;
    switch (g.type) {
      case WD_CHAR: {
        if (!CharText(g.code, text)) {
          char code[16];
          std::snprintf(code, sizeof code, "0x%X", g.code);
          out += "char" + Common(g, true) + " code=" + code + "\n";
          break;
        }
        // A run of characters that share everything but the code.
        std::string run = CodeBytes(g.code);
        while (i + 1 < c.glyphs.size()) {
          const TContentGlyph& n = c.glyphs[i + 1];
          std::string t;
          if (n.type != WD_CHAR || n.deco != g.deco || n.delay != g.delay || n.link != g.link ||
              !CharText(n.code, t))
            break;
          run += CodeBytes(n.code);
          ++i;
        }
        out += "chars" + Common(g, true) + " " + Quote(run) + "\n";
        break;
      }
      case WD_ALIGN:
        out += "align " + std::to_string(g.value) + "\n";
        break;
      case WD_RETURN:
        out += "return clear=" + std::to_string(g.value) + "\n";
        break;
      case WD_INDENT:
        out += "indent\n";
        break;
      case WD_UNDENT:
        out += "undent\n";
        break;
      case WD_EVENT:
        out += "event " + Quote(g.text) + "\n";
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        out += std::string(g.type == WD_VAR ? "var" : "histchar") + Common(g, true) + " " +
               Quote(g.text) + "\n";
        break;
      case WD_IMG:
        out += "img" + Common(g, false) + " align=" + std::to_string(g.value) +
               " nobr=" + std::to_string(g.no_break ? 1 : 0) + " ruby=" + Quote(g.ruby) + " " +
               Quote(g.text) + "\n";
        break;
      default:
        break;
    }
  }
  return out;
}

TContentImage ParseContentListing(std::string_view text) {
  TContentImage c;
  bool header = false;
  int line = 0;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view l = text.substr(at, end - at);
    at = end + 1;
    ++line;
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    const std::vector<TField> fields = Fields(l, line);
    if (fields.empty() || fields[0].value.rfind('#', 0) == 0) continue;
    const std::string& kind = fields[0].value;
    std::string positional;
    bool has_positional = false;
    TContentGlyph g;
    TContentDecoration d;
    const auto each = [&](auto&& on_key) {
      for (size_t k = 1; k < fields.size(); ++k) {
        if (fields[k].key.empty()) {
          if (has_positional) Fail(line, "too many values");
          positional = fields[k].value;
          has_positional = true;
        } else if (!on_key(fields[k].key, fields[k].value)) {
          Fail(line, "unknown field " + fields[k].key);
        }
      }
    };
    const auto common = [&](const std::string& k, const std::string& v) {
      if (k == "deco") return g.deco = Int32(v, line), true;
      if (k == "delay") return g.delay = Int32(v, line), true;
      if (k == "link") return g.link = StringValue(v, line), true;
      return false;
    };
    if (!header) {
      if (kind != "kvword" || fields.size() != 2)
        Fail(line, "the listing starts with kvword VERSION");
      c.version = Int32(fields[1].value, line);
      if (c.version < 0 || c.version > kContentVersion) Fail(line, "unknown version");
      header = true;
      continue;
    }
    if (kind == "decoration") {
      each([&](const std::string& k, const std::string& v) {
        TDecorate& x = d.looks;
        if (k == "refs") return d.refs = Int32(v, line), true;
        if (k == "color") return x.color = ColorValue(v, line), true;
        if (k == "border_color") return x.border_color = ColorValue(v, line), true;
        if (k == "shadow_color") return x.shadow_color = ColorValue(v, line), true;
        if (k == "size") return x.size = Int32(v, line), true;
        if (k == "style") return x.style = Byte(v, line), true;
        if (k == "nobr") return x.no_break = Byte(v, line) != 0, true;
        if (k == "border") return x.border = Int32(v, line), true;
        if (k == "shadow") return x.shadow = Int32(v, line), true;
        if (k == "face") return x.face = StringValue(v, line), true;
        if (k == "ruby") return x.ruby = StringValue(v, line), true;
        return false;
      });
      c.decorations.push_back(std::move(d));
      continue;
    }
    if (kind == "chars") {
      g.type = WD_CHAR;
      each(common);
      if (!has_positional) Fail(line, "chars needs its text");
      const std::string s = StringValue(positional, line);
      for (size_t i = 0; i < s.size();) {
        const size_t len = sjis::CharLen(s, i);
        TContentGlyph one = g;
        one.code = static_cast<uint16_t>(
            len == 2 ? (static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]))
                     : static_cast<uint8_t>(s[i]));
        c.glyphs.push_back(std::move(one));
        i += len;
      }
      continue;
    }
    if (kind == "char") {
      g.type = WD_CHAR;
      each([&](const std::string& k, const std::string& v) {
        if (k == "code") {
          const int64_t n = Number(v, line);
          if (n < 0 || n > 0xFFFF) Fail(line, "code out of range");
          return g.code = static_cast<uint16_t>(n), true;
        }
        return common(k, v);
      });
    } else if (kind == "align") {
      g.type = WD_ALIGN;
      each([](const std::string&, const std::string&) { return false; });
      if (!has_positional) Fail(line, "align needs its value");
      g.value = Byte(positional, line);
    } else if (kind == "return") {
      g.type = WD_RETURN;
      each([&](const std::string& k, const std::string& v) {
        if (k == "clear") return g.value = Byte(v, line), true;
        return false;
      });
    } else if (kind == "indent" || kind == "undent") {
      g.type = kind == "indent" ? WD_INDENT : WD_UNDENT;
      each([](const std::string&, const std::string&) { return false; });
    } else if (kind == "event") {
      g.type = WD_EVENT;
      each([](const std::string&, const std::string&) { return false; });
      if (!has_positional) Fail(line, "event needs its value");
      g.text = StringValue(positional, line);
    } else if (kind == "var" || kind == "histchar") {
      g.type = kind == "var" ? WD_VAR : WD_HISTCHAR;
      each(common);
      if (!has_positional) Fail(line, kind + " needs its name");
      g.text = StringValue(positional, line);
    } else if (kind == "img") {
      g.type = WD_IMG;
      each([&](const std::string& k, const std::string& v) {
        if (k == "align") return g.value = Byte(v, line), true;
        if (k == "nobr") return g.no_break = Byte(v, line) != 0, true;
        if (k == "ruby") return g.ruby = StringValue(v, line), true;
        if (k == "deco") return false;
        return common(k, v);
      });
      if (!has_positional) Fail(line, "img needs its source");
      g.text = StringValue(positional, line);
    } else {
      Fail(line, "unknown record " + kind);
    }
    c.glyphs.push_back(std::move(g));
  }
  if (!header) Fail(line, "the listing starts with kvword VERSION");
  for (const TContentGlyph& g : c.glyphs) {
    const bool decorated = g.type == WD_CHAR || g.type == WD_VAR || g.type == WD_HISTCHAR;
    if (decorated && (g.deco < 0 || static_cast<size_t>(g.deco) >= c.decorations.size()))
      RaiseError(Format("decoration %d does not exist", g.deco));
  }
  return c;
}

}  // namespace quen
