#pragma once

namespace quillbox {

// SQLite as Debian builds it has no lookaside memory, so compiling a statement goes to malloc
// for every name and literal it copies; an import compiles one insert statement per record, and
// with the heap of a large list glibc's malloc became half of its time. This allocator keeps
// freed small blocks in per-size lists of the thread that frees them and hands them out again.
// Installs it, and switches off SQLite's allocation statistics (a global mutex per allocation);
// must run before SQLite starts up, otherwise SQLite keeps its own allocator. Returns whether
// the allocator was taken. A build with QUILLBOX_SQLITE_SYSTEM_MALLOC (the sanitizer build) does
// not install it when a database opens, so SQLite's blocks stay visible to AddressSanitizer.
bool configureSqliteMemory();

// Overwrites every block this thread keeps for reuse (freed blocks hold what they held: parts of
// pages, statements with values in them). The locked program keeps nothing of the records.
void wipeSqliteFreeBlocks();

// For tests: the capacity of a block handed out (a multiple of 16, at least the size asked for).
int sqliteBlockSize(void* block);

} // namespace quillbox
