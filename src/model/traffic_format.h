#pragma once
// Exchange records and link statistics as text: the pieces the monitor window shows, and the
// machine formats that its CSV file and kavorctl monitor write. The machine formats are never
// translated: scripts and spreadsheets read them.
//
// CSV: one header line, then one line per exchange, fields separated by ";" (what spreadsheets
// set up for German expect; a field holding ";" or a double quote is quoted). Answer times are
// whole microseconds, so no decimal separator can be misread. Times are local, with date.

#include <cstdint>
#include <functional>
#include <string>

#include "bus/exchange_record.h"
#include "bus/link_statistics.h"

struct TTrafficRow;

// "$1E", or "" for no address.
std::string AddressText(int address);
// The command as sent (without the prefix), bytes outside printable ASCII as <XX>.
std::string ShownCommand(const TExchangeRecord& record);
// The answer without its line end, bytes outside printable ASCII as <XX>; "TimeOut" after a
// time-out.
std::string ShownAnswer(const TExchangeRecord& record);
// Local time of a wall-clock time: "HH:mm:ss.zzz", with `withDate` "yyyy-MM-dd HH:mm:ss.zzz".
std::string LocalTimeText(int64_t ms, bool withDate);
// Milliseconds with two decimals and a point: "10.42".
std::string MsText(int64_t us);
// "poll" or "oneshot".
const char* KindKey(const TExchangeRecord& record);

// One exchange in the machine formats. The fields, in order: time, ifc, address, class,
// command, resync (0/1), answer, outcome, answer_us, kind.
std::string CsvHeader();
std::string CsvLine(const TTrafficRow& row);
std::string JsonLine(const TTrafficRow& row);
// For a reader at the terminal: time, IFC, address, command, answer or TimeOut, outcome, ms.
std::string TextLine(const TTrafficRow& row);

// The statistics as a table per module (and one line per interface with its rate and bus
// load), in one of the formats "text", "csv" or "jsonl". `classOf` names the module at an
// address of an interface.
std::string StatisticsTable(const TLinkStatistics& statistics,
                            const std::function<const char*(int32_t ifc, int address)>& classOf,
                            int64_t nowMs, const std::string& format);
