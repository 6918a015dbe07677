#pragma once
// The tests' own hold on the recording plug-in's module: it keeps the module
// loaded (and its record) while the host loads and unloads it, and hands out
// the record.
#include <cstring>

#include "platform/module.h"
#include "recorder_state.h"

namespace recorder {

class Access {
 public:
  Access() : module_(quorvel::platform::OpenModule(QUORVEL_RECORDER_PATH)) {
    void* symbol = module_ != nullptr ? quorvel::platform::FindSymbol(module_, "RecorderState") : nullptr;
    GetStateFn get = nullptr;
    static_assert(sizeof(get) == sizeof(symbol), "function pointer size");
    if (symbol != nullptr) std::memcpy(&get, &symbol, sizeof(get));
    state_ = get != nullptr ? get() : nullptr;
  }
  ~Access() { quorvel::platform::CloseModule(module_); }
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

  // Null when the module could not be loaded.
  State* state() const { return state_; }

  // Forgets everything and sets the answers a test starts from.
  void Reset() const {
    std::memset(state_, 0, sizeof(*state_));
    state_->initialize_answer = TRUE;
    state_->input_answer = TRUE;
  }

 private:
  quorvel::platform::ModuleHandle module_;
  State* state_ = nullptr;
};

// The first argument of `event` named `name`, or null.
inline const Arg* FindArg(const Event& event, const char* name) {
  for (int i = 0; i < event.arg_count; ++i) {
    if (std::strcmp(event.args[i].name, name) == 0) return &event.args[i];
  }
  return nullptr;
}

}  // namespace recorder
