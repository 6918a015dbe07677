#pragma once
// The process-wide diagnostic log: printf-style lines handed to one sink. The
// default sink is the platform's debug output; tests install their own to
// capture lines. Nothing in the plug-in depends on what is logged.
//
// The plug-in is single-threaded (every call arrives on the host's UI thread),
// so the sink and the newline switch are plain process state without locks.

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "math/fmath.h"

#if defined(__MINGW32__) && defined(__MINGW_PRINTF_FORMAT)
#define QUORVEL_PRINTF_LIKE(fmt_index, args_index) \
  __attribute__((format(__MINGW_PRINTF_FORMAT, fmt_index, args_index)))
#elif defined(__GNUC__)
#define QUORVEL_PRINTF_LIKE(fmt_index, args_index) __attribute__((format(printf, fmt_index, args_index)))
#else
#define QUORVEL_PRINTF_LIKE(fmt_index, args_index)
#endif

namespace quorvel {

// Longest line a sink receives, not counting the terminating NUL (the optional
// newline is included in it).
constexpr int kLogMaxLine = 1023;

// Receives one finished, NUL-terminated line and the user pointer given with it.
using LogCallback = void (*)(const char* line, void* user);

struct LogSink {
  LogCallback callback;
  void* user;
};

// Passes the line to platform::WriteDebugString.
void LogDefaultCallback(const char* line, void* user);

// Installs a sink and returns the previous one; a null callback installs the
// default sink.
LogSink LogSetSink(LogCallback callback, void* user);
LogSink LogGetSink();
void LogResetSink();

// When on, every line gets a trailing '\n' (within the line length limit).
void LogSetAppendNewline(bool on);
bool LogAppendNewline();

void LogPrintf(const char* fmt, ...) QUORVEL_PRINTF_LIKE(1, 2);
void LogVPrintf(const char* fmt, std::va_list args) QUORVEL_PRINTF_LIKE(1, 0);

// Four lines "<label>[<row>] (%f,%f,%f,%f)"; the label is formatted from label_fmt.
void LogMatrix(const FMATRIX& m, const char* label_fmt, ...) QUORVEL_PRINTF_LIKE(2, 3);
// Three lines "<label>[<row>] (%f,%f)".
void LogTable2D(const FVECTOR2 (&rows)[3], const char* label_fmt, ...) QUORVEL_PRINTF_LIKE(2, 3);
// One line "<label> (%f,%f,%f,%f)".
void LogVector4(const FVECTOR4& v, const char* label_fmt, ...) QUORVEL_PRINTF_LIKE(2, 3);
void LogQuat(const FQUAT& q, const char* label_fmt, ...) QUORVEL_PRINTF_LIKE(2, 3);

// An address as the "%08x" of a log line: its low 32 bits, which on the
// 32-bit host is the whole address.
inline unsigned int LogAddress(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(p));
}

}  // namespace quorvel
