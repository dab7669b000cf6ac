#pragma once
// The debugger trace: one line of local time "%04d-%02d-%02d %02d:%02d:%02d:%03d ", the
// formatted message and "\n", written to standard error while the trace is on. It stands in for
// a debugger's output, so a terminal shows nothing of it unless asked for: it is on when the
// environment variable ORVANE_TRACE is set to anything but "" or "0", or once the program turns
// it on (it does so when the "DebugLog" setting is on).
// Threads: any thread.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Turns the trace output on or off for the rest of the run (or until the next call).
void SetDebugTraceOn(bool on);
bool IsDebugTraceOn();
