// The driver's script language: what each line means, and what a wrong line
// is told.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/driver/script.h"

namespace {

using mqhost::ParseScript;
using mqhost::ParseScriptLine;
using mqhost::ScriptCommand;
using mqhost::ScriptCommandKind;

std::string Hex(uint32_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

// Every field a kind uses, as one line of text, so that a table row can say
// what a script line must mean.
std::string Describe(const ScriptCommand& c) {
  std::ostringstream out;
  switch (c.kind) {
    case ScriptCommandKind::kActivate: out << "activate"; break;
    case ScriptCommandKind::kDeactivate: out << "deactivate"; break;
    case ScriptCommandKind::kUndo: out << "undo"; break;
    case ScriptCommandKind::kRedo: out << "redo"; break;
    case ScriptCommandKind::kDraw: out << "draw " << c.width << "x" << c.height; break;
    case ScriptCommandKind::kMouse:
      out << "mouse " << c.event_code << " at " << c.x << "," << c.y << " wheel " << c.wheel
          << " flags " << Hex(static_cast<uint32_t>(c.flags));
      break;
    case ScriptCommandKind::kKey:
      out << "key " << c.event_code << " " << Hex(static_cast<uint32_t>(c.key)) << " flags "
          << Hex(static_cast<uint32_t>(c.flags));
      break;
    case ScriptCommandKind::kCameraPosition:
    case ScriptCommandKind::kCameraTarget:
      out << (c.kind == ScriptCommandKind::kCameraPosition ? "position " : "target ") << c.values[0]
          << " " << c.values[1] << " " << c.values[2];
      break;
    case ScriptCommandKind::kCameraOrtho: out << "ortho " << c.values[0]; break;
    case ScriptCommandKind::kCameraPerspective: out << "perspective " << c.values[0]; break;
    case ScriptCommandKind::kSelect: out << "select " << c.object << " " << c.vertex; break;
    case ScriptCommandKind::kDeselect: out << "deselect " << c.object << " " << c.vertex; break;
    case ScriptCommandKind::kCurrent: out << "current " << c.object; break;
    case ScriptCommandKind::kMessage:
      out << "message " << Hex(c.product) << " " << Hex(c.id) << " " << c.text;
      for (int32_t word : c.words) out << " " << word;
      break;
    case ScriptCommandKind::kSave: out << "save [" << c.text << "]"; break;
    case ScriptCommandKind::kRender: out << "render [" << c.text << "]"; break;
    case ScriptCommandKind::kEcho: out << "echo [" << c.text << "]"; break;
    case ScriptCommandKind::kUserData: out << "userdata " << c.object << " " << c.text; break;
    case ScriptCommandKind::kExportGltf: out << "export-gltf [" << c.text << "] " << c.unit_scale; break;
    case ScriptCommandKind::kImportGltf: out << "import-gltf [" << c.text << "] " << c.unit_scale; break;
    case ScriptCommandKind::kPose: out << "pose " << c.position; break;
    case ScriptCommandKind::kPoses: out << "poses"; break;
    case ScriptCommandKind::kPosedModel: out << "posed-model [" << c.text << "]"; break;
    case ScriptCommandKind::kAutoWeights:
    case ScriptCommandKind::kMirrorWeights:
    case ScriptCommandKind::kSmoothWeights:
    case ScriptCommandKind::kLimitWeights:
    case ScriptCommandKind::kMirrorPose:
    case ScriptCommandKind::kMirrorBones: {
      const mqhost::RiggingSettings& r = c.rigging;
      out << (c.kind == ScriptCommandKind::kAutoWeights     ? "auto-weights"
              : c.kind == ScriptCommandKind::kMirrorWeights ? "mirror-weights"
              : c.kind == ScriptCommandKind::kSmoothWeights ? "smooth-weights"
              : c.kind == ScriptCommandKind::kLimitWeights  ? "limit-weights"
              : c.kind == ScriptCommandKind::kMirrorPose    ? "mirror-pose"
                                                            : "mirror-bones")
          << " object " << c.object << " mode " << r.mode;
      // Settings left to Quorvel's default (0) are not shown.
      if (r.selected_only) out << " selected";
      if (r.resolution != 0) out << " resolution " << r.resolution;
      if (r.falloff != 0.0f) out << " falloff " << r.falloff;
      if (r.max_bones != 0) out << " bones " << r.max_bones;
      if (r.iterations != 0) out << " iterations " << r.iterations;
      if (r.strength != 0.0f) out << " strength " << r.strength;
      if (r.tolerance != 0.0f) out << " tolerance " << r.tolerance;
      break;
    }
  }
  return out.str();
}

TEST(DriverScript, GoodLinesMeanWhatTheySay) {
  struct Case {
    const char* line;
    const char* meaning;
  };
  const Case cases[] = {
      {"activate", "activate"},
      {"  deactivate  ", "deactivate"},
      {"draw", "draw 0x0"},
      {"draw 800 600", "draw 800x600"},
      // Buttons are held during down and move, released at up.
      {"mouse down left 10 20", "mouse 120 at 10,20 wheel 0 flags 0x1"},
      {"mouse move left -3 4 shift", "mouse 121 at -3,4 wheel 0 flags 0x5"},
      {"mouse up left 5 6", "mouse 122 at 5,6 wheel 0 flags 0x0"},
      {"mouse down middle 1 2", "mouse 123 at 1,2 wheel 0 flags 0x10"},
      {"mouse move middle 1 2 ctrl", "mouse 124 at 1,2 wheel 0 flags 0x18"},
      {"mouse up middle 1 2 alt", "mouse 125 at 1,2 wheel 0 flags 0x20"},
      {"mouse down right 7 8 shift ctrl alt", "mouse 126 at 7,8 wheel 0 flags 0x2e"},
      {"mouse move right 7 8", "mouse 127 at 7,8 wheel 0 flags 0x2"},
      {"mouse up right 7 8 ctrl", "mouse 128 at 7,8 wheel 0 flags 0x8"},
      {"move 100 200", "mouse 129 at 100,200 wheel 0 flags 0x0"},
      {"move 1 2 alt shift", "mouse 129 at 1,2 wheel 0 flags 0x24"},
      {"wheel 3 4 -120", "mouse 130 at 3,4 wheel -120 flags 0x0"},
      {"wheel 3 4 240 ctrl", "mouse 130 at 3,4 wheel 240 flags 0x8"},
      {"key down a", "key 140 0x41 flags 0x0"},
      {"key up Z shift", "key 141 0x5a flags 0x4"},
      {"key down 7", "key 140 0x37 flags 0x0"},
      {"key down escape ctrl alt", "key 140 0x1b flags 0x28"},
      {"key down Enter", "key 140 0xd flags 0x0"},
      {"key down tab", "key 140 0x9 flags 0x0"},
      {"key down delete", "key 140 0x2e flags 0x0"},
      {"key down f1", "key 140 0x70 flags 0x0"},
      {"key down F12", "key 140 0x7b flags 0x0"},
      {"key down 65", "key 140 0x41 flags 0x0"},
      {"key down 0x2E", "key 140 0x2e flags 0x0"},
      {"camera position 1 -2.5 300", "position 1 -2.5 300"},
      {"camera target 0 0 0", "target 0 0 0"},
      {"camera ortho 250", "ortho 250"},
      {"camera perspective 30", "perspective 30"},
      {"select 0 12", "select 0 12"},
      {"deselect 2 0", "deselect 2 0"},
      {"current 3", "current 3"},
      {"userdata 4 OWMT", "userdata 4 OWMT"},
      {"message 0x5A3C9E17 0xC4172B86 GetMorphTargetMax", "message 0x5a3c9e17 0xc4172b86 GetMorphTargetMax"},
      {"message 1 010 Hello 5 -6", "message 0x1 0xa Hello 5 -6"},
      {"message 4294967295 0 X", "message 0xffffffff 0x0 X"},
      {"undo", "undo"},
      {"redo", "redo"},
      {"save out.mqd", "save [out.mqd]"},
      {"save  my docs/out file.mqd  ", "save [my docs/out file.mqd]"},
      {"save out.mqd # after the save", "save [out.mqd]"},
      {"render shot.png", "render [shot.png]"},
      {"render  my shots/view 1.PNG ", "render [my shots/view 1.PNG]"},
      {"echo", "echo []"},
      {"echo  hello,   world  ", "echo [hello,   world]"},
      {"echo a#b is kept", "echo [a#b is kept]"},
      {"draw 640 480\r", "draw 640x480"},
      // Without a scale the plug-in's default (0); a last word that is a
      // number is the scale, so paths may hold blanks.
      {"export-gltf out.glb", "export-gltf [out.glb] 0"},
      {"export-gltf  my dir/out file.GLTF  0.5 ", "export-gltf [my dir/out file.GLTF] 0.5"},
      {"export-gltf 2.glb", "export-gltf [2.glb] 0"},
      {"import-gltf in.glb 1e-3", "import-gltf [in.glb] 0.001"},
      {"import-gltf any file", "import-gltf [any file] 0"},
      {"pose 0", "pose 0"},
      {"pose 19", "pose 19"},
      {"poses", "poses"},
      {"posed-model out/model 1.json", "posed-model [out/model 1.json]"},
      // The weight and bone tools: options in any order, object -1 for the
      // current one.
      {"auto-weights", "auto-weights object -1 mode 0"},
      {"auto-weights object=0 selected resolution=64 falloff=0.5 bones=2",
       "auto-weights object 0 mode 0 selected resolution 64 falloff 0.5 bones 2"},
      {"auto-weights bones=1 object=3", "auto-weights object 3 mode 0 bones 1"},
      {"mirror-weights +x", "mirror-weights object -1 mode 0"},
      {"mirror-weights -x selected tolerance=0.5 object=2",
       "mirror-weights object 2 mode 1 selected tolerance 0.5"},
      {"smooth-weights iterations=2", "smooth-weights object -1 mode 0 iterations 2"},
      {"smooth-weights strength=1 bones=4 selected",
       "smooth-weights object -1 mode 0 selected bones 4 strength 1"},
      {"limit-weights 1", "limit-weights object -1 mode 0 bones 1"},
      {"limit-weights 4 object=0 selected # comment", "limit-weights object 0 mode 0 selected bones 4"},
      {"mirror-pose bone", "mirror-pose object -1 mode 0"},
      {"mirror-pose +x", "mirror-pose object -1 mode 1"},
      {"mirror-pose -x object=3", "mirror-pose object 3 mode 2"},
      {"mirror-pose flip tolerance=2", "mirror-pose object -1 mode 3 tolerance 2"},
      {"mirror-bones", "mirror-bones object -1 mode 0"},
      {"mirror-bones tolerance=1e-3 object=2", "mirror-bones object 2 mode 0 tolerance 0.001"},
  };
  for (const Case& c : cases) {
    ScriptCommand command;
    bool is_command = false;
    std::string error;
    ASSERT_TRUE(ParseScriptLine(c.line, &command, &is_command, &error)) << c.line << ": " << error;
    EXPECT_TRUE(is_command) << c.line;
    EXPECT_EQ(Describe(command), c.meaning) << c.line;
  }
}

TEST(DriverScript, BlankAndCommentLinesAreNoCommands) {
  for (const char* line : {"", "   ", "\t", "\r", "# a comment", "   # indented comment", "#"}) {
    ScriptCommand command;
    bool is_command = true;
    std::string error;
    EXPECT_TRUE(ParseScriptLine(line, &command, &is_command, &error)) << line;
    EXPECT_FALSE(is_command) << "'" << line << "'";
  }
}

TEST(DriverScript, WrongLinesAreToldWhatIsWrong) {
  struct Case {
    const char* line;
    const char* error;
  };
  const Case cases[] = {
      {"foo", "unknown command 'foo'"},
      {"Activate", "unknown command 'Activate'"},
      {"activate now", "'activate' takes no arguments"},
      {"undo 2", "'undo' takes no arguments"},
      {"draw 640", "usage: draw [W H]"},
      {"draw 0 480", "the viewport size 0 x 480 is not two positive integers"},
      {"draw wide 480", "the viewport size wide x 480 is not two positive integers"},
      {"mouse down left 10", "usage: mouse down|move|up left|middle|right X Y [shift] [ctrl] [alt]"},
      {"mouse press left 1 2", "mouse action 'press' is not down, move or up"},
      {"mouse down centre 1 2", "mouse button 'centre' is not left, middle or right"},
      {"mouse down left 1.5 2", "x '1.5' is not an integer"},
      {"mouse down left 1 two", "y 'two' is not an integer"},
      {"mouse down left 1 2 meta", "unknown modifier 'meta' (expected shift, ctrl or alt)"},
      {"mouse down left 1 2 shift shift", "modifier 'shift' given twice"},
      {"move 1", "usage: move X Y [shift] [ctrl] [alt]"},
      {"move 1 2 Shift", "unknown modifier 'Shift' (expected shift, ctrl or alt)"},
      {"wheel 1 2", "usage: wheel X Y DELTA [shift] [ctrl] [alt]"},
      {"wheel 1 2 up", "wheel delta 'up' is not an integer"},
      {"wheel 1 2 99999999999", "wheel delta '99999999999' is not an integer"},
      {"key down", "usage: key down|up KEY [shift] [ctrl] [alt]"},
      {"key press a", "key action 'press' is not down or up"},
      {"key down banana", "unknown key 'banana'"},
      {"key down f25", "unknown key 'f25'"},
      {"key down 300", "unknown key '300'"},
      {"key down a super", "unknown modifier 'super' (expected shift, ctrl or alt)"},
      {"camera", "usage: camera position|target X Y Z, camera ortho H or camera perspective FOV"},
      {"camera zoom 2", "unknown camera setting 'zoom' (expected position, target, ortho or perspective)"},
      {"camera position 1 2", "usage: camera position X Y Z"},
      {"camera target 1 2 z", "coordinate 'z' is not a number"},
      {"camera position 1 2 inf", "coordinate 'inf' is not a number"},
      {"camera ortho", "usage: camera ortho H"},
      {"camera ortho 0", "the orthographic height must be positive"},
      {"camera ortho -5", "the orthographic height must be positive"},
      {"camera perspective 180", "the field of view must lie between 0 and 180 degrees"},
      {"camera perspective 0", "the field of view must lie between 0 and 180 degrees"},
      {"camera perspective wide", "'wide' is not a number"},
      {"select 1", "usage: select OBJECT VERTEX"},
      {"select -1 0", "object '-1' is not an index (0 or more)"},
      {"deselect 0 v", "vertex 'v' is not an index (0 or more)"},
      {"current", "usage: current OBJECT"},
      {"userdata 4", "usage: userdata OBJECT KIND"},
      {"userdata -1 OWMT", "object '-1' is not an index (0 or more)"},
      {"current first", "object 'first' is not an index (0 or more)"},
      {"message 1 2", "usage: message PRODUCT ID DESCRIPTION [INT...]"},
      {"message quorvel 2 X", "product 'quorvel' is not a 32-bit unsigned number"},
      {"message -1 2 X", "product '-1' is not a 32-bit unsigned number"},
      {"message 4294967296 2 X", "product '4294967296' is not a 32-bit unsigned number"},
      {"message 1 0xZZ X", "plug-in id '0xZZ' is not a 32-bit unsigned number"},
      {"message 1 2 X 3 four", "record word 'four' is not a 32-bit integer"},
      {"save", "usage: save FILE"},
      {"save   # only a comment", "usage: save FILE"},
      {"render", "usage: render FILE.png"},
      {"render shot.jpg", "a picture is written as PNG: 'shot.jpg' does not end in .png"},
      {"render .png", "a picture is written as PNG: '.png' does not end in .png"},
      {"export-gltf", "usage: export-gltf FILE [SCALE]"},
      {"import-gltf  # a comment", "usage: import-gltf FILE [SCALE]"},
      {"export-gltf out.obj", "a glTF file is written as .glb or .gltf: 'out.obj' ends in neither"},
      {"export-gltf .glb", "a glTF file is written as .glb or .gltf: '.glb' ends in neither"},
      {"export-gltf out.glb metres", "a glTF file is written as .glb or .gltf: 'out.glb metres' ends in neither"},
      {"export-gltf out.glb 0", "the unit scale '0' is not a positive number of metres"},
      {"import-gltf in.glb -0.01", "the unit scale '-0.01' is not a positive number of metres"},
      {"export-gltf out.glb 1e99", "a glTF file is written as .glb or .gltf: 'out.glb 1e99' ends in neither"},
      {"pose", "usage: pose N"},
      {"pose 1 2", "usage: pose N"},
      {"pose -1", "pose '-1' is not an index (0 or more)"},
      {"pose bend", "pose 'bend' is not an index (0 or more)"},
      {"poses all", "'poses' takes no arguments"},
      {"posed-model", "usage: posed-model FILE"},
      {"auto-weights tolerance=1",
       "unknown option 'tolerance=1' (usage: auto-weights [object=N] [selected] [resolution=N] [falloff=F] "
       "[bones=N])"},
      {"auto-weights Selected",
       "unknown option 'Selected' (usage: auto-weights [object=N] [selected] [resolution=N] [falloff=F] "
       "[bones=N])"},
      {"auto-weights object=1 object=2", "option 'object' given twice"},
      {"auto-weights selected selected", "option 'selected' given twice"},
      {"auto-weights object",
       "option 'object' needs a value (usage: auto-weights [object=N] [selected] [resolution=N] [falloff=F] "
       "[bones=N])"},
      {"limit-weights 2 selected=1",
       "option 'selected' takes no value (usage: limit-weights N [object=N] [selected])"},
      // The record's 0 and -1 mean the current object: indices are 0 or more,
      // and the driver sends the object's unique id.
      {"auto-weights object=-1", "object '-1' is not an index (0 or more)"},
      {"auto-weights object=", "object '' is not an index (0 or more)"},
      // A 0 would read as Quorvel's default, so none is taken.
      {"auto-weights resolution=0", "resolution '0' is not a positive integer"},
      {"auto-weights resolution=1.5", "resolution '1.5' is not a positive integer"},
      {"auto-weights falloff=0", "falloff '0' is not a positive number"},
      {"auto-weights falloff=nan", "falloff 'nan' is not a positive number"},
      {"auto-weights bones=0", "bones '0' is not a number of bones from 1 to 4"},
      {"auto-weights bones=5", "bones '5' is not a number of bones from 1 to 4"},
      {"mirror-weights", "usage: mirror-weights +x|-x [object=N] [selected] [tolerance=F]"},
      {"mirror-weights selected +x", "usage: mirror-weights +x|-x [object=N] [selected] [tolerance=F]"},
      {"mirror-weights +y", "mode '+y' is not +x or -x"},
      {"mirror-weights +X", "mode '+X' is not +x or -x"},
      {"mirror-weights +x -x",
       "unknown option '-x' (usage: mirror-weights +x|-x [object=N] [selected] [tolerance=F])"},
      {"mirror-weights +x tolerance=-0.1", "tolerance '-0.1' is not a positive number"},
      {"mirror-weights -x tolerance=1e99", "tolerance '1e99' is not a positive number"},
      {"smooth-weights strength=0", "strength '0' is not a number above 0 and at most 1"},
      {"smooth-weights strength=1.5", "strength '1.5' is not a number above 0 and at most 1"},
      {"smooth-weights iterations=-1", "iterations '-1' is not a positive integer"},
      {"limit-weights", "usage: limit-weights N [object=N] [selected]"},
      {"limit-weights object=0 2", "usage: limit-weights N [object=N] [selected]"},
      {"limit-weights 0", "the limit '0' is not a number of bones from 1 to 4"},
      {"limit-weights 5", "the limit '5' is not a number of bones from 1 to 4"},
      {"limit-weights two", "the limit 'two' is not a number of bones from 1 to 4"},
      {"limit-weights 2 3", "unknown option '3' (usage: limit-weights N [object=N] [selected])"},
      {"mirror-pose", "usage: mirror-pose bone|+x|-x|flip [object=N] [tolerance=F]"},
      {"mirror-pose mirror", "mode 'mirror' is not bone, +x, -x or flip"},
      {"mirror-pose flip selected",
       "unknown option 'selected' (usage: mirror-pose bone|+x|-x|flip [object=N] [tolerance=F])"},
      {"mirror-bones +x", "unknown option '+x' (usage: mirror-bones [object=N] [tolerance=F])"},
      {"mirror-bones tolerance=0", "tolerance '0' is not a positive number"},
  };
  for (const Case& c : cases) {
    ScriptCommand command;
    bool is_command = false;
    std::string error;
    EXPECT_FALSE(ParseScriptLine(c.line, &command, &is_command, &error)) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
}

TEST(DriverScript, AMessageRecordHasRoomForItsWordsOnly) {
  std::string line = "message 1 2 X";
  for (int i = 0; i < mqhost::kMessageWords; ++i) line += " " + std::to_string(i);
  ScriptCommand command;
  bool is_command = false;
  std::string error;
  ASSERT_TRUE(ParseScriptLine(line, &command, &is_command, &error)) << error;
  EXPECT_EQ(command.words.size(), static_cast<size_t>(mqhost::kMessageWords));
  EXPECT_FALSE(ParseScriptLine(line + " 1", &command, &is_command, &error));
  EXPECT_EQ(error, "a message record holds at most 256 words");
}

TEST(DriverScript, AGltfPathFitsThePluginsRecord) {
  const std::string folder = "models/";
  const std::string longest = folder + std::string(mqhost::kGltfPathBytes - folder.size() - 4, 'a') + ".glb";
  for (const char* command : {"export-gltf ", "import-gltf "}) {
    ScriptCommand parsed;
    bool is_command = false;
    std::string error;
    ASSERT_TRUE(ParseScriptLine(command + longest + " 0.01", &parsed, &is_command, &error)) << error;
    EXPECT_EQ(parsed.text, longest);
    EXPECT_FALSE(ParseScriptLine(command + std::string("a") + longest, &parsed, &is_command, &error));
    EXPECT_EQ(error, "the path is 260 bytes long; the plug-in takes at most 259");
  }
}

TEST(DriverScript, AScriptIsCheckedAsAWholeAndErrorsNameFileAndLine) {
  struct Case {
    const char* text;
    const char* error;  // empty: the script is good
    std::vector<int> lines;
  };
  const Case cases[] = {
      {"activate\n\n# comment\ndraw\n", "", {1, 4}},
      {"activate\r\ndraw 10 10\r\n", "", {1, 2}},
      {"activate\ndraw", "", {1, 2}},
      {"", "", {}},
      {"activate\ndraw\nfoo\n", "script.txt:3: unknown command 'foo'", {}},
      {"bar\nfoo\n", "script.txt:1: unknown command 'bar'", {}},
      {"# header\n\nactivate\nmouse down left 1\nundo\n",
       "script.txt:4: usage: mouse down|move|up left|middle|right X Y [shift] [ctrl] [alt]", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<ScriptCommand> commands(1);  // kept as it is on failure, appended to on success
    std::string error;
    const bool good = ParseScript(c.text, "script.txt", &commands, &error);
    EXPECT_EQ(good, std::string(c.error).empty());
    if (!good) {
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(commands.size(), 1u) << "nothing is added from a bad script";
      continue;
    }
    std::vector<int> lines;
    for (size_t i = 1; i < commands.size(); ++i) lines.push_back(commands[i].line);
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(DriverScript, AMissingScriptFileIsNamed) {
  std::vector<ScriptCommand> commands;
  std::string error;
  EXPECT_FALSE(mqhost::LoadScript("no-such-dir/no-such-script.mqs", &commands, &error));
  EXPECT_EQ(error, "cannot read script no-such-dir/no-such-script.mqs");
}

TEST(DriverScript, HelpNamesEveryCommand) {
  const std::string help = mqhost::ScriptHelp();
  for (const char* name : {"activate", "deactivate", "draw", "mouse", "move", "wheel", "key",
                           "camera position", "camera target", "camera ortho", "camera perspective",
                           "select", "deselect", "current", "message", "undo", "redo", "save", "render", "echo",
                           "userdata", "export-gltf FILE [SCALE]", "import-gltf FILE [SCALE]", "poses", "pose N",
                           "posed-model FILE", "auto-weights [object=N]", "mirror-weights +x|-x",
                           "smooth-weights [object=N]", "limit-weights N", "mirror-pose bone|+x|-x|flip",
                           "mirror-bones [object=N]"}) {
    const bool listed = help.find(std::string("\n  ") + name) != std::string::npos ||
                        help.find(std::string("| ") + name) != std::string::npos;
    EXPECT_TRUE(listed) << name;
  }
}

}  // namespace
