#pragma once
// An object's local transform as the host stores it (scale, rotation angles,
// translation) and the matrix it stands for.
//
// Rotation order: the angles (x, y, z), in degrees, turn about the fixed X axis
// first, then Y, then Z. With the row-vector convention of math/fmath.h the
// matrix is
//     M = S · Rx · Ry · Rz · T
// and a positive angle follows the right-hand rule: about +X, +Y turns toward
// +Z; about +Y, +Z toward +X; about +Z, +X toward +Y.
//
// Decomposition reads the scale as the lengths of rows 0-2 (a reflection,
// det < 0, is put into a negative x scale) and the translation as row 3. The
// angles come back with x and z in (-180, 180] and y in [-90, 90]. At y = ±90
// only x ± z is determined; the x angle is then 0 and z carries the whole
// turn. Compose(Decompose(M)) reproduces M for every M = S·R·T with non-zero
// scale; shear, which no LocalTransform can express, is dropped.
#include "math/fmath.h"

namespace mqhost {

struct LocalTransform {
  FVECTOR3 scale{1.0f, 1.0f, 1.0f};
  FVECTOR3 rotation{0.0f, 0.0f, 0.0f};  // degrees, order above
  FVECTOR3 translation{0.0f, 0.0f, 0.0f};
};

FMATRIX ComposeTransform(const LocalTransform& t);

// A zero scale leaves its axis' direction undetermined: it is rebuilt from the
// other two axes (or, with two or more zero scales, taken as unrotated), so
// the result never holds a NaN.
LocalTransform DecomposeTransform(const FMATRIX& m);

// Codes of MQMatrix_FloatValue.
enum MatrixValueCode : int {
  kMatrixGetScale = 0x101,        // values[0..2] = scale
  kMatrixGetRotation = 0x102,     // values[0..2] = angles in degrees
  kMatrixGetTranslation = 0x103,  // values[0..2] = translation
  kMatrixSetTransform = 0x204,    // matrix = Compose(values[0..8]: scale, angles, translation)
};

// MQMatrix_FloatValue: matrix16 is 16 floats row by row. An unknown code or a
// null pointer does nothing.
void MatrixFloatValue(float* matrix16, int code, float* values);

}  // namespace mqhost
