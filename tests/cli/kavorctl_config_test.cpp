#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "fakes/run_kavorctl.h"
#include "model/card_config_file.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/paths.h"

namespace {

#ifndef _WIN32
// The cards live in this process, behind a pseudo-terminal, so that the test can change them
// between two runs of kavorctl as someone at the layout would.
TEST(KavorctlConfigTest, BackUpChangeCompareRestoreOnTheCardsThemselves) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.path() + "/Karten.ini";
  TSimBus bus;
  bus.AddDefaultCards();
  TSimPtyServer server(bus);
  const QString path = QString::fromStdString(server.Start(19200));
  const QStringList cards = {
      "--port",     path,       "--baud",     "19200",    "--module",      "TMXB01@$1E", "--module",
      "TMXB02@$32", "--module", "THDX01@$20", "--module", "TIFCPorts@$7F", "--file",     file};

  TRunResult r = RunKavorctl(QStringList{"config", "backup"} + cards);
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "IFC0 $1E TMXB01: gesichert\n"
            "IFC0 $32 TMXB02: gesichert\n"
            "IFC0 $20 THDX01: gesichert\n"
            "IFC0 $7F TIFCPorts: keine Einstellungen\n"
            "3 Karten gesichert, 0 ohne Antwort, 1 ohne Einstellungen\n");

  bus.CardAs<TSimMXB01>(0x1E).SetPulseTimeMs(100);
  TSimMXB02Config changed = bus.CardAs<TSimMXB02>(0x32).Config();
  changed.Flags1 = 0x0400;
  bus.CardAs<TSimMXB02>(0x32).SetConfig(changed);
  bus.CardAs<TSimHDX01>(0x20).SetStopEvent(8, TSimHDX01::kStopHard);

  r = RunKavorctl(QStringList{"config", "compare"} + cards);
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_EQ(r.Out,
            "IFC0 $1E TMXB01: 1 Unterschied\n"
            "IFC0 $1E TMXB01: Impulszeit 250 -> 100\n"
            "IFC0 $32 TMXB02: 1 Unterschied\n"
            "IFC0 $32 TMXB02: Port10.BL 0 -> 1\n"
            "IFC0 $20 THDX01: 1 Unterschied\n"
            "IFC0 $20 THDX01: LS8.Stop AUS -> FSTOP\n"
            "IFC0 $7F TIFCPorts: keine Einstellungen\n"
            "0 Karten gleich, 3 verschieden, 0 ohne Antwort, 1 ohne Einstellungen\n");

  r = RunKavorctl(QStringList{"config", "restore"} + cards);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "IFC0 $1E TMXB01: wiederhergestellt: 1 Einstellung geschrieben\n"
            "IFC0 $32 TMXB02: wiederhergestellt: 1 Einstellung geschrieben, im EEPROM "
            "gespeichert\n"
            "IFC0 $20 THDX01: wiederhergestellt: 1 Einstellung geschrieben\n"
            "IFC0 $7F TIFCPorts: keine Einstellungen\n"
            "3 Karten wiederhergestellt, 0 fehlgeschlagen, 1 ohne Einstellungen\n");
  EXPECT_EQ(bus.CardAs<TSimMXB01>(0x1E).PulseTimeMs(), 250);
  EXPECT_EQ(bus.CardAs<TSimMXB02>(0x32).StoredConfig().Flags1, 0);
  EXPECT_EQ(bus.CardAs<TSimMXB02>(0x32).StoreCount(), 1);
  EXPECT_EQ(bus.CardAs<TSimHDX01>(0x20).StopEvent(8), TSimHDX01::kStopOff);

  r = RunKavorctl(QStringList{"config", "compare"} + cards);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;

  // A replacement card at another address, restored from the old card's section.
  bus.Add<TSimMXB02>(0x33);
  bus.CardAs<TSimMXB02>(0x32).SetConfig(changed);
  r = RunKavorctl(QStringList{"config", "backup", "--port", path, "--baud", "19200", "--module",
                              "TMXB02@$32", "--file", file});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  r = RunKavorctl(QStringList{"config", "restore", "--port", path, "--baud", "19200", "--module",
                              "TMXB02@$33", "--section", "IFC0_$32", "--file", file});
  server.Stop();
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "IFC0 $33 TMXB02: wiederhergestellt aus [IFC0_$32]: 1 Einstellung geschrieben, im "
            "EEPROM gespeichert\n"
            "1 Karte wiederhergestellt, 0 fehlgeschlagen\n");
  EXPECT_EQ(bus.CardAs<TSimMXB02>(0x33).StoredConfig(), changed);
}
#endif

TEST(KavorctlConfigTest, WholeModelIntoTheDefaultFileBesideIt) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string model = dir.path().toStdString() + "/Anlage.INI";
  {
    TRecordingSink sink;
    TModulsList list;
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetPort("SIM");
    ifc->SetBaud(19200);
    list.AddModul("TMXB02", ifc, 0x32);
    list.AddModul("TRS485Dummy", ifc, 0x40);
    // The model is wrong about $1E: the card there is of type 1.
    list.AddModul("THDX01", ifc, 0x1E);
    SaveModelFile(list, model, TModelHeader(), "test: ");
    ASSERT_TRUE(sink.Lines().empty());
  }
  const QString m = QString::fromStdString(model);
  TRunResult r = RunKavorctl({"config", "backup", "--model", m});
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_EQ(r.Out,
            "IFC0 $32 TMXB02: gesichert\n"
            "IFC0 $40 TRS485Dummy: keine Einstellungen\n"
            "IFC0 $1E THDX01: abgelehnt: die Karte meldet sich als \"#1E01[MXB01.2.1]\", im "
            "Modell steht THDX01\n"
            "1 Karte gesichert, 0 ohne Antwort, 1 fehlgeschlagen, 1 ohne Einstellungen\n");
  TCardConfigFile file;
  ASSERT_TRUE(file.Load(dir.path().toStdString() + "/Anlage.Karten.ini"));
  ASSERT_EQ(file.Cards().size(), 1u);
  EXPECT_EQ(file.Cards()[0].Section, "IFC0_$32");

  // Each run of kavorctl has a fresh simulated bus: the card at $32 is as it was.
  r = RunKavorctl({"config", "compare", "--model", m});
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_NE(r.Out.find("IFC0 $32 TMXB02: gleich\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("IFC0 $1E THDX01: kein Abschnitt [IFC0_$1E] in der Datei\n"),
            std::string::npos)
      << r.Out;
}

TEST(KavorctlConfigTest, SilentCardGivesExitOneAndUsageErrorsTwo) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.path() + "/k.ini";
  TRunResult r = RunKavorctl({"config", "backup", "--port", "SIM", "--timeout", "30", "--module",
                              "TMXB01@$55", "--file", file});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Out, "IFC0 $55 TMXB01: ohne Antwort\n0 Karten gesichert, 1 ohne Antwort\n");
  EXPECT_FALSE(FileExists(file.toStdString()));

  struct {
    QStringList Args;
    const char* Err;
  } cases[] = {
      {{"config"}, "exactly one ACTION"},
      {{"config", "save", "--model", "x.ini"}, "ACTION must be backup, compare or restore"},
      {{"config", "backup", "--file", "k.ini"}, "either --port"},
      {{"config", "backup", "--port", "SIM", "--model", "x.ini"}, "either --port"},
      {{"config", "backup", "--port", "SIM", "--file", "k.ini"}, "at least one --module"},
      {{"config", "backup", "--port", "SIM", "--module", "TMXB01@$1E"}, "--port needs --file"},
      {{"config", "backup", "--port", "SIM", "--module", "TMXB01", "--file", "k.ini"},
       "CLASS@ADDR"},
      {{"config", "backup", "--port", "SIM", "--module", "MXB01@$1E", "--file", "k.ini"},
       "unknown class"},
      {{"config", "backup", "--port", "SIM", "--module", "TMXB01@$1E", "--section", "IFC0_$1E",
        "--file", "k.ini"},
       "--section is for compare and restore"},
      {{"config", "restore", "--port", "SIM", "--module", "TMXB01@$1E", "--module", "TMXB02@$32",
        "--section", "IFC0_$1E", "--file", file},
       "--section needs exactly one card"},
      {{"config", "compare", "--port", "SIM", "--module", "TMXB01@$1E", "--file",
        dir.path() + "/fehlt.ini"},
       "not found"},
      {{"config", "backup", "--model", dir.path() + "/fehlt.INI"}, "not found"},
      {{"config", "backup", "--port", "/dev/kavor-no-such-port", "--module", "TMXB01@$1E", "--file",
        file},
       "TCOMPORT : cannot open /dev/kavor-no-such-port"},
  };
  for (const auto& c : cases) {
    r = RunKavorctl(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString();
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  }
}

}  // namespace
