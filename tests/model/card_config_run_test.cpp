// Backing up, comparing and restoring the cards' settings on the simulated bus, end to end: the
// cards' own state is what the tests look at.
#include "model/card_config_run.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "bus/bus_interface.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "modules/mxb02.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"

namespace {

class CardConfigRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallQtMainThreadWaker();
    ASSERT_TRUE(Dir.isValid());
    File = Dir.path().toStdString() + "/Anlage.Karten.ini";
    Bus.AddDefaultCards();
    List.OnInterfaceCreated = [this](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([this] { return MakeSimSerialLine(Bus); });
    };
    Ifc = List.AddIFC("TRS485IFC")->IFC;
  }
  void TearDown() override {
    List.RemoveAll();
    RemoveQtMainThreadWaker();
  }

  // The model as a search of the simulated bus finds it, polling as after loading a model.
  void AddDefaultModules() {
    for (const auto& [name, address] :
         std::vector<std::pair<const char*, int>>{{"TMXB01", 0x1E},
                                                  {"THDX01", 0x20},
                                                  {"TMXB02", 0x32},
                                                  {"TRS485Dummy", 0x40},
                                                  {"TIFCPorts", 0x7F}})
      Modul(List.AddModul(name, Ifc, address));
  }
  TBaseModul* Modul(TModulsItem* item) {
    EXPECT_NE(item, nullptr);
    item->Modul->SetPolling(true);
    return item->Modul;
  }
  TCardJob Job(uint8_t address, std::string section = {}) {
    return {Ifc, dynamic_cast<TBaseModul*>(Ifc->Item(Ifc->FindModule(address))),
            std::move(section)};
  }

  std::shared_ptr<TCardConfigRun> Make(TCardConfigAction action, std::vector<TCardJob> jobs) {
    auto run = TCardConfigRun::Create(action, std::move(jobs), File);
    run->Now = [] { return std::string("2024-05-04 18:30:12"); };
    run->OnProgress = [this](int k, int n, const std::string& label) {
      Progress.push_back(std::to_string(k) + "/" + std::to_string(n) + " " + label);
    };
    return run;
  }
  // What kavorctl prints: a line per card and one per difference.
  static std::vector<std::string> Lines(const TCardConfigRun& run) {
    std::vector<std::string> lines;
    for (const TCardResult& r : run.Results()) {
      lines.push_back(r.Line());
      for (const TSettingDifference& d : r.Differences)
        lines.push_back(r.DifferenceLine(d));
    }
    return lines;
  }

  TSimMXB01& Mxb01() { return Bus.CardAs<TSimMXB01>(0x1E); }
  TSimMXB02& Mxb02(uint8_t address = 0x32) { return Bus.CardAs<TSimMXB02>(address); }
  TSimHDX01& Hdx01() { return Bus.CardAs<TSimHDX01>(0x20); }

  TManualClock Clock;
  TSimBus Bus{Clock};
  TRecordingSink Sink;
  TModulsList List{&Clock};
  QTemporaryDir Dir;
  std::string File;
  TRS485IFC* Ifc = nullptr;
  std::vector<std::string> Progress;
};

TEST_F(CardConfigRunTest, BackUpChangeCompareRestoreCompare) {
  AddDefaultModules();
  Ifc->SetActive(true);
  ASSERT_TRUE(Ifc->Active());
  // The layout's settings, as the club set them up.
  Mxb01().SetPulseTimeMs(400);
  TSimMXB02Config layout = Mxb02().Config();
  layout.Inversion = 0x00F0;
  layout.Flags1 = 0x0101;
  layout.PulseTime1[3] = 12;
  Mxb02().SetConfig(layout);
  Hdx01().SetStopEvent(5, TSimHDX01::kStopBrake);

  auto backup = Make(caBackup, CardJobsOfModel(List));
  ASSERT_EQ(backup->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(
      Lines(*backup),
      (std::vector<std::string>{
          "IFC0 $1E TMXB01: gesichert", "IFC0 $20 THDX01: gesichert", "IFC0 $32 TMXB02: gesichert",
          "IFC0 $40 TRS485Dummy: keine Einstellungen", "IFC0 $7F TIFCPorts: keine Einstellungen"}));
  EXPECT_EQ(backup->Summary(), "3 Karten gesichert, 0 ohne Antwort, 2 ohne Einstellungen");
  EXPECT_TRUE(backup->AllSucceeded());
  EXPECT_EQ(Progress.front(), "1/5 IFC0 $1E TMXB01");
  EXPECT_EQ(Progress.back(), "5/5 IFC0 $7F TIFCPorts");
  TCardConfigFile file;
  ASSERT_TRUE(file.Load(File));
  ASSERT_EQ(file.Cards().size(), 3u);
  const TCardBackup mxb02 = *file.Card("IFC0_$32");
  EXPECT_EQ(mxb02.ClassName, "TMXB02");
  EXPECT_EQ(mxb02.Firmware, "MXB02.1.5");
  EXPECT_EQ(mxb02.ReadAt, "2024-05-04 18:30:12");
  EXPECT_EQ(SettingValue(mxb02.Settings, "Port03.Impuls1"), "12");
  EXPECT_EQ(SettingValue(mxb02.Settings, "Port04.Invertiert"), "1");
  EXPECT_EQ(SettingValue(mxb02.Settings, "Port08.BL"), "1");
  EXPECT_EQ(SettingValue(file.Card("IFC0_$1E")->Settings, "Impulszeit"), "400");
  EXPECT_EQ(SettingValue(file.Card("IFC0_$20")->Settings, "LS5.Stop"), "BSTOP");
  EXPECT_EQ(SettingValue(file.Card("IFC0_$20")->Settings, "LS5.Fahrregler"), "3");

  // Someone changed cards since the last meeting.
  Mxb01().SetPulseTimeMs(250);
  TSimMXB02Config changed = layout;
  changed.Inversion = 0x00F8;
  changed.PulseTime2[10] = 20;
  Mxb02().SetConfig(changed);
  Hdx01().SetAssignment(5, 1);
  Hdx01().SetStopEvent(2, TSimHDX01::kStopHard);

  auto compare = Make(caCompare, CardJobsOfModel(List));
  ASSERT_EQ(compare->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(
      Lines(*compare),
      (std::vector<std::string>{
          "IFC0 $1E TMXB01: 1 Unterschied", "IFC0 $1E TMXB01: Impulszeit 400 -> 250",
          "IFC0 $20 THDX01: 2 Unterschiede", "IFC0 $20 THDX01: LS2.Stop AUS -> FSTOP",
          "IFC0 $20 THDX01: LS5.Fahrregler 3 -> 1", "IFC0 $32 TMXB02: 2 Unterschiede",
          "IFC0 $32 TMXB02: Port03.Invertiert 0 -> 1", "IFC0 $32 TMXB02: Port10.Impuls2 8 -> 20",
          "IFC0 $40 TRS485Dummy: keine Einstellungen", "IFC0 $7F TIFCPorts: keine Einstellungen"}));
  EXPECT_FALSE(compare->AllSucceeded());
  EXPECT_EQ(compare->Summary(),
            "0 Karten gleich, 3 verschieden, 0 ohne Antwort, 2 ohne Einstellungen");
  EXPECT_EQ(Mxb02().StoreCount(), 0);

  auto restore = Make(caRestore, CardJobsOfModel(List));
  ASSERT_EQ(restore->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(
      Lines(*restore),
      (std::vector<std::string>{
          "IFC0 $1E TMXB01: wiederhergestellt: 1 Einstellung geschrieben",
          "IFC0 $20 THDX01: wiederhergestellt: 2 Einstellungen geschrieben",
          "IFC0 $32 TMXB02: wiederhergestellt: 2 Einstellungen geschrieben, im EEPROM "
          "gespeichert",
          "IFC0 $40 TRS485Dummy: keine Einstellungen", "IFC0 $7F TIFCPorts: keine Einstellungen"}));
  EXPECT_EQ(restore->Results()[2].Written,
            (std::vector<std::string>{"Port03.Invertiert", "Port10.Impuls2"}));
  EXPECT_TRUE(restore->AllSucceeded());
  EXPECT_EQ(restore->Summary(),
            "3 Karten wiederhergestellt, 0 fehlgeschlagen, 2 ohne Einstellungen");
  // The cards themselves hold the layout again; the type-2 card stored it in its EEPROM.
  EXPECT_EQ(Mxb01().PulseTimeMs(), 400);
  EXPECT_EQ(Mxb02().Config(), layout);
  EXPECT_EQ(Mxb02().StoreCount(), 1);
  EXPECT_EQ(Mxb02().StoredConfig(), layout);
  EXPECT_EQ(Hdx01().Assignment(5), 3);
  EXPECT_EQ(Hdx01().StopEvent(2), TSimHDX01::kStopOff);
  EXPECT_EQ(Hdx01().StopEvent(5), TSimHDX01::kStopBrake);

  auto again = Make(caCompare, CardJobsOfModel(List));
  ASSERT_EQ(again->Run(), TCardConfigRun::rrDone);
  EXPECT_TRUE(again->AllSucceeded());
  EXPECT_EQ(again->Summary(),
            "3 Karten gleich, 0 verschieden, 0 ohne Antwort, 2 ohne Einstellungen");
  // A restore with nothing to do writes nothing and stores nothing.
  auto nothing = Make(caRestore, {Job(0x32)});
  ASSERT_EQ(nothing->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(nothing->Results()[0].Line(),
            "IFC0 $32 TMXB02: wiederhergestellt: schon gleich, nichts geschrieben");
  EXPECT_EQ(Mxb02().StoreCount(), 1);
  EXPECT_FALSE(TWorkflowGuard::IsBusy(Ifc));
  MainThread().PumpPending();
  EXPECT_TRUE(Sink.Lines().empty()) << Sink.Lines().front();
}

TEST_F(CardConfigRunTest, SilentCardsAndCardsOfAnotherClass) {
  // The model is wrong about $32: the card there is of type 2.
  Modul(List.AddModul("TMXB01", Ifc, 0x1E));
  Modul(List.AddModul("THDX01", Ifc, 0x20));
  Modul(List.AddModul("TMXB01", Ifc, 0x32));
  // Only the run's own lines on the bus, so that they can be counted.
  for (const TCardJob& job : CardJobsOfIfc(*Ifc))
    job.Modul->SetPolling(false);
  Ifc->SetActive(true);
  {
    TCardConfigFile file;
    TMXB02 other(nullptr, 0x20);
    file.Put({"IFC0_$1E", "TMXB01", "MXB01.1.0", "alt", "", {{"Impulszeit", "111"}}});
    file.Put({"IFC0_$20", "TMXB02", "", "alt", "", CardSettingsTypeOf(other)->FromImage(other)});
    file.Save(File);
  }
  TSimFaults silent;
  silent.Silent = true;
  Bus.SetFaults(0x1E, silent);

  auto backup = Make(caBackup, {Job(0x1E), Job(0x32)});
  ASSERT_EQ(backup->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(Lines(*backup),
            (std::vector<std::string>{
                "IFC0 $1E TMXB01: ohne Antwort",
                "IFC0 $32 TMXB01: abgelehnt: die Karte meldet sich als \"#3201[MXB02.1.5]\", im "
                "Modell steht TMXB01"}));
  EXPECT_EQ(backup->Summary(), "0 Karten gesichert, 1 ohne Antwort, 1 fehlgeschlagen");
  // Nothing read, nothing written: the silent card's old section stands as it was.
  TCardConfigFile file;
  ASSERT_TRUE(file.Load(File));
  EXPECT_EQ(file.Card("IFC0_$1E")->ReadAt, "alt");
  EXPECT_EQ(SettingValue(file.Card("IFC0_$1E")->Settings, "Impulszeit"), "111");
  EXPECT_FALSE(file.Card("IFC0_$32"));

  const uint64_t exchanges = Bus.FaultCounts().Commands;
  const uint8_t before = Hdx01().Assignment(1);
  auto restore = Make(caRestore, {Job(0x20), Job(0x1E)});
  ASSERT_EQ(restore->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(Lines(*restore),
            (std::vector<std::string>{
                "IFC0 $20 THDX01: abgelehnt: Abschnitt [IFC0_$20] gehört zu einer TMXB02, die "
                "Karte ist eine THDX01",
                "IFC0 $1E TMXB01: ohne Antwort"}));
  EXPECT_EQ(restore->Summary(), "0 Karten wiederhergestellt, 2 fehlgeschlagen");
  EXPECT_FALSE(restore->AllSucceeded());
  EXPECT_EQ(Hdx01().Assignment(1), before);
  // The refused card was not even asked who it is; the silent one only for that.
  EXPECT_EQ(Bus.FaultCounts().Commands - exchanges, 1u);

  // A busy interface and a disconnected one leave their cards undone, each with its reason.
  Bus.ClearFaults();
  {
    TWorkflowGuard search(Ifc, "Modulsuche");
    auto busy = Make(caCompare, {Job(0x1E)});
    ASSERT_EQ(busy->Run(), TCardConfigRun::rrDone);
    EXPECT_EQ(Lines(*busy),
              (std::vector<std::string>{
                  "IFC0 $1E TMXB01: IFC(0) ist beschäftigt: Modulsuche läuft noch. "}));
  }
  Ifc->SetActive(false);
  auto offline = Make(caCompare, {Job(0x1E)});
  ASSERT_EQ(offline->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(Lines(*offline),
            (std::vector<std::string>{"IFC0 $1E TMXB01: Interface nicht verbunden"}));

  // A file without card sections is reported once, before any card is touched.
  auto missing = TCardConfigRun::Create(caRestore, {Job(0x1E)}, File + ".fehlt");
  EXPECT_EQ(missing->Run(), TCardConfigRun::rrFileError);
  EXPECT_TRUE(missing->Results().empty());
  MainThread().PumpPending();
  EXPECT_EQ(Sink.Count("Konfiguration wiederherstellen: keine Sicherung in "), 1u);
}

TEST_F(CardConfigRunTest, CancelInTheMiddleIsReportedCardByCard) {
  AddDefaultModules();
  Ifc->SetActive(true);
  ASSERT_EQ(Make(caBackup, CardJobsOfModel(List))->Run(), TCardConfigRun::rrDone);
  const std::string saved = [&] {
    TCardConfigFile f;
    f.Load(File);
    return f.Text();
  }();
  TSimMXB02Config changed = Mxb02().Config();
  changed.Flags2 = 0x0003;
  Mxb02().SetConfig(changed);
  Mxb01().SetPulseTimeMs(999);
  Hdx01().SetAssignment(1, 4);

  // Cancelled once the type-2 card has taken the writes, before they are checked.
  auto restore = Make(caRestore, {Job(0x1E), Job(0x32), Job(0x20)});
  restore->Wait = [&](const std::function<bool()>& condition, uint32_t ms) {
    const bool done = MainThread().WaitUntil(condition, std::chrono::milliseconds(ms));
    if (Mxb02().Config() != changed) restore->Cancel();
    return done;
  };
  EXPECT_EQ(restore->Run(), TCardConfigRun::rrCancelled);
  EXPECT_EQ(Lines(*restore),
            (std::vector<std::string>{
                "IFC0 $1E TMXB01: wiederhergestellt: 1 Einstellung geschrieben",
                "IFC0 $32 TMXB02: abgebrochen nach dem Senden von 2 Einstellungen: nicht geprüft, "
                "nicht im EEPROM gespeichert",
                "IFC0 $20 THDX01: nicht bearbeitet (abgebrochen)"}));
  EXPECT_EQ(restore->Summary(), "1 Karte wiederhergestellt, 0 fehlgeschlagen, 2 abgebrochen");
  EXPECT_EQ(Mxb02().StoreCount(), 0);
  EXPECT_EQ(Hdx01().Assignment(1), 4);
  EXPECT_FALSE(TWorkflowGuard::IsBusy(Ifc));

  // A cancelled backup leaves the file as it was, also for the cards already read.
  auto backup = Make(caBackup, CardJobsOfModel(List));
  backup->OnProgress = [&](int k, int, const std::string&) {
    if (k == 3) backup->Cancel();
  };
  EXPECT_EQ(backup->Run(), TCardConfigRun::rrCancelled);
  EXPECT_EQ(backup->Results()[0].Line(),
            "IFC0 $1E TMXB01: gelesen, nicht gesichert (abgebrochen, Datei unverändert)");
  EXPECT_EQ(backup->Results()[2].Line(), "IFC0 $32 TMXB02: nicht bearbeitet (abgebrochen)");
  TCardConfigFile after;
  ASSERT_TRUE(after.Load(File));
  EXPECT_EQ(after.Text(), saved);

  // The window taking the model apart stops the run without another look at the cards.
  int reported = 0;
  auto compare = Make(caCompare, CardJobsOfModel(List));
  compare->OnCardDone = [&](const TCardResult&) { ++reported; };
  compare->Wait = [&](const std::function<bool()>& condition, uint32_t) {
    TWorkflowGuard::CancelAll();
    return condition();
  };
  EXPECT_EQ(compare->Run(), TCardConfigRun::rrCancelled);
  EXPECT_TRUE(compare->ModelGone());
  EXPECT_EQ(reported, 0);
  EXPECT_EQ(compare->Results().size(), 5u);
}

TEST_F(CardConfigRunTest, ReplacementCardTakesTheOldCardsSection) {
  AddDefaultModules();
  TSimMXB02Config layout = Mxb02().Config();
  layout.Inversion = 0x1234;
  layout.Flags2 = 0x8001;
  layout.PulseTime1[0] = 1;
  layout.PulseTime2[15] = 200;
  Mxb02().SetConfig(layout);
  Ifc->SetActive(true);
  ASSERT_EQ(Make(caBackup, {Job(0x32)})->Run(), TCardConfigRun::rrDone);

  // The new card came with factory settings and was set to $33.
  Bus.Add<TSimMXB02>(0x33);
  Modul(List.AddModul("TMXB02", Ifc, 0x33));
  auto compare = Make(caCompare, {Job(0x33, "IFC0_$32")});
  ASSERT_EQ(compare->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(compare->Results()[0].Differences.size(), 9u);  // 5 + 2 flag bits, 2 times
  EXPECT_EQ(compare->Results()[0].Text, "9 Unterschiede (mit [IFC0_$32])");

  auto restore = Make(caRestore, {Job(0x33, "IFC0_$32")});
  ASSERT_EQ(restore->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(restore->Results()[0].Line(),
            "IFC0 $33 TMXB02: wiederhergestellt aus [IFC0_$32]: 9 Einstellungen geschrieben, im "
            "EEPROM gespeichert");
  EXPECT_EQ(Mxb02(0x33).Config(), layout);
  EXPECT_EQ(Mxb02(0x33).StoredConfig(), layout);

  // Compared with the program's image instead: what the window shows against the card.
  auto* modul = dynamic_cast<TMXB02*>(Job(0x33).Modul);
  modul->Typ1 = 0x0004;
  auto image = Make(caCompare, {Job(0x33)});
  image->CompareWithImage = true;
  ASSERT_EQ(image->Run(), TCardConfigRun::rrDone);
  EXPECT_EQ(Lines(*image), (std::vector<std::string>{"IFC0 $33 TMXB02: 1 Unterschied",
                                                     "IFC0 $33 TMXB02: Port02.BL 1 -> 0"}));
  // Reading the card brought the image back to the card.
  EXPECT_EQ(modul->Typ1, 0x0000);
}

}  // namespace
