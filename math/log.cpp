#include "math/log.h"

#include <cstdio>

#include "platform/debug_output.h"

namespace quorvel {
namespace {

// Constant-initialised, so logging works even from static constructors.
LogSink g_sink{&LogDefaultCallback, nullptr};
bool g_append_newline = false;

using LineBuffer = char[kLogMaxLine + 1];

// Formats into buf, truncating to kLogMaxLine characters.
void FormatLine(LineBuffer& buf, const char* fmt, std::va_list args) {
  const int n = std::vsnprintf(buf, sizeof(buf), fmt, args);
  if (n < 0) buf[0] = '\0';
}

void Emit(LineBuffer& buf) {
  if (g_append_newline) {
    std::size_t len = 0;
    while (buf[len] != '\0') ++len;
    if (len == static_cast<std::size_t>(kLogMaxLine)) --len;
    buf[len] = '\n';
    buf[len + 1] = '\0';
  }
  g_sink.callback(buf, g_sink.user);
}

}  // namespace

void LogDefaultCallback(const char* line, void* /*user*/) { platform::WriteDebugString(line); }

LogSink LogSetSink(LogCallback callback, void* user) {
  const LogSink previous = g_sink;
  if (callback == nullptr) {
    g_sink = LogSink{&LogDefaultCallback, nullptr};
  } else {
    g_sink = LogSink{callback, user};
  }
  return previous;
}

LogSink LogGetSink() { return g_sink; }

void LogResetSink() { LogSetSink(nullptr, nullptr); }

void LogSetAppendNewline(bool on) { g_append_newline = on; }

bool LogAppendNewline() { return g_append_newline; }

void LogVPrintf(const char* fmt, std::va_list args) {
  LineBuffer buf;
  FormatLine(buf, fmt, args);
  Emit(buf);
}

void LogPrintf(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  LogVPrintf(fmt, args);
  va_end(args);
}

void LogMatrix(const FMATRIX& m, const char* label_fmt, ...) {
  LineBuffer label;
  std::va_list args;
  va_start(args, label_fmt);
  FormatLine(label, label_fmt, args);
  va_end(args);
  for (int r = 0; r < 4; ++r) {
    LogPrintf("%s[%d] (%f,%f,%f,%f)", label, r, m(r, 0), m(r, 1), m(r, 2), m(r, 3));
  }
}

void LogTable2D(const FVECTOR2 (&rows)[3], const char* label_fmt, ...) {
  LineBuffer label;
  std::va_list args;
  va_start(args, label_fmt);
  FormatLine(label, label_fmt, args);
  va_end(args);
  for (int r = 0; r < 3; ++r) {
    LogPrintf("%s[%d] (%f,%f)", label, r, rows[r].x, rows[r].y);
  }
}

void LogVector4(const FVECTOR4& v, const char* label_fmt, ...) {
  LineBuffer label;
  std::va_list args;
  va_start(args, label_fmt);
  FormatLine(label, label_fmt, args);
  va_end(args);
  LogPrintf("%s (%f,%f,%f,%f)", label, v.x, v.y, v.z, v.w);
}

void LogQuat(const FQUAT& q, const char* label_fmt, ...) {
  LineBuffer label;
  std::va_list args;
  va_start(args, label_fmt);
  FormatLine(label, label_fmt, args);
  va_end(args);
  LogPrintf("%s (%f,%f,%f,%f)", label, q.x, q.y, q.z, q.w);
}

}  // namespace quorvel
