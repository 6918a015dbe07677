// Pictures of the viewport: what is drawn lands on the pixels that the host's
// world-to-screen conversion gives, in the colours the document and the
// plug-ins asked for, and what must not show does not.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/core/document.h"
#include "host/geometry/camera.h"
#include "host/render/renderer.h"
#include "host/render/viewport_mesh.h"
#include "tests/host/geometry/camera_cases.h"
#include "tests/host/render/picture_checks.h"
#include "tests/host/render/viewport_scene.h"

namespace {

using camera_cases::CameraCase;
using camera_cases::Ortho;
using camera_cases::Perspective;
using mqhost::Camera;
using mqhost::Document;
using mqhost::Image;
using mqhost::Material;
using mqhost::Object;
using mqhost::Rgba;
using mqhost::ViewportRenderer;
using viewport_test::AddFace;
using viewport_test::FacingSquare;
using viewport_test::Near;
using viewport_test::Pixel;
using viewport_test::PixelOf;

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kYellow{255, 255, 0, 255};

const CameraCase kCameras[] = {
    {"DefaultPerspective", Camera{}},
    {"Ortho", Ortho(Camera{}, 300.0f)},
    {"ObliquePerspective", Perspective({300, 200, 350}, {20, -10, 0}, {0, 1, 0}, 60, 500, 350)},
    {"ObliqueOrtho", Ortho(Perspective({-250, 150, -300}, {10, 20, 0}, {0, 1, 0}, 45, 420, 600), 350.0f)},
};

// A renderer for the whole suite: a context per test would only cost time.
class ViewportRender : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    renderer_ = ViewportRenderer::Create(&error).release();
    if (renderer_ == nullptr) creation_error_ = new std::string(error);
  }
  static void TearDownTestSuite() {
    delete renderer_;
    renderer_ = nullptr;
  }
  void SetUp() override {
    // Never skipped: both builds must be able to take pictures.
    ASSERT_NE(renderer_, nullptr) << (creation_error_ != nullptr ? *creation_error_ : "");
    background_ = renderer_->style().background;
  }

  Image Render() {
    Image picture;
    std::string error;
    EXPECT_TRUE(renderer_->Render(document_, &picture, &error)) << error;
    EXPECT_EQ(picture.width(), document_.camera.width);
    EXPECT_EQ(picture.height(), document_.camera.height);
    return picture;
  }

  // The colour at the pixel where `world` lands; the background when that
  // is outside the picture.
  Rgba At(const Image& picture, const FVECTOR3& world) const {
    const Pixel p = PixelOf(document_.camera, world);
    return picture.Contains(p.x, p.y) ? picture.At(p.x, p.y) : background_;
  }
  Rgba At(const Image& picture, const FVECTOR3& world, int dx, int dy) const {
    const Pixel p = PixelOf(document_.camera, world);
    return picture.Contains(p.x + dx, p.y + dy) ? picture.At(p.x + dx, p.y + dy) : background_;
  }

  Object* AddObject() {
    document_.AddObject(document_.NewObject());
    return document_.ObjectAt(document_.ObjectCount() - 1);
  }
  Material* AddMaterial(MQColor color) {
    auto material = std::make_unique<Material>();
    material->color = color;
    Material* raw = material.get();
    document_.AddMaterial(std::move(material));
    return raw;
  }
  // A drawing object of the given visibility, in `color` set as a plug-in does.
  Object* AddDrawing(int visibility, MQColor color) {
    Object* object = document_.CreateDrawingObject(visibility, true);
    object->color[0] = color.r;
    object->color[1] = color.g;
    object->color[2] = color.b;
    object->color_valid = true;
    return object;
  }
  void AddPoint(Object* object, const FVECTOR3& p) { AddFace(object, {p}); }

  static ViewportRenderer* renderer_;
  static std::string* creation_error_;
  Document document_;
  Rgba background_;
};

ViewportRenderer* ViewportRender::renderer_ = nullptr;
std::string* ViewportRender::creation_error_ = nullptr;

class ViewportRenderCamera : public ViewportRender, public testing::WithParamInterface<CameraCase> {
 protected:
  void SetUp() override {
    ViewportRender::SetUp();
    document_.camera = GetParam().camera;
  }
};

const FVECTOR3 kPoints[] = {{0, 0, 0}, {60, 40, 0}, {-80, -50, 30}, {30, -70, -40}, {-100, 60, -20}};

TEST_P(ViewportRenderCamera, PointsLandOnTheirConvertedPixels) {
  Object* points = AddDrawing(mqhost::kVisiblePoints, {1, 0, 0});
  for (const FVECTOR3& p : kPoints) AddPoint(points, p);
  const Image picture = Render();
  for (const FVECTOR3& p : kPoints) {
    SCOPED_TRACE(testing::PrintToString(p));
    EXPECT_EQ(At(picture, p), kRed);
    // A five-pixel square around the position: its neighbours are the
    // point's too (two pixels away may not be, when the position lies on a
    // pixel's edge), four pixels away is the background.
    for (const Pixel d : {Pixel{1, 0}, Pixel{-1, 0}, Pixel{0, 1}, Pixel{0, -1}, Pixel{1, 1}, Pixel{-1, -1}}) {
      EXPECT_EQ(At(picture, p, d.x, d.y), kRed) << d.x << ", " << d.y;
    }
    for (const Pixel d : {Pixel{4, 0}, Pixel{-4, 0}, Pixel{0, 4}, Pixel{0, -4}}) {
      EXPECT_EQ(At(picture, p, d.x, d.y), background_) << d.x << ", " << d.y;
    }
  }
}

TEST_P(ViewportRenderCamera, ALineRunsThroughTheConvertedPointsOfItsPath) {
  const FVECTOR3 a{-100, -40, 10}, b{90, 60, -20};
  Object* line = AddDrawing(mqhost::kVisibleLines, {1, 1, 0});
  AddFace(line, {a, b});
  const Image picture = Render();
  const FVECTOR3 sa = WorldToScreen(document_.camera, a), sb = WorldToScreen(document_.camera, b);
  // Four pixels across the line on screen lies the background.
  FVECTOR3 across(sa.y - sb.y, sb.x - sa.x, 0.0f);
  across = across * (4.0f / across.Length());
  for (float t : {0.1f, 0.3f, 0.5f, 0.7f, 0.9f}) {
    SCOPED_TRACE(t);
    const FVECTOR3 p = a + (b - a) * t;
    EXPECT_EQ(At(picture, p), kYellow);
    const int dx = static_cast<int>(std::lround(across.x)), dy = static_cast<int>(std::lround(across.y));
    EXPECT_EQ(At(picture, p, dx, dy), background_);
    EXPECT_EQ(At(picture, p, -dx, -dy), background_);
  }
}

TEST_P(ViewportRenderCamera, AFaceObjectShowsItsDrawingMaterial) {
  int index = -1;
  Material* material = document_.CreateDrawingMaterial(true, &index);
  ASSERT_EQ(index, mqhost::kFirstDrawingMaterialIndex) << "drawing materials are numbered apart";
  // As a plug-in's face object: the colour, emission 0.3, the rest default.
  material->color = MQColor{0.1f, 0.8f, 0.3f};
  material->emission = 0.3f;
  Object* faces = document_.CreateDrawingObject(mqhost::kVisibleFaces, true);
  const FVECTOR3 centre{10, -20, 5};
  AddFace(faces, FacingSquare(document_.camera, centre, 30.0f), index);
  const Image picture = Render();
  // Seen head-on: 0.3 + 0.6 × ambient + 0.8 is above 1, the full colour.
  EXPECT_EQ(At(picture, centre), (Rgba{26, 204, 77, 255}));
  EXPECT_EQ(At(picture, centre + viewport_test::AxesOf(document_.camera).right * 45.0f), background_);
}

TEST_P(ViewportRenderCamera, ABackFaceIsCulled) {
  AddMaterial({0, 0, 1})->emission = 1.0f;
  Object* object = AddObject();
  const FVECTOR3 front{-60, 0, 0}, back{60, 0, 0};
  const std::vector<FVECTOR3> front_square = FacingSquare(document_.camera, front, 25.0f);
  const std::vector<FVECTOR3> back_square = FacingSquare(document_.camera, back, 25.0f, 0.0f, true);
  ASSERT_TRUE(FacesCamera(document_.camera, front_square.data(), 4));
  ASSERT_FALSE(FacesCamera(document_.camera, back_square.data(), 4));
  AddFace(object, front_square, 0);
  AddFace(object, back_square, 0);
  const Image picture = Render();
  EXPECT_EQ(At(picture, front), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(At(picture, back), background_);
  // The back never reaches the GL at all.
  mqhost::ViewportMesh mesh;
  BuildViewportMesh(document_, &mesh);
  EXPECT_EQ(mesh.triangles.TriangleCount(), 2u);
  EXPECT_EQ(mesh.triangles.vertices.size(), 4u) << "the front's corners are shared by its two triangles";
}

// A quad folded along its diagonal: its first triangle faces the camera, its
// second (and the quad as a whole, by area) faces away. Each triangle is
// judged on its own.
TEST_P(ViewportRenderCamera, EachTriangleOfAFoldedFaceIsCulledOnItsOwn) {
  AddMaterial({0, 0, 1})->emission = 1.0f;
  Object* object = AddObject();
  const FVECTOR3 centre{0, 0, 0};
  std::vector<FVECTOR3> quad = FacingSquare(document_.camera, centre, 30.0f);
  const viewport_test::Axes axes = viewport_test::AxesOf(document_.camera);
  // The last corner moved from lower left to far beyond the upper right.
  quad[3] = centre + (axes.right + axes.up) * 90.0f;
  AddFace(object, quad, 0);
  const Image picture = Render();
  const FVECTOR3 first = centre + (axes.right * 2.0f + axes.up * 1.0f) * 10.0f;  // within (0, 1, 2)
  const FVECTOR3 second_only = centre + (axes.right + axes.up) * 60.0f;          // beyond the square
  EXPECT_EQ(At(picture, first), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(At(picture, second_only), background_);
}

INSTANTIATE_TEST_SUITE_P(Cameras, ViewportRenderCamera, testing::ValuesIn(kCameras), camera_cases::CameraName);

TEST_F(ViewportRender, DocumentFacesShowTheirMaterialLitFromTheCamera) {
  struct Case {
    float tilt;  // degrees between the face's normal and the viewing direction
    float diffuse, ambient, emission;
    float light;  // expected LightFactor
  };
  const Case cases[] = {
      {0, 1.0f, 0.0f, 0.0f, 1.0f},
      {60, 1.0f, 0.0f, 0.0f, 0.5f},
      {60, 0.8f, 0.6f, 0.0f, 0.4f + 0.6f * mqhost::kAmbientLight},
      {75.5225f, 0.0f, 1.0f, 0.5f, 0.5f + mqhost::kAmbientLight},
      {0, 0.0f, 0.0f, 1.0f, 1.0f},
      {0, 2.0f, 0.0f, 0.0f, 1.0f},  // never brighter than the colour itself
  };
  const MQColor color{0.9f, 0.6f, 0.3f};
  document_.camera = Ortho(Camera{}, 300.0f);
  std::vector<FVECTOR3> centres;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    Material* m = AddMaterial(color);
    m->diffuse = c.diffuse;
    m->ambient = c.ambient;
    m->emission = c.emission;
    EXPECT_FLOAT_EQ(mqhost::LightFactor(*m, std::cos(c.tilt * 3.14159265f / 180.0f)), c.light) << i;
    centres.push_back(FVECTOR3(-150.0f + 60.0f * static_cast<float>(i), 0, 0));
    AddFace(AddObject(), FacingSquare(document_.camera, centres.back(), 20.0f, c.tilt), static_cast<int>(i));
  }
  const Image picture = Render();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const float k = cases[i].light;
    const Rgba expected{static_cast<uint8_t>(std::lround(color.r * k * 255)),
                        static_cast<uint8_t>(std::lround(color.g * k * 255)),
                        static_cast<uint8_t>(std::lround(color.b * k * 255)), 255};
    EXPECT_PRED3(Near, At(picture, centres[i]), expected, 2) << "case " << i;
  }
}

TEST_F(ViewportRender, TheScreenLayoutIsThePictureBottomUpInBlueGreenRed) {
  // Three faces of different colours at different heights: any mix-up of
  // channels or rows shows.
  document_.camera = Ortho(Camera{}, 300.0f);
  const MQColor colours[] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.2f, 0.4f, 1.0f}};
  for (int i = 0; i < 3; ++i) {
    Material* m = AddMaterial(colours[i]);
    m->emission = 1.0f;
    AddFace(AddObject(), FacingSquare(document_.camera, FVECTOR3(-60.0f + 60.0f * i, 40.0f * i - 40.0f, 0), 20.0f), i);
  }
  const Image picture = Render();
  std::vector<uint8_t> screen;
  std::string error;
  ASSERT_TRUE(renderer_->RenderForScreen(document_, &screen, &error)) << error;
  const int w = picture.width(), h = picture.height();
  ASSERT_EQ(screen.size(), static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  int differing = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgba p = picture.At(x, y);
      const uint8_t* s = &screen[(static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4];
      differing += s[0] != p.b || s[1] != p.g || s[2] != p.r;
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(ViewportRender, VertexColoursAreRedInTheLowByte) {
  document_.camera = Ortho(Camera{}, 300.0f);
  const FVECTOR3 with{-60, 0, 0}, without{60, 0, 0};
  for (const int vertex_color : {1, 0}) {
    Material* m = AddMaterial({0.0f, 0.0f, 1.0f});
    m->vertex_color = vertex_color;
    m->emission = 1.0f;  // unlit: the colour itself
    Object* object = AddObject();
    const int face = AddFace(object, FacingSquare(document_.camera, vertex_color ? with : without, 25.0f),
                             document_.MaterialCount() - 1);
    object->faces[static_cast<size_t>(face)].colors.assign(4, 0xFF204080u);
  }
  const Image picture = Render();
  EXPECT_EQ(At(picture, with), (Rgba{0x80, 0x40, 0x20, 255}));
  EXPECT_EQ(At(picture, without), (Rgba{0, 0, 255, 255})) << "the material does not ask for them";
}

TEST_F(ViewportRender, WhatIsHiddenIsNotDrawn) {
  struct Case {
    const char* what;
    std::function<void(const FVECTOR3&)> add;
  };
  const Case cases[] = {
      {"a hidden object",
       [this](const FVECTOR3& at) {
         Object* o = AddObject();
         AddFace(o, FacingSquare(document_.camera, at, 15.0f));
         o->visible = 0;
       }},
      {"a hidden face",
       [this](const FVECTOR3& at) {
         Object* o = AddObject();
         o->SetFaceVisible(AddFace(o, FacingSquare(document_.camera, at, 15.0f)), false);
       }},
      {"a hidden drawing object", [this](const FVECTOR3& at) { AddPoint(AddDrawing(0, {1, 0, 0}), at); }},
      {"a point of an object that shows lines",
       [this](const FVECTOR3& at) { AddPoint(AddDrawing(mqhost::kVisibleLines, {1, 0, 0}), at); }},
      {"a line of an object that shows points",
       [this](const FVECTOR3& at) {
         AddFace(AddDrawing(mqhost::kVisiblePoints, {1, 0, 0}), {at - FVECTOR3(10, 0, 0), at + FVECTOR3(10, 0, 0)});
       }},
      {"a face of an object that shows points and lines",
       [this](const FVECTOR3& at) {
         Object* o = AddDrawing(mqhost::kVisiblePoints | mqhost::kVisibleLines, {1, 0, 0});
         AddFace(o, FacingSquare(document_.camera, at, 15.0f));
       }},
  };
  std::vector<FVECTOR3> places;
  for (size_t i = 0; i < std::size(cases); ++i) {
    places.push_back(FVECTOR3(-150.0f + 60.0f * static_cast<float>(i), 0, 0));
    cases[i].add(places.back());
  }
  const Image picture = Render();
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(At(picture, places[i]), background_) << cases[i].what;
}

TEST_F(ViewportRender, ColoursOfLinesPointsAndFacesFollowObjectAndMaterial) {
  document_.camera = Ortho(Camera{}, 300.0f);
  AddMaterial({0, 0, 1})->emission = 1.0f;
  int index = -1;
  Material* drawing_material = document_.CreateDrawingMaterial(true, &index);
  drawing_material->color = MQColor{0, 1, 0};
  drawing_material->emission = 1.0f;
  // A document material added after it keeps its own number: the drawing
  // faces still show the drawing material, the document faces theirs.
  AddMaterial({1, 0, 1})->emission = 1.0f;
  const int drawn = index;
  const MQColor none{-1, -1, -1};
  struct Case {
    const char* what;
    bool drawing;      // a drawing object (else a document object)
    int visibility;    // of a drawing object
    MQColor object;    // the object colour the plug-in set, or none
    int points;        // 1, 2 or 4
    int material;
    Rgba expected;
  };
  const Case cases[] = {
      {"drawing point in the object colour", true, 1, {1, 0, 0}, 1, drawn, {255, 0, 0, 255}},
      {"drawing point without one: the material's", true, 1, none, 1, drawn, {0, 255, 0, 255}},
      {"drawing point without either: white", true, 1, none, 1, -1, {255, 255, 255, 255}},
      {"drawing face in its material", true, 4, {1, 0, 0}, 4, drawn, {0, 255, 0, 255}},
      {"document face in the later material", false, 0, none, 4, 1, {255, 0, 255, 255}},
      {"document line in its material", false, 0, none, 2, 0, {0, 0, 255, 255}},
      {"document point in its material", false, 0, none, 1, 0, {0, 0, 255, 255}},
      {"document face in its material", false, 0, none, 4, 0, {0, 0, 255, 255}},
  };
  std::vector<FVECTOR3> places;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const FVECTOR3 at(-150.0f + 40.0f * static_cast<float>(i), 0, 0);
    places.push_back(at);
    Object* object = c.drawing ? document_.CreateDrawingObject(c.visibility, true) : AddObject();
    if (c.object.r >= 0) {
      object->color[0] = c.object.r;
      object->color[1] = c.object.g;
      object->color[2] = c.object.b;
      object->color_valid = true;
    }
    if (c.points == 1) AddFace(object, {at}, c.material);
    if (c.points == 2) AddFace(object, {at - FVECTOR3(0, 20, 0), at + FVECTOR3(0, 20, 0)}, c.material);
    if (c.points == 4) AddFace(object, FacingSquare(document_.camera, at, 15.0f), c.material);
  }
  const Image picture = Render();
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(At(picture, places[i]), cases[i].expected) << cases[i].what;
}

// Surfaces hide what lies behind them, the document's and the plug-ins'
// alike; the plug-ins' points and lines show over everything.
TEST_F(ViewportRender, NearerSurfacesHideFartherThingsButNotThePluginsOverlay) {
  // The default camera looks down -Z: larger z is nearer.
  Material* red = AddMaterial({1, 0, 0});
  Material* blue = AddMaterial({0, 0, 1});
  red->emission = blue->emission = 1.0f;
  const FVECTOR3 left{-60, 0, 0}, right{60, 0, 0};
  // Left: the near face comes first in the list; right: last.
  AddFace(AddObject(), FacingSquare(document_.camera, left + FVECTOR3(0, 0, 20), 30.0f), 0);
  AddFace(AddObject(), FacingSquare(document_.camera, left, 30.0f), 1);
  AddFace(AddObject(), FacingSquare(document_.camera, right, 30.0f), 1);
  AddFace(AddObject(), FacingSquare(document_.camera, right + FVECTOR3(0, 0, 20), 30.0f), 0);
  struct Case {
    const char* what;
    FVECTOR3 at;  // on the right near face's line of sight
    bool shows;
  };
  const FVECTOR3 base = right + FVECTOR3(0, 0, 20);
  // Pushed to the front as plug-ins do it: screen depth 0.0001.
  FVECTOR3 pushed = WorldToScreen(document_.camera, base + FVECTOR3(-20, 20, 0));
  pushed.z = 0.0001f;
  pushed = ScreenToWorld(document_.camera, pushed);
  const Case cases[] = {
      {"a point behind the face", base + FVECTOR3(-20, -20, -40), true},
      {"a point in front of it", base + FVECTOR3(20, -20, 5), true},
      {"a point on it", base + FVECTOR3(20, 20, 0), true},
      {"a point pushed to the near plane", pushed, true},
  };
  Object* points = AddDrawing(mqhost::kVisiblePoints, {1, 1, 0});
  for (const Case& c : cases) AddPoint(points, c.at);
  Object* lines = AddDrawing(mqhost::kVisibleLines, {1, 1, 0});
  AddFace(lines, {base + FVECTOR3(-20, 0, -40), base + FVECTOR3(-5, 0, -40)});  // behind
  AddFace(lines, {base + FVECTOR3(5, 0, 0), base + FVECTOR3(20, 0, 0)});        // on the face
  Object* hidden_line = AddObject();
  AddFace(hidden_line, {left + FVECTOR3(-10, 10, -40), left + FVECTOR3(10, 10, -40)}, 1);
  const Image picture = Render();
  EXPECT_EQ(At(picture, left + FVECTOR3(0, -10, 20)), kRed);
  EXPECT_EQ(At(picture, right + FVECTOR3(0, -10, 20)), kRed);
  for (const Case& c : cases) EXPECT_EQ(At(picture, c.at), c.shows ? kYellow : kRed) << c.what;
  EXPECT_EQ(At(picture, base + FVECTOR3(-12, 0, -40)), kYellow) << "a plug-in's line behind the face";
  EXPECT_EQ(At(picture, base + FVECTOR3(12, 0, 0)), kYellow) << "a line on the face";
  EXPECT_EQ(At(picture, left + FVECTOR3(0, 10, -40)), kRed) << "a document line behind the face";
}

TEST_F(ViewportRender, EdgesAreSmoothedBelowTheSmoothingAngle) {
  // A roof seen from the front: the left face head-on, the right one turned
  // 70 degrees away; white, lit by the diffuse term alone.
  struct Case {
    int shading;
    float smooth_angle;
    bool smooth;
  };
  const Case cases[] = {{1, 80.0f, true}, {1, 60.0f, false}, {0, 80.0f, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shading " << c.shading << ", angle " << c.smooth_angle);
    Document document;
    document.camera = Ortho(Camera{}, 300.0f);
    document.camera.width = 400;
    document.camera.height = 300;
    auto material = std::make_unique<Material>();
    material->diffuse = 1.0f;
    material->ambient = 0.0f;
    document.AddMaterial(std::move(material));
    auto roof = document.NewObject();
    roof->shading = c.shading;
    roof->smooth_angle = c.smooth_angle;
    const float far_x = 100.0f * std::cos(70.0f * 3.14159265f / 180.0f);
    const float far_z = -100.0f * std::sin(70.0f * 3.14159265f / 180.0f);
    const int v[6] = {roof->AddVertex({-100, 50, 0}), roof->AddVertex({0, 50, 0}),    roof->AddVertex({0, -50, 0}),
                      roof->AddVertex({-100, -50, 0}), roof->AddVertex({far_x, 50, far_z}),
                      roof->AddVertex({far_x, -50, far_z})};
    roof->faces.clear();
    roof->AddFace({v[0], v[1], v[2], v[3]});
    roof->AddFace({v[1], v[4], v[5], v[2]});
    for (mqhost::Face& f : roof->faces) f.material = 0;
    document.AddObject(std::move(roof));
    Image picture;
    std::string error;
    ASSERT_TRUE(renderer_->Render(document, &picture, &error)) << error;
    const Pixel ridge = PixelOf(document.camera, {0, 0, 0});
    const Rgba near_left = picture.At(ridge.x - 3, ridge.y);
    const Rgba near_right = picture.At(ridge.x + 3, ridge.y);
    const Rgba far_left = picture.At(PixelOf(document.camera, {-90, 0, 0}).x, ridge.y);
    if (c.smooth) {
      EXPECT_PRED3(Near, near_left, near_right, 30) << "one normal at the ridge";
      EXPECT_FALSE(Near(near_left, far_left, 20)) << "shading runs across the face";
    } else {
      EXPECT_PRED3(Near, near_left, far_left, 1) << "one flat shade";
      EXPECT_PRED3(Near, near_left, (Rgba{255, 255, 255, 255}), 1);
      EXPECT_PRED3(Near, near_right, (Rgba{87, 87, 87, 255}), 2) << "cos 70 degrees";
    }
  }
}

TEST_F(ViewportRender, TranslucentFacesBlendWithWhatLiesBehind) {
  Material* m = AddMaterial({1, 0, 0});
  m->emission = 1.0f;
  m->alpha = 0.5f;
  const FVECTOR3 centre{0, 0, 0};
  AddFace(AddObject(), FacingSquare(document_.camera, centre, 30.0f), 0);
  const Image picture = Render();
  const Rgba expected{static_cast<uint8_t>((255 + background_.r) / 2), static_cast<uint8_t>(background_.g / 2),
                      static_cast<uint8_t>(background_.b / 2), 255};
  EXPECT_PRED3(Near, At(picture, centre), expected, 2);
}

TEST_F(ViewportRender, OnlyWhatLiesBetweenTheNearAndFarPlanesIsDrawn) {
  struct Case {
    float distance;  // from the camera along its view
    bool drawn;
  };
  const Case cases[] = {{50.0f, false}, {150.0f, true}, {950.0f, true}, {1100.0f, false}};
  for (const bool ortho : {false, true}) {
    SCOPED_TRACE(ortho ? "orthographic" : "perspective");
    Document document;
    document.camera.orthographic = ortho;
    document.camera.near_plane = 100.0f;
    document.camera.far_plane = 1000.0f;
    // Side by side on screen: each at its own distance, none hiding another.
    std::vector<FVECTOR3> places;
    for (size_t i = 0; i < std::size(cases); ++i) {
      const float d = cases[i].distance;
      const float across = ortho ? -120.0f + 80.0f * static_cast<float>(i) : (-0.3f + 0.2f * static_cast<float>(i)) * d;
      places.push_back(document.camera.position + FVECTOR3(across, 0.0f, -d));
      Object* face = document.CreateDrawingObject(mqhost::kVisibleFaces, true);
      face->color[0] = 1.0f;
      face->color_valid = true;
      AddFace(face, FacingSquare(document.camera, places.back(), ortho ? 10.0f : 0.04f * d));
    }
    Image picture;
    std::string error;
    ASSERT_TRUE(renderer_->Render(document, &picture, &error)) << error;
    for (size_t i = 0; i < std::size(cases); ++i) {
      const Pixel p = PixelOf(document.camera, places[i]);
      ASSERT_TRUE(picture.Contains(p.x, p.y)) << i;
      EXPECT_EQ(picture.At(p.x, p.y) != background_, cases[i].drawn) << "at distance " << cases[i].distance;
    }
  }
}

TEST_F(ViewportRender, AViewportItCannotDrawIsAnError) {
  for (const auto& size : {std::pair{0, 480}, std::pair{640, 0}, std::pair{mqhost::kMaxViewportSide + 1, 10}}) {
    document_.camera.width = size.first;
    document_.camera.height = size.second;
    Image picture;
    std::string error;
    EXPECT_FALSE(renderer_->Render(document_, &picture, &error)) << size.first << " x " << size.second;
    EXPECT_NE(error.find(std::to_string(size.first) + " x " + std::to_string(size.second)), std::string::npos)
        << error;
  }
  // And the renderer still draws afterwards.
  document_.camera.width = 64;
  document_.camera.height = 48;
  AddPoint(AddDrawing(mqhost::kVisiblePoints, {1, 0, 0}), {0, 0, 0});
  EXPECT_EQ(At(Render(), {0, 0, 0}), kRed);
}

}  // namespace
