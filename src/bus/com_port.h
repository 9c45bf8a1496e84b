#pragma once
// TComPort: the serial port of one bus master. It keeps the port settings, makes the line when
// it opens, and hands received text on in whole pieces ending in CR LF. Opening, closing,
// writing and reading happen in the bus thread; the settings may be changed from the main thread
// at any time and apply at the next Open.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bus/serial_factory.h"
#include "bus/serial_line.h"

enum class TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class TStopBits { sbONE, sbONE5, snTWO };
enum class TReceiveMode { rmRAW, rmTERM };

// Cuts received bytes into pieces ending with the terminator. Text without a terminator stays
// buffered, across commands, until its terminator arrives.
class TLineSplitter {
 public:
  explicit TLineSplitter(std::string terminator = "\r\n") : FTerminator(std::move(terminator)) {}
  void Append(const std::string& bytes) { FBuffer += bytes; }
  // The next complete piece (terminator included), or false.
  bool NextPiece(std::string& piece);
  const std::string& Pending() const { return FBuffer; }
  void Clear() { FBuffer.clear(); }
  // Takes whatever is buffered, complete pieces and a partial one alike.
  std::string TakeAll() { return std::exchange(FBuffer, std::string()); }

 private:
  std::string FTerminator;
  std::string FBuffer;
};

class TComPort {
 public:
  TComPort();
  ~TComPort();

  std::string Port() const;
  void SetPort(const std::string& port);
  // The USB identity of the adapter last opened under this port; it finds the adapter again
  // when it comes back under another name.
  TUsbIdentity Identity() const;
  void SetIdentity(const TUsbIdentity& identity);
  // The USB socket that adapter sat in (learnt with the identity): of twins, the one in it.
  std::string UsbSocket() const;
  void SetUsbSocket(const std::string& socket);
  uint32_t Baud() const { return FBaud.load(); }
  void SetBaud(uint32_t baud) { FBaud.store(baud); }

  // Fixed line settings of this system.
  static constexpr uint8_t DataBits = 8;
  static constexpr TParity Parity = TParity::ptNONE;
  static constexpr TStopBits StopBits = TStopBits::sbONE;
  static constexpr uint32_t WinQSizeIn = 8192;
  static constexpr uint32_t WinQSizeOut = 8192;
  static constexpr TReceiveMode ReceiveMode = TReceiveMode::rmTERM;

  // Tests and tools make the line themselves; by default it comes from the factory.
  void SetLineCreator(TSerialLineCreator creator);

  // Where an Open goes now.
  struct TPortChoice {
    std::string Asked;                       // the port's own name
    TUsbIdentity Identity;                   // the adapter looked for
    std::string Socket;                      // the USB socket it sat in, if known
    std::string Port;                        // Asked, or the adapter's new name
    bool Present = false;                    // a device to open is there under Port
    bool Renamed = false;                    // Port is the adapter's new name
    std::optional<TUsbIdentity> NameWentTo;  // the other adapter now under the name, if any
    std::string NameWentToSocket;            // a twin took the name: the socket it sits in
    std::string Ambiguous;  // the log line when several ports carry the stored identity
  };
  // A port name without a device, or with another adapter than the stored identity (the names
  // changed hands since), gives way to the one port that carries the stored identity and that
  // no other line of this program would open (set to it, and looking for that adapter or none).
  // With several such ports the one in the stored USB socket is taken; else nothing is guessed:
  // the wrong one would be another bus, or some other device of the same make. Found nowhere,
  // the name is opened at the user's connect; `reconnecting` (the user chose nothing just now),
  // it is not. A twin under the name gives way to the one in the stored socket, as the names of
  // twins follow the order they were plugged in.
  TPortChoice ChoosePort(bool reconnecting) const;

  // Opens the port if it is closed, where ChoosePort says (a new name is logged and kept); a
  // real port's identity is learnt. Reconnecting, nothing is opened without a device there.
  // Throws EComError ("TCOMPORT : cannot open " ...).
  void Open(bool reconnecting = false);
  void Close();
  bool Connected() const { return FConnected.load(); }
  // The port name and baud rate of the open line. Bus thread.
  std::string OpenPort() const { return FOpenPort; }
  uint32_t OpenBaud() const { return FOpenBaud; }

  void SetDTR(bool on);
  // What the open line is like (see TSerialLine). Bus thread.
  bool DrivesDtr() const { return FLine && FLine->DrivesDtr(); }
  bool PacesBytes() const { return FLine && FLine->PacesBytes(); }
  // Starts sending; false when the device is gone.
  bool WriteString(const std::string& text);
  // Reads what arrives within `maxWaitUs` into the terminator buffer.
  TReadResult Receive(int64_t maxWaitUs);
  // Reads, without waiting, everything the line holds at this moment into the terminator
  // buffer. Status Lost when the device is gone.
  TReadResult ReceiveNow();
  // The next whole piece received, or false.
  bool NextPiece(std::string& piece) { return FSplitter.NextPiece(piece); }
  // Takes the received text that is still buffered (a line without its terminator, and whole
  // pieces not taken yet).
  std::string TakeBuffered() { return FSplitter.TakeAll(); }
  // The received text after the last whole piece: the start of a line still on its way.
  const std::string& PartialLine() const { return FSplitter.Pending(); }
  // Any thread: ends a Receive in progress.
  void Interrupt();
  std::string Error() const;

 private:
  mutable std::mutex FSettingsMutex;
  std::string FPort = "COM1";
  TUsbIdentity FIdentity;
  std::string FUsbSocket;
  std::atomic<uint32_t> FBaud{9600};
  TSerialLineCreator FCreator;

  std::unique_ptr<TSerialLine> FLine;  // bus thread only
  std::mutex FInterruptMutex;          // keeps the line alive while another thread interrupts it
  TSerialLine* FLineForInterrupt = nullptr;
  std::atomic<bool> FConnected{false};
  std::string FOpenPort;
  uint32_t FOpenBaud = 9600;
  TLineSplitter FSplitter;
};
