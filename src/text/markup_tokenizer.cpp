#include "text/markup_tokenizer.h"

#include "base/sjis.h"

namespace quen {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// ASCII prefix p (upper case) at s[i], ignoring case.
bool StartsNoCase(std::string_view s, size_t i, std::string_view p) {
  if (s.size() - i < p.size()) return false;
  for (size_t k = 0; k < p.size(); ++k) {
    if (Upper(s[i + k]) != p[k]) return false;
  }
  return true;
}

// End (one past) of a block that starts at s[i] with open and ends with close, nested blocks
// counted; npos when it never ends.
size_t BlockEnd(std::string_view s, size_t i, std::string_view open, std::string_view close) {
  int depth = 0;
  for (size_t j = i; j < s.size();) {
    if (StartsNoCase(s, j, open)) {
      ++depth;
      j += open.size();
    } else if (StartsNoCase(s, j, close)) {
      j += close.size();
      if (--depth == 0) return j;
    } else {
      j += sjis::CharLen(s, j);
    }
  }
  return std::string_view::npos;
}

bool IsEscapable(char c) {
  return c == '"' || c == '%' || c == '<' || c == '>' || c == '\\' || c == '{' || c == '}';
}

class TTokenizer {
 public:
  explicit TTokenizer(std::string_view s) : s_(s) {}

  std::vector<TMarkupToken> Run() {
    size_t i = 0;
    while (i < s_.size()) {
      const char ch = s_[i];
      const size_t len = sjis::CharLen(s_, i);
      const bool cr_after_tag = skip_cr_;
      skip_cr_ = false;
      if (len == 2) {
        Append(s_.substr(i, 2));
        i += 2;
        continue;
      }
      if (!in_tag_ && ch == '<') {
        i = OpenTag(i);
        continue;
      }
      if (in_tag_ && ch == '>') {
        cur_ += '>';
        in_tag_ = false;
        CloseTag();
        ++i;
        continue;
      }
      if (ch == '\\' && i + 1 < s_.size() && IsEscapable(s_[i + 1])) {
        Append(s_.substr(i + 1, 1));
        i += 2;
        continue;
      }
      if (ch == '"') {
        i = Quoted(i);
        continue;
      }
      if (ch == '\r' || ch == '\n') {
        // A line break written as CR LF is one break.
        i += (ch == '\r' && i + 1 < s_.size() && s_[i + 1] == '\n') ? 2 : 1;
        if (cr_after_tag) continue;
        LineBreak();
        continue;
      }
      if (ch == '\t') {
        if (in_tag_) {
          Space();  // still separates attributes
        } else if (Literal()) {
          Append("        ");
        }
        ++i;
        continue;
      }
      if (ch == ' ') {
        Space();
        ++i;
        continue;
      }
      Append(s_.substr(i, 1));
      ++i;
    }
    Flush();
    return std::move(tokens_);
  }

 private:
  // Preformatted, text-area and script text keeps its white space.
  bool Literal() const { return pre_ || textarea_ || script_ > 0; }

  void Append(std::string_view text) {
    cur_.append(text);
    if (!in_tag_) ends_in_space_ = !text.empty() && text.back() == ' ';
  }

  void Space() {
    if (in_tag_) {
      if (cur_.empty() || cur_.back() != ' ') cur_ += ' ';
      return;
    }
    if (Literal() || !ends_in_space_) Append(" ");
  }

  void LineBreak() {
    if (!in_tag_ && Literal()) {
      Flush();
      if (pre_) tokens_.push_back({"<BR>", true});
      return;
    }
    if (in_tag_) {
      Space();
    } else if (!ends_in_space_) {
      Append(" ");
    }
  }

  // The run collected so far; an unfinished tag at the end of the text is text.
  void Flush(bool tag = false) {
    if (cur_.empty()) return;
    const bool is_tag = tag && cur_.size() > 1;
    tokens_.push_back({std::move(cur_), is_tag});
    cur_.clear();
  }

  size_t OpenTag(size_t i) {
    // Comments, scripts and styles that are closed become one token each.
    struct Block {
      std::string_view open, close;
    };
    for (const Block& b :
         {Block{"<!--", "-->"}, Block{"<SCRIPT", "</SCRIPT>"}, Block{"<STYLE", "</STYLE>"}}) {
      if (!StartsNoCase(s_, i, b.open)) continue;
      const size_t end = BlockEnd(s_, i, b.open, b.close);
      if (end == std::string_view::npos) break;
      Flush();
      tokens_.push_back({std::string(s_.substr(i, end - i)), true});
      return end;
    }
    Flush();
    cur_ = "<";
    in_tag_ = true;
    return i + 1;
  }

  void CloseTag() {
    const TMarkupTag tag(cur_);
    Flush(true);
    const std::string& n = tag.Name();
    if (n == "PRE") {
      pre_ = true;
      skip_cr_ = true;
    } else if (n == "/PRE") {
      pre_ = false;
    } else if (n == "TEXTAREA") {
      textarea_ = true;
      skip_cr_ = true;
    } else if (n == "/TEXTAREA") {
      textarea_ = false;
    } else if (n == "SCRIPT") {
      ++script_;
      skip_cr_ = true;
    } else if (n == "/SCRIPT") {
      if (script_ > 0) --script_;
    }
  }

  // A quoted run: "<" and ">" are ordinary inside, tabs and line breaks are dropped.
  size_t Quoted(size_t i) {
    Append("\"");
    ++i;
    while (i < s_.size() && s_[i] != '"') {
      const size_t len = sjis::CharLen(s_, i);
      const char ch = s_[i];
      if (len == 1 && (ch == '\t' || ch == '\r' || ch == '\n')) {
        ++i;
      } else if (len == 1 && ch == '\\' && i + 1 < s_.size() && IsEscapable(s_[i + 1])) {
        Append(s_.substr(i + 1, 1));
        i += 2;
      } else {
        Append(s_.substr(i, len));
        i += len;
      }
    }
    if (i < s_.size()) {
      Append("\"");
      ++i;
    }
    return i;
  }

  std::string_view s_;
  std::vector<TMarkupToken> tokens_;
  std::string cur_;
  bool in_tag_ = false;
  bool pre_ = false;
  bool textarea_ = false;
  int script_ = 0;
  bool skip_cr_ = false;
  bool ends_in_space_ = false;  // the last character of text (not of tags) was a space
};

}  // namespace

std::vector<TMarkupToken> TokenizeMarkup(std::string_view text) {
  return TTokenizer(text).Run();
}

TMarkupTag::TMarkupTag(std::string_view token) {
  std::string_view s = token;
  if (!s.empty() && s.front() == '<') s.remove_prefix(1);
  if (!s.empty() && s.back() == '>') s.remove_suffix(1);
  size_t i = 0;
  const auto skip_spaces = [&] {
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  };
  // A word runs to white space, "=" or the end, walking characters.
  const auto word = [&](bool stop_at_equals) {
    const size_t start = i;
    while (i < s.size() && static_cast<unsigned char>(s[i]) > ' ' &&
           !(stop_at_equals && s[i] == '='))
      i += sjis::CharLen(s, i);
    return s.substr(start, i - start);
  };
  skip_spaces();
  name_ = sjis::UpperAscii(word(false));
  while (true) {
    skip_spaces();
    if (i >= s.size()) break;
    TTagAttribute a;
    a.name = sjis::UpperAscii(word(true));
    skip_spaces();
    if (i < s.size() && s[i] == '=') {
      ++i;
      skip_spaces();
      a.has_value = true;
      if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        const char q = s[i++];
        const size_t start = i;
        while (i < s.size() && s[i] != q) i += sjis::CharLen(s, i);
        a.value = std::string(s.substr(start, i - start));
        if (i < s.size()) ++i;
      } else {
        a.value = std::string(word(false));
      }
    }
    if (a.name.empty() && !a.has_value) {
      ++i;  // a stray "=" or quote: step over it
      continue;
    }
    attrs_.push_back(std::move(a));
  }
}

const TTagAttribute* TMarkupTag::Find(std::string_view upper_name) const {
  for (const TTagAttribute& a : attrs_) {
    if (a.name == upper_name) return &a;
  }
  return nullptr;
}

const std::string* TMarkupTag::Value(std::string_view upper_name) const {
  const TTagAttribute* a = Find(upper_name);
  return a ? &a->value : nullptr;
}

}  // namespace quen
