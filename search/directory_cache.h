// The inflated bytes of the compressed directory the window searched last, kept while they fit the memory
// budget, so that the next Start on the same file (the same file, size and modification time) reads
// them instead of inflating it again. Only the search worker uses it, one run at a time.
#pragma once

#include "db/database_reader.h"

#include <cstdint>

// At a run's start, on a compressed file's reader opened but not yet read: reads from the kept bytes
// when they are this file's (returns true), else drops them and has the reader keep what it inflates,
// up to half of budget. budget: the bytes the run's memory may take, the kept bytes included.
bool UseOrKeepDirectory(DatabaseReader* reader, uint64_t budget);
// At a run's end, before the reader is closed: the bytes the reader kept become the cache when the scan
// read the directory whole to its end mark (scanCode 0), nothing was wrong with the file and they fit the
// budget beside the rows (rowBytes). A run whose rows met the budget drops the cache, so the next run has
// that memory.
void EndDirectoryRun(DatabaseReader* reader, int scanCode, bool rowsCut, uint64_t rowBytes, uint64_t budget);
// The bytes the cache holds now.
uint64_t CachedDirectoryBytes();
void DropDirectoryCache();
