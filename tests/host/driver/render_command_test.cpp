// Pictures taken by mqhost: `render` in a script and --render, with the view
// the command line sets up; each picture shows the document and what the
// plug-ins drew in the draw event of that frame.
#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver_run.h"
#include "host/files/document_file.h"
#include "host/render/gl_viewport.h"
#include "tests/host/geometry/camera_cases.h"
#include "tests/host/render/picture_checks.h"
#include "tests/host/render/viewport_scene.h"

namespace {

using camera_cases::Ortho;
using camera_cases::Perspective;
using driver_test::DriverRun;
namespace fs = std::filesystem;
using mqhost::Camera;
using mqhost::Rgba;
using viewport_test::AddFace;
using viewport_test::FacingSquare;
using viewport_test::Pixel;
using viewport_test::PixelOf;

// A PNG file read back; empty when it cannot be read.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;

  explicit Picture(const std::string& path) {
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (data == nullptr) {
      width = height = 0;
      return;
    }
    rgb.assign(data, data + static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    stbi_image_free(data);
  }
  Rgba At(const Camera& camera, const FVECTOR3& world) const {
    const Pixel p = PixelOf(camera, world);
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return Rgba{0, 0, 0, 0};
    const unsigned char* c = &rgb[(static_cast<size_t>(p.y) * static_cast<size_t>(width) + static_cast<size_t>(p.x)) * 3];
    return Rgba{c[0], c[1], c[2], 255};
  }
};

constexpr Rgba kFaceColour{51, 102, 204, 255};
constexpr Rgba kMarkerColour{255, 255, 0, 255};
const FVECTOR3 kFaceCentre{-40, -20, 0};
const FVECTOR3 kMarker{50, 30, 10};

class RenderCommand : public DriverRun {
 protected:
  void SetUp() override {
    DriverRun::SetUp();
    // A document with one unlit face, and a plug-in that marks a point in
    // every frame it is asked to draw.
    mqhost::Document document;
    auto material = std::make_unique<mqhost::Material>();
    material->color = MQColor{0.2f, 0.4f, 0.8f};
    material->emission = 1.0f;
    document.AddMaterial(std::move(material));
    document.AddObject(document.NewObject());
    AddFace(document.ObjectAt(0), FacingSquare(document.camera, kFaceCentre, 30.0f), 0);
    std::string error;
    ASSERT_TRUE(mqhost::SaveDocumentFile(PathOf("face.mqd"), document, {}, &error)) << error;
    state_->draw_marker = TRUE;
    for (int i = 0; i < 3; ++i) state_->marker[i] = (&kMarker.x)[i];
    state_->marker_colour[0] = state_->marker_colour[1] = 1.0f;
  }

  // The draw events sent, as width × height.
  std::vector<std::pair<int, int>> Draws() const {
    std::vector<std::pair<int, int>> draws;
    for (int i = 0; i < state_->event_count; ++i) {
      const recorder::Event& event = state_->events[i];
      if (event.code != MQEVENT_DRAW) continue;
      draws.emplace_back(recorder::FindArg(event, "width")->number, recorder::FindArg(event, "height")->number);
    }
    return draws;
  }
};

TEST_F(RenderCommand, PicturesShowTheDocumentAndTheFramesDrawingWhereTheCameraSeesThem) {
  mqhost::DriverOptions options;
  options.input = PathOf("face.mqd");
  options.view.width = 320;
  options.view.height = 240;
  options.view.position = std::array<float, 3>{0, 0, 400};
  options.view.perspective_fov = 50.0f;
  options.script = WriteScript("render " + PathOf("first.png") +
                               "\ncamera position 120 60 350\nrender " + PathOf("second.png") + "\n");
  options.render = PathOf("last.png");
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;

  const Camera first = Perspective({0, 0, 400}, {0, 0, 0}, {0, 1, 0}, 50, 320, 240);
  Camera moved = first;
  moved.position = FVECTOR3(120, 60, 350);
  struct Shot {
    const char* file;
    Camera camera;
  };
  for (const Shot& shot : {Shot{"first.png", first}, Shot{"second.png", moved}, Shot{"last.png", moved}}) {
    SCOPED_TRACE(shot.file);
    const Picture picture(PathOf(shot.file));
    ASSERT_EQ(picture.width, 320);
    ASSERT_EQ(picture.height, 240);
    EXPECT_EQ(picture.At(shot.camera, kFaceCentre), kFaceColour);
    EXPECT_EQ(picture.At(shot.camera, kMarker), kMarkerColour) << "the frame's instant drawing shows";
    EXPECT_EQ(picture.At(shot.camera, {-150, 80, 0}), mqhost::PaintStyle{}.background) << "beside them";
  }
  // One draw event per picture, with the view's size.
  EXPECT_EQ(Draws(), (std::vector<std::pair<int, int>>(3, {320, 240})));
  EXPECT_NE(out_.find("render " + PathOf("first.png") + ": 320 x 240, 1 drawing object of plug-ins"),
            std::string::npos)
      << out_;
}

TEST_F(RenderCommand, TheCommandLineSetsUpAnOrthographicView) {
  mqhost::DriverOptions options;
  options.input = PathOf("face.mqd");
  options.view.width = 200;
  options.view.height = 100;
  options.view.position = std::array<float, 3>{30, 20, 300};
  options.view.target = std::array<float, 3>{30, 20, 0};
  options.view.ortho_height = 150.0f;
  options.render = PathOf("ortho.png");
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;
  EXPECT_NE(out_.find("view 200 x 100, camera at 30 20 300 looking at 30 20 0, orthographic 150 high"),
            std::string::npos)
      << out_;
  const Camera camera = Ortho(Perspective({30, 20, 300}, {30, 20, 0}, {0, 1, 0}, 45, 200, 100), 150);
  const Picture picture(PathOf("ortho.png"));
  ASSERT_EQ(picture.width, 200);
  ASSERT_EQ(picture.height, 100);
  EXPECT_EQ(picture.At(camera, kFaceCentre), kFaceColour);
  EXPECT_EQ(picture.At(camera, kMarker), kMarkerColour);
  EXPECT_EQ(Draws(), (std::vector<std::pair<int, int>>{{200, 100}}));
}

TEST_F(RenderCommand, APictureThatCannotBeWrittenFailsTheRun) {
  mqhost::DriverOptions options;
  options.input = PathOf("face.mqd");
  options.render = PathOf("no-such-folder/shot.png");
  options.save = PathOf("saved.mqd");
  EXPECT_EQ(Run(options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find(options.render + ": cannot write"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(options.save)) << "nothing is written when one output cannot be";
}

}  // namespace
