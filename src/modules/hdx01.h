#pragma once
// THDX01: the throttle card. Four throttles (speed step 0 … 31 and a two-bit direction code),
// four occupancy detectors and eight light barriers, each of which the card can assign to a
// throttle and give a stop event. The module keeps an image of the card that the poll answer
// and the card's answers keep current.

#include <array>
#include <cstdint>
#include <string>

#include "modules/base_modul.h"

class THDX01 : public TBaseModul {
 public:
  THDX01(TSer485BusMaster* busMaster, uint8_t adresse);

  // One entry of the stop-event table: what the window lists and what goes on the wire.
  struct TStopEvent {
    const char* Name;
    uint8_t Code;
  };
  static const std::array<TStopEvent, 3> StopEvents;

  uint16_t Sensoren = 0;                // bit i: light barrier i + 1
  std::array<uint8_t, 8> SensorStop{};  // index into StopEvents per light barrier
  uint8_t SensorInputMask = 0;
  std::array<uint8_t, 8> SenZuord{};  // throttle 1 … 4 per light barrier; 0 = none
  uint8_t GBM = 0;                    // bit j: detector j + 1, 1 = occupied
  std::array<uint8_t, 4> Fahrstufe{};
  std::array<uint8_t, 4> Richtung{};  // 3 forward, 1 reverse (bits 7 and 6 of the throttle byte)
  TModulEvent OnSpeedChanged;
  TModulEvent OnGBMChanged;
  TModulEvent OnLSChanged;
  TModulEvent OnSettingsChanged;

  const char* ClassName() const override { return "THDX01"; }
  void SetAktiv(bool on) override;
  std::string GetPropertiesText() override;
  void ProcessAnswer(const std::string& command, const std::string& answer) override;
  std::string TextCommand(const std::string& text) override;
  std::string TextCommandHelp() override;

  // Zero-based: j = throttle 0 … 3, i = light barrier 0 … 7, t = throttle 0 … 3, index into
  // StopEvents 0 … 2. Numbers outside these ranges are ignored: nothing is stored or sent, and
  // the getters give 0.
  uint8_t GetSpeed(int j) const;
  uint8_t GetRichtung(int j) const;
  uint8_t GetSenZuord(int i) const;
  // Stores and sends at once, whether live or not (the bus master still refuses while
  // disconnected); fires nothing.
  void SetThrottle(int j, int speed, int direction);
  void SendThrottle(int j);
  void RequestGBM();
  void RequestSensoren();
  // The image follows the card's answer, not the request.
  void SetSensorStop(int i, int index);
  void RequestSensorStop(int i);
  void WriteSenZuord(int i, int t);
  void RequestSenZuord(int i);

  // One-based, for the text commands: n = throttle 1 … 4, detector 1 … 4 or light barrier 1 … 8.
  // A negative speed step means reverse.
  void SetFahrstufe(int n, int value);
  int GetFahrstufe(int n) const;
  int GetGBM(int n) const;
  // 1 while the light barrier's input bit is clear (the beam is interrupted).
  int GetSensor(int n) const;
  int GetSensorStop(int n) const;
  void SetSensorStopNr(int n, int index);

  // Index of a stop-event name, ignoring case and surrounding blanks; 0 for an unknown name.
  static int SensorStopIndex(const std::string& name);

 private:
  void FireEvent(const TModulEvent& event);
};
