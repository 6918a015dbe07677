// The command panel's glTF items as the main object runs them on the sample
// arm: the path and the unit scale the dialogs answer, what is written or
// added, the report box, and nothing at all when a dialog is cancelled.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "tests/main/main_fixture.h"

namespace {

namespace fs = std::filesystem;
using quorvel_test::MainTest;

// The JSON chunk of a .glb file; null when the file is no glTF binary.
nlohmann::json GlbJson(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  uint32_t length = 0;
  if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0 || bytes.compare(16, 4, "JSON") != 0)
    return nullptr;
  std::memcpy(&length, bytes.data() + 12, 4);
  if (bytes.size() < 20u + length) return nullptr;
  return nlohmann::json::parse(bytes.substr(20, length), nullptr,
                               /*allow_exceptions=*/false);
}

class GltfMenuTest : public MainTest {
 protected:
  void SetUp() override {
    MainTest::SetUp();
    folder_ = fs::temp_directory_path() / ("quorvel-gltf-menu-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directories(folder_));
    LoadDocument(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
    OpenActive();
  }
  void TearDown() override {
    MainTest::TearDown();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // The open document ended and an empty one opened in its place.
  void FreshDocument() {
    ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
    host_.CloseDocument(document_);
    document_ = host_.NewDocument();
    doc_ = mqhost::ToHandle(document_);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "empty.mqd", plugin_), TRUE);
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  }
  std::string PathOf(const char* name) const { return (folder_ / name).string(); }
  IDLMAIN& Service() const { return *main_->Service(); }
  int Objects() const { return document_->ObjectCount(); }

  // The report box of an export as the op itself reports the same export
  // (to a second file).
  std::string ExpectedExportReport(const std::string& path, float unit_scale) {
    quorvel::gltf::ExportReport report;
    std::string error;
    EXPECT_TRUE(Service().ExportGltf(PathOf("again.glb"), unit_scale, &report, &error)) << error;
    return path + Ansi(" に書き出しました。\n") +
           Format(Ansi("オブジェクト %d / ジョイント %d / 頂点 %d / モーフ %d "
                       "/ アニメーション %d")
                      .c_str(),
                  report.objects, report.joints, report.vertices, report.targets, report.animations);
  }

  fs::path folder_;
  int owner_ = 0;
};

TEST_F(GltfMenuTest, TheExportItemWritesTheAnsweredFileAtTheAnsweredScaleAndReportsIt) {
  const std::string path = PathOf("arm.glb");
  ui_->QueuePath(path);
  ui_->SetUnitScaleAnswer(true, 0.02f);
  Service().ExportGltfDialog(&owner_);

  ASSERT_EQ(ui_->file_dialogs().size(), 1u);
  EXPECT_TRUE(ui_->file_dialogs()[0].save);
  EXPECT_EQ(ui_->file_dialogs()[0].param.default_extension, "glb");
  ASSERT_EQ(ui_->scale_dialogs().size(), 1u);
  EXPECT_EQ(ui_->scale_dialogs()[0].caption, Ansi("glTF書き出し"));
  EXPECT_FLOAT_EQ(ui_->scale_dialogs()[0].opened_with, 0.01f) << "one modeller unit is a centimetre at first";

  const nlohmann::json gltf = GlbJson(path);
  ASSERT_TRUE(gltf.is_object()) << "a glTF binary at the answered path";
  EXPECT_NEAR(gltf["asset"]["extras"]["quorvel"]["unitScale"].get<double>(), 0.02, 1e-7);
  EXPECT_GT(gltf["nodes"].size(), 0u);

  ASSERT_EQ(ui_->message_boxes().size(), 1u);
  EXPECT_EQ(ui_->message_boxes()[0].caption, Ansi("glTF書き出し"));
  EXPECT_EQ(ui_->message_boxes()[0].owner, &owner_);
  EXPECT_EQ(ui_->message_boxes()[0].text, ExpectedExportReport(path, 0.02f));
  EXPECT_EQ(main_->GetDialogCallCount(), 0);

  // The next run, export or import, offers the length confirmed last.
  ui_->SetUnitScaleAnswer(false, 0.0f);
  ui_->QueuePath(PathOf("other.glb"));
  Service().ImportGltfDialog(&owner_);
  ASSERT_EQ(ui_->scale_dialogs().size(), 2u);
  EXPECT_FLOAT_EQ(ui_->scale_dialogs()[1].opened_with, 0.02f);
}

// Imported twice into an empty document, the second time with names the
// first one took: the boxes say what the op reports for the same two imports
// into another empty document, notes included.
TEST_F(GltfMenuTest, TheImportItemAddsTheFilesModelAndReportsIt) {
  const std::string path = PathOf("arm.glb");
  std::string error;
  ASSERT_TRUE(Service().ExportGltf(path, 0.01f, nullptr, &error)) << error;

  FreshDocument();
  std::vector<std::string> expected;
  for (int i = 0; i < 2; ++i) {
    quorvel::gltf::ImportReport report;
    ASSERT_TRUE(Service().ImportGltf(path, 0.01f, &report, &error)) << error;
    std::string text = path + Ansi(" を読み込みました。\n") +
                       Format(Ansi("オブジェクト %d / ジョイント %d / 頂点 %d "
                                   "/ モーフ %d / ポーズ %d")
                                  .c_str(),
                              report.objects, report.joints, report.vertices, report.targets, report.poses);
    if (!report.notes.empty()) text += Ansi("\n\n読み込みで失われたもの:");
    for (const std::string& note : report.notes) text += "\n" + Ansi(note.c_str());
    expected.push_back(text);
  }
  ASSERT_NE(expected[0], expected[1]) << "the second import has notes of its own";

  FreshDocument();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const int before = Objects();
    const int undo = host_.undo_state_count();
    ui_->QueuePath(path);
    ui_->SetUnitScaleAnswer(true, 0.01f);
    Service().ImportGltfDialog(&owner_);
    EXPECT_GT(Objects(), before) << "the file's model was added";
    EXPECT_GT(host_.undo_state_count(), undo) << "the import can be undone";
  }
  ASSERT_EQ(ui_->file_dialogs().size(), 2u);
  EXPECT_FALSE(ui_->file_dialogs()[0].save);
  ASSERT_EQ(ui_->scale_dialogs().size(), 2u);
  EXPECT_EQ(ui_->scale_dialogs()[0].caption, Ansi("glTF読み込み"));
  ASSERT_EQ(ui_->message_boxes().size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ui_->message_boxes()[i].caption, Ansi("glTF読み込み"));
    EXPECT_EQ(ui_->message_boxes()[i].text, expected[i]);
  }
  EXPECT_EQ(main_->GetDialogCallCount(), 0);
}

// Cancel in the file dialog or in the scale dialog, exporting or importing:
// nothing is written, added or shown.
TEST_F(GltfMenuTest, CancelAtEitherDialogDoesNothing) {
  const std::string existing = PathOf("existing.glb");
  std::string error;
  ASSERT_TRUE(Service().ExportGltf(existing, 0.01f, nullptr, &error)) << error;
  struct Case {
    const char* name;
    bool import;
    bool cancel_file;  // else the scale dialog is cancelled
  };
  for (const Case& c : {Case{"export, file", false, true}, Case{"export, scale", false, false},
                        Case{"import, file", true, true}, Case{"import, scale", true, false}}) {
    SCOPED_TRACE(c.name);
    const size_t scale_runs = ui_->scale_dialogs().size();
    const int objects = Objects();
    const int undo = host_.undo_state_count();
    const std::string target = c.import ? existing : PathOf("cancelled.glb");
    ui_->QueuePath(c.cancel_file ? "" : target);
    ui_->SetUnitScaleAnswer(false, 0.0f);
    if (c.import) {
      Service().ImportGltfDialog(&owner_);
    } else {
      Service().ExportGltfDialog(&owner_);
    }
    EXPECT_EQ(ui_->scale_dialogs().size(), scale_runs + (c.cancel_file ? 0 : 1));
    EXPECT_FALSE(fs::exists(PathOf("cancelled.glb")));
    EXPECT_EQ(Objects(), objects);
    EXPECT_EQ(host_.undo_state_count(), undo);
    EXPECT_TRUE(ui_->message_boxes().empty());
    EXPECT_EQ(main_->GetDialogCallCount(), 0);
  }
}

// What the export or import refuses comes up as its own message, and the
// file system and the document are as they were.
TEST_F(GltfMenuTest, AFailureShowsTheMessageOfTheOperation) {
  const std::string not_gltf = PathOf("notes.glb");
  std::ofstream(not_gltf, std::ios::binary) << "these are notes, not a model";
  struct Case {
    const char* name;
    bool import;
    std::string path;
  };
  for (const Case& c : {Case{"export into a missing folder", false, PathOf("missing/arm.glb")},
                        Case{"import of a file that is no glTF", true, not_gltf}}) {
    SCOPED_TRACE(c.name);
    // The op's own message for the same request (neither changes anything).
    std::string expected;
    if (c.import) {
      EXPECT_FALSE(Service().ImportGltf(c.path, 0.01f, nullptr, &expected));
    } else {
      EXPECT_FALSE(Service().ExportGltf(c.path, 0.01f, nullptr, &expected));
    }
    ASSERT_FALSE(expected.empty());
    const int objects = Objects();
    const int undo = host_.undo_state_count();
    const size_t boxes = ui_->message_boxes().size();
    ui_->QueuePath(c.path);
    ui_->SetUnitScaleAnswer(true, 0.01f);
    if (c.import) {
      Service().ImportGltfDialog(&owner_);
    } else {
      Service().ExportGltfDialog(&owner_);
    }
    ASSERT_EQ(ui_->message_boxes().size(), boxes + 1);
    EXPECT_EQ(ui_->message_boxes().back().caption, Ansi("エラー"));
    EXPECT_EQ(ui_->message_boxes().back().text, expected);
    EXPECT_EQ(Objects(), objects);
    EXPECT_EQ(host_.undo_state_count(), undo);
  }
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

// Whatever lets a scale through that is no length (the dialog does not), the
// main object writes nothing scaled by it and keeps the last good one.
TEST_F(GltfMenuTest, AScaleThatIsNoLengthWritesNothing) {
  for (float scale :
       {0.0f, -0.01f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    SCOPED_TRACE(scale);
    const size_t boxes = ui_->message_boxes().size();
    ui_->QueuePath(PathOf("bad.glb"));
    ui_->SetUnitScaleAnswer(true, scale);
    Service().ExportGltfDialog(&owner_);
    EXPECT_FALSE(fs::exists(PathOf("bad.glb")));
    ASSERT_EQ(ui_->message_boxes().size(), boxes + 1);
    EXPECT_EQ(ui_->message_boxes().back().caption, Ansi("エラー"));
    EXPECT_FLOAT_EQ(ui_->scale_dialogs().back().opened_with, 0.01f);
  }
}

TEST_F(GltfMenuTest, WithoutAnOpenDocumentTheItemsAskNothing) {
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  ui_->QueuePath(PathOf("arm.glb"));
  Service().ExportGltfDialog(&owner_);
  Service().ImportGltfDialog(&owner_);
  EXPECT_TRUE(ui_->file_dialogs().empty());
  EXPECT_TRUE(ui_->message_boxes().empty());
}

}  // namespace
