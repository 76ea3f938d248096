// The system functions that need nothing beyond values and the variable table, in groups. The
// player registers every group into its TSysFuncMan at start-up (the functions that act on
// components, files, saves and the table database are registered by the layers owning those).
#pragma once

#include <cstdint>

#include "expr/sys_func_man.h"

namespace quen {

// Text: IntToStr, IntToHex, Length ... JTrim, FixStr, LowerCase ... StringReplace, HanToZen,
// ZenToHan, AddDelimiter, StrToIntDef, StrToFloatDef, Chr, Ord. Case mapping and the comparisons
// and replacements that ignore case fold only single-byte ASCII letters (never a double-byte
// character); digit counts are clamped to 0..255 and StringOfChar stops at 16 MiB.
void RegisterTextFunctions(TSysFuncMan& funcs);

// Numbers, dates, arrays and the variable table: GetArraySize, Not, SetArray, FillMem, CopyMem,
// Random, ArrayToString, StringToArray, IndexOfStr, SortStr, Int ... Fabs, VarExists, the date
// functions, AddArray, InsertArray, DeleteArray, CopyArray, AssignTemp, Min ... GetVarType,
// PushVar, PopVar.
void RegisterValueFunctions(TSysFuncMan& funcs);

// Random draws from one generator for the whole process; headless runs seed it so that runs
// repeat. Without a seed it starts from the clock.
void SetRandomSeed(uint64_t seed);

}  // namespace quen
