#include "modules/hdx01.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "modules/message_format.h"
#include "modules/text_command.h"
#include "support/conversions.h"

namespace {

constexpr int kThrottles = 4;
constexpr int kDetectors = 4;
constexpr int kLightBarriers = 8;
constexpr int kMaxSpeed = 31;

// Command codes of the card.
constexpr int kCodeGBM = 0x10;
constexpr int kCodeSensoren = 0x11;
constexpr int kCodePoll = 0x12;
constexpr int kCodeThrottle = 0x20;
constexpr int kCodeSpeed = 0x21;
constexpr int kCodeDirection7 = 0x22;
constexpr int kCodeDirection6 = 0x23;
constexpr int kCodeSensorStop = 0x52;
constexpr int kCodeSenZuord = 0x53;
constexpr int kCodeInputMask = 0x54;

constexpr int kForward = 3;
constexpr int kReverse = 1;

const char* const kRangeError = "Parameters out of Range.";
// Spelt this way on purpose: callers compare the reported text exactly.
const char* const kGBMRangeError = "Paramters out of Range.";

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The throttle byte: speed step in bits 0 … 4, direction code in bits 6 and 7.
int ThrottleByte(int speed, int direction) {
  return (speed & kMaxSpeed) + 64 * (direction & 3);
}

// Sets or clears one bit; true when the value changed.
template <typename T>
bool StoreBit(T& value, int bit, bool on) {
  const T old = value;
  value = static_cast<T>(on ? SetBit(value, static_cast<unsigned>(bit))
                            : ClearBit(value, static_cast<unsigned>(bit)));
  return value != old;
}

template <typename T>
bool Store(T& field, int value) {
  const T old = field;
  field = static_cast<T>(value);
  return field != old;
}

}  // namespace

const std::array<THDX01::TStopEvent, 3> THDX01::StopEvents = {{
    {"AUS", 0x00},
    {"BSTOP", 0x01},
    {"FSTOP", 0x03},
}};

THDX01::THDX01(TSer485BusMaster* busMaster, uint8_t adresse) : TBaseModul(busMaster, adresse) {
  Description = "4 fach Fahrreglerkarte, 4 GBMs4 und 8 Lichtschr. an Serial/RS485";
  AddPollCommand(BuildCommand('?', Adresse, kCodePoll, 0, 0), true);
}

void THDX01::FireEvent(const TModulEvent& event) {
  if (event) event(this);
}

// --- zero-based operations ---

uint8_t THDX01::GetSpeed(int j) const {
  return InRange(j, 0, kThrottles - 1) ? Fahrstufe[j] : 0;
}

uint8_t THDX01::GetRichtung(int j) const {
  return InRange(j, 0, kThrottles - 1) ? Richtung[j] : 0;
}

uint8_t THDX01::GetSenZuord(int i) const {
  return InRange(i, 0, kLightBarriers - 1) ? SenZuord[i] : 0;
}

void THDX01::SetThrottle(int j, int speed, int direction) {
  if (!InRange(j, 0, kThrottles - 1) || !InRange(direction, 0, 3)) return;
  Fahrstufe[j] = static_cast<uint8_t>(speed & kMaxSpeed);
  Richtung[j] = static_cast<uint8_t>(direction);
  QueueCommand(BuildCommand('!', Adresse, kCodeThrottle, j + 1, ThrottleByte(speed, direction)));
}

void THDX01::SendThrottle(int j) {
  if (!InRange(j, 0, kThrottles - 1)) return;
  // Masked so that a stray value in the public image cannot spill into the direction bits.
  SendCommand(
      BuildCommand('!', Adresse, kCodeThrottle, j + 1, ThrottleByte(Fahrstufe[j], Richtung[j])));
}

void THDX01::RequestGBM() {
  SendCommand(BuildCommand('?', Adresse, kCodeGBM, 0, 0));
}

void THDX01::RequestSensoren() {
  SendCommand(BuildCommand('?', Adresse, kCodeSensoren, 0, 0));
}

void THDX01::SetSensorStop(int i, int index) {
  if (!InRange(i, 0, kLightBarriers - 1) || !InRange(index, 0, 2)) return;
  SendCommand(BuildCommand('!', Adresse, kCodeSensorStop, i + 1, StopEvents[index].Code));
}

void THDX01::RequestSensorStop(int i) {
  if (!InRange(i, 0, kLightBarriers - 1)) return;
  SendCommand(BuildCommand('?', Adresse, kCodeSensorStop, i + 1, 0));
}

void THDX01::WriteSenZuord(int i, int t) {
  if (!InRange(i, 0, kLightBarriers - 1) || !InRange(t, 0, kThrottles - 1)) return;
  QueueCommand(BuildCommand('!', Adresse, kCodeSenZuord, i + 1, t + 1));
}

void THDX01::RequestSenZuord(int i) {
  if (!InRange(i, 0, kLightBarriers - 1)) return;
  QueueCommand(BuildCommand('?', Adresse, kCodeSenZuord, i + 1, 0));
}

void THDX01::SetAktiv(bool on) {
  TBaseModul::SetAktiv(on);
  if (!Aktiv) return;
  RequestGBM();
  RequestSensoren();
  for (int i = 0; i < kLightBarriers; ++i)
    RequestSenZuord(i);
  for (int i = 0; i < kLightBarriers; ++i)
    RequestSensorStop(i);
}

// --- one-based operations ---

void THDX01::SetFahrstufe(int n, int value) {
  // A speed beyond the step range would carry into the direction bits of the throttle byte.
  if (!InRange(n, 1, kThrottles) || !InRange(value, -kMaxSpeed, kMaxSpeed)) return;
  Fahrstufe[n - 1] = static_cast<uint8_t>(std::abs(value));
  Richtung[n - 1] = static_cast<uint8_t>(value >= 0 ? kForward : kReverse);
  DoDataChanged();
  SendThrottle(n - 1);
}

int THDX01::GetFahrstufe(int n) const {
  if (!InRange(n, 1, kThrottles)) return 0;
  const uint8_t direction = Richtung[n - 1];
  const int speed = Fahrstufe[n - 1];
  if (GetBit(direction, 1)) return speed;
  if (GetBit(direction, 0)) return -speed;
  return 0;
}

int THDX01::GetGBM(int n) const {
  if (!InRange(n, 1, kDetectors)) return 0;
  return GetBit(GBM, static_cast<unsigned>(n - 1)) ? 1 : 0;
}

int THDX01::GetSensor(int n) const {
  if (!InRange(n, 1, kLightBarriers)) return 0;
  return GetBit(Sensoren, static_cast<unsigned>(n - 1)) ? 0 : 1;
}

int THDX01::GetSensorStop(int n) const {
  if (!InRange(n, 1, kLightBarriers)) return 0;
  return SensorStop[n - 1];
}

void THDX01::SetSensorStopNr(int n, int index) {
  if (!InRange(n, 1, kLightBarriers) || !InRange(index, 0, 2)) return;
  DoDataChanged();
  SetSensorStop(n - 1, index);
}

int THDX01::SensorStopIndex(const std::string& name) {
  const std::string wanted = Trim(UpperCase(name));
  for (std::size_t index = 0; index < StopEvents.size(); ++index)
    if (wanted == StopEvents[index].Name) return static_cast<int>(index);
  return 0;
}

// --- answers ---

void THDX01::ProcessAnswer(const std::string& command, const std::string& answer) {
  TBaseModul::ProcessAnswer(command, answer);
  if (answer.empty()) return;
  TRS485CmdRecord record;
  // Only a card's own answer counts: an echo of a command line would parse just as well.
  if (!ParseOwnAnswer(answer, record)) return;
  const int code = HexFieldValue(record.Cmd, 0);
  const int d1 = HexFieldValue(record.Data1, 0);
  const int d2 = HexFieldValue(record.Data2, 0);
  const int word = d1 * 256 + d2;

  // Codes 20 … 23 address throttle d1, or all four for d1 = 0; -1 leaves a value untouched.
  auto storeThrottles = [&](int speed, int direction) {
    if (!InRange(d1, 0, kThrottles)) return false;
    const int first = d1 == 0 ? 0 : d1 - 1;
    const int last = d1 == 0 ? kThrottles - 1 : d1 - 1;
    bool any = false;
    for (int j = first; j <= last; ++j) {
      if (speed >= 0) any = Store(Fahrstufe[j], speed) || any;
      if (direction >= 0) any = Store(Richtung[j], direction) || any;
    }
    return any;
  };

  bool changed = false;
  try {
    switch (code) {
      case kCodeGBM:
        if (d1 == 0)
          changed = Store(GBM, d2);
        else if (InRange(d1, 1, kDetectors))
          changed = StoreBit(GBM, d1 - 1, d2 != 0);
        if (changed) FireEvent(OnGBMChanged);
        break;
      case kCodeSensoren:
        if (d1 == 0)
          changed = Store(Sensoren, word);
        else if (InRange(d1, 1, kLightBarriers))
          changed = StoreBit(Sensoren, d1 - 1, d2 != 0);
        if (changed) FireEvent(OnLSChanged);
        break;
      case kCodePoll: {
        // Both values are stored before any handler runs, so a failing handler loses neither.
        const bool sensorenChanged = Store(Sensoren, d1);
        const bool gbmChanged = Store(GBM, d2);
        if (sensorenChanged) {
          if (OnLSChanged)
            OnLSChanged(this);
          else
            changed = true;
        }
        if (gbmChanged) {
          if (OnGBMChanged)
            OnGBMChanged(this);
          else
            changed = true;
        }
        break;
      }
      case kCodeThrottle:
        changed = storeThrottles(d2 & kMaxSpeed, (d2 & 0xC0) >> 6);
        if (changed) FireEvent(OnSpeedChanged);
        break;
      case kCodeSpeed:
        changed = storeThrottles(d2 & kMaxSpeed, -1);
        if (changed) FireEvent(OnSpeedChanged);
        break;
      case kCodeDirection7:
        changed = storeThrottles(-1, (d2 & 0x80) >> 6);
        if (changed) FireEvent(OnSpeedChanged);
        break;
      case kCodeDirection6:
        changed = storeThrottles(-1, (d2 & 0x40) >> 6);
        if (changed) FireEvent(OnSpeedChanged);
        break;
      case kCodeSensorStop: {
        if (!InRange(d1, 1, kLightBarriers)) break;
        int index = 0;  // code 2 is not in the table
        for (std::size_t e = 0; e < StopEvents.size(); ++e) {
          if (StopEvents[e].Code == (d2 & 3)) {
            index = static_cast<int>(e);
            break;
          }
        }
        if (Store(SensorStop[d1 - 1], index)) {
          if (OnLSChanged)
            OnLSChanged(this);
          else
            changed = true;
        }
        break;
      }
      case kCodeSenZuord:
        if (!InRange(d1, 1, kLightBarriers) || !InRange(d2, 1, kThrottles)) break;
        if (Store(SenZuord[d1 - 1], d2)) {
          if (OnSettingsChanged)
            OnSettingsChanged(this);
          else
            changed = true;
        }
        break;
      case kCodeInputMask:
        if (Store(SensorInputMask, d2)) {
          if (OnSettingsChanged)
            OnSettingsChanged(this);
          else
            changed = true;
        }
        break;
      default:
        return;
    }
  } catch (...) {
    if (changed) DoDataChanged();
    throw;
  }
  if (changed) DoDataChanged();
}

// --- texts ---

std::string THDX01::GetPropertiesText() {
  std::string zuords;
  for (std::size_t i = 0; i < SenZuord.size(); ++i) {
    if (i > 0) zuords += ";";
    zuords += std::to_string(SenZuord[i]);
  }
  return PropertiesHead() + "\r\nSensorInputMask=" + std::to_string(SensorInputMask) +
         "\r\nSenZuords=" + zuords;
}

std::string THDX01::TextCommandHelp() {
  return TBaseModul::TextCommandHelp() +
         "\r\n!Fahrstufe(Ifc,Ma,FrNr,Fahrstufe)"
         "\r\n?Fahrstufe(Ifc,Ma,FrNr)"
         "\r\n?GBM(Ifc,Ma,GBMNr)"
         "\r\n?Sensor(Ifc,Ma,SenNr)"
         "\r\n!SensorSTOP(Ifc,Ma,SenNr,EventNr)"
         "\r\n?SensorSTOP(Ifc,Ma,SenNr)";
}

std::string THDX01::TextCommand(const std::string& text) {
  std::string result = TBaseModul::TextCommand(text);
  if (result == "1") return result;
  result.clear();
  try {
    const std::vector<std::string> entries = SplitTextCommand(text);
    const std::string word = UpperCase(entries[0]);
    const int n = TextToInt(entries[3], 0);
    const int v = TextToInt(entries[4], 0);
    auto check = [](bool ok, const char* message) {
      if (!ok) throw std::runtime_error(message);
    };
    if (word == "!FAHRSTUFE") {
      check(InRange(n, 1, kThrottles) && InRange(v, -kMaxSpeed, kMaxSpeed), kRangeError);
      SetFahrstufe(n, v);
    } else if (word == "?FAHRSTUFE") {
      check(InRange(n, 1, kThrottles), kRangeError);
      result = std::to_string(GetFahrstufe(n));
    } else if (word == "?GBM") {
      check(InRange(n, 1, kDetectors), kGBMRangeError);
      result = std::to_string(GetGBM(n));
    } else if (word == "?SENSOR") {
      check(InRange(n, 1, kLightBarriers), kRangeError);
      result = std::to_string(GetSensor(n));
    } else if (word == "!SENSORSTOP") {
      check(InRange(n, 1, kLightBarriers) && InRange(v, 0, 2), kRangeError);
      SetSensorStopNr(n, v);
    } else if (word == "?SENSORSTOP") {
      check(InRange(n, 1, kLightBarriers), kRangeError);
      result = std::to_string(GetSensorStop(n));
    } else {
      throw std::runtime_error("Unknown Command.");
    }
  } catch (const std::exception& e) {
    result.clear();
    ReportTextCommandError(e.what());
  }
  return result;
}
