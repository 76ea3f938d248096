#include "shell/input_script.h"

#include <cctype>
#include <cstdlib>

#include "platform/dialogs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A non-negative decimal number up to max; false otherwise.
bool Number(const std::string& s, int64_t max, int64_t& out) {
  if (s.empty() || s.size() > 12) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  out = std::strtoll(s.c_str(), nullptr, 10);
  return out <= max;
}

bool SignedNumber(const std::string& s, int64_t limit, int32_t& out) {
  int64_t v = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (!Number(negative ? s.substr(1) : s, limit, v)) return false;
  out = static_cast<int32_t>(negative ? -v : v);
  return true;
}

bool ButtonOf(const std::string& word, TMouseButton& b) {
  const std::string w = Lower(word);
  if (w == "left")
    b = TMouseButton::Left;
  else if (w == "right")
    b = TMouseButton::Right;
  else if (w == "middle")
    b = TMouseButton::Middle;
  else
    return false;
  return true;
}

}  // namespace

int32_t VirtualKeyByName(const std::string& name) {
  const std::string n = Lower(name);
  if (n.empty()) return 0;
  // A digit is the digit key; a virtual-key code is written vkN.
  if (n.size() == 1 && n[0] >= 'a' && n[0] <= 'z') return 'A' + (n[0] - 'a');
  if (n.size() == 1 && n[0] >= '0' && n[0] <= '9') return n[0];
  if (int64_t code = 0;
      n.size() > 2 && n.compare(0, 2, "vk") == 0 && Number(n.substr(2), 255, code))
    return code >= 1 ? static_cast<int32_t>(code) : 0;
  if (n.size() >= 2 && n[0] == 'f') {
    int64_t f = 0;
    if (Number(n.substr(1), 24, f) && f >= 1) return static_cast<int32_t>(0x70 + f - 1);
  }
  static const struct {
    const char* name;
    int32_t code;
  } kNames[] = {
      {"backspace", 0x08}, {"tab", 0x09},    {"return", 0x0D}, {"enter", 0x0D},    {"shift", 0x10},
      {"control", 0x11},   {"ctrl", 0x11},   {"alt", 0x12},    {"pause", 0x13},    {"escape", 0x1B},
      {"esc", 0x1B},       {"space", 0x20},  {"pageup", 0x21}, {"pagedown", 0x22}, {"end", 0x23},
      {"home", 0x24},      {"left", 0x25},   {"up", 0x26},     {"right", 0x27},    {"down", 0x28},
      {"insert", 0x2D},    {"delete", 0x2E},
  };
  for (const auto& k : kNames)
    if (n == k.name) return k.code;
  return 0;
}

bool ParseInputScript(const std::string& text, TInputScript& out, std::string& error) {
  out = TInputScript{};
  int number = 0;
  // Presses and releases without a position happen where the last move left the pointer.
  int32_t mouse_x = 0, mouse_y = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    std::string line = text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
    pos = lf == std::string::npos ? text.size() : lf + 1;
    ++number;
    auto fail = [&](const std::string& what) {
      error = std::to_string(number) + ": " + what;
      return false;
    };
    if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    std::vector<std::string> w;
    for (size_t i = 0; i < line.size();) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      size_t b = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > b) w.push_back(line.substr(b, i - b));
    }
    if (w.empty()) continue;
    if (w[0] == "answer") {
      // A path answer takes the rest of the line, spaces included.
      if (w.size() > 2 && w[1].rfind("path=", 0) == 0)
        w = {"answer", line.substr(line.find("path="))};
      if (w.size() != 2 || !platform::HeadlessDialogs::IsAnswerWord(w[1]))
        return fail("expected \"answer WORD\"");
      out.Answers.push_back(w[1]);
      continue;
    }
    // Timed lines: "@MS COMMAND ...".
    int64_t at = 0;
    if (w[0].size() < 2 || w[0][0] != '@' || !Number(w[0].substr(1), int64_t{1} << 40, at))
      return fail("expected \"answer WORD\" or \"@MS COMMAND\"");
    if (!out.Actions.empty() && at < out.Actions.back().At) return fail("times must not go back");
    if (w.size() < 2) return fail("a time needs a command");
    TScriptAction a;
    a.At = at;
    const std::string cmd = Lower(w[1]);
    const size_t args = w.size() - 2;
    if (cmd == "move" || cmd == "down" || cmd == "up") {
      // move X Y; down BUTTON [X Y]; up BUTTON [X Y]
      size_t first = 2;
      if (cmd == "move") {
        a.Input.Kind = TInputKind::MouseMove;
        if (args != 2) return fail("move needs X Y");
      } else {
        a.Input.Kind = cmd == "down" ? TInputKind::MouseDown : TInputKind::MouseUp;
        if (args != 1 && args != 3) return fail(cmd + " needs BUTTON [X Y]");
        if (!ButtonOf(w[2], a.Input.Button)) return fail("unknown button " + w[2]);
        first = 3;
      }
      if (w.size() > first) {
        if (!SignedNumber(w[first], 1 << 20, mouse_x) ||
            !SignedNumber(w[first + 1], 1 << 20, mouse_y))
          return fail("bad position");
      }
      a.Input.X = mouse_x;
      a.Input.Y = mouse_y;
    } else if (cmd == "wheel") {
      if (args != 1 || (Lower(w[2]) != "up" && Lower(w[2]) != "down"))
        return fail("wheel needs up or down");
      a.Input.Kind = TInputKind::Wheel;
      a.Input.WheelDelta = Lower(w[2]) == "up" ? 120 : -120;
    } else if (cmd == "key" || cmd == "keydown" || cmd == "keyup") {
      // key NAME (press and release), keydown NAME, keyup NAME
      if (args != 1) return fail(cmd + " needs a key");
      a.Input.Key = VirtualKeyByName(w[2]);
      if (a.Input.Key == 0) return fail("unknown key " + w[2]);
      a.Input.Kind = cmd == "keyup" ? TInputKind::KeyUp : TInputKind::KeyDown;
      if (cmd == "key") {
        out.Actions.push_back(a);
        a.Input.Kind = TInputKind::KeyUp;
      }
    } else if (cmd == "gap") {
      int64_t gap = 0;
      if (args != 1 || !Number(w[2], 86400000, gap) || gap < 1) return fail("gap needs MS");
      a.What = TScriptAction::Kind::kGap;
      a.GapMs = static_cast<int32_t>(gap);
    } else if (cmd == "text") {
      // The rest of the line after one blank, typed as it stands.
      size_t at_text = line.find(w[1]) + w[1].size();
      if (at_text >= line.size()) return fail("text needs characters");
      a.Input.Kind = TInputKind::Text;
      if (!platform::TryUtf8ToCp932(line.substr(at_text + 1), a.Input.Text) || a.Input.Text.empty())
        return fail("text cannot be typed in the game's character set");
    } else if (cmd == "compose") {
      // What the input method composes: shown in the edit field, not yet typed; an empty
      // line ends the composition.
      size_t at_text = line.find(w[1]) + w[1].size();
      a.Input.Kind = TInputKind::Composition;
      if (at_text < line.size() &&
          !platform::TryUtf8ToCp932(line.substr(at_text + 1), a.Input.Text))
        return fail("compose cannot be shown in the game's character set");
    } else if (cmd == "button") {
      const std::string which = args == 1 ? Lower(w[2]) : "";
      if (which != "exit" && which != "screen") return fail("button needs exit or screen");
      a.What = TScriptAction::Kind::kToolButton;
      a.Button = which == "exit" ? 0 : 1;
    } else if (cmd == "activate" || cmd == "deactivate" || cmd == "dump" || cmd == "quit" ||
               cmd == "fullscreen" || cmd == "close") {
      if (args != 0) return fail(cmd + " takes nothing");
      a.What = cmd == "activate"     ? TScriptAction::Kind::kActivate
               : cmd == "deactivate" ? TScriptAction::Kind::kDeactivate
               : cmd == "dump"       ? TScriptAction::Kind::kDump
               : cmd == "fullscreen" ? TScriptAction::Kind::kFullScreen
               : cmd == "close"      ? TScriptAction::Kind::kClose
                                     : TScriptAction::Kind::kQuit;
    } else {
      return fail("unknown command " + w[1]);
    }
    out.Actions.push_back(a);
  }
  return true;
}

}  // namespace quen
