// quentool verbs register themselves here; each lives in a file of its own.
#pragma once

#include <string>
#include <vector>

namespace quentool {

using Args = std::vector<std::string>;
using VerbFn = int (*)(const Args& args);

struct Verb {
  std::string name;
  std::string usage;
  VerbFn run;
};

std::vector<Verb>& Verbs();

struct VerbRegistrar {
  VerbRegistrar(const char* name, const char* usage, VerbFn fn) {
    Verbs().push_back(Verb{name, usage, fn});
  }
};

// Raised for a wrong command line; main prints the message and the verb's usage.
struct UsageError {
  std::string message;
};

// Takes "--name VALUE" (or "-o VALUE" ...) out of args; returns false when absent.
bool TakeOption(Args& args, const std::string& name, std::string& value);
// Takes a flag "--name" out of args.
bool TakeFlag(Args& args, const std::string& name);

// A whole input file (at most 1 GiB); UsageError "cannot read PATH" when it cannot be read.
std::string ReadInputFile(const std::string& path);
// Writes a whole output file through a temporary file and a rename; UsageError "cannot write
// PATH" on failure.
void WriteOutputFile(const std::string& path, const std::string& bytes);

}  // namespace quentool

#define QUENTOOL_CONCAT2(a, b) a##b
#define QUENTOOL_CONCAT(a, b) QUENTOOL_CONCAT2(a, b)
#define QUENTOOL_VERB(name, usage, fn) \
  static ::quentool::VerbRegistrar QUENTOOL_CONCAT(quentool_verb_, __LINE__)(name, usage, fn)
