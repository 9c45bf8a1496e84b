// model_io: load and save times of a large model, 16 interfaces with 255 modules each.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/bench_common.h"
#include "bench/big_model.h"
#include "bus/bus_interface.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/files.h"
#include "support/main_thread.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  MainThread().BindToCurrentThread();
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/gross.INI";

  TModulsList model;
  BuildBigModel(model);

  std::vector<double> saves, loads;
  int loadedModules = 0;
  for (int r = 0; r < rounds; ++r) {
    double start = WallSeconds();
    model.Save_ToFile(file);
    saves.push_back((WallSeconds() - start) * 1000);
    TModulsList loaded;
    start = WallSeconds();
    loaded.Load_FromFile(file);
    loads.push_back((WallSeconds() - start) * 1000);
    loadedModules = 0;
    for (int i = 0; i < loaded.IFCCount(); ++i)
      loadedModules += loaded.IFCByIndex(i)->Count();
  }
  std::string bytes;
  ReadFileBytes(file, bytes);
  std::printf(
      "model_io: 16 interfaces x 255 modules (%d modules read back), file %.0f KiB, %d rounds\n",
      loadedModules, static_cast<double>(bytes.size()) / 1024.0, rounds);
  std::printf("  save: median %.1f ms, worst %.1f ms\n", Percentile(saves, 50),
              Percentile(saves, 100));
  std::printf("  load: median %.1f ms, worst %.1f ms\n", Percentile(loads, 50),
              Percentile(loads, 100));
  std::printf("  peak resident memory %.1f MiB\n", PeakResidentMiB());
  return loadedModules == 16 * 255 ? 0 : 1;
}
