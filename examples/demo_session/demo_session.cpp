// A session of use in the substitute modeller: a person rigs the unrigged
// arm with the plug-in's edit tools (bones clicked in make mode, weights
// painted with the brush in weight mode, the chain bent by a drag in pose
// mode), saves, and opens the document again in a fresh plug-in instance.
//
//   demo_session DOCUMENT SCRIPT OUT_DIR
//
// The plug-in's main object runs inside this program on the substitute host.
// The script is in the driver's language (mqhost --help), and the driver's
// session runs it one command at a time: mouse and key events, the camera,
// pictures, saving. A few commands are this program's own, for what the
// plug-in's panels will do once they exist and for checking each step:
//
//   quorvel mode make|move|pose|weight   the command panel's mode buttons
//   quorvel option N VALUE               tool option N (3: make mode, 0 a child
//                                        chain, 1 siblings)
//   quorvel pen N SIZE                   the weight pen panel: pen N (0 to 3)
//                                        becomes current, with a radius of
//                                        SIZE pixels
//   reopen FILE                          ends the session (its files are
//                                        written), starts a fresh plug-in
//                                        instance and opens FILE
//   expect bones N                       the rig has exactly N bones
//   expect weighted N                    exactly N mesh vertices carry weights
//   expect bent D                        the chain's tip, posed, lies at least D
//                                        units from where it was made
//   expect shown                         every mesh is shown: in pose mode as
//                                        its skinned copy (after a draw)
//   expect restored                      objects, weights and pose are those
//                                        of the last save
//
// Relative file names in the script (save, render, reopen) are taken in
// OUT_DIR. Any failed command or check ends the program with status 1.
// Preferences go to the settings file the environment names (scripts/demo.sh
// sets one).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "deform/rendering_copies.h"
#include "host/core/api.h"
#include "host/core/document.h"
#include "host/core/plugin_module.h"
#include "host/driver/driver.h"
#include "host/driver/script.h"
#include "examples/in_process_plugin.h"
#include "main/dlmain.h"
#include "main/headless_ui.h"
#include "rig/hierarchy.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/weight_operations.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace {

using quorvel_examples::InProcessEntryPoints;
using quorvel_examples::InProcessMain;

// The words of a line without its comment, which begins with a word that
// starts with '#' (the driver's rule).
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word && word[0] != '#';) words.push_back(word);
  return words;
}

bool ParseCount(const std::string& word, int* value) {
  char* end = nullptr;
  const long parsed = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || parsed < 0 || parsed > 1000000) return false;
  *value = static_cast<int>(parsed);
  return true;
}

bool ParseNumber(const std::string& word, float* value) {
  char* end = nullptr;
  const float parsed = std::strtof(word.c_str(), &end);
  if (word.empty() || *end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

// One decimal, and no "-0.0" for what rounds to zero.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", std::fabs(value) < 0.05f ? 0.0 : static_cast<double>(value));
  return text;
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

std::string Point(const FVECTOR3& p) { return "(" + Number(p.x) + ", " + Number(p.y) + ", " + Number(p.z) + ")"; }

// ---------------------------------------------------------------- the script

// One line: a command of the driver's, or one of this program's.
struct Step {
  enum Kind {
    kDriver,
    kMode,
    kOption,
    kPen,
    kReopen,
    kExpectBones,
    kExpectWeighted,
    kExpectBent,
    kExpectShown,
    kExpectRestored,
  };
  Kind kind = kDriver;
  int line = 0;
  mqhost::ScriptCommand command;  // kDriver
  int number = 0;                 // the mode, option, pen or count
  float value = 0.0f;             // option value, pen size, distance
  std::string text;               // what the line says, for the progress
  std::string path;               // reopen
};

bool ParseOwnLine(const std::vector<std::string>& w, Step* step, std::string* error) {
  const std::string& name = w[0];
  if (name == "quorvel") {
    if (w.size() == 3 && w[1] == "mode") {
      const char* modes[] = {"make", "move", "pose", "weight"};
      const int ids[] = {MODE_MAKE, MODE_MOVE, MODE_POSE, MODE_WEIGHT};
      for (int i = 0; i < 4; ++i) {
        if (w[2] == modes[i]) {
          step->kind = Step::kMode;
          step->number = ids[i];
          return true;
        }
      }
      *error = "unknown mode '" + w[2] + "' (make, move, pose or weight)";
      return false;
    }
    if (w.size() == 4 && w[1] == "option") {
      step->kind = Step::kOption;
      if (ParseCount(w[2], &step->number) && step->number >= 1 && step->number <= 5 &&
          ParseNumber(w[3], &step->value) && step->value == std::floor(step->value)) {
        return true;
      }
      *error = "usage: quorvel option N VALUE (N from 1 to 5, VALUE a whole number)";
      return false;
    }
    if (w.size() == 4 && w[1] == "pen") {
      step->kind = Step::kPen;
      if (ParseCount(w[2], &step->number) && step->number <= 3 && ParseNumber(w[3], &step->value) &&
          step->value > 0.0f) {
        return true;
      }
      *error = "usage: quorvel pen N SIZE (N from 0 to 3, SIZE the radius in pixels)";
      return false;
    }
    *error = "usage: quorvel mode MODE, quorvel option N VALUE or quorvel pen N SIZE";
    return false;
  }
  if (name == "reopen") {
    step->kind = Step::kReopen;
    if (w.size() == 2) {
      step->path = w[1];
      return true;
    }
    *error = "usage: reopen FILE";
    return false;
  }
  // expect ...
  if (w.size() == 2 && (w[1] == "restored" || w[1] == "shown")) {
    step->kind = w[1] == "restored" ? Step::kExpectRestored : Step::kExpectShown;
    return true;
  }
  if (w.size() == 3 && (w[1] == "bones" || w[1] == "weighted") && ParseCount(w[2], &step->number)) {
    step->kind = w[1] == "bones" ? Step::kExpectBones : Step::kExpectWeighted;
    return true;
  }
  if (w.size() == 3 && w[1] == "bent" && ParseNumber(w[2], &step->value) && step->value > 0.0f) {
    step->kind = Step::kExpectBent;
    return true;
  }
  *error = "usage: expect bones N, expect weighted N, expect bent D, expect shown or expect restored";
  return false;
}

// Reads and checks the whole script before anything runs, as the driver does.
bool LoadSteps(const std::string& path, std::vector<Step>* steps, std::string* error) {
  std::ifstream file(path);
  if (!file) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    Step step;
    step.line = number;
    std::string reason;
    bool ok = true;
    if (words[0] == "quorvel" || words[0] == "reopen" || words[0] == "expect") {
      ok = ParseOwnLine(words, &step, &reason);
      for (const std::string& word : words) step.text += (step.text.empty() ? "" : " ") + word;
    } else {
      bool is_command = false;
      ok = mqhost::ParseScriptLine(line, &step.command, &is_command, &reason);
      if (ok && !is_command) continue;
      step.command.line = number;
    }
    if (!ok) {
      *error = path + ":" + std::to_string(number) + ": " + reason;
      return false;
    }
    steps->push_back(std::move(step));
  }
  return true;
}

// ---------------------------------------------------------------- the rig

// What the rig of the open document holds, by document index (unique ids
// may change when a document is opened again).
struct RigSnapshot {
  struct Entry {
    int bone = -1;  // document index of the bone
    float weight = 0.0f;
  };
  struct Item {
    std::string name;
    int depth = 0;
    FVECTOR3 pivot;
    bool bone = false;  // the object has a body: a first child
    FMATRIX posed;      // the current pose's world matrix
    std::vector<std::vector<Entry>> weights;  // per vertex; empty without weights
  };
  std::vector<Item> objects;
  std::string pose;  // the current pose's name, empty without one
};

RigSnapshot TakeSnapshot(mqhost::Document* document) {
  RigSnapshot snapshot;
  MQDocument doc = mqhost::ToHandle(document);
  const quorvel::RigSlotTable& slots = InProcessMain()->GetSlots();
  for (int i = 0; i < document->ObjectCount(); ++i) {
    mqhost::Object* object = document->ObjectAt(i);
    if (object == nullptr) continue;
    MQObject obj = mqhost::ToHandle(object);
    RigSnapshot::Item item;
    item.name = object->name;
    item.depth = object->depth;
    item.pivot = quorvel::ObjectPivot(doc, obj);
    item.bone = (quorvel::GetBoneFlags(obj, slots) & quorvel::OBase::OB_RIG) != 0 &&
                quorvel::FirstChild(doc, obj) != nullptr;
    item.posed = quorvel::GetWorldMatrix(obj, slots);
    if (quorvel::HasWeights(obj, slots)) {
      item.weights.resize(object->vertices.size());
      for (size_t v = 0; v < object->vertices.size(); ++v) {
        quorvel::VWeight rec;
        if (!quorvel::GetVertexWeights(obj, slots, static_cast<int>(v), rec)) continue;
        for (int k = 0; k < quorvel::Count(rec); ++k) {
          item.weights[v].push_back({quorvel::IndexOfUniqueId(doc, rec.entries[k].bone), rec.entries[k].weight});
        }
      }
    }
    snapshot.objects.push_back(std::move(item));
  }
  if (quorvel::RigEditState* state = InProcessMain()->GetEditState()) {
    if (const quorvel::QuorvelPose* pose = quorvel::CurrentPose(*state)) snapshot.pose = pose->name;
  }
  return snapshot;
}

int BoneCount(const RigSnapshot& rig) {
  int bones = 0;
  for (const auto& item : rig.objects) bones += item.bone;
  return bones;
}

int WeightedCount(const RigSnapshot& rig) {
  int weighted = 0;
  for (const auto& item : rig.objects) {
    for (const auto& entries : item.weights) weighted += !entries.empty();
  }
  return weighted;
}

std::string NameOf(const RigSnapshot& rig, int index) {
  if (index < 0 || index >= static_cast<int>(rig.objects.size())) return "(no object)";
  const std::string& name = rig.objects[static_cast<size_t>(index)].name;
  return name.empty() ? "object " + std::to_string(index) : name;
}

// The end of the chain: a childless first child (the last joint clicked).
int ChainTip(mqhost::Document* document) {
  MQDocument doc = mqhost::ToHandle(document);
  for (int i = 0; i < document->ObjectCount(); ++i) {
    mqhost::Object* object = document->ObjectAt(i);
    if (object != nullptr && quorvel::IsChainEnd(doc, mqhost::ToHandle(object))) return i;
  }
  return -1;
}

bool Near(const FVECTOR3& a, const FVECTOR3& b, float tolerance) { return (a - b).Length() <= tolerance; }

bool SameMatrix(const FMATRIX& a, const FMATRIX& b) {
  for (int i = 0; i < 16; ++i) {
    if (std::fabs(a.m[i] - b.m[i]) > 1e-3f) return false;
  }
  return true;
}

// Where `now` differs from `saved`; empty when it does not.
std::string Difference(const RigSnapshot& saved, const RigSnapshot& now) {
  if (saved.objects.size() != now.objects.size()) {
    return std::to_string(saved.objects.size()) + " objects were saved, " +
           std::to_string(now.objects.size()) + " came back";
  }
  if (saved.pose != now.pose) return "the current pose was \"" + saved.pose + "\", is \"" + now.pose + "\"";
  for (size_t i = 0; i < saved.objects.size(); ++i) {
    const auto& a = saved.objects[i];
    const auto& b = now.objects[i];
    const std::string which = "object " + std::to_string(i) + " (" + NameOf(saved, static_cast<int>(i)) + ")";
    if (a.name != b.name || a.depth != b.depth) return which + ": another name or depth";
    if (!Near(a.pivot, b.pivot, 1e-3f)) return which + ": the pivot moved to " + Point(b.pivot);
    if (a.bone != b.bone) return which + (a.bone ? ": no longer a bone" : ": became a bone");
    if (!SameMatrix(a.posed, b.posed)) return which + ": another posed matrix";
    if (a.weights.size() != b.weights.size()) return which + ": weights lost or added";
    for (size_t v = 0; v < a.weights.size(); ++v) {
      bool same = a.weights[v].size() == b.weights[v].size();
      for (size_t k = 0; same && k < a.weights[v].size(); ++k) {
        same = a.weights[v][k].bone == b.weights[v][k].bone &&
               std::fabs(a.weights[v][k].weight - b.weights[v][k].weight) <= 0.01f;
      }
      if (!same) return which + ": other weights at vertex " + std::to_string(v);
    }
  }
  return "";
}

// ---------------------------------------------------------------- the session

class Demo {
 public:
  Demo(std::string script, std::string out_dir) : script_(std::move(script)), out_dir_(std::move(out_dir)) {}
  ~Demo() { Stop(nullptr); }

  int Run(const std::string& document_path, const std::vector<Step>& steps) {
    std::string error;
    std::cout << "demo_session: the plug-in's main object runs in this program on the substitute host;\n"
                 "  the mode, the tool options and the weight pen are set through it (\"quorvel ...\"\n"
                 "  lines), as the command panel and the weight pen panel will once they land\n";
    if (!Start(document_path, &error)) return Fail(error);
    for (const Step& step : steps) {
      const std::string where = script_ + ":" + std::to_string(step.line);
      if (!RunStep(step, where, &error)) {
        // The pictures taken so far show where it went wrong.
        std::string ignored;
        Stop(&ignored);
        return Fail(where + ": " + error);
      }
    }
    if (!Stop(&error)) return Fail(error);
    std::cout << "== checked\n";
    for (const std::string& line : checked_) std::cout << "  " << line << "\n";
    return 0;
  }

 private:
  int Fail(const std::string& message) {
    std::cout.flush();
    std::cerr << "demo_session: " << message << "\n";
    return 1;
  }

  std::string InOutDir(const std::string& path) const {
    if (path.empty() || path[0] == '/' || (path.size() > 1 && path[1] == ':')) return path;
    return out_dir_ + "/" + path;
  }

  // A fresh plug-in instance on the document at `path`.
  bool Start(const std::string& path, std::string* error) {
    main_ = std::make_unique<DLMAIN>(std::make_unique<HEADLESS_UI>());
    InProcessMain() = main_.get();
    session_ = std::make_unique<mqhost::ScriptSession>(std::cout);
    return session_->AttachPlugin(InProcessEntryPoints(), "quorvel (in process)", error) &&
           session_->Open(path, mqhost::ViewOptions(), error);
  }

  // Ends the session (its files written when `error` is given) and the
  // plug-in instance.
  bool Stop(std::string* error) {
    bool ok = true;
    if (session_) {
      std::string reason;
      if (error != nullptr) ok = session_->Close(&reason);
      session_.reset();
      if (!ok) *error = reason;
    }
    main_.reset();
    InProcessMain() = nullptr;
    return ok;
  }

  mqhost::Document* Document() const { return session_->document(); }

  bool RunStep(const Step& step, const std::string& where, std::string* error) {
    if (step.kind == Step::kDriver) {
      mqhost::ScriptCommand command = step.command;
      const bool save = command.kind == mqhost::ScriptCommandKind::kSave;
      if (save || command.kind == mqhost::ScriptCommandKind::kRender) command.text = InOutDir(command.text);
      if (!session_->Run(command, where, error)) return false;
      if (save) saved_ = std::make_unique<RigSnapshot>(TakeSnapshot(Document()));
      return true;
    }
    std::cout << where << ": " << step.text;
    IDLMAIN* service = InProcessMain()->Service();
    switch (step.kind) {
      case Step::kMode:
        service->SetMode(step.number);
        if (service->GetMode() != step.number) {
          return Refuse("the plug-in stayed in mode " + std::to_string(service->GetMode()), error);
        }
        std::cout << ": through the main object\n";
        return true;
      case Step::kOption:
        service->SetToolOption(step.number, static_cast<int>(step.value));
        std::cout << ": through the main object\n";
        return true;
      case Step::kPen: {
        quorvel::RigEditState* state = service->GetEditState();
        if (state == nullptr) return Refuse("no document is open", error);
        quorvel::SetCurrentPenIndex(*state, step.number);
        quorvel::SetPenSize(*state, step.number, step.value);
        service->RefreshPanels();
        std::cout << ": through the main object\n";
        return true;
      }
      case Step::kReopen: {
        const std::string path = InOutDir(step.path);
        std::cout << ": the session ends; a fresh plug-in instance opens " << path << "\n";
        reopened_ = true;
        return Stop(error) && Start(path, error);
      }
      default:
        return Expect(step, error);
    }
  }

  // Ends the progress line of a command that could not be carried out.
  static bool Refuse(const std::string& reason, std::string* error) {
    std::cout << ": failed\n";
    *error = reason;
    return false;
  }

  bool Expect(const Step& step, std::string* error) {
    const RigSnapshot rig = TakeSnapshot(Document());
    std::string found;
    bool ok = false;
    switch (step.kind) {
      case Step::kExpectBones: {
        const int bones = BoneCount(rig);
        std::vector<std::string> listed;
        for (size_t i = 0; i < rig.objects.size(); ++i) {
          if (!rig.objects[i].bone) continue;
          const int child = quorvel::FirstChildIndex(mqhost::ToHandle(Document()),
                                                     mqhost::ToHandle(Document()->ObjectAt(static_cast<int>(i))));
          listed.push_back(NameOf(rig, static_cast<int>(i)) + " from " + Point(rig.objects[i].pivot) + " to " +
                           Point(child >= 0 ? rig.objects[static_cast<size_t>(child)].pivot : FVECTOR3()));
        }
        found = std::to_string(bones) + (bones == 1 ? " bone" : " bones") + (listed.empty() ? "" : ": ") +
                Join(listed, "; ");
        ok = bones == step.number;
        break;
      }
      case Step::kExpectWeighted: {
        const int weighted = WeightedCount(rig);
        int vertices = 0;
        std::vector<int> per_bone(rig.objects.size(), 0);
        for (size_t i = 0; i < rig.objects.size(); ++i) {
          vertices += static_cast<int>(Document()->ObjectAt(static_cast<int>(i))->vertices.size());
          for (const auto& entries : rig.objects[i].weights) {
            for (const auto& entry : entries) {
              if (entry.bone >= 0 && entry.bone < static_cast<int>(per_bone.size())) ++per_bone[static_cast<size_t>(entry.bone)];
            }
          }
        }
        std::vector<std::string> listed;
        for (size_t i = 0; i < per_bone.size(); ++i) {
          if (per_bone[i] > 0) listed.push_back(NameOf(rig, static_cast<int>(i)) + ": " + std::to_string(per_bone[i]));
        }
        found = std::to_string(weighted) + " of " + std::to_string(vertices) + " mesh vertices weighted" +
                (listed.empty() ? "" : " (by bone: " + Join(listed, ", ") + ")");
        ok = weighted == step.number;
        break;
      }
      case Step::kExpectBent: {
        const int tip = ChainTip(Document());
        if (tip < 0) {
          found = "no chain";
          break;
        }
        const auto& item = rig.objects[static_cast<size_t>(tip)];
        const FVECTOR3 posed = item.posed.TransformPoint(item.pivot);
        const float moved = (posed - item.pivot).Length();
        found = "pose \"" + rig.pose + "\": the tip (" + NameOf(rig, tip) + ") made at " + Point(item.pivot) +
                " is posed at " + Point(posed) + ", " + Number(moved) + " units away";
        ok = !rig.pose.empty() && moved >= step.value;
        break;
      }
      case Step::kExpectShown: {
        const quorvel::RigSlotTable& slots = InProcessMain()->GetSlots();
        const bool pose_mode = InProcessMain()->IsPoseMode();
        const quorvel::RENDERING_COPIES* copies = InProcessMain()->GetRenderingCopies();
        std::vector<std::string> shown, hidden;
        for (int i = 0; i < Document()->ObjectCount(); ++i) {
          mqhost::Object* object = Document()->ObjectAt(i);
          if (object == nullptr || object->faces.empty()) continue;
          MQObject obj = mqhost::ToHandle(object);
          bool on = false;
          if (!pose_mode) {
            on = HostApi().MQObj_GetVisible(obj) != 0;
          } else if (quorvel::GetSavedVisibility(obj, slots) != 0 && copies != nullptr) {
            // Pose mode hides the objects and draws their copies instead.
            for (const auto& entry : copies->Entries()) {
              on = on || (entry->source == static_cast<int32_t>(object->uid) && entry->drawing != nullptr);
            }
          }
          (on ? shown : hidden).push_back(NameOf(rig, i));
        }
        found = (shown.empty() ? "" : Join(shown, ", ") + (pose_mode ? " shown as skinned copies" : " shown")) +
                (!shown.empty() && !hidden.empty() ? "; " : "") + (hidden.empty() ? "" : Join(hidden, ", ") + " hidden");
        ok = !shown.empty() && hidden.empty();
        break;
      }
      case Step::kExpectRestored: {
        if (!saved_) {
          found = "nothing was saved in this script";
          break;
        }
        const std::string difference = Difference(*saved_, rig);
        found = difference.empty()
                    ? "as saved: " + std::to_string(rig.objects.size()) + " objects, " +
                          std::to_string(BoneCount(rig)) + " bones, " + std::to_string(WeightedCount(rig)) +
                          " weighted vertices, the same weights, the pose \"" + rig.pose + "\" with the same matrices"
                    : difference;
        ok = difference.empty();
        break;
      }
      default:
        break;
    }
    std::cout << ": " << (ok ? "ok, " : "FAILED, ") << found << "\n";
    if (!ok) {
      *error = step.text + ": " + found;
      return false;
    }
    checked_.push_back((reopened_ ? "after reopening: " : "before saving: ") + found);
    return true;
  }

  std::string script_;
  std::string out_dir_;
  std::unique_ptr<DLMAIN> main_;
  std::unique_ptr<mqhost::ScriptSession> session_;
  std::unique_ptr<RigSnapshot> saved_;
  bool reopened_ = false;
  std::vector<std::string> checked_;  // what each check found, in order
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: demo_session DOCUMENT SCRIPT OUT_DIR\n";
    return 2;
  }
  std::vector<Step> steps;
  std::string error;
  if (!LoadSteps(argv[2], &steps, &error)) {
    std::cerr << "demo_session: " << error << "\n";
    return 1;
  }
  Demo demo(argv[2], argv[3]);
  return demo.Run(argv[1], steps);
}
