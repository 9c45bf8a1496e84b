#include "model/card_settings.h"

#include <array>
#include <map>

#include "model/ini_file.h"
#include "modules/hdx01.h"
#include "modules/module_factory.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "support/conversions.h"
#include "support/texts.h"

namespace {

std::string TwoDigits(int n) {
  return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

// A whole number in first … last, in any form the model file reads, as decimal text.
std::optional<std::string> CanonicalNumber(const std::string& text, int64_t first, int64_t last) {
  int64_t value = 0;
  if (!ReadIniInteger(text, value) || value < first || value > last) return std::nullopt;
  return std::to_string(value);
}

using TValueMap = std::map<std::string, std::string>;

// Settings by upper-cased key: the file's names match without regard to case.
TValueMap ByKey(const TCardSettings& settings) {
  TValueMap map;
  for (const TCardSetting& s : settings)
    map.emplace(UpperCase(s.Key), s.Value);
  return map;
}

int Number(const TValueMap& values, const std::string& key) {
  const auto it = values.find(UpperCase(key));
  return it == values.end() ? 0 : TextToInt(it->second, 0);
}

// ---- type-1 switch card: one pulse time --------------------------------------------------

class TMXB01Settings : public TCardSettingsType {
 public:
  static constexpr const char* kImpulszeit = "Impulszeit";

  const char* ClassName() const override { return "TMXB01"; }
  const std::vector<std::string>& Keys() const override {
    static const std::vector<std::string> keys = {kImpulszeit};
    return keys;
  }
  std::optional<std::string> Canonical(const std::string& key,
                                       const std::string& text) const override {
    if (UpperCase(key) != UpperCase(kImpulszeit)) return std::nullopt;
    return CanonicalNumber(text, 0, 0xFFFF);
  }
  TCardSettings FromImage(const TBaseModul& modul) const override {
    const auto& m = static_cast<const TMXB01&>(modul);
    return {{kImpulszeit, std::to_string(m.GetTVTrigger(0))}};
  }
  void RequestAll(TBaseModul& modul) const override {
    static_cast<TMXB01&>(modul).RequestTVTrigger();
  }
  std::vector<std::string> WriteDiffering(TBaseModul& modul,
                                          const TCardSettings& wanted) const override {
    auto& m = static_cast<TMXB01&>(modul);
    const int value = Number(ByKey(wanted), kImpulszeit);
    if (value == m.GetTVTrigger(0)) return {};
    m.SetTVTriggerAll(value);
    return {kImpulszeit};
  }
};

// ---- type-2 switch card: per output inversion, two flags and two pulse times -------------

class TMXB02Settings : public TCardSettingsType {
 public:
  // The flag words under the names of the window's columns.
  static constexpr std::array<const char*, 3> kBits = {"Invertiert", "BL", "MF"};
  static constexpr std::array<const char*, 2> kTimes = {"Impuls1", "Impuls2"};

  static std::string Key(int port, const char* name) {
    return "Port" + TwoDigits(port) + "." + name;
  }

  const char* ClassName() const override { return "TMXB02"; }
  const std::vector<std::string>& Keys() const override {
    static const std::vector<std::string> keys = [] {
      std::vector<std::string> all;
      for (int p = 0; p < TMXB02::kPortCount; ++p) {
        for (const char* bit : kBits)
          all.push_back(Key(p, bit));
        for (const char* time : kTimes)
          all.push_back(Key(p, time));
      }
      return all;
    }();
    return keys;
  }
  std::optional<std::string> Canonical(const std::string& key,
                                       const std::string& text) const override {
    const std::string upper = UpperCase(key);
    for (int p = 0; p < TMXB02::kPortCount; ++p) {
      for (const char* bit : kBits)
        if (upper == UpperCase(Key(p, bit))) return CanonicalNumber(text, 0, 1);
      for (const char* time : kTimes)
        if (upper == UpperCase(Key(p, time)))
          return CanonicalNumber(text, 0, TMXB02::kMaxPulseTime);
    }
    return std::nullopt;
  }
  TCardSettings FromImage(const TBaseModul& modul) const override {
    const auto& m = static_cast<const TMXB02&>(modul);
    const std::array<uint16_t, 3> words = {m.Invertiert, m.Typ1, m.Typ2};
    TCardSettings settings;
    for (int p = 0; p < TMXB02::kPortCount; ++p) {
      for (std::size_t b = 0; b < kBits.size(); ++b)
        settings.push_back(
            {Key(p, kBits[b]), GetBit(words[b], static_cast<unsigned>(p)) ? "1" : "0"});
      settings.push_back({Key(p, kTimes[0]), std::to_string(m.GetTVTrigger1(p))});
      settings.push_back({Key(p, kTimes[1]), std::to_string(m.GetTVTrigger2(p))});
    }
    return settings;
  }
  void RequestAll(TBaseModul& modul) const override { static_cast<TMXB02&>(modul).LoadDump(); }
  std::vector<std::string> WriteDiffering(TBaseModul& modul,
                                          const TCardSettings& wanted) const override {
    auto& m = static_cast<TMXB02&>(modul);
    const TValueMap values = ByKey(wanted);
    std::vector<std::string> written;
    // A flag goes to the card as its whole word: one line carries every output's bit.
    const std::array<uint16_t, 3> present = {m.Invertiert, m.Typ1, m.Typ2};
    std::array<uint16_t, 3> words = present;
    for (std::size_t b = 0; b < kBits.size(); ++b) {
      for (int p = 0; p < TMXB02::kPortCount; ++p) {
        const unsigned bit = static_cast<unsigned>(p);
        const bool on = Number(values, Key(p, kBits[b])) != 0;
        if (on == GetBit(present[b], bit)) continue;
        words[b] = static_cast<uint16_t>(on ? SetBit(words[b], bit) : ClearBit(words[b], bit));
        written.push_back(Key(p, kBits[b]));
      }
    }
    m.SetInvertiert(words[0]);
    m.SetTyp1(words[1]);
    m.SetTyp2(words[2]);
    // Both pulse times of an output travel in one line.
    for (int p = 0; p < TMXB02::kPortCount; ++p) {
      const auto i = static_cast<std::size_t>(p);
      const int32_t first = Number(values, Key(p, kTimes[0]));
      const int32_t second = Number(values, Key(p, kTimes[1]));
      if (first == m.TVTrigger1[i] && second == m.TVTrigger2[i]) continue;
      if (first != m.TVTrigger1[i]) written.push_back(Key(p, kTimes[0]));
      if (second != m.TVTrigger2[i]) written.push_back(Key(p, kTimes[1]));
      m.TVTrigger1[i] = first;
      m.TVTrigger2[i] = second;
      m.SendTVTrigger(p);
    }
    return written;
  }
  bool NeedsStore() const override { return true; }
  void StorePermanently(TBaseModul& modul) const override {
    static_cast<TMXB02&>(modul).SaveDumpToEE();
  }
};

// ---- throttle card: per light barrier its throttle and its stop event ------------------

class THDX01Settings : public TCardSettingsType {
 public:
  static constexpr int kLightBarriers = 8;
  static constexpr int kThrottles = 4;

  static std::string Key(int lightBarrier, const char* name) {
    return "LS" + std::to_string(lightBarrier) + "." + name;
  }

  const char* ClassName() const override { return "THDX01"; }
  const std::vector<std::string>& Keys() const override {
    static const std::vector<std::string> keys = [] {
      std::vector<std::string> all;
      for (int n = 1; n <= kLightBarriers; ++n) {
        all.push_back(Key(n, "Fahrregler"));
        all.push_back(Key(n, "Stop"));
      }
      return all;
    }();
    return keys;
  }
  std::optional<std::string> Canonical(const std::string& key,
                                       const std::string& text) const override {
    const std::string upper = UpperCase(key);
    for (int n = 1; n <= kLightBarriers; ++n) {
      if (upper == UpperCase(Key(n, "Fahrregler"))) return CanonicalNumber(text, 1, kThrottles);
      if (upper == UpperCase(Key(n, "Stop"))) {
        const std::string name = UpperCase(Trim(text));
        for (const THDX01::TStopEvent& event : THDX01::StopEvents)
          if (name == event.Name) return name;
        return std::nullopt;
      }
    }
    return std::nullopt;
  }
  TCardSettings FromImage(const TBaseModul& modul) const override {
    const auto& m = static_cast<const THDX01&>(modul);
    TCardSettings settings;
    for (int n = 1; n <= kLightBarriers; ++n) {
      settings.push_back({Key(n, "Fahrregler"), std::to_string(m.GetSenZuord(n - 1))});
      const int stop = m.GetSensorStop(n);
      settings.push_back({Key(n, "Stop"), THDX01::StopEvents[static_cast<std::size_t>(stop)].Name});
    }
    return settings;
  }
  void RequestAll(TBaseModul& modul) const override {
    auto& m = static_cast<THDX01&>(modul);
    for (int i = 0; i < kLightBarriers; ++i)
      m.RequestSenZuord(i);
    for (int i = 0; i < kLightBarriers; ++i)
      m.RequestSensorStop(i);
  }
  std::vector<std::string> WriteDiffering(TBaseModul& modul,
                                          const TCardSettings& wanted) const override {
    auto& m = static_cast<THDX01&>(modul);
    const TValueMap values = ByKey(wanted);
    std::vector<std::string> written;
    for (int n = 1; n <= kLightBarriers; ++n) {
      const int throttle = Number(values, Key(n, "Fahrregler"));
      if (throttle != m.GetSenZuord(n - 1)) {
        m.WriteSenZuord(n - 1, throttle - 1);
        written.push_back(Key(n, "Fahrregler"));
      }
    }
    for (int n = 1; n <= kLightBarriers; ++n) {
      const auto it = values.find(UpperCase(Key(n, "Stop")));
      const int stop = THDX01::SensorStopIndex(it == values.end() ? "" : it->second);
      if (stop != m.GetSensorStop(n)) {
        m.SetSensorStop(n - 1, stop);
        written.push_back(Key(n, "Stop"));
      }
    }
    return written;
  }
};

}  // namespace

void TCardSettingsType::StorePermanently(TBaseModul&) const {}

const TCardSettingsType* CardSettingsTypeOf(const std::string& className) {
  static const TMXB01Settings mxb01;
  static const TMXB02Settings mxb02;
  static const THDX01Settings hdx01;
  const std::string name = ModulClassName(className);
  if (name == mxb01.ClassName()) return &mxb01;
  if (name == mxb02.ClassName()) return &mxb02;
  if (name == hdx01.ClassName()) return &hdx01;
  return nullptr;
}

const TCardSettingsType* CardSettingsTypeOf(const TBaseModul& modul) {
  // The class the module is, not a name: a module of unknown type never passes for another.
  const TCardSettingsType* type = CardSettingsTypeOf(modul.ClassName());
  return type && std::string(type->ClassName()) == modul.ClassName() ? type : nullptr;
}

std::optional<std::string> SettingValue(const TCardSettings& settings, const std::string& key) {
  const std::string upper = UpperCase(key);
  for (const TCardSetting& s : settings)
    if (UpperCase(s.Key) == upper) return s.Value;
  return std::nullopt;
}

std::optional<TCardSettings> CheckSettings(const TCardSettingsType& type,
                                           const TCardSettings& wanted, std::string& fault) {
  TText text;
  std::optional<TCardSettings> checked = CheckSettings(type, wanted, text);
  if (!checked) fault = text.Shown();
  return checked;
}

std::optional<TCardSettings> CheckSettings(const TCardSettingsType& type,
                                           const TCardSettings& wanted, TText& fault) {
  TCardSettings checked;
  for (const std::string& key : type.Keys()) {
    const std::optional<std::string> value = SettingValue(wanted, key);
    if (!value) {
      fault = TrText("TCardConfigRun", "%1 fehlt").Arg(key);
      return std::nullopt;
    }
    const std::optional<std::string> canonical = type.Canonical(key, *value);
    if (!canonical) {
      fault = TrText("TCardConfigRun", "%1=%2 ist kein gültiger Wert").Arg(key).Arg(*value);
      return std::nullopt;
    }
    checked.push_back({key, *canonical});
  }
  return checked;
}

std::vector<TSettingDifference> CompareSettings(const TCardSettingsType& type,
                                                const TCardSettings& wanted,
                                                const TCardSettings& onCard) {
  auto shown = [&](const TCardSettings& settings, const std::string& key) {
    const std::optional<std::string> value = SettingValue(settings, key);
    if (!value) return std::string();
    return type.Canonical(key, *value).value_or(*value);
  };
  std::vector<TSettingDifference> differences;
  for (const std::string& key : type.Keys()) {
    TSettingDifference d{key, shown(wanted, key), shown(onCard, key)};
    if (d.Wanted != d.OnCard) differences.push_back(std::move(d));
  }
  return differences;
}
