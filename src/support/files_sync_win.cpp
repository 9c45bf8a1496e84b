#include <io.h>
#include <windows.h>

#include "support/files.h"

bool SyncFileToDisk(int fileHandle) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fileHandle));
  return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}
