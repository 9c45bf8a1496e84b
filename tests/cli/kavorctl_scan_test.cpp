#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "fakes/run_kavorctl.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"

namespace {

// A short time-out and the faster rate keep a full scan of 256 addresses to a few seconds.
const QStringList kFastSim = {"--port", "SIM", "--baud", "19200", "--timeout", "20"};

const char* const kFiveCards =
    "$1E\tTMXB01\tMXB01.2.1\n"
    "$20\tTHDX01\tHDX01.1.3\n"
    "$32\tTMXB02\tMXB02.1.5\n"
    "$40\tTRS485Dummy\tLSX04.3.0\n"
    "$7F\tTIFCPorts\tIFC485PX8.1.0\n";

TEST(KavorctlScanTest, SaveAddsTheInterfaceToAnExistingModel) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString() + "/Anlage";
  {
    // A model with one interface already, and a caption of its own.
    TRecordingSink sink;
    TModulsList list;
    TRS485IFC* ifc = list.AddIFC("TRS485IFC")->IFC;
    ifc->SetPort("COM7");
    list.AddModul("TMXB01", ifc, 0x31);
    TModelHeader header;
    header.Caption = "Bahnhof Nord";
    SaveModelFile(list, base + ".INI", header, "test: ");
    ASSERT_TRUE(sink.Lines().empty());
  }
  const TRunResult r = RunKavorctl(QStringList{"scan"} + kFastSim +
                                   QStringList{"--save", QString::fromStdString(base + ".ini")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, kFiveCards);

  TModulsList loaded;
  loaded.Load_FromFile(base + ".INI");
  ASSERT_EQ(loaded.IFCCount(), 2);
  TRS485IFC* first = loaded.IFCByIndex(0);
  EXPECT_EQ(first->Port(), "COM7");
  ASSERT_EQ(first->Count(), 1);
  TRS485IFC* scanned = loaded.IFCByIndex(1);
  EXPECT_EQ(scanned->IfcNumber(), 1);
  EXPECT_EQ(scanned->Port(), "SIM");
  EXPECT_EQ(scanned->Baud(), 19200u);
  std::string cards;
  for (int i = 0; i < scanned->Count(); ++i) {
    auto* modul = dynamic_cast<TBaseModul*>(scanned->Item(i));
    ASSERT_NE(modul, nullptr);
    cards += modul->AdresseText() + " " + modul->ClassName() + ";";
  }
  EXPECT_EQ(cards, "$1E TMXB01;$20 THDX01;$32 TMXB02;$40 TRS485Dummy;$7F TIFCPorts;");
  TModelHeader header;
  ReadModelHeader(base + ".INI", header);
  EXPECT_EQ(header.Caption, "Bahnhof Nord");
}

TEST(KavorctlScanTest, ListsTheFiveCardsInAddressOrderAndCreatesAMissingModel) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string file = dir.path().toStdString() + "/Neu/Garten.INI";
  const TRunResult r = RunKavorctl(QStringList{"scan"} + kFastSim +
                                   QStringList{"--save", QString::fromStdString(file)});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, kFiveCards);
  TModulsList loaded;
  loaded.Load_FromFile(file);
  ASSERT_EQ(loaded.IFCCount(), 1);
  EXPECT_EQ(loaded.IFCByIndex(0)->Count(), 5);
  TModelHeader header;
  header.Caption = "";
  ReadModelHeader(file, header);
  EXPECT_EQ(header.Caption, "Garten");
}

TEST(KavorctlScanTest, QuickPrintsTheSameLinesAndSumsUpTheEmptyAddresses) {
  const TRunResult full = RunKavorctl(QStringList{"scan"} + kFastSim);
  const TRunResult quick = RunKavorctl(QStringList{"scan", "--quick"} + kFastSim);
  ASSERT_EQ(quick.ExitCode, 0) << quick.Err;
  EXPECT_EQ(quick.Out, kFiveCards);
  EXPECT_EQ(quick.Out, full.Out);
  EXPECT_NE(quick.Err.find("Modulsuche IFC(0): 251 Adressen ohne Antwort"), std::string::npos)
      << quick.Err;
  EXPECT_EQ(quick.Err.find("TimeOut"), std::string::npos) << quick.Err;
  EXPECT_NE(full.Err.find("TimeOut"), std::string::npos) << full.Err;
}

#ifndef _WIN32
TEST(KavorctlAddressTest, MovesTheCardAndConfirms) {
  TSimBus bus;
  bus.AddDefaultCards();
  TSimPtyServer server(bus);
  const std::string path = server.Start(19200);
  const TRunResult r = RunKavorctl({"address", "--port", QString::fromStdString(path), "--baud",
                                    "19200", "--from", "$1E", "--to", "33"});
  server.Stop();
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "OK, Adresse geändert. \n");
  EXPECT_EQ(bus.FindCard(0x1E), nullptr);
  EXPECT_NE(bus.FindCard(0x21), nullptr);
}
#endif

TEST(KavorctlAddressTest, UnansweredChangeGivesExitOneAndAReport) {
  const TRunResult r =
      RunKavorctl(QStringList{"address"} + kFastSim + QStringList{"--from", "$55", "--to", "$56"});
  EXPECT_EQ(r.ExitCode, 1) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_NE(r.Err.find("Adressänderung $55 -> $56 nicht bestätigt"), std::string::npos) << r.Err;
}

TEST(KavorctlAddressTest, UsageAndPortErrorsGiveExitTwo) {
  struct {
    QStringList Args;
    const char* Err;
  } cases[] = {
      {{"address", "--port", "SIM", "--to", "$21"}, "--from and --to are required"},
      {{"address", "--port", "SIM", "--from", "$1E"}, "--from and --to are required"},
      {{"address", "--port", "SIM", "--from", "300", "--to", "$21"}, "--from must be"},
      {{"address", "--port", "SIM", "--from", "$1E", "--to", "0"}, "--to must be"},
      {{"address", "--port", "SIM", "--from", "$1E", "--to", "$100"}, "--to must be"},
      {{"address", "--from", "$1E", "--to", "$21"}, "--port is required"},
      {{"address", "--port", "/dev/kavor-no-such-port", "--from", "$1E", "--to", "$21"},
       "TCOMPORT : cannot open /dev/kavor-no-such-port"},
      {{"scan"}, "--port is required"},
      {{"scan", "--port", "SIM", "extra"}, "unexpected argument extra"},
      {{"scan", "--port", "/dev/kavor-no-such-port"},
       "TCOMPORT : cannot open /dev/kavor-no-such-port"},
  };
  for (const auto& c : cases) {
    const TRunResult r = RunKavorctl(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString();
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  }
}

}  // namespace
