#include "support/diagnostics.h"

#include <QLibrary>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "support/message_sink.h"
#include "support/paths.h"
#include "support/texts.h"

namespace {

// The library's file name and the place it is looked for first on a developer's machine.
#ifdef _WIN32
const char* const kDebugLibraryName = "KavorDebug.dll";
const char* const kDevelopmentPath = "C:\\KavorDev\\KavorDebug.dll";
#else
const char* const kDebugLibraryName = "libkavordebug.so";
const char* const kDevelopmentPath = "/opt/kavordev/libkavordebug.so";
#endif

using TChannelsProc = void (*)(std::FILE* standardOutput, std::FILE* second);
using TInitProc = void (*)();

std::mutex GLibraryMutex;
QLibrary* GLibrary = nullptr;
std::FILE* GSecondChannel = nullptr;
std::atomic<bool> GLibraryLoaded{false};
std::atomic<TDebugSink> GSink{nullptr};

QLibrary* LookUpLibrary() {
  if (GLibrary) return GLibrary;
  auto* library = new QLibrary();
  const std::string development = kDevelopmentPath;
  library->setFileName(QString::fromStdString(
      FileExists(development) ? development
                              : IncludeTrailingBackslash(ProgramDir()) + kDebugLibraryName));
  if (!library->load()) {
    delete library;
    return nullptr;
  }
  GLibrary = library;
  GLibraryLoaded = true;
  return GLibrary;
}

}  // namespace

bool IsDeveloperMode() {
  return PlatformDeveloperMode();
}

TDebugSink SetDebugSink(TDebugSink sink) {
  return GSink.exchange(sink);
}

void DebugOut(const std::string& line) {
  if (TDebugSink sink = GSink.load()) {
    sink(line);
    return;
  }
  if (GLibraryLoaded) {
    // The library has taken over standard output; it reads lines ending in a NUL.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\0', stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return;
  }
  PlatformDebuggerOutput(">>>\r\n" + line + "\r\n<<<");
}

void DebugOutText(const std::string& text) {
  std::string buffer;
  for (char c : text) {
    if (c == '\0') {
      DebugOut(buffer);
      return;
    }
    if (c == '\r') continue;
    if (c == '\n') {
      DebugOut(buffer);
      buffer.clear();
      continue;
    }
    if (buffer.size() > 250) {
      DebugOut(buffer);
      buffer.clear();
    }
    buffer += c;
  }
  if (!buffer.empty()) DebugOut(buffer);
}

void DebugChannelsStart() {
  std::lock_guard<std::mutex> lock(GLibraryMutex);
  QLibrary* library = nullptr;
  try {
    library = LookUpLibrary();
  } catch (const std::exception& e) {
    ShowNotice(
        TrText("Diagnostics", "DebugChannelsStart (Laden der Debug-Bibliothek): %1").Arg(e.what()));
    return;
  }
  if (!library) return;
  if (!GSecondChannel) GSecondChannel = std::tmpfile();
  try {
    if (auto init = reinterpret_cast<TInitProc>(library->resolve("InitDebugChannels"))) init();
  } catch (const std::exception& e) {
    ShowNotice(std::string("DynInitDebugChannels: ") + e.what());
  }
  try {
    if (auto open = reinterpret_cast<TChannelsProc>(library->resolve("OpenDebugChannels")))
      open(stdout, GSecondChannel);
  } catch (const std::exception& e) {
    ShowNotice(std::string("DynOpenDebugChannels: ") + e.what());
  }
}

void DebugChannelsStop() {
  std::lock_guard<std::mutex> lock(GLibraryMutex);
  QLibrary* library = nullptr;
  try {
    library = LookUpLibrary();
    if (library) {
      if (auto close = reinterpret_cast<TChannelsProc>(library->resolve("CloseDebugChannels")))
        close(stdout, GSecondChannel);
    }
  } catch (...) {
    // Closing the channels is best effort.
  }
  GLibraryLoaded = false;
  // Not unloaded explicitly (deleting the QLibrary object leaves the library loaded): the
  // library may still hold the channels.
  delete GLibrary;
  GLibrary = nullptr;
  if (GSecondChannel) {
    std::fclose(GSecondChannel);
    GSecondChannel = nullptr;
  }
}
