#pragma once
// Developer mode and the debug-output path.

#include <string>

// Developer mode switches a few developer-only features on. Evaluated afresh on every call: on
// Windows a top-level window of class "TAppBuilder" must exist, elsewhere the environment
// variable KAVORCONFIG_DEVELOPER must be "1".
bool IsDeveloperMode();

// One line to the debug output: the optional debug-channel library when it is loaded, else the
// debugger output (standard error outside Windows). Any thread.
void DebugOut(const std::string& line);
// Splits a text into lines of at most 251 characters and passes each to DebugOut.
void DebugOutText(const std::string& text);

// Loads the optional debug-channel library at start-up and releases it at shut-down. Its absence
// changes nothing.
void DebugChannelsStart();
void DebugChannelsStop();

// The sink DebugOut writes to; tests replace it to see the lines.
using TDebugSink = void (*)(const std::string& line);
TDebugSink SetDebugSink(TDebugSink sink);

// Platform parts (diagnostics_win.cpp / diagnostics_posix.cpp).
bool PlatformDeveloperMode();
void PlatformDebuggerOutput(const std::string& text);
