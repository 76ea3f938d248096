// The player's one error type: an exception carrying the message as the system shows it,
// in Shift-JIS bytes.
#pragma once

#include <stdexcept>
#include <string>

namespace quen {

class EQuenError : public std::runtime_error {
 public:
  explicit EQuenError(std::string message) : std::runtime_error(std::move(message)) {}
  // The message bytes exactly as raised (Shift-JIS).
  const std::string& Message() const noexcept { return message_; }

 private:
  // runtime_error keeps its own copy; this one is handed out by reference.
  std::string message_{what()};
};

// printf-style formatting over byte strings: "%s" inserts the argument's bytes unchanged,
// so Shift-JIS text passes through untouched.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

[[noreturn]] void RaiseError(const std::string& message);
[[noreturn]] void RaiseErrorFmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Raises e's message with the name of the file it concerns after it ("text: name"), once.
[[noreturn]] void RaiseNamingFile(const EQuenError& e, const std::string& name);

}  // namespace quen
