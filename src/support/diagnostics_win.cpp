#include <windows.h>

#include "support/diagnostics.h"

bool PlatformDeveloperMode() {
  return FindWindowA("TAppBuilder", nullptr) != nullptr;
}

void PlatformDebuggerOutput(const std::string& text) {
  OutputDebugStringA(text.c_str());
}
