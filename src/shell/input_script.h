// The input of a headless run, written by a person: dialog answers, and mouse, wheel and key
// input at chosen moments of the virtual clock (docs/headless-input.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/input_event.h"

namespace quen {

struct TScriptAction {
  // kToolButton: a tool bar button clicked (0 "終了", 1 "画面切替"); kFullScreen: the full-screen
  // keys (F11, Alt+Enter); kClose: the window's close box.
  enum class Kind {
    kInput,
    kGap,
    kActivate,
    kDeactivate,
    kDump,
    kQuit,
    kToolButton,
    kFullScreen,
    kClose
  };
  // Applied before the first frame whose virtual time is at or after this (ms from the start).
  int64_t At = 0;
  Kind What = Kind::kInput;
  TInputEvent Input;   // kInput
  int32_t GapMs = 0;   // kGap: the next frame comes this long after the one before
  int32_t Button = 0;  // kToolButton
};

struct TInputScript {
  std::vector<std::string> Answers;    // in order, for message boxes and dialogs
  std::vector<TScriptAction> Actions;  // in file order; times never go back
};

// Parses the script; false with "LINE: what is wrong" in error.
bool ParseInputScript(const std::string& text, TInputScript& out, std::string& error);

// The virtual-key code of a key name ("A", "7", "F5", "Return", "Space", "Left", ...) or of a
// decimal code 1-255; 0 for anything else. Names ignore case.
int32_t VirtualKeyByName(const std::string& name);

}  // namespace quen
