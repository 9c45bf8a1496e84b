#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"

int RunExec(const QStringList&) {
  std::fputs("kavorctl exec: not built yet\n", stderr);
  return ecUsage;
}

int RunModel(const QStringList&) {
  std::fputs("kavorctl model: not built yet\n", stderr);
  return ecUsage;
}
