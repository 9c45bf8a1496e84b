#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <random>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "model/ini_file.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
  return bytes;
}

class ModelFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return Dir.path().toStdString() + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) {
    WriteFileAtomically(Path(name), text);
    return Path(name);
  }
  TBaseModul* Modul(int ifc, int index) {
    return dynamic_cast<TBaseModul*>(List.IFCByIndex(ifc)->Item(index));
  }
  QTemporaryDir Dir;
  TRecordingSink Sink;
  TModulsList List;
};

TEST_F(ModelFileTest, ExampleLoadsAndSavesBackApartFromTrailingBlanks) {
  const std::string example = ReadAll(KAVOR_TEST_DATA_DIR "/example_model.ini");
  const std::string copy = Write("Modell1.INI", example);
  List.Load_FromFile(copy);
  ASSERT_EQ(List.IFCCount(), 1);
  TRS485IFC* ifc = List.IFCByIndex(0);
  EXPECT_EQ(ifc->Port(), "COM1");
  EXPECT_EQ(ifc->Baud(), 19200u);
  EXPECT_TRUE(ifc->Enabled());
  EXPECT_FALSE(ifc->Active()) << "loading connects nothing";
  EXPECT_EQ(ifc->Bezeichnung, "") << "read but never written";
  ASSERT_EQ(ifc->Count(), 1);
  EXPECT_STREQ(Modul(0, 0)->ClassName(), "TMXB01");
  EXPECT_EQ(Modul(0, 0)->Adresse, 0x31);
  EXPECT_EQ(Modul(0, 0)->Bezeichnung, "Weichen West");
  EXPECT_TRUE(Modul(0, 0)->Polling);

  List.Save_ToFile(copy);
  std::string expected = example;
  expected.replace(expected.find("Model \r\n"), 8, "Model\r\n");
  expected.replace(expected.find("Modellbahn \r\n"), 13, "Modellbahn\r\n");
  EXPECT_EQ(ReadAll(copy), expected);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(ModelFileTest, SaveChangesTheExtensionLoadTakesTheNameAsItIs) {
  List.AddIFC("TRS485IFC");
  List.Save_ToFile(Path("layout.txt"));
  EXPECT_TRUE(FileExists(Path("layout.INI")));
  EXPECT_FALSE(FileExists(Path("layout.txt")));
  Write("other.txt", ReadAll(Path("layout.INI")));
  TModulsList loaded;
  loaded.Load_FromFile(Path("other.txt"));
  EXPECT_EQ(loaded.IFCCount(), 1);
}

TEST_F(ModelFileTest, SaveRenumbersInterfacesAndKeepsForeignSectionsInPlace) {
  Write("m.INI",
        "[]\r\nVersion=x\r\n\r\n[Fremd]\r\nA=1\r\n\r\n[Settings_IFK7]\r\nClassName=alt\r\n\r\n"
        "[modul_7_0]\r\nAdresse=$01\r\n\r\n[Ende]\r\nB=2\r\n\r\n");
  TRS485IFC* a = List.AddIFC("TRS485IFC")->IFC;
  TRS485IFC* b = List.AddIFC("TRS485IFC")->IFC;
  a->SetIfcNumber(2);
  b->SetIfcNumber(5);
  List.AddModul("TMXB01", a, 0x1E);
  List.AddModul("THDX01", b, 0x20);
  List.Save_ToFile(Path("m.INI"));
  EXPECT_EQ(a->IfcNumber(), 0);
  EXPECT_EQ(b->IfcNumber(), 1);
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(Path("m.INI")));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"", "Fremd", "Ende", "Settings_IFK0",
                                                      "Settings_IFK1", "Modul_0_0", "Modul_1_0"}));
  EXPECT_EQ(ini.ReadInteger("Settings_IFK1", "IFCNr", -1), 1);
  EXPECT_EQ(ini.ReadString("Modul_1_0", "ClassName", ""), "THDX01");
  EXPECT_EQ(ini.ReadString("Modul_1_0", "Adresse", ""), "$20");
  const std::string first = ReadAll(Path("m.INI"));
  List.Save_ToFile(Path("m.INI"));
  EXPECT_EQ(ReadAll(Path("m.INI")), first) << "saving twice gives the same file";
}

TEST_F(ModelFileTest, LoadRules) {
  const std::string file = Write(
      "rules.INI",
      "[Settings_IFK0]\r\nClassName= TRS485IFC \r\nIFCNr=0\r\nModulCount=3\r\nBaud=9600\r\n"
      "Hinweis=  Notiz mit Blanks  \r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$10\r\nClassName=tmxb2\r\n\r\n"
      "[Modul_0_2]\r\nAdresse=$12\r\nClassName=TMXB01\r\nIFCNr=0\r\nEnabled=0\r\nPolling=0\r\n\r\n"
      "[Modul_0_3]\r\nAdresse=$13\r\nClassName=TMXB01\r\n\r\n"
      "[Modul_0_1]\r\nAdresse=$11\r\nClassName=TMXB01\r\nIFCNr=4\r\n\r\n"
      "[settings_ifk1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n\r\n"
      "[Settings_IFK2]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=1\r\nEnabled=-1\r\n"
      "Timeout=500\r\nPollPriority=0\r\n\r\n"
      "[Settings_IFK3]\r\nClassName=Fremd\r\nIFCNr=3\r\n\r\n"
      "[Settings_IFK4]\r\nClassName=TRS485IFC\r\n\r\n");
  List.Load_FromFile(file);
  // "settings_ifk1" is not in the exact spelling; IFK3 has a foreign class; IFK4 has no number.
  ASSERT_EQ(List.IFCCount(), 2);
  TRS485IFC* first = List.IFCByIndex(0);
  TRS485IFC* second = List.IFCByIndex(1);
  EXPECT_FALSE(first->Enabled()) << "a missing Enabled means not available";
  EXPECT_EQ(first->Hinweis, "Notiz mit Blanks");
  EXPECT_EQ(first->Timeout(), 200u);
  EXPECT_EQ(first->PollPriority(), 10u);
  // Sections 0 and 2 (1 belongs to another interface, 3 is beyond the count).
  ASSERT_EQ(first->Count(), 2);
  EXPECT_STREQ(Modul(0, 0)->ClassName(), "TMXB02");
  EXPECT_TRUE(Modul(0, 0)->Enabled);
  EXPECT_TRUE(Modul(0, 0)->Polling);
  EXPECT_EQ(Modul(0, 1)->Adresse, 0x12);
  EXPECT_FALSE(Modul(0, 1)->Enabled);
  EXPECT_FALSE(Modul(0, 1)->Polling);
  // The second interface has the same number and takes up the same first section.
  EXPECT_EQ(second->IfcNumber(), 0);
  EXPECT_TRUE(second->Enabled());
  EXPECT_EQ(second->Timeout(), 500u);
  EXPECT_EQ(second->PollPriority(), 1u);
  ASSERT_EQ(second->Count(), 1);
  EXPECT_EQ(Modul(1, 0)->Adresse, 0x10);

  List.Save_ToFile(file);
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(file));
  EXPECT_EQ(ini.ReadString("Modul_0_0", "ClassName", ""), "TMXB02");
}

TEST_F(ModelFileTest, EmptyMissingAndHugeCountFiles) {
  List.AddIFC("TRS485IFC");
  List.Load_FromFile(Path("missing.INI"));
  EXPECT_EQ(List.Count(), 0) << "the old model goes also when the file is missing";
  List.Load_FromFile(Write("empty.INI", ""));
  EXPECT_EQ(List.Count(), 0);
  List.Load_FromFile(Write("none.INI", "[Modell]\r\nName=x\r\n"));
  EXPECT_EQ(List.Count(), 0);
  List.Load_FromFile(Write("huge.INI",
                           "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n"
                           "ModulCount=9223372036854775807\r\n\r\n[Modul_0_5]\r\nAdresse=5\r\n"
                           "ClassName=TMXB01\r\n"));
  ASSERT_EQ(List.IFCCount(), 1);
  EXPECT_EQ(List.IFCByIndex(0)->Count(), 1);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(ModelFileTest, RangeErrorEndsTheLoadWithOneReportNamingFileSectionAndKey) {
  struct {
    const char* Text;
    const char* Named;
    int Interfaces;
    int Modules;
  } cases[] = {
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n\r\n"
       "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\nBaud=-9600\r\n",
       "[Settings_IFK1] Baud=-9600", 2, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nTimeout=-1\r\n",
       "[Settings_IFK0] Timeout=-1", 1, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nPollPriority=-5\r\n",
       "[Settings_IFK0] PollPriority=-5", 1, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
       "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\n\r\n"
       "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\n\r\n"
       "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n",
       "[Modul_0_1] Adresse=300", 1, 1},
  };
  for (const auto& c : cases) {
    Sink.Clear();
    const std::string file = Write("range.INI", c.Text);
    List.Load_FromFile(file);
    ASSERT_EQ(Sink.Lines().size(), 1u) << c.Named;
    const std::string line = Sink.Lines()[0];
    EXPECT_NE(line.find(file), std::string::npos) << line;
    EXPECT_NE(line.find(c.Named), std::string::npos) << line;
    EXPECT_EQ(List.IFCCount(), c.Interfaces) << c.Named;
    int modules = 0;
    for (int i = 0; i < List.IFCCount(); ++i)
      modules += List.IFCByIndex(i)->Count();
    EXPECT_EQ(modules, c.Modules) << c.Named;
  }
}

TEST_F(ModelFileTest, FailedSaveIsReportedNotRaised) {
  QDir(Dir.path()).mkdir("blocked.INI");
  List.AddIFC("TRS485IFC");
  EXPECT_NO_THROW(List.Save_ToFile(Path("blocked.INI")));
  ASSERT_EQ(Sink.Lines().size(), 1u);
  EXPECT_EQ(Sink.Lines()[0].rfind("TModulsList.Save_ToFile: ", 0), 0u);
}

TEST_F(ModelFileTest, ASaveKilledPartWayLeavesTheOldOrTheNewFile) {
  // A model large enough that one save takes a while.
  for (int i = 0; i < 16; ++i) {
    TRS485IFC* ifc = List.AddIFC("TRS485IFC")->IFC;
    for (int a = 0; a < 255; ++a)
      List.AddModul("TMXB02", ifc, a)->Modul->Bezeichnung = "alt";
  }
  const std::string file = Path("big.INI");
  List.Save_ToFile(file);
  const std::string oldBytes = ReadAll(file);
  for (int i = 0; i < 16; ++i)
    for (int a = 0; a < 255; ++a)
      Modul(i, a)->Bezeichnung = "neu";
  const auto saveStart = std::chrono::steady_clock::now();
  List.Save_ToFile(Path("reference.INI"));
  // Kills fall anywhere within about three saves, however fast this machine and build are.
  const auto saveUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - saveStart)
                          .count();
  std::string newBytes = ReadAll(Path("reference.INI"));

  std::mt19937 random(42);
  int sawOld = 0, sawNew = 0;
  for (int round = 0; round < 16; ++round) {
    WriteFileAtomically(file, oldBytes);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;)
        List.Save_ToFile(file);
    }
    usleep(std::uniform_int_distribution<useconds_t>(
        0, static_cast<useconds_t>(3 * saveUs + 1000))(random));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = ReadAll(file);
    EXPECT_TRUE(now == oldBytes || now == newBytes) << "round " << round << ": " << now.size();
    (now == oldBytes ? sawOld : sawNew)++;
  }
  EXPECT_GT(sawNew, 0) << "the kills never came after a finished save";
}

}  // namespace
