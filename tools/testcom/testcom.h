// testcom.dll: a stand-in for the Zelvar object API, an in-process COM server registered under the
// ProgID "ZVOBJAPILib.ZvISEAPI". Tests load it themselves (the same module COM loads, by its full
// path), set its behaviour and read its counters and its event log through the exports below.
#ifndef ZARPEX_TOOLS_TESTCOM_TESTCOM_H
#define ZARPEX_TOOLS_TESTCOM_TESTCOM_H

#include <stdint.h>

#define TESTCOM_PROGID "ZVOBJAPILib.ZvISEAPI"
#define TESTCOM_CLSID "{3845D0EB-5083-4F02-96C6-411D2F5C0C04}"

// The steps the server can be told to fail (or to answer with a null pointer).
enum TestComStep {
  kTestComNoStep = 0,
  kTestComCreate = 1,       // the class factory refuses to create the object
  kTestComInterface = 2,    // the object does not answer the object API interface
  kTestComOpenSession = 3,  // slot 11 of the object API object
  kTestComOpenSite = 4,     // slot 32 of the second object
  kTestComSiteId = 5,       // slot 9 of the third object
};

struct TestComBehaviour {
  int32_t failStep;        // this step returns a failure code and leaves junk in its out value
  int32_t nullStep;        // this step succeeds but delivers a null pointer (object or string)
  const wchar_t* siteId;   // text of the identifier string, siteIdLength UTF-16 units (NULs allowed)
  uint32_t siteIdLength;
  const char* watchedBuffer;  // when set, slot 11 logs "buffer:empty" or "buffer:set" from its first byte
};

struct TestComCounters {
  int32_t liveObjects;     // objects of the object API (all three kinds) not yet released to zero
  int32_t createdObjects;  // objects made since the last TestComConfigure
  int32_t addRefs;         // AddRef calls (QueryInterface hits included) since the last TestComConfigure
  int32_t releases;        // Release calls since the last TestComConfigure
  int32_t factoryRefs;     // references held on the class factory
};

// Every export is __cdecl and exported under its plain name.
// Sets the behaviour (copied, the identifier text too) and clears the log and the totals; the live
// count is kept, so an object leaked by an earlier case stays visible.
typedef void (*TestComConfigureFn)(const TestComBehaviour* behaviour);
typedef void (*TestComGetCountersFn)(TestComCounters* counters);
typedef int32_t (*TestComGetLiveObjectsFn)(void);
// Copies the event log, space-separated tokens in order ("create", "slot11", "free:api", ...),
// NUL-terminated and bounded by size; returns the length of the whole log.
typedef uint32_t (*TestComGetLogFn)(char* buffer, uint32_t size);

#endif
