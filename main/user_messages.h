#pragma once
// The commands other plug-ins send the main object as user messages, and the
// records they send with them.
//
// A record lies in the sender's memory, laid out as the structures below are
// laid out by the sender's compiler: in the 32-bit edition with 4-byte
// pointers, in the 64-bit one with 8-byte pointers at natural alignment (the
// offsets of both are asserted below). The handler reads
// and writes single fields at their offsets and never more than a command
// uses, so a sender may hand over a record that ends after its last field.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "rig/flz_model.h"
#include "sdk/mq_types.h"

class DLMAIN;

// Name fields of the records: up to 255 bytes and a terminator.
constexpr int UMSG_NAME_BYTES = 256;

// "HasAnyMorphTarget", "HasVertexWeight" (the object alone), "HasMorphTarget"
// (value: morph index -1..19, in) and "GetCurrentMorphTargetIndex" (value:
// the index, out). The object is named by its host unique id.
struct UMSG_OBJECT_INT {
  int32_t object;
  int32_t value;
};

// "SetMorphTarget": index receives the slot the target was made in.
struct UMSG_SET_MORPH_TARGET {
  int32_t object;
  char name[UMSG_NAME_BYTES];
  char group[UMSG_NAME_BYTES];
  int32_t index;
};

// "GetMorphTarget": group receives the name of the target's group; the
// bytes in between are the sender's and stay as they are.
struct UMSG_GET_MORPH_TARGET {
  int32_t object;
  int32_t index;
  char unused[UMSG_NAME_BYTES];
  char group[UMSG_NAME_BYTES];
};

// "SetMorphTargetPosArray", "GetMorphTargetPosArray": three floats (x, y, z)
// per vertex of the object, in vertex order.
struct UMSG_MORPH_POSITIONS {
  int32_t object;
  int32_t index;
  float* positions;
};

// "GetBaseMorphTargetPosArray".
struct UMSG_BASE_POSITIONS {
  int32_t object;
  float* positions;
};

// The sender's weight array: `count` entries, entry i (the one of vertex i)
// at entries + i × (8 × pairs + 4): an int32 number of bone pairs in use,
// then room for `pairs` pairs of (bone unique id as int32, weight as float).
struct UMSG_WEIGHT_ARRAY {
  int32_t unused;
  void* entries;
  int32_t pairs;
  int32_t count;
};

// "SetVertexWeightArray", "GetVertexWeightArray".
struct UMSG_WEIGHT_COMMAND {
  int32_t object;
  UMSG_WEIGHT_ARRAY* weights;
};

// Bytes of one weight array entry with room for `pairs` (0 or more) pairs;
// 64 bits wide, so that no room a sender can state wraps around.
constexpr uint64_t UmsgWeightEntryBytes(int32_t pairs) {
  return 4u + 8u * static_cast<uint64_t>(pairs);
}

// Paths of the glTF commands: a Windows path in the system code page, with
// its terminator.
constexpr int UMSG_PATH_BYTES = 260;

// "ExportGltf" writes the document and its rig to `path` (.glb or .gltf);
// "ImportGltf" adds the file's model to the document as one undo step. The
// counts are what was written (objects, joints, vertices, morph targets,
// animations) or read (objects, joints, vertices, morph targets, poses); the
// answer is FALSE and `message` says why when nothing was done, and after an
// import `message` lists what was read with a loss.
struct UMSG_GLTF_FILE {
  char path[UMSG_PATH_BYTES];
  float unit_scale;  // metres per modeller unit; 0 for the default (0.01)
  int32_t objects;
  int32_t joints;
  int32_t vertices;
  int32_t targets;
  int32_t animations;
  char message[UMSG_NAME_BYTES];
};

// "GetPoseCount" fills `count` and the current pose's list position and
// name (-1 and empty without one); "SetCurrentPose" makes the pose at list
// position `position` current, then fills the record the same way.
struct UMSG_POSE {
  int32_t position;
  int32_t count;
  char name[UMSG_NAME_BYTES];
};

// The weight and bone tools: "AutoWeights", "MirrorWeights", "SmoothWeights",
// "LimitWeights" (on the object's weights), "MirrorPose" (the current pose)
// and "MirrorBones". Each reads the fields it uses; a field left 0 takes its
// default. The answer is FALSE and `message` says why when nothing was done;
// otherwise `changed` counts what was done and `message` names what was left.
struct UMSG_RIGGING {
  int32_t object;         // unique id of the object (or bone); 0 or -1: the current one
  int32_t selected_only;  // weights: only the object's selected vertices
  int32_t mode;           // mirror weights: 0 +X to -X, 1 -X to +X;
                          // mirror pose: 0 the bone, 1 +X to -X, 2 -X to +X, 3 flip
  int32_t resolution;     // automatic weights: voxels along the longest side (128)
  float falloff;          // automatic weights (1.0)
  int32_t max_bones;      // automatic weights, smoothing, limit (4)
  int32_t iterations;     // smoothing (1)
  float strength;         // smoothing (0.5)
  float tolerance;        // mirroring (0.01)
  int32_t changed;        // out: vertices written, bones posed or made
  int32_t unmatched;      // out: vertices or bones without a mirror
  char message[UMSG_NAME_BYTES];  // out, in the system code page
};

// Records without pointers: one layout in both editions.
static_assert(sizeof(UMSG_OBJECT_INT) == 8);
static_assert(sizeof(UMSG_SET_MORPH_TARGET) == 520 && offsetof(UMSG_SET_MORPH_TARGET, name) == 4 &&
              offsetof(UMSG_SET_MORPH_TARGET, group) == 260 &&
              offsetof(UMSG_SET_MORPH_TARGET, index) == 516);
static_assert(sizeof(UMSG_GLTF_FILE) == 540 && offsetof(UMSG_GLTF_FILE, unit_scale) == 260 &&
              offsetof(UMSG_GLTF_FILE, animations) == 280 && offsetof(UMSG_GLTF_FILE, message) == 284);
static_assert(sizeof(UMSG_POSE) == 264 && offsetof(UMSG_POSE, name) == 8);
static_assert(sizeof(UMSG_RIGGING) == 300 && offsetof(UMSG_RIGGING, tolerance) == 32 &&
              offsetof(UMSG_RIGGING, changed) == 36 && offsetof(UMSG_RIGGING, message) == 44);
static_assert(sizeof(UMSG_GET_MORPH_TARGET) == 520 && offsetof(UMSG_GET_MORPH_TARGET, index) == 4 &&
              offsetof(UMSG_GET_MORPH_TARGET, group) == 264);
// Records with pointers: the 32-bit edition's figure, then the 64-bit one's.
static_assert(sizeof(UMSG_MORPH_POSITIONS) == MQEditionSize(12, 16) &&
              offsetof(UMSG_MORPH_POSITIONS, positions) == 8);
static_assert(sizeof(UMSG_BASE_POSITIONS) == MQEditionSize(8, 16) &&
              offsetof(UMSG_BASE_POSITIONS, positions) == MQEditionSize(4, 8));
static_assert(sizeof(UMSG_WEIGHT_ARRAY) == MQEditionSize(16, 24) &&
              offsetof(UMSG_WEIGHT_ARRAY, entries) == MQEditionSize(4, 8) &&
              offsetof(UMSG_WEIGHT_ARRAY, pairs) == MQEditionSize(8, 16) &&
              offsetof(UMSG_WEIGHT_ARRAY, count) == MQEditionSize(12, 20));
static_assert(sizeof(UMSG_WEIGHT_COMMAND) == MQEditionSize(8, 16) &&
              offsetof(UMSG_WEIGHT_COMMAND, weights) == MQEditionSize(4, 8));

// Rendering models lent to other plug-ins. The message protocol passes
// ownership to the receiver by raw pointer; this list only remembers which
// pointers went out, so that a returned model can be told from anything else
// before it is touched. Models still out when the list goes belong to their
// receivers and are not destroyed.
class RENDERING_MODEL_LOANS {
 public:
  RENDERING_MODEL_LOANS();
  // Models still out stay their receivers'; they get the plain table back,
  // so destroying them later does not reach for this object.
  ~RENDERING_MODEL_LOANS();
  RENDERING_MODEL_LOANS(const RENDERING_MODEL_LOANS&) = delete;
  RENDERING_MODEL_LOANS& operator=(const RENDERING_MODEL_LOANS&) = delete;

  // Gives up the model; from now on whoever receives the pointer owns it, and
  // may give it back or destroy it through slot 0 of its table.
  FLZMODEL* HandOut(std::unique_ptr<FLZMODEL> model);
  // Destroys a model that was handed out and has not come back yet; false,
  // touching nothing, for any other pointer.
  bool Return(const void* model);
  // Models handed out and neither returned nor destroyed.
  size_t OutCount() const { return out.size(); }

 private:
  // A lent model's table: slot 0 first, as the receiver reads it, then the
  // lender, which the slot tells before the model goes.
  struct LOAN_VTABLE {
    FLZMODEL::VTABLE table;
    RENDERING_MODEL_LOANS* loans;
  };
  static void MQTHISCALL DestroyLent(FLZMODEL* self, unsigned int flags);
  void Forget(const FLZMODEL* model);

  LOAN_VTABLE vtable;
  std::vector<FLZMODEL*> out;
};

class UMESSAGE_HANDLER {
 public:
  UMESSAGE_HANDLER() = default;
  UMESSAGE_HANDLER(const UMESSAGE_HANDLER&) = delete;
  UMESSAGE_HANDLER& operator=(const UMESSAGE_HANDLER&) = delete;

  // What the sender receives as the message's result.
  int Receive(DLMAIN& main, MQDocument doc, uint32_t src_product, uint32_t src_id,
              const char* description, void* message);

 private:
  int GetRenderingModel(DLMAIN& main, MQDocument doc, uint32_t src_product, uint32_t src_id);

  RENDERING_MODEL_LOANS loans;
};
