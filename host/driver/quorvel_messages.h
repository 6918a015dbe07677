#pragma once
// The user messages the driver's glTF, pose and rigging commands send
// Quorvel, with their records laid out as any other plug-in lays them out
// (Quorvel reads them at these offsets). No record holds a pointer, so both
// editions share one layout.
#include <cstddef>
#include <cstdint>

namespace quorvel_plugin {

// Quorvel's identifiers: its product and its one plug-in.
constexpr uint32_t kProductId = 0x5A3C9E17;
constexpr uint32_t kPluginId = 0xC4172B86;

constexpr const char* kExportGltf = "ExportGltf";
constexpr const char* kImportGltf = "ImportGltf";
constexpr const char* kGetPoseCount = "GetPoseCount";
constexpr const char* kSetCurrentPose = "SetCurrentPose";
constexpr const char* kGetRenderingModel = "GetRenderingModel";
constexpr const char* kAutoWeights = "AutoWeights";
constexpr const char* kMirrorWeights = "MirrorWeights";
constexpr const char* kSmoothWeights = "SmoothWeights";
constexpr const char* kLimitWeights = "LimitWeights";
constexpr const char* kMirrorPose = "MirrorPose";
constexpr const char* kMirrorBones = "MirrorBones";

constexpr int kPathBytes = 260;  // with the terminator
constexpr int kTextBytes = 256;  // with the terminator

// "ExportGltf" and "ImportGltf": the path in, the counts of what was written
// (objects, joints, vertices, morph targets, animations) or read (the same,
// poses last) out; with the answer FALSE `message` says why nothing was
// done, and after an import it lists what was read with a loss.
struct GltfFileRecord {
  char path[kPathBytes];
  float unit_scale;  // metres per modeller unit; 0 for Quorvel's default
  int32_t objects;
  int32_t joints;
  int32_t vertices;
  int32_t targets;
  int32_t animations;  // poses, after an import
  char message[kTextBytes];
};

// "GetPoseCount" fills the count and the current pose's list position and
// name (-1 and empty without one); "SetCurrentPose" makes the pose at
// `position` current first.
struct PoseRecord {
  int32_t position;
  int32_t count;
  char name[kTextBytes];
};

// The weight and bone tools. Quorvel reads the fields a tool uses and takes
// its default for each one left 0. With the answer FALSE `message` says why
// nothing was done; otherwise `changed` counts what was done and `message`
// (often empty) names what was left.
struct RiggingRecord {
  int32_t object;         // unique id of the object or bone; 0: the current one
  int32_t selected_only;  // weights: the object's selected vertices alone
  int32_t mode;           // mirror-weights: 0 +X to -X, 1 -X to +X;
                          // mirror-pose: 0 the bone, 1 +X to -X, 2 -X to +X, 3 flip
  int32_t resolution;     // auto-weights: voxels along the longest side
  float falloff;          // auto-weights
  int32_t max_bones;      // auto-weights, smooth-weights, limit-weights
  int32_t iterations;     // smooth-weights
  float strength;         // smooth-weights
  float tolerance;        // the mirror tools
  int32_t changed;        // out: vertices written or changed, bones posed or made
  int32_t unmatched;      // out: vertices or bones without a mirror
  char message[kTextBytes];
};

static_assert(sizeof(GltfFileRecord) == 540 && offsetof(GltfFileRecord, unit_scale) == 260 &&
              offsetof(GltfFileRecord, animations) == 280 && offsetof(GltfFileRecord, message) == 284);
static_assert(sizeof(PoseRecord) == 264 && offsetof(PoseRecord, name) == 8);
static_assert(sizeof(RiggingRecord) == 300 && offsetof(RiggingRecord, tolerance) == 32 &&
              offsetof(RiggingRecord, changed) == 36 && offsetof(RiggingRecord, message) == 44);

}  // namespace quorvel_plugin
