// zsiteid.dll: asks the Zelvar object API (an in-process COM server) for the site identifier.
//
// Sequence: object API object -> slot 11 (six VARIANTs by value, the last the mode "AUTH") gives a
// second object -> slot 32 gives a third object -> slot 9 gives the identifier as a BSTR.
// The identifier string belongs to the caller of slot 9: it is a BSTR and is freed here with
// SysFreeString after it has been copied. On a failed call the out value is not used or freed
// (COM rule: the callee leaves nothing to the caller on failure). COM stays initialised on the thread.
//
// The DLL has no C runtime: nothing here may need one (no globals with constructors, no library calls).
#include "site_id.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

namespace {

const wchar_t kObjectApiProgId[] = L"ZVOBJAPILib.ZvISEAPI";
const IID kObjectApiIid = {0x2922CA18, 0x433C, 0x4283, {0x8D, 0xEC, 0x0F, 0x83, 0x7F, 0x11, 0x6F, 0xF2}};
const wchar_t kModeText[] = L"AUTH";

// Function-table slots, counted from 0 (0 to 2 are QueryInterface, AddRef, Release).
const unsigned kOpenSessionSlot = 11;  // on the object API object: gives the second object
const unsigned kOpenSiteSlot = 32;     // on the second object: gives the third object
const unsigned kSiteIdSlot = 9;        // on the third object: gives the identifier

typedef HRESULT(__stdcall* OpenSessionFn)(IUnknown* self, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT,
                                          VARIANT mode, IUnknown** session);
typedef HRESULT(__stdcall* OpenSiteFn)(IUnknown* self, IUnknown** site);
typedef HRESULT(__stdcall* SiteIdFn)(IUnknown* self, BSTR* siteId);

template <typename Fn>
Fn VtableSlot(IUnknown* object, unsigned slot) {
  void* const* table = *reinterpret_cast<void* const* const*>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

void ReleaseObject(IUnknown* object) {
  if (object != nullptr) object->Release();
}

// Runs the calls of the object API; returns the identifier string (the caller frees it) or null.
BSTR QuerySiteIdString() {
  VARIANT mode;
  VariantInit(&mode);
  mode.vt = VT_BSTR;
  mode.bstrVal = SysAllocString(kModeText);

  // The result is not examined: a thread with COM initialised already goes on.
  CoInitialize(nullptr);

  IUnknown* api = nullptr;
  IUnknown* session = nullptr;
  IUnknown* site = nullptr;
  BSTR siteId = nullptr;
  CLSID clsid;
  if (mode.bstrVal != nullptr && SUCCEEDED(CLSIDFromString(kObjectApiProgId, &clsid)) &&
      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kObjectApiIid,
                                 reinterpret_cast<void**>(&api))) &&
      api != nullptr) {
    VARIANT empty;
    VariantInit(&empty);
    HRESULT hr =
        VtableSlot<OpenSessionFn>(api, kOpenSessionSlot)(api, empty, empty, empty, empty, empty, mode, &session);
    VariantClear(&mode);
    if (FAILED(hr)) session = nullptr;
    if (session != nullptr) {
      hr = VtableSlot<OpenSiteFn>(session, kOpenSiteSlot)(session, &site);
      if (FAILED(hr)) site = nullptr;
    }
    if (site != nullptr) {
      hr = VtableSlot<SiteIdFn>(site, kSiteIdSlot)(site, &siteId);
      if (FAILED(hr)) siteId = nullptr;
    }
  }
  VariantClear(&mode);  // frees the mode string when the first call was never made

  ReleaseObject(api);
  ReleaseObject(session);
  ReleaseObject(site);
  return siteId;
}

// The first 11 UTF-16 units, low 8 bits each, no code-page conversion; stops at the string's end.
void CopySiteId(const wchar_t* siteId, char* buffer) {
  unsigned i = 0;
  if (siteId != nullptr) {
    for (; i < kSiteIdLength && siteId[i] != L'\0'; ++i) buffer[i] = static_cast<char>(siteId[i] & 0xFF);
  }
  for (; i < kSiteIdBufferSize; ++i) buffer[i] = '\0';
}

}  // namespace

extern "C" void __stdcall getSiteID(char* buffer, uint32_t /*unused*/) {
  if (buffer == nullptr) return;
  buffer[0] = '\0';  // an empty string until an identifier has been obtained
  BSTR siteId = QuerySiteIdString();
  CopySiteId(siteId, buffer);
  SysFreeString(siteId);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
