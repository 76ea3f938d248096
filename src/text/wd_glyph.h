// The glyphs of a marked-up text: characters, images, the operations the markup leaves in the
// text (alignment, line breaks, indentation, events, variables), and the rows and pages that
// layout builds from them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/decorate.h"

namespace quen {

// Type codes as the content stream stores them; 0 for glyphs that are never stored.
enum : uint8_t {
  WD_NONE = 0,
  WD_CHAR = 1,
  WD_ALIGN = 2,
  WD_RETURN = 3,
  WD_INDENT = 4,
  WD_UNDENT = 5,
  WD_EVENT = 6,
  WD_VAR = 7,
  WD_IMG = 9,
  WD_HISTCHAR = 10,
};

// Alignment codes of the markup: DIV alignments and image alignments.
enum : uint8_t { WA_NONE = 0, WA_LEFT = 1, WA_RIGHT = 2, WA_CENTER = 3, WA_TOP = 4, WA_BOTTOM = 5 };

class TWdGlyph {
 public:
  virtual ~TWdGlyph() = default;
  virtual uint8_t TypeCode() const { return WD_NONE; }
  // A short name for listings and tools ("char", "return", ...).
  virtual const char* Kind() const = 0;
  // Size for layout, as measured before the last layout (TKvWord measures every glyph).
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetSize(int32_t w, int32_t h) {
    width_ = w;
    height_ = h;
  }
  // Character code (lead byte × 256 + trail byte), 0 for anything but a character.
  virtual uint16_t Code() const { return 0; }
  // The character's bytes (empty for anything but a character).
  virtual std::string Text() const { return {}; }
  virtual bool NoBreak() const { return false; }
  virtual const std::string& Ruby() const;
  virtual const std::string& Link() const;
  virtual int32_t Delay() const { return 0; }
  // WA_LEFT or WA_RIGHT for a floating image, else WA_NONE.
  virtual uint8_t FloatAlign() const { return WA_NONE; }
  virtual bool IsReturn() const { return false; }
  // The decoration of characters and variables, else null.
  virtual TDecorate* Decoration() const { return nullptr; }
  // The variable whose expansion made this glyph (its id), 0 for glyphs of the text itself.
  virtual uint32_t ExpansionOwner() const { return 0; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// A glyph that shows something: it carries the link and the reveal delay in force.
class TWdReal : public TWdGlyph {
 public:
  const std::string& Link() const override { return link_; }
  int32_t Delay() const override { return delay_; }
  std::string link_;
  int32_t delay_ = 0;
};

class TWdChar : public TWdReal {
 public:
  TWdChar(uint16_t code, TDecorate* deco) : code_(code), deco_(deco) {}
  uint8_t TypeCode() const override { return WD_CHAR; }
  const char* Kind() const override { return "char"; }
  uint16_t Code() const override { return code_; }
  std::string Text() const override;
  bool NoBreak() const override { return deco_ && deco_->no_break; }
  const std::string& Ruby() const override;
  TDecorate* Decoration() const override { return deco_; }

  uint16_t code_;
  TDecorate* deco_;  // held: the text releases it when the glyph goes
};

// A character an expansion produced; never stored.
class TWdVarChar : public TWdChar {
 public:
  TWdVarChar(uint16_t code, TDecorate* deco, uint32_t owner) : TWdChar(code, deco), owner_(owner) {}
  uint8_t TypeCode() const override { return WD_NONE; }
  uint32_t ExpansionOwner() const override { return owner_; }
  uint32_t owner_;
};

class TWdOpeAlign : public TWdGlyph {
 public:
  explicit TWdOpeAlign(uint8_t align) : align_(align) {}
  uint8_t TypeCode() const override { return WD_ALIGN; }
  const char* Kind() const override { return "align"; }
  uint8_t align_;
};

class TWdOpeReturn : public TWdGlyph {
 public:
  explicit TWdOpeReturn(bool clear) : clear_(clear) {}
  uint8_t TypeCode() const override { return WD_RETURN; }
  const char* Kind() const override { return "return"; }
  bool IsReturn() const override { return true; }
  bool clear_;  // also a page break
};

// A line break an expansion produced; never stored.
class TWdVarReturn : public TWdOpeReturn {
 public:
  explicit TWdVarReturn(uint32_t owner) : TWdOpeReturn(false), owner_(owner) {}
  uint8_t TypeCode() const override { return WD_NONE; }
  uint32_t ExpansionOwner() const override { return owner_; }
  uint32_t owner_;
};

class TWdOpeIndent : public TWdGlyph {
 public:
  uint8_t TypeCode() const override { return WD_INDENT; }
  const char* Kind() const override { return "indent"; }
};

class TWdOpeUndent : public TWdGlyph {
 public:
  uint8_t TypeCode() const override { return WD_UNDENT; }
  const char* Kind() const override { return "undent"; }
};

class TWdOpeEvent : public TWdGlyph {
 public:
  explicit TWdOpeEvent(std::string value) : value_(std::move(value)) {}
  uint8_t TypeCode() const override { return WD_EVENT; }
  const char* Kind() const override { return "event"; }
  std::string value_;  // an END event's value starts with the byte 0x01
};

// A named value or an expression, expanded into the characters that follow it.
class TWdOpeVar : public TWdGlyph {
 public:
  TWdOpeVar(std::string name, TDecorate* deco) : name_(std::move(name)), deco_(deco) {}
  uint8_t TypeCode() const override { return WD_VAR; }
  const char* Kind() const override { return "var"; }
  const std::string& Link() const override { return link_; }
  int32_t Delay() const override { return delay_; }
  TDecorate* Decoration() const override { return deco_; }
  // History-only expansions are left alone outside the history.
  virtual bool HistoryOnly() const { return false; }

  std::string name_;
  TDecorate* deco_;
  std::string link_;
  int32_t delay_ = 0;
  // Names the glyphs an expansion inserts right after this one, so that the next expansion
  // finds and replaces them whatever was inserted or deleted around them.
  uint32_t id_ = 0;
};

class TWdOpeHistChar : public TWdOpeVar {
 public:
  using TWdOpeVar::TWdOpeVar;
  uint8_t TypeCode() const override { return WD_HISTCHAR; }
  const char* Kind() const override { return "histchar"; }
  bool HistoryOnly() const override { return true; }
};

class TWdImg : public TWdReal {
 public:
  TWdImg(std::string src, uint8_t align) : src_(std::move(src)), align_(align) {}
  uint8_t TypeCode() const override { return WD_IMG; }
  const char* Kind() const override { return "image"; }
  bool NoBreak() const override { return no_break_; }
  const std::string& Ruby() const override { return ruby_; }
  uint8_t FloatAlign() const override {
    return align_ == WA_LEFT || align_ == WA_RIGHT ? align_ : uint8_t{WA_NONE};
  }
  std::string src_;
  uint8_t align_;  // WA_CENTER, WA_TOP, WA_BOTTOM inline; WA_LEFT, WA_RIGHT floating
  bool no_break_ = false;
  std::string ruby_;
};

// Space that layout puts before the glyphs of an indented row.
class TWdSpace : public TWdGlyph {
 public:
  const char* Kind() const override { return "space"; }
};

class TWdComposite : public TWdGlyph {};

// A glyph placed on a row: where it lands on the page and how much of it shows (the message
// box fades glyphs in through alpha).
struct TWdPlaced {
  TWdGlyph* glyph = nullptr;
  int32_t index = -1;  // in the text's glyph list; -1 for layout's own spaces
  int32_t x = 0;
  int32_t y = 0;
  uint8_t alpha = 255;
};

class TWdRow : public TWdComposite {
 public:
  const char* Kind() const override { return "row"; }
  int32_t y = 0;
  int32_t height = 0;
  uint8_t align = WA_LEFT;
  int32_t indent = 0;  // indentation in force when the row began
  int32_t left = 0;    // limits of the free span
  int32_t right = 0;
  int32_t width = 0;    // glyphs so far (the indentation space included)
  int32_t content = 0;  // glyphs that count as content (not operations, not the space)
  std::vector<TWdPlaced> items;
  std::vector<std::unique_ptr<TWdSpace>> spaces;
};

class TWdPage : public TWdComposite {
 public:
  const char* Kind() const override { return "page"; }
  std::vector<std::unique_ptr<TWdRow>> rows;
  int32_t first_index = -1;  // the glyphs this page laid out
  int32_t last_index = -1;
};

using TWdPageList = std::vector<std::unique_ptr<TWdPage>>;

}  // namespace quen
