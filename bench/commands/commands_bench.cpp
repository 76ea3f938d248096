// The component commands against their anchors in the same run: BoxNew pages against Lua
// building tables kept by name, SetProp and GetProp by name against Lua field access and against
// Calc commands, and the Flip snapshot against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
#include <chrono>
#include <cstring>
#include <vector>

#include "authoring/page_text.h"
#include "components/quen_base_list.h"
#include "components/quen_image.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "platform/host_fs.h"
#include "runtime/call_man.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// A game folder holding pages, and an interpreter over a registry.
struct TGame {
  explicit TGame(const std::vector<std::pair<std::string, std::string>>& pages) {
    dir = quen::platform::MakePrivateTempDir("commands-bench") + "/";
    auto fm = std::make_unique<quen::TVrFileManager>();
    fm->SetGameFolder(dir);
    quen::SetFileManager(std::move(fm));
    for (const auto& [name, text] : pages) {
      quen::TPage page;
      quen::AssemblePage(text, name, page);
      quen::TKvMemoryStream m;
      page.SaveToStream(m);
      quen::platform::WriteFileAtomically(dir + name, m.Data());
    }
    registry.SetSize(640, 480);
    cm = std::make_unique<quen::TCallMan>(vars, funcs, registry);
  }
  ~TGame() {
    cm.reset();
    quen::platform::RemoveTree(dir);
  }
  double RunMs(const std::string& page) {
    auto t0 = Clock::now();
    cm->StartPage(page);
    cm->Run();
    return Since(t0);
  }
  std::string dir;
  quen::TParamCollection vars;
  quen::TSysFuncMan funcs;
  quen::TQuenBaseList registry;
  std::unique_ptr<quen::TCallMan> cm;
};

double LuaMs(lua_State* L, const std::string& src) {
  if (luaL_loadstring(L, src.c_str()) != LUA_OK) return -1;
  auto t0 = Clock::now();
  lua_call(L, 0, 0);
  return Since(t0);
}

void BM_BoxNewAgainstLua(benchmark::State& state) {
  const int64_t n = state.range(0);
  std::string page;
  for (int64_t i = 0; i < n; ++i)
    page +=
        "BoxNew left={" + std::to_string(i) +
        "} top={2} width={30} height={40} color={255} alpha={128} priority={3} visible={TRUE}\n";
  TGame game({{"boxes.qsb", page}});
  const std::string lua_src =
      "objs = {} for i = 1, " + std::to_string(n) +
      " do objs['object' .. i] = {left = i, top = 2, width = 30, height = 40, color = 255, "
      "alpha = 128, priority = 3, visible = true} end";
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  double ours = 0, lua = 0;
  for (auto _ : state) {
    game.registry.Reset();
    ours += game.RunMs("boxes.qsb");
    if (game.registry.ComponentCount() != n) {
      state.SkipWithError("the page did not make every box");
      break;
    }
    lua += LuaMs(L, lua_src);
  }
  lua_close(L);
  const double runs = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / runs;
  state.counters["lua_ms"] = lua / runs;
  state.counters["us_per_box"] = ours / runs * 1000 / static_cast<double>(n);
  state.counters["ratio"] = lua > 0 ? ours / lua : 0;
}

// SetProp then GetProp by name in a loop, among range(0) components; the same loop with two
// Calc commands of as many operands; Lua's field access by name.
void BM_SetGetPropAgainstCalcAndLua(benchmark::State& state) {
  const int64_t count = state.range(0), n = state.range(1);
  const std::string loop = "WhileInit i = 0\nWhile i < " + std::to_string(n) + "\n";
  TGame game({{"props.qsb", loop + "  SetProp comp={\"target\"} prop={3} value={i}\n"
                                   "  GetProp comp={\"target\"} prop={3} var=x\n"
                                   "WhileLoop i = i + 1\n"},
              {"calc.qsb", loop + "  Calc x = i + 3\n  Calc x = i + 3\nWhileLoop i = i + 1\n"}});
  bool evaluate = false;
  game.vars.Declare("i", quen::PT_INT, quen::VS_GLOBAL, evaluate);
  game.vars.Declare("x", quen::PT_INT, quen::VS_GLOBAL, evaluate);
  for (int64_t k = 0; k < count; ++k) {
    auto* box = game.registry.CreateComponent(quen::LT_BOX);
    box->AsControl()->SetParent(&game.registry.Root(0));
  }
  game.registry.Component(static_cast<int32_t>(count / 2))->SetName("target");
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  LuaMs(L, "objs = {} for i = 1, " + std::to_string(count) +
               " do objs['object' .. i] = {left = 0} end objs.target = {left = 0}");
  const std::string lua_src = "local o = objs for i = 1, " + std::to_string(n) +
                              " do o['target'].left = i; x = o['target'].left end";
  double ours = 0, calc = 0, lua = 0;
  for (auto _ : state) {
    ours += game.RunMs("props.qsb");
    if (game.vars.FindVariable("x")->Value()->GetAsInteger() != n - 1) {
      state.SkipWithError("GetProp did not read what SetProp wrote");
      break;
    }
    calc += game.RunMs("calc.qsb");
    lua += LuaMs(L, lua_src);
  }
  lua_close(L);
  const double runs = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / runs;
  state.counters["calc_ms"] = calc / runs;
  state.counters["lua_ms"] = lua / runs;
  state.counters["ratio_calc"] = calc > 0 ? ours / calc : 0;
  state.counters["ratio_lua"] = lua > 0 ? ours / lua : 0;
}

void BM_FlipSnapshotAgainstMemcpy(benchmark::State& state) {
  const int32_t w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  quen::TQuenBaseList registry;
  registry.SetSize(w, h);
  registry.DrawAll();
  registry.ClearDirty();
  const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  std::vector<uint8_t> source(bytes, 7);
  double ours = 0, copy = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    quen::TQuenImage* shot = quen::TQuenImage::MakeScreenSnapshot(registry);
    ours += Since(t0);
    registry.Destroy(shot);
    registry.ClearDirty();
    t0 = Clock::now();
    std::vector<uint8_t> target(bytes);
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    copy += Since(t0);
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / runs;
  state.counters["memcpy_ms"] = copy / runs;
  state.counters["ratio"] = copy > 0 ? ours / copy : 0;
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitised test build only proves that the benchmarks run.
BENCHMARK(BM_BoxNewAgainstLua)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetGetPropAgainstCalcAndLua)->Args({20, 200})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipSnapshotAgainstMemcpy)->Args({64, 48})->Unit(benchmark::kMillisecond);
#else
BENCHMARK(BM_BoxNewAgainstLua)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetGetPropAgainstCalcAndLua)
    ->Args({20, 100'000})
    ->Args({2000, 100'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipSnapshotAgainstMemcpy)->Args({1920, 1080})->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
