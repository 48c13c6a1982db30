// zsiteid.dll, loaded by name as a host loads it, against testcom.dll registered as the object API.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "site_id.h"
#include "testcom.h"

// Calls fn(buffer, arg) and reports how the call kept its convention: 0 when it did. On i686, how far
// the stack pointer moved across the stdcall call (0 when the callee removed its two arguments
// itself); 0x7FFF0000 is added when the callee changed ebx, esi or edi. On x86_64 (one convention, the
// caller owns the stack): how far the stack pointer moved, plus 0x7FFF0000 when the callee changed
// rbx, rbp, rsi, rdi or r12 to r15.
extern "C" int SiteIdStdcallProbe(GetSiteIdFn fn, char* buffer, uint32_t arg);
#if defined(__i386__)
asm(R"(
    .text
    .globl _SiteIdStdcallProbe
_SiteIdStdcallProbe:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl $0x5EB05EB0, %ebx
    movl $0x51515151, %esi
    movl $0xD1D1D1D1, %edi
    pushl 16(%ebp)
    pushl 12(%ebp)
    call *8(%ebp)
    movl %esp, %eax
    leal -12(%ebp), %esp
    subl %esp, %eax
    cmpl $0x5EB05EB0, %ebx
    jne 1f
    cmpl $0x51515151, %esi
    jne 1f
    cmpl $0xD1D1D1D1, %edi
    je 2f
1:  addl $0x7FFF0000, %eax
2:  popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");
#elif defined(__x86_64__)
// The frame pointer waits in memory while rbp carries a pattern through the call.
asm(R"(
    .data
    .p2align 3
siteIdProbeFrame:
    .quad 0
    .text
    .globl SiteIdStdcallProbe
SiteIdStdcallProbe:
    pushq %rbp
    movq %rsp, %rbp
    pushq %rbx
    pushq %rsi
    pushq %rdi
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq $40, %rsp
    movq %rbp, siteIdProbeFrame(%rip)
    movq %rcx, %rax
    movq %rdx, %rcx
    movl %r8d, %edx
    movabsq $0x5EB05EB05EB05EB0, %rbx
    movabsq $0x5151515151515151, %rsi
    movabsq $0xD1D1D1D1D1D1D1D1, %rdi
    movabsq $0x1212121212121212, %r12
    movabsq $0x1313131313131313, %r13
    movabsq $0x1414141414141414, %r14
    movabsq $0x1515151515151515, %r15
    movabsq $0xB0B0B0B0B0B0B0B0, %rbp
    call *%rax
    movabsq $0xB0B0B0B0B0B0B0B0, %r11
    xorl %r10d, %r10d
    cmpq %r11, %rbp
    setne %r10b
    movq siteIdProbeFrame(%rip), %rbp
    leaq -96(%rbp), %rax
    movq %rsp, %rcx
    subq %rax, %rcx
    movl %ecx, %eax
    movabsq $0x5EB05EB05EB05EB0, %r11
    cmpq %r11, %rbx
    jne 1f
    movabsq $0x5151515151515151, %r11
    cmpq %r11, %rsi
    jne 1f
    movabsq $0xD1D1D1D1D1D1D1D1, %r11
    cmpq %r11, %rdi
    jne 1f
    movabsq $0x1212121212121212, %r11
    cmpq %r11, %r12
    jne 1f
    movabsq $0x1313131313131313, %r11
    cmpq %r11, %r13
    jne 1f
    movabsq $0x1414141414141414, %r11
    cmpq %r11, %r14
    jne 1f
    movabsq $0x1515151515151515, %r11
    cmpq %r11, %r15
    jne 1f
    testl %r10d, %r10d
    jz 2f
1:  addl $0x7FFF0000, %eax
2:  leaq -56(%rbp), %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rdi
    popq %rsi
    popq %rbx
    popq %rbp
    ret
)");
#else
#error "the calling-convention probe knows i686 and x86_64"
#endif

namespace {

const unsigned char kGuard = 0xA5;
const char kFullLog[] = "create slot11 slot32 slot9 free:api free:session free:site";

struct Server {
  HMODULE module = nullptr;
  TestComConfigureFn configure = nullptr;
  TestComGetCountersFn counters = nullptr;
  TestComGetLiveObjectsFn liveObjects = nullptr;
  TestComGetLogFn log = nullptr;
  HRESULT(__stdcall* registerServer)() = nullptr;
  HRESULT(__stdcall* unregisterServer)() = nullptr;
};

Server g_server;
HMODULE g_siteIdModule;
GetSiteIdFn g_getSiteId;

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A crash must fail the run: under Wine an unhandled exception can otherwise end in exit code 0.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "siteid_test: unhandled exception 0x%08lx at %p\n",
               static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

class SiteIdEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SetUnhandledExceptionFilter(ReportCrash);
    // Loaded by name from the program's folder; COM later loads the same module by its registered path.
    g_server.module = LoadLibraryA("testcom.dll");
    ASSERT_NE(g_server.module, nullptr);
    g_server.configure = Resolve<TestComConfigureFn>(g_server.module, "TestComConfigure");
    g_server.counters = Resolve<TestComGetCountersFn>(g_server.module, "TestComGetCounters");
    g_server.liveObjects = Resolve<TestComGetLiveObjectsFn>(g_server.module, "TestComGetLiveObjects");
    g_server.log = Resolve<TestComGetLogFn>(g_server.module, "TestComGetLog");
    g_server.registerServer = Resolve<HRESULT(__stdcall*)()>(g_server.module, "DllRegisterServer");
    g_server.unregisterServer = Resolve<HRESULT(__stdcall*)()>(g_server.module, "DllUnregisterServer");
    ASSERT_TRUE(g_server.configure && g_server.counters && g_server.liveObjects && g_server.log &&
                g_server.registerServer && g_server.unregisterServer);
    ASSERT_EQ(g_server.registerServer(), S_OK);

    g_siteIdModule = LoadLibraryA("zsiteid.dll");
    ASSERT_NE(g_siteIdModule, nullptr);
    g_getSiteId = Resolve<GetSiteIdFn>(g_siteIdModule, "getSiteID");
    ASSERT_NE(g_getSiteId, nullptr);
  }
  void TearDown() override {
    if (g_server.unregisterServer) g_server.unregisterServer();
  }
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SiteIdEnvironment);

void Configure(const std::wstring& siteId, int failStep = kTestComNoStep, int nullStep = kTestComNoStep,
               const char* watchedBuffer = nullptr) {
  TestComBehaviour behaviour{failStep, nullStep, siteId.data(), static_cast<uint32_t>(siteId.size()),
                             watchedBuffer};
  g_server.configure(&behaviour);
}

std::string ServerLog() {
  char text[2048];
  g_server.log(text, sizeof text);
  return text;
}

// The 12 result bytes, read from a buffer with guard bytes on both sides that must stay untouched.
struct Result {
  std::array<unsigned char, kSiteIdBufferSize> bytes;
  bool guardsIntact;
  std::string Text() const { return std::string(reinterpret_cast<const char*>(bytes.data())); }
  bool Empty() const {
    return std::all_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b == 0; });
  }
};

Result QuerySiteId(uint32_t secondArgument = 0) {
  unsigned char area[8 + kSiteIdBufferSize + 16];
  std::memset(area, kGuard, sizeof area);
  g_getSiteId(reinterpret_cast<char*>(area + 8), secondArgument);
  Result result;
  std::copy(area + 8, area + 8 + kSiteIdBufferSize, result.bytes.begin());
  result.guardsIntact = std::all_of(area, area + 8, [](unsigned char b) { return b == kGuard; }) &&
                        std::all_of(area + 8 + kSiteIdBufferSize, area + sizeof area,
                                    [](unsigned char b) { return b == kGuard; });
  return result;
}

std::array<unsigned char, kSiteIdBufferSize> Bytes(const char* text) {
  std::array<unsigned char, kSiteIdBufferSize> bytes{};
  std::memcpy(bytes.data(), text, std::min<size_t>(std::strlen(text), kSiteIdLength));
  return bytes;
}

void ExpectAllReleased() {
  TestComCounters counters;
  g_server.counters(&counters);
  EXPECT_EQ(counters.liveObjects, 0);
  // Each object starts with one reference: every reference taken is given back exactly once.
  EXPECT_EQ(counters.createdObjects + counters.addRefs, counters.releases);
  EXPECT_EQ(counters.factoryRefs, 0);
}

DWORD WINAPI RunBody(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}

// Runs body on a thread of its own (a fresh COM state), waiting for it.
void OnNewThread(std::function<void()> body) {
  HANDLE thread = CreateThread(nullptr, 0, RunBody, &body, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

// ---- the DLL itself ----

TEST(SiteIdModule, ExportsOnlyUndecoratedGetSiteIdAndImportsOnlySystemLibraries) {
  const unsigned char* base = reinterpret_cast<const unsigned char*>(g_siteIdModule);
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  // The headers of this test's own architecture: the DLL is loaded into it.
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
#ifdef _WIN64
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
  EXPECT_NE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL, 0);

  const IMAGE_DATA_DIRECTORY& exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(exportDir.VirtualAddress, 0u);
  const IMAGE_EXPORT_DIRECTORY* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportDir.VirtualAddress);
  ASSERT_EQ(exports->NumberOfFunctions, 1u);
  ASSERT_EQ(exports->NumberOfNames, 1u);
  const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "getSiteID");
  const WORD* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  const DWORD* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  EXPECT_EQ(reinterpret_cast<const void*>(base + functions[ordinals[0]]), reinterpret_cast<void*>(g_getSiteId));
  EXPECT_EQ(GetProcAddress(g_siteIdModule, "_getSiteID@8"), nullptr);
  EXPECT_EQ(GetProcAddress(g_siteIdModule, "getSiteID@8"), nullptr);

  // No C runtime or other mingw DLL: a host needs nothing beside zsiteid.dll.
  const std::set<std::string> allowed{"kernel32.dll", "ole32.dll", "oleaut32.dll"};
  const IMAGE_DATA_DIRECTORY& importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(importDir.VirtualAddress, 0u);
  std::set<std::string> imported;
  for (const IMAGE_IMPORT_DESCRIPTOR* d =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importDir.VirtualAddress);
       d->Name != 0; ++d) {
    std::string name = reinterpret_cast<const char*>(base + d->Name);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_TRUE(allowed.count(name)) << name;
    imported.insert(name);
  }
  EXPECT_TRUE(imported.count("ole32.dll"));
  EXPECT_TRUE(imported.count("oleaut32.dll"));
}

TEST(SiteIdModule, LoadsAndUnloadsAgain) {
  HMODULE second = LoadLibraryA("zsiteid.dll");
  ASSERT_EQ(second, g_siteIdModule);
  EXPECT_TRUE(FreeLibrary(second));
  // A separate copy is mapped fresh: its entry point must report success on attach and detach.
  char path[MAX_PATH];
  ASSERT_NE(GetModuleFileNameA(g_siteIdModule, path, MAX_PATH), 0u);
  std::string copy = std::string(path) + ".copy.dll";
  ASSERT_TRUE(CopyFileA(path, copy.c_str(), FALSE));
  HMODULE fresh = LoadLibraryA(copy.c_str());
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, g_siteIdModule);
  EXPECT_NE(GetProcAddress(fresh, "getSiteID"), nullptr);
  EXPECT_TRUE(FreeLibrary(fresh));
  DeleteFileA(copy.c_str());
}

TEST(SiteIdModule, CalleeRemovesBothArgumentsAndKeepsCalleeSavedRegisters) {
  Configure(L"ABCDEFGHIJK");
  char buffer[kSiteIdBufferSize];
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(SiteIdStdcallProbe(g_getSiteId, buffer, static_cast<uint32_t>(i)), 0) << "call " << i;
  }
  EXPECT_STREQ(buffer, "ABCDEFGHIJK");
  // The same on the failure path, which returns early.
  Configure(L"ABCDEFGHIJK", kTestComCreate);
  EXPECT_EQ(SiteIdStdcallProbe(g_getSiteId, buffer, 0), 0);
  EXPECT_STREQ(buffer, "");
}

// ---- the identifier copy ----

TEST(SiteIdCopy, ElevenCharactersArriveWithZeroByteAndCallsInOrder) {
  Configure(L"Z4711SITE01");
  Result r = QuerySiteId();
  EXPECT_TRUE(r.guardsIntact);
  EXPECT_EQ(r.bytes, Bytes("Z4711SITE01"));
  EXPECT_EQ(r.bytes[11], 0);
  EXPECT_EQ(ServerLog(), kFullLog);
  ExpectAllReleased();
}

TEST(SiteIdCopy, LongerIdentifierIsCutToEleven) {
  Configure(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  Result r = QuerySiteId();
  EXPECT_TRUE(r.guardsIntact);
  EXPECT_EQ(r.bytes, Bytes("ABCDEFGHIJK"));
  EXPECT_EQ(r.bytes[11], 0);
  ExpectAllReleased();
}

TEST(SiteIdCopy, ShorterIdentifierStopsAtItsEndAndIsPadded) {
  // The string ends after "ABC"; what follows the terminator inside the BSTR must not be copied.
  Configure(std::wstring(L"ABC\0QRSTUVWX", 12));
  Result r = QuerySiteId();
  EXPECT_TRUE(r.guardsIntact);
  EXPECT_EQ(r.bytes, Bytes("ABC"));
  ExpectAllReleased();

  Configure(std::wstring(L"A\0ZZZZZZZZZZZZZZZ", 17));
  EXPECT_EQ(QuerySiteId().bytes, Bytes("A"));

  Configure(L"");
  r = QuerySiteId();
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(ServerLog(), kFullLog);
  ExpectAllReleased();
}

TEST(SiteIdCopy, WideCharactersGiveTheirLowEightBits) {
  // U+0141 -> 0x41, U+20AC -> 0xAC, U+00E9 stays 0xE9, U+FF5A -> 0x5A; no code-page conversion.
  Configure(L"\x0141\x20AC\x00E9\xFF5A" L"0123456");
  Result r = QuerySiteId();
  const std::array<unsigned char, kSiteIdBufferSize> expected{0x41, 0xAC, 0xE9, 0x5A, '0', '1',
                                                              '2',  '3',  '4',  '5',  '6', 0};
  EXPECT_EQ(r.bytes, expected);

  // U+0100 has low bits 0: a zero byte in the middle, but not the end of the string.
  Configure(L"AB\x0100" L"DEFGHIJKL");
  const std::array<unsigned char, kSiteIdBufferSize> withZero{'A', 'B', 0, 'D', 'E', 'F',
                                                              'G', 'H', 'I', 'J', 'K', 0};
  EXPECT_EQ(QuerySiteId().bytes, withZero);
  ExpectAllReleased();
}

TEST(SiteIdCopy, SecondArgumentHasNoEffect) {
  Configure(L"SITE-000042");
  const uint32_t values[] = {0u, 1u, 12u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xDEADBEEFu};
  for (uint32_t value : values) {
    Result r = QuerySiteId(value);
    EXPECT_TRUE(r.guardsIntact) << value;
    EXPECT_EQ(r.bytes, Bytes("SITE-000042")) << value;
  }
  EXPECT_EQ(ServerLog(), std::string(kFullLog) + " " + kFullLog + " " + kFullLog + " " + kFullLog + " " +
                             kFullLog + " " + kFullLog);
  ExpectAllReleased();
}

TEST(SiteIdCopy, NullBufferMakesNoCalls) {
  Configure(L"ABCDEFGHIJK");
  g_getSiteId(nullptr, 0);
  EXPECT_EQ(ServerLog(), "");
}

// ---- COM on the calling thread ----

TEST(SiteIdApartment, ThreadWithComAlreadyInitialisedStillGetsIdentifier) {
  OnNewThread([] {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    Configure(L"PRE-INIT-01");
    EXPECT_EQ(QuerySiteId().bytes, Bytes("PRE-INIT-01"));
    EXPECT_EQ(ServerLog(), kFullLog);
    // getSiteID added one initialisation of its own and left it: two to undo.
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
  });
  ExpectAllReleased();
}

TEST(SiteIdApartment, LeavesComInitialisedAsSingleThreadedApartment) {
  OnNewThread([] {
    Configure(L"FRESHTHREAD");
    EXPECT_EQ(QuerySiteId().bytes, Bytes("FRESHTHREAD"));
    // Still initialised, and as an apartment thread: an MTA request would be refused.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    CoUninitialize();
    CoUninitialize();
  });
  ExpectAllReleased();
}

// ---- failures: nothing obtained, empty string, every object released ----

struct FailureCase {
  const char* name;
  int failStep;
  int nullStep;
  const char* log;
};

class SiteIdFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SiteIdFailure, GivesEmptyStringAndReleasesEverything) {
  const FailureCase& c = GetParam();
  Configure(L"NOTDELIVERD", c.failStep, c.nullStep);
  Result r = QuerySiteId();
  EXPECT_TRUE(r.guardsIntact);
  EXPECT_TRUE(r.Empty()) << r.Text();
  EXPECT_EQ(ServerLog(), c.log);
  ExpectAllReleased();
}

const FailureCase kFailures[] = {
    {"CreateRefused", kTestComCreate, kTestComNoStep, "create"},
    {"InterfaceMissing", kTestComInterface, kTestComNoStep, "create noiface free:api"},
    {"FirstCallFails", kTestComOpenSession, kTestComNoStep, "create slot11 free:api"},
    {"SecondCallFails", kTestComOpenSite, kTestComNoStep, "create slot11 slot32 free:api free:session"},
    {"QueryFails", kTestComSiteId, kTestComNoStep, kFullLog},
    {"FirstCallGivesNull", kTestComNoStep, kTestComOpenSession, "create slot11 free:api"},
    {"SecondCallGivesNull", kTestComNoStep, kTestComOpenSite, "create slot11 slot32 free:api free:session"},
    {"QueryGivesNullString", kTestComNoStep, kTestComSiteId, kFullLog},
};

INSTANTIATE_TEST_SUITE_P(Steps, SiteIdFailure, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(SiteIdFailure, BufferIsEmptyBeforeTheFirstCall) {
  unsigned char buffer[kSiteIdBufferSize];
  std::memset(buffer, 'x', sizeof buffer);
  Configure(L"ABCDEFGHIJK", kTestComOpenSession, kTestComNoStep, reinterpret_cast<const char*>(buffer));
  g_getSiteId(reinterpret_cast<char*>(buffer), 0);
  EXPECT_EQ(ServerLog(), "create slot11 buffer:empty free:api");
}

TEST(SiteIdFailure, StaleContentIsClearedWhenNothingIsObtained) {
  Configure(L"ABCDEFGHIJK");
  char buffer[kSiteIdBufferSize];
  g_getSiteId(buffer, 0);
  ASSERT_STREQ(buffer, "ABCDEFGHIJK");
  Configure(L"ABCDEFGHIJK", kTestComSiteId);
  g_getSiteId(buffer, 0);
  EXPECT_EQ(std::count(buffer, buffer + kSiteIdBufferSize, '\0'), kSiteIdBufferSize);
}

// ---- registration ----

class SiteIdRegistration : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(g_server.registerServer(), S_OK); }
};

TEST_F(SiteIdRegistration, UnregisteredProgIdGivesEmptyString) {
  ASSERT_EQ(g_server.unregisterServer(), S_OK);
  Configure(L"ABCDEFGHIJK");
  Result r = QuerySiteId();
  EXPECT_TRUE(r.guardsIntact);
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(ServerLog(), "");
  ExpectAllReleased();
}

TEST_F(SiteIdRegistration, ProgIdWithoutRegisteredClassGivesEmptyString) {
  ASSERT_EQ(g_server.unregisterServer(), S_OK);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, TESTCOM_PROGID "\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const char clsid[] = TESTCOM_CLSID;
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid),
            ERROR_SUCCESS);
  RegCloseKey(key);
  Configure(L"ABCDEFGHIJK");
  Result r = QuerySiteId();
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(ServerLog(), "");
  ExpectAllReleased();
}

TEST_F(SiteIdRegistration, RegisteredAgainWorksAgain) {
  ASSERT_EQ(g_server.unregisterServer(), S_OK);
  ASSERT_EQ(g_server.registerServer(), S_OK);
  Configure(L"BACK-AGAIN1");
  EXPECT_EQ(QuerySiteId().bytes, Bytes("BACK-AGAIN1"));
  EXPECT_EQ(ServerLog(), kFullLog);
}

}  // namespace
