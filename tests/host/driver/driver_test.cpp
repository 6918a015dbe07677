// The mqhost program run in process against the recording plug-in: its
// command line, the events a script turns into, and that a failed run
// writes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver_run.h"
#include "host/driver/driver.h"
#include "host/files/document_file.h"

namespace {

namespace fs = std::filesystem;
using driver_test::DriverRun;
using mqhost::DriverOptions;
using mqhost::ParseDriverOptions;

TEST(DriverOptions, CommandLinesAreReadOrRefused) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // empty: accepted
  };
  const Case cases[] = {
      {{}, ""},
      {{"--plugin", "a.so", "--plugin", "b.so", "doc.mqd", "--script", "s.mqs", "--save", "o.mqd",
        "--export-obj", "o.obj", "--peer", "p.so", "--export-model", "m.obj"},
       ""},
      {{"--help"}, ""},
      {{"--plugin"}, "--plugin needs a path"},
      {{"--script", ""}, "--script needs a path"},
      {{"--save", "a", "--save", "b"}, "--save given twice"},
      {{"a.mqd", "b.mqd"}, "only one document can be opened (a.mqd and b.mqd)"},
      {{"--verbose"}, "unknown option --verbose"},
      {{"-x"}, "unknown option -x"},
      {{"--render", "shot.png", "--size", "800x600", "--camera-position", "1,-2.5,300", "--camera-target",
        "0,0,-5", "--perspective", "30"},
       ""},
      {{"--ortho", "250", "--size", "1X1"}, ""},
      {{"--render"}, "--render needs a path"},
      {{"--render", "shot.jpg"}, "--render: a picture is written as PNG: 'shot.jpg' does not end in .png"},
      {{"--render", "a.png", "--render", "b.png"}, "--render given twice"},
      {{"--size"}, "--size needs WxH"},
      {{"--size", "800"}, "--size '800' is not WxH (two whole numbers from 1 to 16384, such as 800x600)"},
      {{"--size", "0x600"}, "--size '0x600' is not WxH (two whole numbers from 1 to 16384, such as 800x600)"},
      {{"--size", "800x"}, "--size '800x' is not WxH (two whole numbers from 1 to 16384, such as 800x600)"},
      {{"--size", "20000x10"}, "--size '20000x10' is not WxH (two whole numbers from 1 to 16384, such as 800x600)"},
      {{"--camera-position"}, "--camera-position needs X,Y,Z"},
      {{"--camera-position", "1,2"}, "--camera-position '1,2' is not X,Y,Z"},
      {{"--camera-target", "1,2,z"}, "--camera-target: coordinate 'z' is not a number"},
      {{"--perspective", "200"}, "--perspective: the field of view must lie between 0 and 180 degrees"},
      {{"--perspective", "wide"}, "--perspective: 'wide' is not a number"},
      {{"--ortho", "-1"}, "--ortho: the orthographic height must be positive"},
      {{"--perspective", "30", "--ortho", "100"}, "--perspective and --ortho exclude each other"},
      {{"--gui", "--plugin", "q.dll", "doc.mqd", "--activate", "Quorvel", "--frame-log", "f.txt", "--size",
        "800x600"},
       ""},
      {{"--gui", "--script", "s.mqs"}, "--gui takes no script and writes no outputs: the person at the window does"},
      {{"--gui", "--save", "o.mqd"}, "--gui takes no script and writes no outputs: the person at the window does"},
      {{"--activate", "Quorvel"}, "--activate goes with --gui"},
      {{"--frame-log", "f.txt"}, "--frame-log goes with --gui"},
      {{"--gui", "--activate"}, "--activate needs a command plug-in's name"},
      {{"doc.mqd", "--export-gltf", "out dir/rig.glb", "--unit-scale", "1"}, ""},
      {{"--export-gltf"}, "--export-gltf needs a path"},
      {{"--export-gltf", "rig.glb", "--unit-scale"}, "--unit-scale needs metres per modeller unit"},
      {{"--unit-scale", "1"}, "--unit-scale goes with --export-gltf"},
      {{"--export-gltf", "rig.obj"}, "--export-gltf: a glTF file is written as .glb or .gltf: 'rig.obj' ends in neither"},
      {{"--export-gltf", "rig.glb 2"}, "--export-gltf 'rig.glb 2' is not FILE.glb or FILE.gltf"},
      {{"--export-gltf", "rig.glb", "--unit-scale", "0"}, "--unit-scale '0' is not a positive number of metres"},
      {{"--export-gltf", "rig.glb", "--unit-scale", "big"}, "--unit-scale 'big' is not a positive number of metres"},
      {{"--export-gltf", "rig.glb", "--unit-scale", "1 2"}, "--unit-scale '1 2' is not a positive number of metres"},
      {{"--gui", "--export-gltf", "rig.glb"}, "--gui takes no script and writes no outputs: the person at the window does"},
  };
  for (const Case& c : cases) {
    DriverOptions options;
    std::string error;
    const bool accepted = ParseDriverOptions(c.args, &options, &error);
    EXPECT_EQ(accepted, std::string(c.error).empty()) << c.error;
    if (!accepted) {
      EXPECT_EQ(error, c.error);
    }
  }

  DriverOptions options;
  std::string error;
  ASSERT_TRUE(ParseDriverOptions(cases[1].args, &options, &error));
  EXPECT_EQ(options.plugins, (std::vector<std::string>{"a.so", "b.so"}));
  EXPECT_EQ(options.input, "doc.mqd");
  EXPECT_EQ(options.script, "s.mqs");
  EXPECT_EQ(options.save, "o.mqd");
  EXPECT_EQ(options.export_obj, "o.obj");
  EXPECT_EQ(options.peer, "p.so");
  EXPECT_EQ(options.export_model, "m.obj");
  EXPECT_FALSE(options.help);
  EXPECT_TRUE(options.view.empty());

  ASSERT_TRUE(ParseDriverOptions(cases[9].args, &options, &error));
  EXPECT_EQ(options.render, "shot.png");
  EXPECT_EQ(options.view.width, 800);
  EXPECT_EQ(options.view.height, 600);
  EXPECT_EQ(options.view.position, (std::array<float, 3>{1.0f, -2.5f, 300.0f}));
  EXPECT_EQ(options.view.target, (std::array<float, 3>{0.0f, 0.0f, -5.0f}));
  EXPECT_EQ(options.view.perspective_fov, 30.0f);
  EXPECT_FALSE(options.view.ortho_height.has_value());
  ASSERT_TRUE(ParseDriverOptions(cases[10].args, &options, &error));
  EXPECT_EQ(options.view.ortho_height, 250.0f);
  EXPECT_EQ(options.view.width, 1);

  ASSERT_TRUE(ParseDriverOptions(cases[26].args, &options, &error));
  EXPECT_TRUE(options.gui);
  EXPECT_EQ(options.activate, "Quorvel");
  EXPECT_EQ(options.frame_log, "f.txt");
  EXPECT_EQ(options.input, "doc.mqd");

  ASSERT_TRUE(ParseDriverOptions({"doc.mqd", "--export-gltf", "out dir/rig.glb", "--unit-scale", "1"}, &options,
                                 &error));
  EXPECT_EQ(options.export_gltf, "out dir/rig.glb");
  EXPECT_EQ(options.unit_scale, 1.0f);
  ASSERT_TRUE(ParseDriverOptions({"--export-gltf", "rig.gltf"}, &options, &error));
  EXPECT_EQ(options.unit_scale, 0.0f) << "without --unit-scale, the plug-in's default";
}

TEST(DriverOptions, HelpExplainsEveryOption) {
  const std::string help = mqhost::DriverHelp();
  for (const char* option : {"--plugin PATH", "--peer PATH", "FILE", "--script FILE", "--save FILE",
                             "--export-obj FILE", "--export-model FILE", "--help", "--render FILE.png",
                             "--size WxH", "--camera-position X,Y,Z", "--camera-target X,Y,Z",
                             "--perspective FOV", "--ortho H", "message PRODUCT ID DESCRIPTION",
                             "render FILE.png", "--gui", "--activate NAME", "--frame-log FILE",
                             "--export-gltf FILE.glb|FILE.gltf", "--unit-scale S"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

TEST_F(DriverRun, ASessionGoesFromInitializeToExit) {
  DriverOptions options;
  options.script = WriteScript("activate\ndraw 320 200\nmouse down left 1 2\ndeactivate\n");
  options.save = PathOf("out.mqd");
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;
  // The opening state is recorded (212) before the script runs.
  EXPECT_EQ(Codes(), (std::vector<int>{1, 200, 212, 100, 110, 120, 100, 202, 201, 2}));
  EXPECT_EQ(state_->events[3].flag, TRUE);
  EXPECT_EQ(state_->events[6].flag, FALSE);
  EXPECT_NE(out_.find("loaded " + std::string(QUORVEL_RECORDER_PATH)), std::string::npos) << out_;
  EXPECT_NE(out_.find("product 0x54455354, id 0x52454331"), std::string::npos) << out_;
  EXPECT_TRUE(fs::exists(options.save));
}

TEST_F(DriverRun, ScriptLinesBecomeEventsWithTheirArguments) {
  struct Case {
    const char* line;
    int code;
    std::vector<std::pair<const char*, int>> numbers;
  };
  const Case cases[] = {
      {"mouse down left 10 20 shift", 120,
       {{"button_state", 0x05}, {"mouse_pos_x", 10}, {"mouse_pos_y", 20}, {"mouse_wheel", 0}}},
      {"mouse move right 11 21 ctrl", 127, {{"button_state", 0x0A}, {"mouse_pos_x", 11}}},
      {"mouse up middle 12 22", 125, {{"button_state", 0x00}, {"mouse_pos_y", 22}}},
      {"mouse down middle 7 8 shift ctrl alt", 123, {{"button_state", 0x3C}, {"mouse_pos_x", 7}}},
      {"mouse down right 9 10 shift", 126, {{"button_state", 0x06}, {"mouse_pos_y", 10}}},
      {"mouse up right 9 10 alt", 128, {{"button_state", 0x20}}},
      {"mouse move left 5 6 ctrl alt", 121, {{"button_state", 0x29}, {"mouse_wheel", 0}}},
      {"move 3 4 alt", 129, {{"button_state", 0x20}, {"mouse_pos_x", 3}, {"mouse_pos_y", 4}}},
      {"wheel 5 6 -120 ctrl", 130, {{"button_state", 0x08}, {"mouse_wheel", -120}}},
      {"key down a shift", 140, {{"key", 0x41}, {"button_state", 0x04}}},
      {"key up escape", 141, {{"key", 0x1B}, {"button_state", 0}}},
      {"key down f5 ctrl alt", 140, {{"key", 0x74}, {"button_state", 0x28}}},
      {"draw 300 200", 110, {{"width", 300}, {"height", 200}}},
      {"draw", 110, {{"width", 300}, {"height", 200}}},  // the view keeps its size
      {"camera ortho 100", 240, {}},
  };
  std::string script;
  for (const Case& c : cases) script += std::string(c.line) + "\n";
  DriverOptions options;
  options.script = WriteScript(script);
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;

  // Initialize, new document and the opening undo state come first.
  ASSERT_EQ(state_->event_count, 3 + static_cast<int>(std::size(cases)) + 2);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const recorder::Event& event = state_->events[3 + i];
    SCOPED_TRACE(c.line);
    EXPECT_EQ(event.code, c.code);
    const recorder::Arg* scene = recorder::FindArg(event, "scene");
    ASSERT_NE(scene, nullptr);
    EXPECT_NE(scene->value, nullptr);
    for (const auto& [name, value] : c.numbers) {
      const recorder::Arg* arg = recorder::FindArg(event, name);
      ASSERT_NE(arg, nullptr) << name;
      EXPECT_EQ(arg->number, value) << name;
    }
  }
}

TEST_F(DriverRun, AFailedRunWritesNoOutputFile) {
  struct Case {
    const char* script;
    const char* error;  // what the error output must hold
    bool plugins_started;
  };
  const Case cases[] = {
      {"activate\nsave @IN@\nfoo\n", "script.mqs:3: unknown command 'foo'", false},
      {"save @IN@\nselect 4 0\n", "script.mqs:2: the document has no object 4", true},
      {"save @IN@\ncurrent 0\n", "script.mqs:2: the document has no object 0", true},
      {"save @IN@\nrender\n", "script.mqs:2: usage: render FILE.png", false},
      {"save @IN@\nrender shot.bmp\n", "script.mqs:2: a picture is written as PNG: 'shot.bmp' does not end in .png",
       false},
      {"save @IN@\nrender @MISSING@/shot.png\n", "shot.png: cannot write (there is no folder", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    recorder_.Reset();
    std::string script = c.script;
    script.replace(script.find("@IN@"), 4, PathOf("in-script.mqd"));
    if (script.find("@MISSING@") != std::string::npos) {
      script.replace(script.find("@MISSING@"), 9, PathOf("no-such-folder"));
    }
    DriverOptions options;
    options.script = WriteScript(script);
    options.save = PathOf("saved.mqd");
    options.export_obj = PathOf("saved.obj");
    EXPECT_EQ(Run(options), mqhost::kDriverFailed);
    EXPECT_NE(err_.find(c.error), std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(PathOf("in-script.mqd")));
    EXPECT_FALSE(fs::exists(options.save));
    EXPECT_FALSE(fs::exists(options.export_obj));
    if (c.plugins_started) {
      // Even a failed run ends the document and lets the plug-ins exit.
      ASSERT_GE(state_->event_count, 2);
      EXPECT_EQ(state_->events[state_->event_count - 2].code, 201);
      EXPECT_EQ(state_->events[state_->event_count - 1].code, 2);
    } else {
      EXPECT_EQ(state_->event_count, 0) << "a bad script stops the run before any plug-in is loaded";
    }
  }
}

TEST_F(DriverRun, ExportingAModelNeedsOneThePeerHolds) {
  DriverOptions options;
  options.script = WriteScript("activate\n");
  options.save = PathOf("saved.mqd");
  options.export_model = PathOf("model.obj");
  EXPECT_EQ(Run(options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("--export-model: the peer holds no rendering model"), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(options.export_model));
  EXPECT_FALSE(fs::exists(options.save)) << "nothing is written when the run fails";
}

TEST_F(DriverRun, APluginThatCannotBeLoadedIsNamed) {
  DriverOptions options;
  const std::string missing = PathOf("no-such-plugin.so");
  options.plugins.push_back(missing);
  options.save = PathOf("saved.mqd");
  EXPECT_EQ(Run(options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find(missing), std::string::npos) << err_;
  EXPECT_FALSE(fs::exists(options.save));
  EXPECT_EQ(state_->event_count, 0) << "the run stops before any plug-in is initialised";
}

TEST_F(DriverRun, TheSameModuleIsNotLoadedTwice) {
  DriverOptions options;
  options.plugins.push_back(QUORVEL_RECORDER_PATH);
  EXPECT_EQ(Run(options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("already loaded"), std::string::npos) << err_;
}

TEST_F(DriverRun, SavedPluginDataComesBackWithTheDocument) {
  DriverOptions save;
  save.save = PathOf("round.mqd");
  ASSERT_EQ(Run(save), mqhost::kDriverOk) << err_;
  EXPECT_EQ(state_->found_saved_data, 0) << "a new document holds nothing yet";

  recorder_.Reset();
  DriverOptions open;
  open.input = save.save;
  ASSERT_EQ(Run(open), mqhost::kDriverOk) << err_;
  EXPECT_EQ(state_->found_saved_data, 1);
  const recorder::Event& opened = state_->events[1];
  ASSERT_EQ(opened.code, 200);
  EXPECT_EQ(recorder::FindArg(opened, "filename")->text, save.save);
}

TEST_F(DriverRun, MessagesGoThroughThePeerAndModelsGoBack) {
  DriverOptions options;
  options.script = WriteScript("message 0x54455354 0x52454331 GetRenderingModel\n");
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;
  std::vector<std::string> messages;
  for (int i = 0; i < state_->event_count; ++i) {
    const recorder::Event& event = state_->events[i];
    if (event.code != MQEVENT_USER_MESSAGE) continue;
    messages.push_back(recorder::FindArg(event, "description")->text);
    EXPECT_EQ(static_cast<uint32_t>(recorder::FindArg(event, "src_product")->number), 0x51504545u);
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"GetRenderingModel", "DeleteRenderingModel"}));
  EXPECT_NE(out_.find("answer 1"), std::string::npos) << out_;
  EXPECT_NE(out_.find("the peer received \"SendRenderingModel\""), std::string::npos) << out_;
  EXPECT_NE(out_.find("the peer handed back 1 model"), std::string::npos) << out_;
}

TEST_F(DriverRun, UserDataPrintsAnObjectsRecordAsFloats) {
  mqhost::Document document;
  auto object = document.NewObject();
  object->name = "bone";
  mqhost::Object* bone = object.get();
  document.AddObject(std::move(object));
  MQUserDataInfo info;
  std::memset(&info, 0, sizeof info);
  info.size = sizeof info;
  info.product_id = 1;
  info.plugin_id = 2;
  std::strcpy(info.identifier, "REC");
  info.userdata_type = MQUSERDATA_OBJECT;
  info.bytes_per_element = 16;
  info.create = true;
  const int slot = document.RegisterUserData(info);
  ASSERT_NE(slot, 0);
  std::strcpy(info.identifier, "EMPTY");
  ASSERT_NE(document.RegisterUserData(info), 0);
  ASSERT_TRUE(bone->AllocObjectData(slot));
  const float values[4] = {1.5f, -2.0f, 0.0f, 1e6f};
  ASSERT_TRUE(bone->WriteObjectData(slot, 0, sizeof values, values));
  std::string error;
  ASSERT_TRUE(mqhost::SaveDocumentFile(PathOf("data.mqd"), document, {}, &error)) << error;

  DriverOptions options;
  options.input = PathOf("data.mqd");
  options.script = WriteScript("userdata 0 REC\nuserdata 0 EMPTY\nuserdata 0 NONE\n");
  ASSERT_EQ(Run(options), mqhost::kDriverOk) << err_;
  EXPECT_NE(out_.find("userdata bone REC:\n  1.5 -2 0 1e+06\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("userdata bone EMPTY: no record\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("userdata bone NONE: no such kind\n"), std::string::npos) << out_;

  options.script = WriteScript("userdata 1 REC\n");
  EXPECT_EQ(Run(options), mqhost::kDriverFailed);
  EXPECT_NE(err_.find("the document has no object 1"), std::string::npos) << err_;
}

}  // namespace
