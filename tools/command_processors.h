#pragma once
// The command processor of each edit mode.
#include <memory>

#include "tools/command_framework.h"

// Make (0), move (1), pose (2) and weight (3) have a processor; the morph
// mode (4) and any other value have none (null).
std::unique_ptr<MED_COMPROC_BASE> MakeCommandProcessor(int mode);
