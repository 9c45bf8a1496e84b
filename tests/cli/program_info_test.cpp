// What both programs say about themselves: the version (from the build's project version) and
// their options, which the manual pages must describe.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <set>
#include <string>
#include <vector>

#include "fakes/run_kavorctl.h"

namespace {

struct TProgram {
  const char* Name;
  QString Path;
};

std::vector<TProgram> Programs() {
  std::vector<TProgram> programs = {{"kavorctl", KAVORCTL_PATH}};
#ifdef KAVORCONFIG_PATH
  programs.push_back({"kavorconfig", KAVORCONFIG_PATH});
#endif
  return programs;
}

// Runs the program with no window system at all: no display and no platform plugin chosen.
TRunResult RunWithoutDisplay(const QString& path, const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    env.remove(name);
  process.setProcessEnvironment(env);
  process.start(path, arguments);
  TRunResult result;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return result;
  }
  result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.Out = process.readAllStandardOutput().toStdString();
  result.Err = process.readAllStandardError().toStdString();
  return result;
}

std::string ManualPage(const std::string& program) {
  QFile file(QString(KAVOR_SOURCE_DIR) + "/packaging/man/" + QString::fromStdString(program) +
             ".1.in");
  if (!file.open(QIODevice::ReadOnly)) return std::string();
  // Manual pages write a dash as "\-".
  return file.readAll().replace("\\-", "-").toStdString();
}

std::set<std::string> LongOptions(const std::string& help) {
  std::set<std::string> options;
  static const QRegularExpression option("(?:^|[ ,])(--[a-z][a-z-]*)");
  auto it = option.globalMatch(QString::fromStdString(help));
  while (it.hasNext())
    options.insert(it.next().captured(1).toStdString());
  options.erase("--help-all");  // Qt's own, in every parser
  return options;
}

TEST(ProgramInfoTest, VersionIsTheProjectVersionAndNamesTheBuildsQt) {
  for (const TProgram& p : Programs()) {
    SCOPED_TRACE(p.Name);
    const TRunResult r = RunWithoutDisplay(p.Path, {"--version"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Err, "");
    const std::string expected =
        std::string(p.Name) + " " + KAVOR_EXPECTED_VERSION + " (Qt " + QT_VERSION_STR;
    EXPECT_EQ(r.Out.substr(0, expected.size()), expected) << r.Out;
    EXPECT_EQ(r.Out.find('\n'), r.Out.size() - 1) << "one line";
    EXPECT_EQ(r.Out.substr(r.Out.size() - 2), ")\n");
  }
}

TEST(ProgramInfoTest, ManualPagesDescribeEveryVerbAndOption) {
  for (const TProgram& p : Programs()) {
    SCOPED_TRACE(p.Name);
    const std::string page = ManualPage(p.Name);
    ASSERT_FALSE(page.empty());
    const TRunResult help = RunWithoutDisplay(p.Path, {"--help"});
    ASSERT_EQ(help.ExitCode, 0);
    std::set<std::string> options = LongOptions(help.Out);
    EXPECT_TRUE(options.count("--version"));
    // kavorctl's verbs: each has its own entry in the page and its own options.
    const QRegularExpression verbLine("^  ([a-z]+)  ", QRegularExpression::MultilineOption);
    auto verbs = verbLine.globalMatch(QString::fromStdString(help.Out));
    while (verbs.hasNext()) {
      const QString verb = verbs.next().captured(1);
      SCOPED_TRACE(verb.toStdString());
      const QRegularExpression entry("^\\.B[IR]? \"?" + verb + "\\b",
                                     QRegularExpression::MultilineOption);
      EXPECT_TRUE(entry.match(QString::fromStdString(page)).hasMatch());
      const TRunResult verbHelp = RunWithoutDisplay(p.Path, {verb, "--help"});
      EXPECT_EQ(verbHelp.ExitCode, 0);
      for (const std::string& o : LongOptions(verbHelp.Out))
        options.insert(o);
    }
    for (const std::string& option : options)
      EXPECT_NE(page.find(option), std::string::npos) << option << " is not in the manual page";
  }
}

}  // namespace
