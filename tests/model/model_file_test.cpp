#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <utility>
#include <vector>

#include "bus/bus_interface.h"
#include "fakes/recording_sink.h"
#include "model/card_config_file.h"
#include "model/ini_file.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
  return bytes;
}

class ModelFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return Dir.path().toStdString() + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) {
    WriteFileAtomically(Path(name), text);
    return Path(name);
  }
  TBaseModul* Modul(int ifc, int index) {
    return dynamic_cast<TBaseModul*>(List.IFCByIndex(ifc)->Item(index));
  }
  QTemporaryDir Dir;
  TRecordingSink Sink;
  TModulsList List;
};

TEST_F(ModelFileTest, ExampleLoadsAndSavesBackApartFromTrailingBlanks) {
  const std::string example = ReadAll(KAVOR_TEST_DATA_DIR "/example_model.ini");
  const std::string copy = Write("Modell1.INI", example);
  List.Load_FromFile(copy);
  ASSERT_EQ(List.IFCCount(), 1);
  TRS485IFC* ifc = List.IFCByIndex(0);
  EXPECT_EQ(ifc->Port(), "COM1");
  EXPECT_EQ(ifc->Baud(), 19200u);
  EXPECT_TRUE(ifc->Enabled());
  EXPECT_FALSE(ifc->Active()) << "loading connects nothing";
  EXPECT_EQ(ifc->Bezeichnung, "") << "read but never written";
  ASSERT_EQ(ifc->Count(), 1);
  EXPECT_STREQ(Modul(0, 0)->ClassName(), "TMXB01");
  EXPECT_EQ(Modul(0, 0)->Adresse, 0x31);
  EXPECT_EQ(Modul(0, 0)->Bezeichnung, "Weichen West");
  EXPECT_TRUE(Modul(0, 0)->Polling);

  List.Save_ToFile(copy);
  std::string expected = example;
  expected.replace(expected.find("Model \r\n"), 8, "Model\r\n");
  expected.replace(expected.find("Modellbahn \r\n"), 13, "Modellbahn\r\n");
  EXPECT_EQ(ReadAll(copy), expected);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(ModelFileTest, SaveChangesTheExtensionLoadTakesTheNameAsItIs) {
  List.AddIFC("TRS485IFC");
  List.Save_ToFile(Path("layout.txt"));
  EXPECT_TRUE(FileExists(Path("layout.INI")));
  EXPECT_FALSE(FileExists(Path("layout.txt")));
  Write("other.txt", ReadAll(Path("layout.INI")));
  TModulsList loaded;
  loaded.Load_FromFile(Path("other.txt"));
  EXPECT_EQ(loaded.IFCCount(), 1);
}

TEST_F(ModelFileTest, SaveRenumbersInterfacesAndKeepsForeignSectionsInPlace) {
  Write("m.INI",
        "[]\r\nVersion=x\r\n\r\n[Fremd]\r\nA=1\r\n\r\n[Settings_IFK7]\r\nClassName=alt\r\n\r\n"
        "[modul_7_0]\r\nAdresse=$01\r\n\r\n[Ende]\r\nB=2\r\n\r\n");
  TRS485IFC* a = List.AddIFC("TRS485IFC")->IFC;
  TRS485IFC* b = List.AddIFC("TRS485IFC")->IFC;
  a->SetIfcNumber(2);
  b->SetIfcNumber(5);
  List.AddModul("TMXB01", a, 0x1E);
  List.AddModul("THDX01", b, 0x20);
  List.Save_ToFile(Path("m.INI"));
  EXPECT_EQ(a->IfcNumber(), 0);
  EXPECT_EQ(b->IfcNumber(), 1);
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(Path("m.INI")));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"", "Fremd", "Ende", "Settings_IFK0",
                                                      "Settings_IFK1", "Modul_0_0", "Modul_1_0"}));
  EXPECT_EQ(ini.ReadInteger("Settings_IFK1", "IFCNr", -1), 1);
  EXPECT_EQ(ini.ReadString("Modul_1_0", "ClassName", ""), "THDX01");
  EXPECT_EQ(ini.ReadString("Modul_1_0", "Adresse", ""), "$20");
  const std::string first = ReadAll(Path("m.INI"));
  List.Save_ToFile(Path("m.INI"));
  EXPECT_EQ(ReadAll(Path("m.INI")), first) << "saving twice gives the same file";
}

TEST_F(ModelFileTest, LoadRules) {
  const std::string file = Write(
      "rules.INI",
      "[Settings_IFK0]\r\nClassName= TRS485IFC \r\nIFCNr=0\r\nModulCount=3\r\nBaud=9600\r\n"
      "Hinweis=  Notiz mit Blanks  \r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$10\r\nClassName=tmxb2\r\n\r\n"
      "[Modul_0_2]\r\nAdresse=$12\r\nClassName=TMXB01\r\nIFCNr=0\r\nEnabled=0\r\nPolling=0\r\n\r\n"
      "[Modul_0_3]\r\nAdresse=$13\r\nClassName=TMXB01\r\n\r\n"
      "[Modul_0_1]\r\nAdresse=$11\r\nClassName=TMXB01\r\nIFCNr=4\r\n\r\n"
      "[settings_ifk1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n\r\n"
      "[Settings_IFK2]\r\nClassName=TSer485BusIFC\r\nIFCNr=0\r\nModulCount=1\r\nEnabled=-1\r\n"
      "Timeout=500\r\nPollPriority=0\r\n\r\n"
      "[Settings_IFK3]\r\nClassName=Fremd\r\nIFCNr=3\r\n\r\n"
      "[Settings_IFK4]\r\nClassName=TRS485IFC\r\n\r\n");
  List.Load_FromFile(file);
  // "settings_ifk1" is not in the exact spelling; IFK3 has a foreign class; IFK4 has no number.
  ASSERT_EQ(List.IFCCount(), 2);
  TRS485IFC* first = List.IFCByIndex(0);
  TRS485IFC* second = List.IFCByIndex(1);
  EXPECT_FALSE(first->Enabled()) << "a missing Enabled means not available";
  EXPECT_EQ(first->Hinweis, "Notiz mit Blanks");
  EXPECT_EQ(first->Timeout(), 200u);
  EXPECT_EQ(first->PollPriority(), 10u);
  // Sections 0 and 2 (1 belongs to another interface, 3 is beyond the count).
  ASSERT_EQ(first->Count(), 2);
  EXPECT_STREQ(Modul(0, 0)->ClassName(), "TMXB02");
  EXPECT_TRUE(Modul(0, 0)->Enabled);
  EXPECT_TRUE(Modul(0, 0)->Polling);
  EXPECT_EQ(Modul(0, 1)->Adresse, 0x12);
  EXPECT_FALSE(Modul(0, 1)->Enabled);
  EXPECT_FALSE(Modul(0, 1)->Polling);
  // The second interface has the same number and takes up the same first section.
  EXPECT_EQ(second->IfcNumber(), 0);
  EXPECT_TRUE(second->Enabled());
  EXPECT_EQ(second->Timeout(), 500u);
  EXPECT_EQ(second->PollPriority(), 1u);
  ASSERT_EQ(second->Count(), 1);
  EXPECT_EQ(Modul(1, 0)->Adresse, 0x10);

  List.Save_ToFile(file);
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(file));
  EXPECT_EQ(ini.ReadString("Modul_0_0", "ClassName", ""), "TMXB02");
}

TEST_F(ModelFileTest, EmptyMissingAndHugeCountFiles) {
  List.AddIFC("TRS485IFC");
  List.Load_FromFile(Path("missing.INI"));
  EXPECT_EQ(List.Count(), 0) << "the old model goes also when the file is missing";
  List.Load_FromFile(Write("empty.INI", ""));
  EXPECT_EQ(List.Count(), 0);
  List.Load_FromFile(Write("none.INI", "[Modell]\r\nName=x\r\n"));
  EXPECT_EQ(List.Count(), 0);
  List.Load_FromFile(Write("huge.INI",
                           "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n"
                           "ModulCount=9223372036854775807\r\n\r\n[Modul_0_5]\r\nAdresse=5\r\n"
                           "ClassName=TMXB01\r\n"));
  ASSERT_EQ(List.IFCCount(), 1);
  EXPECT_EQ(List.IFCByIndex(0)->Count(), 1);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(ModelFileTest, RangeErrorEndsTheLoadWithOneReportNamingFileSectionAndKey) {
  struct {
    const char* Text;
    const char* Named;
    int Interfaces;
    int Modules;
  } cases[] = {
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n\r\n"
       "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\nBaud=-9600\r\n",
       "[Settings_IFK1] Baud=-9600", 2, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nTimeout=-1\r\n",
       "[Settings_IFK0] Timeout=-1", 1, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nPollPriority=-5\r\n",
       "[Settings_IFK0] PollPriority=-5", 1, 0},
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
       "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\n\r\n"
       "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\n\r\n"
       "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n",
       "[Modul_0_1] Adresse=300", 1, 1},
      // An address beyond 255 ends the load also on a card of unknown type.
      {"[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nModulCount=1\r\n\r\n"
       "[Modul_0_0]\r\nAdresse=$100\r\nClassName=TGBM16\r\n\r\n",
       "[Modul_0_0] Adresse=$100", 1, 0},
  };
  for (const auto& c : cases) {
    Sink.Clear();
    const std::string file = Write("range.INI", c.Text);
    EXPECT_FALSE(List.Load_FromFile(file)) << c.Named;
    ASSERT_EQ(Sink.Lines().size(), 1u) << c.Named;
    const std::string line = Sink.Lines()[0];
    EXPECT_NE(line.find(file), std::string::npos) << line;
    EXPECT_NE(line.find(c.Named), std::string::npos) << line;
    // The caller learns where the load stopped, for the notice and for the next save.
    ASSERT_TRUE(List.PartialLoad()) << c.Named;
    const TLoadStop& stop = *List.PartialLoad();
    EXPECT_EQ(stop.File, file);
    EXPECT_EQ("[" + stop.Section + "] " + stop.Key + "=" + stop.Value, c.Named);
    const std::string notice = stop.Notice();
    EXPECT_EQ(notice.rfind("Das Modell wurde nur teilweise geladen: in " + file, 0), 0u) << notice;
    EXPECT_NE(notice.find("Abschnitt [" + stop.Section + "], " + stop.Key + "=" + stop.Value +
                          " liegt nicht im erlaubten Bereich"),
              std::string::npos)
        << notice;
    EXPECT_EQ(List.IFCCount(), c.Interfaces) << c.Named;
    int modules = 0;
    for (int i = 0; i < List.IFCCount(); ++i)
      modules += List.IFCByIndex(i)->Count();
    EXPECT_EQ(modules, c.Modules) << c.Named;
  }
}

TEST_F(ModelFileTest, SectionsNoModuleTakesCannotEndTheLoad) {
  // The class name is looked at first, as AddModul does: these sections are skipped whatever
  // their address says, and the load goes on to the end.
  const std::string file =
      Write("klassen.INI",
            "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nModulCount=5\r\n\r\n"
            "[Modul_0_0]\r\nAdresse=999\r\nClassName=MXB01\r\n\r\n"
            "[Modul_0_1]\r\nAdresse=-1\r\n\r\n"
            "[Modul_0_2]\r\nAdresse=$1FF\r\nClassName=T\r\n\r\n"
            "[Modul_0_3]\r\nAdresse=$1E\r\nClassName=TMXB01\r\n\r\n"
            "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n\r\n");
  EXPECT_TRUE(List.Load_FromFile(file));
  EXPECT_FALSE(List.PartialLoad());
  ASSERT_EQ(List.IFCCount(), 2);
  ASSERT_EQ(List.IFCByIndex(0)->Count(), 1);
  EXPECT_EQ(Modul(0, 0)->Adresse, 0x1E);
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(ModelFileTest, ASaveOverThePartlyLoadedFileIsKnownBeforehand) {
  const std::string broken =
      "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\nModulCount=2\r\n\r\n"
      "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\n\r\n"
      "[Modul_0_1]\r\nAdresse=300\r\nClassName=TMXB01\r\n\r\n"
      "[Settings_IFK1]\r\nClassName=TRS485IFC\r\nIFCNr=1\r\n\r\n";
  const std::string file = Write("teil.ini", broken);
  EXPECT_FALSE(List.Load_FromFile(file));
  // The file the save would go into, by any name that leads there.
  EXPECT_TRUE(List.SaveWouldEraseUnloaded(file));
  EXPECT_TRUE(List.SaveWouldEraseUnloaded(Path("teil")));
  EXPECT_TRUE(List.SaveWouldEraseUnloaded(Path("./teil.ini")));
  EXPECT_FALSE(List.SaveWouldEraseUnloaded(Path("anders.ini")));
  // Saving elsewhere goes ahead and leaves the mark; the partly loaded file stays as it was.
  EXPECT_TRUE(SaveModelFile(List, Path("anders.ini"), TModelHeader(), "test: "));
  EXPECT_TRUE(List.SaveWouldEraseUnloaded(file));
  EXPECT_EQ(ReadAll(file), broken);
  // A save over it (the user said so) makes the file the model's own again.
  EXPECT_TRUE(SaveModelFile(List, file, TModelHeader(), "test: "));
  EXPECT_FALSE(List.PartialLoad());
  EXPECT_FALSE(FileExists(Path("teil.INI"))) << "saved into the file it came from";
  // A complete load clears the mark as well.
  EXPECT_FALSE(List.Load_FromFile(Write("teil2.INI", broken)));
  EXPECT_TRUE(List.Load_FromFile(Path("anders.INI")));
  EXPECT_FALSE(List.SaveWouldEraseUnloaded(Path("teil2.INI")));
}

TEST_F(ModelFileTest, TheModelKnowsWhetherItDiffersFromItsFile) {
  const std::string file =
      Write("m.INI",
            "[Modell]\r\nCaption=Anlage\r\nDescription=Bahnhof\r\n\r\n"
            "[Settings_IFK0]\r\nClassName=TSer485BusIFC\r\nCom=COM1\r\nBaud=19200\r\nIFCNr=0\r\n"
            "ModulCount=1\r\nEnabled=-1\r\n\r\n"
            "[Modul_0_0]\r\nAdresse=$31\r\nClassName=TMXB01\r\nIFCNr=0\r\n\r\n");
  using TChange = std::function<void(TModulsList&, TModelHeader&)>;
  const auto ifc = [](TModulsList& l) { return l.IFCByIndex(0); };
  const auto modul = [](TModulsList& l) {
    return dynamic_cast<TBaseModul*>(l.IFCByIndex(0)->Item(0));
  };
  const std::vector<std::pair<const char*, TChange>> changes = {
      {"note of the interface", [&](auto& l, auto&) { ifc(l)->Hinweis = "neu"; }},
      {"port", [&](auto& l, auto&) { ifc(l)->SetPort("COM2"); }},
      {"adapter identity",
       [&](auto& l, auto&) {
         ifc(l)->SetUsbIdentity({0x0403, 0x6001, "A1"});
       }},
      {"baud rate", [&](auto& l, auto&) { ifc(l)->SetBaud(9600); }},
      {"time-out", [&](auto& l, auto&) { ifc(l)->SetTimeout(500); }},
      {"poll ratio", [&](auto& l, auto&) { ifc(l)->SetPollPriority(2); }},
      {"interface available", [&](auto& l, auto&) { ifc(l)->SetEnabled(false); }},
      {"note of the module", [&](auto& l, auto&) { modul(l)->Hinweis = "Weichen"; }},
      {"caption of the module", [&](auto& l, auto&) { modul(l)->Bezeichnung = "West"; }},
      {"address change", [&](auto& l, auto&) { modul(l)->SetAdresse(0x32); }},
      {"polling", [&](auto& l, auto&) { modul(l)->SetPolling(false); }},
      {"interface added", [](auto& l, auto&) { l.AddIFC("TRS485IFC"); }},
      {"module added", [&](auto& l, auto&) { l.AddModul("THDX01", ifc(l), 0x20); }},
      {"module removed", [&](auto& l, auto&) { l.RemoveItem(l.ItemOfModul(modul(l))); }},
      {"interface removed", [](auto& l, auto&) { l.RemoveItem(l.IFCItem(0)); }},
      {"model caption", [](auto&, auto& h) { h.Caption = "Anlage Ost"; }},
      {"model description", [](auto&, auto& h) { h.Description = "Schattenbahnhof"; }},
  };
  for (const auto& [name, change] : changes) {
    TModelHeader header;
    ASSERT_TRUE(LoadModelFile(List, file, header)) << name;
    EXPECT_EQ(header.Caption, "Anlage");
    EXPECT_FALSE(List.Modified(header)) << name << ": just loaded";
    change(List, header);
    EXPECT_TRUE(List.Modified(header)) << name;
    ASSERT_TRUE(SaveModelFile(List, Path("kopie.INI"), header, "test: "));
    EXPECT_FALSE(List.Modified(header)) << name << ": just saved";
  }
  // A new, empty model is what a new model file holds.
  TModulsList fresh;
  EXPECT_FALSE(fresh.Modified(TModelHeader()));
  // Undoing a change is no change.
  TModelHeader header;
  ASSERT_TRUE(LoadModelFile(List, file, header));
  ifc(List)->Hinweis = "kurz";
  ifc(List)->Hinweis.clear();
  EXPECT_FALSE(List.Modified(header));
  EXPECT_TRUE(Sink.Lines().empty());
}

// The text as UTF-16 with its byte order mark, as PowerShell's ">" and Notepad's "Unicode" write
// a file.
std::string Utf16WithBom(const std::string& utf8, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : QString::fromUtf8(utf8).toStdU16String()) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// Editors on Windows put a byte order mark before the first line of a file saved as UTF-8, and
// some save as UTF-16. Neither may hide anything: not the first interface of a model file, nor
// the first card of a backup file, nor (UTF-16) the whole file, which would load as an empty
// model without a word and be saved over as one.
TEST_F(ModelFileTest, AByteOrderMarkHidesNoSection) {
  const struct {
    const char* Name;
    std::function<std::string(const std::string&)> Encode;
  } encodings[] = {
      {"UTF-8", [](const std::string& text) { return "\xEF\xBB\xBF" + text; }},
      {"UTF-16 LE", [](const std::string& text) { return Utf16WithBom(text, false); }},
      {"UTF-16 BE", [](const std::string& text) { return Utf16WithBom(text, true); }},
  };
  for (const auto& encoding : encodings) {
    SCOPED_TRACE(encoding.Name);
    const std::string model = Write(
        "bom.INI", encoding.Encode("[Modell]\r\nCaption=Anlage Süd\r\n\r\n"
                                   "[Settings_IFK0]\r\nClassName=TRS485IFC\r\nIFCNr=0\r\n"
                                   "ModulCount=1\r\nCom=COM3\r\n\r\n"
                                   "[Modul_0_0]\r\nAdresse=$1E\r\nClassName=TMXB01\r\nIFCNr=0\r\n"
                                   "Bezeichnung=Weichen Süd\r\n\r\n"));
    TModulsList list;
    TModelHeader header;
    EXPECT_TRUE(LoadModelFile(list, model, header));
    EXPECT_EQ(header.Caption, "Anlage Süd");
    ASSERT_EQ(list.IFCCount(), 1);
    EXPECT_EQ(list.IFCByIndex(0)->Port(), "COM3");
    ASSERT_EQ(list.IFCByIndex(0)->Count(), 1);
    EXPECT_EQ(dynamic_cast<TBaseModul*>(list.IFCByIndex(0)->Item(0))->Bezeichnung, "Weichen Süd");
    // A save keeps the interface, and the next load finds it as well.
    ASSERT_TRUE(SaveModelFile(list, model, header, "test: "));
    TModulsList again;
    TModelHeader headerAgain;
    EXPECT_TRUE(LoadModelFile(again, model, headerAgain));
    EXPECT_EQ(headerAgain.Caption, "Anlage Süd");
    ASSERT_EQ(again.IFCCount(), 1);
    EXPECT_EQ(again.IFCByIndex(0)->Count(), 1);

    TCardConfigFile cards;
    ASSERT_TRUE(
        cards.Load(Write("bom.Karten.ini", encoding.Encode("[IFC0_$1E]\r\nKlasse=TMXB01\r\n"
                                                           "Firmware=MXB01.1.2\r\n\r\n"
                                                           "[IFC0_$20]\r\nKlasse=THDX01\r\n"))));
    EXPECT_EQ(cards.Cards().size(), 2u);
    ASSERT_TRUE(cards.Card("IFC0_$1E"));
    EXPECT_EQ(cards.Card("IFC0_$1E")->Firmware, "MXB01.1.2");
    EXPECT_TRUE(Sink.Lines().empty());
  }
}

TEST_F(ModelFileTest, FailedSaveIsReportedNotRaised) {
  QDir(Dir.path()).mkdir("blocked.INI");
  List.AddIFC("TRS485IFC");
  EXPECT_NO_THROW(List.Save_ToFile(Path("blocked.INI")));
  ASSERT_EQ(Sink.Lines().size(), 1u);
  EXPECT_EQ(Sink.Lines()[0].rfind("TModulsList.Save_ToFile: ", 0), 0u);
}

}  // namespace
