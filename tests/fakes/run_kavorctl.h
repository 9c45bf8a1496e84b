#pragma once
// Runs the kavorctl program as a user would and collects what it printed.

#include <QProcess>
#include <QStringList>
#include <string>

struct TRunResult {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

inline TRunResult RunKavorctl(const QStringList& arguments, int timeoutMs = 60000) {
  QProcess process;
  process.start(KAVORCTL_PATH, arguments);
  TRunResult result;
  if (!process.waitForFinished(timeoutMs)) {
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
