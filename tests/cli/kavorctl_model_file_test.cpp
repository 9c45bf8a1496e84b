// kavorctl and the model file: a partly loaded file is never written over, file names are taken
// as a user at a command line means them.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "model/ini_file.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

const char* const kBroken =
    "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
    "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
    "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
    "[Settings_IFK1]\r\nClassName=TSer485BusIFC\r\nIFCNr=1\r\n\r\n";

struct TRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// Runs kavorctl in `folder`, as a user in that folder would.
TRun RunIn(const QString& folder, const QStringList& arguments) {
  QProcess process;
  process.setWorkingDirectory(folder);
  process.start(KAVORCTL_PATH, arguments);
  TRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = process.readAllStandardOutput().toStdString();
  run.Err = process.readAllStandardError().toStdString();
  return run;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

class KavorctlModelFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return Dir.path().toStdString() + "/" + name; }
  QTemporaryDir Dir;
};

TEST_F(KavorctlModelFileTest, APartlyLoadedFileIsNeverSavedOver) {
  const std::string file = Path("teil.ini");
  WriteFileAtomically(file, kBroken);
  for (const QString& target :
       {QString("teil.ini"), QString("teil"), QString::fromStdString(file)}) {
    const TRun r = RunIn(Dir.path(), {"model", "teil.ini", "--save-as", target});
    EXPECT_EQ(r.ExitCode, 1) << target.toStdString();
    // The notice names the place and says what happened, the refusal says why.
    EXPECT_NE(r.Err.find("Das Modell wurde nur teilweise geladen: in teil.ini, Abschnitt "
                         "[Modul_0_1], Adresse=300"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("was only partly loaded; saving over it would erase what was not "
                         "loaded. Nothing saved."),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(r.Out, "IFC(0) \t\t\t\t\n  TMXB01\t$1E\t\t\t\n") << "the tree is printed as ever";
  }
  EXPECT_EQ(ReadAll(file), kBroken);
  EXPECT_FALSE(FileExists(Path("teil.INI")));

  // Another file takes what was loaded.
  const TRun r = RunIn(Dir.path(), {"model", "teil.ini", "--save-as", "kopie"});
  EXPECT_NE(r.Err.find("nur teilweise geladen"), std::string::npos);
  TIniFile copy;
  ASSERT_TRUE(copy.LoadFromFile(Path("kopie.INI")));
  EXPECT_EQ(copy.ReadString("Modul_0_0", "Adresse", ""), "$1E");
  EXPECT_EQ(ReadAll(file), kBroken);
}

// The cards after the faulty line were neither backed up nor compared nor restored: the run
// must not end as if every card of the model had been.
TEST_F(KavorctlModelFileTest, ConfigOnAPartlyLoadedModelFails) {
  WriteFileAtomically(
      Path("teil.ini"),
      "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=SIM\r\nBaud=19200\r\nIFCNr=0\r\n"
      "ModulCount=3\r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
      "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n"
      "[Modul_0_2]\r\nAdresse=$32\r\nClassName=TMXB02\r\nIFCNr=0\r\n\r\n");
  struct {
    const char* Action;
    std::string Out;
  } cases[] = {
      {"backup", "IFC0 $1E TMXB01: gesichert\n1 Karte gesichert, 0 ohne Antwort\n"},
      {"compare", "IFC0 $1E TMXB01: gleich\n1 Karte gleich, 0 verschieden, 0 ohne Antwort\n"},
      {"restore",
       "IFC0 $1E TMXB01: wiederhergestellt: schon gleich, nichts geschrieben\n1 Karte "
       "wiederhergestellt, 0 fehlgeschlagen\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Action);
    const TRun r = RunIn(Dir.path(), {"config", c.Action, "--model", "teil.ini"});
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Out, c.Out) << "standard output as ever";
    EXPECT_NE(r.Err.find("Das Modell wurde nur teilweise geladen: in teil.ini, Abschnitt "
                         "[Modul_0_1], Adresse=300"),
              std::string::npos)
        << r.Err;
  }
  TIniFile backup;
  ASSERT_TRUE(backup.LoadFromFile(Path("teil.Karten.ini")));
  EXPECT_EQ(backup.ReadString("IFC0_$1E", "Klasse", ""), "TMXB01");
}

TEST_F(KavorctlModelFileTest, SaveAsNames) {
  WriteFileAtomically(
      Path("anlage.ini"),
      "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=1\r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$31\r\nClassName=TGBM16\r\nIFCNr=0\r\n\r\n");
  QDir(Dir.path()).mkdir("arbeit");
  const QString work = Dir.path() + "/arbeit";

  // A bare name is a file in the current folder.
  TRun r = RunIn(work, {"model", "../anlage.ini", "--save-as", "kopie"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(FileExists(Path("arbeit/kopie.INI")));
  EXPECT_EQ(QDir(work).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{})
      << "no stray folder";
  EXPECT_EQ(r.Out, "IFC(0) \t\t\t\t\n  TRS485Dummy\t$31\t\t\t\n")
      << "the printed tree keeps its class column";

  // Saving over the lower-case file it came from writes that file, not "anlage.INI" beside it,
  // and keeps the card's type.
  r = RunIn(Dir.path(), {"model", "anlage.ini", "--save-as", "anlage.ini"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_FALSE(FileExists(Path("anlage.INI")));
  TIniFile saved;
  ASSERT_TRUE(saved.LoadFromFile(Path("anlage.ini")));
  EXPECT_EQ(saved.ReadString("Modul_0_0", "ClassName", ""), "TGBM16");
  EXPECT_EQ(saved.ReadString("Modell", "OriginPath", ""), Dir.path().toStdString());

  // An empty name is refused and writes nothing.
  for (const QString& empty : {QString(""), QString(".ini"), QString("   ")}) {
    r = RunIn(work, {"model", "../anlage.ini", "--save-as", empty});
    EXPECT_EQ(r.ExitCode, 2) << empty.toStdString();
    EXPECT_EQ(r.Err.rfind("kavorctl: --save-as needs a file name\n", 0), 0u) << r.Err;
  }
  EXPECT_EQ(QDir(work).entryList(QDir::Files | QDir::Hidden), QStringList{"kopie.INI"});
}

TEST_F(KavorctlModelFileTest, ScanSavesIntoTheFileAsNamedAndNeverOverAPartlyLoadedOne) {
  WriteFileAtomically(Path("teil.ini"), kBroken);
  TRun r = RunIn(Dir.path(), {"scan", "--port", "SIM", "--save", "teil"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("was only partly loaded; saving the cards into it would erase what was "
                       "not loaded. Nothing scanned."),
            std::string::npos)
      << r.Err;
  EXPECT_TRUE(r.Out.empty()) << r.Out;
  EXPECT_EQ(ReadAll(Path("teil.ini")), kBroken);

  // A bare name of a lower-case file in the current folder: the cards go into it.
  WriteFileAtomically(Path("anlage.ini"), "[Fremd]\r\nA=1\r\n\r\n");
  r = RunIn(Dir.path(),
            {"scan", "--port", "SIM", "--baud", "19200", "--timeout", "20", "--save", "anlage"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_FALSE(FileExists(Path("anlage.INI")));
  TIniFile saved;
  ASSERT_TRUE(saved.LoadFromFile(Path("anlage.ini")));
  EXPECT_EQ(saved.ReadString("Fremd", "A", ""), "1");
  EXPECT_EQ(saved.ReadInteger("Settings_IFK0", "ModulCount", 0), 5);
}

}  // namespace
