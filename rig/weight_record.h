#pragma once
// Operations on one 36-byte weight record (a vertex's bone weights, a weight
// palette or the palette clipboard). They touch nothing but the record; the
// colour update asks the caller for the bones' colours.
//
// The count field has seven bits but the record has room for four entries.
// Data from the host or another plug-in may carry a larger count: it is read
// as 4 everywhere, and every operation that changes the entries stores the
// count it actually used.
#include <cstdint>
#include <functional>

#include "math/fmath.h"
#include "rig/records.h"

namespace quorvel {

// A weight whose magnitude is below this removes the bone's entry, and a
// weight sum below it is not normalised. The comparison is made against the
// decimal 0.0002 in double precision: the float nearest to it (0.0002f) lies
// just below and counts as below, so two weights of 0.0001 stay as they are.
constexpr double kWeightRemoveThreshold = 0.0002;

// byte 0 := valid with no entries; other bytes untouched.
void Init(VWeight& rec);
bool IsValid(const VWeight& rec);
// One entry (id, 1.0); the valid bit is kept.
void SetOwn(VWeight& rec, int32_t id);
// Entries in use, 0..4.
int Count(const VWeight& rec);
// Position of the bone's entry, or -1.
int FindBone(const VWeight& rec, int32_t id);
// |w| below the threshold removes the bone (and answers RemoveBone's result);
// otherwise the bone's weight is set, or it is appended while there is room.
// A fifth bone is ignored. True unless a removal found nothing to remove.
bool SetWeight(VWeight& rec, int32_t id, float w);
// Removes the entry of the bone / at position i; later entries move down.
bool RemoveBone(VWeight& rec, int32_t id);
bool RemoveAt(VWeight& rec, int i);
// One entry becomes 1.0; two or more are scaled by the single-precision
// reciprocal of their single-precision sum, unless that sum is below the
// threshold.
void Normalize(VWeight& rec);
// Count and all four entries of src; dst keeps its valid bit and colour.
void CopyEntries(VWeight& dst, const VWeight& src);
// Makes a record that came from outside obey the record's rules: the
// count is stored as at most 4, and of several entries for one bone only the
// first stays.
void Sanitize(VWeight& rec);
// The same, except that several entries for one bone become one entry at the
// first one's place with their weights summed, so that the record still
// means what its sender meant.
void MergeRepeatedBones(VWeight& rec);

// The display colour as drawing takes it: 0xFF000000 | b << 16 | g << 8 | r.
uint32_t PackedDisplayColour(const VWeight& rec);

// The weight colour of the bone with this unique id, when the bone object
// exists, has a bone record and shows its weights (OB_WEIGHTSHOW); false
// otherwise, and the entry then adds nothing.
using BoneColourLookup = std::function<bool(int32_t bone, UCOLOR* colour)>;

// Bytes 1..3 := the sum over all entries of the bone colour times the weight,
// each channel truncated toward zero after every addition and finally
// clamped to 0..255.
void UpdateColourAllBones(VWeight& rec, const BoneColourLookup& bone_colour);
// Bytes 1..3 := the current object's colour times its weight (truncated and
// clamped), or 0 when the current object is not a shown bone of the record
// with a positive weight.
void UpdateColourCurrentObject(VWeight& rec, int32_t current_object,
                               const BoneColourLookup& bone_colour);

}  // namespace quorvel
