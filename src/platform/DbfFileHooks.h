#pragma once
// File access of the table layer: shapelib reads and writes the tables
// through these hooks. Every write is pushed to the operating system at once
// and checked, and after the first failed write nothing more is written to
// that file (so a header is never updated over a record that is not on disk);
// tests inject write faults here. The library's own messages are kept for the
// failure text of the operation in progress on this thread, never printed.
#include <shapefil.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/DbfTable.h"

namespace zw::platform::dbf {

// The library's last message on this thread ("" when none since cleared).
extern thread_local std::string tlsLibraryMessage;
// errno of the last failed write of this thread (0 when none since it was cleared).
extern thread_local int tlsWriteError;

// One open file. A file opened only for reading is read through a window of
// its own: the library seeks before every record, and a seek of the C library
// costs a system call even inside its buffer.
struct HookFile {
  std::FILE* fp = nullptr;
  DbfWriteFault fault;
  long writes = 0;
  bool failed = false;
  int error = 0;  // errno of the first failed write
  bool readOnly = false;
  long pos = 0;                 // read position (read-only files)
  long winStart = 0;            // file offset of win[0]
  std::vector<char> win;        // bytes read ahead
};

// The hooks to open and create tables with.
SAHooks QuietHooks();
// The file behind an open table (null for none).
HookFile* FileOf(DBFHandle h);
// ": <cause>" of the last failed write, "" when none.
std::string WriteCause();
// text + ": " + the library's last message, when there is one (then cleared).
std::string WithLibraryMessage(std::string text);

}  // namespace zw::platform::dbf
