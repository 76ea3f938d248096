// Scenario pages: the command base class, the command list, the page and its file format.
// Every command keeps its stored fields in a layout shared by the reader, the writer and the
// assembler, so a page read and written again gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"

namespace quen {

class TCallMan;
class TComList;
class TPage;

constexpr int kCommandCount = 61;
// Property codes, as the expression layer types them.
constexpr int kPropertyCount = kPropCount;
constexpr int kPropSetBytes = 21;
// Limits of the property-set table, shared by the page reader and the text form.
constexpr int kMaxPropSets = 4096;
constexpr int kMaxPropSetBytes = 4096;
constexpr int32_t kMinPageVersion = 103;
constexpr int32_t kMaxPageVersion = 115;

using TPropSet = std::array<uint8_t, kPropSetBytes>;

// Kinds of stored fields: expression, string, Int32, byte, property list, and an Int32 count
// followed by that many expressions.
enum TFieldKind : uint8_t { FK_EXPR, FK_STR, FK_INT, FK_BYTE, FK_PROPS, FK_EXPRLIST };

struct TFieldSpec {
  TFieldKind kind;
  const char* name;   // the name used by the text form of pages
  int32_t above = 0;  // present only when the page version is above this (0: always)
};

struct TCommandInfo {
  const char* name;
  std::vector<TFieldSpec> fields;
  int main = -1;  // field written without its name in the text form, or -1
};

const TCommandInfo& CommandInfo(int code);
// Code of a command name (exact), or -1.
int CommandCode(const std::string& name);

struct TField {
  bool present = true;
  int32_t num = 0;
  std::string str;
  TQuenParser expr;
  std::vector<TQuenParser> list;  // FK_EXPRLIST, or FK_PROPS in ascending property id
  std::vector<uint8_t> ids;       // FK_PROPS: the property ids of list
};

class TCommand {
 public:
  explicit TCommand(uint8_t code) : code_(code) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  virtual uint8_t GetCode() const { return code_; }
  virtual bool GetContinue() const { return continue_ != 0; }
  virtual bool GetDisabled() const { return disabled_ != 0; }
  virtual void SetDisabled(bool v) { disabled_ = v ? 1 : 0; }
  virtual bool BlocksEvents() const { return false; }
  virtual bool MatchesLabel(const std::string&) const { return false; }
  // Reads the base record and the fields of the layout for the page's version.
  virtual void LoadFromStream(TStream& s);
  virtual void Start(TCallMan&) {}
  // Moves pc; may replace page (a jump or call) or clear it (the page ends).
  virtual void Execute(TCallMan& cm, TPage*& page, int32_t& pc);
  virtual void SaveState(std::unique_ptr<TStream>&) {}
  virtual void LoadState(TStream&) {}
  virtual void Abort() {}
  virtual bool IsBusy() const { return false; }

  void SaveToStream(TStream& s) const;

  // True when expression field i ran and produced a value whose boolean reading is true. An
  // empty expression (none written in the source) counts as true: it is the unconditional
  // form of Jump, Call, Exit, Break and Continue.
  bool CondTrue(TCallMan& cm, int i);
  // Runs expression field i; its result or null.
  TCustomParam* Eval(TCallMan& cm, int i);

  TComList* List() const { return list_; }
  TPage* Page() const;

  int32_t indent = 0;
  uint8_t disabled_ = 0;
  uint8_t continue_ = 0;
  int32_t line = 0;
  // The stored code byte; only its low 7 bits name the command.
  uint8_t code_byte = 0;
  std::vector<TField> fields;

 protected:
  friend class TComList;

  uint8_t code_;
  TComList* list_ = nullptr;
};

class TComList {
 public:
  explicit TComList(TPage* page) : page_(page) {}
  TPage* Page() const { return page_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TCommand* At(int32_t i) const { return items_[static_cast<size_t>(i)].get(); }
  void Add(std::unique_ptr<TCommand> c);
  void Clear() { items_.clear(); }
  int32_t FindLabel(const std::string& name) const;

 private:
  TPage* page_;
  std::vector<std::unique_ptr<TCommand>> items_;
};

// The factory: a new command of the code's class; any other code raises "不正なコマンド".
std::unique_ptr<TCommand> NewCommand(uint8_t code);

class TPage {
 public:
  TPage() : list_(this) {}
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // Reads the page through the file manager.
  void Load(const std::string& file_name);
  // Reads a whole page file from memory. A damaged page raises the system's error.
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;

  bool HasProp(int code, int id) const {
    return (prop_sets[static_cast<size_t>(code)][static_cast<size_t>(id / 8)] >> (id % 8)) & 1;
  }

  int32_t version = kMaxPageVersion;
  uint8_t result_type = 1;
  std::string file_name;
  std::array<TPropSet, kCommandCount> prop_sets{};
  // The stored property-set records as read (n records of s bytes), so that a page written
  // back keeps bytes no set uses.
  std::vector<std::string> raw_sets;
  int32_t raw_set_size = kPropSetBytes;

  TComList& Commands() { return list_; }
  const TComList& Commands() const { return list_; }
  // Fills prop_sets from raw_sets.
  void ApplyRawSets();

 private:
  TComList list_;
};

// Called when a page below the supported versions is opened: the file name and the rebuild
// prompt are shown and the game is closed. The player installs its own; the default only sets
// the terminate flag.
using TOldPageHandler = std::function<void(const std::string& file_name)>;
void SetOldPageHandler(TOldPageHandler h);

}  // namespace quen
