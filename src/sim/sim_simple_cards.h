#pragma once
// The two small cards: the interface's own port expansion and a card of a type this program does
// not know.

#include "sim/sim_card.h"

// The eight outputs on the interface card.
class TSimPortExpansion : public TSimCard {
 public:
  static constexpr const char* kType = "IFC485PX8";

  explicit TSimPortExpansion(uint8_t address, std::string version = "1.0");

  uint16_t Outputs() const;
  void SetOutputs(uint16_t outputs);

 protected:
  std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) override;

 private:
  uint16_t FOutputs = 0;
};

// Knows only identification and address change; every other line addressed to it comes back
// unchanged but for its first character, which is how its firmware acknowledges.
class TSimUnknownCard : public TSimCard {
 public:
  static constexpr const char* kType = "LSX04";

  explicit TSimUnknownCard(uint8_t address, std::string type = kType, std::string version = "3.0");

 protected:
  std::optional<std::string> Handle(const TSimCommand& command, int64_t atUs) override;
};
