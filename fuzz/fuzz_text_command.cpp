// One text command in: splitting and every module type's commands.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "modules/text_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SplitTextCommand(text);
  for (auto& modul : World().Modules)
    modul->TextCommand(text);
  return 0;
}
