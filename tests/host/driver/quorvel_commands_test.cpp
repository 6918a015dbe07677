// The driver's commands that ask Quorvel itself (the built plug-in module)
// through the peer: the posed model as JSON, the pose list, and glTF files
// in and out, on the sample rigged arm.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/driver/driver.h"
#include "tests/io/scratch_settings.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr double kPi = 3.14159265358979323846;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// (x, y) turned by `degrees` about (px, py), counter-clockwise seen from +z.
std::pair<double, double> Turn(double x, double y, double px, double py, double degrees) {
  const double a = degrees * kPi / 180.0;
  const double dx = x - px, dy = y - py;
  return {px + dx * std::cos(a) - dy * std::sin(a), py + dx * std::sin(a) + dy * std::cos(a)};
}

class QuorvelCommands : public testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() / ("mqhost-quorvel-test-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(fs::create_directories(directory_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }

  // Runs mqhost with Quorvel on the sample rig (its first pose, "bend",
  // applied as it opens) and the script.
  int Run(const std::string& script, mqhost::DriverOptions options = {}) {
    options.plugins.push_back(QUORVEL_PLUGIN_PATH);
    if (options.input.empty()) options.input = QUORVEL_EXAMPLES_DIR "/arm_rig.mqd";
    if (!script.empty()) {
      options.script = PathOf("script.mqs");
      std::ofstream(options.script, std::ios::binary) << script;
    }
    std::ostringstream out, err;
    const int status = mqhost::RunDriver(options, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  // The posed model's object of that name, from a posed-model file.
  static json ModelObject(const std::string& path, const std::string& name) {
    const json model = json::parse(ReadFile(path));
    for (const json& object : model.at("objects")) {
      if (object.at("name") == name) return object;
    }
    return json();
  }

  // The posed vertices of the arm's tip ring (x = 120 at rest).
  static std::vector<std::array<double, 3>> TipRing(const json& arm) {
    std::vector<std::array<double, 3>> ring;
    const json& rest = arm.at("rest");
    const json& posed = arm.at("vertices");
    for (size_t v = 0; v + 2 < rest.size(); v += 3) {
      if (rest[v].get<double>() == 120.0) {
        ring.push_back({posed[v].get<double>(), posed[v + 1].get<double>(), posed[v + 2].get<double>()});
      }
    }
    return ring;
  }

  quorvel_test::ScratchSettings settings_;
  fs::path directory_;
  std::string out_, err_;
};

TEST_F(QuorvelCommands, ThePosedModelNamesTheDocumentsObjectsWithRestAndPosedVertices) {
  ASSERT_EQ(Run("posed-model " + PathOf("bend.json") + "\n"), mqhost::kDriverOk) << err_;
  EXPECT_NE(out_.find("posed-model " + PathOf("bend.json") + ": 5 objects, 24 vertices; 1 model handed back"),
            std::string::npos)
      << out_;
  const json model = json::parse(ReadFile(PathOf("bend.json")));
  std::vector<std::string> names;
  std::vector<int> indices;
  for (const json& object : model.at("objects")) {
    names.push_back(object.at("name"));
    indices.push_back(object.at("index"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"arm", "hand", "shoulder", "elbow", "wrist"}));
  EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 3, 4}));

  const json arm = ModelObject(PathOf("bend.json"), "arm");
  ASSERT_EQ(arm.at("rest").size(), 48u);
  ASSERT_EQ(arm.at("vertices").size(), 48u);
  ASSERT_EQ(arm.at("faces").size(), 14u);
  EXPECT_EQ(arm.at("faces")[0], json::parse("[3, 2, 1, 0]"));
  // The document's vertex 0 at rest; the posed copy stays by the shoulder.
  EXPECT_EQ(arm.at("rest")[0], 0.0);
  EXPECT_EQ(arm.at("rest")[1], -8.0);
  EXPECT_EQ(arm.at("rest")[2], -8.0);

  // "bend": the elbow, and the wrist with it, turned 45 degrees about (60, 0).
  const auto ring = TipRing(arm);
  ASSERT_EQ(ring.size(), 4u);
  for (const auto& p : ring) {
    const double rest_y = p[1] > 45.0 ? 8.0 : -8.0;
    const auto expected = Turn(120.0, rest_y, 60.0, 0.0, 45.0);
    EXPECT_NEAR(p[0], expected.first, 1e-3);
    EXPECT_NEAR(p[1], expected.second, 1e-3);
  }
}

TEST_F(QuorvelCommands, PosesAreListedAndMadeCurrentByPosition) {
  ASSERT_EQ(Run("poses\npose 1\nposes\nposed-model " + PathOf("wave.json") + "\npose 0\n"), mqhost::kDriverOk) << err_;
  EXPECT_NE(out_.find("poses: 2; current: 0 \"bend\"\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("pose 1: \"wave\" is current (the list holds 2 poses)\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("poses: 2; current: 1 \"wave\"\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("pose 0: \"bend\" is current"), std::string::npos) << out_;

  // "wave": the wrist turned -30 degrees about its pivot (120, 0), then the
  // elbow 20 degrees about (60, 0); the tip ring follows the wrist alone.
  const auto ring = TipRing(ModelObject(PathOf("wave.json"), "arm"));
  ASSERT_EQ(ring.size(), 4u);
  int upper = 0;
  for (const auto& p : ring) {
    double nearest = 1e9;
    for (const double rest_y : {8.0, -8.0}) {
      const auto wrist = Turn(120.0, rest_y, 120.0, 0.0, -30.0);
      const auto expected = Turn(wrist.first, wrist.second, 60.0, 0.0, 20.0);
      const double distance = std::hypot(p[0] - expected.first, p[1] - expected.second);
      if (distance < nearest) {
        nearest = distance;
        upper += rest_y > 0.0 && distance < 1e-3;
      }
    }
    EXPECT_LT(nearest, 1e-3) << p[0] << " " << p[1];
  }
  EXPECT_EQ(upper, 2) << "two of the ring's vertices are its upper side";

  EXPECT_EQ(Run("pose 2\n"), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("script.mqs:1: Quorvel has no pose 2 (its list holds 2 poses)"), std::string::npos) << err_;
}

TEST_F(QuorvelCommands, AFileQuorvelCannotReadIsReportedAndTheDocumentStaysAsItWas) {
  const std::string bad = PathOf("notes.glb");
  std::ofstream(bad, std::ios::binary) << "these are notes, not a model";
  ASSERT_EQ(Run("save " + PathOf("before.mqd") + "\nimport-gltf " + bad + "\nsave " + PathOf("after.mqd") + "\n"),
            mqhost::kDriverOk)
      << err_;
  const size_t line = out_.find("import-gltf " + bad + ": failed: ");
  ASSERT_NE(line, std::string::npos) << out_;
  EXPECT_NE(out_.find("notes.glb", line + bad.size() + 12), std::string::npos) << "the message names the file";
  const std::string before = ReadFile(PathOf("before.mqd"));
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(ReadFile(PathOf("after.mqd")), before);
}

TEST_F(QuorvelCommands, TheBatchExportWritesTheFileOrFailsWithNothingLeft) {
  mqhost::DriverOptions options;
  options.export_gltf = PathOf("arm.gltf");
  options.unit_scale = 1.0f;
  ASSERT_EQ(Run("", options), mqhost::kDriverOk) << err_;
  EXPECT_NE(out_.find("export-gltf " + options.export_gltf + ": 5 objects, "), std::string::npos) << out_;
  const json written = json::parse(ReadFile(options.export_gltf));
  EXPECT_EQ(written.at("asset").at("version"), "2.0");
  EXPECT_EQ(written.at("asset").at("extras").at("quorvel").at("unitScale"), 1.0);
  EXPECT_TRUE(fs::exists(PathOf("arm.bin")));

  // A folder (with a file in it) stands where the file would go: an error,
  // the saved document not written, and nothing new left beside it.
  fs::create_directories(PathOf("taken.glb"));
  std::ofstream(PathOf("taken.glb/kept.txt")) << "kept";
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = listing();
  options.export_gltf = PathOf("taken.glb");
  options.unit_scale = 0.0f;
  options.save = PathOf("saved.mqd");
  EXPECT_EQ(Run("", options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("mqhost: --export-gltf " + options.export_gltf + ": "), std::string::npos) << err_;
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(ReadFile(PathOf("taken.glb/kept.txt")), "kept");
}

}  // namespace
