// The driver's commands that ask Quorvel itself (the built plug-in module)
// through the peer: the posed model as JSON, the pose list, glTF files in
// and out, and the weight and bone tools, on the sample rigged arm.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
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

// Quorvel's weight records of the document object `index` in a saved
// document, one "<vertex .../>" line each.
std::vector<std::string> SavedWeights(const std::string& document, int index) {
  std::vector<std::string> records;
  const size_t object = document.find("<obj obj=\"" + std::to_string(index) + "\"");
  if (object == std::string::npos) return records;
  const size_t begin = document.find("<VertexWeight>", object);
  const size_t end = document.find("</VertexWeight>", object);
  if (begin == std::string::npos || end == std::string::npos || end < begin) return records;
  std::istringstream lines(document.substr(begin, end - begin));
  for (std::string line; std::getline(lines, line);) {
    const size_t vertex = line.find("<vertex ");
    if (vertex != std::string::npos) records.push_back(line.substr(vertex));
  }
  return records;
}

// The number in the first line that matches `pattern` (one group); -1 without one.
int CountIn(const std::string& text, const std::string& pattern) {
  std::smatch match;
  return std::regex_search(text, match, std::regex(pattern)) ? std::stoi(match[1].str()) : -1;
}

TEST_F(QuorvelCommands, TheWeightAndBoneToolsChangeTheRigAndReportWhatTheyDid) {
  const auto save = [&](const std::string& name) { return "save " + PathOf(name) + "\n"; };
  // A soft falloff, so that the joints' vertices take two bones.
  const std::string script = "current 0\n" + save("loaded.mqd") + "auto-weights falloff=4\n" +
                             save("auto.mqd") + "limit-weights 1\n" + save("limited.mqd") +
                             "smooth-weights iterations=2\n" + save("smoothed.mqd") + "mirror-pose flip\n" +
                             "posed-model " + PathOf("flipped.json") + "\n";
  ASSERT_EQ(Run(script), mqhost::kDriverOk) << err_;

  const std::vector<std::string> loaded = SavedWeights(ReadFile(PathOf("loaded.mqd")), 0);
  const std::vector<std::string> automatic = SavedWeights(ReadFile(PathOf("auto.mqd")), 0);
  const std::vector<std::string> limited = SavedWeights(ReadFile(PathOf("limited.mqd")), 0);
  const std::vector<std::string> smoothed = SavedWeights(ReadFile(PathOf("smoothed.mqd")), 0);
  ASSERT_EQ(loaded.size(), 16u) << "the arm's 16 vertices are weighted as the sample has them";

  // Every vertex of the current object, the arm, is written anew.
  EXPECT_NE(out_.find("script.mqs:3: auto-weights: 16 vertices written\n"), std::string::npos) << out_;
  EXPECT_EQ(automatic.size(), 16u);
  EXPECT_NE(automatic, loaded);

  // One bone a vertex is left; the count is the vertices that had more.
  const auto several = std::count_if(automatic.begin(), automatic.end(), [](const std::string& r) {
    return r.find(" obj1=") != std::string::npos;
  });
  ASSERT_GT(several, 0) << "a soft falloff shares the joints' vertices between bones";
  EXPECT_EQ(CountIn(out_, "script\\.mqs:5: limit-weights 1: ([0-9]+) vertices? changed\n"), several) << out_;
  ASSERT_EQ(limited.size(), 16u);
  for (const std::string& record : limited) EXPECT_EQ(record.find(" obj1="), std::string::npos) << record;

  // Smoothing mixes the single bones again where neighbours differ.
  ASSERT_EQ(smoothed.size(), 16u);
  int differing = 0;
  for (size_t v = 0; v < smoothed.size(); ++v) differing += smoothed[v] != limited[v];
  // (The file keeps whole percents, so a change below one may not show there.)
  EXPECT_GT(differing, 0);
  EXPECT_GE(CountIn(out_, "script\\.mqs:7: smooth-weights: ([0-9]+) vertices? changed\n"), differing) << out_;

  // The whole pose flipped across X = 0: the elbow turns the other way, and
  // the hand, weighted to the wrist alone, with it (by -45 degrees about the
  // elbow's pivot (60, 0) where "bend" turned it by 45).
  EXPECT_GT(CountIn(out_, "script\\.mqs:9: mirror-pose flip: ([0-9]+) bones? posed\n"), 0) << out_;
  const json hand = ModelObject(PathOf("flipped.json"), "hand");
  ASSERT_EQ(hand.at("vertices").size(), 24u);
  for (size_t v = 0; v + 2 < 24; v += 3) {
    const auto expected =
        Turn(hand.at("rest")[v].get<double>(), hand.at("rest")[v + 1].get<double>(), 60.0, 0.0, -45.0);
    EXPECT_NEAR(hand.at("vertices")[v].get<double>(), expected.first, 1e-3) << v / 3;
    EXPECT_NEAR(hand.at("vertices")[v + 1].get<double>(), expected.second, 1e-3) << v / 3;
  }
}

TEST_F(QuorvelCommands, EachToolAloneMakesTheDriverAskQuorvel) {
  // Whether Quorvel does the work or says why not, each answers on a line
  // that starts with the tool; a driver that did not load the peer for it
  // would stop the script instead.
  struct Case {
    const char* line;
    const char* title;
  };
  const Case cases[] = {
      {"auto-weights bones=1", "auto-weights: "},
      {"mirror-weights -x", "mirror-weights -x: "},
      {"smooth-weights strength=1", "smooth-weights: "},
      {"limit-weights 2 selected", "limit-weights 2: "},
      {"mirror-pose bone object=3", "mirror-pose bone: "},
      {"mirror-bones object=2", "mirror-bones: "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(std::string(c.line) + "\n"), mqhost::kDriverOk) << c.line << "\n" << err_;
    EXPECT_NE(out_.find(std::string("script.mqs:1: ") + c.title), std::string::npos) << c.line << "\n" << out_;
  }
}

TEST_F(QuorvelCommands, ToolsTakeObjectsByIndexAndQuorvelsRefusalsLetTheScriptGoOn) {
  // The tools alone make the driver load the peer that asks Quorvel. The
  // hand (object 1) has 8 vertices where the arm, whose unique id is 1, has 16.
  ASSERT_EQ(Run("auto-weights object=1\nauto-weights object=3\necho after the refusal\n"
                "mirror-weights -x object=1\n"),
            mqhost::kDriverOk)
      << err_;
  EXPECT_NE(out_.find("script.mqs:1: auto-weights: 8 vertices written\n"), std::string::npos) << out_;
  // All of the hand lies at +X: no vertex there has a mirror to take weights
  // from, and Quorvel's note of it follows on a line of its own.
  const std::string mirrored = "script.mqs:4: mirror-weights -x: 0 vertices written, 8 without a mirror\n  ";
  const size_t note = out_.find(mirrored);
  ASSERT_NE(note, std::string::npos) << out_;
  ASSERT_LT(note + mirrored.size(), out_.size());
  EXPECT_NE(out_[note + mirrored.size()], '\n') << out_;
  // The elbow has no vertices to weigh.
  const std::string failed = "script.mqs:2: auto-weights: failed: ";
  const size_t refusal = out_.find(failed);
  ASSERT_NE(refusal, std::string::npos) << out_;
  ASSERT_LT(refusal + failed.size(), out_.size());
  EXPECT_NE(out_[refusal + failed.size()], '\n') << "Quorvel says why";
  EXPECT_NE(out_.find("script.mqs:3: after the refusal\n", refusal), std::string::npos) << out_;

  // An object the document lacks is the script's mistake, as for every command.
  EXPECT_EQ(Run("mirror-weights +x object=99\necho not reached\n"), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("script.mqs:1: the document has no object 99"), std::string::npos) << err_;
  EXPECT_EQ(out_.find("not reached"), std::string::npos) << out_;
}

}  // namespace
