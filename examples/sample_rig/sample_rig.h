#pragma once
// The sample rigged arm: the meshes of examples/arm.mqd with a three-bone
// chain (shoulder, elbow, wrist), vertex weights (one vertex ring at
// 0.29 / 0.71), a morph target "bulge" on the arm and two poses, "bend" and
// "wave". It is made with the plug-in's own rig code and stored the way the
// plug-in stores a rig: as its element tree only, with no user data left in
// the document.
#include <string>

#include "host/core/host.h"

namespace quorvel_sample {

// Names of the objects the sample adds after the meshes (index 2, 3, 4).
inline constexpr const char* kBoneNames[] = {"shoulder", "elbow", "wrist"};

// Adds the bones to `document` (which holds the meshes of arm.mqd), rigs it
// and writes the rig element below the plug-in's element of the document.
// The host API table must be loaded. False and a message on failure.
bool BuildSampleRig(mqhost::Host& host, mqhost::Document* document, std::string* error);

// arm.mqd in, the rigged sample out.
bool MakeSampleFile(const std::string& mesh_path, const std::string& out_path, std::string* error);

// The same rig on a dense arm, for measuring: the arm is a smooth tube along
// the bones (x = 0 to 120, radius 8) of about `vertices` vertices, the hand
// the sample's box. Written to `out_path`.
bool MakeDenseSampleFile(int vertices, const std::string& out_path, std::string* error);

}  // namespace quorvel_sample
