// Exchange records of TSer485BusMaster: stamped while an observer listens, made in the bus thread
// once the answer is in, and handed to the main thread in batches: right after the answer
// handler, in the same hand-over, where there is one, so that recording adds no wake-up of the
// main thread; else posted. While nobody listens the exchange pays one relaxed atomic load.

#include "bus/bus_master.h"
#include "support/main_thread.h"

void TSer485BusMaster::SetOnExchanges(std::function<void(const TExchangeBatch&)> observer) {
  FRecording.store(static_cast<bool>(observer), std::memory_order_relaxed);
  if (!observer) {
    // What was recorded for the last observer is nobody's any more.
    std::lock_guard<std::mutex> lock(FRecordMutex);
    FRecords.clear();
  }
  FOnExchanges = std::move(observer);
}

void TSer485BusMaster::StampWritten(TExchange& exchange) {
  if (!FRecording.load(std::memory_order_relaxed)) return;
  exchange.Recorded = true;
  exchange.WrittenUs = FClock.NowUs();
  exchange.WrittenMs = WallClockMs();
}

void TSer485BusMaster::StampAnswered(TExchange& exchange) {
  if (exchange.Recorded) exchange.AnsweredUs = FClock.NowUs();
}

void TSer485BusMaster::RecordExchange(const TExchange& exchange, bool timedOut) {
  if (!exchange.Recorded) return;
  TExchangeRecord record;
  record.IfcNumber = FIfcNumber.load();
  record.Command = exchange.Text;
  record.ResyncPrefix = exchange.Sent.size() != exchange.Text.size();
  if (!timedOut) record.Answer = exchange.Answer;
  record.Outcome = ClassifyAnswer(record.Command, record.Answer);
  record.Poll = exchange.Serial == 0;
  record.WrittenMs = exchange.WrittenMs;
  record.AnswerUs = exchange.AnsweredUs - exchange.WrittenUs;
  record.Baud = FComPort.OpenBaud();
  std::lock_guard<std::mutex> lock(FRecordMutex);
  FRecords.push_back(std::move(record));
}

void TSer485BusMaster::PostRecords() {
  {
    // One hand-over carries every record made until the main thread comes round.
    std::lock_guard<std::mutex> lock(FRecordMutex);
    if (FRecords.empty() || FRecordsPosted) return;
    FRecordsPosted = true;
  }
  std::weak_ptr<int> alive = FAlive;
  MainThread().Post([this, alive] {
    if (!alive.expired()) DeliverRecords();
  });
}

void TSer485BusMaster::DeliverRecords() {
  TExchangeBatch batch;
  {
    std::lock_guard<std::mutex> lock(FRecordMutex);
    batch.swap(FRecords);
    FRecordsPosted = false;
  }
  if (FOnExchanges && !batch.empty()) FOnExchanges(batch);
}
