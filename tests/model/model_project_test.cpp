#include "model/model_project.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "fakes/recording_sink.h"
#include "model/ini_file.h"
#include "support/files.h"
#include "support/paths.h"

namespace {

class CreateModellFilesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& rel) const { return Dir.path().toStdString() + "/" + rel; }
  QTemporaryDir Dir;
  TRecordingSink Sink;
};

TEST_F(CreateModellFilesTest, NewFolderGetsHeaderAndModellSection) {
  const std::string folder = Path("a/b/Modell1");
  CreateModellFiles(folder, "Modell1");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(folder + "/Modell1.INI", bytes));
  EXPECT_EQ(
      bytes,
      "[]\r\nVersion=Velmora 1.1; Kavor 1.0; Mainfile of Model \r\nAutor=Quorvane 20141031\r\n"
      "\r\n[Modell]\r\nName=Modell1\r\nOriginPath=" +
          folder + "\r\nCaption=Modell1\r\nDescription=\r\n\r\n");
  EXPECT_TRUE(Sink.Lines().empty());
}

TEST_F(CreateModellFilesTest, ExistingFilesKeepTheirSectionsAndGainOnlyMissingOnes) {
  const std::string complete = "[]\r\nVersion=v\r\n\r\n[Modell]\r\nName=x\r\n\r\n";
  WriteFileAtomically(Path("full.INI"), complete);
  CreateModellFiles(Dir.path().toStdString(), "full");
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(Path("full.INI"), bytes));
  EXPECT_EQ(bytes, complete);

  WriteFileAtomically(Path("bare.INI"), "[Settings_IFK0]\r\nClassName=TRS485IFC\r\n\r\n");
  CreateModellFiles(Dir.path().toStdString(), "bare");
  TIniFile ini;
  ASSERT_TRUE(ini.LoadFromFile(Path("bare.INI")));
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Settings_IFK0", "", "Modell"}));
  EXPECT_EQ(ini.ReadString("Modell", "Caption", "?"), "bare");
}

TEST_F(CreateModellFilesTest, EmptyNameIsModell1AndFailuresAreReported) {
  CreateModellFiles(Dir.path().toStdString(), "");
  EXPECT_TRUE(FileExists(Path("Modell1.INI")));
  WriteFileAtomically(Path("plain"), "x");
  CreateModellFiles(Path("plain/sub"), "M");
  ASSERT_EQ(Sink.Lines().size(), 1u);
  EXPECT_EQ(Sink.Lines()[0].rfind("cVelmora.CreateModellFiles: ", 0), 0u);
}

TEST(BDObjListTest, NumbersAndClear) {
  TFahrzeuge list;
  EXPECT_EQ(list.NextFreeNr(0), 1);
  for (int nr : {1, 2, 4}) {
    auto obj = std::make_unique<TBDObj>();
    obj->Nr = nr;
    list.Add(std::move(obj));
  }
  EXPECT_EQ(list.NextFreeNr(0), 3);
  EXPECT_EQ(list.NextFreeNr(4), 5);
  EXPECT_EQ(list.IndexOfNr(4), 2);
  EXPECT_EQ(list.IndexOfNr(3), -1);
  TGAUserList empty;
  empty.Value = 7;
  empty.Text1 = "a";
  empty.Clear();
  EXPECT_EQ(empty.Value, 0);
  EXPECT_EQ(empty.Text1, "");
}

TEST(GlauListTest, KeyModes) {
  TGLAUBestand stock;
  stock.PutEntry(5, 1);
  stock.PutEntry(5, 2);
  ASSERT_EQ(stock.Count(), 1);
  EXPECT_EQ(stock.Entry(0)->Value, 2);

  TGLAUBaseList pairs;
  pairs.KeyMode = 2;
  pairs.PutEntry(5, 1);
  pairs.PutEntry(5, 1);
  EXPECT_EQ(pairs.Count(), 1);
  pairs.PutEntry(5, 2);
  EXPECT_EQ(pairs.Count(), 2);
  EXPECT_EQ(pairs.IndexOfKeyValue(5, 2, 0), 1);

  TGLAUBaseList all;
  all.PutEntry(5, 1);
  all.PutEntry(5, 1);
  EXPECT_EQ(all.Count(), 2);
  EXPECT_EQ(all.IndexOfKey(5, 1), 1);
  EXPECT_EQ(all.IndexOfKey(5, 2), -1);
  EXPECT_EQ(all.EntryOfKey(6), nullptr);
}

TEST(DispatcherTest, OwnsAnEmptyModel) {
  TBDispatcher dispatcher;
  EXPECT_EQ(dispatcher.ModulsList().Count(), 0);
  EXPECT_EQ(dispatcher.SignalTimer().Value1, 60);
  EXPECT_EQ(dispatcher.SignalTimer().Value2, 2000);
  EXPECT_EQ(dispatcher.Bestand().KeyMode, 1);
}

}  // namespace
