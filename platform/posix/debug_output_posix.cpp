#include <cstdio>
#include <cstdlib>

#include "platform/debug_output.h"

namespace quorvel::platform {

void WriteDebugString(const char* text) {
  if (text == nullptr || std::getenv("QUORVEL_LOG") == nullptr) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

}  // namespace quorvel::platform
