#include "tools/command_processors.h"

#include "tools/make_command.h"
#include "tools/motion_command.h"
#include "tools/move_command.h"
#include "tools/weight_paint_command.h"

std::unique_ptr<MED_COMPROC_BASE> MakeCommandProcessor(int mode) {
  switch (mode) {
    case 0: return std::make_unique<COMPROC_MAKE>();
    case 1: return std::make_unique<COMPROC_MOVE>();
    case 2: return std::make_unique<COMPROC_MOTION>();
    case 3: return std::make_unique<COMPROC_VWEIT>();
    default: return nullptr;
  }
}
