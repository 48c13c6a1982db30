// GetTickCount64 for the thread library in zpack.exe. The C++ runtime brings that library, and the
// library imports GetTickCount64 at load time, which Windows XP lacks: the program would not start
// there. This file fills the library's import itself, so the program imports nothing newer than XP:
// with the system's function where there is one (Vista and later), else with GetTickCount widened
// to 64 bits by counting its wraps (every 49.7 days).
#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

using TickCount64Call = ULONGLONG(WINAPI*)();

// The last count given out where the system has no 64-bit count: wraps above, the 32-bit count below.
constexpr uint64_t WidenTickCount(uint64_t last, uint32_t now) {
  const uint64_t wraps = (last >> 32) + (now < static_cast<uint32_t>(last) ? 1 : 0);
  return wraps << 32 | now;
}
static_assert(WidenTickCount(0x00000000FFFFFFF0u, 0x10u) == 0x0000000100000010u, "a wrap carries into the top");
static_assert(WidenTickCount(0x0000000100000010u, 0x20u) == 0x0000000100000020u, "no wrap, no carry");
static_assert(WidenTickCount(0x0000000200000005u, 0x05u) == 0x0000000200000005u, "the same count again");

std::atomic<bool> g_lookedUp{false};
std::atomic<TickCount64Call> g_systemCall{nullptr};
std::atomic<uint64_t> g_lastCount{0};

ULONGLONG WINAPI TickCount64() {
  if (!g_lookedUp.load(std::memory_order_acquire)) {
    g_systemCall.store(reinterpret_cast<TickCount64Call>(reinterpret_cast<void*>(
                           GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64"))),
                       std::memory_order_relaxed);
    g_lookedUp.store(true, std::memory_order_release);
  }
  if (const TickCount64Call call = g_systemCall.load(std::memory_order_relaxed)) return call();
  uint64_t last = g_lastCount.load();
  uint64_t next;
  do {
    next = WidenTickCount(last, GetTickCount());  // read again after another thread moved it on
  } while (!g_lastCount.compare_exchange_weak(last, next));
  return next;
}

}  // namespace

// The import slot the library calls through, under the linker's name for it; the system's import
// library is then not searched for it.
#ifdef _WIN64
extern "C" TickCount64Call const z_tickCount64Import __asm__("__imp_GetTickCount64");
#else
extern "C" TickCount64Call const z_tickCount64Import __asm__("__imp__GetTickCount64@0");
#endif
extern "C" TickCount64Call const z_tickCount64Import = TickCount64;
