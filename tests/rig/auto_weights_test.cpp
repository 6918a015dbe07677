// Automatic weights by geodesic voxel binding, on small meshes built here:
// weights must not cross a gap between parts, must reach a part enclosed in
// another, must survive holes and non-manifold pieces, must blend at a joint
// and stay with one bone far from it, and bad input must give clear statuses
// and sound records.
#include "rig/auto_weights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "rig/weight_record.h"

using namespace quorvel;

namespace {

constexpr float kPi = 3.14159265f;

// ---------------------------------------------------------------- mesh builders

int AddVertex(RigMesh& mesh, const FVECTOR3& p) {
  mesh.positions.push_back(p);
  return mesh.VertexCount() - 1;
}

// A closed tube along a path in the XY plane (rings perpendicular to the
// path, fan caps at both ends). Answers the first vertex index.
int AddTube(RigMesh& mesh, const std::vector<FVECTOR3>& path, float radius, int sides) {
  const int first = mesh.VertexCount();
  const FVECTOR3 z(0.0f, 0.0f, 1.0f);
  for (size_t i = 0; i < path.size(); ++i) {
    const FVECTOR3 tangent = (path[std::min(i + 1, path.size() - 1)] - path[i == 0 ? 0 : i - 1]).Normalized();
    const FVECTOR3 side = Cross(tangent, z).Normalized();
    for (int s = 0; s < sides; ++s) {
      const float a = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(sides);
      AddVertex(mesh, path[i] + (side * std::cos(a) + z * std::sin(a)) * radius);
    }
  }
  const int rings = static_cast<int>(path.size());
  auto at = [&](int ring, int s) { return first + ring * sides + (s % sides); };
  for (int r = 0; r + 1 < rings; ++r) {
    for (int s = 0; s < sides; ++s) mesh.AddFace({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
  }
  const int start_cap = AddVertex(mesh, path.front());
  const int end_cap = AddVertex(mesh, path.back());
  for (int s = 0; s < sides; ++s) {
    mesh.AddFace({start_cap, at(0, s + 1), at(0, s)});
    mesh.AddFace({end_cap, at(rings - 1, s), at(rings - 1, s + 1)});
  }
  return first;
}

// A straight path from a to b with `rings` points.
std::vector<FVECTOR3> Line(const FVECTOR3& a, const FVECTOR3& b, int rings) {
  std::vector<FVECTOR3> path;
  for (int i = 0; i < rings; ++i) path.push_back(a + (b - a) * (static_cast<float>(i) / (rings - 1)));
  return path;
}

// A box whose six sides are grids of div x div quads (sides share no
// vertices: the surface is closed in space, not in topology).
int AddBox(RigMesh& mesh, const FVECTOR3& lo, const FVECTOR3& hi, int div) {
  const int first = mesh.VertexCount();
  const FVECTOR3 size = hi - lo;
  for (int axis = 0; axis < 3; ++axis) {
    for (int face = 0; face < 2; ++face) {
      const int base = mesh.VertexCount();
      for (int i = 0; i <= div; ++i) {
        for (int j = 0; j <= div; ++j) {
          float c[3];
          c[axis] = face == 0 ? 0.0f : 1.0f;
          c[(axis + 1) % 3] = static_cast<float>(i) / div;
          c[(axis + 2) % 3] = static_cast<float>(j) / div;
          AddVertex(mesh, lo + FVECTOR3(c[0], c[1], c[2]).MulEach(size));
        }
      }
      for (int i = 0; i < div; ++i) {
        for (int j = 0; j < div; ++j) {
          const int v = base + i * (div + 1) + j;
          mesh.AddFace({v, v + 1, v + div + 2, v + div + 1});
        }
      }
    }
  }
  return first;
}

int AddSphere(RigMesh& mesh, const FVECTOR3& centre, float radius, int rings, int sides) {
  const int first = mesh.VertexCount();
  const int top = AddVertex(mesh, centre + FVECTOR3(0.0f, radius, 0.0f));
  for (int r = 1; r < rings; ++r) {
    const float polar = kPi * static_cast<float>(r) / rings;
    for (int s = 0; s < sides; ++s) {
      const float a = 2.0f * kPi * static_cast<float>(s) / sides;
      AddVertex(mesh, centre + FVECTOR3(std::sin(polar) * std::cos(a), std::cos(polar),
                                        std::sin(polar) * std::sin(a)) *
                                   radius);
    }
  }
  const int bottom = AddVertex(mesh, centre - FVECTOR3(0.0f, radius, 0.0f));
  auto at = [&](int r, int s) { return top + 1 + (r - 1) * sides + (s % sides); };
  for (int s = 0; s < sides; ++s) {
    mesh.AddFace({top, at(1, s + 1), at(1, s)});
    mesh.AddFace({bottom, at(rings - 1, s), at(rings - 1, s + 1)});
    for (int r = 1; r + 1 < rings; ++r)
      mesh.AddFace({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
  }
  return first;
}

RigBone Bone(int32_t id, const FVECTOR3& head, const FVECTOR3& tail, int parent = -1) {
  RigBone bone;
  bone.id = id;
  bone.name = "bone" + std::to_string(id);
  bone.head = head;
  bone.tail = tail;
  bone.parent = parent;
  return bone;
}

// ---------------------------------------------------------------- record checks

float Share(const VWeight& rec, int32_t bone) {
  const int i = FindBone(rec, bone);
  return i < 0 ? 0.0f : rec.entries[i].weight;
}

std::string Describe(const VWeight& rec) {
  std::string out = "{";
  for (int i = 0; i < Count(rec); ++i) {
    out += " " + std::to_string(rec.entries[i].bone) + ":" + std::to_string(rec.entries[i].weight);
  }
  return out + " }";
}

// A written record: valid, 1..max_bones entries naming distinct bones of the
// list, finite weights in (0, 1] summing to 1.
::testing::AssertionResult SoundRecord(const VWeight& rec, const std::vector<RigBone>& bones, int max_bones) {
  if (!IsValid(rec)) return ::testing::AssertionFailure() << "not valid";
  const int n = rec.head >> 1;
  if (n < 1 || n > max_bones) return ::testing::AssertionFailure() << n << " entries";
  std::set<int32_t> seen;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const VWeightEntry& e = rec.entries[i];
    const bool listed =
        std::any_of(bones.begin(), bones.end(), [&](const RigBone& b) { return b.id == e.bone; });
    if (!listed || !seen.insert(e.bone).second) {
      return ::testing::AssertionFailure()
             << "bone " << e.bone << " unlisted or repeated in " << Describe(rec);
    }
    if (!std::isfinite(e.weight) || !(e.weight > 0.0f) || e.weight > 1.0f) {
      return ::testing::AssertionFailure() << "weight out of (0, 1] in " << Describe(rec);
    }
    sum += e.weight;
  }
  if (std::fabs(sum - 1.0) > 1e-5)
    return ::testing::AssertionFailure() << "sum " << sum << " in " << Describe(rec);
  return ::testing::AssertionSuccess();
}

// Runs the binding on every vertex and checks every record.
std::vector<VWeight> Bind(const RigMesh& mesh, const std::vector<RigBone>& bones,
                          AutoWeightReport* report = nullptr,
                          const AutoWeightOptions& options = AutoWeightOptions()) {
  std::vector<VWeight> weights;
  const AutoWeightReport r = ComputeAutoWeights(mesh, bones, options, {}, weights);
  EXPECT_EQ(r.status, AutoWeightStatus::kOk);
  EXPECT_EQ(r.vertices_written, mesh.VertexCount());
  EXPECT_EQ(weights.size(), mesh.positions.size());
  for (size_t v = 0; v < weights.size(); ++v) {
    EXPECT_TRUE(SoundRecord(weights[v], bones, options.max_bones)) << "vertex " << v;
  }
  if (report != nullptr) *report = r;
  return weights;
}

// ---------------------------------------------------------------- parts kept apart, parts inside parts

// Two legs 0.03 apart (about three voxels at the default resolution, an
// eighth of their thickness), pushed into a pelvis block.
TEST(AutoWeights, NoLegTakesWeightFromTheOtherLegsBones) {
  constexpr float kX = 0.135f, kRadius = 0.12f;
  RigMesh mesh;
  AddBox(mesh, {-0.3f, 0.9f, -0.15f}, {0.3f, 1.3f, 0.15f}, 8);
  const int left = AddTube(mesh, Line({-kX, 1.0f, 0.0f}, {-kX, 0.0f, 0.0f}, 21), kRadius, 24);
  const int right = AddTube(mesh, Line({kX, 1.0f, 0.0f}, {kX, 0.0f, 0.0f}, 21), kRadius, 24);
  const int end = mesh.VertexCount();
  enum : int32_t { kHip = 1, kLeftThigh, kLeftShin, kRightThigh, kRightShin };
  const std::vector<RigBone> bones = {
      Bone(kHip, {0.0f, 1.0f, 0.0f}, {0.0f, 1.25f, 0.0f}),
      Bone(kLeftThigh, {-kX, 1.0f, 0.0f}, {-kX, 0.5f, 0.0f}, 0),
      Bone(kLeftShin, {-kX, 0.5f, 0.0f}, {-kX, 0.02f, 0.0f}, 1),
      Bone(kRightThigh, {kX, 1.0f, 0.0f}, {kX, 0.5f, 0.0f}, 0),
      Bone(kRightShin, {kX, 0.5f, 0.0f}, {kX, 0.02f, 0.0f}, 3),
  };
  AutoWeightReport report;
  const std::vector<VWeight> weights = Bind(mesh, bones, &report);
  EXPECT_EQ(report.vertices_snapped, 0);

  struct Leg {
    const char* name;
    int first, last;
    int32_t thigh, shin, other_thigh, other_shin;
  };
  for (const Leg& leg : {Leg{"left", left, right, kLeftThigh, kLeftShin, kRightThigh, kRightShin},
                         Leg{"right", right, end, kRightThigh, kRightShin, kLeftThigh, kLeftShin}}) {
    for (int v = leg.first; v < leg.last; ++v) {
      const VWeight& rec = weights[static_cast<size_t>(v)];
      // Within a leg's radius of the pelvis the crotch is near both thighs'
      // heads through the pelvis itself.
      if (mesh.positions[static_cast<size_t>(v)].y > 0.75f) continue;
      EXPECT_EQ(Share(rec, leg.other_thigh) + Share(rec, leg.other_shin), 0.0f)
          << leg.name << " vertex " << v << " " << Describe(rec);
      // The inner side, facing the other leg, is the leg's own.
      if (mesh.positions[static_cast<size_t>(v)].y < 0.7f) {
        EXPECT_GT(Share(rec, leg.thigh) + Share(rec, leg.shin), 0.99f) << leg.name << " vertex " << v;
      }
      if (mesh.positions[static_cast<size_t>(v)].y < 0.3f) {
        EXPECT_EQ(Share(rec, leg.shin), 1.0f) << leg.name << " vertex " << v << " " << Describe(rec);
      }
    }
  }
}

// An eye sphere inside a head sphere, touching nothing: it lies in the head's
// solid and takes the head bone's weights, not the neck's or the spine's.
TEST(AutoWeights, AnEyeInsideTheHeadTakesTheHeadBone) {
  RigMesh mesh;
  AddTube(mesh, Line({0.0f, 0.8f, 0.0f}, {0.0f, 1.4f, 0.0f}, 13), 0.15f, 24);
  AddTube(mesh, Line({0.0f, 1.35f, 0.0f}, {0.0f, 1.53f, 0.0f}, 7), 0.05f, 16);
  AddSphere(mesh, {0.0f, 1.62f, 0.0f}, 0.12f, 16, 24);
  const int eye = AddSphere(mesh, {0.0f, 1.66f, 0.07f}, 0.03f, 8, 12);
  const int end = mesh.VertexCount();
  enum : int32_t { kSpine = 7, kNeck, kHead };
  const std::vector<RigBone> bones = {
      Bone(kSpine, {0.0f, 0.85f, 0.0f}, {0.0f, 1.38f, 0.0f}),
      Bone(kNeck, {0.0f, 1.38f, 0.0f}, {0.0f, 1.52f, 0.0f}, 0),
      Bone(kHead, {0.0f, 1.52f, 0.0f}, {0.0f, 1.74f, 0.0f}, 1),
  };
  AutoWeightReport report;
  const std::vector<VWeight> weights = Bind(mesh, bones, &report);
  EXPECT_EQ(report.vertices_snapped, 0) << "the eye lies in the solid";
  for (int v = eye; v < end; ++v) {
    const VWeight& rec = weights[static_cast<size_t>(v)];
    EXPECT_EQ(rec.entries[0].bone, kHead) << "vertex " << v << " " << Describe(rec);
    EXPECT_GE(Share(rec, kHead), 0.8f) << "vertex " << v << " " << Describe(rec);
    EXPECT_EQ(Share(rec, kSpine), 0.0f) << "vertex " << v;
  }
}

// ---------------------------------------------------------------- damaged meshes

// A tube with a hole of four missing quads (about three by five voxels), a
// fin (three faces on one edge), flipped faces, a piece passing through its
// wall and faces that cannot be used: every vertex gets sound weights, and
// the hole is closed, so that the tube stays as solid as the intact one.
TEST(AutoWeights, HolesFinsAndFlippedFacesStillGiveSoundWeights) {
  constexpr int kSides = 48;
  const std::vector<FVECTOR3> path = Line({0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 81);
  const std::vector<RigBone> bones = {
      Bone(1, {0.0f, 0.05f, 0.0f}, {0.0f, 0.5f, 0.0f}),
      Bone(2, {0.0f, 0.5f, 0.0f}, {0.0f, 0.95f, 0.0f}, 0),
  };
  RigMesh intact;
  AddTube(intact, path, 0.15f, kSides);
  AutoWeightReport intact_report;
  Bind(intact, bones, &intact_report);

  // The tube's faces again: quads ring by ring, then the caps.
  RigMesh damaged;
  damaged.positions = intact.positions;
  const int quads = (static_cast<int>(path.size()) - 1) * kSides;
  for (int f = 0; f < intact.FaceCount(); ++f) {
    const int ring = f / kSides, side = f % kSides;
    if (f < quads && (ring == 40 || ring == 41) && (side == 5 || side == 6)) continue;  // the hole
    std::vector<int32_t> face(intact.face_vertices.begin() + intact.face_start[f],
                              intact.face_vertices.begin() + intact.face_start[f + 1]);
    if (f % 7 == 0) std::reverse(face.begin(), face.end());
    damaged.face_vertices.insert(damaged.face_vertices.end(), face.begin(), face.end());
    damaged.face_start.push_back(static_cast<int32_t>(damaged.face_vertices.size()));
  }
  // A fin on an edge of ring 10, which two quads of the tube share already.
  const int a = 10 * kSides + 20, b = 10 * kSides + 21;
  auto outward = [&](int v) {
    const FVECTOR3 p = damaged.positions[static_cast<size_t>(v)];
    return AddVertex(damaged, {p.x * 1.5f, p.y, p.z * 1.5f});
  };
  const int fa = outward(a), fb = outward(b);
  damaged.AddFace({a, b, fb, fa});
  // A small box through the wall, a degenerate face, a line and a face with
  // an index out of range.
  AddBox(damaged, {0.1f, 0.7f, -0.02f}, {0.2f, 0.74f, 0.02f}, 2);
  damaged.AddFace({a, a, b});
  damaged.AddFace({a, b});
  damaged.AddFace({a, b, 1 << 20});

  AutoWeightReport report;
  const std::vector<VWeight> weights = Bind(damaged, bones, &report);
  EXPECT_EQ(report.vertices_snapped, 0);
  EXPECT_NEAR(static_cast<double>(report.solid_voxels), static_cast<double>(intact_report.solid_voxels),
              0.05 * static_cast<double>(intact_report.solid_voxels))
      << "a leak through the hole would leave only the tube's wall solid";
  // Far from the joint each half is its bone's.
  for (int v = 0; v < intact.VertexCount(); ++v) {
    const float y = damaged.positions[static_cast<size_t>(v)].y;
    if (y < 0.2f) {
      EXPECT_EQ(Share(weights[static_cast<size_t>(v)], 1), 1.0f) << "vertex " << v;
    } else if (y > 0.8f) {
      EXPECT_EQ(Share(weights[static_cast<size_t>(v)], 2), 1.0f) << "vertex " << v;
    }
  }
}

// ---------------------------------------------------------------- a joint and a hand

// An arm bent 90 degrees at the elbow (a rounded tube), with a flat hand: the
// elbow blends the upper arm and the forearm about equally, and the hand
// past the wrist is the hand bone's alone.
TEST(AutoWeights, TheElbowBlendsAndTheHandIsTheHandBones) {
  std::vector<FVECTOR3> path = Line({0.0f, 0.0f, 0.0f}, {0.25f, 0.0f, 0.0f}, 11);
  path.pop_back();
  for (int i = 0; i <= 6; ++i) {  // a quarter circle of radius 0.05 about (0.25, 0.05)
    const float a = -0.5f * kPi + 0.5f * kPi * static_cast<float>(i) / 6.0f;
    path.push_back({0.25f + 0.05f * std::cos(a), 0.05f + 0.05f * std::sin(a), 0.0f});
  }
  for (const FVECTOR3& p : Line({0.3f, 0.05f, 0.0f}, {0.3f, 0.3f, 0.0f}, 11)) {
    if (p != path.back()) path.push_back(p);
  }
  constexpr int kSides = 20;
  RigMesh mesh;
  AddTube(mesh, path, 0.045f, kSides);
  const int elbow = 13 * kSides;  // the ring at 45 degrees on the bend
  const int hand = AddBox(mesh, {0.27f, 0.29f, -0.02f}, {0.33f, 0.47f, 0.02f}, 6);
  const int end = mesh.VertexCount();
  enum : int32_t { kUpper = 3, kFore, kHand };
  const std::vector<RigBone> bones = {
      Bone(kUpper, {0.0f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}),
      Bone(kFore, {0.3f, 0.0f, 0.0f}, {0.3f, 0.3f, 0.0f}, 0),
      Bone(kHand, {0.3f, 0.3f, 0.0f}, {0.3f, 0.45f, 0.0f}, 1),
  };
  const std::vector<VWeight> weights = Bind(mesh, bones);
  for (int v = elbow; v < elbow + kSides; ++v) {
    const VWeight& rec = weights[static_cast<size_t>(v)];
    EXPECT_GT(Share(rec, kUpper), 0.3f) << "vertex " << v << " " << Describe(rec);
    EXPECT_GT(Share(rec, kFore), 0.3f) << "vertex " << v << " " << Describe(rec);
  }
  int hand_only = 0;
  for (int v = hand; v < end; ++v) {
    if (mesh.positions[static_cast<size_t>(v)].y < 0.39f) continue;
    const VWeight& rec = weights[static_cast<size_t>(v)];
    EXPECT_EQ(Share(rec, kHand), 1.0f) << "vertex " << v << " " << Describe(rec);
    ++hand_only;
  }
  EXPECT_GT(hand_only, 50);
}

// ---------------------------------------------------------------- bad input and options

float Nan() { return std::numeric_limits<float>::quiet_NaN(); }

RigMesh SmallBox() {
  RigMesh mesh;
  AddBox(mesh, {-0.5f, 0.0f, -0.2f}, {0.5f, 0.4f, 0.2f}, 4);
  return mesh;
}

// Two bones along the box's length, meeting in the middle.
std::vector<RigBone> TwoBones() {
  return {Bone(10, {-0.45f, 0.2f, 0.0f}, {0.0f, 0.2f, 0.0f}),
          Bone(20, {0.0f, 0.2f, 0.0f}, {0.45f, 0.2f, 0.0f}, 0)};
}

// The cases check input handling, not the binding's resolution.
AutoWeightOptions Coarse() {
  AutoWeightOptions options;
  options.resolution = 40;
  return options;
}

VWeight Sentinel() {
  VWeight rec;
  std::memset(static_cast<void*>(&rec), 0x5A, sizeof rec);
  return rec;
}

bool SameBytes(const VWeight& a, const VWeight& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using RecordCheck = std::function<void(const std::vector<VWeight>&, const AutoWeightReport&)>;

// Vertices near either end of SmallBox() (in its own coordinates) take the
// bone of that end first.
RecordCheck EndsFollow(int32_t left, int32_t right) {
  return [=](const std::vector<VWeight>& w, const AutoWeightReport&) {
    const RigMesh box = SmallBox();
    for (size_t v = 0; v < w.size(); ++v) {
      const float x = box.positions[v].x;
      if (x < -0.3f || x > 0.3f) {
        EXPECT_EQ(w[v].entries[0].bone, x < 0.0f ? left : right) << "vertex " << v;
      }
    }
  };
}

TEST(AutoWeights, BadInputGivesAStatusOrSoundRecords) {
  struct Case {
    const char* what;
    RigMesh mesh;
    std::vector<RigBone> bones;
    AutoWeightOptions options;
    std::vector<uint8_t> selected;
    AutoWeightStatus status;
    RecordCheck check;  // more checks on the records of a kOk case
    // Records before the call beyond the vertex count (fewer when negative).
    int extra_records = 2;
  };
  const float nan = Nan();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<Case> cases;
  auto add = [&](Case c) { cases.push_back(std::move(c)); };

  add({"no bones", SmallBox(), {}, Coarse(), {}, AutoWeightStatus::kNoBones, nullptr});
  add({"no vertices", RigMesh(), TwoBones(), Coarse(), {}, AutoWeightStatus::kNoVertices, nullptr});
  {
    RigMesh mesh = SmallBox();
    add({"nothing selected",
         mesh,
         TwoBones(),
         {},
         std::vector<uint8_t>(mesh.positions.size(), 0),
         AutoWeightStatus::kNoVertices,
         nullptr});
  }
  {
    RigMesh mesh = SmallBox();
    mesh.face_start = {0};
    mesh.face_vertices.clear();
    mesh.AddFace({0, 1});
    mesh.AddFace({0, 1, 9999});
    mesh.AddFace({-1, 2, 3});
    mesh.AddFace({});
    add({"only lines and faces with indices out of range",
         mesh,
         TwoBones(),
         Coarse(),
         {},
         AutoWeightStatus::kNoFaces,
         nullptr});
    mesh.positions[0] = {nan, 0.0f, 0.0f};
    mesh.AddFace({0, 1, 2});
    add({"the only triangle has a non-finite vertex",
         mesh,
         TwoBones(),
         Coarse(),
         {},
         AutoWeightStatus::kNoFaces,
         nullptr});
  }
  add({"one bone",
       SmallBox(),
       {Bone(5, {0.0f, 0.2f, 0.0f}, {0.3f, 0.2f, 0.0f})},
       Coarse(),
       {},
       AutoWeightStatus::kOk,
       [](const std::vector<VWeight>& w, const AutoWeightReport&) {
         for (const VWeight& rec : w) EXPECT_EQ(Share(rec, 5), 1.0f);
       }});
  // Point bones at the box's ends, on the box as built and on a copy a
  // thousand times larger, millions of units from the origin.
  for (const float scale : {1.0f, 1000.0f}) {
    const FVECTOR3 offset = scale == 1.0f ? FVECTOR3() : FVECTOR3(3e6f, -2e6f, 5e6f);
    auto place = [=](const FVECTOR3& p) { return p * scale + offset; };
    RigMesh mesh = SmallBox();
    for (FVECTOR3& p : mesh.positions) p = place(p);
    const FVECTOR3 left = place({-0.4f, 0.2f, 0.0f}), right = place({0.4f, 0.2f, 0.0f});
    add({scale == 1.0f ? "zero-length bones at both ends" : "zero-length bones, far away and large",
         mesh,
         {Bone(1, left, left), Bone(2, right, right)},
         Coarse(),
         {},
         AutoWeightStatus::kOk,
         EndsFollow(1, 2)});
  }
  {
    RigMesh mesh = SmallBox();
    for (FVECTOR3& p : mesh.positions) p = {1.0f, 2.0f, 3.0f};
    add({"every vertex at one point", mesh, TwoBones(), Coarse(), {}, AutoWeightStatus::kOk, nullptr});
  }
  {
    RigMesh mesh = SmallBox();
    for (FVECTOR3& p : mesh.positions) p.z = 0.0f;
    add({"a flat mesh", mesh, TwoBones(), Coarse(), {}, AutoWeightStatus::kOk, EndsFollow(10, 20)});
  }
  {
    RigMesh mesh = SmallBox();
    std::vector<uint8_t> selected(mesh.positions.size(), 0);
    for (size_t v = 0; v < selected.size(); v += 3) selected[v] = 1;
    selected.resize(selected.size() / 2);  // past its end nothing is selected
    add({"a selection, with records missing at the end", mesh, TwoBones(), Coarse(), selected,
         AutoWeightStatus::kOk, nullptr, -10});
  }
  for (int max_bones : {1, 2}) {
    AutoWeightOptions options = Coarse();
    options.max_bones = max_bones;
    // A third bone crossing the joint, so that four bones could blend there.
    std::vector<RigBone> bones = TwoBones();
    bones.push_back(Bone(30, {0.0f, 0.05f, 0.0f}, {0.0f, 0.35f, 0.0f}));
    add({max_bones == 1 ? "max_bones 1" : "max_bones 2",
         SmallBox(),
         bones,
         options,
         {},
         AutoWeightStatus::kOk,
         [max_bones](const std::vector<VWeight>& w, const AutoWeightReport&) {
           const bool reached =
               std::any_of(w.begin(), w.end(), [&](const VWeight& r) { return Count(r) == max_bones; });
           EXPECT_TRUE(reached) << "the joint blends bones up to the limit";
         }});
  }
  {
    AutoWeightOptions options;
    options.resolution = -5;
    options.falloff = nan;
    options.max_bones = 99;
    add({"options out of range",
         SmallBox(),
         TwoBones(),
         options,
         {},
         AutoWeightStatus::kOk,
         [](const std::vector<VWeight>&, const AutoWeightReport& r) {
           EXPECT_LE(std::max({r.grid_x, r.grid_y, r.grid_z}), 16 + 2 + 6) << "resolution clamped to 16";
         }});
  }
  {
    RigMesh mesh = SmallBox();
    mesh.positions[3] = {nan, 0.0f, 0.0f};
    mesh.positions[4] = {0.0f, inf, 0.0f};
    AddVertex(mesh, {0.0f, 3.0f, 0.0f});  // loose, above the box
    add({"non-finite and loose vertices",
         mesh,
         TwoBones(),
         Coarse(),
         {},
         AutoWeightStatus::kOk,
         [](const std::vector<VWeight>& w, const AutoWeightReport& r) {
           EXPECT_EQ(r.vertices_unplaced, 2);
           EXPECT_EQ(r.vertices_snapped, 1);
           EXPECT_EQ(Share(w[3], 10), 1.0f) << "the first bone";
           EXPECT_EQ(Share(w[4], 10), 1.0f) << "the first bone";
         }});
  }
  add({"bones outside the mesh, one much nearer",
       SmallBox(),
       {Bone(1, {-5.0f, 0.2f, 0.0f}, {-4.5f, 0.2f, 0.0f}), Bone(2, {40.0f, 0.2f, 0.0f}, {40.0f, 0.2f, 0.0f})},
       Coarse(),
       {},
       AutoWeightStatus::kOk,
       [](const std::vector<VWeight>& w, const AutoWeightReport&) {
         for (const VWeight& rec : w) EXPECT_EQ(Share(rec, 1), 1.0f);
       }});
  add({"bones millions of units away",
       SmallBox(),
       {Bone(1, {-1e6f, 5.0f, 0.0f}, {-1e6f, 6.0f, 0.0f}), Bone(2, {3e7f, -2e7f, 1e7f}, {3e7f, -2e7f, 1e7f})},
       Coarse(),
       {},
       AutoWeightStatus::kOk,
       nullptr});
  {
    std::vector<RigBone> bones = TwoBones();
    bones.push_back(Bone(10, {0.2f, 0.2f, 0.0f}, {0.4f, 0.2f, 0.0f}));  // the first bone's id again
    bones.push_back(Bone(40, {nan, 0.0f, 0.0f}, {0.0f, 0.2f, 0.0f}));
    add({"a repeated id and a bone with a non-finite end",
         SmallBox(),
         bones,
         Coarse(),
         {},
         AutoWeightStatus::kOk,
         [](const std::vector<VWeight>& w, const AutoWeightReport&) {
           for (const VWeight& rec : w) EXPECT_EQ(Share(rec, 40), 0.0f);
         }});
  }
  add({"no bone with finite ends",
       SmallBox(),
       {Bone(8, {nan, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}), Bone(9, {inf, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f})},
       Coarse(),
       {},
       AutoWeightStatus::kOk,
       [](const std::vector<VWeight>& w, const AutoWeightReport&) {
         for (const VWeight& rec : w) EXPECT_EQ(Share(rec, 8), 1.0f);
       }});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Records the call must leave alone show their bytes unchanged.
    const size_t before =
        static_cast<size_t>(std::max(0, static_cast<int>(c.mesh.positions.size()) + c.extra_records));
    std::vector<VWeight> weights(before, Sentinel());
    const AutoWeightReport report = ComputeAutoWeights(c.mesh, c.bones, c.options, c.selected, weights);
    EXPECT_EQ(report.status, c.status);
    if (c.status != AutoWeightStatus::kOk) {
      EXPECT_EQ(report.vertices_written, 0);
      EXPECT_EQ(weights.size(), before);
      EXPECT_TRUE(std::all_of(weights.begin(), weights.end(),
                              [](const VWeight& r) { return SameBytes(r, Sentinel()); }));
      continue;
    }
    ASSERT_EQ(weights.size(), c.mesh.positions.size());
    const int max_bones = std::clamp(c.options.max_bones, 1, kMaxWeightEntries);
    int selected = 0;
    for (size_t v = 0; v < weights.size(); ++v) {
      const bool chosen = c.selected.empty() || (v < c.selected.size() && c.selected[v] != 0);
      if (!chosen && v < before) {
        EXPECT_TRUE(SameBytes(weights[v], Sentinel())) << "unselected vertex " << v;
        continue;
      }
      if (!chosen) {
        EXPECT_TRUE(IsValid(weights[v]) && Count(weights[v]) == 0) << "new unselected record " << v;
        continue;
      }
      ++selected;
      EXPECT_TRUE(SoundRecord(weights[v], c.bones, max_bones)) << "vertex " << v;
      if (v < before) {
        EXPECT_EQ(std::memcmp(weights[v].colour, Sentinel().colour, 3), 0) << "colour left to the caller";
      }
    }
    EXPECT_EQ(report.vertices_written, selected);
    if (c.check) c.check(weights, report);
  }
}

}  // namespace
