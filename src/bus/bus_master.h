#pragma once
// TSer485BusMaster: the one sender on an RS485 bus. A background thread sends the one-shot
// commands and, every PollPriority-th cycle, the next standing poll command, switches the line
// direction by DTR, waits for the answer line and hands command and answer to the command's
// answer handler in the main thread.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bus/bus_command.h"
#include "bus/com_port.h"
#include "bus/exchange_record.h"
#include "support/clock.h"

class QThread;
class QTimer;
class TRS485IFC;

// Received text the bus master threw away instead of handing it out as an answer.
struct TDroppedInput {
  enum TWhen {
    BeforeSend,   // what the line held before a command was written (late answers, noise)
    AfterAnswer,  // complete lines that came with an answer, after the first one
  };
  TWhen When = BeforeSend;
  std::string Command;  // the command about to be written, or the one that was answered
  std::string Text;     // the bytes as received
};

class TSer485BusMaster {
 public:
  explicit TSer485BusMaster(TRS485IFC* busInterface = nullptr, TClock* clock = nullptr);
  ~TSer485BusMaster();
  TSer485BusMaster(const TSer485BusMaster&) = delete;
  TSer485BusMaster& operator=(const TSer485BusMaster&) = delete;

  // Connect (open the port, drop queued one-shots, run cycles) and disconnect (stop cycles and
  // close the port). Failures go to the message sink; Active then stays false. Main thread.
  bool Active() const { return FActive.load(); }
  void SetActive(bool on);
  bool Enabled() const { return FEnabled.load(); }
  void SetEnabled(bool on);

  int32_t IfcNumber() const { return FIfcNumber.load(); }
  void SetIfcNumber(int32_t number) { FIfcNumber.store(number); }
  uint32_t Timeout() const { return FTimeout.load(); }
  void SetTimeout(uint32_t ms) { FTimeout.store(ms); }
  uint32_t PollPriority() const { return FPollPriority.load(); }
  void SetPollPriority(uint32_t n);
  uint32_t PreSendDelay() const { return FPreSendDelay.load(); }
  void SetPreSendDelay(uint32_t ms) { FPreSendDelay.store(ms); }

  TComPort& ComPort() { return FComPort; }
  TRS485IFC* BusInterface() const { return FBusInterface; }
  void SetBusInterface(TRS485IFC* busInterface) { FBusInterface = busInterface; }

  // Observer of every received piece of text, called in the main thread.
  void SetOnReceived(std::function<void(const std::string& text)> observer);
  const std::function<void(const std::string& text)>& OnReceived() const { return FOnReceived; }
  // Observer of received text that was dropped (each drop is also one line in the log), called
  // in the main thread.
  void SetOnDropped(std::function<void(const TDroppedInput& dropped)> observer);
  const std::function<void(const TDroppedInput& dropped)>& OnDropped() const { return FOnDropped; }
  // Called in the main thread when the bus thread dropped the connection by itself (the port
  // vanished), so that windows can show the new state.
  std::function<void()> OnConnectionLost;
  // Observer of finished exchanges, called in the main thread with the records made since its
  // last call, oldest first. Exchanges are recorded only while an observer is set.
  void SetOnExchanges(std::function<void(const TExchangeBatch& records)> observer);
  // After the port vanished while connected, the interface waits for its device (checked about
  // once a second, by a timer in the main thread) and connects again by itself once the device
  // is back, under its name or, for a USB adapter, under the name that carries its identity.
  // SetActive, either way, ends the waiting.
  bool WaitingForDevice() const { return FWaitingForDevice.load(); }
  // Called in the main thread when the interface connected again by itself.
  std::function<void()> OnReconnected;
  static constexpr int ReconnectCheckMs = 1000;

  // Queues a one-shot command. False (and nothing queued) while disconnected or for an empty
  // text.
  bool AddCommand(const std::string& text, TAnswerHandler handler = {},
                  TCommandOptions options = {});

  // Index of the first module of the interface at this address, or -1.
  int FindModule(uint8_t address) const;
  // Appends the module to the interface's list (which then owns it: `module` is emptied) and its
  // poll commands to the poll list. -1, and nothing changed, when no interface is attached or the
  // address is taken.
  int AddModule(std::unique_ptr<TBusModule>& module);
  // Removes the module's poll entries and the module (freeing it), with a disconnect and
  // reconnect around it when connected.
  void RemoveModule(TBusModule* module);

  // Runs a change of poll-entry fields (Text, Enabled, AnswerHandler) under the lock the bus
  // thread reads them with.
  void WithLock(const std::function<void()>& change);

  // Observation, for tools and tests.
  std::size_t QueueCount() const;
  std::size_t PollCount() const;
  uint64_t CycleCount() const { return FCycleCount.load(); }
  uint32_t PollCountdown() const;
  // One-shot commands are numbered from 1 in the order they were queued. The number of the last
  // one queued (0: none yet), and of the oldest one still waiting or in its exchange (0: the
  // queue is empty). After a lost connection the second tells which were never sent.
  uint64_t LastQueuedSerial() const;
  uint64_t OldestWaitingSerial() const;
  // Main thread: waits, serving handed-over work, until the one-shot queue is empty (every
  // queued command answered or timed out and its handler run) or the time-out passed.
  bool WaitQueueEmpty(std::chrono::milliseconds timeout);

  // Stops the bus thread for good (the destructor does this too). Main thread.
  void Terminate() { StopThread(); }

  // How long to wait after writing `length` characters plus the terminator before the line may
  // be switched to receive: their time on the line (10 bits a character) and one character more
  // as margin, in µs rounded up. An adapter whose driver follows DTR would otherwise cut off the
  // end of the terminator.
  static uint32_t TransmitWaitUs(std::size_t length, uint32_t baud);
  // The earliest a card's answer can be complete on a line that keeps to the line time, in µs
  // after writing `length` characters plus the terminator: their time on the line and that of
  // the shortest answer line a card sends, rounded down.
  static uint32_t ShortestExchangeUs(std::size_t length, uint32_t baud);
  // "#", address, command code, two data bytes, CR LF; a bracketed text is longer.
  static constexpr std::size_t ShortestAnswer = 11;

  static constexpr const char* ClassName = "TSer485BusMaster";
  // Every this many commands one carries the resynchronisation prefix 0xA7 CR.
  static constexpr int32_t CommandsPerResync = 30;

 private:
  enum class TWaitEnd { Elapsed, Abandon };
  enum class TAnswerEnd { Answered, TimedOut, Abandon };

  // One exchange in progress; bus thread only.
  struct TExchange {
    uint64_t Serial = 0;  // the one-shot's number; 0 for a poll
    std::string Text;     // the command's own text
    std::string Sent;     // as written, with the resynchronisation prefix if it carries one
    TAnswerHandler Handler;
    uint32_t TimeoutMs = 0;  // the answer time-out of this exchange
    bool QuietTimeout = false;
    std::function<void()> OnSent;
    std::string Answer;        // the answer line with its CR LF; empty after a time-out
    int64_t SentUs = 0;        // right before the write
    int64_t ListenFromUs = 0;  // the line is (or would be, without DTR) switched to receive
    bool Recorded = false;     // exchanges are recorded: the time stamps below are taken
    int64_t WrittenUs = 0;
    int64_t WrittenMs = 0;
    int64_t AnsweredUs = 0;
  };

  void ThreadBody();
  bool HasWorkLocked() const;
  void AdvanceIdleCycles(uint64_t cycles);

  // The steps of one cycle (bus_exchange.cpp), in the order they run.
  void RunCycle();
  bool PickCommand(TExchange& exchange);
  void AddResyncPrefix(TExchange& exchange);
  bool SwitchToTransmit();
  bool DropLeftovers(const TExchange& exchange);
  bool WriteCommand(TExchange& exchange);
  bool SwitchToReceive(TExchange& exchange);
  TAnswerEnd WaitForAnswer(TExchange& exchange);
  // How long the thread may sleep before it waits for the rest of the line received in part so
  // far: the line time of the characters still missing but the last two.
  int64_t RestOfLineUs(uint32_t baud) const;
  // The card's learned delay (the time its answers take beyond their line time), to which the
  // first look at its answer is put off; the slot of the command's card address.
  int64_t& AnswerDelayUs(const std::string& command);
  void LearnAnswerDelay(int64_t& delay, const TExchange& exchange, bool wholeAtFirstLook);
  // The time `chars` characters take on the line (10 bits each), in µs rounded down; a line
  // without a baud rate counts as 9600 baud, as in the other line times.
  static int64_t LineTimeUs(std::size_t chars, uint32_t baud);
  void DropFurtherLines(const TExchange& exchange);
  // Hands the answer to its handler in the main thread, with what has to go there anyway: the
  // received pieces for the observer, the end of a one-shot and the records. True when there
  // is a handler; the exchange's command, answer and handler then went with it. The next cycle
  // starts only once the handler has returned.
  bool HandAnswer(TExchange& exchange);
  void FinishOneShot(const TExchange& exchange);
  bool RemoveOneShot(uint64_t serial);
  // Bus thread, FMutex held: waits until the answer handler handed over last has returned.
  void AwaitHandler(std::unique_lock<std::mutex>& lock);
  // Exchange records (bus_records.cpp): time stamps while recording, the record once the answer
  // is in, and its hand-over to the main thread (along with the answer handler where there is
  // one, which the bus thread waits for anyway).
  void StampWritten(TExchange& exchange);
  void StampAnswered(TExchange& exchange);
  void RecordExchange(const TExchange& exchange, bool timedOut);
  void PostRecords();
  void DeliverRecords();

  TWaitEnd WaitWhileActive(int64_t us);
  bool NextCycleSendsLocked() const;
  bool TakePiece(std::string& piece);
  // Received pieces go to the observer in batches: with the answer handler where there is one,
  // else in a post of their own (PostReceived), so that a piece costs no wake-up of its own.
  void PostReceived();
  void DeliverReceived(const std::vector<std::string>& pieces);
  void ReportDropped(TDroppedInput dropped);
  void ConnectionLost(const std::string& error);
  void StartWaitingForDevice(uint64_t epoch);
  void StopWaitingForDevice();
  void TryReconnect();
  void RunInBusThread(const std::function<void()>& request);
  void EnsureThread();
  void StopThread();

  TRS485IFC* FBusInterface;
  TClock& FClock;
  TComPort FComPort;

  std::atomic<bool> FActive{false};
  std::atomic<bool> FEnabled{false};
  std::atomic<int32_t> FIfcNumber{0};
  std::atomic<uint32_t> FTimeout{200};
  std::atomic<uint32_t> FPollPriority{10};
  std::atomic<uint32_t> FPreSendDelay{1};
  std::atomic<uint64_t> FCycleCount{0};
  std::atomic<bool> FWaitingForDevice{false};
  std::atomic<uint64_t> FConnectEpoch{0};  // counts the user's connects and disconnects

  // FMutex covers the queue, the poll list, the countdown, the poll entries' fields and the
  // thread's control state below.
  mutable std::mutex FMutex;
  std::condition_variable FWake;
  struct TQueued {
    uint64_t Serial;
    std::unique_ptr<TBusCommand> Command;
    TCommandOptions Options;
  };
  std::deque<TQueued> FCommandQueue;
  uint64_t FNextSerial = 1;
  std::deque<TBusCommand*> FPollList;
  uint32_t FPollCountdown = 0;
  // With PollPriority 1: the last cycle sent a poll, so waiting one-shots have the next one.
  bool FOneShotsTurn = false;
  std::function<void()> FRequest;
  bool FRequestDone = false;
  std::string FRequestError;
  bool FTerminate = false;
  bool FThreadEnded = false;
  bool FHandlerPending = false;   // an answer handler was handed over and has not returned
  bool FAwaitingHandler = false;  // the bus thread waits for it
  bool FClosePending = false;

  // Bus thread only.
  int32_t FResyncCounter = 30;
  // Without DTR the pre-send wait of a cycle that follows its pause at once was slept along
  // with the pause: it counts from here (0: not).
  int64_t FPreSendFromUs = 0;
  // Received pieces not yet handed to the observer; the main thread takes them while the bus
  // thread waits for it.
  std::vector<std::string> FReceivedPieces;
  // Per card address (and one slot for texts without one): a delay at which about one answer in
  // five is already whole when first looked at; learned on lines that keep to the line time, at
  // the baud rate below.
  std::array<int64_t, 257> FAnswerDelaysUs{};
  uint32_t FAnswerDelaysBaud = 0;

  // Main thread only.
  bool FRunningHandler = false;  // inside one of this master's answer handlers
  std::function<void(const std::string&)> FOnReceived;
  std::atomic<bool> FHasReceivedObserver{false};
  std::function<void(const TDroppedInput&)> FOnDropped;
  std::atomic<bool> FHasDroppedObserver{false};
  std::unique_ptr<QThread> FThread;
  std::unique_ptr<QTimer> FReconnectTimer;
  // What the wait for a vanished device has met so far: whether the adapter could not be told
  // from its twins, and how many checks found the device there but could not open it.
  bool FAmbiguityReported = false;
  int FFailedOpens = 0;
  static constexpr int kFailedOpensReported = 3;
  std::shared_ptr<int> FAlive = std::make_shared<int>(0);

  // Exchange records on their way to the main thread; FRecordMutex covers the two below.
  std::atomic<bool> FRecording{false};
  std::function<void(const TExchangeBatch&)> FOnExchanges;  // main thread only
  std::mutex FRecordMutex;
  TExchangeBatch FRecords;
  bool FRecordsPosted = false;
};
