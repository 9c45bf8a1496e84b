#include "model/address_change.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/main_thread.h"

namespace {

TEST(AddressChangeRules, NewAddressInput) {
  struct {
    const char* Text;
    int Address;  // -1: refused
  } cases[] = {
      {"$32", 50},         {"50", 50},        {" $1e ", 30},     {"$FF", 255},
      {"255", 255},        {"+7", 7},         {"1", 1},          {"0", -1},
      {"256", -1},         {"$100", -1},      {"$00", -1},       {"", -1},
      {"  ", -1},          {"abc", -1},       {"$", -1},         {"0x10", -1},
      {"1.5", -1},         {"-3", -1},        {"$1G", -1},       {"&H10", -1},
      {"99999999999", -1}, {"$FFFFFFFF", -1}, {"$80000000", -1}, {"$000000FF", 255},
      {"999999999", -1},
  };
  for (const auto& c : cases) {
    const std::optional<uint8_t> address = ParseNewModulAddress(c.Text);
    if (c.Address < 0)
      EXPECT_FALSE(address.has_value()) << c.Text;
    else
      EXPECT_EQ(address.value_or(0), c.Address) << c.Text;
  }
}

class AddressChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallQtMainThreadWaker();
    List.OnInterfaceCreated = [this](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    };
    Bus.Responder = [this](const std::string& written) -> std::optional<TFakeReply> {
      auto it = Replies.find(written.substr(written.rfind('\r') + 1));
      if (it == Replies.end()) return std::nullopt;
      return TFakeReply{it->second, 1000};
    };
    Ifc = List.AddIFC("TRS485IFC")->IFC;
    Modul = List.AddModul("TMXB01", Ifc, 0x31)->Modul;
    Modul->SetPolling(false);
    Modul->SetAktiv(true);
  }
  void TearDown() override {
    List.RemoveAll();
    RemoveQtMainThreadWaker();
  }

  std::shared_ptr<TAddressChange> MakeChange() {
    auto change = TAddressChange::Create(*Ifc, *Modul);
    change->OnCode = [this](const std::string& text) { Codes.push_back(text); };
    change->OnExchange = [this](const std::string& text) { Exchanges.push_back(text); };
    change->OnLogLine = [this](const std::string& text) { LogLines.push_back(text); };
    return change;
  }

  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TModulsList List{&Clock};
  TRS485IFC* Ifc = nullptr;
  TBaseModul* Modul = nullptr;
  std::map<std::string, std::string> Replies;
  std::vector<std::string> Codes;
  std::vector<std::string> Exchanges;
  std::vector<std::string> LogLines;
};

TEST_F(AddressChangeTest, AnswerHandling) {
  // Each step: an answer and what the change holds afterwards.
  struct TStep {
    const char* Answer;
    const char* AdrCode;
    int Address;
  };
  struct {
    const char* Name;
    std::vector<TStep> Steps;
    bool Confirmed;
  } cases[] = {
      {"code then confirmation",
       {{"#31027F00\r\n", "7F", 0x31}, {"#31027F32\r\n", "7F", 0x32}},
       true},
      {"code 00 is no code", {{"#31020000\r\n", "", 0x31}, {"#31020032\r\n", "", 0x31}}, false},
      {"another code drops the first",
       {{"#31027F00\r\n", "7F", 0x31}, {"#31025532\r\n", "", 0x31}},
       false},
      {"time-out leaves it empty", {{"", "", 0x31}, {"", "", 0x31}}, false},
      // Neither "#" nor command 02, and another address: not for this change.
      {"foreign answer", {{"!33017F00\r\n", "", 0x31}}, false},
      // Kind "!" but this module's address: still taken.
      {"own address, other kind", {{"!31017F00\r\n", "7F", 0x31}}, false},
  };
  for (const auto& c : cases) {
    Modul->SetAdresse(0x31);
    auto change = MakeChange();
    change->AdrModul = Modul;
    LogLines.clear();
    for (const TStep& step : c.Steps) {
      change->OnAdrAnswer("!31020000", step.Answer);
      EXPECT_EQ(change->AdrCode, step.AdrCode) << c.Name << ": " << step.Answer;
      EXPECT_EQ(Modul->Adresse, step.Address) << c.Name << ": " << step.Answer;
    }
    EXPECT_EQ(change->Confirmed, c.Confirmed) << c.Name;
    EXPECT_EQ(LogLines, c.Confirmed ? std::vector<std::string>{"OK, Adresse geändert. "}
                                    : std::vector<std::string>{})
        << c.Name;
  }
}

TEST_F(AddressChangeTest, AnswersOutsideAChangeOnlyShowTheExchange) {
  auto change = MakeChange();
  change->OnAdrAnswer("!31020000", "#31027F00\r\n");
  EXPECT_EQ(Exchanges, std::vector<std::string>{"!31020000 -- #31027F00\r\n"});
  EXPECT_TRUE(change->AdrCode.empty());
  EXPECT_TRUE(Codes.empty());
}

TEST_F(AddressChangeTest, UnreadableConfirmedAddressIsAnErrorNotAMove) {
  auto change = MakeChange();
  change->AdrModul = Modul;
  change->AdrCode = "7F";
  EXPECT_THROW(change->OnAdrAnswer("!31027F32", "#31027FZZ\r\n"), std::runtime_error);
  EXPECT_EQ(Modul->Adresse, 0x31);
  EXPECT_FALSE(change->Confirmed);
}

TEST_F(AddressChangeTest, ExchangeOnTheBus) {
  struct {
    const char* Name;
    std::map<std::string, std::string> Replies;
    std::vector<std::string> Sent;
    TAddressChange::TResult Result;
  } cases[] = {
      {"card confirms",
       {{"!31020000", "#31027F00\r\n"}, {"!31027F32", "#31027F32\r\n"}},
       {"!31020000", "!31027F32"},
       TAddressChange::acConfirmed},
      {"card silent", {}, {"!31020000", "!310232"}, TAddressChange::acUnconfirmed},
      {"card refuses",
       {{"!31020000", "#31027F00\r\n"}, {"!31027F32", "#31020000\r\n"}},
       {"!31020000", "!31027F32"},
       TAddressChange::acUnconfirmed},
  };
  Ifc->SetActive(true);
  ASSERT_TRUE(Ifc->Active());
  for (const auto& c : cases) {
    Modul->SetAdresse(0x31);
    Modul->SetAktiv(true);
    Replies = c.Replies;
    Bus.ClearEvents();
    Sink.Clear();
    LogLines.clear();
    auto change = MakeChange();
    EXPECT_EQ(change->Run(0x32), c.Result) << c.Name;
    // Making the card live queued its read-back queries; only the exchange counts here.
    std::vector<std::string> sent;
    for (const std::string& written : Bus.Writes())
      if (written.rfind("!", 0) == 0) sent.push_back(written);
    EXPECT_EQ(sent, c.Sent) << c.Name;
    // Moved and no longer live either way.
    EXPECT_EQ(Modul->Adresse, 0x32) << c.Name;
    EXPECT_FALSE(Modul->Aktiv) << c.Name;
    EXPECT_EQ(change->AdrModul, nullptr);
    EXPECT_TRUE(change->AdrCode.empty());
    MainThread().PumpPending();
    const bool confirmed = c.Result == TAddressChange::acConfirmed;
    EXPECT_EQ(LogLines.size(), confirmed ? 1u : 0u) << c.Name;
    EXPECT_EQ(Sink.Count("Adressänderung $31 -> $32 nicht bestätigt"), confirmed ? 0u : 1u)
        << c.Name;
  }
}

TEST_F(AddressChangeTest, WaitLimitsAndRefusals) {
  // Disconnected: nothing is queued, both waits run to their limits.
  auto change = MakeChange();
  std::vector<uint32_t> waits;
  change->Wait = [&](const std::function<bool()>& condition, uint32_t ms) {
    waits.push_back(ms);
    return condition();
  };
  EXPECT_EQ(change->Run(0x40), TAddressChange::acUnconfirmed);
  EXPECT_EQ(waits, (std::vector<uint32_t>{2000, 5000}));
  EXPECT_EQ(Modul->Adresse, 0x40);

  // Another module has the address: refused before anything is sent.
  List.AddModul("TMXB02", Ifc, 0x50);
  Sink.Clear();
  EXPECT_EQ(MakeChange()->Run(0x50), TAddressChange::acAddressTaken);
  EXPECT_EQ(Modul->Adresse, 0x40);
  EXPECT_EQ(Sink.Count("Moduladresse $50 ist auf IFC(0) schon vergeben. "), 1u);

  TWorkflowGuard search(Ifc, "Modulsuche");
  EXPECT_EQ(MakeChange()->Run(0x41), TAddressChange::acBusy);
  EXPECT_EQ(Modul->Adresse, 0x40);
}

}  // namespace
