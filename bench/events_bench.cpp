// The stand-in's events and waits in a process with many idle workers, and what distinct event
// names leave behind.
//
// BM_EventRoundTrip/N: one SetEvent to a partner thread and one back, while N other threads wait
// on events of their own that never come. Waking only an object's waiters keeps the round trip
// the same for 0 and 200 idle waiters.
// BM_NamedEventChurn: create and close events of ever new names; the counter heap_per_name is the
// heap still in use afterwards, per name (0 when a name goes with its last handle).
#include <windows.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

struct PingPong {
  HANDLE ping = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> stop{false};
};

DWORD WINAPI Answer(LPVOID parameter) {
  auto* game = static_cast<PingPong*>(parameter);
  for (;;) {
    WaitForSingleObject(game->ping, INFINITE);
    if (game->stop) return 0;
    SetEvent(game->pong);
  }
}

DWORD WINAPI IdleForever(LPVOID never) {
  WaitForSingleObject(never, INFINITE);
  return 0;
}

void BM_EventRoundTrip(benchmark::State& state) {
  std::vector<HANDLE> idle;
  std::vector<HANDLE> idleEvents;
  for (int i = 0; i < state.range(0); ++i) {
    idleEvents.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    idle.push_back(CreateThread(nullptr, 0, IdleForever, idleEvents.back(), 0, nullptr));
  }
  Sleep(50);  // every idle thread in its wait
  PingPong game;
  HANDLE partner = CreateThread(nullptr, 0, Answer, &game, 0, nullptr);
  for (auto _ : state) {
    SetEvent(game.ping);
    WaitForSingleObject(game.pong, INFINITE);
  }
  game.stop = true;
  SetEvent(game.ping);
  WaitForSingleObject(partner, INFINITE);
  CloseHandle(partner);
  for (size_t i = 0; i < idle.size(); ++i) {
    SetEvent(idleEvents[i]);
    WaitForSingleObject(idle[i], INFINITE);
    CloseHandle(idle[i]);
    CloseHandle(idleEvents[i]);
  }
  CloseHandle(game.ping);
  CloseHandle(game.pong);
}

void BM_NamedEventChurn(benchmark::State& state) {
  const size_t before = mallinfo2().uordblks;
  long names = 0;
  for (auto _ : state) {
    const std::string name = "Global\\LyrBenchEvent" + std::to_string(names++);
    CloseHandle(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
  }
  const size_t after = mallinfo2().uordblks;
  state.counters["heap_per_name"] =
      static_cast<double>(after > before ? after - before : 0) / static_cast<double>(names);
}

}  // namespace

BENCHMARK(BM_EventRoundTrip)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_NamedEventChurn)->Iterations(1000000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
