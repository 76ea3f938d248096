// What the command classes of components, text, media and resets share: reading their stored
// expressions as values, finding components by name, and the tag of their state records.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/stream.h"
#include "runtime/call_man.h"
#include "runtime/command.h"

namespace quen {

class TQuenObject;

// Factories of the command classes kept in their own files; null for codes they do not make.
std::unique_ptr<TCommand> NewComponentCommand(uint8_t code);
std::unique_ptr<TCommand> NewScreenCommand(uint8_t code);
std::unique_ptr<TCommand> NewTextCommand(uint8_t code);
std::unique_ptr<TCommand> NewResetCommand(uint8_t code);

namespace com {

// Runs expression field i; null when the field is absent from the page's version or the
// expression produced no value.
TCustomParam* Value(TCallMan& cm, TCommand& c, int i);
std::optional<int32_t> IntOf(TCallMan& cm, TCommand& c, int i);
std::optional<bool> BoolOf(TCallMan& cm, TCommand& c, int i);
std::optional<long double> FloatOf(TCallMan& cm, TCommand& c, int i);
std::string TextOf(TCallMan& cm, TCommand& c, int i);

// The component whose name is the value of field i: none for an empty name or when nothing
// bears it. Roots are found by their names as the registry's lookup finds them.
TQuenObject* Named(TCallMan& cm, TCommand& c, int i);
// As Named, but never a screen root: the media and menu commands act on components only.
TQuenObject* NamedComponent(TCallMan& cm, TCommand& c, int i);

// A copy of a compiled expression that belongs to its holder (never a reference into a page
// that the cache may drop).
std::unique_ptr<TQuenParser> CopyOf(const TQuenParser& e);

// The "quenNNN" tag of a state record: writes this player's, reads the version of the record
// (0 without a tag, read from where it began).
void WriteStateTag(TStream& s);
int ReadStateTag(TStream& s);

}  // namespace com
}  // namespace quen
