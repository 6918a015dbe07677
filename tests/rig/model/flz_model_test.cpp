// The flattened rendering model: the layout other plug-ins read in place, and
// ownership of the host objects it carries.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "host/core/host.h"
#include "rig/flz_model.h"
#include "tests/support/host_fixture.h"

namespace {

// The fields as a receiving plug-in reads them from the object's bytes: after
// the pointer to the table of virtual operations come three int32 and two
// pointers, each at its natural alignment.
struct ReadInPlace {
  int32_t built;
  int32_t object_count;
  int32_t material_count;
  MQObject* objects;
  MQMaterial* materials;
};

constexpr std::size_t kPointer = sizeof(void*);
constexpr std::size_t kObjectsOffset = (kPointer + 12 + kPointer - 1) / kPointer * kPointer;

ReadInPlace Read(const FLZMODEL& model) {
  unsigned char bytes[sizeof(FLZMODEL)];
  std::memcpy(bytes, static_cast<const void*>(&model), sizeof bytes);
  ReadInPlace r;
  std::memcpy(&r.built, bytes + kPointer, 4);
  std::memcpy(&r.object_count, bytes + kPointer + 4, 4);
  std::memcpy(&r.material_count, bytes + kPointer + 8, 4);
  std::memcpy(&r.objects, bytes + kObjectsOffset, kPointer);
  std::memcpy(&r.materials, bytes + kObjectsOffset + kPointer, kPointer);
  return r;
}

bool IsLiveFreeObject(MQObject obj) {
  return mqhost::Host::Instance().IsFreeObject(mqhost::ToObject(obj));
}

using FlzModelTest = HostTest;

TEST_F(FlzModelTest, LayoutIsTheOneOtherPluginsRead) {
  static_assert(sizeof(FLZMODEL) == kObjectsOffset + 2 * kPointer, "no field beyond the five");
  static_assert(kObjectsOffset == MQEditionSize(16, 24), "the arrays' place in each edition");

  FLZMODEL model;
  ReadInPlace fresh = Read(model);
  EXPECT_EQ(fresh.built, 0);
  EXPECT_EQ(fresh.object_count, 0);
  EXPECT_EQ(fresh.material_count, 0);
  EXPECT_EQ(fresh.objects, nullptr);
  EXPECT_EQ(fresh.materials, nullptr);

  MQObject first = model.AddModelObject();
  MQObject second = model.AddModelObject();
  model.SetBuilt(true);
  ReadInPlace filled = Read(model);
  EXPECT_EQ(filled.built, 1);
  ASSERT_EQ(filled.object_count, 2);
  EXPECT_EQ(filled.material_count, 0);
  ASSERT_NE(filled.objects, nullptr);
  EXPECT_EQ(filled.objects[0], first);
  EXPECT_EQ(filled.objects[1], second);
  EXPECT_EQ(filled.materials, nullptr);

  model.SetBuilt(false);
  EXPECT_EQ(Read(model).built, 0);
}

TEST_F(FlzModelTest, AddModelObjectGrowsByOneAndKeepsEarlierObjects) {
  FLZMODEL model;
  std::vector<MQObject> added;
  for (int i = 0; i < 5; ++i) {
    added.push_back(model.AddModelObject());
    ASSERT_NE(added.back(), nullptr);
    ASSERT_EQ(model.ObjectCount(), i + 1);
    EXPECT_TRUE(IsLiveFreeObject(added.back())) << "a fresh host object in no document";
    for (int k = 0; k <= i; ++k) EXPECT_EQ(model.ObjectAt(k), added[static_cast<std::size_t>(k)]);
  }
  for (std::size_t k = 1; k < added.size(); ++k) EXPECT_NE(added[k], added[k - 1]);
  EXPECT_EQ(model.ObjectAt(-1), nullptr);
  EXPECT_EQ(model.ObjectAt(5), nullptr);
  EXPECT_EQ(model.MaterialCount(), 0);
  EXPECT_EQ(model.MaterialAt(0), nullptr);
  EXPECT_FALSE(model.built());
}

TEST_F(FlzModelTest, DestructionDeletesTheHostObjectsItOwnsAndNothingElse) {
  MQObject bystander = HostApi().MQ_CreateObject();  // owned by no model
  MQObject in_document = AddObject("kept");

  // An empty model destroyed at once frees only itself.
  std::make_unique<FLZMODEL>().reset();
  EXPECT_TRUE(IsLiveFreeObject(bystander));

  std::vector<MQObject> owned;
  {
    auto model = std::make_unique<FLZMODEL>();
    for (int i = 0; i < 3; ++i) owned.push_back(model->AddModelObject());
    for (MQObject obj : owned) ASSERT_TRUE(IsLiveFreeObject(obj));
  }
  for (MQObject obj : owned) EXPECT_FALSE(IsLiveFreeObject(obj)) << "deleted with the model";
  EXPECT_TRUE(IsLiveFreeObject(bystander));
  EXPECT_EQ(HostApi().MQDoc_GetObject(doc_, 0), in_document);

  HostApi().MQObj_Delete(bystander);
}

}  // namespace
