// How many compiled "i = i + 1" runs per second the evaluator does, next to Lua 5.4 running
// the same statement as a precompiled chunk.
#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "expr/build_quen_parser.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"

namespace {

void BM_CompiledIncrement(benchmark::State& state) {
  quen::TParamCollection vars;
  quen::TSysFuncMan funcs;
  bool evaluate = false;
  quen::TParamCollectionItem* i = vars.Declare("i", quen::PT_INT, quen::VS_GLOBAL, evaluate);
  quen::TBuildQuenParser build;
  build.Build("i = i + 1");
  quen::TKvMemoryStream stored;
  build.Write(stored);
  stored.SetPosition(0);
  quen::TQuenParser parser;
  parser.LoadFromStream(stored);
  for (auto _ : state) parser.Execute(vars, funcs);
  if (i->Value()->GetAsInteger() != static_cast<int32_t>(state.iterations()))
    state.SkipWithError("the runs did not all count");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompiledIncrement);

void BM_CompileAndRun(benchmark::State& state) {
  quen::TParamCollection vars;
  quen::TSysFuncMan funcs;
  bool evaluate = false;
  vars.Declare("i", quen::PT_INT, quen::VS_GLOBAL, evaluate);
  for (auto _ : state) benchmark::DoNotOptimize(quen::RunText("i = i + 1", vars, funcs));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompileAndRun);

void BM_LuaIncrementAnchor(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  lua_pushinteger(L, 0);
  lua_setglobal(L, "i");
  if (luaL_loadstring(L, "i = i + 1") != LUA_OK) {
    state.SkipWithError("lua chunk did not load");
    lua_close(L);
    return;
  }
  for (auto _ : state) {
    lua_pushvalue(L, -1);
    lua_call(L, 0, 0);
  }
  lua_getglobal(L, "i");
  if (lua_tointeger(L, -1) != static_cast<lua_Integer>(state.iterations()))
    state.SkipWithError("the runs did not all count");
  lua_close(L);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LuaIncrementAnchor);

}  // namespace

BENCHMARK_MAIN();
