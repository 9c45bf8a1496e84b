#include <QCommandLineParser>
#include <chrono>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "cli/cli_common.h"
#include "cli/verbs.h"
#include "support/main_thread.h"

int RunPorts(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Lists the serial ports that can be opened now, then SIM.");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  for (const TPortInfo& port : EnumComPortInfos())
    PrintLine(port.Name + "\t" + port.Description);
  return ecOk;
}

int RunSend(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Connects one interface, sends each LINE exactly as typed and prints\n"
      "LINE --> answer, in order. Exit status 1 when a command timed out.");
  AddPortOptions(parser, true);
  parser.addPositionalArgument("LINE", "Command lines, e.g. ?1E010000.", "LINE...");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  TPortOptions options;
  if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
  if (options.Port.empty()) return UsageError(parser, "--port is required");
  const QStringList lines = parser.positionalArguments();
  if (lines.isEmpty()) return UsageError(parser, "no LINE given");

  TRS485IFC ifc;
  ifc.SetPort(options.Port);
  ifc.SetBaud(options.Baud);
  ifc.SetTimeout(options.Timeout);
  ifc.SetActive(true);
  if (!ifc.Active()) return ecUsage;  // the reason is already on standard error

  struct TResult {
    bool Done = false;
    std::string Answer;
  };
  std::vector<TResult> results(static_cast<std::size_t>(lines.size()));
  for (int i = 0; i < lines.size(); ++i) {
    TResult& result = results[static_cast<std::size_t>(i)];
    if (!ifc.AddCommand(ToStd(lines.at(i)), [&result](const std::string&, const std::string& a) {
          result.Done = true;
          result.Answer = a;
        }))
      result.Done = true;  // refused (an empty line): nothing was sent
  }
  // Every command ends after at most its time-out plus its line time; the margin covers a slow
  // machine.
  const auto limit = std::chrono::milliseconds(
      static_cast<int64_t>(lines.size()) * (options.Timeout + 100) + 5000);
  MainThread().WaitUntil(
      [&] {
        for (const TResult& r : results)
          if (!r.Done) return false;
        return true;
      },
      limit);
  ifc.SetActive(false);

  bool allAnswered = true;
  for (int i = 0; i < lines.size(); ++i) {
    const TResult& result = results[static_cast<std::size_t>(i)];
    if (result.Answer.find('\r') == std::string::npos) allAnswered = false;
    std::string answer;
    for (char c : result.Answer)
      if (c != '\r' && c != '\n') answer += c;
    PrintLine(ToStd(lines.at(i)) + " --> " + answer);
  }
  return allAnswered ? ecOk : ecFailed;
}
