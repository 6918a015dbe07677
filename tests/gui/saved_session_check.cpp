// The second half of the interactive session test (gui_e2e.py): a fresh
// headless host with a freshly loaded module opens the file the person saved
// in the window and finds the chain of bones made by clicks, the weights
// painted with the wrist bone, the pose dragged into the arm and the second
// pose turned with the rotate handle and the pose panel. Run only by
// that script, which names the file in QUORVEL_SAVED_GUI_DOCUMENT.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"
#include "tests/io/scratch_settings.h"

namespace {

using mqhost::ToHandle;

// The first click fell on the arm's own pivot, at the origin, which made the
// arm mesh the chain's root; the three objects the other clicks made follow
// it in the list, then the hand.
constexpr int kChain = 4, kHand = 4;
// Where the clicks put the pivots along the arm, in document units; a click
// is good to a pixel, which is less than one unit at the file's zoom.
constexpr float kPivotX[kChain] = {0.0f, 60.0f, 120.0f, 144.0f};
constexpr float kClickTolerance = 2.0f;

TEST(SavedGuiSession, DISABLED_TheArmIsRiggedWeightedAndPosed) {
  const char* path = std::getenv("QUORVEL_SAVED_GUI_DOCUMENT");
  ASSERT_NE(path, nullptr) << "run by tests/gui/gui_e2e.py";
  ASSERT_EQ(LoadHostApi(mqhost::Host::OwnModulePath().c_str(), HostApi()), TRUE);
  quorvel_test::ScratchSettings settings;
  mqhost::Host& host = mqhost::Host::Instance();
  std::string error;
  mqhost::PluginModule* plugin = host.LoadPlugin(QUORVEL_PLUGIN_PATH, &error);
  ASSERT_NE(plugin, nullptr) << error;
  mqhost::Document* document = host.NewDocument();
  mqhost::PluginElementMap elements;
  ASSERT_TRUE(mqhost::LoadDocumentFile(path, document, &elements, &error)) << error;
  host.SetPluginElements(document, std::move(elements));
  ASSERT_EQ(mqhost::SendInitialize(host, plugin), TRUE);
  ASSERT_EQ(mqhost::SendNewDocument(host, document, path, plugin), TRUE);
  quorvel::RigSlotTable slots;
  ASSERT_TRUE(quorvel::RegisterRigSlots(ToHandle(document), slots));

  // Bones: a chain of four objects, each a rig bone, pivots where clicked.
  std::string objects;
  for (int i = 0; i < document->ObjectCount(); ++i) {
    const mqhost::Object* object = document->ObjectAt(i);
    if (object == nullptr) continue;
    FMATRIX global;
    HostApi().MQDoc_GetGlobalMatrix(ToHandle(document), ToHandle(document->ObjectAt(i)), global.m);
    objects += " " + object->name + "@" + std::to_string(global.GetTranslation().x) + "/d" +
               std::to_string(object->depth);
  }
  ASSERT_EQ(document->ObjectCount(), kChain + 1) << "objects:" << objects;
  EXPECT_EQ(document->ObjectAt(kHand)->name, "hand") << "objects:" << objects;
  for (int i = 0; i < kChain; ++i) {
    SCOPED_TRACE(i);
    MQObject made = ToHandle(document->ObjectAt(i));
    EXPECT_EQ(document->ObjectAt(i)->depth, i);
    EXPECT_NE(quorvel::GetBoneFlags(made, slots) & quorvel::OBase::OB_RIG, 0u);
    FMATRIX global;
    HostApi().MQDoc_GetGlobalMatrix(ToHandle(document), made, global.m);
    const FVECTOR3 pivot = global.GetTranslation();
    EXPECT_NEAR(pivot.x, kPivotX[i], kClickTolerance);
    EXPECT_NEAR(pivot.y, 0.0f, kClickTolerance);
  }

  // Weights: the hand's front corners follow the wrist bone.
  const int32_t wrist = static_cast<int32_t>(document->ObjectAt(2)->uid);
  const mqhost::Object* hand = document->ObjectAt(kHand);
  int painted = 0;
  for (int v = 0; v < static_cast<int>(hand->vertices.size()); ++v) {
    quorvel::VWeight rec;
    if (!quorvel::GetVertexWeights(ToHandle(document->ObjectAt(kHand)), slots, v, rec)) continue;
    for (int k = 0; k < quorvel::Count(rec); ++k) painted += rec.entries[k].bone == wrist && rec.entries[k].weight > 0.5f;
  }
  EXPECT_GE(painted, 4) << "the strokes gave the hand's front corners to the wrist bone";

  // Pose: the first pose turns the chain away from the rest.
  float turned = 0.0f;
  for (int i = 0; i < kChain; ++i) {
    quorvel::OPoseTSQ tsq;
    if (quorvel::GetPoseTSQ(ToHandle(document->ObjectAt(i)), slots, 0, tsq)) {
      turned = std::max(turned, 2.0f * std::acos(std::min(1.0f, std::fabs(tsq.rot.w))));
    }
  }
  EXPECT_GT(turned, 0.2f) << "the drag bent the arm by more than about 11 degrees";

  // The second pose: the rotate handle's centre dragged 60 pixels turned the
  // root 30 degrees about the line of sight (Z), and the elbow's Z rotation
  // was typed as -15 and committed with Enter.
  const struct {
    int object;
    float degrees;
    const char* how;
  } second[] = {{0, 30.0f, "the rotate handle"}, {1, -15.0f, "the value typed into the pose panel"}};
  for (const auto& c : second) {
    SCOPED_TRACE(c.how);
    quorvel::OPoseTSQ tsq;
    ASSERT_TRUE(quorvel::GetPoseTSQ(ToHandle(document->ObjectAt(c.object)), slots, 1, tsq));
    EXPECT_NEAR(tsq.rot.x, 0.0f, 1e-3f);
    EXPECT_NEAR(tsq.rot.y, 0.0f, 1e-3f);
    const float degrees = 2.0f * std::atan2(tsq.rot.z, tsq.rot.w) * 57.29578f;
    EXPECT_NEAR(degrees, c.degrees, 0.5f);
  }

  mqhost::SendEndDocument(host, document, plugin);
  mqhost::SendExit(host, plugin);
  host.CloseDocument(document);
  host.UnloadPlugins();
}

}  // namespace
