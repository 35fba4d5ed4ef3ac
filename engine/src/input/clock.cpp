// The clock seam: a steady millisecond clock, or a fake one that moves only when the program sleeps,
// so that a paced screen loop runs instantly inside a test.
#include "input/input.h"

#include <chrono>
#include <thread>

uint32_t ClockMs() {
  if (Input.FakeClock) return Input.FakeNow;
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void WaitAnswering(int ms) {
  const uint32_t start = ClockMs();
  while (static_cast<int32_t>(ClockMs() - start) < ms) {
    PumpEvents();
    SleepMs(10);
  }
}

void SleepMs(int ms) {
  if (ms <= 0) return;
  if (Input.FakeClock) {
    Input.FakeNow += static_cast<uint32_t>(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void UseFakeClock(uint32_t startMs) {
  Input.FakeClock = true;
  Input.FakeNow = startMs;
}
