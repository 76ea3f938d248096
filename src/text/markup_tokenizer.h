// The first two steps of building a marked-up text: splitting it into tags and text runs
// (comments, script and style blocks, preformatted and text-area modes, escapes, quoted runs,
// white space), and reading a tag's name and attributes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quen {

struct TMarkupToken {
  std::string text;
  bool tag = false;  // "<...>" longer than one character, made of markup (escapes never make one)
};

// Splits Shift-JIS markup into tokens.
std::vector<TMarkupToken> TokenizeMarkup(std::string_view text);

struct TTagAttribute {
  std::string name;   // upper-cased (ASCII letters only)
  std::string value;  // quotes removed
  bool has_value = false;
};

class TMarkupTag {
 public:
  // Reads "<NAME attr=value attr='value' flag ...>".
  explicit TMarkupTag(std::string_view token);
  const std::string& Name() const { return name_; }  // upper-cased
  bool Has(std::string_view upper_name) const { return Find(upper_name) != nullptr; }
  // The attribute's value, or nullptr when the tag has no such attribute (a flag attribute
  // has an empty value).
  const std::string* Value(std::string_view upper_name) const;
  const std::vector<TTagAttribute>& Attributes() const { return attrs_; }

 private:
  const TTagAttribute* Find(std::string_view upper_name) const;
  std::string name_;
  std::vector<TTagAttribute> attrs_;
};

}  // namespace quen
