// One text in: the number readers and the field picker.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/ini_file.h"
#include "support/conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TextToInt(text, -7);
  TextToIntOrBool(text, -7, TNumberFormat{'.', ','});
  TextToIntOrBool(text, -7, TNumberFormat{',', '.'});
  int64_t value = 0;
  ReadIniInteger(text, value);
  GetField(text, 1, ",", "x");
  GetField(text, 0, ";;", "x");
  return 0;
}
