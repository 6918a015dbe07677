// The rendering model as a plug-in built with the vendor's compiler destroys
// it: slot 0 of its table called the way that compiler calls a virtual
// destructor (the flag pushed, `this` in ECX, the callee popping the flag),
// with flag 1 and flag 0. The host objects must go exactly once, the memory
// exactly once with flag 1 and not at all with flag 0, and the stack must
// come back balanced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "main/user_messages.h"
#include "rig/flz_model.h"
#include "tests/support/host_fixture.h"

// Frees of one watched address, counted across the whole program.
namespace {
const void* g_watched = nullptr;
int g_watched_frees = 0;
void CountFree(void* p) {
  if (p != nullptr && p == g_watched) ++g_watched_frees;
}
}  // namespace

// The library's operator new takes memory from malloc, so the replacements
// give it back with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  CountFree(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  CountFree(p);
  std::free(p);
}
#pragma GCC diagnostic pop

namespace {

// A call as the vendor's compiler emits `delete p` on a polymorphic object
// (flag 1) or an explicit destructor call (flag 0): the flag pushed, `this`
// in ECX, the callee removing the flag. Answers how far the stack pointer
// moved across the call: 0 when the callee cleaned up as it must.
int CallLikeVendorCompiler(const void* slot, void* self, unsigned int flag) {
  int moved = 0;
  // `this` and the flag are taken before the push moves the stack pointer,
  // which memory operands may be addressed by. `moved` and `slot` sit in
  // registers every convention preserves across a call.
  asm volatile(
      "movl %%esp, %[moved]\n\t"
      "movl %[self], %%ecx\n\t"
      "pushl %[flag]\n\t"
      "call *%[slot]\n\t"
      "subl %%esp, %[moved]\n\t"
      "addl %[moved], %%esp\n\t"
      : [moved] "=&S"(moved)
      : [flag] "g"(flag), [self] "g"(self), [slot] "D"(slot)
      : "eax", "ecx", "edx", "memory", "cc");
  return moved;
}

// Slot 0 of the object's table, read from the object's bytes as a receiver
// reads it.
const void* SlotZero(const void* object) {
  const void* const* table = *static_cast<const void* const* const*>(object);
  return table[0];
}

int g_deleted_objects = 0;
void(MQAPICALL* g_host_delete)(MQObject) = nullptr;
void MQAPICALL CountingDelete(MQObject obj) {
  ++g_deleted_objects;
  g_host_delete(obj);
}

class RenderingModelAbi : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_host_delete = HostApi().MQObj_Delete;
    HostApi().MQObj_Delete = &CountingDelete;
    g_deleted_objects = 0;
    g_watched_frees = 0;
  }
  void TearDown() override {
    HostApi().MQObj_Delete = g_host_delete;
    g_watched = nullptr;
    HostTest::TearDown();
  }
  static std::vector<MQObject> Fill(FLZMODEL& model, int count) {
    std::vector<MQObject> objects;
    for (int i = 0; i < count; ++i) objects.push_back(model.AddModelObject());
    return objects;
  }
  static bool AnyLive(const std::vector<MQObject>& objects) {
    for (MQObject obj : objects) {
      if (mqhost::Host::Instance().IsFreeObject(mqhost::ToObject(obj))) return true;
    }
    return false;
  }
};

TEST_F(RenderingModelAbi, FlagOneDestroysAndFreesOnce) {
  FLZMODEL* model = new FLZMODEL;
  const std::vector<MQObject> objects = Fill(*model, 3);
  g_watched = model;
  EXPECT_EQ(CallLikeVendorCompiler(SlotZero(model), model, 1), 0) << "the callee pops the flag";
  EXPECT_EQ(g_deleted_objects, 3);
  EXPECT_FALSE(AnyLive(objects));
  EXPECT_EQ(g_watched_frees, 1);
}

TEST_F(RenderingModelAbi, FlagZeroDestroysWithoutFreeing) {
  alignas(FLZMODEL) unsigned char storage[sizeof(FLZMODEL)];
  FLZMODEL* model = new (storage) FLZMODEL;
  const std::vector<MQObject> objects = Fill(*model, 2);
  g_watched = storage;
  EXPECT_EQ(CallLikeVendorCompiler(SlotZero(model), model, 0), 0);
  EXPECT_EQ(g_deleted_objects, 2);
  EXPECT_FALSE(AnyLive(objects));
  EXPECT_EQ(g_watched_frees, 0) << "flag 0 leaves the memory to its owner";
}

// A lent model destroyed by its receiver ends its loan: it is freed once and
// cannot be given back a second time.
TEST_F(RenderingModelAbi, ALentModelDestroyedThroughSlotZeroEndsItsLoan) {
  RENDERING_MODEL_LOANS loans;
  auto made = std::make_unique<FLZMODEL>();
  const std::vector<MQObject> objects = Fill(*made, 2);
  FLZMODEL* lent = loans.HandOut(std::move(made));
  ASSERT_EQ(loans.OutCount(), 1u);
  g_watched = lent;
  EXPECT_EQ(CallLikeVendorCompiler(SlotZero(lent), lent, 1), 0);
  EXPECT_EQ(loans.OutCount(), 0u);
  EXPECT_EQ(g_deleted_objects, 2);
  EXPECT_FALSE(AnyLive(objects));
  EXPECT_EQ(g_watched_frees, 1);
  EXPECT_FALSE(loans.Return(lent)) << "no longer lent";
  EXPECT_EQ(g_watched_frees, 1);
}

// Models still out when the lender goes keep working: slot 0 no longer
// reaches for the lender.
TEST_F(RenderingModelAbi, AModelOutlivingItsLenderStillDestroysThroughSlotZero) {
  FLZMODEL* lent = nullptr;
  std::vector<MQObject> objects;
  {
    RENDERING_MODEL_LOANS loans;
    auto made = std::make_unique<FLZMODEL>();
    objects = Fill(*made, 1);
    lent = loans.HandOut(std::move(made));
  }
  g_watched = lent;
  EXPECT_EQ(CallLikeVendorCompiler(SlotZero(lent), lent, 1), 0);
  EXPECT_EQ(g_deleted_objects, 1);
  EXPECT_FALSE(AnyLive(objects));
  EXPECT_EQ(g_watched_frees, 1);
}

}  // namespace
