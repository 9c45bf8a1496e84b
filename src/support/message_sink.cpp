#include "support/message_sink.h"

#include <cstdio>
#include <mutex>

#include "support/main_thread.h"

namespace {

std::mutex GSlotMutex;
TMessageHandler GHandler;
TNoticeHandler GNoticeHandler;

void WriteNoticeToStderr(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void DeliverNotice(const std::string& text) {
  TNoticeHandler handler;
  {
    std::lock_guard<std::mutex> lock(GSlotMutex);
    handler = GNoticeHandler;
  }
  try {
    if (handler)
      handler(text);
    else
      WriteNoticeToStderr(text);
  } catch (...) {
    WriteNoticeToStderr(text);
  }
}

void Deliver(const std::string& text, uint8_t kind) {
  TMessageHandler handler = GetMessageHandler();
  if (!handler) {
    DeliverNotice(text);
    return;
  }
  try {
    handler(text, kind);
  } catch (...) {
    // A handler's own failures are its business; the report must not take the caller down.
  }
}

}  // namespace

void ReportMessage(const std::string& text, uint8_t kind) {
  try {
    TMainThreadExecutor& main = MainThread();
    if (main.IsMainThread())
      Deliver(text, kind);
    else
      main.Post([text, kind] { Deliver(text, kind); });
  } catch (...) {
    WriteNoticeToStderr(text);
  }
}

TMessageHandler GetMessageHandler() {
  std::lock_guard<std::mutex> lock(GSlotMutex);
  return GHandler;
}

TMessageHandler SetMessageHandler(TMessageHandler handler) {
  std::lock_guard<std::mutex> lock(GSlotMutex);
  TMessageHandler previous = std::move(GHandler);
  GHandler = std::move(handler);
  return previous;
}

TMessageHandlerScope::TMessageHandlerScope(TMessageHandler handler)
    : FPrevious(SetMessageHandler(std::move(handler))) {}

TMessageHandlerScope::~TMessageHandlerScope() {
  SetMessageHandler(std::move(FPrevious));
}

void ShowNotice(const std::string& text) {
  try {
    TMainThreadExecutor& main = MainThread();
    if (main.IsMainThread())
      DeliverNotice(text);
    else
      main.Post([text] { DeliverNotice(text); });
  } catch (...) {
    WriteNoticeToStderr(text);
  }
}

TNoticeHandler SetNoticeHandler(TNoticeHandler handler) {
  std::lock_guard<std::mutex> lock(GSlotMutex);
  TNoticeHandler previous = std::move(GNoticeHandler);
  GNoticeHandler = std::move(handler);
  return previous;
}
