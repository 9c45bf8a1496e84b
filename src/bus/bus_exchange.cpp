// One bus cycle of TSer485BusMaster, step by step: choose the command, switch the line to
// transmit, drop what the line holds, write, switch to receive once the last bit has left, wait
// for one answer line, hand it to the command's handler in the main thread.

#include <algorithm>
#include <exception>
#include <utility>

#include "bus/bus_master.h"
#include "bus/readable_text.h"
#include "support/conversions.h"
#include "support/main_thread.h"
#include "support/message_sink.h"
#include "support/texts.h"

namespace {

// Brings a card that lost track of the line back to the start of a command.
const std::string kResyncPrefix = std::string("\xA7", 1) + "\r";
// Dropped text beyond this many bytes is counted in the log line but not shown.
constexpr std::size_t kShownDroppedBytes = 120;
// The last characters of an answer line, waited for as they come.
constexpr std::size_t kCharsWaitedFor = 2;

std::size_t CountLines(const std::string& text) {
  std::size_t lines = 0;
  for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
       pos = text.find("\r\n", pos + 2))
    ++lines;
  return lines;
}

}  // namespace

void TSer485BusMaster::RunCycle() {
  TExchange exchange;
  if (!PickCommand(exchange)) {
    FPreSendFromUs = 0;
    return;
  }
  AddResyncPrefix(exchange);
  try {
    if (!SwitchToTransmit()) return PostReceived();
    if (!DropLeftovers(exchange)) return PostReceived();
    if (!WriteCommand(exchange)) return PostReceived();
    StampWritten(exchange);
    if (!SwitchToReceive(exchange)) return PostReceived();
    const TAnswerEnd end = WaitForAnswer(exchange);
    if (end == TAnswerEnd::Abandon) return PostReceived();
    StampAnswered(exchange);
    if (end == TAnswerEnd::TimedOut && !exchange.QuietTimeout)
      ReportMessage(TrText("TSer485BusMaster", "TimeOut, Modul antwortet nicht! \"%1\" ")
                        .Arg(ReadableText(exchange.Sent)),
                    1);
    else
      DropFurtherLines(exchange);
    RecordExchange(exchange, end == TAnswerEnd::TimedOut);
    if (HandAnswer(exchange)) return;
    PostReceived();
    FinishOneShot(exchange);
    if (exchange.Recorded) PostRecords();
  } catch (const std::exception& e) {
    PostReceived();
    ReportMessage(e.what(), 1);
  }
}

bool TSer485BusMaster::PickCommand(TExchange& exchange) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (!FActive.load()) return false;
  ++FCycleCount;
  // Commands their caller called off leave unsent, before they cost a turn.
  bool dropped = false;
  while (!FCommandQueue.empty() && FCommandQueue.front().Options.Cancelled &&
         FCommandQueue.front().Options.Cancelled->load()) {
    FCommandQueue.pop_front();
    dropped = true;
  }
  if (dropped) MainThread().Notify();
  TBusCommand* current = nullptr;
  const TCommandOptions* options = nullptr;
  if (!FCommandQueue.empty()) {
    current = FCommandQueue.front().Command.get();
    exchange.Serial = FCommandQueue.front().Serial;
    options = &FCommandQueue.front().Options;
  }
  const uint32_t priority = std::max<uint32_t>(FPollPriority.load(), 1);
  // At priority 1 every cycle is a poll cycle and one-shots would never go out: while they wait,
  // every other cycle is theirs.
  const bool oneShotsTurn = priority == 1 && FOneShotsTurn && current;
  FOneShotsTurn = false;
  if (!oneShotsTurn) {
    if (FPollCountdown > 0) --FPollCountdown;
    if (FPollCountdown == 0) {
      if (!FPollList.empty()) {
        TBusCommand* entry = FPollList.front();
        FPollList.pop_front();
        FPollList.push_back(entry);
        if (entry->Enabled) {
          current = entry;
          options = nullptr;
          exchange.Serial = 0;
          FOneShotsTurn = priority == 1;
        }
      }
      FPollCountdown = priority;
    }
  }
  if (!current) return false;
  exchange.Text = current->Text;
  exchange.Handler = current->AnswerHandler;
  exchange.TimeoutMs = FTimeout.load();
  if (options) {
    if (options->TimeoutMs > 0) exchange.TimeoutMs = options->TimeoutMs;
    exchange.QuietTimeout = options->QuietTimeout;
    exchange.OnSent = options->OnSent;
  }
  // A standing command with an empty text is never sent (one-shots cannot be empty).
  return !exchange.Text.empty();
}

void TSer485BusMaster::AddResyncPrefix(TExchange& exchange) {
  exchange.Sent = exchange.Text;
  if (--FResyncCounter < 1) {
    exchange.Sent = kResyncPrefix + exchange.Text;
    FResyncCounter = CommandsPerResync;
  }
}

bool TSer485BusMaster::SwitchToTransmit() {
  FComPort.SetDTR(false);
  const int64_t preSendUs = static_cast<int64_t>(FPreSendDelay.load()) * 1000;
  const int64_t from = std::exchange(FPreSendFromUs, 0);
  if (from > 0 && !FComPort.DrivesDtr()) {
    // Slept along with the pause before this cycle.
    const int64_t left = from + preSendUs - FClock.NowUs();
    if (left <= 0) return FActive.load();
    return WaitWhileActive(left) == TWaitEnd::Elapsed;
  }
  return WaitWhileActive(preSendUs) == TWaitEnd::Elapsed;
}

bool TSer485BusMaster::DropLeftovers(const TExchange& exchange) {
  // Whatever the line holds now came after the last exchange ended: a late answer, a card
  // talking out of turn, noise, a line that never got its end. Taken into the new answer it
  // would push out the real one. The operating system's queue counts too, not only what was
  // read already.
  const TReadResult result = FComPort.ReceiveNow();
  if (result.Status == TReadStatus::Lost) {
    ConnectionLost(result.Error);
    return false;
  }
  std::string dropped;
  std::string piece;
  while (TakePiece(piece))
    dropped += piece;
  dropped += FComPort.TakeBuffered();
  if (!dropped.empty()) {
    PostReceived();
    ReportDropped({TDroppedInput::BeforeSend, exchange.Text, std::move(dropped)});
  }
  return true;
}

bool TSer485BusMaster::WriteCommand(TExchange& exchange) {
  exchange.SentUs = FClock.NowUs();
  if (FComPort.WriteString(exchange.Sent + "\r")) {
    if (exchange.OnSent) MainThread().Post(exchange.OnSent);
    return true;
  }
  ConnectionLost(FComPort.Error());
  return false;
}

bool TSer485BusMaster::SwitchToReceive(TExchange& exchange) {
  // The write returns before the characters have left; the line is turned round only after
  // their time on the wire.
  const uint32_t waitUs = TransmitWaitUs(exchange.Sent.size(), FComPort.OpenBaud());
  if (!FComPort.DrivesDtr()) {
    // Nothing to turn round: the answer wait starts when the switch would have been made, and
    // the thread does not wake up just for that moment.
    exchange.ListenFromUs = exchange.SentUs + waitUs;
    return true;
  }
  if (WaitWhileActive(waitUs) == TWaitEnd::Abandon) return false;
  FComPort.SetDTR(true);
  exchange.ListenFromUs = FClock.NowUs();
  return true;
}

TSer485BusMaster::TAnswerEnd TSer485BusMaster::WaitForAnswer(TExchange& exchange) {
  const int64_t deadline = exchange.ListenFromUs + static_cast<int64_t>(exchange.TimeoutMs) * 1000;
  // On a line that keeps to the line time no card's answer is complete before the command and
  // the shortest answer had their time on the wire, and as a rule not before the card's own
  // delay has passed either, as its answers taught; looking earlier would only wake the thread
  // for every character on its way.
  int64_t* const delayUs = FComPort.PacesBytes() ? &AnswerDelayUs(exchange.Text) : nullptr;
  int64_t lookFrom = exchange.ListenFromUs;
  if (delayUs)
    lookFrom = std::max<int64_t>(
        lookFrom,
        exchange.SentUs + ShortestExchangeUs(exchange.Sent.size(), FComPort.OpenBaud()) + *delayUs);
  lookFrom = std::min(lookFrom, deadline);
  bool firstLook = true;
  for (;;) {
    if (TakePiece(exchange.Answer)) {
      if (delayUs && !firstLook) LearnAnswerDelay(*delayUs, exchange, false);
      return TAnswerEnd::Answered;
    }
    if (!FActive.load()) return TAnswerEnd::Abandon;
    int64_t now = FClock.NowUs();
    if (now < lookFrom) {
      if (WaitWhileActive(lookFrom - now) == TWaitEnd::Abandon) return TAnswerEnd::Abandon;
      now = FClock.NowUs();
    } else if (now >= deadline) {
      return TAnswerEnd::TimedOut;
    }
    // The first look takes what is there without waiting: whether the answer was whole by then
    // is what the learned delay is made of.
    const int64_t maxWaitUs = firstLook ? 0 : std::max<int64_t>(deadline - now, 0);
    const TReadResult result = FComPort.Receive(maxWaitUs);
    if (result.Status == TReadStatus::Lost) {
      ConnectionLost(result.Error);
      return TAnswerEnd::Abandon;
    }
    if (std::exchange(firstLook, false) && TakePiece(exchange.Answer)) {
      if (delayUs) LearnAnswerDelay(*delayUs, exchange, true);
      return TAnswerEnd::Answered;
    }
    // Part of a line, just come: the rest cannot be there before its characters had their time
    // on the wire. An adapter that hands on every character or two would otherwise wake the
    // thread for each of them. The last two are waited for as they come, so that an answer is
    // taken as soon as it is complete.
    if (FComPort.PacesBytes() && result.Status == TReadStatus::Data &&
        !FComPort.PartialLine().empty())
      lookFrom = std::min(FClock.NowUs() + RestOfLineUs(FComPort.OpenBaud()), deadline);
  }
}

int64_t TSer485BusMaster::RestOfLineUs(uint32_t baud) const {
  // Characters the line still needs: at least up to the shortest answer, and its CR LF.
  const std::size_t partial = FComPort.PartialLine().size();
  const std::size_t missing = partial + 2 < ShortestAnswer ? ShortestAnswer - partial : 2;
  const std::size_t skipped = missing > kCharsWaitedFor ? missing - kCharsWaitedFor : 0;
  return LineTimeUs(skipped, baud);
}

int64_t& TSer485BusMaster::AnswerDelayUs(const std::string& command) {
  if (FAnswerDelaysBaud != FComPort.OpenBaud()) {
    FAnswerDelaysBaud = FComPort.OpenBaud();
    FAnswerDelaysUs.fill(0);
  }
  // Characters 2 and 3 of a command are its card's address.
  const int address = command.size() >= 3 ? HexPairValue(command[1], command[2]) : -1;
  if (address < 0) return FAnswerDelaysUs.back();
  return FAnswerDelaysUs[static_cast<std::size_t>(address)];
}

void TSer485BusMaster::LearnAnswerDelay(int64_t& delay, const TExchange& exchange,
                                        bool wholeAtFirstLook) {
  // A look that found the answer whole may have come late, one that did not was early: the
  // delay moves down four steps for the one and up one for the other, so that it settles where
  // about four looks in five are early. An early look costs a wake-up of the thread, a late one
  // the time the answer lay unread, which is kept to about a fifth of a step on average. A card
  // that answers later than before is thus followed slowly, one that answers sooner quickly.
  constexpr int64_t kStepUpUs = 25;
  constexpr int64_t kStepDownUs = 4 * kStepUpUs;
  if (wholeAtFirstLook) {
    delay = std::max<int64_t>(delay - kStepDownUs, 0);
    return;
  }
  // How late the answer actually was, beyond its own line time: the look is never put off
  // beyond that.
  const int64_t lateUs =
      FClock.NowUs() - exchange.SentUs -
      LineTimeUs(exchange.Sent.size() + 1 + exchange.Answer.size(), FComPort.OpenBaud());
  delay = std::clamp<int64_t>(delay + kStepUpUs, 0, std::max<int64_t>(lateUs, 0));
}

void TSer485BusMaster::DropFurtherLines(const TExchange& exchange) {
  // The answer is the first line; a second one glued to it would be read as more fields.
  std::string further;
  std::string piece;
  while (TakePiece(piece))
    further += piece;
  if (!further.empty()) {
    PostReceived();
    ReportDropped({TDroppedInput::AfterAnswer, exchange.Text, std::move(further)});
  }
}

bool TSer485BusMaster::HandAnswer(TExchange& exchange) {
  if (!exchange.Handler) return false;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FHandlerPending = true;
  }
  // The bus thread does not stand by while the main thread comes round to the handler: it
  // sleeps through the pause meanwhile and looks once it is over (ThreadBody). The task takes
  // along everything it needs, so that the next exchange cannot touch it.
  MainThread().Post([this, text = std::move(exchange.Text), answer = std::move(exchange.Answer),
                     handler = std::move(exchange.Handler), serial = exchange.Serial,
                     recorded = exchange.Recorded, pieces = std::move(FReceivedPieces)] {
    DeliverReceived(pieces);
    FRunningHandler = true;
    std::optional<std::string> error;
    try {
      handler(text, answer);
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = TrText("TMainThreadExecutor", "unbekannter Fehler").Shown();
    }
    FRunningHandler = false;
    // The exchange is over also when the handler failed. Done here, a caller waiting for the
    // queue to run empty sees it without being woken once more.
    RemoveOneShot(serial);
    // The exchange's record goes along: no hand-over of its own.
    if (recorded) DeliverRecords();
    if (error) ReportMessage(*error, 1);
    bool awaited;
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FHandlerPending = false;
      awaited = FAwaitingHandler;
    }
    // Only a bus thread that is waiting for the handler needs waking; one that sleeps through
    // its pause finds it done when it wakes.
    if (awaited) FWake.notify_all();
  });
  FReceivedPieces.clear();
  return true;
}

bool TSer485BusMaster::RemoveOneShot(uint64_t serial) {
  // Also when the handler failed: sending it again would only fail again and hold up every
  // later command.
  if (serial == 0) return false;
  std::lock_guard<std::mutex> lock(FMutex);
  if (FCommandQueue.empty() || FCommandQueue.front().Serial != serial) return false;
  FCommandQueue.pop_front();
  return true;
}

void TSer485BusMaster::FinishOneShot(const TExchange& exchange) {
  // Someone in the main thread may be waiting for the queue to run empty.
  if (RemoveOneShot(exchange.Serial)) MainThread().Notify();
}

TSer485BusMaster::TWaitEnd TSer485BusMaster::WaitWhileActive(int64_t us) {
  std::unique_lock<std::mutex> lock(FMutex);
  const bool stopped = FClock.WaitUntil(FWake, lock, FClock.NowUs() + us,
                                        [this] { return !FActive.load() || FTerminate; });
  return stopped ? TWaitEnd::Abandon : TWaitEnd::Elapsed;
}

bool TSer485BusMaster::NextCycleSendsLocked() const {
  if (!FActive.load()) return false;
  if (!FCommandQueue.empty()) return true;
  // A poll cycle with an enabled entry at the head of the list.
  return FPollCountdown <= 1 && !FPollList.empty() && FPollList.front()->Enabled &&
         !FPollList.front()->Text.empty();
}

bool TSer485BusMaster::TakePiece(std::string& piece) {
  if (!FComPort.NextPiece(piece)) return false;
  if (FHasReceivedObserver.load()) FReceivedPieces.push_back(piece);
  return true;
}

void TSer485BusMaster::PostReceived() {
  if (FReceivedPieces.empty()) return;
  std::weak_ptr<int> alive = FAlive;
  MainThread().Post([this, alive, pieces = std::move(FReceivedPieces)] {
    if (!alive.expired()) DeliverReceived(pieces);
  });
  FReceivedPieces.clear();
}

void TSer485BusMaster::DeliverReceived(const std::vector<std::string>& pieces) {
  if (!FOnReceived) return;
  for (const std::string& piece : pieces)
    FOnReceived(piece);
}

void TSer485BusMaster::ReportDropped(TDroppedInput dropped) {
  const std::string prefix = "IFC(" + std::to_string(FIfcNumber.load()) + "): ";
  const std::string shown = "\"" + ReadableText(dropped.Text, kShownDroppedBytes) + "\"";
  if (dropped.When == TDroppedInput::BeforeSend) {
    ReportMessage(prefix + TrText("TSer485BusMaster", "%1 Zeichen vor dem Senden verworfen: %2")
                               .Arg(dropped.Text.size())
                               .Arg(shown)
                               .Shown(),
                  1);
  } else {
    const std::size_t lines = CountLines(dropped.Text);
    const TText text = lines == 1
                           ? TrText("TSer485BusMaster",
                                    "1 weitere Zeile nach der Antwort auf \"%1\" verworfen: %2")
                           : TrText("TSer485BusMaster",
                                    "%3 weitere Zeilen nach der Antwort auf \"%1\" verworfen: %2");
    ReportMessage(
        prefix + TText(text).Arg(ReadableText(dropped.Command)).Arg(shown).Arg(lines).Shown(), 1);
  }
  if (!FHasDroppedObserver.load()) return;
  std::weak_ptr<int> alive = FAlive;
  MainThread().Post([this, alive, dropped = std::move(dropped)] {
    if (!alive.expired() && FOnDropped) FOnDropped(dropped);
  });
}

void TSer485BusMaster::ConnectionLost(const std::string& error) {
  // Read before the connection is taken down, so that a disconnect by the user meanwhile wins.
  const uint64_t epoch = FConnectEpoch.load();
  const bool wasActive = FActive.exchange(false);
  FComPort.Close();
  if (!wasActive) return;
  ReportMessage(error.empty()
                    ? TrText("TSer485BusMaster",
                             "ComPort %1 ist nicht mehr verfügbar, die Verbindung wurde getrennt. ")
                          .Arg(FComPort.OpenPort())
                    : TrText("TSer485BusMaster",
                             "ComPort %1 ist nicht mehr verfügbar (%2), die Verbindung wurde "
                             "getrennt. ")
                          .Arg(FComPort.OpenPort())
                          .Arg(error));
  std::weak_ptr<int> alive = FAlive;
  MainThread().Post([this, alive, epoch] {
    if (alive.expired()) return;
    StartWaitingForDevice(epoch);
    if (OnConnectionLost) OnConnectionLost();
  });
}
