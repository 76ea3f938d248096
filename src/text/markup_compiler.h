// The body of a text-insertion command: marked-up text compiled into the content stream that
// the message box loads and the message history reads again, so that text appended to a box
// shares its decorations (relative decoration indices).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen {

// The content stream of the markup lines (Shift-JIS); WAIT defaults to text_delay (the
// @TextDelay of authoring time). Raises the system's error of a faulty tag ("<A>" without
// HREF).
std::string CompileMarkup(const std::vector<std::string>& lines, int32_t text_delay);

// Lines of a Shift-JIS text split at CR LF, CR or LF.
std::vector<std::string> SplitMarkupLines(const std::string& text);

}  // namespace quen
