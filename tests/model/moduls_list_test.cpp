#include "model/moduls_list.h"

#include <gtest/gtest.h>

#include "bus/bus_interface.h"
#include "fakes/fake_serial_line.h"
#include "fakes/manual_clock.h"
#include "fakes/recording_sink.h"
#include "modules/base_modul.h"

namespace {

struct TForm : TModulForm {
  int* Closed;
  bool Detached = false;
  explicit TForm(int* closed) : Closed(closed) {}
  void CloseForm() override { ++*Closed; }
  void DetachModul() override { Detached = true; }
};

class ModulsListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    List.OnInterfaceCreated = [this](TRS485IFC& ifc) {
      ifc.BusMaster().ComPort().SetLineCreator([this] { return Bus.MakeLine(); });
    };
    Bus.Responder = [](const std::string&) { return std::optional<TFakeReply>(); };
  }
  TManualClock Clock;
  TFakeBus Bus{Clock};
  TRecordingSink Sink;
  TModulsList List{&Clock};
};

TEST_F(ModulsListTest, InterfaceClassNames) {
  for (const char* name : {"TSer485BusIFC", "tser485busifc", "TRS485IFC", "trs485Ifc"})
    EXPECT_NE(List.AddIFC(name), nullptr) << name;
  for (const char* name : {"", "TRS485", "TSer485BusIFC2", "RS485IFC"})
    EXPECT_EQ(List.AddIFC(name), nullptr) << name;
  EXPECT_EQ(List.IFCCount(), 4);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(List.IFCByIndex(i)->IfcNumber(), i);
  EXPECT_EQ(List.IFCItem(4), nullptr);
  EXPECT_EQ(List.IFCItem(-1), nullptr);
}

TEST_F(ModulsListTest, ModuleClassNameTable) {
  TRS485IFC* ifc = List.AddIFC("TRS485IFC")->IFC;
  struct {
    const char* Name;
    const char* Created;  // nullptr: nothing
  } cases[] = {{"THDX01", "THDX01"},
               {"tmxb01", "TMXB01"},
               {"tmxb2", "TMXB02"},
               {"TMXB02", "TMXB02"},
               {"TIFCPorts", "TIFCPorts"},
               {"tifc485px8", "TIFCPorts"},
               {"TRS485Dummy", "TRS485Dummy"},
               {"TDummy", "TRS485Dummy"},
               {"TX", "TRS485Dummy"},
               {"TLDX07", "TRS485Dummy"},
               {"", nullptr},
               {"T", nullptr},
               {"MXB01", nullptr},
               {"xTMXB01", nullptr}};
  int address = 1;
  for (const auto& c : cases) {
    TModulsItem* item = List.AddModul(c.Name, ifc, address++);
    if (!c.Created) {
      EXPECT_EQ(item, nullptr) << c.Name;
      continue;
    }
    ASSERT_NE(item, nullptr) << c.Name;
    EXPECT_EQ(item->ItemKind, ikModul);
    EXPECT_EQ(item->IFC, ifc);
    EXPECT_STREQ(item->Modul->ClassName(), c.Created) << c.Name;
    EXPECT_EQ(item->Modul->Firmware, "");
  }
}

TEST_F(ModulsListTest, AddressesOutsideAByteAndTakenAddresses) {
  TRS485IFC* ifc = List.AddIFC("TRS485IFC")->IFC;
  EXPECT_THROW(List.AddModul("TMXB01", ifc, 256), ERangeError);
  EXPECT_THROW(List.AddModul("TMXB01", ifc, -1), ERangeError);
  EXPECT_EQ(List.Count(), 1) << "nothing created before the range error";
  ASSERT_NE(List.AddModul("TMXB02", ifc, 50), nullptr);
  // A taken address: the module is discarded instead of lingering on no interface.
  EXPECT_EQ(List.AddModul("TRS485Dummy", ifc, 50), nullptr);
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(ifc->Count(), 1);
}

TEST_F(ModulsListTest, RemovingAnInterfaceTakesItsModulesAndClosesTheirWindows) {
  int closed = 0;
  TForm f1(&closed), f2(&closed), f3(&closed);
  TModulsItem* i0 = List.AddIFC("TRS485IFC");
  TModulsItem* i1 = List.AddIFC("TRS485IFC");
  List.AddModul("TMXB01", i0->IFC, 0x1E)->Form = &f1;
  List.AddModul("THDX01", i1->IFC, 0x20)->Form = &f2;
  List.AddModul("TMXB02", i0->IFC, 0x32)->Form = &f3;
  List.RemoveItem(i0);
  EXPECT_EQ(closed, 2);
  EXPECT_TRUE(f1.Detached);
  EXPECT_FALSE(f2.Detached);
  EXPECT_TRUE(f3.Detached);
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(List.IFCCount(), 1);
  EXPECT_EQ(List.Item(0), i1);
  EXPECT_STREQ(List.Item(1)->Modul->ClassName(), "THDX01");
  List.RemoveItem(nullptr);
  EXPECT_EQ(List.Count(), 2);
  List.RemoveAll();  // the windows above go before the list does
  EXPECT_EQ(closed, 3);
}

TEST_F(ModulsListTest, RemovingAModuleLeavesItsInterfaceDisconnected) {
  TModulsItem* ifcItem = List.AddIFC("TRS485IFC");
  TModulsItem* m = List.AddModul("TMXB01", ifcItem->IFC, 0x1E);
  List.AddModul("TIFCPorts", ifcItem->IFC, 0x7F);
  ifcItem->IFC->SetActive(true);
  ASSERT_TRUE(ifcItem->IFC->Active());
  List.RemoveItem(m);
  EXPECT_FALSE(ifcItem->IFC->Active());
  EXPECT_EQ(ifcItem->IFC->Count(), 1);
  auto* remaining = dynamic_cast<TBaseModul*>(ifcItem->IFC->Item(0));
  ASSERT_NE(remaining, nullptr);
  EXPECT_EQ(List.ItemOfModul(remaining), List.Item(1));
  EXPECT_EQ(List.ItemOfIFC(ifcItem->IFC), ifcItem);
}

TEST_F(ModulsListTest, RemoveAllEmptiesEverything) {
  TModulsItem* a = List.AddIFC("TRS485IFC");
  List.AddIFC("TRS485IFC");
  List.AddModul("TMXB01", a->IFC, 1);
  a->IFC->SetActive(true);
  List.RemoveAll();
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.IFCItem(0), nullptr);
  EXPECT_EQ(List.IFCCount(), 0);
}

}  // namespace
