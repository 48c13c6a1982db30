// testcom.dll: test stand-in for the Zelvar object API (see testcom.h).
//
// Three kinds of object, each with its own function table: the object API object (slot 11 gives a
// session), the session (slot 32 gives a site), the site (slot 9 gives the identifier as a BSTR that
// the caller frees with SysFreeString). Every other slot past Release ends the process with a message,
// since a wrong slot called with an unknown argument list cannot return safely.
#include "testcom.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>

namespace {

const IID kObjectApiIid = {0x2922CA18, 0x433C, 0x4283, {0x8D, 0xEC, 0x0F, 0x83, 0x7F, 0x11, 0x6F, 0xF2}};
const CLSID kTestComClsid = {0x3845D0EB, 0x5083, 0x4F02, {0x96, 0xC6, 0x41, 0x1D, 0x2F, 0x5C, 0x0C, 0x04}};

enum ObjectKind { kApi, kSession, kSite };
const char* const kKindNames[] = {"api", "session", "site"};

const unsigned kTableSize = 33;  // slots 0 to 32

struct TestObject {
  void* const* table;
  LONG refs;
  ObjectKind kind;
};

// ---- state shared with the test through the exports ----
CRITICAL_SECTION g_lock;
HMODULE g_module;
LONG g_liveObjects;
LONG g_created;
LONG g_addRefs;
LONG g_releases;
LONG g_factoryRefs;
LONG g_serverLocks;
TestComBehaviour g_behaviour;
wchar_t g_siteId[256];
char g_log[2048];
size_t g_logLength;

void Log(const char* token) {
  EnterCriticalSection(&g_lock);
  size_t n = std::strlen(token);
  if (g_logLength != 0 && g_logLength + 1 < sizeof g_log) g_log[g_logLength++] = ' ';
  if (g_logLength + n < sizeof g_log) {
    std::memcpy(g_log + g_logLength, token, n);
    g_logLength += n;
  }
  g_log[g_logLength] = '\0';
  LeaveCriticalSection(&g_lock);
}

bool Fails(int step) { return g_behaviour.failStep == step; }
bool GivesNull(int step) { return g_behaviour.nullStep == step; }

TestObject* NewObject(ObjectKind kind);

// ---- IUnknown, shared by the three kinds ----
HRESULT __stdcall ObjectQueryInterface(TestObject* self, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  bool answers = IsEqualIID(iid, IID_IUnknown) ||
                 (self->kind == kApi && IsEqualIID(iid, kObjectApiIid) && !Fails(kTestComInterface));
  if (!answers) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  InterlockedIncrement(&self->refs);
  InterlockedIncrement(&g_addRefs);
  *out = self;
  return S_OK;
}

ULONG __stdcall ObjectAddRef(TestObject* self) {
  InterlockedIncrement(&g_addRefs);
  return InterlockedIncrement(&self->refs);
}

ULONG __stdcall ObjectRelease(TestObject* self) {
  InterlockedIncrement(&g_releases);
  LONG refs = InterlockedDecrement(&self->refs);
  if (refs == 0) {
    char token[32];
    std::snprintf(token, sizeof token, "free:%s", kKindNames[self->kind]);
    Log(token);
    InterlockedDecrement(&g_liveObjects);
    delete self;
  } else if (refs < 0) {
    Log("overrelease");
  }
  return static_cast<ULONG>(refs < 0 ? 0 : refs);
}

// ---- the three calls ----
// A failing call leaves junk in its out value, as a careless server may: the caller must not use it.
TestObject* PoisonObject() { return reinterpret_cast<TestObject*>(static_cast<uintptr_t>(0xBAD0BAD0u)); }
const wchar_t kLeftoverText[] = L"LEFTOVER-ID";

bool IsModeArgument(const VARIANT& mode) {
  return mode.vt == VT_BSTR && mode.bstrVal != nullptr && SysStringLen(mode.bstrVal) == 4 &&
         std::wcscmp(mode.bstrVal, L"AUTH") == 0;
}

HRESULT __stdcall OpenSession(TestObject* self, VARIANT a1, VARIANT a2, VARIANT a3, VARIANT a4, VARIANT a5,
                              VARIANT mode, TestObject** session) {
  Log("slot11");
  if (session == nullptr) {
    Log("slot11:nullout");
    return E_POINTER;
  }
  *session = nullptr;
  const VARIANT* empties[] = {&a1, &a2, &a3, &a4, &a5};
  bool ok = self->kind == kApi && IsModeArgument(mode);
  for (const VARIANT* v : empties) ok = ok && v->vt == VT_EMPTY;
  if (!ok) {
    Log("slot11:badargs");
    return E_INVALIDARG;
  }
  if (g_behaviour.watchedBuffer != nullptr) Log(g_behaviour.watchedBuffer[0] == '\0' ? "buffer:empty" : "buffer:set");
  if (Fails(kTestComOpenSession)) {
    *session = PoisonObject();
    return E_FAIL;
  }
  if (!GivesNull(kTestComOpenSession)) *session = NewObject(kSession);
  return S_OK;
}

HRESULT __stdcall OpenSite(TestObject* self, TestObject** site) {
  Log("slot32");
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (self->kind != kSession) return E_UNEXPECTED;
  if (Fails(kTestComOpenSite)) {
    *site = PoisonObject();
    return E_FAIL;
  }
  if (!GivesNull(kTestComOpenSite)) *site = NewObject(kSite);
  return S_OK;
}

HRESULT __stdcall SiteId(TestObject* self, BSTR* siteId) {
  Log("slot9");
  if (siteId == nullptr) return E_POINTER;
  *siteId = nullptr;
  if (self->kind != kSite) return E_UNEXPECTED;
  if (Fails(kTestComSiteId)) {
    *siteId = const_cast<BSTR>(kLeftoverText);  // not a BSTR: neither to be copied nor freed
    return E_FAIL;
  }
  if (GivesNull(kTestComSiteId)) return S_OK;
  *siteId = SysAllocStringLen(g_siteId, g_behaviour.siteIdLength);
  return *siteId != nullptr ? S_OK : E_OUTOFMEMORY;
}

// ---- function tables ----
template <ObjectKind Kind, unsigned Slot>
HRESULT __stdcall UnexpectedSlot(TestObject*) {
  std::fprintf(stderr, "testcom: slot %u of the %s object called; it has no such function\n", Slot,
               kKindNames[Kind]);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 70);
  return E_UNEXPECTED;
}

template <ObjectKind Kind>
struct Table {
  void* slots[kTableSize];
  template <std::size_t... Slots>
  explicit Table(std::index_sequence<Slots...>) : slots{reinterpret_cast<void*>(&UnexpectedSlot<Kind, Slots>)...} {
    slots[0] = reinterpret_cast<void*>(&ObjectQueryInterface);
    slots[1] = reinterpret_cast<void*>(&ObjectAddRef);
    slots[2] = reinterpret_cast<void*>(&ObjectRelease);
  }
};

Table<kApi>* g_apiTable;
Table<kSession>* g_sessionTable;
Table<kSite>* g_siteTable;

void BuildTables() {
  g_apiTable = new Table<kApi>(std::make_index_sequence<kTableSize>());
  g_apiTable->slots[11] = reinterpret_cast<void*>(&OpenSession);
  g_sessionTable = new Table<kSession>(std::make_index_sequence<kTableSize>());
  g_sessionTable->slots[32] = reinterpret_cast<void*>(&OpenSite);
  g_siteTable = new Table<kSite>(std::make_index_sequence<kTableSize>());
  g_siteTable->slots[9] = reinterpret_cast<void*>(&SiteId);
}

TestObject* NewObject(ObjectKind kind) {
  TestObject* object = new TestObject;
  object->table = kind == kApi ? g_apiTable->slots : kind == kSession ? g_sessionTable->slots : g_siteTable->slots;
  object->refs = 1;
  object->kind = kind;
  InterlockedIncrement(&g_liveObjects);
  InterlockedIncrement(&g_created);
  return object;
}

// ---- class factory ----
class Factory : public IClassFactory {
 public:
  HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return InterlockedIncrement(&g_factoryRefs); }
  ULONG __stdcall Release() override { return InterlockedDecrement(&g_factoryRefs); }
  HRESULT __stdcall CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Log("create");
    if (Fails(kTestComCreate)) return E_OUTOFMEMORY;
    TestObject* object = NewObject(kApi);
    HRESULT hr = ObjectQueryInterface(object, iid, out);
    if (FAILED(hr)) Log("noiface");
    ObjectRelease(object);
    return hr;
  }
  HRESULT __stdcall LockServer(BOOL lock) override {
    if (lock) InterlockedIncrement(&g_serverLocks);
    else InterlockedDecrement(&g_serverLocks);
    return S_OK;
  }
};

Factory g_factory;

// ---- registration ----
bool SetKeyValue(const char* subKey, const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    InitializeCriticalSection(&g_lock);
    BuildTables();
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, kTestComClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow(void) {
  return g_liveObjects == 0 && g_factoryRefs == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT __stdcall DllRegisterServer(void) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return SELFREG_E_CLASS;
  const char* clsidKey = "CLSID\\" TESTCOM_CLSID;
  bool ok = SetKeyValue(TESTCOM_PROGID, nullptr, "Zarpex32 test object API") &&
            SetKeyValue(TESTCOM_PROGID "\\CLSID", nullptr, TESTCOM_CLSID) &&
            SetKeyValue(clsidKey, nullptr, "Zarpex32 test object API") &&
            SetKeyValue("CLSID\\" TESTCOM_CLSID "\\ProgID", nullptr, TESTCOM_PROGID) &&
            SetKeyValue("CLSID\\" TESTCOM_CLSID "\\InprocServer32", nullptr, path) &&
            SetKeyValue("CLSID\\" TESTCOM_CLSID "\\InprocServer32", "ThreadingModel", "Apartment");
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer(void) {
  const char* const keys[] = {"CLSID\\" TESTCOM_CLSID "\\InprocServer32", "CLSID\\" TESTCOM_CLSID "\\ProgID",
                              "CLSID\\" TESTCOM_CLSID, TESTCOM_PROGID "\\CLSID", TESTCOM_PROGID};
  for (const char* key : keys) {
    LONG rc = RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return SELFREG_E_CLASS;
  }
  return S_OK;
}

extern "C" void TestComConfigure(const TestComBehaviour* behaviour) {
  EnterCriticalSection(&g_lock);
  g_behaviour = *behaviour;
  if (g_behaviour.siteIdLength > sizeof g_siteId / sizeof g_siteId[0]) g_behaviour.siteIdLength = 0;
  if (g_behaviour.siteId == nullptr) g_behaviour.siteIdLength = 0;
  std::wmemcpy(g_siteId, behaviour->siteId != nullptr ? behaviour->siteId : L"", g_behaviour.siteIdLength);
  g_behaviour.siteId = g_siteId;
  g_created = g_addRefs = g_releases = 0;
  g_logLength = 0;
  g_log[0] = '\0';
  LeaveCriticalSection(&g_lock);
}

extern "C" void TestComGetCounters(TestComCounters* counters) {
  counters->liveObjects = g_liveObjects;
  counters->createdObjects = g_created;
  counters->addRefs = g_addRefs;
  counters->releases = g_releases;
  counters->factoryRefs = g_factoryRefs;
}

extern "C" int32_t TestComGetLiveObjects(void) { return g_liveObjects; }

extern "C" uint32_t TestComGetLog(char* buffer, uint32_t size) {
  EnterCriticalSection(&g_lock);
  if (size != 0) {
    size_t n = g_logLength < size - 1 ? g_logLength : size - 1;
    std::memcpy(buffer, g_log, n);
    buffer[n] = '\0';
  }
  uint32_t length = static_cast<uint32_t>(g_logLength);
  LeaveCriticalSection(&g_lock);
  return length;
}
