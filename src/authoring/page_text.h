// The text form of scenario pages: one command per line, nesting by indentation, labels and
// loop targets by name, expressions as source text. Assembling the dump of a page gives the
// page back byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/command.h"

namespace quen {

// Index of a label in another page, or -1 when it is unknown.
using TLabelResolver = std::function<int32_t(const std::string& page, const std::string& label)>;

// Assembles UTF-8 text into page. file_name is the page's own name (the default page of Jump
// and Call). Errors raise EQuenError with "line N: " and the reason in UTF-8.
void AssemblePage(const std::string& text, const std::string& file_name, TPage& page,
                  const TLabelResolver& resolver = nullptr);
// Index of each label of a text page without assembling it (for cross-page targets).
int32_t FindLabelInText(const std::string& text, const std::string& label);
// The text form of a page (UTF-8).
std::string DumpPage(const TPage& page);

}  // namespace quen
