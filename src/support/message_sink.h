#pragma once
// The program-wide message sink: every failure a user can meet ends as one line here.

#include <cstdint>
#include <functional>
#include <string>

// Handler of the sink: (text, kind). Every report of this program uses kind 1.
using TMessageHandler = std::function<void(const std::string& text, uint8_t kind)>;

// Reports one line. Callable from any thread; the handler always runs in the main thread, and
// reports from other threads reach it in call order. Without a handler the text goes to
// ShowNotice. Never throws.
void ReportMessage(const std::string& text, uint8_t kind = 1);

// The handler slot. Installers save the previous contents and put them back when they go
// (TMessageHandlerScope does both), so the slot behaves like a stack of one level per installer.
TMessageHandler GetMessageHandler();
TMessageHandler SetMessageHandler(TMessageHandler handler);

class TMessageHandlerScope {
 public:
  explicit TMessageHandlerScope(TMessageHandler handler);
  ~TMessageHandlerScope();
  TMessageHandlerScope(const TMessageHandlerScope&) = delete;
  TMessageHandlerScope& operator=(const TMessageHandlerScope&) = delete;

 private:
  TMessageHandler FPrevious;
};

// A notice the user must acknowledge. Programs without windows write it to standard error;
// the GUI installs its message box. Runs in the main thread (calls from elsewhere are handed
// over). Never throws.
using TNoticeHandler = std::function<void(const std::string& text)>;
void ShowNotice(const std::string& text);
TNoticeHandler SetNoticeHandler(TNoticeHandler handler);
