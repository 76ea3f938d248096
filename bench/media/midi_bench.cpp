// Loading a 1 MB MIDI file (reading, ordering and timing every event) next to std::stable_sort
// of as many event records; and how late the real timer thread's ticks wake.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "media/midi_v.h"
#include "media/mm_timer.h"
#include "platform/realtime_thread.h"

namespace {

void PutBe(std::string& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutVarLen(std::string& out, uint32_t v) {
  char buf[4];
  int n = 0;
  buf[n++] = static_cast<char>(v & 0x7F);
  while ((v >>= 7) && n < 4) buf[n++] = static_cast<char>(0x80 | (v & 0x7F));
  while (n) out += buf[--n];
}

// Sixteen tracks of busy music: notes with running status, controllers and pitch bends at
// irregular small deltas, a tempo map in the first track, about 1 MB in all.
std::string BigFile() {
  std::string f = "MThd";
  PutBe(f, 6, 4);
  PutBe(f, 1, 2);
  PutBe(f, 16, 2);
  PutBe(f, 480, 2);
  uint32_t rng = 7;
  auto next = [&] { return (rng = rng * 1103515245u + 12345u) >> 16; };
  for (int t = 0; t < 16; ++t) {
    std::string body;
    while (body.size() < 65000) {
      const uint32_t r = next();
      PutVarLen(body, r % 7 == 0 ? 0 : r % 120);
      if (t == 0 && r % 50 == 0) {
        body += "\xFF\x51\x03";
        PutBe(body, 400000 + r % 200000, 3);
      } else if (r % 9 == 0) {
        body += static_cast<char>(0xB0 | t);
        body += static_cast<char>(r % 8);
        body += static_cast<char>(r % 128);
      } else if (r % 13 == 0) {
        body += static_cast<char>(0xE0 | t);
        body += static_cast<char>(r % 128);
        body += static_cast<char>((r >> 3) % 128);
      } else {
        // Note on, then running-status note off.
        body += static_cast<char>(0x90 | t);
        body += static_cast<char>(40 + r % 40);
        body += static_cast<char>(1 + r % 126);
        PutVarLen(body, r % 60);
        body += static_cast<char>(40 + r % 40);
        body += '\0';
      }
    }
    body += std::string("\x00\xFF\x2F\x00", 4);
    f += "MTrk";
    PutBe(f, static_cast<uint32_t>(body.size()), 4);
    f += body;
  }
  return f;
}

const std::string& TheFile() {
  static const std::string f = BigFile();
  return f;
}

void LoadSmf1MB(benchmark::State& state) {
  const std::string& file = TheFile();
  size_t events = 0;
  for (auto _ : state) {
    quen::TMidiV m;
    m.LoadFromBytes(file);
    events = m.Events().size();
    benchmark::DoNotOptimize(m.Length());
  }
  state.counters["events"] = static_cast<double>(events);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
}
BENCHMARK(LoadSmf1MB)->Unit(benchmark::kMillisecond);

// The anchor: the event records of the same file in track order, put in tick order by
// std::stable_sort, as a loader that sorts would.
void StableSortAnchor(benchmark::State& state) {
  quen::TMidiV m;
  m.LoadFromBytes(TheFile());
  std::vector<quen::TMidiMsgEvent> track_order = m.Events();
  std::sort(track_order.begin(), track_order.end(),
            [](const auto& a, const auto& b) { return a.order < b.order; });
  for (auto _ : state) {
    std::vector<quen::TMidiMsgEvent> v = track_order;
    std::stable_sort(v.begin(), v.end(),
                     [](const auto& a, const auto& b) { return a.tick < b.tick; });
    benchmark::DoNotOptimize(v.data());
  }
  state.counters["records"] = static_cast<double>(track_order.size());
}
BENCHMARK(StableSortAnchor)->Unit(benchmark::kMillisecond);

// The real timer thread at 10 ms for 2 s: how late each tick woke (microseconds). Headless
// ticks run at their deadlines, so their lateness is 0 by construction.
void TickLateness(benchmark::State& state) {
  constexpr size_t kTicks = 200;
  std::vector<int32_t> late;
  for (auto _ : state) {
    quen::TMMTimer timer(quen::TMMTimer::TMode::kThread, [](int64_t) {});
    timer.SetPeriod(10);
    timer.RecordLateness(kTicks);
    timer.SetEnabled(true);
    while (timer.Lateness().size() < kTicks) quen::platform::SleepMillis(50);
    late = timer.Lateness();
    state.counters["urgency"] = timer.Urgency();
  }
  std::sort(late.begin(), late.end());
  auto at = [&](double q) {
    return late[std::min(late.size() - 1, static_cast<size_t>(q * late.size()))];
  };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = late.back();
}
BENCHMARK(TickLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
