#include "bus/com_port.h"

#include <algorithm>

#include "support/message_sink.h"
#include "support/texts.h"

bool TLineSplitter::NextPiece(std::string& piece) {
  const std::size_t pos = FBuffer.find(FTerminator);
  if (pos == std::string::npos) return false;
  const std::size_t end = pos + FTerminator.size();
  piece = FBuffer.substr(0, end);
  FBuffer.erase(0, end);
  return true;
}

namespace {

// Every line of this program, for the ports the others are set to.
std::mutex GLinesMutex;
std::vector<const TComPort*> GLines;

// What another line is set to and looks for.
struct TLineWish {
  std::string Port;
  TUsbIdentity Identity;
  std::string Socket;
};

std::vector<TLineWish> OtherLines(const TComPort* own) {
  std::vector<TLineWish> wishes;
  std::lock_guard<std::mutex> lock(GLinesMutex);
  for (const TComPort* line : GLines)
    if (line != own) wishes.push_back({line->Port(), line->Identity(), line->UsbSocket()});
  return wishes;
}

// Whether the line would open the port: it is set to it, and the adapter there is the one that
// line looks for (or it looks for none); of twins (`twins`: the ports carrying the port's
// identity), the one in that line's socket, and by its name only one in no other line's socket
// (`lines`: every line). A line whose name went to another adapter lays no claim to it. The
// channels of a multi-port adapter share its socket, so there only the name tells them apart.
bool Claims(const TLineWish& line, const TPortInfo& port, const std::vector<TPortInfo>& twins,
            const std::vector<TLineWish>& lines) {
  if (line.Identity.Empty()) return PortIsNamed(port, line.Port);
  if (port.Identity != line.Identity) return false;
  if (!line.Socket.empty()) {
    const auto inLineSocket = std::count_if(twins.begin(), twins.end(), [&](const TPortInfo& twin) {
      return twin.Socket == line.Socket;
    });
    if (inLineSocket == 1) return port.Socket == line.Socket;
    if (inLineSocket > 1 && port.Socket != line.Socket) return false;
    if (!port.Socket.empty() && port.Socket != line.Socket &&
        std::any_of(lines.begin(), lines.end(), [&](const TLineWish& other) {
          return other.Identity == port.Identity && other.Socket == port.Socket;
        }))
      return false;
  }
  return PortIsNamed(port, line.Port);
}

// An adapter without vendor, product and serial number still needs a name in a log line.
TText AdapterText(const TUsbIdentity& identity) {
  return identity.Empty() ? TrText("TComPort", "ohne USB-Kennung") : TText::Plain(identity.Text());
}

}  // namespace

TComPort::TComPort() {
  std::lock_guard<std::mutex> lock(GLinesMutex);
  GLines.push_back(this);
}

TComPort::~TComPort() {
  {
    std::lock_guard<std::mutex> lock(GLinesMutex);
    GLines.erase(std::remove(GLines.begin(), GLines.end(), this), GLines.end());
  }
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

std::string TComPort::UsbSocket() const {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  return FUsbSocket;
}

void TComPort::SetUsbSocket(const std::string& socket) {
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  FUsbSocket = socket;
}

TComPort::TPortChoice TComPort::ChoosePort(bool reconnecting) const {
  TPortChoice choice;
  {
    std::lock_guard<std::mutex> lock(FSettingsMutex);
    choice.Asked = FPort;
    choice.Identity = FIdentity;
    choice.Socket = FUsbSocket;
  }
  const std::string& socket = choice.Socket;
  choice.Port = choice.Asked;
  const TUsbIdentity& identity = choice.Identity;
  choice.Present = PortPresent(choice.Port);
  if (identity.Empty()) return choice;
  // A typed path the system does not list is taken at its word.
  const std::optional<TPortInfo> there =
      choice.Present ? FindRealPort(choice.Port) : std::optional<TPortInfo>();
  if (choice.Present && !there) return choice;
  const std::vector<TLineWish> others = OtherLines(this);
  std::vector<TLineWish> lines = others;
  lines.push_back({choice.Asked, identity, socket});
  const std::vector<TPortInfo> twins = PortsCarryingIdentity(identity);
  const auto claimed = [&](const TPortInfo& port) {
    return std::any_of(others.begin(), others.end(),
                       [&](const TLineWish& other) { return Claims(other, port, twins, lines); });
  };
  std::vector<TPortInfo> candidates = twins;
  std::erase_if(candidates, claimed);
  std::vector<TPortInfo> inSocket = candidates;
  std::erase_if(inSocket,
                [&](const TPortInfo& port) { return socket.empty() || port.Socket != socket; });
  if (there && there->Identity == identity) {
    // The adapter's name, but of twins the one in its socket is the adapter, and one in the
    // socket of another interface's is that one's.
    const bool twin = !socket.empty() && !there->Socket.empty() && there->Socket != socket;
    if (!twin || (inSocket.empty() && !claimed(*there))) return choice;
    choice.NameWentToSocket = there->Socket;
  } else if (there) {
    // Another adapter under the name: the names changed hands since the identity was stored.
    choice.NameWentTo = there->Identity;
  }
  // Reconnecting, nothing but this adapter will do; at the user's connect the name does if the
  // adapter is nowhere else.
  if (there && reconnecting) choice.Present = false;
  if (!inSocket.empty()) candidates = inSocket;
  if (candidates.size() == 1) {
    choice.Port = candidates.front().Name;
    choice.Present = true;
    choice.Renamed = true;
  } else if (candidates.size() > 1) {
    std::string names;
    for (const TPortInfo& port : candidates)
      names += (names.empty() ? "" : ", ") + port.Name;
    choice.Ambiguous = TrText("TComPort",
                              "ComPort %1 nicht gefunden, und Adapter mit der Kennung %2 gibt es "
                              "mehrere (%3): welcher gemeint ist, lässt sich nicht erkennen. Bitte "
                              "den Port wählen. ")
                           .Arg(choice.Asked)
                           .Arg(identity.Text())
                           .Arg(names)
                           .Shown();
  }
  return choice;
}

void TComPort::Open(bool reconnecting) {
  if (FConnected) return;
  TSerialLineCreator creator;
  {
    std::lock_guard<std::mutex> lock(FSettingsMutex);
    creator = FCreator;
  }
  const TPortChoice choice = ChoosePort(reconnecting);
  const std::string& asked = choice.Asked;
  const TUsbIdentity& identity = choice.Identity;
  if (!choice.Ambiguous.empty())
    throw EComError("TCOMPORT : cannot open " + asked + "\r" + choice.Ambiguous);
  if (reconnecting && !choice.Present) return;
  const std::string port = choice.Port;
  std::string otherAdapter;
  if (choice.Renamed) {
    if (!choice.NameWentToSocket.empty())
      ReportMessage(TrText("TComPort",
                           "An ComPort %1 steckt jetzt ein Adapter derselben Art am USB-Anschluss "
                           "%2, der Adapter %3 vom USB-Anschluss %4 ist jetzt %5. ")
                        .Arg(asked)
                        .Arg(choice.NameWentToSocket)
                        .Arg(identity.Text())
                        .Arg(choice.Socket)
                        .Arg(port));
    else if (choice.NameWentTo)
      ReportMessage(TrText("TComPort",
                           "An ComPort %1 steckt jetzt ein anderer Adapter (%2), der "
                           "Adapter %3 ist jetzt %4. ")
                        .Arg(asked)
                        .Arg(AdapterText(*choice.NameWentTo))
                        .Arg(identity.Text())
                        .Arg(port));
    else
      ReportMessage(TrText("TComPort", "ComPort %1 nicht gefunden, der Adapter %2 ist jetzt %3. ")
                        .Arg(asked)
                        .Arg(identity.Text())
                        .Arg(port));
    std::lock_guard<std::mutex> lock(FSettingsMutex);
    if (FPort == asked) FPort = port;
  } else if (choice.NameWentTo) {
    // The user's connect takes the name with the adapter that is there now (a new one in place
    // of a broken one, say); that it is not the one of the last connect must not go unsaid.
    otherAdapter = TrText("TComPort",
                          "An ComPort %1 steckt jetzt ein anderer Adapter (%2) als beim letzten "
                          "Verbinden (%3), verbunden wird mit ihm. ")
                       .Arg(asked)
                       .Arg(AdapterText(*choice.NameWentTo))
                       .Arg(identity.Text())
                       .Shown();
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
  if (!otherAdapter.empty()) ReportMessage(otherAdapter);
  // The adapter behind the name now; a port without one (built in, a pseudo-terminal, the
  // simulated bus) leaves nothing to look for later.
  const std::optional<TPortInfo> info = FindRealPort(port);
  std::lock_guard<std::mutex> lock(FSettingsMutex);
  if (FPort != port) return;
  FIdentity = info ? info->Identity : TUsbIdentity();
  FUsbSocket = info ? info->Socket : std::string();
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
