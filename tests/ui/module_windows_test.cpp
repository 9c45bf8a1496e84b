// Module property windows made when they are first opened from the main window: what they show
// and do on their first activation, how they go when their modules are removed, and the main
// window with the largest model the tool takes.

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "bus/bus_interface.h"
#include "bus/bus_master.h"
#include "bus/serial_factory.h"
#include "model/model_project.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "modules/hdx01.h"
#include "modules/mxb02.h"
#include "sim/sim_bus.h"
#include "sim/sim_serial_line.h"
#include "sim/sim_switch_cards.h"
#include "sim/sim_throttle_card.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/controls/lumi.h"
#include "ui/controls/lumi_kette.h"
#include "ui/controls/tree_helpers.h"
#include "ui/main_window.h"
#include "ui/modules/frm_hdx01.h"
#include "ui/modules/frm_mxb02.h"
#include "ui/modules/modul_form.h"
#include "ui/modules/sim_ifc_fixture.h"

namespace {

struct TModulEntry {
  const char* Class;
  int Address;
};

// Writes a model of `interfaces` interfaces on the simulated bus, each holding the modules.
void WriteModel(const std::string& file, int interfaces, const std::vector<TModulEntry>& modules) {
  TModulsList model;
  for (int i = 0; i < interfaces; ++i) {
    TRS485IFC* ifc = model.AddIFC("TRS485IFC")->IFC;
    ifc->SetPort("SIM");
    ifc->SetBaud(19200);
    for (const TModulEntry& m : modules) {
      TModulsItem* item = model.AddModul(m.Class, ifc, m.Address);
      item->Modul->Bezeichnung = "Karte " + std::to_string(i) + "/" + std::to_string(m.Address);
    }
  }
  SaveModelFile(model, file, TModelHeader(), "WriteModel: ");
}

// The module windows that exist now.
std::vector<TfrmModulBase*> ModulForms() {
  std::vector<TfrmModulBase*> forms;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* form = qobject_cast<TfrmModulBase*>(widget)) forms.push_back(form);
  return forms;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace

class ModuleWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  std::unique_ptr<TSimBus> Bus;
  std::unique_ptr<TLineLog> Lines;

  std::string ModelDir() const { return Dir->path().toStdString() + "/Modell1"; }

  // A window whose default model is the five cards of the simulated bus, loaded and connected.
  std::unique_ptr<TfrmVelmoraConfig> MakeConnectedWindow() {
    WriteModel(ModelDir() + "/Modell1.INI", 1,
               {{"TMXB01", 0x1E},
                {"THDX01", 0x20},
                {"TMXB02", 0x32},
                {"TRS485Dummy", 0x40},
                {"TIFCPorts", 0x7F}});
    auto w = std::make_unique<TfrmVelmoraConfig>(ModelDir());
    // These tests change the model on purpose; dropping it is not what they ask about.
    w->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([](const std::string&) {});
    w->FormActivate();
    w->ConnectIFC(true);
    return w;
  }

  TModulsItem* ItemAt(TfrmVelmoraConfig& w, int ifcIndex, int address) {
    TRS485IFC* ifc = w.ModulsList().IFCByIndex(ifcIndex);
    const int index = ifc ? ifc->FindModule(static_cast<uint8_t>(address)) : -1;
    return index < 0 ? nullptr
                     : w.ModulsList().ItemOfModul(dynamic_cast<TBaseModul*>(ifc->Item(index)));
  }

  // Opens the item's window as the user does, by a double-click on its row.
  template <class TForm>
  TForm* Open(TfrmVelmoraConfig& w, TModulsItem* item) {
    w.SelectItem(item);
    w.VSTModulsDblClick();
    return dynamic_cast<TForm*>(item->Form);
  }

  // Every line queued so far is out and answered, and the windows have refreshed.
  std::vector<std::string> Settled(TfrmVelmoraConfig& w) {
    w.SelectedIFC()->BusMaster().WaitQueueEmpty(std::chrono::seconds(5));
    QCoreApplication::processEvents();
    return Lines->Take();
  }

 private slots:
  void initTestCase() {
    InstallQtMainThreadWaker();
    RegisterSerialLine("SIM", "Simulierter Bus", [this] {
      return std::make_unique<TRecordingLine>(MakeSimSerialLine(*Bus), *Lines);
    });
  }
  void cleanupTestCase() {
    UnregisterSerialLine("SIM");
    RemoveQtMainThreadWaker();
  }
  void init() {
    Dir = std::make_unique<QTemporaryDir>();
    QVERIFY(Dir->isValid());
    Bus = std::make_unique<TSimBus>();
    Bus->AddDefaultCards();
    Lines = std::make_unique<TLineLog>();
  }
  void cleanup() { QVERIFY(ModulForms().empty()); }

  void TypeTwoCardWindowReadsTheCardOnceOnItsFirstActivation() {
    TSimMXB02Config config = TSimMXB02Config::Factory();
    config.Inversion = 0x0010;
    config.PulseTime1[4] = 7;
    Bus->CardAs<TSimMXB02>(0x32).SetConfig(config);
    Bus->CardAs<TSimMXB02>(0x32).SetOutputs(0x81C3);
    auto w = MakeConnectedWindow();
    TModulsItem* item = ItemAt(*w, 0, 0x32);
    QVERIFY(item && item->Modul->Aktiv);
    // Loading makes the modules live but no window; the module follows its card meanwhile.
    QTRY_COMPARE(static_cast<int>(dynamic_cast<TMXB02*>(item->Modul)->Ports), 0x81C3);
    QVERIFY(!item->Form);
    QVERIFY(ModulForms().empty());

    auto* form = Open<TfrmMXB02>(*w, item);
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->Modul(), item->Modul);
    QCOMPARE(ModulForms().size(), 1u);
    // It starts from the module's present state, as a window made at the load would show it.
    QCOMPARE(form->LumiKette1->LEDValue(), 0x81C3);
    ActivateWindow(*form);
    QCOMPARE(form->windowTitle(), QString("MXB02 [$00/$32] "));
    QVERIFY(form->chbAktiv->isChecked());
    QCOMPARE(Count(Settled(*w), "?32030000"), 0u);

    // The first time the user makes the module live in this window, the settings are read.
    form->chbAktiv->click();
    QVERIFY(!item->Modul->Aktiv);
    QCOMPARE(Count(Settled(*w), "?32030000"), 0u);
    form->chbAktiv->click();
    QVERIFY(item->Modul->Aktiv);
    QCOMPARE(Count(Settled(*w), "?32030000"), 1u);
    QTRY_COMPARE(form->VST1->topLevelItem(4)->text(TfrmMXB02::colTV1), QString("350"));
    QCOMPARE(form->VST1->topLevelItem(4)->text(TfrmMXB02::colINV), QString("1"));

    // Closed and opened again it is the same window, which has read the card already.
    form->close();
    QVERIFY(!form->isVisible());
    QCOMPARE(Open<TfrmMXB02>(*w, item), form);
    QVERIFY(form->isVisible());
    ActivateWindow(*form);
    form->chbAktiv->click();
    form->chbAktiv->click();
    QVERIFY(item->Modul->Aktiv);
    QCOMPARE(Count(Settled(*w), "?32030000"), 0u);
    QCOMPARE(ModulForms().size(), 1u);
  }

  void ThrottleWindowBindsWhenFirstOpened() {
    TSimHDX01& card = Bus->CardAs<TSimHDX01>(0x20);
    card.SetDetectors(0x05);
    card.SetLightBarriers(0xA5);
    auto w = MakeConnectedWindow();
    TModulsItem* item = ItemAt(*w, 0, 0x20);
    auto* modul = dynamic_cast<THDX01*>(item->Modul);
    QVERIFY(modul);
    // The module follows its card before any window exists.
    QTRY_COMPARE(static_cast<int>(modul->GBM), 0x05);
    QTRY_COMPARE(static_cast<int>(modul->Sensoren), 0xA5);
    QVERIFY(!item->Form);

    // Opened, the window shows the module's present image at once.
    auto* form = Open<TfrmHDX01>(*w, item);
    QVERIFY(form);
    QCOMPARE(form->HDX(), modul);
    for (int j = 0; j < 4; ++j)
      QCOMPARE(form->GBMLampAt(j)->LEDEin(), bool((0x05 >> j) & 1));
    for (int i = 0; i < 8; ++i)
      QCOMPARE(form->LumiLSList[static_cast<std::size_t>(i)]->LEDEin(), bool((0xA5 >> i) & 1));

    // From now on the card's changes reach the window through the module's events.
    card.SetDetectors(0x0A);
    card.SetLightBarriers(0x3C);
    QTRY_VERIFY(form->GBMLampAt(1)->LEDEin() && !form->GBMLampAt(0)->LEDEin());
    QTRY_VERIFY(form->LumiLSList[2]->LEDEin() && !form->LumiLSList[0]->LEDEin());
    for (int j = 0; j < 4; ++j)
      QCOMPARE(form->GBMLampAt(j)->LEDEin(), bool((0x0A >> j) & 1));
  }

  void RemovalTakesOpenedAndUnopenedWindowsAlong() {
    auto w = MakeConnectedWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    auto* opened = Open<TfrmModulBase>(*w, ItemAt(*w, 0, 0x1E));
    QVERIFY(opened && opened->isVisible());
    QPointer<TfrmModulBase> openedWindow(opened);

    // A module whose window was never opened: it goes, and no window is made for it.
    w->SelectItem(ItemAt(*w, 0, 0x40));
    w->tbtnModulDELClick();
    QCOMPARE(ifc->Count(), 4);
    QVERIFY(ifc->FindModule(0x40) < 0);
    QCOMPARE(ModulForms().size(), 1u);
    QVERIFY(openedWindow && openedWindow->isVisible());
    QVERIFY(openedWindow->Modul() != nullptr);

    // A module whose window is open: the window closes and goes with it.
    w->SelectItem(ItemAt(*w, 0, 0x1E));
    w->tbtnModulDELClick();
    QCOMPARE(ifc->Count(), 3);
    QVERIFY(openedWindow.isNull());
    QVERIFY(ModulForms().empty());

    // The interface, with one window opened and closed again and two never opened.
    auto* throttle = Open<TfrmModulBase>(*w, ItemAt(*w, 0, 0x20));
    QVERIFY(throttle);
    throttle->close();
    QPointer<TfrmModulBase> closedWindow(throttle);
    w->SelectItem(w->ModulsList().IFCItem(0));
    w->tbtnModulDELClick();
    QVERIFY(closedWindow.isNull());
    QVERIFY(ModulForms().empty());
    QCOMPARE(w->ModulsList().Count(), 1);
    QCOMPARE(w->VSTModuls->topLevelItemCount(), 1);
  }

  void LargeModelLoadsWithoutWindows() {
    constexpr int kInterfaces = 16;
    std::vector<TModulEntry> modules;
    static const char* const kClasses[] = {"TMXB01", "TMXB02", "THDX01", "TIFCPorts",
                                           "TRS485Dummy"};
    static const char* const kForms[] = {"TfrmMXB01", "TfrmMXB02", "TfrmHDX01", "TfrmIFC485",
                                         "TfrmDummy"};
    for (int a = 0; a < 255; ++a)
      modules.push_back({kClasses[a % 5], a});
    const std::string file = Dir->path().toStdString() + "/Gross/Gross.INI";
    WriteModel(file, kInterfaces, modules);

    auto w = std::make_unique<TfrmVelmoraConfig>(ModelDir());
    // These tests change the model on purpose; dropping it is not what they ask about.
    w->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    // The window's own notices are message boxes that wait for a click. One comes when no port
    // can be opened at the first activation, for instance while another test program probes
    // the machine's only one.
    SetNoticeHandler([](const std::string&) {});
    w->FormActivate();
    w->LoadModell(file);
    TModulsList& list = w->ModulsList();
    QCOMPARE(list.IFCCount(), kInterfaces);
    QCOMPARE(list.Count(), kInterfaces * 256);
    QVERIFY(ModulForms().empty());
    QCOMPARE(w->SelectedItem(), list.IFCItem(0));
    QCOMPARE(w->VSTModuls->topLevelItemCount(), kInterfaces);
    for (int i = 0; i < kInterfaces; ++i) {
      QTreeWidgetItem* root = w->VSTModuls->topLevelItem(i);
      QCOMPARE(root->text(0), QString("IFC(%1) ").arg(i));
      QVERIFY(root->isExpanded());
      QCOMPARE(root->childCount(), 255);
      for (int a = 0; a < 255; ++a) {
        QTreeWidgetItem* row = root->child(a);
        const TModulsItem* item = static_cast<const TModulsItem*>(NodeObject(row));
        QVERIFY(item && item->Modul && item->Modul->Adresse == a && !item->Form);
        QCOMPARE(row->text(0), QString(kClasses[a % 5]));
        QCOMPARE(row->text(4), QString("Karte %1/%2").arg(i).arg(a));
        QCOMPARE(w->VSTModulsGetImageIndex(row, ikState, 0), 2);
      }
    }

    // A card deep in the tree gets its window when it is opened, of the class its module needs.
    for (int a = 250; a < 255; ++a) {
      TModulsItem* item = ItemAt(*w, 15, a);
      auto* form = Open<TfrmModulBase>(*w, item);
      QVERIFY(form && form->isVisible());
      QCOMPARE(form->metaObject()->className(), kForms[a % 5]);
      QCOMPARE(form->Modul(), item->Modul);
    }
    QCOMPARE(ModulForms().size(), 5u);

    // An interface in the middle goes; the others are renumbered, the opened windows stay.
    w->SelectItem(list.IFCItem(7));
    w->tbtnModulDELClick();
    QCOMPARE(list.IFCCount(), kInterfaces - 1);
    QCOMPARE(w->VSTModuls->topLevelItemCount(), kInterfaces - 1);
    QCOMPARE(w->VSTModuls->topLevelItem(14)->text(0), QString("IFC(14) "));
    QCOMPARE(w->VSTModuls->topLevelItem(14)->child(0)->text(4), QString("Karte 15/0"));
    QCOMPARE(ModulForms().size(), 5u);

    // Loading the model again frees the windows of the modules it replaces.
    w->LoadModell(file);
    QCOMPARE(list.Count(), kInterfaces * 256);
    QVERIFY(ModulForms().empty());
  }
};

QTEST_MAIN(ModuleWindowsTest)
#include "module_windows_test.moc"
