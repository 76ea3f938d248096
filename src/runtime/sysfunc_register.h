// The system functions and variables that read and change the running player, family by family
// (one sysfunc_<family>.cpp each), and the call that registers every family at start-up.
#pragma once

#include <string>

#include "runtime/sysfunc_files.h"
#include "runtime/sysfunc_host.h"

namespace quen {

class TDBManager;
class TParamCollection;
class TSysFuncMan;

// The system variables that read the player's state (sysfunc_variables.cpp).
void RegisterSystemVariables(TParamCollection& vars, ISystemHost& host);

// Components and their items: GetProp, SetProp, Exists, ListCompo, ToClientX ... InCabinet, the
// item functions and IndexOfMenu (sysfunc_components.cpp).
void RegisterComponentFunctions(TSysFuncMan& funcs, ISystemHost& host);

// The running game: Calc, DeleteStack, the display modes, save captions and history counts
// (sysfunc_player.cpp).
void RegisterPlayerFunctions(TSysFuncMan& funcs, ISystemHost& host);

// The desktop: OpenUrl, the file choosers and ExtractFile (sysfunc_desktop.cpp).
void RegisterDesktopFunctions(TSysFuncMan& funcs, ISystemHost& host);

// Every family: the value and text groups and the table database of the expression layer, and
// the player's own; the file functions take their hooks (the picture cache, the save file).
void RegisterAllSystemFunctions(TSysFuncMan& funcs, ISystemHost& host, TDBManager& db,
                                TFileFuncHooks file_hooks = {});

// The installed font families in Shift-JIS, with the Windows family names that our font
// substitution serves, one per line ("\r\n" between).
std::string FontListText(bool fixed_pitch);

}  // namespace quen
