#include <cstdio>

#include "cli/cli_common.h"
#include "cli/verbs.h"

int RunScan(const QStringList&) {
  std::fputs("kavorctl scan: not built yet\n", stderr);
  return ecUsage;
}

int RunAddress(const QStringList&) {
  std::fputs("kavorctl address: not built yet\n", stderr);
  return ecUsage;
}
