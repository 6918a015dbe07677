#pragma once
// Drawing a viewport mesh with OpenGL into whatever framebuffer the current
// context draws to (an off-screen one for pictures, a window's for a person),
// so that a world point lands on the pixel that WorldToScreen gives for it.
//
// The camera's Direct3D-style matrices (row vectors, depth 0..1) become the
// GL projection as they are, with the depth remapped to GL's -1..1; GL's
// window rows run bottom-up, which ReadViewport turns back.
//
// Depth: one depth buffer for the surfaces, the plug-ins' face objects as
// much as the document's; a plug-in that wants a surface in front of the
// model puts it there (near the near plane). The document's own lines and
// points are depth-tested too, and surfaces are pushed back slightly
// (polygon offset) so that a line or point lying on a face shows. Back faces
// are culled (the front is clockwise on the monitor). Translucent surfaces
// come after the opaque ones and blend over what lies behind them without
// hiding it. Last come the plug-ins' lines and points, over everything: a
// rig's bones lie inside the mesh they move and must still be seen.
#include <cstdint>
#include <string>
#include <vector>

#include "host/geometry/camera.h"
#include "host/render/image.h"
#include "host/render/viewport_mesh.h"

namespace mqhost {

struct PaintStyle {
  Rgba background{77, 77, 84, 255};
  // Points are squares of this many pixels centred on the point's pixel; an
  // odd size keeps them symmetric.
  float point_size = 5.0f;
  // Two pixels: a one-pixel line may leave out the pixel it passes through
  // at a pixel's edge, a two-pixel one always covers it.
  float line_width = 2.0f;
};

// Draws into the current context's framebuffer, which must be the camera's
// viewport size. False, with the reason, when GL reports an error.
bool PaintViewport(const ViewportMesh& mesh, const Camera& camera, const PaintStyle& style, std::string* error);

// Reads width × height pixels of the current framebuffer into `picture`, top
// row first. False, with the reason, when GL reports an error.
bool ReadViewport(int width, int height, Image* picture, std::string* error);

// The same pixels as they come, for showing on a screen: blue, green, red,
// alpha, the bottom row first (a bottom-up device-independent bitmap's
// layout). `pixels` keeps its storage for the next frame.
bool ReadViewportBgra(int width, int height, std::vector<uint8_t>* pixels, std::string* error);

}  // namespace mqhost
