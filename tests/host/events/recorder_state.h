#pragma once
// The recording test plug-in (host_test_recorder): a command plug-in built
// with the plug-in frame that writes down every event exactly as the host
// delivered it, and does what a test asks of it. The test reaches this block
// through the module's export "RecorderState". Plain data only, so that it
// means the same on both sides of the module boundary.
#include <cstdint>

#include "sdk/mq_types.h"

namespace recorder {

constexpr uint32_t kProductId = 0x54455354;  // "TEST"
constexpr uint32_t kPluginId = 0x52454331;   // "REC1"

constexpr int kMaxEvents = 512;
constexpr int kMaxArgs = 8;
constexpr int kTextSize = 96;

struct Arg {
  char name[24];
  void* value;           // the pointer as delivered
  int32_t number;        // what it pointed at, for the integer arguments
  char text[kTextSize];  // the string, for "description" and "filename"
};

struct Event {
  int32_t code;
  MQDocument doc;
  int32_t flag;       // 100 and 102: the BOOL the option pointed at
  int32_t arg_count;  // -1: the option was null
  Arg args[kMaxArgs];
  int32_t answer;     // what MQOnEvent answered
};

struct State {
  // ---- set by the test
  BOOL initialize_answer;
  BOOL input_answer;         // mouse and key handlers
  int32_t message_answer;    // user messages it does not know
  BOOL set_save_uid;         // on save, ask the host to keep unique ids
  int32_t callback_on;       // ask for a station callback during this event (0: never)
  int32_t undo_on;           // send request 301 during this event (0: never)
  BOOL draw_objects;         // each draw makes one instant and one kept drawing object
  BOOL draw_marker;          // each draw shows a point at `marker` in `marker_colour`, for
                             // that frame only (an instant drawing object of points)
  float marker[3];
  float marker_colour[3];

  // ---- written by the plug-in
  int32_t event_count;
  Event events[kMaxEvents];
  int32_t depth;                 // MQOnEvent calls in progress
  int32_t callbacks_run;
  int32_t callback_event_count;  // events recorded when the last callback ran
  int32_t callback_depth;        // MQOnEvent calls in progress then
  MQDocument callback_doc;
  MQObject instant_object;  // the last draw's
  MQObject kept_object;
  int32_t found_saved_data;  // at the last new document: its element held "Saved"
  char model[24];            // what it hands out as its rendering model
};

using GetStateFn = State* (*)();

}  // namespace recorder
