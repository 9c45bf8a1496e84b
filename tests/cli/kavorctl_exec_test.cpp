#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "fakes/run_kavorctl.h"
#include "model/ini_file.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "sim/sim_switch_cards.h"
#include "support/files.h"

namespace {

TEST(KavorctlExecTest, SwitchThenQueryOnTheSimulatedBus) {
  const TRunResult r = RunKavorctl({"exec", "--port", "SIM", "--module", "TMXB01@$1E",
                                    "!Schalten(0,$1E,3,1)", "?Port(0,$1E,3)"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "\n1\n");
  EXPECT_EQ(r.Err, "");
}

#ifndef _WIN32
TEST(KavorctlExecTest, TheCardItselfIsSwitchedAndPropertiesFollow) {
  TSimBus bus;
  bus.AddDefaultCards();
  TSimPtyServer server(bus);
  const QString path = QString::fromStdString(server.Start());
  const TRunResult r = RunKavorctl({"exec", "--port", path, "--ifc", "2", "--module", "TMXB01@$1E",
                                    "--module", "THDX01@32", "--props", "!Schalten(2,$1E,3,1)",
                                    "!Fahrstufe(2,$20,1,5)", "?Fahrstufe(2,$20,1)"});
  server.Stop();
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(bus.CardAs<TSimMXB01>(0x1E).Output(3));
  EXPECT_EQ(r.Out.rfind("\n\n5\nClassName=TMXB01\r", 0), std::string::npos) << "CR must not leak";
  EXPECT_EQ(r.Out.rfind("\n\n5\nClassName=TMXB01\nVersion=\nModuladresse=30\n", 0), 0u) << r.Out;
  EXPECT_NE(r.Out.find("Ports=8\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("\n\nClassName=THDX01\n"), std::string::npos) << r.Out;
}
#endif

#ifndef _WIN32
// A time-out on one interface while exec opens the port of another is a failure like any other.
// How long an opening takes depends on the machine, so IFC0's time-out is swept across it: a
// fast line and a time-out of 0 ms up make it come due during IFC1's opening in one run or
// another. Every run must fail.
TEST(KavorctlExecTest, ATimeOutWhileAnotherPortOpensStillFails) {
  TSimBus cards;
  cards.AddDefaultCards();
  TSimPtyServer server(cards);
  const std::string path = server.Start();
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/zwei.ini";
  for (const int timeoutMs : {0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 8}) {
    // Nothing answers at $41.
    WriteFileAtomically(
        file, "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=115200\r\nTimeout=" +
                  std::to_string(timeoutMs) +
                  "\r\nModulCount=1\r\nIFCNr=0\r\nEnabled=-1\r\n\r\n"
                  "[Modul_0_0]\r\nAdresse=$41\r\nClassName=TGBM16\r\nIFCNr=0\r\n\r\n"
                  "[Settings_IFK1]\r\nClassName=TSer485BusIFC\r\nCom=" +
                  path +
                  "\r\nBaud=19200\r\nModulCount=1\r\nIFCNr=1\r\nEnabled=-1\r\n\r\n"
                  "[Modul_1_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=1\r\n\r\n");
    const TRunResult r = RunKavorctl({"exec", "--model", QString::fromStdString(file),
                                      "!FreeCmd(0,?41200000)", "!Schalten(1,$1E,3,1)"});
    SCOPED_TRACE("IFC0 time-out " + std::to_string(timeoutMs) + " ms");
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Out, "1\n\n");
    EXPECT_NE(r.Err.find("TimeOut, Modul antwortet nicht! \"?41200000\" "), std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("kavorctl exec: 1 error on the bus"), std::string::npos) << r.Err;
  }
  server.Stop();
  EXPECT_TRUE(cards.CardAs<TSimMXB01>(0x1E).Output(3));
}
#endif

TEST(KavorctlExecTest, FailedCommandsGiveExitOneAndUsageErrorsTwo) {
  TRunResult r = RunKavorctl({"exec", "--port", "SIM", "--module", "THDX01@$20", "?GBM(0,$20,0)",
                              "?Port(0,$55,1)", "?Fahrstufe(0,$20,1)"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Out, "\n\n0\n");
  EXPECT_NE(r.Err.find("ERROR THDX01.TextCommand: Paramters out of Range."), std::string::npos);
  EXPECT_NE(r.Err.find("$55"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("\nkavorctl exec: 2 of 3 commands failed\n"), std::string::npos) << r.Err;

  struct {
    QStringList Args;
    const char* Err;
  } cases[] = {
      {{"exec", "?Port(0,$1E,3)"}, "either --port"},
      {{"exec", "--port", "SIM", "--model", "x.ini", "?Port(0,$1E,3)"}, "either --port"},
      {{"exec", "--port", "SIM", "--module", "TMXB01"}, "CLASS@ADDR"},
      {{"exec", "--port", "SIM", "--module", "TMXB01@300", "?Port(0,1,1)"}, "CLASS@ADDR"},
      {{"exec", "--port", "SIM", "--module", "MXB01@$1E", "?Port(0,$1E,1)"}, "unknown class"},
      {{"exec", "--port", "SIM", "--module", "TMXB01@1", "--module", "TMXB02@1", "?Port(0,1,1)"},
       "already taken"},
      {{"exec", "--model", "/no/such/model.ini", "?Port(0,1,1)"}, "not found"},
      {{"exec", "--port", "/dev/kavor-none", "--module", "TMXB01@1", "?Port(0,1,1)"},
       "TCOMPORT : cannot open"},
  };
  for (const auto& c : cases) {
    r = RunKavorctl(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString();
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  }
}

TEST(KavorctlModelTest, ShowsTheTreeAndSavesACopy) {
  TRunResult r = RunKavorctl({"model", KAVOR_TEST_DATA_DIR "/example_model.ini"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "IFC(0) \t\t\t\t\n  TMXB01\t$31\t\tWeichen West\t\n");

  QTemporaryDir dir;
  const std::string copy = dir.path().toStdString() + "/Kopie.ini";
  r = RunKavorctl({"model", KAVOR_TEST_DATA_DIR "/example_model.ini", "--save-as",
                   QString::fromStdString(copy)});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  const std::string saved = dir.path().toStdString() + "/Kopie.INI";
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(saved));
  EXPECT_EQ(ini.ReadString("Modell", "Name", ""), "Kopie");
  EXPECT_EQ(ini.ReadString("Modell", "Caption", ""), "Modell1");
  EXPECT_EQ(ini.ReadString("Modell", "Description", ""), "Meine Modellbahn");
  EXPECT_EQ(ini.ReadString("Modul_0_0", "Bezeichnung", ""), "Weichen West");
  EXPECT_EQ(ini.ReadString("", "Autor", ""), "Quorvane 20141031");
  r = RunKavorctl({"model", QString::fromStdString(saved)});
  EXPECT_EQ(r.Out, "IFC(0) \t\t\t\t\n  TMXB01\t$31\t\tWeichen West\t\n");
}

TEST(KavorctlModelTest, ExecFromAModelDrivesTheSimulatedBus) {
  QTemporaryDir dir;
  const std::string file = dir.path().toStdString() + "/sim.ini";
  WriteFileAtomically(file,
                      "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=19200\r\n"
                      "ModulCount=2\r\nIFCNr=0\r\nEnabled=-1\r\n\r\n"
                      "[Modul_0_0]\r\nAdresse=$32\r\nClassName=TMXB02\r\nIFCNr=0\r\n\r\n"
                      "[Modul_0_1]\r\nAdresse=$7F\r\nClassName=TIFCPorts\r\nIFCNr=0\r\n\r\n"
                      "[Settings_IFK1]\r\nClassName=TSer485BusIFC\r\nCom=/dev/kavor-none\r\n"
                      "IFCNr=1\r\n\r\n");
  TRunResult r = RunKavorctl({"exec", "--model", QString::fromStdString(file), "!Toggeln(0,$7F,2)",
                              "?Port(0,$7F,2)", "!Schalten(0,$32,9,1)", "?Port(0,$32,9)"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "\n1\n\n1\n");
  // The interface that no command addresses is never opened.
  EXPECT_EQ(r.Err.find("kavor-none"), std::string::npos) << r.Err;
  r = RunKavorctl({"exec", "--model", QString::fromStdString(file), "?Port(1,$7F,2)"});
  EXPECT_EQ(r.ExitCode, 1);
  r = RunKavorctl({"model", QString::fromStdString(file)});
  EXPECT_EQ(r.Out,
            "IFC(0) \t\t\t\t\n  TMXB02\t$32\t\t\t\n  TIFCPorts\t$7F\t\t\t\nIFC(1) \t\t\t\t\n");
}

}  // namespace
