// The rendering model as a plug-in built with the vendor's compiler destroys
// it: slot 0 of its table called the way that compiler calls a virtual
// destructor, with flag 1 and flag 0. In the 32-bit edition the flag is
// pushed, `this` is in ECX and the callee pops the flag; in the 64-bit
// edition `this` is in RCX, the flag in EDX, and the caller gives the callee
// its 32 bytes of home space and owns the stack. The host objects must go
// exactly once, the memory exactly once with flag 1 and not at all with
// flag 0, and the stack must come back where it was.
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

#if defined(_WIN64)
// A call as the vendor's compiler emits `delete p` on a polymorphic object
// (flag 1) or an explicit destructor call (flag 0) on x64: `this` in RCX,
// the flag in EDX, 32 bytes of home space below a 16-byte aligned stack.
// Answers how far the stack pointer moved across the call: 0 when the callee
// left the caller's stack alone.
int CallLikeVendorCompiler(const void* slot, void* self, unsigned int flag) {
  long long moved = 0;
  // RBX keeps the caller's stack pointer across the call (the callee must
  // preserve it); the stack is aligned by hand, since the compiler does not
  // know that this block calls.
  asm volatile(
      "movq %%rsp, %%rbx\n\t"
      "andq $-16, %%rsp\n\t"
      "subq $32, %%rsp\n\t"
      "movq %%rsp, %[moved]\n\t"
      "movq %[self], %%rcx\n\t"
      "movl %[flag], %%edx\n\t"
      "call *%[slot]\n\t"
      "subq %%rsp, %[moved]\n\t"
      "movq %%rbx, %%rsp\n\t"
      : [moved] "=&r"(moved)
      : [flag] "r"(flag), [self] "r"(self), [slot] "r"(slot)
      : "rax", "rbx", "rcx", "rdx", "r8", "r9", "r10", "r11", "xmm0", "xmm1", "xmm2", "xmm3",
        "xmm4", "xmm5", "memory", "cc");
  return static_cast<int>(moved);
}
#else
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
#endif

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
