#pragma once
// The zpack commands (create, list, test, extract, records, --version) as one function, so that tests can run them
// in-process; zpack_main.cpp is the executable around it. Returns the exit code.
int ZpackMain(int argc, char** argv);
// zpack records FILE: the records of one archive directory file (record_listing.cpp).
int ListRecords(const char* path);
