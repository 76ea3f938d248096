// quentool eval: compiles expressions, passes them through their stored form and runs them
// against one variable table, printing each result.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/param_var.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_register.h"
#include "platform/text_encoding.h"
#include "quentool/verb.h"
#include "runtime/sysfunc_register.h"

namespace {

using quen::platform::Cp932ToUtf8;
using quen::platform::Utf8ToCp932;

// The label authors see for the type, as UTF-8.
std::string TypeName(uint8_t type) {
  const std::string label = quen::ValueTypeLabel(type);
  return label.empty() ? "none" : Cp932ToUtf8(label);
}

uint8_t TypeFromName(const std::string& name) {
  if (name == "int") return quen::PT_INT;
  if (name == "float") return quen::PT_FLOAT;
  if (name == "bool") return quen::PT_BOOL;
  if (name == "str") return quen::PT_STR;
  throw quentool::UsageError{"unknown type \"" + name + "\" (int, float, bool or str)"};
}

// Escapes control bytes so that one record stays on one line.
std::string Quoted(const std::string& sjis) {
  std::string out = "\"";
  for (char c : Cp932ToUtf8(sjis)) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '"' || c == '\\')
      out += std::string("\\") + c;
    else
      out += c;
  }
  return out + "\"";
}

std::string DescribeOperand(const quen::TCustomParam& o) {
  if (auto* v = dynamic_cast<const quen::TParamVar*>(&o))
    return "name " + Cp932ToUtf8(v->TargetName());
  uint8_t type = o.GetValueType();
  std::string value = type == quen::PT_STR ? Quoted(o.GetAsString()) : o.GetAsString();
  return TypeName(type) + " " + value;
}

void Dump(const quen::TQuenParser& parser) {
  for (const quen::TOpeData& rec : parser.Records()) {
    std::string line = quen::OpeName(rec.op) + " " + Cp932ToUtf8(rec.target);
    if (rec.op == quen::ocFunc)
      line += std::string(" ") + quen::kSysFuncs[rec.func].name + "#" + std::to_string(rec.func);
    const char* sep = " <- ";
    for (const auto& o : rec.operands) {
      line += sep + DescribeOperand(*o);
      sep = ", ";
    }
    std::printf("%s\n", line.c_str());
  }
}

int RunEval(const quentool::Args& given) {
  quentool::Args args = given;
  bool dump = quentool::TakeFlag(args, "--dump");
  std::vector<std::string> vars;
  for (std::string v; quentool::TakeOption(args, "--var", v);) vars.push_back(v);
  if (args.empty()) throw quentool::UsageError{"no expression given"};

  std::string seed;
  if (quentool::TakeOption(args, "--seed", seed)) {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(seed.c_str(), &end, 10);
    if (seed.empty() || *end != '\0') throw quentool::UsageError{"--seed takes a number"};
    quen::SetRandomSeed(n);
  }
  quen::TParamCollection table;
  quen::TSysFuncMan funcs;
  // No game runs here: the player's functions see no components, files or stack.
  quen::ISystemHost host;
  quen::TDBManager db;
  quen::RegisterSystemVariables(table, host);
  quen::RegisterAllSystemFunctions(funcs, host, db);
  for (const std::string& option : vars) {
    size_t colon = option.find(':');
    if (colon == std::string::npos || colon == 0)
      throw quentool::UsageError{"--var takes NAME:TYPE[=VALUE], not \"" + option + "\""};
    size_t eq = option.find('=', colon);
    std::string name = Utf8ToCp932(option.substr(0, colon));
    uint8_t type =
        TypeFromName(option.substr(colon + 1, eq == std::string::npos ? eq : eq - colon - 1));
    try {
      bool evaluate = false;
      quen::TParamCollectionItem* r = table.Declare(name, type, quen::VS_GLOBAL, evaluate);
      if (eq != std::string::npos) r->Value()->SetAsString(Utf8ToCp932(option.substr(eq + 1)));
    } catch (const quen::EQuenError& e) {
      throw quentool::UsageError{"--var " + option + ": " + Cp932ToUtf8(e.Message())};
    }
  }

  for (const std::string& text : args) {
    quen::TQuenParser parser;
    try {
      quen::TBuildQuenParser build;
      build.Build(Utf8ToCp932(text));
      quen::TKvMemoryStream stored;
      build.Write(stored);
      stored.SetPosition(0);
      parser.LoadFromStream(stored);
    } catch (const quen::EQuenError& e) {
      std::printf("error: %s\n", Cp932ToUtf8(e.Message()).c_str());
      continue;
    }
    if (dump) {
      Dump(parser);
      continue;
    }
    try {
      parser.Execute(table, funcs);
    } catch (const quen::EQuenError&) {
      // The result could not be detached: the run produced nothing usable.
    }
    if (const quen::TCustomParam* result = parser.Result())
      std::printf("%s %s\n", TypeName(result->GetValueType()).c_str(),
                  Cp932ToUtf8(result->GetAsString()).c_str());
    else
      std::printf("none\n");
  }
  return 0;
}

}  // namespace

QUENTOOL_VERB("eval", "eval [--dump] [--seed N] [--var NAME:TYPE[=VALUE]]... EXPR...", RunEval);
