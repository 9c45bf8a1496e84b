#include <unistd.h>

#include "support/files.h"

bool SyncFileToDisk(int fileHandle) {
  return fsync(fileHandle) == 0;
}
