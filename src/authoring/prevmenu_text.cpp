#include "authoring/prevmenu_text.h"

#include "authoring/desc_text.h"

namespace quen {
namespace {

struct TField {
  const char* name;
  int32_t after;  // stored when the version is above this
  std::string TContSelButton::*str;
  int32_t TContSelButton::*num;
  bool byte;
};

// Every field but name, position and overlay position, in reading order.
const TField kFields[] = {
    {"picture", 0, &TContSelButton::Picture, nullptr, false},
    {"capture_mask", 0, nullptr, nullptr, true},
    {"hover", 0, &TContSelButton::HoverPicture, nullptr, false},
    {"leave", 0, &TContSelButton::LeavePicture, nullptr, false},
    {"clicked", 0, &TContSelButton::ClickedPicture, nullptr, false},
    {"disabled", 100, &TContSelButton::DisabledPicture, nullptr, false},
    {"disabled_hover", 102, &TContSelButton::DisabledHoverPicture, nullptr, false},
    {"disabled_leave", 102, &TContSelButton::DisabledLeavePicture, nullptr, false},
    {"enter_overlay", 0, &TContSelButton::EnterOverlay, nullptr, false},
    {"leave_overlay", 0, &TContSelButton::LeaveOverlay, nullptr, false},
    {"click_overlay", 0, &TContSelButton::ClickOverlay, nullptr, false},
    {"disabled_enter_overlay", 101, &TContSelButton::DisabledEnterOverlay, nullptr, false},
    {"disabled_leave_overlay", 101, &TContSelButton::DisabledLeaveOverlay, nullptr, false},
    {"cursor", 0, &TContSelButton::Cursor, nullptr, false},
    {"checked", 103, &TContSelButton::CheckedPicture, nullptr, false},
    {"checked_hover", 103, &TContSelButton::CheckedHoverPicture, nullptr, false},
    {"checked_leave", 103, &TContSelButton::CheckedLeavePicture, nullptr, false},
    {"checked_enter_overlay", 103, &TContSelButton::CheckedEnterOverlay, nullptr, false},
    {"checked_leave_overlay", 103, &TContSelButton::CheckedLeaveOverlay, nullptr, false},
    {"group", 103, nullptr, &TContSelButton::Group, false},
    {"checked_click_overlay", 104, &TContSelButton::CheckedClickOverlay, nullptr, false},
    {"group_click_overlay", 105, &TContSelButton::GroupClickOverlay, nullptr, false},
};

}  // namespace

TContSelList ParsePrevMenuText(std::string_view utf8) {
  TContSelList list;
  bool versioned = false;
  TContSelButton* b = nullptr;
  for (const TDescLine& line : ParseDescText(utf8)) {
    TDescReader r(line);
    const std::string& name = r.Name();
    if (name == "version") {
      r.ExpectCount(1);
      if (versioned || !list.Buttons.empty()) r.Fail("the version comes first, once");
      list.Version = r.Int(0);
      if (list.Version < TContSelList::kOldestVersion ||
          list.Version > TContSelList::kNewestVersion)
        r.Fail("versions are 100 to 106");
      versioned = true;
      continue;
    }
    if (name == "size") {
      r.ExpectCount(2);
      list.Width = r.Int(0);
      list.Height = r.Int(1);
      continue;
    }
    if (name == "button") {
      r.ExpectCount(1);
      b = &list.Add();
      b->Name = r.Str(0);
      continue;
    }
    if (!b) r.Fail("a field before the first button");
    if (name == "pos" || name == "overlay_pos") {
      r.ExpectCount(2);
      (name == "pos" ? b->X : b->OverlayX) = r.Int(0);
      (name == "pos" ? b->Y : b->OverlayY) = r.Int(1);
      continue;
    }
    const TField* field = nullptr;
    for (const TField& f : kFields)
      if (name == f.name) field = &f;
    if (!field) r.Fail("unknown field " + name);
    if (list.Version <= field->after)
      r.Fail("version " + std::to_string(list.Version) + " does not store " + name);
    r.ExpectCount(1);
    if (field->str)
      b->*(field->str) = r.Str(0);
    else if (field->num)
      b->*(field->num) = r.Int(0);
    else
      b->CaptureMask = r.Byte(0);
  }
  return list;
}

std::string PrevMenuToText(const TContSelList& list) {
  std::string out = "version " + std::to_string(list.Version) + "\n";
  out += "size " + std::to_string(list.Width) + " " + std::to_string(list.Height) + "\n";
  for (const TContSelButton& b : list.Buttons) {
    out += "button " + DescQuote(b.Name) + "\n";
    out += "pos " + std::to_string(b.X) + " " + std::to_string(b.Y) + "\n";
    out += "overlay_pos " + std::to_string(b.OverlayX) + " " + std::to_string(b.OverlayY) + "\n";
    for (const TField& f : kFields) {
      if (list.Version <= f.after) continue;
      out += std::string(f.name) + " ";
      if (f.str)
        out += DescQuote(b.*(f.str));
      else if (f.num)
        out += std::to_string(b.*(f.num));
      else
        out += std::to_string(b.CaptureMask);
      out += "\n";
    }
  }
  return out;
}

}  // namespace quen
