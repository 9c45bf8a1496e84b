// An adapter pulled out and plugged in again while the window is connected and polling, over a
// real pseudo-terminal reached through a fixed link name; and the port list naming the adapters.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <mutex>

#include "bus/bus_interface.h"
#include "bus/serial_factory.h"
#include "model/moduls_list.h"
#include "modules/base_modul.h"
#include "sim/sim_bus.h"
#include "sim/sim_pty.h"
#include "sim/sim_serial_line.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "ui/main_window.h"
#include "ui/main_window_internal.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

// How often the list of ports that can be opened was made: each time opens every port.
int GOpenableLists = 0;

std::vector<TPortInfo> FakePorts(bool openableOnly) {
  if (openableOnly) ++GOpenableLists;
  std::vector<TPortInfo> ports(5);
  ports[0].Name = "ttyS0";
  ports[1].Name = "ttyUSB0";
  ports[1].Identity = {0x0403, 0x6001, "A10K3J2F"};
  ports[2].Name = "ttyUSB1";
  ports[2].Identity = {0x0403, 0x6001, "B77Q1X"};
  ports[1].Description = DescribePort("FTDI", "USB-RS485", ports[1].Identity);
  ports[2].Description = DescribePort("FTDI", "USB-RS485", ports[2].Identity);
  // Twins without a serial number, told apart by their USB sockets.
  for (std::size_t i : {3u, 4u}) {
    ports[i].Name = "ttyUSB" + std::to_string(i - 1);
    ports[i].Identity = {0x1A86, 0x7523, ""};
    ports[i].Socket = "1-1." + std::to_string(i - 1);
    ports[i].Description = DescribePort("wch.cn", "USB Serial", ports[i].Identity, ports[i].Socket);
  }
  return ports;
}

// The ports a test lists, for a port list that changes while the bus thread looks at it.
std::mutex GListedMutex;
std::vector<TPortInfo> GListed;

void SetListed(std::vector<TPortInfo> ports) {
  std::lock_guard<std::mutex> lock(GListedMutex);
  GListed = std::move(ports);
}

std::vector<TPortInfo> ListedPorts(bool) {
  std::lock_guard<std::mutex> lock(GListedMutex);
  return GListed;
}

TPortInfo Listed(const QString& name, const TUsbIdentity& identity, const char* socket = "") {
  TPortInfo port;
  port.Name = name.toStdString();
  port.Identity = identity;
  port.Socket = socket;
  return port;
}

#ifndef _WIN32
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
#endif

// The pictures for the user guide, where KAVOR_WINDOW_PICTURES names a folder.
void Picture(QWidget* widget, const char* name) {
  const QString folder = qEnvironmentVariable("KAVOR_WINDOW_PICTURES");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QVERIFY(widget->grab().save(QDir(folder).filePath(name)));
}

}  // namespace

class ReplugWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> Dir;
  // The cards behind every port of a test.
  std::unique_ptr<TSimBus> Bus;
  TPortLister Before;

  std::unique_ptr<TfrmVelmoraConfig> MakeWindow() {
    auto window = std::make_unique<TfrmVelmoraConfig>(Dir->path().toStdString() + "/Modell1");
    window->QuestionBox = [](const std::string&, bool) { return TfrmVelmoraConfig::anNein; };
    SetNoticeHandler([](const std::string&) {});
    window->FormActivate();
    return window;
  }

  // The non-empty log lines written since `from` characters.
  static QStringList LogSince(const TfrmVelmoraConfig& w, qsizetype from) {
    QStringList lines = w.Memo1->toPlainText().mid(from).split('\n');
    lines.removeAll(QString());
    return lines;
  }

  // The test's bus served on a new pseudo-terminal, reached through `link` (made anew); null when
  // either failed.
  std::unique_ptr<TSimPtyServer> ServeAt(const QString& link) {
    auto server = std::make_unique<TSimPtyServer>(*Bus);
    QFile::remove(link);
    if (!QFile::link(QString::fromStdString(server->Start(19200)), link)) return nullptr;
    return server;
  }

  // Connects the window's interface to `port` at 19200 baud, with a live card at $1E polled all
  // the time (so that a loss of the port is seen); `ifc` is the interface, null on failure.
  static void ConnectPolled(TfrmVelmoraConfig& w, const QString& port, TRS485IFC*& ifc) {
    ifc = nullptr;
    TRS485IFC* selected = w.SelectedIFC();
    QVERIFY(selected);
    w.cboBaud->setCurrentIndex(w.cboBaud->findText("19200"));
    w.cboPort->setEditText(port);
    w.ConnectIFC(true);
    QVERIFY2(selected->Active(), qPrintable(w.Memo1->toPlainText()));
    TModulsItem* item = w.ModulsList().AddModul("TMXB01", selected, 0x1E);
    QVERIFY(item && item->Modul);
    item->Modul->SetAktiv(true);
    w.RebuildTree();
    ifc = selected;
  }

 private slots:
  void initTestCase() {
    InstallQtMainThreadWaker();
    Before = SetPortLister(FakePorts);
  }
  void cleanupTestCase() {
    SetPortLister(Before);
    RemoveQtMainThreadWaker();
  }
  void init() {
    Dir = std::make_unique<QTemporaryDir>();
    Bus = std::make_unique<TSimBus>();
    Bus->AddDefaultCards();
    QVERIFY(Dir->isValid());
  }

  void PortListNamesEachAdapter() {
    RegisterSerialLine("SIM", "Simulierter Bus", [] { return std::unique_ptr<TSerialLine>(); });
    GOpenableLists = 0;
    auto w = MakeWindow();
    UnregisterSerialLine("SIM");
    QCOMPARE(GOpenableLists, 1);
    QStringList shown;
    for (int i = 0; i < w->cboPort->count(); ++i)
      shown << w->cboPort->itemText(i);
    QCOMPARE(shown, QStringList({main_window_detail::kNoPort, "ttyS0", "ttyUSB0", "ttyUSB1",
                                 "ttyUSB2", "ttyUSB3", "SIM"}));
    const std::pair<const char*, const char*> described[] = {
        {"ttyUSB1", "FTDI USB-RS485 · B77Q1X"},
        {"ttyUSB3", "wch.cn USB Serial · USB 1A86:7523 · USB-Anschluss 1-1.3"}};
    for (const auto& [name, description] : described) {
      const int index = w->cboPort->findText(name);
      QVERIFY(index > 0);
      QCOMPARE(w->cboPort->itemData(index, main_window_detail::kPortDescriptionRole).toString(),
               QString(description));
    }
    w->cboPort->showPopup();
    QVERIFY(QTest::qWaitForWindowExposed(w->cboPort->view()->window()));
    Picture(w->cboPort->view()->window(), "main_window_port_list.png");
    w->cboPort->hidePopup();
  }

  // The model's port is gone from the list, its adapter is back under another name: the port
  // box keeps the model's name, so that "Connect" can be ticked, and the connect finds the
  // adapter. Without an adapter to look for, the box offers "-KEIN-" as before.
  void RenamedAdapterIsFoundFromTheWindow() {
    const TUsbIdentity adapterA{0x0403, 0x6001, "A10K3J2F"};
    SetPortLister(ListedPorts);
    SetListed({Listed("ttyUSB1", adapterA)});
    RegisterSerialLine("ttyUSB1", "", [&] { return MakeSimSerialLine(*Bus); });
    const auto restore = qScopeGuard([] {
      UnregisterSerialLine("ttyUSB1");
      SetPortLister(FakePorts);
    });
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    QVERIFY(ifc);
    ifc->SetPort("ttyUSB0");
    w->ShowIFCData(ifc);
    w->UpdateIFCControls();
    QCOMPARE(w->cboPort->currentText(), QString(main_window_detail::kNoPort));
    QVERIFY(!w->chbConnect->isEnabled());

    ifc->SetUsbIdentity(adapterA);
    w->ShowIFCData(ifc);
    w->UpdateIFCControls();
    QCOMPARE(w->cboPort->currentText(), QString("ttyUSB0"));
    QVERIFY(w->chbConnect->isEnabled());
    w->chbConnect->click();
    QVERIFY2(ifc->Active(), qPrintable(w->Memo1->toPlainText()));
    QCOMPARE(QString::fromStdString(ifc->Port()), QString("ttyUSB1"));
    QCOMPARE(w->cboPort->currentText(), QString("ttyUSB1"));
    QVERIFY(w->Memo1->toPlainText().contains(
        "ComPort ttyUSB0 nicht gefunden, der Adapter 0403:6001:A10K3J2F ist jetzt ttyUSB1"));
    ifc->SetActive(false);
  }

  // Two adapters that swapped their names since the model was made: each interface finds its
  // own bus by the adapter's identity, or, of twins without a serial number, by the USB socket
  // each sat in. A port the user picks is taken as picked.
  void SwappedAdaptersFindTheirOwnBus_data() {
    QTest::addColumn<QString>("identityA");
    QTest::addColumn<QString>("identityB");
    QTest::addColumn<QString>("socketA");
    QTest::addColumn<QString>("socketB");
    QTest::addColumn<QString>("logged");
    QTest::newRow("serial numbers")
        << "0403:6001:A10K3J2F"
        << "0403:6001:B77Q1X"
        << ""
        << ""
        << "An ComPort ttyUSB0 steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
           "0403:6001:A10K3J2F ist jetzt ttyUSB1";
    QTest::newRow("twins in their sockets")
        << "1A86:7523:"
        << "1A86:7523:"
        << "1-1.3"
        << "1-1.4"
        << "An ComPort ttyUSB0 steckt jetzt ein Adapter derselben Art am USB-Anschluss 1-1.4, der "
           "Adapter 1A86:7523: vom USB-Anschluss 1-1.3 ist jetzt ttyUSB1";
  }

  void SwappedAdaptersFindTheirOwnBus() {
    QFETCH(QString, identityA);
    QFETCH(QString, identityB);
    QFETCH(QString, socketA);
    QFETCH(QString, socketB);
    QFETCH(QString, logged);
    const TUsbIdentity adapterA = TUsbIdentity::FromText(identityA.toStdString());
    const TUsbIdentity adapterB = TUsbIdentity::FromText(identityB.toStdString());
    const std::string inA = socketA.toStdString(), inB = socketB.toStdString();
    SetPortLister(ListedPorts);
    SetListed({Listed("ttyUSB0", adapterB, inB.c_str()), Listed("ttyUSB1", adapterA, inA.c_str())});
    TSimBus busA, busB;
    busA.AddDefaultCards();
    busB.AddDefaultCards();
    RegisterSerialLine("ttyUSB0", "", [&] { return MakeSimSerialLine(busB); });
    RegisterSerialLine("ttyUSB1", "", [&] { return MakeSimSerialLine(busA); });
    const auto restore = qScopeGuard([] {
      UnregisterSerialLine("ttyUSB0");
      UnregisterSerialLine("ttyUSB1");
      SetPortLister(FakePorts);
    });

    auto w = MakeWindow();
    TModulsItem* first = w->SelectedItem();
    QVERIFY(first && first->IFC);
    first->IFC->SetPort("ttyUSB0");
    first->IFC->SetUsbIdentity(adapterA);
    first->IFC->SetUsbSocket(inA);
    w->NewIFC();
    TModulsItem* second = w->SelectedItem();
    QVERIFY(second && second->IFC && second != first);
    second->IFC->SetPort("ttyUSB1");
    second->IFC->SetUsbIdentity(adapterB);
    second->IFC->SetUsbSocket(inB);

    const struct {
      TModulsItem* Item;
      const char* Found;
      TUsbIdentity Wanted;
      std::string Socket;
      TSimBus* Bus;
    } interfaces[] = {{first, "ttyUSB1", adapterA, inA, &busA},
                      {second, "ttyUSB0", adapterB, inB, &busB}};
    for (const auto& i : interfaces) {
      w->SelectItem(i.Item);
      w->ShowIFCData(i.Item->IFC);
      QCOMPARE(w->cboPort->currentText(),
               QString(i.Found == std::string("ttyUSB1") ? "ttyUSB0" : "ttyUSB1"));
      w->ConnectIFC(true);
      QVERIFY2(i.Item->IFC->Active(), qPrintable(w->Memo1->toPlainText()));
      QCOMPARE(QString::fromStdString(i.Item->IFC->Port()), QString(i.Found));
      QCOMPARE(i.Item->IFC->UsbIdentity().Text(), i.Wanted.Text());
      QCOMPARE(i.Item->IFC->UsbSocket(), i.Socket);
      QCOMPARE(w->cboPort->currentText(), QString(i.Found));
      // The line it holds is the one to its own cards.
      QVERIFY(i.Bus->InUse());
    }
    QVERIFY2(w->Memo1->toPlainText().contains(logged), qPrintable(w->Memo1->toPlainText()));
    first->IFC->SetActive(false);
    QVERIFY(!busA.InUse() && busB.InUse());

    // The user picks the other port for the first interface: taken, and its adapter learnt.
    second->IFC->SetActive(false);
    w->SelectItem(first);
    w->ShowIFCData(first->IFC);
    w->cboPort->setCurrentIndex(w->cboPort->findText("ttyUSB0"));
    w->ConnectIFC(true);
    QVERIFY(first->IFC->Active());
    QCOMPARE(QString::fromStdString(first->IFC->Port()), QString("ttyUSB0"));
    QCOMPARE(first->IFC->UsbIdentity().Text(), adapterB.Text());
    QCOMPARE(first->IFC->UsbSocket(), inB);
    first->IFC->SetActive(false);
  }

#ifndef _WIN32
  void ReplugReconnectsAndPollsAgain() {
    const QString link = Dir->path() + "/ttyKAVOR0";
    auto server = ServeAt(link);
    QVERIFY(server);

    auto w = MakeWindow();
    TRS485IFC* ifc = nullptr;
    ConnectPolled(*w, link, ifc);
    if (!ifc) return;
    int polled = 0;
    TSer485BusMaster& master = ifc->BusMaster();
    master.SetOnReceived([&, before = master.OnReceived()](const std::string& text) {
      if (before) before(text);
      if (text.rfind("#1E", 0) == 0) ++polled;
    });
    QTRY_VERIFY_WITH_TIMEOUT(polled >= 3, 3000);
    QTreeWidgetItem* node = w->VSTModuls->topLevelItem(0);

    for (const bool untick : {false, true}) {
      const qsizetype logFrom = w->Memo1->toPlainText().size();
      server.reset();
      QTRY_VERIFY_WITH_TIMEOUT(master.WaitingForDevice(), 3000);
      QCOMPARE(node->text(1), QString("getrennt, warte auf Gerät"));
      QCOMPARE(w->StatusPanel[1]->text(), QString("IFC(0) getrennt, warte auf Gerät"));
      QVERIFY(w->chbConnect->isChecked());
      if (!untick) {
        Picture(w.get(), "main_window_waiting_for_device.png");
        // The checks once a second cost next to nothing.
        const double cpuBefore = CpuSeconds();
        QTest::qWait(1500);
        QVERIFY2(CpuSeconds() - cpuBefore < 0.05, "CPU seconds in 1.5 s of waiting");
      } else {
        // Unticking "Connect" ends the waiting: the device coming back changes nothing.
        w->chbConnect->click();
        QVERIFY(!master.WaitingForDevice());
        QVERIFY(node->text(1).isEmpty());
      }

      server = ServeAt(link);
      QVERIFY(server);
      if (untick) {
        QTest::qWait(1500);
        QVERIFY(!ifc->Active());
        QCOMPARE(LogSince(*w, logFrom).size(), 1);
        break;
      }
      QTRY_VERIFY_WITH_TIMEOUT(ifc->Active(), 2000);
      const int polledBefore = polled;
      QTRY_VERIFY_WITH_TIMEOUT(polled > polledBefore + 2, 2000);
      QVERIFY(!master.WaitingForDevice());
      QVERIFY(node->text(1).isEmpty());
      QVERIFY(!w->StatusPanel[1]->text().contains("warte auf Gerät"));
      QVERIFY(w->chbConnect->isChecked());
      // Reported once when gone and once when back, nothing else.
      const QStringList log = LogSince(*w, logFrom);
      QCOMPARE(log.size(), 2);
      QVERIFY2(log[0].contains("ComPort " + link + " ist nicht mehr verfügbar"),
               qPrintable(log[0]));
      QVERIFY2(log[1].contains("ComPort " + link + " ist wieder verfügbar"), qPrintable(log[1]));
    }
    ifc->SetActive(false);
  }

  // An interface that is connected but has nothing to poll (no live card yet, commands only
  // sent by hand) sees its adapter pulled out all the same: the window shows the waiting, and
  // once the adapter is back a command sent by hand reaches the card.
  void IdleInterfaceNoticesTheReplug() {
    const QString link = Dir->path() + "/ttyKAVOR5";
    auto server = ServeAt(link);
    QVERIFY(server);
    auto w = MakeWindow();
    TRS485IFC* ifc = w->SelectedIFC();
    QVERIFY(ifc);
    w->cboBaud->setCurrentIndex(w->cboBaud->findText("19200"));
    w->cboPort->setEditText(link);
    w->ConnectIFC(true);
    QVERIFY2(ifc->Active(), qPrintable(w->Memo1->toPlainText()));
    TSer485BusMaster& master = ifc->BusMaster();
    QTreeWidgetItem* node = w->VSTModuls->topLevelItem(0);
    QVERIFY(node);

    const qsizetype logFrom = w->Memo1->toPlainText().size();
    server.reset();
    QTRY_VERIFY_WITH_TIMEOUT(master.WaitingForDevice(), 3000);
    QVERIFY(!ifc->Active());
    QCOMPARE(node->text(1), QString("getrennt, warte auf Gerät"));
    QVERIFY(w->chbConnect->isChecked());

    server = ServeAt(link);
    QVERIFY(server);
    QTRY_VERIFY_WITH_TIMEOUT(ifc->Active(), 3000);
    std::string answer;
    QVERIFY(ifc->AddCommand("?1E200000",
                            [&](const std::string&, const std::string& text) { answer = text; }));
    QTRY_VERIFY_WITH_TIMEOUT(!answer.empty(), 2000);
    QVERIFY2(answer.rfind("#1E20", 0) == 0, answer.c_str());
    const QStringList log = LogSince(*w, logFrom);
    QCOMPARE(log.size(), 2);
    QVERIFY2(log[0].contains("ComPort " + link + " ist nicht mehr verfügbar"), qPrintable(log[0]));
    QVERIFY2(log[1].contains("ComPort " + link + " ist wieder verfügbar"), qPrintable(log[1]));
    ifc->SetActive(false);
  }

  // A device that comes back but cannot be opened (the rights, another program holding it) is
  // waited for all the same, and the reason is told once, after a few checks.
  void DeviceBackButClosedIsReportedOnce() {
    const QString link = Dir->path() + "/ttyKAVOR4";
    auto server = ServeAt(link);
    QVERIFY(server);
    auto w = MakeWindow();
    TRS485IFC* ifc = nullptr;
    ConnectPolled(*w, link, ifc);
    if (!ifc) return;

    const qsizetype logFrom = w->Memo1->toPlainText().size();
    server.reset();
    QTRY_VERIFY_WITH_TIMEOUT(ifc->BusMaster().WaitingForDevice(), 3000);
    // Something that is there under the name but is no serial port.
    QFile::remove(link);
    QFile file(Dir->path() + "/not-a-port");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(file.fileName(), link));
    // The failure's text spans two lines of the log, as at a connect.
    auto logged = [&](const QString& text) {
      return w->Memo1->toPlainText().mid(logFrom).count(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged("TCOMPORT : cannot open " + link) == 1, 4500);
    QTest::qWait(1200);
    QCOMPARE(logged("TCOMPORT : cannot open"), 1);
    QCOMPARE(LogSince(*w, logFrom).size(), 3);
    QVERIFY(ifc->BusMaster().WaitingForDevice());

    server = ServeAt(link);
    QVERIFY(server);
    QTRY_VERIFY_WITH_TIMEOUT(ifc->Active(), 2000);
    QCOMPARE(logged("ComPort " + link + " ist wieder verfügbar"), 1);
    QCOMPARE(LogSince(*w, logFrom).size(), 4);
    ifc->SetActive(false);
  }

  // Two adapters of a make without serial numbers look the same: after a replug the program
  // takes neither, says so once, and takes the one that no other interface is set to. A name
  // that came back with another adapter behind it is not taken either.
  void ReplugAmongTwinsTakesNoGuess() {
    const TUsbIdentity twin{0x1A86, 0x7523, ""};
    const TUsbIdentity another{0x0403, 0x6001, "B77Q1X"};
    const QString first = Dir->path() + "/ttyKAVOR1";
    const QString second = Dir->path() + "/ttyKAVOR2";
    const QString third = Dir->path() + "/ttyKAVOR3";
    auto server = ServeAt(first);
    QVERIFY(server);
    SetPortLister(ListedPorts);
    const auto restore = qScopeGuard([] { SetPortLister(FakePorts); });
    SetListed({Listed(first, twin)});

    auto w = MakeWindow();
    TRS485IFC* ifc = nullptr;
    ConnectPolled(*w, first, ifc);
    if (!ifc) return;
    QCOMPARE(ifc->UsbIdentity().Text(), twin.Text());
    TSer485BusMaster& master = ifc->BusMaster();

    const qsizetype logFrom = w->Memo1->toPlainText().size();
    server.reset();
    QFile::remove(first);
    SetListed({});
    QTRY_VERIFY_WITH_TIMEOUT(master.WaitingForDevice(), 3000);

    server = std::make_unique<TSimPtyServer>(*Bus);
    const QString pty = QString::fromStdString(server->Start(19200));
    for (const QString& link : {first, second, third})
      QVERIFY(QFile::link(pty, link));
    SetListed({Listed(first, another)});
    QTest::qWait(1300);
    QVERIFY(!ifc->Active());

    SetListed({Listed(first, another), Listed(second, twin), Listed(third, twin)});
    QTest::qWait(2300);
    QVERIFY(!ifc->Active());
    QVERIFY(master.WaitingForDevice());
    QStringList log = LogSince(*w, logFrom);
    QCOMPARE(log.size(), 2);
    QVERIFY2(log[1].contains("ComPort " + first + " nicht gefunden, und Adapter mit der Kennung " +
                             "1A86:7523: gibt es mehrere (" + second + ", " + third + ")"),
             qPrintable(log[1]));

    {
      TRS485IFC other;
      other.SetPort(third.toStdString());
      QTRY_VERIFY_WITH_TIMEOUT(ifc->Active(), 2000);
    }
    QCOMPARE(QString::fromStdString(ifc->Port()), second);
    log = LogSince(*w, logFrom);
    QCOMPARE(log.size(), 4);
    QVERIFY2(log[2].contains("An ComPort " + first +
                             " steckt jetzt ein anderer Adapter (0403:6001:B77Q1X), der Adapter "
                             "1A86:7523: ist jetzt " +
                             second),
             qPrintable(log[2]));
    QVERIFY2(log[3].contains("ComPort " + second + " ist wieder verfügbar"), qPrintable(log[3]));
    ifc->SetActive(false);
  }
#endif
};

QTEST_MAIN(ReplugWindowTest)
#include "replug_window_test.moc"
