// A page whose While loop counts i up to a million in one frame, next to Lua 5.4 running the
// same loop over a global variable; reports both times and their ratio.
#include <benchmark/benchmark.h>

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
#include <chrono>

#include "authoring/page_text.h"
#include "components/quen_base_list.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "platform/host_fs.h"
#include "runtime/call_man.h"

namespace {

using Clock = std::chrono::steady_clock;

double OursMs(quen::TCallMan& cm, quen::TParamCollection& vars, int64_t n) {
  auto t0 = Clock::now();
  cm.StartPage("loop.qsb");
  cm.Run();
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  if (vars.FindVariable("i")->Value()->GetAsInteger() != n) return -1;
  return ms;
}

double LuaMs(lua_State* L, int64_t n) {
  std::string src = "i = 0 while i < " + std::to_string(n) + " do i = i + 1 end";
  if (luaL_loadstring(L, src.c_str()) != LUA_OK) return -1;
  auto t0 = Clock::now();
  lua_call(L, 0, 0);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  lua_getglobal(L, "i");
  bool ok = lua_tointeger(L, -1) == n;
  lua_pop(L, 1);
  return ok ? ms : -1;
}

void BM_WhileLoopAgainstLua(benchmark::State& state) {
  const int64_t n = state.range(0);
  std::string dir = quen::platform::MakePrivateTempDir("interp-bench") + "/";
  auto fm = std::make_unique<quen::TVrFileManager>();
  fm->SetGameFolder(dir);
  quen::SetFileManager(std::move(fm));
  quen::TPage page;
  quen::AssemblePage(
      "WhileInit i = 0\nWhile i < " + std::to_string(n) + "\n  Calc i = i + 1\nWhileLoop\n",
      "loop.qsb", page);
  quen::TKvMemoryStream m;
  page.SaveToStream(m);
  quen::platform::WriteFileAtomically(dir + "loop.qsb", m.Data());
  quen::TParamCollection vars;
  quen::TSysFuncMan funcs;
  quen::TQuenBaseList registry;
  bool evaluate = false;
  vars.Declare("i", quen::PT_INT, quen::VS_GLOBAL, evaluate);
  quen::TCallMan cm(vars, funcs, registry);
  lua_State* L = luaL_newstate();
  double ours = 0, lua = 0;
  for (auto _ : state) {
    double a = OursMs(cm, vars, n);
    double b = LuaMs(L, n);
    if (a < 0 || b < 0) {
      state.SkipWithError("the loop did not count to the end");
      break;
    }
    ours += a;
    lua += b;
  }
  lua_close(L);
  quen::platform::RemoveTree(dir);
  const double runs = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / runs;
  state.counters["lua_ms"] = lua / runs;
  state.counters["ratio"] = lua > 0 ? ours / lua : 0;
}
#if defined(__SANITIZE_ADDRESS__)
// The sanitised test build only proves that the benchmark runs.
BENCHMARK(BM_WhileLoopAgainstLua)->Arg(20'000)->Unit(benchmark::kMillisecond);
#else
BENCHMARK(BM_WhileLoopAgainstLua)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
