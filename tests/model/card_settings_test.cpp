// The cards' settings as the backup file names them: the file's round trip, checking and
// comparing tables of settings, and exactly which lines a restore writes for each card type.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "model/card_config_file.h"
#include "model/card_settings.h"
#include "modules/hdx01.h"
#include "modules/module_factory.h"
#include "modules/mxb01.h"
#include "modules/mxb02.h"
#include "support/files.h"

namespace {

TCardSettings With(TCardSettings settings, const std::string& key, const std::string& value) {
  for (TCardSetting& s : settings)
    if (s.Key == key) s.Value = value;
  return settings;
}

TCardSettings Without(TCardSettings settings, const std::string& key) {
  std::erase_if(settings, [&](const TCardSetting& s) { return s.Key == key; });
  return settings;
}

// What a module's image gives as settings.
template <class TModule>
TCardSettings ImageOf(const TModule& m) {
  return CardSettingsTypeOf(m)->FromImage(m);
}

TEST(CardConfigFileTest, RoundTripKeepsSectionsInPlaceAndTheModelsEncoding) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string name = dir.path().toStdString() + "/Anlage.Karten.ini";
  TMXB02 mxb02(nullptr, 0x32);
  mxb02.Invertiert = 0x0008;
  mxb02.TVTrigger1[3] = 12;
  THDX01 hdx01(nullptr, 0x20);
  hdx01.SenZuord = {1, 1, 2, 2, 3, 3, 4, 4};
  hdx01.SensorStop[4] = 1;
  const TCardBackup first{"IFC0_$32",    "TMXB02",      "MXB02.1.5", "2024-05-04 18:30:12",
                          "Weichen Süd", ImageOf(mxb02)};
  const TCardBackup second{"IFC1_$20", "THDX01",      "HDX01.1.3", "2024-05-04 18:30:13",
                           "",         ImageOf(hdx01)};

  TCardConfigFile file;
  file.SetText("[Notiz]\r\nText=von Hand\r\n");
  file.Put(first);
  file.Put(second);
  file.Save(name);

  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(name, bytes));
  // Windows-1252 on disk, as the model file; readable keys.
  EXPECT_NE(bytes.find("Bezeichnung=Weichen S\xFC"
                       "d\r\n"),
            std::string::npos);
  for (const char* line : {"[IFC0_$32]\r\nKlasse=TMXB02\r\nFirmware=MXB02.1.5\r\n",
                           "Port03.Invertiert=1\r\n", "Port03.Impuls1=12\r\n",
                           "Port03.Impuls2=8\r\n", "LS5.Fahrregler=3\r\n", "LS5.Stop=BSTOP\r\n"})
    EXPECT_NE(bytes.find(line), std::string::npos) << line;

  TCardConfigFile loaded;
  ASSERT_TRUE(loaded.Load(name));
  const std::vector<TCardBackup> cards = loaded.Cards();
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0], first);
  EXPECT_EQ(cards[1], second);
  EXPECT_EQ(loaded.Card("ifc1_$20"), second);  // names match without regard to case
  EXPECT_FALSE(loaded.Card("Notiz"));          // no card section

  // A new backup of a card replaces its section where it stands; keys it no longer has go.
  TCardBackup again = first;
  again.Settings = {{"Port00.Invertiert", "1"}};
  again.Bezeichnung.clear();
  loaded.Put(again);
  const std::string text = loaded.Text();
  EXPECT_LT(text.find("[Notiz]"), text.find("[IFC0_$32]"));
  EXPECT_LT(text.find("[IFC0_$32]"), text.find("[IFC1_$20]"));
  EXPECT_EQ(text.find("Port03.Invertiert"), std::string::npos);
  EXPECT_EQ(loaded.Card("IFC0_$32"), again);
}

// A card's firmware text comes from the bus as it arrived; a byte the line garbled (no UTF-8)
// must not turn the other texts of the backup file into two characters each when it is read
// back, however often the file is backed up again.
TEST(CardConfigFileTest, AGarbledByteFromTheBusSpoilsNoOtherText) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string name = dir.path().toStdString() + "/Anlage.Karten.ini";
  TMXB02 mxb02(nullptr, 0x32);
  const TCardBackup named{"IFC0_$32",    "TMXB02",      "MXB02.1.5", "2024-05-04 18:30:12",
                          "Weichen Süd", ImageOf(mxb02)};
  TCardBackup garbled = named;
  garbled.Section = "IFC0_$33";
  garbled.Firmware = "MXB02.1\xB5";
  garbled.Bezeichnung.clear();
  for (int round = 0; round < 3; ++round) {
    TCardConfigFile file;
    ASSERT_TRUE(file.Load(name));
    file.Put(named);
    file.Put(garbled);
    file.Save(name);
  }
  TCardConfigFile loaded;
  ASSERT_TRUE(loaded.Load(name));
  ASSERT_TRUE(loaded.Card("IFC0_$32"));
  EXPECT_EQ(loaded.Card("IFC0_$32")->Bezeichnung, "Weichen Süd");
  ASSERT_TRUE(loaded.Card("IFC0_$33"));
  // The garbled byte comes back as the character it is in Windows-1252.
  EXPECT_EQ(loaded.Card("IFC0_$33")->Firmware, "MXB02.1µ");
}

TEST(CardConfigFileTest, SectionAndDefaultNames) {
  EXPECT_EQ(CardSectionName(0, 0x1E), "IFC0_$1E");
  EXPECT_EQ(CardSectionName(12, 5), "IFC12_$05");
  EXPECT_EQ(DefaultCardConfigFile("/home/u/Modell1/Modell1.INI"),
            "/home/u/Modell1/Modell1.Karten.ini");
  EXPECT_EQ(DefaultCardConfigFile("Garten"), "Garten.Karten.ini");
}

TEST(CardSettingsTest, TypesOfTheCardsThatKeepSettings) {
  struct {
    const char* Class;
    const char* Type;
    std::size_t Keys;
    bool Stores;
  } cases[] = {{"TMXB01", "TMXB01", 1, false},     {"tmxb2", "TMXB02", 80, true},
               {"THDX01", "THDX01", 16, false},    {"TIFCPorts", nullptr, 0, false},
               {"TRS485Dummy", nullptr, 0, false}, {"TXYZ", nullptr, 0, false}};
  for (const auto& c : cases) {
    const TCardSettingsType* type = CardSettingsTypeOf(c.Class);
    ASSERT_EQ(type != nullptr, c.Type != nullptr) << c.Class;
    if (!type) continue;
    EXPECT_STREQ(type->ClassName(), c.Type);
    EXPECT_EQ(type->Keys().size(), c.Keys) << c.Class;
    EXPECT_EQ(type->NeedsStore(), c.Stores) << c.Class;
  }
  // A module of unknown type never passes for one with settings, whatever it is called.
  auto dummy = CreateModulByClassName("TMXB03", nullptr, 1);
  EXPECT_EQ(CardSettingsTypeOf(*dummy), nullptr);
}

TEST(CardSettingsTest, CheckingWantedSettings) {
  TMXB01 mxb01(nullptr, 0x1E);
  mxb01.TVTrigger.fill(250);
  TMXB02 mxb02(nullptr, 0x32);
  THDX01 hdx01(nullptr, 0x20);
  hdx01.SenZuord = {1, 2, 3, 4, 1, 2, 3, 4};
  const TCardSettings t1 = ImageOf(mxb01), t2 = ImageOf(mxb02), th = ImageOf(hdx01);
  struct {
    const char* Class;
    TCardSettings Wanted;
    const char* Fault = nullptr;  // nullptr: accepted
    const char* Key = nullptr;    // accepted: this key's canonical value
    const char* Value = nullptr;
  } cases[] = {
      {"TMXB01", t1, nullptr, "Impulszeit", "250"},
      {"TMXB01", With(t1, "Impulszeit", "$1F4"), nullptr, "Impulszeit", "500"},
      {"TMXB01", With(t1, "Impulszeit", "65536"), "Impulszeit=65536 ist kein gültiger Wert"},
      {"TMXB01", With(t1, "Impulszeit", "-1"), "Impulszeit=-1 ist kein gültiger Wert"},
      {"TMXB01", {}, "Impulszeit fehlt"},
      {"TMXB02", With(t2, "Port03.Impuls1", " 0x0C "), nullptr, "Port03.Impuls1", "12"},
      {"TMXB02", With(t2, "Port15.MF", "2"), "Port15.MF=2 ist kein gültiger Wert"},
      {"TMXB02", With(t2, "Port00.Impuls2", "256"), "Port00.Impuls2=256 ist kein gültiger Wert"},
      {"TMXB02", With(t2, "Port07.BL", "ja"), "Port07.BL=ja ist kein gültiger Wert"},
      {"TMXB02", Without(t2, "Port09.Invertiert"), "Port09.Invertiert fehlt"},
      {"THDX01", With(th, "LS5.Stop", " bstop"), nullptr, "LS5.Stop", "BSTOP"},
      {"THDX01", With(th, "LS5.Stop", "HALT"), "LS5.Stop=HALT ist kein gültiger Wert"},
      {"THDX01", With(th, "LS8.Fahrregler", "5"), "LS8.Fahrregler=5 ist kein gültiger Wert"},
      {"THDX01", With(th, "LS1.Fahrregler", "0"), "LS1.Fahrregler=0 ist kein gültiger Wert"},
  };
  for (const auto& c : cases) {
    const TCardSettingsType& type = *CardSettingsTypeOf(c.Class);
    std::string fault;
    const std::optional<TCardSettings> checked = CheckSettings(type, c.Wanted, fault);
    if (c.Fault) {
      EXPECT_FALSE(checked) << c.Fault;
      EXPECT_EQ(fault, c.Fault);
      continue;
    }
    ASSERT_TRUE(checked) << fault;
    ASSERT_EQ(checked->size(), type.Keys().size());
    EXPECT_EQ(SettingValue(*checked, c.Key), c.Value) << c.Key;
  }
  // Keys match without regard to case and come back in the type's order.
  TCardSettings reversed(th.rbegin(), th.rend());
  reversed.front().Key = "ls8.STOP";
  std::string fault;
  EXPECT_EQ(CheckSettings(*CardSettingsTypeOf("THDX01"), reversed, fault), th);
}

TEST(CardSettingsTest, ComparingTablesOfSettings) {
  TMXB02 card(nullptr, 0x32);
  const TCardSettingsType& type = *CardSettingsTypeOf(card);
  const TCardSettings onCard = ImageOf(card);
  struct {
    TCardSettings Wanted;
    std::vector<TSettingDifference> Expected;
  } cases[] = {
      {onCard, {}},
      // The same value in another form is no difference.
      {With(onCard, "Port03.Impuls1", "$03"), {}},
      {With(With(onCard, "Port03.Invertiert", "0"), "Port10.Impuls2", "12"),
       {{"Port03.Invertiert", "0", "1"}, {"Port10.Impuls2", "12", "8"}}},
      {Without(onCard, "Port00.BL"), {{"Port00.BL", "", "0"}}},
      {With(onCard, "Port01.MF", "x"), {{"Port01.MF", "x", "0"}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CompareSettings(type, c.Wanted, onCard), c.Expected);
  // Keys the type does not know are no settings.
  TCardSettings extra = onCard;
  extra.push_back({"Port16.BL", "1"});
  EXPECT_TRUE(CompareSettings(type, extra, onCard).empty());
}

// The lines a restore sends for settings that differ from the image (which holds what the card
// reported): only those, through the module's own operations, also while it is not live.
TEST(CardSettingsTest, WritesOnlyTheDifferingSettings) {
  struct TCase {
    const char* Name;
    std::unique_ptr<TBaseModul> Modul;
    std::vector<std::pair<std::string, std::string>> Changes;
    std::vector<std::string> Lines;
    std::vector<std::string> Written;
  };
  std::vector<TCase> cases;
  cases.push_back({"type 1",
                   std::make_unique<TMXB01>(nullptr, 0x1E),
                   {{"Impulszeit", "300"}},
                   {"!1E50012C"},
                   {"Impulszeit"}});
  cases.push_back({"type 1, same", std::make_unique<TMXB01>(nullptr, 0x1E), {}, {}, {}});
  cases.push_back({"type 2",
                   std::make_unique<TMXB02>(nullptr, 0x32),
                   {{"Port03.Invertiert", "0"},
                    {"Port04.Invertiert", "0"},
                    {"Port15.MF", "1"},
                    {"Port07.Impuls1", "12"},
                    {"Port09.Impuls2", "20"},
                    {"Port09.Impuls1", "4"}},
                   // Whole words for the flags, both pulse times of an output in one line.
                   {"!320AFFE7", "!320C8000", "!32870C08", "!32890414"},
                   {"Port03.Invertiert", "Port04.Invertiert", "Port15.MF", "Port07.Impuls1",
                    "Port09.Impuls1", "Port09.Impuls2"}});
  cases.push_back({"throttle",
                   std::make_unique<THDX01>(nullptr, 0x20),
                   {{"LS5.Fahrregler", "3"}, {"LS1.Stop", "FSTOP"}, {"LS8.Stop", "BSTOP"}},
                   {"!20530503", "!20520103", "!20520801"},
                   {"LS5.Fahrregler", "LS1.Stop", "LS8.Stop"}});
  for (TCase& c : cases) {
    TBaseModul& modul = *c.Modul;
    if (auto* hdx = dynamic_cast<THDX01*>(&modul)) hdx->SenZuord = {1, 1, 2, 2, 2, 3, 4, 4};
    const TCardSettingsType& type = *CardSettingsTypeOf(modul);
    TCardSettings wanted = type.FromImage(modul);
    for (const auto& [key, value] : c.Changes)
      wanted = With(wanted, key, value);
    std::string fault;
    const std::optional<TCardSettings> checked = CheckSettings(type, wanted, fault);
    ASSERT_TRUE(checked) << c.Name << ": " << fault;

    std::vector<std::string> lines;
    std::vector<std::string> written;
    ASSERT_FALSE(modul.Aktiv);
    modul.RouteCommands(
        [&](const std::string& text, TAnswerHandler handler) {
          EXPECT_TRUE(handler) << "the module decodes the answers itself";
          lines.push_back(text);
          return true;
        },
        [&] { written = type.WriteDiffering(modul, *checked); });
    EXPECT_EQ(lines, c.Lines) << c.Name;
    EXPECT_EQ(written, c.Written) << c.Name;
    // The switch cards' images hold what was written at once; the throttle card's follows the
    // card's answers.
    if (!dynamic_cast<THDX01*>(&modul)) {
      EXPECT_TRUE(CompareSettings(type, *checked, type.FromImage(modul)).empty()) << c.Name;
    }
  }
}

}  // namespace
