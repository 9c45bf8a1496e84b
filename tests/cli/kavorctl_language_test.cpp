// kavorctl in German and in English: the messages follow the language chosen by the option, the
// environment or the system; standard output, which scripts read, never does.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <regex>

#include "fakes/run_kavorctl.h"

namespace {

// Words and letters that only a German text holds.
bool LooksGerman(const std::string& text) {
  static const std::regex german(
      "ä|ö|ü|ß|Ä|Ö|Ü|\\b(Modul|antwortet|nicht|Karte|Karten|ohne|Antwort|gesichert|Datei|ist|"
      "und|der|die|das)\\b");
  return std::regex_search(text, german);
}

struct TEnvChange {
  const char* Name;
  const char* Value;  // nullptr: removed
};

TRunResult RunWith(const QStringList& arguments, const std::vector<TEnvChange>& changes,
                   const QString& configHome) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  // The choice kept by the window lives here; the developer's own must not count.
  environment.insert("XDG_CONFIG_HOME", configHome);
  for (const TEnvChange& change : changes) {
    if (change.Value)
      environment.insert(change.Name, change.Value);
    else
      environment.remove(change.Name);
  }
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(KAVORCTL_PATH, arguments);
  TRunResult result;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    result.Err = "kavorctl did not finish";
    return result;
  }
  result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.Out = process.readAllStandardOutput().toStdString();
  result.Err = process.readAllStandardError().toStdString();
  return result;
}

TEST(KavorctlLanguageTest, MessagesFollowTheChoiceAndStandardOutputStaysTheSame) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.path() + "/Karten.ini";
  // One card answers, one is missing: a result line on standard output and a time-out message
  // on standard error.
  const QStringList backup = {"config",    "backup",     "--port",   "SIM",
                              "--timeout", "50",         "--module", "TMXB01@$1E",
                              "--module",  "TMXB02@$44", "--file",   file};
  const std::string expectedOut =
      "IFC0 $1E TMXB01: gesichert\n"
      "IFC0 $44 TMXB02: ohne Antwort\n"
      "1 Karte gesichert, 1 ohne Antwort\n";

  struct TCase {
    const char* Name;
    QStringList Extra;
    std::vector<TEnvChange> Env;
    bool English;
  };
  const std::vector<TCase> cases = {
      {"environment de", {}, {{"KAVORCONFIG_LANG", "de"}}, false},
      {"option en", {"--lang", "en"}, {{"KAVORCONFIG_LANG", "de"}}, true},
      {"environment en", {}, {{"KAVORCONFIG_LANG", "en_GB.UTF-8"}}, true},
      {"option de beats environment en", {"--lang=de"}, {{"KAVORCONFIG_LANG", "en"}}, false},
      {"system English",
       {},
       {{"KAVORCONFIG_LANG", nullptr}, {"LANGUAGE", nullptr}, {"LC_ALL", "en_US.UTF-8"}},
       true},
      {"system French",
       {},
       {{"KAVORCONFIG_LANG", nullptr}, {"LANGUAGE", nullptr}, {"LC_ALL", "fr_FR.UTF-8"}},
       false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QFile::remove(file);
    const TRunResult r = RunWith(backup + c.Extra, c.Env, dir.path());
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Out, expectedOut);
    if (c.English) {
      EXPECT_NE(r.Err.find("TimeOut, module does not answer! \"?44010000\""), std::string::npos)
          << r.Err;
      EXPECT_FALSE(LooksGerman(r.Err)) << r.Err;
    } else {
      EXPECT_NE(r.Err.find("TimeOut, Modul antwortet nicht! \"?44010000\""), std::string::npos)
          << r.Err;
    }
  }

  // The help is English in either language; an unusable --lang is a usage error.
  for (const char* language : {"de", "en"}) {
    const TRunResult help = RunWith({"--help", "--lang", language}, {}, dir.path());
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_EQ(help.Out.rfind("Usage: kavorctl <verb> [options]\n", 0), 0u) << help.Out;
    EXPECT_NE(help.Out.find("--lang de|en"), std::string::npos);
    EXPECT_FALSE(LooksGerman(help.Out)) << help.Out;
  }
  for (const QStringList& bad : {QStringList{"ports", "--lang", "fr"}, QStringList{"--lang"}}) {
    const TRunResult r = RunWith(bad, {}, dir.path());
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_NE(r.Err.find("--lang expects de or en"), std::string::npos) << r.Err;
  }
}

}  // namespace
