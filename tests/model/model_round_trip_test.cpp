// What the program writes into a model file, it reads back: randomly generated models over the
// whole range of every saved field are saved, loaded and compared.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "model/ini_file.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/files.h"

namespace {

// Code points a user's note may hold: the characters the file format gives a meaning to, blanks
// and tabs, Latin-1, the Windows-1252 specials and its five holes, C1 and other controls, and
// characters Windows-1252 does not have (which make the file UTF-8).
const std::vector<char32_t> kPool = {
    U'a',    U'Z',    U'0', U'9',  U' ',  U'\t',   U'=',     U'[',      U']',    U';',
    U'"',    U'\'',   U'$', U'\\', U'/',  U'#',    U'%',     U'&',      U'\x01', U'\x1F',
    U'\x7F', U'ä',    U'Ö', U'ß',  U'é',  U'\xA0', U'ÿ',     U'Ã',      U'¤',    U'©',
    U'€',    U'‚',    U'ƒ', U'„',  U'…',  U'™',    U'Ÿ',     U'\x81',   U'\x8D', U'\x9D',
    U'\x80', U'\x85', U'Ω', U'Ж',  U'中', U'→',    U'\x301', U'\xFEFF', U'😀',    U'\x10FFFF'};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class TModelGenerator {
 public:
  explicit TModelGenerator(uint32_t seed) : FRandom(seed) {}
  // Texts of ASCII only, but for the odd "Ã¤".
  void SetPlain(bool plain) { FPlain = plain; }

  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }
  bool Coin() { return Between(0, 1) == 1; }

  // A text of up to `length` characters from the pool; `raw` also lets line breaks in and leaves
  // blanks at the ends, as a pasted text may have them.
  std::string Text(int length, bool raw = false) {
    std::string out;
    const int n = Between(0, length);
    // In plain models the pool's first 18 characters only (ASCII), so that the odd "Ã¤" below is
    // all the file holds beyond ASCII.
    const int last = FPlain ? 17 : static_cast<int>(kPool.size()) - 1;
    for (int i = 0; i < n; ++i) {
      if (raw && Between(0, 9) == 0)
        out += "\r\n"[Between(0, 1)];
      else
        AppendUtf8(out, kPool[static_cast<std::size_t>(Between(0, last))]);
    }
    // Now and then the byte pair "Ã¤" alone, which Windows-1252 and UTF-8 read differently.
    if (Between(0, 15) == 0) out = "Ã¤";
    return raw ? out : StorableText(out);
  }

  // 32-bit values, the ends of the range among them.
  uint32_t Unsigned() {
    switch (Between(0, 4)) {
      case 0:
        return 0;
      case 1:
        return std::numeric_limits<uint32_t>::max();
      default:
        return std::uniform_int_distribution<uint32_t>()(FRandom);
    }
  }
  int32_t Signed() { return static_cast<int32_t>(Unsigned()); }

  std::string ClassName() {
    static const char* const kNames[] = {"THDX01",      "TMXB01", "TMXB02", "TIFCPorts",
                                         "TRS485Dummy", "TGBM16", "Tx",     "TWeiche_Süd"};
    return kNames[Between(0, FPlain ? 6 : 7)];
  }

  // Fills the list with `interfaces` interfaces of random settings, each with random modules.
  void Fill(TModulsList& list, int interfaces, bool rawNotes = false) {
    for (int i = 0; i < interfaces; ++i) {
      TRS485IFC& ifc = *list.AddIFC("TRS485IFC")->IFC;
      ifc.Adresse = Signed();
      ifc.SetPort(Coin() ? "COM" + std::to_string(Between(1, 256)) : Text(12));
      if (Coin()) {
        ifc.SetUsbIdentity({static_cast<uint16_t>(Between(0, 0xFFFF)),
                            static_cast<uint16_t>(Between(0, 0xFFFF)),
                            Coin() ? "" : "A" + std::to_string(Between(0, 99999999))});
        if (Coin()) ifc.SetUsbSocket(std::to_string(Between(1, 9)) + "-" + Text(6));
      }
      ifc.SetBaud(Unsigned());
      ifc.SetEnabled(Coin());
      ifc.Hinweis = Text(40, rawNotes);
      ifc.SetTimeout(Unsigned());
      ifc.SetPollPriority(std::max<uint32_t>(Unsigned(), 1));
      std::set<int> taken;
      const int modules = Between(0, 12);
      for (int m = 0; m < modules; ++m) {
        int address = Between(0, 255);
        while (!taken.insert(address).second)
          address = Between(0, 255);
        TModulsItem* item = list.AddModul(ClassName(), &ifc, address);
        ASSERT_NE(item, nullptr);
        item->Modul->SetEnabled(Coin());
        item->Modul->SetPolling(Coin());
        item->Modul->Bezeichnung = Text(30, rawNotes);
        item->Modul->Hinweis = Text(40, rawNotes);
      }
    }
  }

 private:
  std::mt19937 FRandom;
  bool FPlain = false;
};

TBaseModul* ModulOf(const TRS485IFC& ifc, int j) {
  return dynamic_cast<TBaseModul*>(ifc.Item(j));
}

// Compares what the file holds of two models; `expected` maps a saved text to what a load gives.
void ExpectSameModel(const TModulsList& saved, const TModulsList& loaded,
                     std::string (*expected)(const std::string&)) {
  ASSERT_EQ(loaded.IFCCount(), saved.IFCCount());
  for (int i = 0; i < saved.IFCCount(); ++i) {
    const TRS485IFC& a = *saved.IFCByIndex(i);
    const TRS485IFC& b = *loaded.IFCByIndex(i);
    SCOPED_TRACE("interface " + std::to_string(i));
    EXPECT_EQ(b.IfcNumber(), i);
    EXPECT_EQ(b.Adresse, a.Adresse);
    EXPECT_EQ(b.Port(), a.Port());
    EXPECT_EQ(b.UsbIdentity(), a.UsbIdentity());
    EXPECT_EQ(b.UsbSocket(), a.UsbSocket());
    EXPECT_EQ(b.Baud(), a.Baud());
    EXPECT_EQ(b.Enabled(), a.Enabled());
    EXPECT_EQ(b.Hinweis, expected(a.Hinweis));
    EXPECT_EQ(b.Timeout(), a.Timeout());
    EXPECT_EQ(b.PollPriority(), a.PollPriority());
    ASSERT_EQ(b.Count(), a.Count());
    for (int j = 0; j < a.Count(); ++j) {
      SCOPED_TRACE("module " + std::to_string(j));
      const TBaseModul& x = *ModulOf(a, j);
      const TBaseModul& y = *ModulOf(b, j);
      EXPECT_EQ(y.ModelClassName(), x.ModelClassName());
      EXPECT_STREQ(y.ClassName(), x.ClassName());
      EXPECT_EQ(y.Adresse, x.Adresse);
      EXPECT_EQ(y.Enabled, x.Enabled);
      EXPECT_EQ(y.Polling, x.Polling);
      EXPECT_EQ(y.Bezeichnung, expected(x.Bezeichnung));
      EXPECT_EQ(y.Hinweis, expected(x.Hinweis));
    }
  }
}

std::string Unchanged(const std::string& text) {
  return text;
}

class ModelRoundTripTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return Dir.path().toStdString() + "/" + name; }
  QTemporaryDir Dir;
  TRecordingSink Sink;
};

TEST_F(ModelRoundTripTest, EveryValueTheProgramHoldsSurvivesSaveAndLoad) {
  TModelGenerator generate(20260512);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TModulsList saved;
    generate.SetPlain(round % 4 == 1);
    // The last rounds have many interfaces.
    generate.Fill(saved, round < 36 ? generate.Between(0, 8) : generate.Between(150, 400));
    if (HasFatalFailure()) return;
    TModelHeader header;
    header.Caption = generate.Text(20);
    header.Description = generate.Text(40);
    const std::string file = Path("runde" + std::to_string(round) + ".INI");
    ASSERT_TRUE(SaveModelFile(saved, file, header, "test: "));

    TModulsList loaded;
    TModelHeader back;
    ASSERT_TRUE(LoadModelFile(loaded, file, back));
    EXPECT_EQ(back, header);
    ExpectSameModel(saved, loaded, Unchanged);
    EXPECT_FALSE(loaded.Modified(back));

    // Saving the loaded model changes nothing but the header's trailing blank, which every load
    // takes away; from then on each save writes the same bytes.
    std::string second, third;
    ASSERT_TRUE(SaveModelFile(loaded, file, back, "test: "));
    ASSERT_TRUE(ReadFileBytes(file, second));
    TModulsList again;
    ASSERT_TRUE(LoadModelFile(again, file, back));
    ASSERT_TRUE(SaveModelFile(again, file, back, "test: "));
    ASSERT_TRUE(ReadFileBytes(file, third));
    EXPECT_TRUE(third == second) << "second and third save differ";
  }
  EXPECT_TRUE(Sink.Lines().empty()) << Sink.Lines().front();
}

std::string AsStored(const std::string& text) {
  return StorableText(text);
}

// Texts with line breaks and blanks at the ends cannot be held by the file as they are: they come
// back on one line and trimmed, and never break the file's structure.
TEST_F(ModelRoundTripTest, TextsWithLineBreaksComeBackOnOneLineAndBreakNothing) {
  TModelGenerator generate(77);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TModulsList saved;
    generate.Fill(saved, generate.Between(1, 10), true);
    if (HasFatalFailure()) return;
    // A note that tries to start a section of its own.
    if (TModulsItem* item = saved.IFCItem(0))
      item->IFC->Hinweis = "x\r\n[Modul_0_99]\r\nAdresse=$77\r\nClassName=TMXB01";
    const std::string file = Path("roh" + std::to_string(round) + ".INI");
    ASSERT_TRUE(SaveModelFile(saved, file, TModelHeader(), "test: "));
    TModulsList loaded;
    TModelHeader back;
    ASSERT_TRUE(LoadModelFile(loaded, file, back));
    ExpectSameModel(saved, loaded, AsStored);
    TIniFile ini;
    ASSERT_TRUE(ini.LoadFromFile(file));
    EXPECT_FALSE(ini.SectionExists("Modul_0_99"));
  }
}

TEST_F(ModelRoundTripTest, NegativeInterfaceAddressAndUnknownClassNamesAsInTheFile) {
  const std::string file = Path("alt.INI");
  WriteFileAtomically(file,
                      "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nModulCount=3\r\nIFCNr=0\r\n"
                      "Adresse=$FFFFFFFF\r\n\r\n"
                      "[Modul_0_0]\r\nAdresse=$40\r\nClassName= TGBM16 \r\n\r\n"
                      "[Modul_0_1]\r\nAdresse=$41\r\nClassName=trs485dummy\r\n\r\n"
                      "[Modul_0_2]\r\nAdresse=$42\r\nClassName=tmxb2\r\n\r\n");
  TModulsList list;
  ASSERT_TRUE(list.Load_FromFile(file));
  TRS485IFC& ifc = *list.IFCByIndex(0);
  EXPECT_EQ(ifc.Adresse, -1);
  ASSERT_EQ(ifc.Count(), 3);
  EXPECT_STREQ(ModulOf(ifc, 0)->ClassName(), "TRS485Dummy");
  EXPECT_EQ(ModulOf(ifc, 0)->ModelClassName(), "TGBM16");
  EXPECT_EQ(ModulOf(ifc, 1)->ModelClassName(), "trs485dummy");
  EXPECT_EQ(ModulOf(ifc, 2)->ModelClassName(), "TMXB02") << "a known alias is written as the type";
  // A card the search finds as unknown is still written as "TRS485Dummy".
  EXPECT_EQ(list.AddModul("TRS485Dummy", &ifc, 0x43)->Modul->ModelClassName(), "TRS485Dummy");

  ASSERT_TRUE(list.Save_ToFile(file));
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(file));
  EXPECT_EQ(ini.ReadString("Settings_IFK0", "Adresse", ""), "$FFFFFFFF");
  EXPECT_EQ(ini.ReadString("Modul_0_0", "ClassName", ""), "TGBM16");
  EXPECT_EQ(ini.ReadString("Modul_0_1", "ClassName", ""), "trs485dummy");
  EXPECT_EQ(ini.ReadString("Modul_0_2", "ClassName", ""), "TMXB02");
  EXPECT_EQ(ini.ReadString("Modul_0_3", "ClassName", ""), "TRS485Dummy");
  EXPECT_TRUE(Sink.Lines().empty());
}

}  // namespace
