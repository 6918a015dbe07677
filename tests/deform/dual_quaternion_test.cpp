// Dual-quaternion skinning: both kernels against a double-precision dual
// quaternion algebra written here, the twisted forearm that linear blending
// collapses, the linear fallback for bones that are not similarities, and
// the sign of antipodal quaternions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "deform/skinning.h"

using namespace quorvel;

namespace {

// ---------------------------------------------------------------- reference algebra (double)

// Hamilton quaternion: rotation v ↦ q v q*.
struct Quat {
  double w = 1, x = 0, y = 0, z = 0;
};
Quat Mul(const Quat& a, const Quat& b) {
  return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
          a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}
Quat Conj(const Quat& q) { return {q.w, -q.x, -q.y, -q.z}; }
Quat Scaled(const Quat& q, double s) { return {q.w * s, q.x * s, q.y * s, q.z * s}; }
Quat Add(const Quat& a, const Quat& b) { return {a.w + b.w, a.x + b.x, a.y + b.y, a.z + b.z}; }
double Dot4(const Quat& a, const Quat& b) { return a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z; }

// q0 + ε qe.
struct DualQuat {
  Quat real, dual;
};
DualQuat Mul(const DualQuat& a, const DualQuat& b) {
  return {Mul(a.real, b.real), Add(Mul(a.real, b.dual), Mul(a.dual, b.real))};
}

struct Vec {
  double x, y, z;
};

// A bone: p ↦ rotate(q, s·p) + t.
struct Bone {
  Quat q;
  Vec t;
  double s = 1;
};

Vec Rotate(const Quat& q, const Vec& v) {
  const Quat r = Mul(Mul(q, Quat{0, v.x, v.y, v.z}), Conj(q));
  return {r.x, r.y, r.z};
}

// The bone as a palette matrix: rows are the images of the axes.
FMATRIX MatrixOf(const Bone& b) {
  FMATRIX m;
  const Vec axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int r = 0; r < 3; ++r) {
    const Vec a = Rotate(b.q, axes[r]);
    m(r, 0) = static_cast<float>(b.s * a.x);
    m(r, 1) = static_cast<float>(b.s * a.y);
    m(r, 2) = static_cast<float>(b.s * a.z);
  }
  m(3, 0) = static_cast<float>(b.t.x);
  m(3, 1) = static_cast<float>(b.t.y);
  m(3, 2) = static_cast<float>(b.t.z);
  return m;
}

struct Influence {
  const Bone* bone;
  double weight;
};

// Kavan et al.: signs made to agree with the strongest influence, a linear
// blend, normalisation by the dual norm, then ĉ (1 + εp) ĉ̄; the uniform
// scales blend linearly and apply first.
Vec ReferenceSkin(const std::vector<Influence>& in, const Vec& p) {
  size_t strongest = 0;
  for (size_t j = 1; j < in.size(); ++j) {
    if (in[j].weight > in[strongest].weight) strongest = j;
  }
  DualQuat blend{{0, 0, 0, 0}, {0, 0, 0, 0}};
  double weight_sum = 0, scale_sum = 0;
  for (const Influence& f : in) {
    const Quat& q = f.bone->q;
    const DualQuat d{q, Scaled(Mul(Quat{0, f.bone->t.x, f.bone->t.y, f.bone->t.z}, q), 0.5)};
    const double w = Dot4(q, in[strongest].bone->q) < 0 ? -f.weight : f.weight;
    blend.real = Add(blend.real, Scaled(d.real, w));
    blend.dual = Add(blend.dual, Scaled(d.dual, w));
    weight_sum += f.weight;
    scale_sum += f.weight * f.bone->s;
  }
  const double n = std::sqrt(Dot4(blend.real, blend.real));
  DualQuat c{Scaled(blend.real, 1 / n), Scaled(blend.dual, 1 / n)};
  c.dual = Add(c.dual, Scaled(c.real, -Dot4(c.real, c.dual)));
  const double s = scale_sum / weight_sum;
  const DualQuat point{{1, 0, 0, 0}, {0, s * p.x, s * p.y, s * p.z}};
  const DualQuat bar{Conj(c.real), Scaled(Conj(c.dual), -1)};
  const DualQuat r = Mul(Mul(c, point), bar);
  return {r.dual.x, r.dual.y, r.dual.z};
}

// ---------------------------------------------------------------- helpers

using Kernel = void (*)(const SkinCache&, const std::vector<FMATRIX>&, const DualQuaternionPalette&,
                        const std::vector<FVECTOR3>&, std::vector<FVECTOR3>&);
struct NamedKernel {
  const char* name;
  Kernel run;
};
const NamedKernel kKernels[] = {{"simd", SkinPositionsDualQuaternion},
                                {"scalar", SkinPositionsDualQuaternionScalar}};

// A cache of `vertices` written vertices, every pair unused (the identity,
// index `bones`, weight 0).
SkinCache EmptyCache(int vertices, int bones) {
  SkinCache cache;
  cache.prepared = true;
  cache.vertex_count = vertices;
  cache.identity_index = bones;
  cache.written.assign(static_cast<size_t>(vertices), 1);
  cache.index.assign(static_cast<size_t>(vertices) * 4, bones);
  cache.weight.assign(static_cast<size_t>(vertices) * 4, 0.0f);
  return cache;
}
void SetPair(SkinCache& cache, int v, int j, int32_t bone, float w) {
  cache.index[static_cast<size_t>(v) * 4 + static_cast<size_t>(j)] = bone;
  cache.weight[static_cast<size_t>(v) * 4 + static_cast<size_t>(j)] = w;
}

std::vector<FVECTOR3> RunDq(Kernel run, const SkinCache& cache, const std::vector<FMATRIX>& palette,
                            const std::vector<FVECTOR3>& positions) {
  DualQuaternionPalette dq;
  ToDualQuaternions(palette, dq);
  std::vector<FVECTOR3> out(positions.size(), FVECTOR3(-7, -7, -7));
  run(cache, palette, dq, positions, out);
  return out;
}

// ---------------------------------------------------------------- agreement with the reference

TEST(DualQuaternionSkinning, BothKernelsAgreeWithTheDualQuaternionAlgebraOnRandomRigs) {
  // Index widths 32 then 8 or 16 bits (after Compact); rigid bones, then
  // bones with uniform scales.
  struct Case {
    int bones;
    bool scaled;
  };
  for (const Case& c : {Case{20, false}, Case{20, true}, Case{300, false}, Case{300, true}}) {
    SCOPED_TRACE(std::to_string(c.bones) + (c.scaled ? " bones, scaled" : " bones, rigid"));
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::normal_distribution<double> gauss;
    std::vector<Bone> bones(static_cast<size_t>(c.bones));
    for (Bone& b : bones) {
      b.q = Quat{gauss(random), gauss(random), gauss(random), gauss(random)};
      b.q = Scaled(b.q, 1 / std::sqrt(Dot4(b.q, b.q)));
      b.t = Vec{unit(random), unit(random), unit(random)};
      b.s = c.scaled ? 0.5 + 0.75 * (unit(random) + 1) : 1.0;
    }
    std::vector<FMATRIX> palette;
    for (const Bone& b : bones) palette.push_back(MatrixOf(b));
    palette.push_back(FMATRIX::kIdentity);
    const Bone identity{Quat{}, Vec{0, 0, 0}, 1.0};

    const int vertices = 999;
    SkinCache cache = EmptyCache(vertices, c.bones);
    cache.written[3] = 0;
    std::vector<FVECTOR3> positions(static_cast<size_t>(vertices));
    for (int v = 0; v < vertices; ++v) {
      positions[static_cast<size_t>(v)] =
          FVECTOR3(static_cast<float>(unit(random)), static_cast<float>(unit(random)),
                   static_cast<float>(unit(random)));
      const int count = 1 + v % 4;
      float w[4] = {};
      float sum = 0;
      // Every fifth vertex has equal weights: the first of them leads the signs.
      for (int j = 0; j < count; ++j) {
        sum += w[j] = v % 5 == 0 ? 1.0f : static_cast<float>(0.55 + 0.45 * unit(random));
      }
      for (int j = 0; j < count; ++j) {
        // Every pair in a random slot of the four, so the strongest is not always first.
        const int slot = (j + v / 4) % 4;
        const int bone = static_cast<int>(random() % static_cast<uint32_t>(c.bones + 1));
        SetPair(cache, v, slot, bone, w[j] / sum);
      }
    }
    // The reference picks its strongest in slot order, as the kernels do.
    std::vector<std::vector<Influence>> ordered(static_cast<size_t>(vertices));
    for (int v = 0; v < vertices; ++v) {
      for (int slot = 0; slot < 4; ++slot) {
        const int32_t i = cache.IndexAt(static_cast<size_t>(v), slot);
        const float w = cache.weight[static_cast<size_t>(v) * 4 + static_cast<size_t>(slot)];
        if (w == 0.0f) continue;
        ordered[static_cast<size_t>(v)].push_back(
            Influence{i == c.bones ? &identity : &bones[static_cast<size_t>(i)], w});
      }
    }
    for (bool compact : {false, true}) {
      if (compact) cache.Compact();
      for (const NamedKernel& k : kKernels) {
        SCOPED_TRACE(std::string(k.name) + (compact ? ", compact indices" : ", 32-bit indices"));
        const std::vector<FVECTOR3> out = RunDq(k.run, cache, palette, positions);
        double worst = 0;
        for (int v = 0; v < vertices; ++v) {
          if (v == 3) continue;
          const FVECTOR3& p = positions[static_cast<size_t>(v)];
          const Vec r = ReferenceSkin(ordered[static_cast<size_t>(v)], Vec{p.x, p.y, p.z});
          const FVECTOR3& o = out[static_cast<size_t>(v)];
          worst = std::max({worst, std::fabs(o.x - r.x), std::fabs(o.y - r.y), std::fabs(o.z - r.z)});
          ASSERT_NEAR(o.x, r.x, 1e-5) << "vertex " << v;
          ASSERT_NEAR(o.y, r.y, 1e-5) << "vertex " << v;
          ASSERT_NEAR(o.z, r.z, 1e-5) << "vertex " << v;
        }
        EXPECT_EQ(out[3], FVECTOR3(-7, -7, -7)) << "an unwritten vertex is left alone";
        ::testing::Test::RecordProperty(std::string("worst_error_") + k.name, std::to_string(worst));
      }
    }
  }
}

// ---------------------------------------------------------------- candy wrapper

// Area of a ring seen along X (shoelace over y, z).
double RingArea(const std::vector<FVECTOR3>& points, size_t first, int count) {
  double twice = 0;
  for (int i = 0; i < count; ++i) {
    const FVECTOR3& a = points[first + static_cast<size_t>(i)];
    const FVECTOR3& b = points[first + static_cast<size_t>((i + 1) % count)];
    twice += static_cast<double>(a.y) * b.z - static_cast<double>(b.y) * a.z;
  }
  return std::fabs(twice) / 2;
}

TEST(DualQuaternionSkinning, AForearmTwistedHalfATurnKeepsItsWaistWhereLinearBlendingCollapses) {
  // A tube along X from -1 to 1, radius 0.25: the upper arm's bone (0) stays,
  // the forearm's (1) turns 180° about X; weights pass smoothly from one to
  // the other, half and half at the middle ring.
  constexpr int kRings = 21, kAround = 32;
  const float pi = 3.14159265f;
  std::vector<FMATRIX> palette = {
      FMATRIX::kIdentity, FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(1, 0, 0), pi)), FMATRIX::kIdentity};
  SkinCache cache = EmptyCache(kRings * kAround, 2);
  std::vector<FVECTOR3> rest;
  for (int r = 0; r < kRings; ++r) {
    const float x = -1.0f + 2.0f * static_cast<float>(r) / (kRings - 1);
    const float u = (x + 1.0f) / 2.0f;
    const float forearm = u * u * (3.0f - 2.0f * u);
    for (int a = 0; a < kAround; ++a) {
      const float angle = 2.0f * pi * static_cast<float>(a) / kAround;
      const int v = static_cast<int>(rest.size());
      rest.emplace_back(x, 0.25f * std::cos(angle), 0.25f * std::sin(angle));
      SetPair(cache, v, 0, 0, 1.0f - forearm);
      SetPair(cache, v, 1, 1, forearm);
    }
  }
  const size_t middle = static_cast<size_t>(kRings / 2) * kAround;
  const double rest_area = RingArea(rest, middle, kAround);
  std::vector<FVECTOR3> linear;
  SkinPositions(cache, palette, rest, linear);
  const double linear_area = RingArea(linear, middle, kAround);
  for (const NamedKernel& k : kKernels) {
    SCOPED_TRACE(k.name);
    const std::vector<FVECTOR3> dq = RunDq(k.run, cache, palette, rest);
    const double dq_area = RingArea(dq, middle, kAround);
    std::printf(
        "candy wrapper (%s): middle ring area at rest %.6f, dual quaternions %.6f (%+.3f%%), "
        "linear %.6f (%+.3f%%)\n",
        k.name, rest_area, dq_area, 100 * (dq_area / rest_area - 1), linear_area,
        100 * (linear_area / rest_area - 1));
    ::testing::Test::RecordProperty(std::string("dq_area_") + k.name, std::to_string(dq_area));
    EXPECT_LE(std::fabs(dq_area / rest_area - 1), 0.05);
    // Every ring keeps its radius, not only the middle one.
    for (size_t v = 0; v < rest.size(); ++v) {
      ASSERT_NEAR(std::hypot(dq[v].y, dq[v].z), 0.25, 1e-5) << v;
      ASSERT_NEAR(dq[v].x, rest[v].x, 1e-5) << v;
    }
  }
  ::testing::Test::RecordProperty("rest_area", std::to_string(rest_area));
  ::testing::Test::RecordProperty("linear_area", std::to_string(linear_area));
  EXPECT_LT(linear_area, 0.5 * rest_area);
}

// ---------------------------------------------------------------- bones that are not similarities

TEST(DualQuaternionSkinning, AVertexWithABoneThatIsNoSimilarityIsBlendedLinearly) {
  struct Case {
    const char* name;
    FMATRIX bone;
  };
  FMATRIX shear = FMATRIX::kIdentity;
  shear(1, 0) = 0.5f;
  const Case cases[] = {
      {"zero scale", FMATRIX::Scaling(FVECTOR3(0, 0, 0)) * FMATRIX::Translation(FVECTOR3(1, 2, 3))},
      {"negative uniform scale", FMATRIX::Scaling(FVECTOR3(-1, -1, -1))},
      {"mirror", FMATRIX::Scaling(FVECTOR3(1, 1, -1))},
      {"non-uniform scale", FMATRIX::Scaling(FVECTOR3(2, 1, 1))},
      {"shear", shear},
  };
  // Bone 0 turns a quarter about X; vertex 0 shares it with the odd bone
  // (linear), vertex 1 with the identity (still dual quaternions).
  const FMATRIX twist = FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(1, 0, 0), 1.5707964f));
  const std::vector<FVECTOR3> positions = {FVECTOR3(0.5f, 1.0f, 0.0f), FVECTOR3(0.5f, 1.0f, 0.0f)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<FMATRIX> palette = {twist, c.bone, FMATRIX::kIdentity};
    SkinCache cache = EmptyCache(2, 2);
    SetPair(cache, 0, 0, 0, 0.5f);
    SetPair(cache, 0, 1, 1, 0.5f);
    SetPair(cache, 1, 0, 0, 0.5f);
    SetPair(cache, 1, 1, 2, 0.5f);
    std::vector<FVECTOR3> linear;
    SkinPositionsScalar(cache, palette, positions, linear);
    for (const NamedKernel& k : kKernels) {
      SCOPED_TRACE(k.name);
      const std::vector<FVECTOR3> out = RunDq(k.run, cache, palette, positions);
      EXPECT_TRUE(std::isfinite(out[0].x) && std::isfinite(out[0].y) && std::isfinite(out[0].z));
      EXPECT_NEAR(out[0].x, linear[0].x, 1e-6f);
      EXPECT_NEAR(out[0].y, linear[0].y, 1e-6f);
      EXPECT_NEAR(out[0].z, linear[0].z, 1e-6f);
      // Half of a quarter turn keeps the distance from the axis (linear: 0.707).
      EXPECT_NEAR(std::hypot(out[1].y, out[1].z), 1.0f, 1e-5f);
      EXPECT_NEAR(out[1].y, std::cos(0.7853982f), 1e-5f);
    }
  }
}

// ---------------------------------------------------------------- identities and signs

TEST(DualQuaternionSkinning, ASingleBoneMovesItsVerticesExactlyByItsMatrix) {
  const FMATRIX turn = FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(0.3f, -1, 0.5f), 2.5f));
  const struct {
    const char* name;
    FMATRIX m;
  } cases[] = {
      {"identity", FMATRIX::kIdentity},
      {"rotation and translation", turn * FMATRIX::Translation(FVECTOR3(4, -2, 1))},
      {"uniform scale first",
       FMATRIX::Scaling(FVECTOR3(2.5f, 2.5f, 2.5f)) * turn * FMATRIX::Translation(FVECTOR3(-1, 0, 3))},
  };
  std::mt19937 random(5);
  std::uniform_real_distribution<float> unit(-3.0f, 3.0f);
  std::vector<FVECTOR3> positions(17);
  for (FVECTOR3& p : positions) p = FVECTOR3(unit(random), unit(random), unit(random));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Bone 0 in a random slot, alone or with zero-weight pairs beside it.
    SkinCache cache = EmptyCache(17, 1);
    for (int v = 0; v < 17; ++v) SetPair(cache, v, v % 4, 0, 1.0f);
    const std::vector<FMATRIX> palette = {c.m, FMATRIX::kIdentity};
    for (const NamedKernel& k : kKernels) {
      SCOPED_TRACE(k.name);
      const std::vector<FVECTOR3> out = RunDq(k.run, cache, palette, positions);
      for (size_t v = 0; v < positions.size(); ++v) {
        const FVECTOR3 expected = c.m.TransformPoint(positions[v]);
        ASSERT_NEAR(out[v].x, expected.x, 2e-5f) << v;
        ASSERT_NEAR(out[v].y, expected.y, 2e-5f) << v;
        ASSERT_NEAR(out[v].z, expected.z, 2e-5f) << v;
      }
    }
  }
}

TEST(DualQuaternionSkinning, AntipodalQuaternionsBlendAsTheSameRotation) {
  // Bones 0 and 1 are turns of 100° about opposite directions; 2 a third
  // rotation. Negating any stored dual quaternion (the same motion) must not
  // change a vertex, whichever of its influences is the strongest.
  const std::vector<FMATRIX> palette = {FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(1, 0.2f, 0), 1.75f)) *
                                            FMATRIX::Translation(FVECTOR3(0, 1, 0)),
                                        FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(-1, 0, 0.3f), 1.75f)),
                                        FMATRIX::FromQuat(FQUAT::FromAxisAngle(FVECTOR3(0, 0, 1), 2.9f)) *
                                            FMATRIX::Translation(FVECTOR3(2, 0, 0)),
                                        FMATRIX::kIdentity};
  SkinCache cache = EmptyCache(3, 3);
  const float w[3][3] = {{0.5f, 0.3f, 0.2f}, {0.2f, 0.6f, 0.2f}, {0.25f, 0.25f, 0.5f}};
  for (int v = 0; v < 3; ++v) {
    for (int j = 0; j < 3; ++j) SetPair(cache, v, j, j, w[v][j]);
  }
  const std::vector<FVECTOR3> positions = {FVECTOR3(1, 2, 3), FVECTOR3(-1, 0.5f, 2), FVECTOR3(0, -2, 1)};
  DualQuaternionPalette dq;
  ToDualQuaternions(palette, dq);
  for (const NamedKernel& k : kKernels) {
    SCOPED_TRACE(k.name);
    std::vector<FVECTOR3> as_given;
    k.run(cache, palette, dq, positions, as_given);
    for (int negated = 0; negated < 3; ++negated) {
      SCOPED_TRACE(negated);
      DualQuaternionPalette flipped = dq;
      for (int f = 0; f < 8; ++f) flipped.dq[static_cast<size_t>(negated) * 8 + f] *= -1.0f;
      std::vector<FVECTOR3> out;
      k.run(cache, palette, flipped, positions, out);
      for (size_t v = 0; v < positions.size(); ++v) {
        EXPECT_NEAR(out[v].x, as_given[v].x, 1e-5f) << v;
        EXPECT_NEAR(out[v].y, as_given[v].y, 1e-5f) << v;
        EXPECT_NEAR(out[v].z, as_given[v].z, 1e-5f) << v;
      }
    }
  }
}

TEST(DualQuaternionSkinning, AnIdentityPaletteLeavesPointsWhereTheyAre) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> unit(-50.0f, 50.0f);
  SkinCache cache = EmptyCache(10, 3);
  std::vector<FVECTOR3> positions(10);
  for (int v = 0; v < 10; ++v) {
    positions[static_cast<size_t>(v)] = FVECTOR3(unit(random), unit(random), unit(random));
    for (int j = 0; j <= v % 4; ++j) SetPair(cache, v, j, j % 3, 1.0f / static_cast<float>(v % 4 + 1));
  }
  const std::vector<FMATRIX> palette(4, FMATRIX::kIdentity);
  for (const NamedKernel& k : kKernels) {
    SCOPED_TRACE(k.name);
    const std::vector<FVECTOR3> out = RunDq(k.run, cache, palette, positions);
    for (size_t v = 0; v < positions.size(); ++v) EXPECT_EQ(out[v], positions[v]) << v;
  }
}

TEST(DualQuaternionSkinning, AVertexWithoutWeightGoesToTheOriginAsUnderLinearBlending) {
  const std::vector<FMATRIX> palette = {FMATRIX::Translation(FVECTOR3(1, 2, 3)), FMATRIX::kIdentity};
  SkinCache cache = EmptyCache(2, 1);
  SetPair(cache, 1, 0, 0, 1.0f);
  const std::vector<FVECTOR3> positions = {FVECTOR3(4, 5, 6), FVECTOR3(4, 5, 6)};
  std::vector<FVECTOR3> linear;
  SkinPositionsScalar(cache, palette, positions, linear);
  ASSERT_EQ(linear[0], FVECTOR3(0, 0, 0));
  for (const NamedKernel& k : kKernels) {
    SCOPED_TRACE(k.name);
    const std::vector<FVECTOR3> out = RunDq(k.run, cache, palette, positions);
    EXPECT_EQ(out[0], FVECTOR3(0, 0, 0));
    EXPECT_NEAR(out[1].x, 5.0f, 1e-6f);
  }
}

TEST(DualQuaternionSkinning, APaletteThatDoesNotMatchItsConversionWritesNothing) {
  const std::vector<FMATRIX> palette = {FMATRIX::Translation(FVECTOR3(1, 2, 3)), FMATRIX::kIdentity};
  SkinCache cache = EmptyCache(1, 1);
  SetPair(cache, 0, 0, 0, 1.0f);
  DualQuaternionPalette dq;
  ToDualQuaternions({FMATRIX::kIdentity}, dq);
  for (const NamedKernel& k : kKernels) {
    SCOPED_TRACE(k.name);
    std::vector<FVECTOR3> out(1, FVECTOR3(-7, -7, -7));
    k.run(cache, palette, dq, {FVECTOR3(4, 5, 6)}, out);
    EXPECT_EQ(out[0], FVECTOR3(-7, -7, -7));
  }
}

}  // namespace
