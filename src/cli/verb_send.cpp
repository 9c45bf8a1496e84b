#include <QCommandLineParser>
#include <algorithm>
#include <chrono>
#include <vector>

#include "bus/bus_interface.h"
#include "bus/bus_master.h"
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

namespace {

// The lines joined for a message, each in quotes.
std::string Quoted(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += (text.empty() ? "'" : " '") + line + "'";
  return text;
}

}  // namespace

int RunSend(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Connects one interface, sends each LINE exactly as typed and prints\n"
      "LINE --> answer, in order. Exit status 1 when a command timed out or the port was\n"
      "lost (the lines not sent are named on standard error).");
  AddPortOptions(parser, true);
  parser.addPositionalArgument("LINE", "Command lines, e.g. ?1E010000.", "LINE...");
  if (auto stop = ParseVerb(parser, arguments)) return *stop;
  TPortOptions options;
  if (auto error = ReadPortOptions(parser, options)) return UsageError(parser, *error);
  if (options.Port.empty()) return UsageError(parser, "--port is required");
  std::vector<std::string> lines;
  for (const QString& line : parser.positionalArguments())
    lines.push_back(ToStd(line));
  if (lines.empty()) return UsageError(parser, "no LINE given");

  // Every command ends after at most its time-out plus its line time; the margin covers a slow
  // machine. Lines that need more than that on the bus alone cannot be waited for.
  const int64_t limitMs = static_cast<int64_t>(lines.size()) * (options.Timeout + 100) + 5000;
  int64_t busUs = 0;
  std::size_t longest = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) return UsageError(parser, "LINE " + std::to_string(i + 1) + " is empty");
    // Pre-send wait, line time, answer time-out, pause.
    busUs += 1000 + TSer485BusMaster::TransmitWaitUs(lines[i].size(), options.Baud) +
             int64_t{options.Timeout} * 1000 + 2000;
    if (lines[i].size() > lines[longest].size()) longest = i;
  }
  if (busUs > limitMs * 1000) {
    const int64_t lineMs =
        TSer485BusMaster::TransmitWaitUs(lines[longest].size(), options.Baud) / 1000;
    return UsageError(parser, "LINE " + std::to_string(longest + 1) +
                                  " is too long to be sent within the time limit: its " +
                                  std::to_string(lines[longest].size()) + " characters take " +
                                  std::to_string(lineMs) + " ms at " +
                                  std::to_string(options.Baud) + " baud, and all lines together " +
                                  "may take " + std::to_string(limitMs) +
                                  " ms (lines x (timeout + 100 ms) + 5 s)");
  }

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
  std::vector<TResult> results(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TResult& result = results[i];
    ifc.AddCommand(lines[i], [&result](const std::string&, const std::string& a) {
      result.Done = true;
      result.Answer = a;
    });
  }
  auto allDone = [&] {
    return std::all_of(results.begin(), results.end(), [](const TResult& r) { return r.Done; });
  };
  // A lost port ends the wait at once: nothing more will be sent.
  MainThread().WaitUntil([&] { return allDone() || !ifc.Active(); },
                         std::chrono::milliseconds(limitMs));
  const bool lost = !allDone() && !ifc.Active();
  ifc.SetActive(false);

  std::vector<std::string> unanswered;
  std::vector<std::string> notDone;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TResult& result = results[i];
    if (!result.Done) {
      notDone.push_back(lines[i]);
      continue;
    }
    if (result.Answer.find('\r') == std::string::npos) unanswered.push_back(lines[i]);
    std::string answer;
    for (char c : result.Answer)
      if (c != '\r' && c != '\n') answer += c;
    PrintLine(lines[i] + " --> " + answer);
  }
  MainThread().PumpPending();  // the bus master's reports before the summary
  if (!notDone.empty()) {
    if (lost)
      PrintError("kavorctl send: the connection to " + options.Port +
                 " was lost; not sent: " + Quoted(notDone));
    else
      PrintError("kavorctl send: no answer within the time limit of " + std::to_string(limitMs) +
                 " ms to: " + Quoted(notDone));
  }
  if (!unanswered.empty())
    PrintError("kavorctl send: no answer to " + std::to_string(unanswered.size()) + " of " +
               std::to_string(lines.size()) + " lines: " + Quoted(unanswered));
  return notDone.empty() && unanswered.empty() ? ecOk : ecFailed;
}
