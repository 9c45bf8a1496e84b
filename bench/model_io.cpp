// model_io: load and save times of a large model, 16 interfaces with 255 modules each, and of
// files of several MB with tens of thousands of sections, whose load and save times and memory
// must grow with the file, not with its square.

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/bench_common.h"
#include "bench/big_model.h"
#include "bus/bus_interface.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/files.h"
#include "support/main_thread.h"

namespace {

// n interface sections as the program writes them, each with one module section, and n sections
// of another program in between.
std::string BigModelText(int n) {
  std::string text = "[]\r\nVersion=Velmora 1.1; Kavor 1.0; Mainfile of Model\r\n\r\n";
  for (int i = 0; i < n; ++i)
    text += "[Settings_IFK" + std::to_string(i) +
            "]\r\nClassName=TSer485BusIFC\r\nCom=COM3\r\nBaud=19200\r\nModulCount=1\r\nIFCNr=" +
            std::to_string(i) + "\r\nAdresse=$00\r\nEnabled=-1\r\nHinweis=Stellwerk " +
            std::to_string(i) + "\r\nTimeout=200\r\nPollPriority=10\r\n\r\n[Fremd" +
            std::to_string(i) + "]\r\nWert=" + std::to_string(i) + "\r\n\r\n";
  for (int i = 0; i < n; ++i)
    text += "[Modul_" + std::to_string(i) +
            "_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=" + std::to_string(i) +
            "\r\nBezeichnung=Weichen " + std::to_string(i) + "\r\n\r\n";
  return text;
}

// Loads and saves the file of n interfaces; false when the load did not take them all in.
bool BigFileCase(const std::string& dir, int n) {
  const std::string file = dir + "/gross" + std::to_string(n) + ".INI";
  std::size_t bytes = 0;
  {
    const std::string text = BigModelText(n);
    bytes = text.size();
    WriteFileAtomically(file, text);
  }
  ReleaseFreedMemory();
  const double residentBefore = CurrentResidentMiB();
  const bool peakKnown = ResetPeakResident();
  TModulsList list;
  TModelHeader header;
  double wall = WallSeconds(), cpu = ProcessCpuSeconds();
  ReadModelHeader(file, header);
  list.Load_FromFile(file);
  const double loadMs = (WallSeconds() - wall) * 1000,
               loadCpuMs = (ProcessCpuSeconds() - cpu) * 1000;
  const double loadPeak = peakKnown ? PeakResidentMiB() - residentBefore : 0;
  wall = WallSeconds();
  cpu = ProcessCpuSeconds();
  SaveModelFile(list, dir + "/gespeichert.INI", header, "model_io: ");
  const double saveMs = (WallSeconds() - wall) * 1000,
               saveCpuMs = (ProcessCpuSeconds() - cpu) * 1000;
  int modules = 0;
  for (int i = 0; i < list.IFCCount(); ++i)
    modules += list.IFCByIndex(i)->Count();
  std::printf(
      "  %6d interfaces + %6d modules + %6d other sections, file %.2f MiB: load %.0f ms (CPU %.0f "
      "ms), save %.0f ms (CPU %.0f ms), memory of the load %.1f MiB\n",
      list.IFCCount(), modules, n, static_cast<double>(bytes) / 1048576.0, loadMs, loadCpuMs,
      saveMs, saveCpuMs, loadPeak);
  const bool ok = list.IFCCount() == n && modules == n;
  list.RemoveAll();
  ReleaseFreedMemory();
  return ok;
}

}  // namespace

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
  double loadMemory = 0;
  for (int r = 0; r < rounds; ++r) {
    double start = WallSeconds();
    model.Save_ToFile(file);
    saves.push_back((WallSeconds() - start) * 1000);
    if (r == 0) ReleaseFreedMemory();
    const double residentBefore = CurrentResidentMiB();
    const bool peakKnown = r == 0 && ResetPeakResident();
    TModulsList loaded;
    start = WallSeconds();
    loaded.Load_FromFile(file);
    loads.push_back((WallSeconds() - start) * 1000);
    if (peakKnown) loadMemory = PeakResidentMiB() - residentBefore;
    loadedModules = 0;
    for (int i = 0; i < loaded.IFCCount(); ++i)
      loadedModules += loaded.IFCByIndex(i)->Count();
  }
  std::printf(
      "model_io: big files (memory: growth of the resident memory up to the load's peak)\n");
  bool bigOk = true;
  for (int n : {5000, 10000, 20000, 40000})
    bigOk = BigFileCase(dir.path().toStdString(), n) && bigOk;

  std::string bytes;
  ReadFileBytes(file, bytes);
  std::printf(
      "model_io: 16 interfaces x 255 modules (%d modules read back), file %.0f KiB, %d rounds\n",
      loadedModules, static_cast<double>(bytes.size()) / 1024.0, rounds);
  std::printf("  save: median %.1f ms, worst %.1f ms\n", Percentile(saves, 50),
              Percentile(saves, 100));
  std::printf("  load: median %.1f ms, worst %.1f ms\n", Percentile(loads, 50),
              Percentile(loads, 100));
  std::printf("  memory of the first load: peak %.1f MiB\n", loadMemory);
  return loadedModules == 16 * 255 && bigOk ? 0 : 1;
}
