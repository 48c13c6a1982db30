// The program's texts, from its own module's string table through the seam.
#include "discovery/program_texts.h"

#include "discovery/job_settings.h"
#include "platform/platform.h"

int LoadText(int id, char* buffer, int size) { return OsLoadString(g_jobSettings.instance, id, buffer, size); }
