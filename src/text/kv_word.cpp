// TKvWord: the glyph list, the streams and the metrics of characters.
#include "text/kv_word.h"

#include <algorithm>

#include "base/error.h"
#include "imaging/dibx.h"
#include "imaging/font_pixel.h"
#include "text/content_stream.h"
#include "text/messages.h"
#include "text/text_pictures.h"

namespace quen {

TKvWord::TKvWord() {
  settings.font_name = msg::kDefaultFace;
}

TKvWord::~TKvWord() = default;

void TKvWord::SetExpressionContext(TParamCollection* vars, const TSysFuncMan* funcs) {
  vars_ = vars;
  funcs_ = funcs;
}

void TKvWord::CheckNotExpanding() const {
  // An expression of a VAR glyph may reach this text through the script: the list it walks
  // must stay as it is.
  if (expanding_ > 0) RaiseError(msg::kTextBusy);
}

void TKvWord::ReleaseGlyph(TWdGlyph* g) {
  if (TDecorate* d = g->Decoration()) decorations_.Release(d);
}

void TKvWord::Clear() {
  CheckNotExpanding();
  glyphs_.clear();
  decorations_.Clear();
}

namespace {

TWdOpeVar* AsVar(TWdGlyph* g) {
  const uint8_t t = g->TypeCode();
  return t == WD_VAR || t == WD_HISTCHAR ? static_cast<TWdOpeVar*>(g) : nullptr;
}

}  // namespace

TWdGlyph* TKvWord::GlyphAt(int32_t index) const {
  if (index < 0 || index >= GlyphCount()) return nullptr;
  return glyphs_[static_cast<size_t>(index)].get();
}

int32_t TKvWord::IndexOf(const TWdGlyph* g) const {
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    if (glyphs_[i].get() == g) return static_cast<int32_t>(i);
  }
  return -1;
}

void TKvWord::InsertGlyph(int32_t index, std::unique_ptr<TWdGlyph> g) {
  CheckNotExpanding();
  if (!g) return;
  if (TWdOpeVar* v = AsVar(g.get()); v && v->id_ == 0) v->id_ = next_var_id_++;
  index = std::clamp(index, 0, GlyphCount());
  glyphs_.insert(glyphs_.begin() + index, std::move(g));
}

void TKvWord::DeleteGlyph(int32_t index) {
  CheckNotExpanding();
  if (index < 0 || index >= GlyphCount()) return;
  ReleaseGlyph(glyphs_[static_cast<size_t>(index)].get());
  glyphs_.erase(glyphs_.begin() + index);
}

// ---- metrics ----

TCharCell TKvWord::CharCell(const TDecorate* d) const {
  TCharCell c;
  int32_t h = d && d->size != 0 ? d->size : settings.font_height;
  h = std::clamp(h, 1, kMaxGlyphHeight);
  c.size = h;
  c.width = h;
  if (d && (d->style & kGlyphItalic)) c.width += h / 5;
  if (d && !d->ruby.empty()) c.ruby_band = std::max(1, h / 2);
  c.height = h + c.ruby_band;
  const int32_t b = d && d->border >= 0 ? d->border : settings.default_border;
  const int32_t s = d && d->shadow >= 0 ? d->shadow : settings.default_shadow;
  c.border = std::clamp(b, 0, kMaxEdgeWidth);
  c.shadow = std::clamp(s, 0, kMaxShadowOffset);
  c.width += 2 * c.border + c.shadow;
  c.height += 2 * c.border + c.shadow;
  return c;
}

void TKvWord::Measure(TWdGlyph& g) const {
  if (g.Code() != 0) {
    const TCharCell c = CharCell(g.Decoration());
    g.SetSize(c.width, c.height);
    return;
  }
  if (auto* img = dynamic_cast<TWdImg*>(&g)) {
    TTextPicture pic;
    ITextPictureSource* src = TextPictureSource();
    if (src && src->FindPicture(img->src_, pic)) {
      g.SetSize(std::max(0, pic.width), std::max(0, pic.height));
    } else {
      g.SetSize(0, 0);
    }
    return;
  }
  g.SetSize(0, 0);
}

// ---- content stream ----

void TKvWord::Materialise(const TContentImage& image, std::vector<std::unique_ptr<TWdGlyph>>& out) {
  // Counts are recomputed from the glyphs; records no glyph refers to are not taken over.
  std::vector<int32_t> refs(image.decorations.size(), 0);
  for (const TContentGlyph& g : image.glyphs) {
    if (g.type == WD_CHAR || g.type == WD_VAR || g.type == WD_HISTCHAR)
      ++refs[static_cast<size_t>(g.deco)];
  }
  std::vector<TDecorate*> decos(image.decorations.size(), nullptr);
  for (size_t i = 0; i < image.decorations.size(); ++i) {
    if (refs[i] == 0) continue;
    TDecorate looks = image.decorations[i].looks;
    if (image.version < 100) looks.border = looks.border != 0 ? 1 : 0;
    decos[i] = decorations_.Acquire(looks, refs[i]);
  }
  for (const TContentGlyph& g : image.glyphs) {
    std::unique_ptr<TWdGlyph> made;
    switch (g.type) {
      case WD_CHAR: {
        auto c = std::make_unique<TWdChar>(g.code, decos[static_cast<size_t>(g.deco)]);
        c->link_ = g.link;
        c->delay_ = g.delay;
        made = std::move(c);
        break;
      }
      case WD_ALIGN:
        made = std::make_unique<TWdOpeAlign>(g.value);
        break;
      case WD_RETURN:
        made = std::make_unique<TWdOpeReturn>(g.value != 0);
        break;
      case WD_INDENT:
        made = std::make_unique<TWdOpeIndent>();
        break;
      case WD_UNDENT:
        made = std::make_unique<TWdOpeUndent>();
        break;
      case WD_EVENT:
        made = std::make_unique<TWdOpeEvent>(g.text);
        break;
      case WD_VAR:
      case WD_HISTCHAR: {
        TDecorate* d = decos[static_cast<size_t>(g.deco)];
        std::unique_ptr<TWdOpeVar> v = g.type == WD_VAR
                                           ? std::make_unique<TWdOpeVar>(g.text, d)
                                           : std::make_unique<TWdOpeHistChar>(g.text, d);
        v->link_ = g.link;
        v->delay_ = g.delay;
        v->id_ = next_var_id_++;
        made = std::move(v);
        break;
      }
      case WD_IMG: {
        auto img = std::make_unique<TWdImg>(g.text, g.value);
        img->link_ = g.link;
        img->delay_ = g.delay;
        img->no_break_ = g.no_break;
        img->ruby_ = g.ruby;
        made = std::move(img);
        break;
      }
      default:
        break;  // ReadContent refuses other types
    }
    if (made) out.push_back(std::move(made));
  }
}

void TKvWord::LoadContent(TStream& s) {
  CheckNotExpanding();
  const TContentImage image = ReadContent(s);  // nothing changes when this raises
  glyphs_.clear();
  decorations_.Clear();
  Materialise(image, glyphs_);
}

void TKvWord::AppendContent(TStream& s) {
  CheckNotExpanding();
  const TContentImage image = ReadContent(s);
  Materialise(image, glyphs_);
}

void TKvWord::SaveContent(TStream& s) const {
  TContentImage image;
  // Only stored glyphs count; a record held only by expanded characters is not written. The
  // marks hold each record's count, then its index in the stream.
  for (int32_t i = 0; i < decorations_.Count(); ++i) decorations_.Item(i).mark = 0;
  for (const auto& g : glyphs_) {
    if (g->TypeCode() != WD_NONE && g->Decoration()) ++g->Decoration()->mark;
  }
  for (int32_t i = 0; i < decorations_.Count(); ++i) {
    const TDecorate& d = decorations_.Item(i);
    if (d.mark == 0) continue;
    image.decorations.push_back({d.mark, d});
    image.decorations.back().looks.mark = 0;
    d.mark = static_cast<int32_t>(image.decorations.size()) - 1;
  }
  image.glyphs.reserve(glyphs_.size());
  for (const auto& gp : glyphs_) {
    const TWdGlyph& g = *gp;
    TContentGlyph r;
    r.type = g.TypeCode();
    if (r.type == WD_NONE) continue;
    if (g.Decoration()) r.deco = g.Decoration()->mark;
    r.link = g.Link();
    r.delay = g.Delay();
    switch (r.type) {
      case WD_CHAR:
        r.code = g.Code();
        break;
      case WD_ALIGN:
        r.value = static_cast<const TWdOpeAlign&>(g).align_;
        break;
      case WD_RETURN:
        r.value = static_cast<const TWdOpeReturn&>(g).clear_ ? 1 : 0;
        break;
      case WD_EVENT:
        r.text = static_cast<const TWdOpeEvent&>(g).value_;
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        r.text = static_cast<const TWdOpeVar&>(g).name_;
        break;
      case WD_IMG: {
        const auto& img = static_cast<const TWdImg&>(g);
        r.text = img.src_;
        r.value = img.align_;
        r.no_break = img.no_break_;
        r.ruby = img.ruby_;
        break;
      }
      default:
        break;
    }
    image.glyphs.push_back(std::move(r));
  }
  WriteContent(s, image);
}

// ---- settings record ----

void TKvWord::LoadSettings(TStream& s, int32_t version) {
  TKvWordSettings n;
  n.font_color = ReadInt32(s);
  n.border_color = ReadInt32(s);
  n.font_height = ReadInt32(s);
  n.font_name = ReadString(s);
  n.antialias = ReadInt32(s);
  n.page_height = ReadInt32(s);
  n.line_width = ReadInt32(s);
  n.fade_time = ReadInt32(s);
  n.line_spacing = ReadInt32(s);
  n.paging = ReadByte(s) != 0;
  n.link_color = ReadInt32(s);
  n.hover_color = ReadInt32(s);
  n.hover_links = ReadInt32(s);
  n.shadow_color = ReadInt32(s);
  n.alpha = ReadInt32(s);
  n.history_mode = ReadByte(s) != 0;
  n.insert_x = ReadInt32(s);
  n.insert_y = ReadInt32(s);
  n.insert_height = ReadInt32(s);
  n.insert_align = ReadByte(s);
  if (version >= 110) n.insert_indent = ReadInt32(s);
  if (version > 110) {
    n.default_border = ReadInt32(s);
    n.default_shadow = ReadInt32(s);
  }
  settings = std::move(n);
}

void TKvWord::SaveSettings(TStream& s, int32_t version) const {
  const TKvWordSettings& n = settings;
  WriteInt32(s, n.font_color);
  WriteInt32(s, n.border_color);
  WriteInt32(s, n.font_height);
  WriteString(s, n.font_name);
  WriteInt32(s, n.antialias);
  WriteInt32(s, n.page_height);
  WriteInt32(s, n.line_width);
  WriteInt32(s, n.fade_time);
  WriteInt32(s, n.line_spacing);
  WriteByte(s, n.paging ? 1 : 0);
  WriteInt32(s, n.link_color);
  WriteInt32(s, n.hover_color);
  WriteInt32(s, n.hover_links);
  WriteInt32(s, n.shadow_color);
  WriteInt32(s, n.alpha);
  WriteByte(s, n.history_mode ? 1 : 0);
  WriteInt32(s, n.insert_x);
  WriteInt32(s, n.insert_y);
  WriteInt32(s, n.insert_height);
  WriteByte(s, n.insert_align);
  if (version >= 110) WriteInt32(s, n.insert_indent);
  if (version > 110) {
    WriteInt32(s, n.default_border);
    WriteInt32(s, n.default_shadow);
  }
}

}  // namespace quen
