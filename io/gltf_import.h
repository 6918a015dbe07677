#pragma once
// Reads a glTF 2.0 file (`.gltf` with its buffers, or `.glb`) into a scene
// (io/gltf_scene.h): its nodes as objects, meshes with their faces, texture
// coordinates and materials, skins as weights, morph targets, and each
// animation's state at its first keyframe as a pose.
//
// Everything is checked while the scene is built in memory; a file that is
// not glTF, is cut short, or holds indices, accessors, node links or numbers
// that cannot be right is refused as a whole with a message naming the file
// and what is wrong.
#include <cstdint>
#include <string>
#include <vector>

#include "io/gltf_scene.h"

namespace quorvel::gltf {

struct ImportOptions {
  float unit_scale = 0.01f;  // metres per modeller unit, > 0
};

struct ImportReport {
  int objects = 0;
  int joints = 0;
  int vertices = 0;
  int targets = 0;
  int poses = 0;
  // asset.extras.quorvel.unitScale of a file this plug-in wrote (metres per
  // unit it was written with), 0 for other files.
  float file_unit_scale = 0.0f;
  // Things read with a loss, one line each (a vertex with more bones than
  // the plug-in keeps, poses beyond the list's room, ...).
  std::vector<std::string> notes;
};

// On success `scene` holds the file's content (what it held is replaced) and
// its texture_folder is the file's folder; on failure it is untouched and
// `error` names the file and what is wrong.
// Messages are UTF-8 (the path converted from the system code page).
bool ImportGltf(const std::string& path, const ImportOptions& options, Scene* scene, ImportReport* report,
                std::string* error);

// The same from bytes in memory; `.gltf` buffers given by file name are
// looked for in `base_folder` (never outside it; none when it is empty).
// `name` is what messages call the file.
bool ImportGltfBytes(const std::vector<uint8_t>& bytes, const std::string& name,
                     const std::string& base_folder, const ImportOptions& options, Scene* scene,
                     ImportReport* report, std::string* error);

}  // namespace quorvel::gltf
