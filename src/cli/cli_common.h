#pragma once
// What the verbs of kavorctl share: reports on standard error, the simulated bus under "SIM", and
// exit codes.

#include <QCommandLineParser>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

class TModulsList;
struct TModelHeader;
class TRS485IFC;

enum TExitCode { ecOk = 0, ecFailed = 1, ecUsage = 2 };

// Message-sink reports go to standard error as "YYYY-MM-DD HH:MM:SS| " + text; notices likewise.
void InstallConsoleReporting();
// Makes the simulated bus available under the port name "SIM".
void RegisterSimulatedPort();
// Counts the reports made since InstallConsoleReporting.
std::size_t ReportCount();

// The verb's help, with "kavorctl <verb>" as the program.
std::string VerbHelp(const QCommandLineParser& parser);
// Prints the usage error and the verb's help to standard error.
int UsageError(const QCommandLineParser& parser, const std::string& message);
// Parses a verb's arguments. Returns an exit code when the verb must stop here (help shown, or a
// usage error), else nothing.
std::optional<int> ParseVerb(QCommandLineParser& parser, const QStringList& arguments);

// The common options of the verbs that talk to one port.
struct TPortOptions {
  std::string Port;
  uint32_t Baud = 9600;
  uint32_t Timeout = 200;
};
void AddPortOptions(QCommandLineParser& parser, bool portRequired);
// Reads them; an error text when a value is unusable.
std::optional<std::string> ReadPortOptions(const QCommandLineParser& parser, TPortOptions& out);

// Loads a model file; a load that stopped early is told on standard error as a notice naming
// the place. False then.
bool LoadModelFileTellingStops(TModulsList& list, const std::string& file, TModelHeader& header);

// Adds the modules of --module options (CLASS@ADDR, e.g. TMXB01@$1E) to the interface, polled.
// The usage error when one is unusable.
std::optional<std::string> AddModuleOptions(TModulsList& list, TRS485IFC& ifc,
                                            const QStringList& options);

std::string ToStd(const QString& text);
void PrintLine(const std::string& text);
// kavorctl's own message (a summary, what was not sent) as one line on standard error.
void PrintError(const std::string& text);
