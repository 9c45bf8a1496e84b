// One model file in: the codec and the model load.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "model/ini_file.h"
#include "model/moduls_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  World();
  static const std::string dir = [] {
    char pattern[] = "/tmp/kavor_fuzz_XXXXXX";
    return std::string(mkdtemp(pattern));
  }();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TIniFile ini;
  ini.SetText(TIniFile::DecodeFromDisk(bytes));
  TIniFile::EncodeForDisk(ini.Text());

  {
    // A plain write: the atomic one syncs to disk and would slow every run down.
    std::ofstream file(dir + "/in.ini", std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  TModulsList list;
  list.Load_FromFile(dir + "/in.ini");
  return 0;
}
