#include "model/traffic_format.h"

#include <QDateTime>
#include <cstdio>
#include <vector>

#include "bus/readable_text.h"
#include "model/traffic_log.h"
#include "support/conversions.h"

namespace {

std::string WithoutLineEnd(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n'))
    --end;
  return text.substr(0, end);
}

// A CSV field: quoted when it holds the separator or a quote. Text from the bus that a
// spreadsheet would take for a formula gets an apostrophe in front.
std::string CsvField(const std::string& text) {
  std::string field = text;
  if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@'))
    field.insert(0, 1, '\'');
  if (field.find_first_of(";\"") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A JSON string; the texts are printable ASCII already, apart from quotes and backslashes.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string RightAligned(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

}  // namespace

std::string AddressText(int address) {
  return address < 0 ? std::string() : "$" + IntToHexText(address, 2);
}

std::string ShownCommand(const TExchangeRecord& record) {
  return ReadableText(record.Command);
}

std::string ShownAnswer(const TExchangeRecord& record) {
  if (record.Outcome == TExchangeOutcome::TimedOut) return "TimeOut";
  return ReadableText(WithoutLineEnd(record.Answer));
}

std::string LocalTimeText(int64_t ms, bool withDate) {
  const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
  return time.toString(withDate ? "yyyy-MM-dd HH:mm:ss.zzz" : "HH:mm:ss.zzz").toStdString();
}

std::string MsText(int64_t us) {
  return Fixed(static_cast<double>(us) / 1000.0, 2);
}

const char* KindKey(const TExchangeRecord& record) {
  return record.Poll ? "poll" : "oneshot";
}

std::string CsvHeader() {
  return "time;ifc;address;class;command;resync;answer;outcome;answer_us;kind";
}

std::string CsvLine(const TTrafficRow& row) {
  const TExchangeRecord& r = row.Record;
  const std::string fields[] = {LocalTimeText(r.WrittenMs, true),
                                std::to_string(r.IfcNumber),
                                AddressText(r.Address()),
                                row.ClassName,
                                ShownCommand(r),
                                r.ResyncPrefix ? "1" : "0",
                                ShownAnswer(r),
                                OutcomeKey(r.Outcome),
                                std::to_string(r.AnswerUs),
                                KindKey(r)};
  std::string line = CsvField(fields[0]);
  for (std::size_t i = 1; i < std::size(fields); ++i)
    line += ";" + CsvField(fields[i]);
  return line;
}

std::string JsonLine(const TTrafficRow& row) {
  const TExchangeRecord& r = row.Record;
  return "{\"type\":\"exchange\",\"time\":" + JsonString(LocalTimeText(r.WrittenMs, true)) +
         ",\"ifc\":" + std::to_string(r.IfcNumber) +
         ",\"address\":" + JsonString(AddressText(r.Address())) +
         ",\"class\":" + JsonString(row.ClassName) + ",\"command\":" + JsonString(ShownCommand(r)) +
         ",\"resync\":" + (r.ResyncPrefix ? "true" : "false") +
         ",\"answer\":" + JsonString(ShownAnswer(r)) + ",\"outcome\":\"" + OutcomeKey(r.Outcome) +
         "\",\"answer_us\":" + std::to_string(r.AnswerUs) + ",\"kind\":\"" + KindKey(r) + "\"}";
}

std::string TextLine(const TTrafficRow& row) {
  const TExchangeRecord& r = row.Record;
  return LocalTimeText(r.WrittenMs, false) + "  " +
         Padded("IFC(" + std::to_string(r.IfcNumber) + ")", 7) + " " +
         Padded(AddressText(r.Address()), 3) + "  " + Padded(ShownCommand(r), 9) + "  " +
         Padded(ShownAnswer(r), 9) + "  " + Padded(OutcomeKey(r.Outcome), 10) + " " +
         RightAligned(MsText(r.AnswerUs), 7) + " ms";
}

namespace {

struct TStatColumn {
  const char* Key;    // in the machine formats
  const char* Title;  // in the text table
  std::size_t Width;
};

// The columns of a module's row, in the order of every format. Times are whole microseconds in
// the machine formats and milliseconds with two decimals in the text table.
const TStatColumn kModuleColumns[] = {
    {"ifc", "IFC", 3},
    {"address", "ADDRESS", 7},
    {"class", "CLASS", 11},
    {"exchanges", "EXCHANGES", 9},
    {"answers", "ANSWERS", 7},
    {"timeouts", "TIMEOUTS", 8},
    {"unreadable", "UNREADABLE", 10},
    {"foreign", "FOREIGN", 7},
    {"min_us", "MIN_MS", 8},
    {"mean_us", "MEAN_MS", 8},
    {"p95_us", "P95_MS", 8},
    {"max_us", "MAX_MS", 8},
    {"last_answer", "LAST_ANSWER", 12},
};
constexpr std::size_t kLastTime = 11, kLastAnswer = 12;

std::vector<std::string> ModuleCells(const TLinkStatistics::TModuleKey& key, const TLinkCounters& c,
                                     const char* className, bool text) {
  const TAnswerTimeHistogram& t = c.AnswerTimes;
  auto time = [&](int64_t us) {
    if (t.Count() == 0) return std::string(text ? "-" : "");
    return text ? MsText(us) : std::to_string(us);
  };
  const std::string none = text ? "-" : "";
  return {std::to_string(key.first),
          AddressText(key.second),
          className && *className ? std::string(className) : none,
          std::to_string(c.Exchanges),
          std::to_string(c.Answers),
          std::to_string(c.TimedOut),
          std::to_string(c.Unreadable),
          std::to_string(c.Foreign),
          time(t.MinUs()),
          time(t.MeanUs()),
          time(t.PercentileUs(95)),
          time(t.MaxUs()),
          c.LastAnswerMs ? LocalTimeText(c.LastAnswerMs, !text) : none};
}

}  // namespace

std::string StatisticsTable(const TLinkStatistics& statistics,
                            const std::function<const char*(int32_t, int)>& classOf, int64_t nowMs,
                            const std::string& format) {
  std::string out;
  auto className = [&](const TLinkStatistics::TModuleKey& key) {
    const char* name = classOf ? classOf(key.first, key.second) : "";
    return name ? name : "";
  };
  if (format == "csv") {
    // One table: a row per module, then one per interface with its rate and bus load.
    out += "scope";
    for (const TStatColumn& column : kModuleColumns)
      out += ";" + std::string(column.Key);
    out += ";exchanges_per_min;load_permille;baud\n";
    for (const auto& [key, counters] : statistics.Modules()) {
      out += "module";
      for (const std::string& cell : ModuleCells(key, counters, className(key), false))
        out += ";" + CsvField(cell);
      out += ";;;\n";
    }
    for (const auto& [ifc, c] : statistics.Interfaces())
      out += "interface;" + std::to_string(ifc) + ";;;" + std::to_string(c.Exchanges) + ";" +
             std::to_string(c.Answers) + ";" + std::to_string(c.TimedOut) + ";" +
             std::to_string(c.Unreadable) + ";" + std::to_string(c.Foreign) + ";;;;;;" +
             Fixed(c.Rate.ExchangesPerSecond(nowMs) * 60.0, 0) + ";" +
             Fixed(c.Rate.LineShare(nowMs) * 1000.0, 0) + ";" + std::to_string(c.Baud) + "\n";
    return out;
  }
  if (format == "jsonl") {
    for (const auto& [key, counters] : statistics.Modules()) {
      const std::vector<std::string> cells = ModuleCells(key, counters, className(key), false);
      out += "{\"type\":\"module\"";
      for (std::size_t i = 0; i < cells.size(); ++i) {
        const bool number = i == 0 || (i >= 3 && i <= kLastTime);
        const std::string value = cells[i].empty() ? "null"
                                  : number         ? cells[i]
                                                   : JsonString(cells[i]);
        out += ",\"" + std::string(kModuleColumns[i].Key) + "\":" + value;
      }
      out += "}\n";
    }
    for (const auto& [ifc, c] : statistics.Interfaces())
      out += "{\"type\":\"interface\",\"ifc\":" + std::to_string(ifc) +
             ",\"exchanges\":" + std::to_string(c.Exchanges) +
             ",\"answers\":" + std::to_string(c.Answers) +
             ",\"timeouts\":" + std::to_string(c.TimedOut) +
             ",\"unreadable\":" + std::to_string(c.Unreadable) +
             ",\"foreign\":" + std::to_string(c.Foreign) +
             ",\"exchanges_per_s\":" + Fixed(c.Rate.ExchangesPerSecond(nowMs), 1) +
             ",\"load_percent\":" + Fixed(c.Rate.LineShare(nowMs) * 100.0, 1) +
             ",\"baud\":" + std::to_string(c.Baud) + "}\n";
    return out;
  }
  // Text: aligned columns, numbers to the right.
  auto row = [](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const bool left = i == 1 || i == 2 || i == kLastAnswer;
      const std::size_t width = kModuleColumns[i].Width;
      line +=
          (i == 0 ? "" : "  ") + (left ? Padded(cells[i], width) : RightAligned(cells[i], width));
    }
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    return line + "\n";
  };
  std::vector<std::string> titles;
  for (const TStatColumn& column : kModuleColumns)
    titles.push_back(column.Title);
  out += row(titles);
  for (const auto& [key, counters] : statistics.Modules())
    out += row(ModuleCells(key, counters, className(key), true));
  for (const auto& [ifc, c] : statistics.Interfaces())
    out += "IFC(" + std::to_string(ifc) + "): " + std::to_string(c.Exchanges) + " exchanges, " +
           std::to_string(c.Faults()) + " faults, " + Fixed(c.Rate.ExchangesPerSecond(nowMs), 1) +
           " exchanges/s, bus load " + Fixed(c.Rate.LineShare(nowMs) * 100.0, 1) + " % at " +
           std::to_string(c.Baud) + " baud\n";
  return out;
}
