// A Japanese (932) or Simplified Chinese (936) system on a POSIX host, selected by a test: the lead
// bytes of the code page, as IsDBCSLeadByteEx gives them there. ANSI and OEM are one code page on
// such a system, as on Windows.
#include <atomic>

#include "platform/posix/posix_internal.h"
#include "platform/test_hooks.h"

namespace {

std::atomic<uint32_t> g_doubleByteCodePage{0};

}  // namespace

uint32_t DoubleByteCodePage() { return g_doubleByteCodePage.load(std::memory_order_relaxed); }

void OsSetDoubleByteCodePageForTests(uint32_t codePage) {
  g_doubleByteCodePage.store(codePage == 932 || codePage == 936 ? codePage : 0, std::memory_order_relaxed);
}

int OsIsLeadByte(TextCodePage, unsigned char byte) {
  switch (DoubleByteCodePage()) {
    case 932: return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936: return byte >= 0x81 && byte <= 0xFE;
    default: return 0;
  }
}
