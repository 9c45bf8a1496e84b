#include "model/ini_file.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/files.h"

namespace {

const char* const kOwnFile =
    "[]\r\n"
    "Version=Velmora 1.1; Kavor 1.0; Mainfile of Model \r\n"
    "Autor=Quorvane 20141031\r\n"
    "\r\n"
    "[Modell]\r\n"
    "Name=Modell1\r\n"
    "\r\n"
    "[Fremd]\r\n"
    "Key=Wert\r\n"
    "ohne Gleichheitszeichen\r\n"
    "\r\n";

TEST(IniFileTest, OwnFileComesBackByteForByteApartFromTrailingBlanks) {
  TIniFile ini;
  ini.SetText(kOwnFile);
  std::string expected = kOwnFile;
  expected.replace(expected.find("Model \r\n"), 8, "Model\r\n");
  EXPECT_EQ(ini.Text(), expected);
  EXPECT_EQ(ini.ReadString("", "Version", "?"), "Velmora 1.1; Kavor 1.0; Mainfile of Model");
}

TEST(IniFileTest, ReadingRules) {
  TIniFile ini;
  ini.SetText(
      "vor der ersten Sektion=ignoriert\n"
      "  [ Settings_IFK0 ]  \n"
      "; Kommentar\n"
      "\n"
      "  ClassName =  TSer485BusIFC  \n"
      "  frei stehend  \n"
      "Baud=$4B00\n"
      "Timeout=0x00C8\n"
      "Neg=-5\n"
      "Bad=12abc\n"
      "Gleich=a=b\n"
      "[settings_ifk0]\n"
      "Extra=1\n");
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Settings_IFK0"}));
  EXPECT_EQ(ini.ReadString("SETTINGS_IFK0", "classname", "?"), "TSer485BusIFC");
  EXPECT_EQ(ini.ReadInteger("Settings_IFK0", "Baud", 0), 19200);
  EXPECT_EQ(ini.ReadInteger("Settings_IFK0", "Timeout", 0), 200);
  EXPECT_EQ(ini.ReadInteger("Settings_IFK0", "Neg", 0), -5);
  EXPECT_EQ(ini.ReadInteger("Settings_IFK0", "Bad", 77), 77);
  EXPECT_EQ(ini.ReadInteger("Settings_IFK0", "Missing", 77), 77);
  EXPECT_EQ(ini.ReadString("Settings_IFK0", "Gleich", ""), "a=b");
  EXPECT_EQ(ini.ReadString("Settings_IFK0", "Extra", ""), "1");
  EXPECT_EQ(ini.ReadString("Nirgends", "Key", "def"), "def");
  // A line without "=" stays a line of its own and takes nothing from the lines after it.
  EXPECT_NE(ini.Text().find("TSer485BusIFC\r\nfrei stehend\r\nBaud=$4B00\r\n"), std::string::npos);
  EXPECT_FALSE(ini.ValueExists("Settings_IFK0", "frei stehend"));
  EXPECT_TRUE(ini.ReadBool("Settings_IFK0", "Neg", false));
  EXPECT_FALSE(ini.ReadBool("Settings_IFK0", "Missing", false));
}

TEST(IniFileTest, WritingKeepsOrderReplacesInPlaceAndAppendsNewSections) {
  TIniFile ini;
  ini.SetText("[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n\r\n");
  ini.WriteInteger("a", "X", 10);
  ini.WriteBool("B", "Flag", true);
  ini.WriteBool("B", "Off", false);
  ini.WriteAddress("C", "Adresse", 49);
  ini.WriteAddress("C", "Gross", 0x1FF);
  EXPECT_EQ(ini.Text(),
            "[A]\r\nx=10\r\ny=2\r\n\r\n[B]\r\nz=3\r\nFlag=-1\r\nOff=0\r\n\r\n"
            "[C]\r\nAdresse=$31\r\nGross=$1FF\r\n\r\n");
  ini.EraseSection("a");
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"B", "C"}));
}

TEST(IniFileTest, UmlautsInWindows1252AndUtf8) {
  // "Weichen Süd" in Windows-1252 (0xFC), and the same text in UTF-8.
  const std::string cp1252 =
      "[M]\r\nB=Weichen S\xFC"
      "d \x80\r\n\r\n";
  const std::string utf8 =
      "[M]\r\nB=Weichen S\xC3\xBC"
      "d \xE2\x82\xAC\r\n\r\n";
  EXPECT_EQ(TIniFile::DecodeFromDisk(cp1252), utf8);
  EXPECT_EQ(TIniFile::DecodeFromDisk(utf8), utf8);
  EXPECT_EQ(TIniFile::EncodeForDisk(utf8), cp1252);
  // A character Windows-1252 has no place for keeps the file in UTF-8 instead of losing it.
  const std::string arrow = "B=\xE2\x86\x92\r\n";
  EXPECT_EQ(TIniFile::EncodeForDisk(arrow), arrow);
  // Every byte survives, also the five that have no character in Windows-1252.
  std::string all;
  for (int b = 1; b < 256; ++b)
    all += static_cast<char>(b);
  all += '\xFF';  // make sure it is not valid UTF-8
  EXPECT_EQ(TIniFile::EncodeForDisk(TIniFile::DecodeFromDisk(all)), all);
}

TEST(IniFileTest, FileRoundTripAndMissingFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.path().toStdString() + "/m.ini";
  TIniFile ini;
  EXPECT_TRUE(ini.LoadFromFile(path));
  EXPECT_TRUE(ini.Sections().empty());
  ini.WriteString("Modell", "Description", "Meine Modellbahn mit Übergang");
  ini.SaveToFile(path);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_NE(bytes.find("\xDC"
                       "bergang"),
            std::string::npos)
      << "written in Windows-1252";
  TIniFile again;
  ASSERT_TRUE(again.LoadFromFile(path));
  EXPECT_EQ(again.ReadString("modell", "description", ""), "Meine Modellbahn mit Übergang");
  EXPECT_THROW(ini.SaveToFile(dir.path().toStdString() + "/no/such/dir/m.ini"), std::runtime_error);
}

TEST(IniFileTest, IntegerForms) {
  struct {
    const char* Text;
    bool Ok;
    int64_t Value;
  } cases[] = {{"42", true, 42},
               {"-1", true, -1},
               {"$1F", true, 31},
               {"$1f", true, 31},
               {"0x1F", true, 31},
               {"0X1f", true, 31},
               {" 7 ", true, 7},
               {"", false, 0},
               {"$", false, 0},
               {"0x", false, 0},
               {"1.5", false, 0},
               {"&H1F", false, 0},
               {"99999999999999999999", false, 0}};
  for (const auto& c : cases) {
    int64_t value = 0;
    EXPECT_EQ(ReadIniInteger(c.Text, value), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(value, c.Value) << c.Text;
    }
  }
}

}  // namespace
