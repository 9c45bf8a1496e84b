// ui_latency: a type-1 card window open (offscreen), its card answering about 100 times a second
// with a new output word each time. Measures the time from an answer entering the bus master to
// the repaint of the window's lamp row that shows it (p50, p99), and the repaints per second.

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <map>
#include <mutex>

#include "bench/bench_common.h"
#include "bus/bus_interface.h"
#include "modules/mxb01.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/waits.h"
#include "ui/controls/lumi_kette.h"
#include "ui/modules/frm_mxb01.h"

namespace {

// Answers every poll with the next output word and notes when each answer was handed to the
// bus master.
class TCountingLine : public TSerialLine {
 public:
  void Open(const std::string&, uint32_t) override { FOpen = true; }
  void Close() override { FOpen = false; }
  bool IsOpen() const override { return FOpen; }
  bool Write(const std::string& bytes) override {
    std::lock_guard<std::mutex> lock(FMutex);
    if (bytes.find("?1E20") != std::string::npos) {
      FValue = (FValue + 1) & 0xFFFF;
      FPending = "#1E20" + IntToHexText(FValue, 4) + "\r\n";
      FReadyAt = WallSeconds() + kAnswerDelay;
    }
    return true;
  }
  void SetDTR(bool) override {}
  TReadResult Read(int64_t maxWaitUs) override {
    TReadResult result;
    std::unique_lock<std::mutex> lock(FMutex);
    const double deadline = WallSeconds() + static_cast<double>(maxWaitUs) / 1e6;
    while (!FInterrupted && (FPending.empty() || WallSeconds() < FReadyAt)) {
      const double until = FPending.empty() ? deadline : std::min(deadline, FReadyAt);
      if (WallSeconds() >= deadline) return result;
      FWake.wait_for(lock, std::chrono::duration<double>(until - WallSeconds()));
    }
    if (FInterrupted) {
      FInterrupted = false;
      result.Status = TReadStatus::Interrupted;
      return result;
    }
    result.Status = TReadStatus::Data;
    result.Bytes = FPending;
    FPending.clear();
    Entered[FValue] = WallSeconds();
    return result;
  }
  void Interrupt() override {
    std::lock_guard<std::mutex> lock(FMutex);
    FInterrupted = true;
    FWake.notify_all();
  }

  // Output word -> when its answer entered the bus master.
  std::map<int, double> Entered;
  std::mutex FMutex;

 private:
  // Together with the bus timing at 19200 baud this gives about 100 answers a second.
  static constexpr double kAnswerDelay = 0.0027;
  std::condition_variable FWake;
  bool FOpen = false;
  bool FInterrupted = false;
  int FValue = 0;
  std::string FPending;
  double FReadyAt = 0;
};

// Notes every repaint of the lamp row and the word it showed.
class TPaintProbe : public QObject {
 public:
  explicit TPaintProbe(TLumiKette* row) : FRow(row) { row->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == FRow && event->type() == QEvent::Paint)
      Paints.emplace_back(WallSeconds(), FRow->LEDValue());
    return false;
  }
  std::vector<std::pair<double, int>> Paints;

 private:
  TLumiKette* FRow;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallQtMainThreadWaker();
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
  {
    TCountingLine* line = nullptr;
    TRS485IFC ifc;
    ifc.BusMaster().ComPort().SetLineCreator([&line] {
      auto made = std::make_unique<TCountingLine>();
      line = made.get();
      return made;
    });
    ifc.SetBaud(19200);
    ifc.SetPollPriority(1);
    std::unique_ptr<TBusModule> owned = std::make_unique<TMXB01>(&ifc.BusMaster(), 0x1E);
    auto* modul = static_cast<TMXB01*>(owned.get());
    ifc.AddModule(owned);
    TfrmMXB01 form;
    form.SetModul(modul);
    form.show();
    TPaintProbe probe(form.LumiKette1);
    ifc.SetActive(true);
    const double start = WallSeconds();
    WaitWithMessages(static_cast<uint32_t>(seconds * 1000));
    const double elapsed = WallSeconds() - start;
    ifc.SetActive(false);

    std::vector<double> latencies;
    std::size_t answers = 0;
    {
      std::lock_guard<std::mutex> lock(line->FMutex);
      answers = line->Entered.size();
      for (const auto& [at, value] : probe.Paints) {
        const auto it = line->Entered.find(value);
        if (it != line->Entered.end() && at >= it->second)
          latencies.push_back((at - it->second) * 1000);
      }
    }
    std::printf("ui_latency: type-1 card window offscreen, %.0f s, %.1f answers per second\n",
                elapsed, static_cast<double>(answers) / elapsed);
    std::printf(
        "  answer entering the bus master -> repaint: p50 %.2f ms, p99 %.2f ms (%zu repaints "
        "measured)\n",
        Percentile(latencies, 50), Percentile(latencies, 99), latencies.size());
    std::printf("  repaints of the lamp row: %.1f per second\n",
                static_cast<double>(probe.Paints.size()) / elapsed);
    form.DetachModul();
  }
  RemoveQtMainThreadWaker();
  return 0;
}
