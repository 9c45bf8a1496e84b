// Where the default model lives: beside the program where that can be written, else in the user's
// data folder, and never in the program folder of an installed copy.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

#include "model/model_project.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

class DefaultModelFolderTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& rel) const { return Dir.path().toStdString() + "/" + rel; }
  void MakeFile(const std::string& rel) { WriteFileAtomically(Path(rel), "x"); }
  QTemporaryDir Dir;
};

TEST_F(DefaultModelFolderTest, ChoosesBesideTheProgramOnlyForAWritableCopyThatIsNotInstalled) {
  struct TCase {
    const char* Name;
    std::function<void()> Prepare;  // builds the folders under <temp>/<Name>
    bool BesideProgram;
  };
  const std::string desktop = "/share/applications/kavorconfig.desktop";
  const std::vector<TCase> cases = {
      {"fresh", [&] { ForceDirectories(Path("fresh/bin")); }, true},
      {"model_there",
       [&] {
         ForceDirectories(Path("model_there/bin/Modell1"));
         MakeFile("model_there/bin/Modell1/Modell1.INI");
       },
       true},
      // A file in the way of the folder cannot hold the model.
      {"file_in_the_way",
       [&] {
         ForceDirectories(Path("file_in_the_way/bin"));
         MakeFile("file_in_the_way/bin/Modell1");
       },
       false},
      // An installed copy (as root its folder can be written) keeps user data out of bin/.
      {"installed",
       [&] {
         ForceDirectories(Path("installed/bin"));
         ForceDirectories(Path("installed/share/applications"));
         MakeFile("installed" + desktop);
       },
       false},
      {"installed_with_model_there",
       [&] {
         ForceDirectories(Path("installed_with_model_there/bin/Modell1"));
         ForceDirectories(Path("installed_with_model_there/share/applications"));
         MakeFile("installed_with_model_there" + desktop);
       },
       false},
  };
  const std::string data = Path("data/KavorConfig");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Prepare();
    const std::string program = Path(std::string(c.Name) + "/bin");
    const std::string expected =
        IncludeTrailingBackslash(c.BesideProgram ? program : data) + "Modell1";
    EXPECT_EQ(DefaultModellDirFor(program, data), expected);
    EXPECT_EQ(DefaultModellDirFor(program, IncludeTrailingBackslash(data)), expected);
    EXPECT_EQ(IsInstalledProgramDir(program), std::string(c.Name).rfind("installed", 0) == 0);
  }
}

TEST_F(DefaultModelFolderTest, ReadOnlyProgramFolderSendsTheModelToTheDataFolder) {
  const std::string program = Path("ro/bin");
  ForceDirectories(program);
  ForceDirectories(program + "/Modell1");
  QFile::setPermissions(QString::fromStdString(program + "/Modell1"),
                        QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  QFile::setPermissions(QString::fromStdString(program),
                        QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const bool enforced = !QFileInfo(QString::fromStdString(program)).isWritable();
  const std::string chosen = DefaultModellDirFor(program, Path("data"));
  QFile::setPermissions(QString::fromStdString(program),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  QFile::setPermissions(QString::fromStdString(program + "/Modell1"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (!enforced) GTEST_SKIP() << "running as root: every folder can be written";
  EXPECT_EQ(chosen, IncludeTrailingBackslash(Path("data")) + "Modell1");
}

TEST_F(DefaultModelFolderTest, RunningFromTheBuildFolderKeepsTheModelBesideTheProgram) {
  EXPECT_FALSE(IsInstalledProgramDir(ProgramDir()));
  EXPECT_EQ(DefaultModellDir(), IncludeTrailingBackslash(ProgramDir()) + "Modell1");
}

}  // namespace
