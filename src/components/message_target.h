// What the text commands of a scenario page ask of a message box, and the read list they clear.
// The message box implements IMessageTarget; the commands reach it through the registry with
// dynamic_cast, so the interpreter's layer needs no message box header. The read list is made
// by the composition root and installed here.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  // Forgets the read key of the current text (no read tracking).
  virtual void ClearReadTracking() = 0;
  // Tracks the text about to be inserted under this page file and command index.
  virtual void StartReadTracking(const std::string& page_file, int32_t command_index) = 0;
  // Appends the text of the text-insertion command at (page_file, command_index) to the box's
  // message data and lays the box out again, firing play start; the body comes through the
  // text source of text/text_source.h.
  virtual void InsertTextPart(const std::string& page_file, int32_t command_index) = 0;
  // True while the box still reveals (or waits to reveal) text of its current page.
  virtual bool IsShowingText() const = 0;
  // Switches read tracking off and clears the box's text and message data.
  virtual void ClearText() = 0;
};

class IReadList {
 public:
  virtual ~IReadList() = default;
  // Forgets every page read and the pending mark.
  virtual void Clear() = 0;
};

// The read list of the running player; null before start-up and after shut-down.
IReadList* ReadList();
void SetReadList(IReadList* list);

}  // namespace quen
