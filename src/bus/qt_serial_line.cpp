#include "bus/qt_serial_line.h"
#include "support/texts.h"

#include <QElapsedTimer>
#include <algorithm>

#include "bus/serial_errors.h"

namespace {

// How long one blocking wait may last before the line looks at its interrupt flag. Received
// bytes end a wait at once; this only bounds how late a disconnect is noticed.
constexpr int kWaitSliceMs = 10;

bool IsLostError(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ResourceError || error == QSerialPort::DeviceNotFoundError ||
         error == QSerialPort::PermissionError;
}

}  // namespace

TQtSerialLine::TQtSerialLine() = default;

TQtSerialLine::~TQtSerialLine() {
  Close();
}

void TQtSerialLine::Open(const std::string& port, uint32_t baud) {
  if (FPort && FPort->isOpen()) return;
  // A model written without "Baud" reads as 0; Qt's own words for it ("Invalid baud rate
  // value") do not say what to do.
  if (baud == 0)
    throw EComError(
        "TCOMPORT : cannot open " + port + "\r" +
        TrText("TQtSerialLine", "keine Baudrate eingestellt (0): 9600 oder 19200 wählen").Shown());
  FPort = std::make_unique<QSerialPort>();
  FPort->setPortName(QString::fromStdString(port));
  FPort->setBaudRate(static_cast<qint32>(baud));
  FPort->setDataBits(QSerialPort::Data8);
  FPort->setParity(QSerialPort::NoParity);
  FPort->setStopBits(QSerialPort::OneStop);
  FPort->setFlowControl(QSerialPort::NoFlowControl);
  if (!FPort->open(QIODevice::ReadWrite)) {
    std::string error = FPort->errorString().toStdString();
    const QSerialPort::SerialPortError kind = FPort->error();
    FPort.reset();
    const TOpenProbe probe = ProbeOpenFailure(port);
    const std::string advice =
        OpenFailureAdvice(ClassifyOpenFailure(kind, probe.Errno), port, probe.Group);
    if (!advice.empty()) error += " - " + advice;
    throw EComError("TCOMPORT : cannot open " + port + "\r" + error);
  }
  FPort->clear(QSerialPort::AllDirections);
  FDtrSupported = true;
  SetDTR(false);
  if (!FPort->setRequestToSend(false)) FPort->clearError();
  TunePortLatency(*FPort, port);
  FIo = MakePortIo(*FPort);
  FError.clear();
}

void TQtSerialLine::Close() {
  FIo.reset();
  if (!FPort) return;
  if (FPort->isOpen()) FPort->close();
  FPort.reset();
}

bool TQtSerialLine::IsOpen() const {
  return FPort && FPort->isOpen();
}

bool TQtSerialLine::CheckLost() {
  if (!FPort) return true;
  const QSerialPort::SerialPortError error = FPort->error();
  if (IsLostError(error)) {
    FError = FPort->errorString().toStdString();
    return true;
  }
  if (error != QSerialPort::NoError) FPort->clearError();  // line errors are not reported
  if (PortHungUp(*FPort)) {
    FError = TrText("TQtSerialLine", "Verbindung zum Gerät abgebrochen");
    return true;
  }
  return false;
}

bool TQtSerialLine::Write(const std::string& bytes) {
  if (!IsOpen()) return true;
  if (FIo) return FIo->Write(bytes, FError);
  const qint64 written = FPort->write(bytes.data(), static_cast<qint64>(bytes.size()));
  // Without an event loop in this thread the buffer is handed to the driver here; the call
  // does not wait for the characters to leave.
  FPort->flush();
  if (written < 0 || CheckLost()) {
    if (FError.empty()) FError = FPort->errorString().toStdString();
    return false;
  }
  return true;
}

void TQtSerialLine::SetDTR(bool on) {
  if (!IsOpen() || !FDtrSupported) return;
  if (!FPort->setDataTerminalReady(on)) {
    // Pseudo-terminals and some adapters have no DTR: ignore it from now on, keep the port.
    FDtrSupported = false;
    FPort->clearError();
  }
}

TReadResult TQtSerialLine::Read(int64_t maxWaitUs) {
  TReadResult result;
  if (!IsOpen()) {
    result.Status = TReadStatus::Lost;
    result.Error = FError.empty() ? "port closed" : FError;
    return result;
  }
  if (FIo) {
    result = FIo->Read(maxWaitUs);
    if (result.Status == TReadStatus::Lost) FError = result.Error;
    return result;
  }
  QElapsedTimer timer;
  timer.start();
  const int64_t maxWaitMs = (std::max<int64_t>(maxWaitUs, 0) + 999) / 1000;
  for (;;) {
    if (FInterrupted.exchange(false)) {
      result.Status = TReadStatus::Interrupted;
      return result;
    }
    if (FPort->bytesAvailable() > 0) {
      const QByteArray bytes = FPort->readAll();
      result.Status = TReadStatus::Data;
      result.Bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
      return result;
    }
    // Even without time left, one look at the driver: without an event loop in this thread,
    // what the operating system already holds reaches Qt's buffer only through a wait.
    const int64_t left = std::max<int64_t>(maxWaitMs - timer.elapsed(), 0);
    const bool ready =
        FPort->waitForReadyRead(static_cast<int>(std::min<int64_t>(left, kWaitSliceMs)));
    if (ready && FPort->bytesAvailable() > 0) continue;
    // A hung-up device looks ready forever but delivers nothing: look at it on every empty turn.
    if (CheckLost()) {
      result.Status = TReadStatus::Lost;
      result.Error = FError;
      return result;
    }
    if (!FPort->isOpen()) {
      result.Status = TReadStatus::Lost;
      result.Error = FError.empty() ? FPort->errorString().toStdString() : FError;
      return result;
    }
    if (left <= 0) {
      result.Status = TReadStatus::Timeout;
      return result;
    }
  }
}

void TQtSerialLine::Interrupt() {
  // FIo is made before the line is handed to other threads and goes only after they let go of
  // it.
  if (FIo)
    FIo->Interrupt();
  else
    FInterrupted.store(true);
}
