#include "host/render/gl_viewport.h"

#include <cstdio>
#include <cstring>

#include "host/render/gl_api.h"

namespace mqhost {

namespace {

// World to GL clip space: View · Projection with the depth row remapped from
// Direct3D's 0..w to GL's -w..w (z' = 2z - w). Stored row by row, which GL,
// reading column by column, takes as the transpose its column vectors need.
void ClipMatrix(const Camera& camera, GLfloat out[16]) {
  const FMATRIX view = ViewMatrix(camera);
  const FMATRIX projection = ProjectionMatrix(camera);
  double m[4][4] = {};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) m[r][c] += double(view(r, k)) * double(projection(k, c));
  for (int r = 0; r < 4; ++r) m[r][2] = 2.0 * m[r][2] - m[r][3];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[r * 4 + c] = static_cast<GLfloat>(m[r][c]);
}

void Draw(const std::vector<MeshVertex>& vertices, GLenum mode) {
  if (vertices.empty()) return;
  glInterleavedArrays(GL_C4UB_V3F, 0, vertices.data());
  glDrawArrays(mode, 0, static_cast<GLsizei>(vertices.size()));
}

void Draw(const IndexedTriangles& triangles) {
  if (triangles.indices.empty()) return;
  glInterleavedArrays(GL_C4UB_V3F, 0, triangles.vertices.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(triangles.indices.size()), GL_UNSIGNED_INT,
                 triangles.indices.data());
}

void ClearErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

// False, with the reason, when GL recorded an error; clears every flag.
bool Check(const char* what, std::string* error) {
  const GLenum code = glGetError();
  if (code == GL_NO_ERROR) return true;
  char text[96];
  std::snprintf(text, sizeof text, "OpenGL failed while %s (error 0x%04X)", what, static_cast<unsigned>(code));
  *error = text;
  ClearErrors();
  return false;
}

}  // namespace

bool PaintViewport(const ViewportMesh& mesh, const Camera& camera, const PaintStyle& style, std::string* error) {
  ClearErrors();  // those of whoever drew before are not ours
  glViewport(0, 0, camera.width, camera.height);
  const Rgba& bg = style.background;
  glClearColor(bg.r / 255.0f, bg.g / 255.0f, bg.b / 255.0f, 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  GLfloat clip[16];
  ClipMatrix(camera, clip);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(clip);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDepthRange(0.0, 1.0);

  // Colours arrive finished: nothing may change them on the way.
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DITHER);
  glDisable(GL_POINT_SMOOTH);
  glDisable(GL_LINE_SMOOTH);
  glShadeModel(GL_SMOOTH);
  glPointSize(style.point_size);
  glLineWidth(style.line_width);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);  // the window's y runs up, the monitor's down: still clockwise as seen
  glCullFace(GL_BACK);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1.0f, 1.0f);
  Draw(mesh.triangles);
  Draw(mesh.lines, GL_LINES);
  Draw(mesh.points, GL_POINTS);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  Draw(mesh.translucent_triangles);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_DEPTH_TEST);
  Draw(mesh.overlay_lines, GL_LINES);
  Draw(mesh.overlay_points, GL_POINTS);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  return Check("drawing the viewport", error);
}

bool ReadViewport(int width, int height, Image* picture, std::string* error) {
  Image read(width, height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glFinish();
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
  if (!Check("reading the viewport back", error)) return false;
  // GL's first row is the bottom one.
  *picture = Image(width, height);
  const size_t row = static_cast<size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(picture->data() + static_cast<size_t>(y) * row,
                read.data() + static_cast<size_t>(height - 1 - y) * row, row);
  }
  return true;
}

bool ReadViewportBgra(int width, int height, std::vector<uint8_t>* pixels, std::string* error) {
  constexpr GLenum kBgra = 0x80E1;  // GL_BGRA, OpenGL 1.2
  pixels->resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glFinish();
  glReadPixels(0, 0, width, height, kBgra, GL_UNSIGNED_BYTE, pixels->data());
  return Check("reading the viewport back", error);
}

}  // namespace mqhost
