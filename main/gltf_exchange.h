#pragma once
// glTF export and import as the plug-in does them on the open document: the
// scene (io/gltf_scene.h) gathered from the document and its rig, and a scene
// added to the document as new objects, materials, weights, morph targets
// and poses.
#include <string>
#include <vector>

#include "io/gltf_export.h"
#include "io/gltf_import.h"
#include "io/gltf_scene.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// The document and its rig as a scene: visible objects with what they need
// to pose (hidden bones that weights or visible children depend on come too,
// without their faces), materials, and the pose list. `pose_display`: the
// plug-in shows its rendering copies in place of the objects (pose mode), so
// an object's own visibility is the one saved in its bone record.
bool GatherGltfScene(MQDocument doc, const RigSlotTable& slots, const RigEditState& state, gltf::Scene* scene,
                     std::string* error, bool pose_display = false);

// Adds the scene to the document: objects after the existing ones, materials
// after the existing ones, weights, morph targets and the poses appended to
// the pose list. Checked first (room for the poses, ...); on failure the
// document is as it was. The added objects get bone records whose saved
// visibility is their own (a caller in pose mode hides them itself); the
// poses keep the current pose (the first added one becomes current when
// there was none). `notes` (when given) receives what was changed on the way
// in: renamed poses, vertices with more bones than a record holds.
bool ApplyGltfScene(const gltf::Scene& scene, MQDocument doc, const RigSlotTable& slots, RigEditState& state,
                    std::string* error, std::vector<std::string>* notes = nullptr);

}  // namespace quorvel
