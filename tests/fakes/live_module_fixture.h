#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"

// A module of type TModule at Address on a connected interface whose bus
// never answers, so a test sees exactly the lines the module writes and
// counts its change events itself.
template <class TModule, uint8_t Address>
class TLiveModuleTest : public ::testing::Test {
 protected:
  TLiveModuleTest() {
    Ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
    Ifc.SetActive(true);
    M.OnDataChanged = [this](TBaseModul*) { ++Fired; };
  }
  void TearDown() override { Sent(); }
  // The lines written since the last call (fewer than 30 per test: no resync prefix).
  std::vector<std::string> Sent() {
    EXPECT_TRUE(Ifc.BusMaster().WaitQueueEmpty(std::chrono::seconds(5)));
    std::vector<std::string> lines = Bus.Writes();
    Bus.ClearEvents();
    return lines;
  }

  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TRS485IFC Ifc{&Clock};
  TModule M{&Ifc.BusMaster(), Address};
  int Fired = 0;
};
