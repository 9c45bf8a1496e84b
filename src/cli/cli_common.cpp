#include "cli/cli_common.h"

#include <QCoreApplication>
#include <QDateTime>
#include <atomic>
#include <cstdio>

#include "bus/serial_factory.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "support/conversions.h"
#include "support/message_sink.h"

namespace {

std::atomic<std::size_t> GReports{0};

void WriteStamped(const std::string& text) {
  const std::string stamp =
      QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
  // A CR inside a report (the port error's second line) would overwrite the line on a terminal.
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))
      shown += "\n  ";
    else
      shown += text[i];
  }
  std::fprintf(stderr, "%s| %s\n", stamp.c_str(), shown.c_str());
  std::fflush(stderr);
}

}  // namespace

void InstallConsoleReporting() {
  SetMessageHandler([](const std::string& text, uint8_t) {
    ++GReports;
    WriteStamped(text);
  });
  SetNoticeHandler([](const std::string& text) { WriteStamped(text); });
}

std::size_t ReportCount() {
  return GReports.load();
}

void RegisterSimulatedPort() {
  RegisterSerialLine("SIM", "Simulierter Bus (5 Karten)",
                     [] { return MakeSimSerialLine(DefaultSimBus()); });
}

namespace {
QString GVerbProgram;
}

std::string VerbHelp(const QCommandLineParser& parser) {
  QString help = parser.helpText();
  const QStringList all = QCoreApplication::arguments();
  if (!all.isEmpty() && !GVerbProgram.isEmpty()) help.replace(all.first(), GVerbProgram);
  return ToStd(help);
}

int UsageError(const QCommandLineParser& parser, const std::string& message) {
  std::fprintf(stderr, "kavorctl: %s\n\n%s", message.c_str(), VerbHelp(parser).c_str());
  return ecUsage;
}

std::optional<int> ParseVerb(QCommandLineParser& parser, const QStringList& arguments) {
  GVerbProgram = arguments.isEmpty() ? QString("kavorctl") : arguments.first();
  parser.addHelpOption();
  if (!parser.parse(arguments)) return UsageError(parser, ToStd(parser.errorText()));
  if (parser.isSet("help")) {
    std::fputs(VerbHelp(parser).c_str(), stdout);
    return ecOk;
  }
  return std::nullopt;
}

void AddPortOptions(QCommandLineParser& parser, bool portRequired) {
  parser.addOption({"port",
                    std::string(portRequired ? "Serial port (required): " : "Serial port: ")
                        .append("COM3, /dev/ttyUSB0, a device path, or SIM.")
                        .c_str(),
                    "NAME"});
  parser.addOption({"baud", "Baud rate: 9600 or 19200 (default 9600).", "B", "9600"});
  parser.addOption({"timeout", "Answer time-out in ms (default 200).", "MS", "200"});
}

std::optional<std::string> ReadPortOptions(const QCommandLineParser& parser, TPortOptions& out) {
  out.Port = ToStd(parser.value("port"));
  const int32_t baud = TextToInt(ToStd(parser.value("baud")), -1);
  if (baud != 9600 && baud != 19200) return "--baud must be 9600 or 19200";
  out.Baud = static_cast<uint32_t>(baud);
  const int32_t timeout = TextToInt(ToStd(parser.value("timeout")), -1);
  if (timeout < 1) return "--timeout must be a positive number of milliseconds";
  out.Timeout = static_cast<uint32_t>(timeout);
  return std::nullopt;
}

bool LoadModelFileTellingStops(TModulsList& list, const std::string& file, TModelHeader& header) {
  if (LoadModelFile(list, file, header)) return true;
  if (list.PartialLoad()) ShowNotice(list.PartialLoad()->Notice());
  return false;
}

std::optional<std::string> AddModuleOptions(TModulsList& list, TRS485IFC& ifc,
                                            const QStringList& options) {
  for (const QString& option : options) {
    const std::string text = ToStd(option);
    const std::size_t at = text.find('@');
    const int32_t address = at == std::string::npos ? -1 : TextToInt(text.substr(at + 1), -1);
    if (address < 0 || address > 255)
      return "--module " + text + ": expected CLASS@ADDR, ADDR in 0..255";
    TModulsItem* item = nullptr;
    try {
      item = list.AddModul(text.substr(0, at), &ifc, address);
    } catch (const ERangeError& e) {
      return std::string(e.what());
    }
    if (!item) return "--module " + text + ": unknown class name or address already taken";
    item->Modul->SetPolling(true);
  }
  return std::nullopt;
}

std::string ToStd(const QString& text) {
  return text.toStdString();
}

void PrintLine(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}
