#pragma once
// Collects the message-sink reports of a test.

#include <mutex>
#include <string>
#include <vector>

#include "support/message_sink.h"

class TRecordingSink {
 public:
  TRecordingSink()
      : FScope([this](const std::string& text, uint8_t kind) {
          std::lock_guard<std::mutex> lock(FMutex);
          FLines.push_back(text);
          FKinds.push_back(kind);
        }) {}

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FLines;
  }
  std::vector<uint8_t> Kinds() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FKinds;
  }
  std::size_t Count(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(FMutex);
    std::size_t n = 0;
    for (const std::string& line : FLines)
      if (line.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(FMutex);
    FLines.clear();
    FKinds.clear();
  }

 private:
  mutable std::mutex FMutex;
  std::vector<std::string> FLines;
  std::vector<uint8_t> FKinds;
  TMessageHandlerScope FScope;
};
