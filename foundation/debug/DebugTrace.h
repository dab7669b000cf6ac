#pragma once
// The always-on debugger trace: one line of local time "%04d-%02d-%02d %02d:%02d:%02d:%03d ",
// the formatted message and "\n", written to standard error.
// Threads: any thread.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
