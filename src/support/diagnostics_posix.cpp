#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/diagnostics.h"

bool PlatformDeveloperMode() {
  const char* value = std::getenv("KAVORCONFIG_DEVELOPER");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

void PlatformDebuggerOutput(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}
