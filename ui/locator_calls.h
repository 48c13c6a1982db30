#pragma once
// The installation locator's operations that the options page calls.
#if __has_include("discovery/locator.h")
#include "discovery/locator.h"
#else
void DeriveTargetDir(int useDefaultSource);
void DeriveInstallRoot();
#endif
