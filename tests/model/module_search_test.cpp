#include "model/module_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "model/moduls_list.h"
#include "model/workflow_guard.h"
#include "modules/base_modul.h"
#include "support/main_thread.h"

namespace {

TEST(ModuleSearchRules, IdentAnswerFilter) {
  struct {
    const char* Answer;
    bool Taken;
  } cases[] = {
      {"#1E01[MXB01.2.1]\r\n", true},
      {"#1E01[", true},
      {"#1E01 [MXB01.2.1]", false},
      {"#1E0[MXB01.2.1]", false},
      {"?1E01[MXB01]", false},
      {" #1E01[MXB01]", false},
      {"", false},
      {"#1E010000\r\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsIdentAnswer(c.Answer), c.Taken) << c.Answer;
}

TEST(ModuleSearchRules, TakeInParsing) {
  struct {
    const char* Entry;
    bool Taken;
    int32_t Address;
    const char* Type;
    const char* Version;
  } cases[] = {
      {"#1E01[MXB01.2.1]\n", true, 0x1E, "MXB01", "2.1"},
      {"#3101[mxb2.1.3]", true, 0x31, "MXB2", "1.3"},
      {"#2001[HDX01]", true, 0x20, "", "HDX01"},  // no "." : no type name
      {"#1E01[AB.]", true, 0x1E, "AB", ""},       // "]" is the tenth character
      {"#1E01[A.]", false, 0, "", ""},            // "]" is the ninth
      {"#1E01[MXB01.2.1", false, 0, "", ""},      // no "]" at all
      {"#G101[MXB01.1.0]", false, 0, "", ""},     // address is no hexadecimal number
      {"#ff01[MXB01.1.0]", true, 0xFF, "MXB01", "1.0"},
  };
  for (const auto& c : cases) {
    TIdentAnswer ident;
    ASSERT_EQ(ParseIdentAnswer(c.Entry, ident), c.Taken) << c.Entry;
    if (!c.Taken) continue;
    EXPECT_EQ(ident.Address, c.Address) << c.Entry;
    EXPECT_EQ(ident.TypeName, c.Type) << c.Entry;
    EXPECT_EQ(ident.Version, c.Version) << c.Entry;
  }
}

TEST(ModuleSearchRules, TimeLimitCoversTheQueuedWork) {
  struct {
    int Addresses;
    uint32_t Timeout;
    uint32_t Limit;
  } cases[] = {
      {256, 200, 64250},      // 257 x 250: the default time-out needs more than a minute
      {122, 200, 60000},      // developer range: the minute is enough
      {256, 30, 60000},       // never below a minute
      {256, 20000, 5152850},  // the longest time-out of the pick list
      {0, 100, 60000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SearchTimeLimitMs(c.Addresses, c.Timeout), c.Limit)
        << c.Addresses << " x " << c.Timeout;
}

TEST(ModuleSearchRules, DeveloperModeAsksUpToHex79) {
  setenv("KAVORCONFIG_DEVELOPER", "1", 1);
  EXPECT_EQ(SearchLastAddress(), 0x79);
  unsetenv("KAVORCONFIG_DEVELOPER");
  EXPECT_EQ(SearchLastAddress(), 255);
}

// What the cards of the fake bus answer to their identification query.
const std::map<std::string, std::string> kCards = {
    {"?1E010000", "#1E01[MXB01.2.1]\r\n"},    {"?31010000", "#3101[mxb2.1.3]\r\n"},
    {"?40010000", "#4001[QQ7.0.1]\r\n"},      {"?50010000", "#5001 [MXB01.1.0]\r\n"},
    {"?60010000", "#6001[HDX01]\r\n"},        {"?7F010000", "#7F01[IFC485PX8.1.0]\r\n"},
    {"?64010000", "#6401[IFCPORTS.2.0]\r\n"}, {"?65010000", "#6501[HDX01.1.3]\r\n"},
    {"?66010000", "#6601[MXB02.1.5]\r\n"},
};

class ModuleSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallQtMainThreadWaker();
    List.OnInterfaceCreated = [this](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    };
    Bus.Responder = [](const std::string& written) -> std::optional<TFakeReply> {
      // Every so often the bus master puts a resynchronisation prefix before the line.
      const std::string line = written.substr(written.rfind('\r') + 1);
      auto it = kCards.find(line);
      if (it == kCards.end()) return std::nullopt;
      return TFakeReply{it->second, 1000};
    };
    Ifc = List.AddIFC("TRS485IFC")->IFC;
  }
  void TearDown() override {
    List.RemoveAll();
    RemoveQtMainThreadWaker();
  }

  std::shared_ptr<TModulSearch> MakeSearch() {
    auto search = TModulSearch::Create(List, *Ifc);
    search->GapMs = 0;
    search->OnProgress = [this](const std::string& text) { Progress.push_back(text); };
    search->OnAnswer = [this](const std::string& text) { Answers.push_back(text); };
    search->OnModulAdded = [this](TModulsItem* item) {
      AddedSeen.push_back(item->Modul->AdresseText() + " " + item->Modul->Firmware);
    };
    return search;
  }

  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TModulsList List{&Clock};
  TRS485IFC* Ifc = nullptr;
  std::vector<std::string> Progress;
  std::vector<std::string> Answers;
  std::vector<std::string> AddedSeen;
};

TEST_F(ModuleSearchTest, FindsNewCardsInAddressOrderAndSkipsKnownOnes) {
  TModulsItem* known = List.AddModul("TMXB01", Ifc, 0x1E);
  ASSERT_NE(known, nullptr);
  known->Modul->Firmware = "old";
  Ifc->SetActive(true);
  ASSERT_TRUE(Ifc->Active());

  auto search = MakeSearch();
  ASSERT_EQ(search->Run(), TModulSearch::srDone);

  struct {
    const char* Address;
    const char* Class;
    const char* Firmware;
  } expected[] = {{"$31", "TMXB02", "MXB2.1.3"},        {"$40", "TRS485Dummy", "QQ7.0.1"},
                  {"$64", "TIFCPorts", "IFCPORTS.2.0"}, {"$65", "THDX01", "HDX01.1.3"},
                  {"$66", "TMXB02", "MXB02.1.5"},       {"$7F", "TIFCPorts", "IFC485PX8.1.0"}};
  ASSERT_EQ(search->Added.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    TBaseModul* modul = search->Added[i]->Modul;
    EXPECT_EQ(modul->AdresseText(), expected[i].Address);
    EXPECT_STREQ(modul->ClassName(), expected[i].Class);
    EXPECT_EQ(modul->Firmware, expected[i].Firmware);
    EXPECT_FALSE(modul->Aktiv);
    // The window hears of each item before its firmware text is set.
    EXPECT_EQ(AddedSeen[i], std::string(expected[i].Address) + " ");
  }
  EXPECT_EQ(known->Modul->Firmware, "old");
  EXPECT_EQ(Ifc->Count(), 7);

  ASSERT_EQ(Progress.size(), 256u);
  EXPECT_EQ(Progress.front(), "$00");
  EXPECT_EQ(Progress.back(), "$FF");
  // Accepted answers only, without CR; the one with a blank before "[" is not among them.
  EXPECT_EQ(Answers.size(), 8u);
  EXPECT_EQ(Answers.front(), "#1E01[MXB01.2.1]\n");
  EXPECT_EQ(search->SearchAnswers.back(), "End of Modulsuche");
  // Without the resynchronisation prefix that every 30th line carries.
  std::vector<std::string> writes = Bus.Writes();
  for (std::string& w : writes)
    w = w.substr(w.rfind('\r') + 1);
  const auto last = std::find(writes.begin(), writes.end(), "?FF010000");
  ASSERT_NE(last, writes.end());
  EXPECT_NE(std::find(last, writes.end(), "End of Modulsuche"), writes.end());

  auto again = MakeSearch();
  ASSERT_EQ(again->Run(), TModulSearch::srDone);
  EXPECT_TRUE(again->Added.empty());
  EXPECT_EQ(Ifc->Count(), 7);
}

TEST_F(ModuleSearchTest, DeveloperRangeStopsAtHex79) {
  Ifc->SetActive(true);
  auto search = MakeSearch();
  search->LastAddress = 0x79;
  ASSERT_EQ(search->Run(), TModulSearch::srDone);
  EXPECT_EQ(Progress.size(), 0x7Au);
  EXPECT_EQ(search->Added.size(), 6u);  // all but $7F, which is out of reach
  for (const std::string& written : Bus.Writes())
    EXPECT_EQ(written.find("?7A01"), std::string::npos) << written;
}

TEST_F(ModuleSearchTest, GivesUpAfterTheLimitWithOneReport) {
  Ifc->SetActive(true);
  auto search = MakeSearch();
  search->GapMs = 20;
  std::vector<uint32_t> waits;
  // Time runs out before anything came back.
  search->Wait = [&](const std::function<bool()>&, uint32_t ms) {
    waits.push_back(ms);
    return false;
  };
  EXPECT_EQ(search->Run(), TModulSearch::srGaveUp);
  ASSERT_EQ(waits.size(), 257u);
  EXPECT_EQ(waits.front(), 20u);  // the gap between two queries
  EXPECT_EQ(waits.back(), 64250u);
  EXPECT_TRUE(search->Added.empty());
  MainThread().PumpPending();
  EXPECT_EQ(Sink.Count("Modulsuche IFC(0) abgebrochen: Suchende nicht innerhalb von 64250 ms "
                       "zurück, keine Module übernommen. "),
            1u);
}

TEST_F(ModuleSearchTest, GivesUpWhenTheInterfaceDropsItsConnection) {
  Ifc->SetActive(true);
  auto search = MakeSearch();
  search->Wait = [&](const std::function<bool()>& condition, uint32_t ms) {
    if (ms > 1000) Ifc->SetActive(false);  // the user unticks "Connect" while it waits
    return condition();
  };
  EXPECT_EQ(search->Run(), TModulSearch::srGaveUp);
  EXPECT_EQ(Sink.Count("Modulsuche IFC(0) abgebrochen: Interface nicht mehr verbunden"), 1u);
}

TEST_F(ModuleSearchTest, RefusesWithoutConnectionOrWhileBusyAndStopsWhenCancelled) {
  auto search = MakeSearch();
  EXPECT_EQ(search->Run(), TModulSearch::srNotConnected);
  Ifc->SetActive(true);
  {
    TWorkflowGuard other(Ifc, "Adressänderung");
    EXPECT_EQ(search->Run(), TModulSearch::srBusy);
    EXPECT_EQ(TWorkflowGuard::BusyText(Ifc), "IFC(0) ist beschäftigt: Adressänderung läuft noch. ");
  }
  EXPECT_TRUE(Progress.empty());
  search->Wait = [](const std::function<bool()>& condition, uint32_t) {
    TWorkflowGuard::CancelAll();
    return condition();
  };
  EXPECT_EQ(search->Run(), TModulSearch::srCancelled);
  EXPECT_EQ(Progress.size(), 1u);
  EXPECT_FALSE(TWorkflowGuard::IsBusy(Ifc));
}

}  // namespace
