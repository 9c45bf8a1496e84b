// One answer line in: splitting and every module type's decoding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "modules/message_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  TRS485CmdRecord record;
  ParseAnswer(line, record);
  for (auto& modul : World().Modules)
    modul->ProcessAnswer("?00000000", line);
  return 0;
}
