#include "bus/com_port.h"
#include "support/texts.h"

#include "support/message_sink.h"

bool TLineSplitter::NextPiece(std::string& piece) {
  const std::size_t pos = FBuffer.find(FTerminator);
  if (pos == std::string::npos) return false;
  const std::size_t end = pos + FTerminator.size();
  piece = FBuffer.substr(0, end);
  FBuffer.erase(0, end);
  return true;
}

TComPort::TComPort() = default;

TComPort::~TComPort() {
  try {
    Close();
  } catch (...) {
    // Failures while closing are of no interest any more.
  }
}

std::string TComPort::Port() const {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  return FPort;
}

void TComPort::SetPort(const std::string& port) {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  FPort = port;
}

void TComPort::SetLineCreator(TSerialLineCreator creator) {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  FCreator = std::move(creator);
}

TUsbIdentity TComPort::Identity() const {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  return FIdentity;
}

void TComPort::SetIdentity(const TUsbIdentity& identity) {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  FIdentity = identity;
}

void TComPort::Open() {
  if (FConnected) return;
  std::string port;
  TUsbIdentity identity;
  TSerialLineCreator creator;
  {
    std::lock_guard<std::mutex> lock(FSettingsMutex);
    port = FPort;
    identity = FIdentity;
    creator = FCreator;
  }
  // USB adapters change their name when they are plugged in again.
  if (!identity.Empty() && !PortPresent(port)) {
    const std::string found = FindPortByIdentity(identity);
    if (!found.empty() && found != port) {
      ReportMessage(TrText("TComPort", "ComPort %1 nicht gefunden, der Adapter %2 ist jetzt %3. ")
                        .Arg(port)
                        .Arg(identity.Text())
                        .Arg(found));
      port = found;
      std::lock_guard<std::mutex> lock(FSettingsMutex);
      FPort = port;
    }
  }
  std::unique_ptr<TSerialLine> line = creator ? creator() : CreateSerialLine(port);
  if (!line)
    throw EComError("TCOMPORT : cannot open " + port + "\r" +
                    TrText("TComPort", "kein Treiber").Shown());
  const uint32_t baud = FBaud.load();
  line->Open(port, baud);
  line->SetDTR(false);
  FSplitter.Clear();
  FOpenPort = port;
  FOpenBaud = baud;
  FLine = std::move(line);
  {
    std::lock_guard<std::mutex> lock(FInterruptMutex);
    FLineForInterrupt = FLine.get();
  }
  FConnected = true;
  // The adapter behind the name now; a port without one (built in, a pseudo-terminal, the
  // simulated bus) leaves nothing to look for later.
  const std::optional<TPortInfo> info = FindRealPort(port);
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  if (FPort == port) FIdentity = info ? info->Identity : TUsbIdentity();
}

void TComPort::Close() {
  if (!FLine) return;
  FConnected = false;
  {
    std::lock_guard<std::mutex> lock(FInterruptMutex);
    FLineForInterrupt = nullptr;
  }
  std::unique_ptr<TSerialLine> line = std::move(FLine);
  line->Close();
}

void TComPort::SetDTR(bool on) {
  if (FConnected && FLine) FLine->SetDTR(on);
}

bool TComPort::WriteString(const std::string& text) {
  if (!FConnected || !FLine) return true;
  return FLine->Write(text);
}

TReadResult TComPort::Receive(int64_t maxWaitUs) {
  if (!FConnected || !FLine) return TReadResult{};
  TReadResult result = FLine->Read(maxWaitUs);
  if (result.Status == TReadStatus::Data) FSplitter.Append(result.Bytes);
  return result;
}

TReadResult TComPort::ReceiveNow() {
  // A line that keeps talking must not hold the bus thread here: take what is there now and a
  // little more, the rest waits for the next look.
  constexpr int kMaxReads = 16;
  TReadResult result;
  for (int i = 0; i < kMaxReads; ++i) {
    result = Receive(0);
    if (result.Status != TReadStatus::Data) break;
  }
  return result;
}

void TComPort::Interrupt() {
  std::lock_guard<std::mutex> lock(FInterruptMutex);
  if (FLineForInterrupt) FLineForInterrupt->Interrupt();
}

std::string TComPort::Error() const {
  return FLine ? FLine->Error() : std::string();
}
