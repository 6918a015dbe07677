#pragma once
// Vector, quaternion, matrix and colour value types shared by the whole plug-in.
//
// Convention: points and directions are ROW vectors multiplied on the left of a
// matrix, p' = (x, y, z, 1)·M and d' = (x, y, z, 0)·M. The translation of a
// matrix is therefore row 3 (m[12..14]), and the product A·B applies A first,
// then B. Element (row r, column c) is m[4r + c]. Rotations by a positive angle
// follow the right-hand rule (about +Z, +X turns towards +Y); the one exception
// is FMATRIX::RotationZ, which is defined by its rows.
//
// Every stored component is a single-precision float. The types travel inside
// host user-data records, so their sizes and component order are a stored
// format and are pinned by the static_asserts at the end of this header.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

struct FMATRIX;

// ---------------------------------------------------------------------------
// FVECTOR2

struct FVECTOR2 {
  float x = 0.0f;
  float y = 0.0f;

  constexpr FVECTOR2() = default;
  constexpr FVECTOR2(float px, float py) : x(px), y(py) {}

  static const FVECTOR2 kZero;

  constexpr FVECTOR2 operator-() const { return {-x, -y}; }
  constexpr FVECTOR2& operator+=(const FVECTOR2& o) { x += o.x; y += o.y; return *this; }
  constexpr FVECTOR2& operator-=(const FVECTOR2& o) { x -= o.x; y -= o.y; return *this; }
  constexpr FVECTOR2& operator*=(float s) { x *= s; y *= s; return *this; }
  constexpr FVECTOR2& operator/=(float s) { x /= s; y /= s; return *this; }

  constexpr FVECTOR2 MulEach(const FVECTOR2& o) const { return {x * o.x, y * o.y}; }
  constexpr FVECTOR2 DivEach(const FVECTOR2& o) const { return {x / o.x, y / o.y}; }

  constexpr float LengthSq() const { return x * x + y * y; }
  float Length() const { return std::sqrt(LengthSq()); }
};

constexpr FVECTOR2 operator+(FVECTOR2 a, const FVECTOR2& b) { return a += b; }
constexpr FVECTOR2 operator-(FVECTOR2 a, const FVECTOR2& b) { return a -= b; }
constexpr FVECTOR2 operator*(FVECTOR2 a, float s) { return a *= s; }
constexpr FVECTOR2 operator*(float s, FVECTOR2 a) { return a *= s; }
constexpr FVECTOR2 operator/(FVECTOR2 a, float s) { return a /= s; }
constexpr bool operator==(const FVECTOR2& a, const FVECTOR2& b) { return a.x == b.x && a.y == b.y; }
constexpr bool operator!=(const FVECTOR2& a, const FVECTOR2& b) { return !(a == b); }

constexpr float Dot(const FVECTOR2& a, const FVECTOR2& b) { return a.x * b.x + a.y * b.y; }
constexpr FVECTOR2 Min(const FVECTOR2& a, const FVECTOR2& b) {
  return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y};
}
constexpr FVECTOR2 Max(const FVECTOR2& a, const FVECTOR2& b) {
  return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y};
}
constexpr FVECTOR2 Clamp(const FVECTOR2& v, const FVECTOR2& lo, const FVECTOR2& hi) {
  return Min(Max(v, lo), hi);
}

// ---------------------------------------------------------------------------
// FVECTOR3

struct FVECTOR3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr FVECTOR3() = default;
  constexpr FVECTOR3(float px, float py, float pz) : x(px), y(py), z(pz) {}
  constexpr explicit FVECTOR3(const FVECTOR2& v) : x(v.x), y(v.y), z(0.0f) {}

  static const FVECTOR3 kZero;

  constexpr FVECTOR3 operator-() const { return {-x, -y, -z}; }
  constexpr FVECTOR3& operator+=(const FVECTOR3& o) { x += o.x; y += o.y; z += o.z; return *this; }
  constexpr FVECTOR3& operator-=(const FVECTOR3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  constexpr FVECTOR3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
  constexpr FVECTOR3& operator/=(float s) { x /= s; y /= s; z /= s; return *this; }

  constexpr FVECTOR3 MulEach(const FVECTOR3& o) const { return {x * o.x, y * o.y, z * o.z}; }
  constexpr FVECTOR3 DivEach(const FVECTOR3& o) const { return {x / o.x, y / o.y, z / o.z}; }

  constexpr float LengthSq() const { return x * x + y * y + z * z; }
  float Length() const { return std::sqrt(LengthSq()); }

  // Unit length, or (0, 0, 1) when shorter than 0.0001: a degenerate direction
  // still has to point somewhere, and callers rely on never getting a NaN.
  void Normalize() {
    const float len = Length();
    if (len >= 0.0001f) {
      const float inv = 1.0f / len;
      x *= inv;
      y *= inv;
      z *= inv;
    } else {
      *this = FVECTOR3(0.0f, 0.0f, 1.0f);
    }
  }
  FVECTOR3 Normalized() const {
    FVECTOR3 v = *this;
    v.Normalize();
    return v;
  }
};

constexpr FVECTOR3 operator+(FVECTOR3 a, const FVECTOR3& b) { return a += b; }
constexpr FVECTOR3 operator-(FVECTOR3 a, const FVECTOR3& b) { return a -= b; }
constexpr FVECTOR3 operator*(FVECTOR3 a, float s) { return a *= s; }
constexpr FVECTOR3 operator*(float s, FVECTOR3 a) { return a *= s; }
constexpr FVECTOR3 operator/(FVECTOR3 a, float s) { return a /= s; }
constexpr bool operator==(const FVECTOR3& a, const FVECTOR3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}
constexpr bool operator!=(const FVECTOR3& a, const FVECTOR3& b) { return !(a == b); }

constexpr float Dot(const FVECTOR3& a, const FVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr FVECTOR3 Cross(const FVECTOR3& a, const FVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
constexpr FVECTOR3 Min(const FVECTOR3& a, const FVECTOR3& b) {
  return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}
constexpr FVECTOR3 Max(const FVECTOR3& a, const FVECTOR3& b) {
  return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}
constexpr FVECTOR3 Clamp(const FVECTOR3& v, const FVECTOR3& lo, const FVECTOR3& hi) {
  return Min(Max(v, lo), hi);
}

// ---------------------------------------------------------------------------
// FVECTOR4

struct FVECTOR4 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 0.0f;

  constexpr FVECTOR4() = default;
  constexpr FVECTOR4(float px, float py, float pz, float pw) : x(px), y(py), z(pz), w(pw) {}
  // A bare FVECTOR3 becomes a direction (w = 0).
  constexpr explicit FVECTOR4(const FVECTOR3& v) : x(v.x), y(v.y), z(v.z), w(0.0f) {}
  constexpr FVECTOR4(const FVECTOR3& v, float pw) : x(v.x), y(v.y), z(v.z), w(pw) {}

  static const FVECTOR4 kZero;

  constexpr FVECTOR3 Xyz() const { return {x, y, z}; }

  constexpr FVECTOR4 operator-() const { return {-x, -y, -z, -w}; }
  constexpr FVECTOR4& operator+=(const FVECTOR4& o) {
    x += o.x; y += o.y; z += o.z; w += o.w;
    return *this;
  }
  constexpr FVECTOR4& operator-=(const FVECTOR4& o) {
    x -= o.x; y -= o.y; z -= o.z; w -= o.w;
    return *this;
  }
  constexpr FVECTOR4& operator*=(float s) { x *= s; y *= s; z *= s; w *= s; return *this; }
  constexpr FVECTOR4& operator/=(float s) { x /= s; y /= s; z /= s; w /= s; return *this; }

  constexpr FVECTOR4 MulEach(const FVECTOR4& o) const { return {x * o.x, y * o.y, z * o.z, w * o.w}; }
  constexpr FVECTOR4 DivEach(const FVECTOR4& o) const { return {x / o.x, y / o.y, z / o.z, w / o.w}; }

  constexpr float LengthSq() const { return x * x + y * y + z * z + w * w; }
  float Length() const { return std::sqrt(LengthSq()); }
};

constexpr FVECTOR4 operator+(FVECTOR4 a, const FVECTOR4& b) { return a += b; }
constexpr FVECTOR4 operator-(FVECTOR4 a, const FVECTOR4& b) { return a -= b; }
constexpr FVECTOR4 operator*(FVECTOR4 a, float s) { return a *= s; }
constexpr FVECTOR4 operator*(float s, FVECTOR4 a) { return a *= s; }
constexpr FVECTOR4 operator/(FVECTOR4 a, float s) { return a /= s; }
constexpr bool operator==(const FVECTOR4& a, const FVECTOR4& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
constexpr bool operator!=(const FVECTOR4& a, const FVECTOR4& b) { return !(a == b); }

constexpr float Dot(const FVECTOR4& a, const FVECTOR4& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
constexpr FVECTOR4 Min(const FVECTOR4& a, const FVECTOR4& b) {
  return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z, a.w < b.w ? a.w : b.w};
}
constexpr FVECTOR4 Max(const FVECTOR4& a, const FVECTOR4& b) {
  return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z, a.w > b.w ? a.w : b.w};
}
constexpr FVECTOR4 Clamp(const FVECTOR4& v, const FVECTOR4& lo, const FVECTOR4& hi) {
  return Min(Max(v, lo), hi);
}

// ---------------------------------------------------------------------------
// FQUAT: vector part first, scalar w last; default-constructed to the identity.

struct FQUAT {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 1.0f;

  constexpr FQUAT() = default;
  constexpr FQUAT(float px, float py, float pz, float pw) : x(px), y(py), z(pz), w(pw) {}

  static const FQUAT kIdentity;
  static const FQUAT kZero;

  // Rotation by `radians` about `axis` (right-hand rule). An axis whose
  // |x|+|y|+|z| is below 0.0002 is taken as +Z.
  static FQUAT FromAxisAngle(const FVECTOR3& axis, float radians);
  // Reads the 3x3 block only; the result is not normalised.
  static FQUAT FromMatrix(const FMATRIX& m);

  constexpr float NormSq() const { return x * x + y * y + z * z + w * w; }

  // Unit norm, or the identity when the squared norm is below 0.0002.
  void Normalize() {
    const float n = NormSq();
    if (n >= 0.0002f) {
      const float inv = 1.0f / std::sqrt(n);
      x *= inv;
      y *= inv;
      z *= inv;
      w *= inv;
    } else {
      *this = FQUAT();
    }
  }
  FQUAT Normalized() const {
    FQUAT q = *this;
    q.Normalize();
    return q;
  }
  // Works for non-unit quaternions too; the identity when the squared norm is
  // below 0.0002.
  constexpr FQUAT Inverse() const {
    const float n = NormSq();
    if (n >= 0.0002f) return {-x / n, -y / n, -z / n, w / n};
    return FQUAT();
  }

  constexpr FQUAT& operator*=(const FQUAT& q);
};

// p·q is the rotation p followed by q: matrix(p·q) == matrix(p)·matrix(q).
constexpr FQUAT operator*(const FQUAT& p, const FQUAT& q) {
  return {q.w * p.x + p.w * q.x + q.y * p.z - q.z * p.y,
          q.w * p.y + p.w * q.y + p.x * q.z - q.x * p.z,
          q.w * p.z + p.w * q.z + q.x * p.y - p.x * q.y,
          p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
}
constexpr FQUAT& FQUAT::operator*=(const FQUAT& q) { return *this = *this * q; }
constexpr bool operator==(const FQUAT& a, const FQUAT& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}
constexpr bool operator!=(const FQUAT& a, const FQUAT& b) { return !(a == b); }

// ---------------------------------------------------------------------------
// FMATRIX: 16 floats row by row; default-constructed to the identity.

struct FMATRIX {
  float m[16];

  constexpr FMATRIX() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}
  constexpr FMATRIX(float m00, float m01, float m02, float m03,
                    float m10, float m11, float m12, float m13,
                    float m20, float m21, float m22, float m23,
                    float m30, float m31, float m32, float m33)
      : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

  static const FMATRIX kIdentity;
  static const FMATRIX kZero;

  constexpr float operator()(int r, int c) const { return m[4 * r + c]; }
  constexpr float& operator()(int r, int c) { return m[4 * r + c]; }

  // Identity with translation t.
  static constexpr FMATRIX Translation(const FVECTOR3& t) {
    FMATRIX r;
    r.m[12] = t.x;
    r.m[13] = t.y;
    r.m[14] = t.z;
    return r;
  }
  // Identity with the diagonal (s.x, s.y, s.z, 1).
  static constexpr FMATRIX Scaling(const FVECTOR3& s) {
    FMATRIX r;
    r.m[0] = s.x;
    r.m[5] = s.y;
    r.m[10] = s.z;
    return r;
  }
  // Rows (cos t, -sin t) and (sin t, cos t): unlike the quaternion rotations
  // this turns +X towards -Y for a positive t. t is first wrapped into [-pi, pi).
  static FMATRIX RotationZ(float radians);
  // Rotation taking unit direction a to unit direction b about a × b; opposite
  // directions turn about +Z.
  static FMATRIX RotationBetween(const FVECTOR3& a, const FVECTOR3& b);
  // q need not be normalised; it is used as given.
  static FMATRIX FromQuat(const FQUAT& q);
  // T(-pivot)·m·T(pivot): m performed about the point `pivot`.
  static FMATRIX AboutPivot(const FMATRIX& m, const FVECTOR3& pivot);

  constexpr FVECTOR3 TransformPoint(const FVECTOR3& p) const {
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
            p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
  }
  constexpr FVECTOR3 TransformDirection(const FVECTOR3& d) const {
    return {d.x * m[0] + d.y * m[4] + d.z * m[8],
            d.x * m[1] + d.y * m[5] + d.z * m[9],
            d.x * m[2] + d.y * m[6] + d.z * m[10]};
  }
  constexpr FVECTOR4 Transform(const FVECTOR4& v) const {
    return {v.x * m[0] + v.y * m[4] + v.z * m[8] + v.w * m[12],
            v.x * m[1] + v.y * m[5] + v.z * m[9] + v.w * m[13],
            v.x * m[2] + v.y * m[6] + v.z * m[10] + v.w * m[14],
            v.x * m[3] + v.y * m[7] + v.z * m[11] + v.w * m[15]};
  }

  constexpr FVECTOR3 GetTranslation() const { return {m[12], m[13], m[14]}; }
  constexpr void SetTranslation(const FVECTOR3& t) {
    m[12] = t.x;
    m[13] = t.y;
    m[14] = t.z;
  }
  constexpr FVECTOR4 GetRow(int i) const { return {m[4 * i], m[4 * i + 1], m[4 * i + 2], m[4 * i + 3]}; }
  constexpr void SetRow(int i, const FVECTOR4& v) {
    m[4 * i] = v.x;
    m[4 * i + 1] = v.y;
    m[4 * i + 2] = v.z;
    m[4 * i + 3] = v.w;
  }
  constexpr FVECTOR3 GetColumn(int i) const { return {m[i], m[i + 4], m[i + 8]}; }

  // *this becomes *this · Scaling(s): the scale is applied after this matrix.
  constexpr void ScaleBy(const FVECTOR3& s) {
    for (int r = 0; r < 4; ++r) {
      m[4 * r] *= s.x;
      m[4 * r + 1] *= s.y;
      m[4 * r + 2] *= s.z;
    }
  }

  constexpr FMATRIX Transposed() const {
    FMATRIX t;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) t.m[4 * c + r] = m[4 * r + c];
    return t;
  }

  constexpr float Determinant3x3() const {
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
  }

  // Affine inverse by cofactors over the 3x3 determinant, with (3,3) forced to
  // 1. Exact for matrices whose column 3 is (0,0,0,1). When the 3x3 block is
  // singular the matrix is returned unchanged: callers never get an error.
  FMATRIX Inverse() const;
  // Columns 0-2 normalised (FVECTOR3 rule), column 3 (0,0,0,1), no translation.
  FMATRIX NormalizedAxes() const;
  // *this becomes AboutPivot(m, pivot) · *this.
  void PremultiplyAboutPivot(const FMATRIX& pivot_transform, const FVECTOR3& pivot);

  constexpr FMATRIX& operator*=(const FMATRIX& b);
};

constexpr FMATRIX operator*(const FMATRIX& a, const FMATRIX& b) {
  FMATRIX r;
  for (int i = 0; i < 4; ++i) {
    const float* ar = a.m + 4 * i;
    for (int c = 0; c < 4; ++c) {
      r.m[4 * i + c] = ar[0] * b.m[c] + ar[1] * b.m[4 + c] + ar[2] * b.m[8 + c] + ar[3] * b.m[12 + c];
    }
  }
  return r;
}
constexpr FMATRIX& FMATRIX::operator*=(const FMATRIX& b) { return *this = *this * b; }
constexpr bool operator==(const FMATRIX& a, const FMATRIX& b) {
  for (int i = 0; i < 16; ++i)
    if (a.m[i] != b.m[i]) return false;
  return true;
}
constexpr bool operator!=(const FMATRIX& a, const FMATRIX& b) { return !(a == b); }

// ---------------------------------------------------------------------------
// UCOLOR: four bytes r, g, b, a; alpha defaults to opaque.

struct UCOLOR {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 255;

  constexpr UCOLOR() = default;
  constexpr UCOLOR(std::uint8_t pr, std::uint8_t pg, std::uint8_t pb, std::uint8_t pa = 255)
      : r(pr), g(pg), b(pb), a(pa) {}

  static constexpr std::uint8_t ClampChannel(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  // Each channel clamped to [0, 255].
  static constexpr UCOLOR Clamped(int pr, int pg, int pb, int pa = 255) {
    return {ClampChannel(pr), ClampChannel(pg), ClampChannel(pb), ClampChannel(pa)};
  }
};

// Per channel (alpha included), clamped to 255.
constexpr UCOLOR operator+(const UCOLOR& p, const UCOLOR& q) {
  return UCOLOR::Clamped(p.r + q.r, p.g + q.g, p.b + q.b, p.a + q.a);
}
// Per channel (alpha included): float product truncated toward zero, then
// clamped to [0, 255].
UCOLOR operator*(const UCOLOR& c, float f);
constexpr bool operator==(const UCOLOR& p, const UCOLOR& q) {
  return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
}
constexpr bool operator!=(const UCOLOR& p, const UCOLOR& q) { return !(p == q); }

// ---------------------------------------------------------------------------
// Shared constants (constant-initialised, so usable during static start-up).

inline constexpr FVECTOR2 FVECTOR2::kZero{};
inline constexpr FVECTOR3 FVECTOR3::kZero{};
inline constexpr FVECTOR4 FVECTOR4::kZero{};
inline constexpr FQUAT FQUAT::kIdentity{};
inline constexpr FQUAT FQUAT::kZero{0.0f, 0.0f, 0.0f, 0.0f};
inline constexpr FMATRIX FMATRIX::kIdentity{};
inline constexpr FMATRIX FMATRIX::kZero{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// ---------------------------------------------------------------------------
// Free helpers

inline FMATRIX FMATRIX::FromQuat(const FQUAT& q) {
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  return {1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w), 0.0f,
          2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w), 0.0f,
          2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y), 0.0f,
          0.0f, 0.0f, 0.0f, 1.0f};
}

// Unit length by division, or the zero vector for a vector of length 0 (no
// fallback direction, unlike Normalized).
inline FVECTOR3 UnitOrZero(const FVECTOR3& v) {
  const float length = v.Length();
  return length > 0.0f ? v / length : FVECTOR3();
}

// The angle moved into [-pi, pi) by whole turns.
float WrapAngle(float radians);

// normalise((b - a) × (c - b)) with the FVECTOR3 rule: counter-clockwise
// triangles seen from +Z face +Z; degenerate ones give (0, 0, 1).
inline FVECTOR3 TriangleNormal(const FVECTOR3& a, const FVECTOR3& b, const FVECTOR3& c) {
  return Cross(b - a, c - b).Normalized();
}

// Twice the signed area of a 2D triangle; positive when counter-clockwise.
constexpr float TriangleArea2x(float x1, float y1, float x2, float y2, float x3, float y3) {
  return x1 * y2 + x2 * y3 + x3 * y1 - x1 * y3 - x2 * y1 - y2 * x3;
}
constexpr float TriangleArea2x(const FVECTOR2& p1, const FVECTOR2& p2, const FVECTOR2& p3) {
  return TriangleArea2x(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y);
}

// lo + rand() mod (hi - lo + 1) with the C library generator (std::srand seeds
// it); the bounds are swapped when hi < lo.
int RandomInt(int lo, int hi);

// ---------------------------------------------------------------------------
// Stored layout

static_assert(sizeof(FVECTOR2) == 8, "FVECTOR2 is a stored format");
static_assert(sizeof(FVECTOR3) == 12, "FVECTOR3 is a stored format");
static_assert(sizeof(FVECTOR4) == 16, "FVECTOR4 is a stored format");
static_assert(sizeof(FQUAT) == 16, "FQUAT is a stored format");
static_assert(sizeof(FMATRIX) == 64, "FMATRIX is a stored format");
static_assert(sizeof(UCOLOR) == 4, "UCOLOR is a stored format");

static_assert(std::is_trivially_copyable_v<FVECTOR2> && std::is_standard_layout_v<FVECTOR2>);
static_assert(std::is_trivially_copyable_v<FVECTOR3> && std::is_standard_layout_v<FVECTOR3>);
static_assert(std::is_trivially_copyable_v<FVECTOR4> && std::is_standard_layout_v<FVECTOR4>);
static_assert(std::is_trivially_copyable_v<FQUAT> && std::is_standard_layout_v<FQUAT>);
static_assert(std::is_trivially_copyable_v<FMATRIX> && std::is_standard_layout_v<FMATRIX>);
static_assert(std::is_trivially_copyable_v<UCOLOR> && std::is_standard_layout_v<UCOLOR>);

static_assert(offsetof(FVECTOR2, x) == 0 && offsetof(FVECTOR2, y) == 4);
static_assert(offsetof(FVECTOR3, x) == 0 && offsetof(FVECTOR3, y) == 4 && offsetof(FVECTOR3, z) == 8);
static_assert(offsetof(FVECTOR4, x) == 0 && offsetof(FVECTOR4, y) == 4 && offsetof(FVECTOR4, z) == 8 &&
              offsetof(FVECTOR4, w) == 12);
static_assert(offsetof(FQUAT, x) == 0 && offsetof(FQUAT, y) == 4 && offsetof(FQUAT, z) == 8 &&
              offsetof(FQUAT, w) == 12);
static_assert(offsetof(FMATRIX, m) == 0);
static_assert(offsetof(UCOLOR, r) == 0 && offsetof(UCOLOR, g) == 1 && offsetof(UCOLOR, b) == 2 &&
              offsetof(UCOLOR, a) == 3);
