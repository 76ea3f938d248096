// What the player needs to run the interpreter inside a project: a call manager wired to the
// project, and the variable listing of headless runs.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/call_man.h"

namespace quen {

class TProject;

// A call manager that asks the project whether a page's disk is present and posts close
// requests through request_close (Terminate). The project's host returns it from
// CreateCallMan; the frame loop sets clock and frame_ms before each Step.
std::unique_ptr<TCallMan> NewProjectCallMan(TProject& project, TParamCollection& vars,
                                            const TSysFuncMan& funcs, TQuenBaseList& registry,
                                            std::function<void()> request_close);

// Every script variable, one per line: name, tab, type ("int", "float", "bool", "str", with the
// dimensions in brackets for arrays), tab, the value as text (array elements separated by
// tabs). UTF-8.
std::string DumpVariables(const TParamCollection& vars);

}  // namespace quen
