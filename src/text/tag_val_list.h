// The markup state while a text is built: stacks that FONT, DIV and WAIT push and their closing
// tags pop, and the flags the other tags set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/wd_glyph.h"

namespace quen {

// A stack whose top is its last value, or its default when empty; popping an empty stack does
// nothing.
template <class T>
class TValStack {
 public:
  explicit TValStack(T fallback) : default_(std::move(fallback)) {}
  const T& Top() const { return values_.empty() ? default_ : values_.back(); }
  void Push(T v) { values_.push_back(std::move(v)); }
  void Pop() {
    if (!values_.empty()) values_.pop_back();
  }

 private:
  T default_;
  std::vector<T> values_;
};

class TTagValList {
 public:
  explicit TTagValList(int32_t text_delay) : delay(text_delay) {}

  // The decoration the state gives a character.
  TDecorate Looks() const {
    TDecorate d;
    d.color = color.Top();
    d.border_color = border_color.Top();
    d.shadow_color = shadow_color.Top();
    d.size = size.Top();
    d.style = style;
    d.face = face.Top();
    d.ruby = ruby;
    d.no_break = no_break;
    d.border = border.Top();
    d.shadow = shadow.Top();
    return d;
  }

  TValStack<int32_t> size{0};
  TValStack<int32_t> color{-1};
  TValStack<int32_t> border_color{-1};
  TValStack<int32_t> shadow_color{-1};
  TValStack<int32_t> border{-1};
  TValStack<int32_t> shadow{-1};
  TValStack<int32_t> delay;
  TValStack<std::string> face{std::string()};
  TValStack<uint8_t> align{WA_LEFT};
  uint8_t style = 0;
  bool no_break = false;
  std::string ruby;
  std::string link;
  // Bumped on every change, so that a run of characters can reuse its decoration.
  uint64_t version = 0;
};

}  // namespace quen
