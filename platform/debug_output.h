#pragma once
// Where diagnostic lines end up by default: the debugger output on Windows
// (OutputDebugStringA), standard error natively when QUORVEL_LOG is set.

namespace quorvel::platform {

void WriteDebugString(const char* text);

}  // namespace quorvel::platform
