#include "host/driver/script.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/events/events.h"

namespace mqhost {

namespace {

using Words = std::vector<std::string>;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The line without its comment: from the first '#' that starts a word.
std::string StripComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '#' && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
  }
  return line;
}

Words Split(const std::string& line) {
  Words words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// What follows the first word, without the blanks around it.
std::string RestAfterFirstWord(const std::string& line) {
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  while (i < line.size() && !IsBlank(line[i])) ++i;
  while (i < line.size() && IsBlank(line[i])) ++i;
  size_t end = line.size();
  while (end > i && IsBlank(line[end - 1])) --end;
  return line.substr(i, end - i);
}

std::string Quoted(const std::string& word) { return "'" + word + "'"; }

bool ParseInt(const std::string& word, int* value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// Decimal, or hexadecimal with 0x (a leading 0 does not mean octal); the
// full unsigned 32-bit range.
bool ParseUint32(const std::string& word, uint32_t* value) {
  const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  const std::string digits = hex ? word.substr(2) : word;
  if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || parsed > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

bool ParseFloat(const std::string& word, float* value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const float parsed = std::strtof(word.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

std::string Lower(std::string word) {
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word;
}

// Windows virtual-key codes by name; letters and digits are their own codes.
struct KeyName {
  const char* name;
  int code;
};
constexpr KeyName kKeyNames[] = {
    {"backspace", 0x08}, {"tab", 0x09},      {"enter", 0x0D},    {"return", 0x0D},
    {"shift", 0x10},     {"ctrl", 0x11},     {"alt", 0x12},      {"escape", 0x1B},
    {"esc", 0x1B},       {"space", 0x20},    {"pageup", 0x21},   {"pagedown", 0x22},
    {"end", 0x23},       {"home", 0x24},     {"left", 0x25},     {"up", 0x26},
    {"right", 0x27},     {"down", 0x28},     {"insert", 0x2D},   {"delete", 0x2E},
};

bool ParseKey(const std::string& word, int* code) {
  const std::string name = Lower(word);
  for (const KeyName& key : kKeyNames) {
    if (name == key.name) {
      *code = key.code;
      return true;
    }
  }
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    *code = std::toupper(static_cast<unsigned char>(name[0]));
    return true;
  }
  if (name.size() >= 2 && name[0] == 'f') {  // f1 to f24
    int n = 0;
    if (ParseInt(name.substr(1), &n) && n >= 1 && n <= 24 && std::isdigit(static_cast<unsigned char>(name[1]))) {
      *code = 0x70 + n - 1;
      return true;
    }
  }
  uint32_t number = 0;
  if (std::isdigit(static_cast<unsigned char>(name[0])) && ParseUint32(name, &number) && number >= 1 &&
      number <= 254) {
    *code = static_cast<int>(number);
    return true;
  }
  return false;
}

// Modifier words from `first` on; each may appear once.
bool ParseModifiers(const Words& words, size_t first, int* flags, std::string* error) {
  int seen = 0;
  for (size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    int flag = 0;
    if (word == "shift") {
      flag = kButtonShift;
    } else if (word == "ctrl") {
      flag = kButtonCtrl;
    } else if (word == "alt") {
      flag = kButtonAlt;
    } else {
      *error = "unknown modifier " + Quoted(word) + " (expected shift, ctrl or alt)";
      return false;
    }
    if ((seen & flag) != 0) {
      *error = "modifier " + Quoted(word) + " given twice";
      return false;
    }
    seen |= flag;
  }
  *flags |= seen;
  return true;
}

bool ParsePosition(const Words& words, size_t first, ScriptCommand* command, std::string* error) {
  if (!ParseInt(words[first], &command->x)) {
    *error = "x " + Quoted(words[first]) + " is not an integer";
    return false;
  }
  if (!ParseInt(words[first + 1], &command->y)) {
    *error = "y " + Quoted(words[first + 1]) + " is not an integer";
    return false;
  }
  return true;
}

bool ParseMouse(const Words& words, ScriptCommand* command, std::string* error) {
  if (words.size() < 5) {
    *error = "usage: mouse down|move|up left|middle|right X Y [shift] [ctrl] [alt]";
    return false;
  }
  int offset = 0;  // down, move, up
  if (words[1] == "down") {
    offset = 0;
  } else if (words[1] == "move") {
    offset = 1;
  } else if (words[1] == "up") {
    offset = 2;
  } else {
    *error = "mouse action " + Quoted(words[1]) + " is not down, move or up";
    return false;
  }
  int first_code = 0;
  int button = 0;
  if (words[2] == "left") {
    first_code = MQEVENT_LBUTTON_DOWN;
    button = kButtonLeft;
  } else if (words[2] == "middle") {
    first_code = MQEVENT_MBUTTON_DOWN;
    button = kButtonMiddle;
  } else if (words[2] == "right") {
    first_code = MQEVENT_RBUTTON_DOWN;
    button = kButtonRight;
  } else {
    *error = "mouse button " + Quoted(words[2]) + " is not left, middle or right";
    return false;
  }
  command->kind = ScriptCommandKind::kMouse;
  command->event_code = first_code + offset;
  // As the window system reports it: the button is held during down and
  // move, and no longer held when it comes up.
  command->flags = offset == 2 ? 0 : button;
  return ParsePosition(words, 3, command, error) &&
         ParseModifiers(words, 5, &command->flags, error);
}

bool ParseCamera(const Words& words, ScriptCommand* command, std::string* error) {
  if (words.size() < 2) {
    *error = "usage: camera position|target X Y Z, camera ortho H or camera perspective FOV";
    return false;
  }
  const std::string& what = words[1];
  if (what == "position" || what == "target") {
    command->kind = what == "position" ? ScriptCommandKind::kCameraPosition
                                       : ScriptCommandKind::kCameraTarget;
    if (words.size() != 5) {
      *error = "usage: camera " + what + " X Y Z";
      return false;
    }
    for (int i = 0; i < 3; ++i) {
      if (!ParseFloat(words[2 + i], &command->values[i])) {
        *error = "coordinate " + Quoted(words[2 + i]) + " is not a number";
        return false;
      }
    }
    return true;
  }
  if (what == "ortho" || what == "perspective") {
    const bool ortho = what == "ortho";
    command->kind = ortho ? ScriptCommandKind::kCameraOrtho : ScriptCommandKind::kCameraPerspective;
    if (words.size() != 3) {
      *error = ortho ? "usage: camera ortho H" : "usage: camera perspective FOV";
      return false;
    }
    float value = 0.0f;
    if (!ParseFloat(words[2], &value)) {
      *error = Quoted(words[2]) + " is not a number";
      return false;
    }
    if (ortho && !(value > 0.0f)) {
      *error = "the orthographic height must be positive";
      return false;
    }
    if (!ortho && !(value > 0.0f && value < 180.0f)) {
      *error = "the field of view must lie between 0 and 180 degrees";
      return false;
    }
    command->values[0] = value;
    return true;
  }
  *error = "unknown camera setting " + Quoted(what) + " (expected position, target, ortho or perspective)";
  return false;
}

bool HasPngExtension(const std::string& path) {
  return path.size() > 4 && Lower(path.substr(path.size() - 4)) == ".png";
}

bool ParseIndex(const std::string& word, const char* what, int* value, std::string* error) {
  if (!ParseInt(word, value) || *value < 0) {
    *error = std::string(what) + " " + Quoted(word) + " is not an index (0 or more)";
    return false;
  }
  return true;
}

bool ExpectNoArguments(const Words& words, std::string* error) {
  if (words.size() == 1) return true;
  *error = Quoted(words[0]) + " takes no arguments";
  return false;
}

// "export-gltf FILE [SCALE]" and "import-gltf FILE [SCALE]" (at least one
// word after the command): the path may hold blanks, so a last word that is
// a number is the scale.
bool ParseGltfFile(const std::string& line, const Words& words, ScriptCommand* command,
                   std::string* error) {
  const bool exporting = command->kind == ScriptCommandKind::kExportGltf;
  std::string path = RestAfterFirstWord(line);
  float scale = 0.0f;
  if (words.size() >= 3 && ParseFloat(words.back(), &scale)) {
    if (!(scale > 0.0f)) {
      *error = "the unit scale " + Quoted(words.back()) + " is not a positive number of metres";
      return false;
    }
    path = path.substr(0, path.rfind(words.back()));
    while (!path.empty() && IsBlank(path.back())) path.pop_back();
  }
  if (path.size() > static_cast<size_t>(kGltfPathBytes)) {
    *error = "the path is " + std::to_string(path.size()) + " bytes long; the plug-in takes at most " +
             std::to_string(kGltfPathBytes);
    return false;
  }
  const std::string name = Lower(path);
  const auto ends_with = [&](const char* suffix) {
    const size_t n = std::char_traits<char>::length(suffix);
    return name.size() > n && name.compare(name.size() - n, n, suffix) == 0;
  };
  if (exporting && !ends_with(".glb") && !ends_with(".gltf")) {
    *error = "a glTF file is written as .glb or .gltf: " + Quoted(path) + " ends in neither";
    return false;
  }
  command->text = path;
  command->unit_scale = scale;
  return true;
}

// The weight and bone tools: an optional first word, then KEY=VALUE words
// and the flag "selected" in any order, each at most once.
struct RiggingCommandSyntax {
  const char* name;
  ScriptCommandKind kind;
  const char* usage;
  const char* modes;  // the first word's choices in mode order, '|' between; "N": a bone limit; "": none
  const char* keys;   // the options taken, blank-separated; "selected" is a flag, the others take values
};

constexpr RiggingCommandSyntax kRiggingCommands[] = {
    {"auto-weights", ScriptCommandKind::kAutoWeights,
     "auto-weights [object=N] [selected] [resolution=N] [falloff=F] [bones=N]", "",
     "object selected resolution falloff bones"},
    {"mirror-weights", ScriptCommandKind::kMirrorWeights,
     "mirror-weights +x|-x [object=N] [selected] [tolerance=F]", "+x|-x", "object selected tolerance"},
    {"smooth-weights", ScriptCommandKind::kSmoothWeights,
     "smooth-weights [object=N] [selected] [iterations=N] [strength=F] [bones=N]", "",
     "object selected iterations strength bones"},
    {"limit-weights", ScriptCommandKind::kLimitWeights, "limit-weights N [object=N] [selected]", "N",
     "object selected"},
    {"mirror-pose", ScriptCommandKind::kMirrorPose, "mirror-pose bone|+x|-x|flip [object=N] [tolerance=F]",
     "bone|+x|-x|flip", "object tolerance"},
    {"mirror-bones", ScriptCommandKind::kMirrorBones, "mirror-bones [object=N] [tolerance=F]", "",
     "object tolerance"},
};

Words SplitAt(const std::string& text, char separator) {
  Words parts;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(separator, start), text.size());
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// "a", "a or b", "a, b or c".
std::string Alternatives(const Words& choices) {
  std::string text;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) text += i + 1 == choices.size() ? " or " : ", ";
    text += choices[i];
  }
  return text;
}

const RiggingCommandSyntax* FindRiggingCommand(const std::string& name) {
  for (const RiggingCommandSyntax& syntax : kRiggingCommands) {
    if (name == syntax.name) return &syntax;
  }
  return nullptr;
}

bool ParsePositiveInt(const std::string& key, const std::string& value, int* out, std::string* error) {
  if (!ParseInt(value, out) || *out < 1) {
    *error = key + " " + Quoted(value) + " is not a positive integer";
    return false;
  }
  return true;
}

bool ParsePositiveFloat(const std::string& key, const std::string& value, float* out, std::string* error) {
  if (!ParseFloat(value, out) || !(*out > 0.0f)) {
    *error = key + " " + Quoted(value) + " is not a positive number";
    return false;
  }
  return true;
}

bool ParseBoneLimit(const std::string& what, const std::string& value, int* out, std::string* error) {
  if (!ParseInt(value, out) || *out < 1 || *out > kMaxWeightBones) {
    *error =
        what + " " + Quoted(value) + " is not a number of bones from 1 to " + std::to_string(kMaxWeightBones);
    return false;
  }
  return true;
}

bool ParseRiggingCommand(const RiggingCommandSyntax& syntax, const Words& words, ScriptCommand* command,
                         std::string* error) {
  command->kind = syntax.kind;
  command->object = -1;
  RiggingSettings& settings = command->rigging;
  const std::string usage = std::string("usage: ") + syntax.usage;
  const std::string modes = syntax.modes;
  size_t first = 1;
  if (!modes.empty()) {
    if (words.size() < 2 || words[1].find('=') != std::string::npos || words[1] == "selected") {
      *error = usage;
      return false;
    }
    first = 2;
    if (modes == "N") {
      if (!ParseBoneLimit("the limit", words[1], &settings.max_bones, error)) return false;
    } else {
      const Words choices = SplitAt(modes, '|');
      const auto mode = std::find(choices.begin(), choices.end(), words[1]);
      if (mode == choices.end()) {
        *error = "mode " + Quoted(words[1]) + " is not " + Alternatives(choices);
        return false;
      }
      settings.mode = static_cast<int>(mode - choices.begin());
    }
  }
  const Words keys = SplitAt(syntax.keys, ' ');
  Words seen;
  for (size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    const size_t equals = word.find('=');
    const std::string key = word.substr(0, equals);
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      *error = "unknown option " + Quoted(word) + " (" + usage + ")";
      return false;
    }
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
      *error = "option " + Quoted(key) + " given twice";
      return false;
    }
    seen.push_back(key);
    const bool flag = key == "selected";
    if (flag != (equals == std::string::npos)) {
      *error = "option " + Quoted(key) + (flag ? " takes no value" : " needs a value") + " (" + usage + ")";
      return false;
    }
    const std::string value = flag ? std::string() : word.substr(equals + 1);
    bool ok = true;
    if (flag) {
      settings.selected_only = true;
    } else if (key == "object") {
      ok = ParseIndex(value, "object", &command->object, error);
    } else if (key == "resolution") {
      ok = ParsePositiveInt(key, value, &settings.resolution, error);
    } else if (key == "iterations") {
      ok = ParsePositiveInt(key, value, &settings.iterations, error);
    } else if (key == "falloff") {
      ok = ParsePositiveFloat(key, value, &settings.falloff, error);
    } else if (key == "tolerance") {
      ok = ParsePositiveFloat(key, value, &settings.tolerance, error);
    } else if (key == "strength") {
      // A share of the neighbours' average; 0 would read as Quorvel's default.
      ok = ParseFloat(value, &settings.strength) && settings.strength > 0.0f && settings.strength <= 1.0f;
      if (!ok) *error = "strength " + Quoted(value) + " is not a number above 0 and at most 1";
    } else if (key == "bones") {
      ok = ParseBoneLimit("bones", value, &settings.max_bones, error);
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool ParseScriptLine(const std::string& raw_line, ScriptCommand* command, bool* is_command,
                     std::string* error) {
  const std::string line = StripComment(raw_line);
  const Words words = Split(line);
  *is_command = false;
  if (words.empty()) return true;

  ScriptCommand parsed;
  const std::string& name = words[0];
  bool ok = false;
  if (name == "activate" || name == "deactivate") {
    parsed.kind = name == "activate" ? ScriptCommandKind::kActivate : ScriptCommandKind::kDeactivate;
    ok = ExpectNoArguments(words, error);
  } else if (name == "undo" || name == "redo") {
    parsed.kind = name == "undo" ? ScriptCommandKind::kUndo : ScriptCommandKind::kRedo;
    ok = ExpectNoArguments(words, error);
  } else if (name == "draw") {
    parsed.kind = ScriptCommandKind::kDraw;
    if (words.size() == 1) {
      ok = true;
    } else if (words.size() != 3) {
      *error = "usage: draw [W H]";
    } else if (!ParseInt(words[1], &parsed.width) || !ParseInt(words[2], &parsed.height) ||
               parsed.width < 1 || parsed.height < 1) {
      *error = "the viewport size " + words[1] + " x " + words[2] + " is not two positive integers";
    } else {
      ok = true;
    }
  } else if (name == "mouse") {
    ok = ParseMouse(words, &parsed, error);
  } else if (name == "move") {
    parsed.kind = ScriptCommandKind::kMouse;
    parsed.event_code = MQEVENT_MOUSE_MOVE;
    if (words.size() < 3) {
      *error = "usage: move X Y [shift] [ctrl] [alt]";
    } else {
      ok = ParsePosition(words, 1, &parsed, error) && ParseModifiers(words, 3, &parsed.flags, error);
    }
  } else if (name == "wheel") {
    parsed.kind = ScriptCommandKind::kMouse;
    parsed.event_code = MQEVENT_MOUSE_WHEEL;
    if (words.size() < 4) {
      *error = "usage: wheel X Y DELTA [shift] [ctrl] [alt]";
    } else if (ParsePosition(words, 1, &parsed, error)) {
      ok = ParseInt(words[3], &parsed.wheel);
      if (!ok) *error = "wheel delta " + Quoted(words[3]) + " is not an integer";
      ok = ok && ParseModifiers(words, 4, &parsed.flags, error);
    }
  } else if (name == "key") {
    parsed.kind = ScriptCommandKind::kKey;
    if (words.size() < 3) {
      *error = "usage: key down|up KEY [shift] [ctrl] [alt]";
    } else if (words[1] != "down" && words[1] != "up") {
      *error = "key action " + Quoted(words[1]) + " is not down or up";
    } else if (!ParseKey(words[2], &parsed.key)) {
      *error = "unknown key " + Quoted(words[2]);
    } else {
      parsed.event_code = words[1] == "down" ? MQEVENT_KEY_DOWN : MQEVENT_KEY_UP;
      ok = ParseModifiers(words, 3, &parsed.flags, error);
    }
  } else if (name == "camera") {
    ok = ParseCamera(words, &parsed, error);
  } else if (name == "select" || name == "deselect") {
    parsed.kind = name == "select" ? ScriptCommandKind::kSelect : ScriptCommandKind::kDeselect;
    if (words.size() != 3) {
      *error = "usage: " + name + " OBJECT VERTEX";
    } else {
      ok = ParseIndex(words[1], "object", &parsed.object, error) &&
           ParseIndex(words[2], "vertex", &parsed.vertex, error);
    }
  } else if (name == "current") {
    parsed.kind = ScriptCommandKind::kCurrent;
    if (words.size() != 2) {
      *error = "usage: current OBJECT";
    } else {
      ok = ParseIndex(words[1], "object", &parsed.object, error);
    }
  } else if (name == "message") {
    parsed.kind = ScriptCommandKind::kMessage;
    if (words.size() < 4) {
      *error = "usage: message PRODUCT ID DESCRIPTION [INT...]";
    } else if (!ParseUint32(words[1], &parsed.product)) {
      *error = "product " + Quoted(words[1]) + " is not a 32-bit unsigned number";
    } else if (!ParseUint32(words[2], &parsed.id)) {
      *error = "plug-in id " + Quoted(words[2]) + " is not a 32-bit unsigned number";
    } else if (words.size() - 4 > static_cast<size_t>(kMessageWords)) {
      *error = "a message record holds at most " + std::to_string(kMessageWords) + " words";
    } else {
      parsed.text = words[3];
      ok = true;
      for (size_t i = 4; i < words.size() && ok; ++i) {
        int word = 0;
        ok = ParseInt(words[i], &word);
        if (!ok) *error = "record word " + Quoted(words[i]) + " is not a 32-bit integer";
        parsed.words.push_back(word);
      }
    }
  } else if (name == "save") {
    parsed.kind = ScriptCommandKind::kSave;
    parsed.text = RestAfterFirstWord(line);
    ok = !parsed.text.empty();
    if (!ok) *error = "usage: save FILE";
  } else if (name == "render") {
    parsed.kind = ScriptCommandKind::kRender;
    parsed.text = RestAfterFirstWord(line);
    if (parsed.text.empty()) {
      *error = "usage: render FILE.png";
    } else if (!HasPngExtension(parsed.text)) {
      *error = "a picture is written as PNG: " + Quoted(parsed.text) + " does not end in .png";
    } else {
      ok = true;
    }
  } else if (name == "userdata") {
    parsed.kind = ScriptCommandKind::kUserData;
    if (words.size() != 3) {
      *error = "usage: userdata OBJECT KIND";
    } else {
      ok = ParseIndex(words[1], "object", &parsed.object, error);
      parsed.text = words[2];
    }
  } else if (name == "export-gltf" || name == "import-gltf") {
    parsed.kind = name == "export-gltf" ? ScriptCommandKind::kExportGltf : ScriptCommandKind::kImportGltf;
    if (words.size() < 2) {
      *error = "usage: " + name + " FILE [SCALE]";
    } else {
      ok = ParseGltfFile(line, words, &parsed, error);
    }
  } else if (name == "pose") {
    parsed.kind = ScriptCommandKind::kPose;
    if (words.size() != 2) {
      *error = "usage: pose N";
    } else {
      ok = ParseIndex(words[1], "pose", &parsed.position, error);
    }
  } else if (name == "poses") {
    parsed.kind = ScriptCommandKind::kPoses;
    ok = ExpectNoArguments(words, error);
  } else if (name == "posed-model") {
    parsed.kind = ScriptCommandKind::kPosedModel;
    parsed.text = RestAfterFirstWord(line);
    ok = !parsed.text.empty();
    if (!ok) *error = "usage: posed-model FILE";
  } else if (const RiggingCommandSyntax* rigging = FindRiggingCommand(name)) {
    ok = ParseRiggingCommand(*rigging, words, &parsed, error);
  } else if (name == "echo") {
    parsed.kind = ScriptCommandKind::kEcho;
    parsed.text = RestAfterFirstWord(line);
    ok = true;
  } else {
    *error = "unknown command " + Quoted(name);
  }
  if (!ok) return false;
  *command = std::move(parsed);
  *is_command = true;
  return true;
}

bool ParseScript(const std::string& text, const std::string& name,
                 std::vector<ScriptCommand>* commands, std::string* error) {
  std::vector<ScriptCommand> parsed;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    ScriptCommand command;
    bool is_command = false;
    std::string reason;
    if (!ParseScriptLine(line, &command, &is_command, &reason)) {
      *error = name + ":" + std::to_string(number) + ": " + reason;
      return false;
    }
    if (!is_command) continue;
    command.line = number;
    parsed.push_back(std::move(command));
  }
  commands->insert(commands->end(), std::make_move_iterator(parsed.begin()),
                   std::make_move_iterator(parsed.end()));
  return true;
}

bool LoadScript(const std::string& path, std::vector<ScriptCommand>* commands, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read script " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) {
    *error = "cannot read script " + path;
    return false;
  }
  return ParseScript(text.str(), path, commands, error);
}

const char* ScriptHelp() {
  return "Script commands, one a line (blank lines are ignored; a word that starts\n"
         "with '#' begins a comment that runs to the end of the line):\n"
         "  activate | deactivate          take or give up the command (event 100)\n"
         "  draw [W H]                     a draw event (110) for the view, which becomes\n"
         "                                 W x H pixels (default: the size it has)\n"
         "  mouse down|move|up left|middle|right X Y [shift] [ctrl] [alt]\n"
         "                                 a mouse button event at view pixel X, Y (y down);\n"
         "                                 the button is held during down and move, not at up\n"
         "  move X Y [shift] [ctrl] [alt]  the mouse moves without a button\n"
         "  wheel X Y DELTA [shift] [ctrl] [alt]\n"
         "                                 the wheel turns by DELTA (120 a notch)\n"
         "  key down|up KEY [shift] [ctrl] [alt]\n"
         "                                 a key: a letter, a digit, a virtual-key code (two\n"
         "                                 digits or more, or 0x..), f1..f24, or one of\n"
         "                                 backspace tab enter escape space pageup pagedown\n"
         "                                 end home left up right down insert delete shift\n"
         "                                 ctrl alt\n"
         "  camera position X Y Z          move the camera (then event 240)\n"
         "  camera target X Y Z            the point the camera looks at\n"
         "  camera ortho H                 orthographic view, H world units high\n"
         "  camera perspective FOV         perspective view, vertical field of view in degrees\n"
         "  select OBJECT VERTEX           select a vertex by object and vertex index (event 222)\n"
         "  deselect OBJECT VERTEX         deselect it\n"
         "  current OBJECT                 make an object current (event 220)\n"
         "  message PRODUCT ID DESCRIPTION [INT...]\n"
         "                                 the peer plug-in sends a user message to the plug-in\n"
         "                                 PRODUCT:ID (numbers, 0x for hexadecimal); the record\n"
         "                                 is 256 zeroed 32-bit words, the INTs first; prints\n"
         "                                 the answer, the record's words and what the peer got\n"
         "  undo | redo                    step through the undo states\n"
         "  save FILE                      save the document (event 202); written at the end\n"
         "  render FILE.png                a picture of the view as it is now: a draw event\n"
         "                                 (110) with the view's size, then the document and\n"
         "                                 what the plug-ins drew for that frame; written at\n"
         "                                 the end\n"
         "  userdata OBJECT KIND           print the object's record of the user-data kind KIND\n"
         "                                 (a name a plug-in registered) as 32-bit floats\n"
         "  export-gltf FILE [SCALE]       Quorvel writes the document and its rig as glTF\n"
         "                                 (FILE.glb, or FILE.gltf with a .bin beside it),\n"
         "                                 SCALE metres a modeller unit (default 0.01: one\n"
         "                                 unit is one centimetre); prints what was written\n"
         "                                 or why nothing was; the script goes on either way\n"
         "  import-gltf FILE [SCALE]       Quorvel adds a .gltf or .glb file's model to the\n"
         "                                 document as one undo step; prints what was read\n"
         "                                 or why nothing was (the document is then as it was)\n"
         "  poses                          print the number of poses and the current one\n"
         "  pose N                         make the pose at list position N (from 0) current\n"
         "                                 and print its name\n"
         "  posed-model FILE               ask Quorvel for its posed model, as another plug-in\n"
         "                                 receives it, and write its objects' names, rest and\n"
         "                                 posed vertices and faces as JSON (document units;\n"
         "                                 written at the end); the model then goes back\n"
         "  auto-weights [object=N] [selected] [resolution=N] [falloff=F] [bones=N]\n"
         "                                 Quorvel weights object N (a document index;\n"
         "                                 default: the current object), or its selected\n"
         "                                 vertices, to the rig's bones: RESOLUTION voxels\n"
         "                                 along the longest side (default 128), FALLOFF\n"
         "                                 how far past the nearest bone others still weigh\n"
         "                                 (1), at most BONES bones a vertex (1 to 4; 4).\n"
         "                                 This and the five below print what Quorvel did\n"
         "                                 or why it did nothing; the script goes on either\n"
         "                                 way\n"
         "  mirror-weights +x|-x [object=N] [selected] [tolerance=F]\n"
         "                                 the weights of one side (+x: from +X onto -X)\n"
         "                                 copied to the mirror vertices, each bone swapped\n"
         "                                 for its mirror; a mirror vertex lies within\n"
         "                                 TOLERANCE (default 0.01)\n"
         "  smooth-weights [object=N] [selected] [iterations=N] [strength=F] [bones=N]\n"
         "                                 each vertex's weights moved toward its neighbours'\n"
         "                                 by STRENGTH (above 0, at most 1; default 0.5),\n"
         "                                 ITERATIONS times (1), keeping at most BONES bones\n"
         "                                 (1 to 4; 4)\n"
         "  limit-weights N [object=N] [selected]\n"
         "                                 each vertex keeps its N (1 to 4) strongest bones\n"
         "  mirror-pose bone|+x|-x|flip [object=N] [tolerance=F]\n"
         "                                 the current pose mirrored: bone N's (default: the\n"
         "                                 current bone) onto its mirror, every +X bone's\n"
         "                                 onto -X, every -X bone's onto +X, or the whole\n"
         "                                 pose flipped\n"
         "  mirror-bones [object=N] [tolerance=F]\n"
         "                                 the other side's chain made from bone N's\n"
         "                                 (default: the selected joints' or the current\n"
         "                                 object's)\n"
         "  echo TEXT                      print TEXT\n";
}

}  // namespace mqhost
