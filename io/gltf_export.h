#pragma once
// Writes a scene (io/gltf_scene.h) as a glTF 2.0 file: `.glb` (one binary
// file) or `.gltf` (JSON with `<stem>.bin` beside it), chosen by the name.
// Positions are turned into metres by the unit scale (metres per modeller
// unit); the modeller's frame is glTF's otherwise (right-handed, Y up).
#include <cstdint>
#include <string>
#include <vector>

#include "io/gltf_scene.h"

namespace quorvel::gltf {

// One modeller unit is one centimetre unless the user says otherwise.
constexpr float kDefaultUnitScale = 0.01f;

struct ExportOptions {
  float unit_scale = kDefaultUnitScale;  // metres per modeller unit, > 0
};

// What was written, for the report the user sees.
struct ExportReport {
  int objects = 0;     // object nodes
  int joints = 0;      // joints of the skin, the added root included
  int vertices = 0;    // glTF vertices over all primitives
  int targets = 0;     // morph targets over all meshes
  int animations = 0;  // the poses' and the sequence
};

// Writes the file. The file appears under its name only when complete: it
// is written beside it under a temporary name and renamed; on failure nothing
// is left behind and `error` names the file and the cause.
// Messages are UTF-8 (the path converted from the system code page).
bool ExportGltf(const Scene& scene, const std::string& path, const ExportOptions& options,
                ExportReport* report, std::string* error);

// The same as a `.glb` in memory.
bool ExportGlb(const Scene& scene, const ExportOptions& options, std::vector<uint8_t>* out,
               ExportReport* report, std::string* error);

}  // namespace quorvel::gltf
