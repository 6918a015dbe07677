// A Windows program that is its own host, as the modeller is: it exports the
// host API itself, loads quorvel.dll with LoadLibraryA and hands the plug-in
// its own executable path through MQInit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sdk/host_api_list.h"

extern "C" int TestHost_CallCount(const char* name);

namespace {

std::string OwnPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

class OwnHost : public testing::Test {
 protected:
  void SetUp() override {
    plugin_ = LoadLibraryA(QUORVEL_PLUGIN_PATH);
    ASSERT_NE(plugin_, nullptr) << "LoadLibraryA(" << QUORVEL_PLUGIN_PATH << ")";
  }
  void TearDown() override {
    if (plugin_ != nullptr) FreeLibrary(plugin_);
  }
  void* Entry(const char* name) { return reinterpret_cast<void*>(GetProcAddress(plugin_, name)); }
  HMODULE plugin_ = nullptr;
};

TEST_F(OwnHost, ExportsTheHostApiUndecorated) {
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_NE(GetProcAddress(self, "MQDoc_GetObject"), nullptr);
  EXPECT_NE(GetProcAddress(self, "MQXmlElem_Value"), nullptr);
  EXPECT_EQ(GetProcAddress(self, "MQDoc_GetObject@8"), nullptr);
}

TEST_F(OwnHost, PluginTakesTheApiFromTheExecutable) {
  auto init = reinterpret_cast<BOOL (*)(const char*)>(Entry("MQInit"));
  auto check_version = reinterpret_cast<uint32_t (*)(uint32_t)>(Entry("MQCheckVersion"));
  auto on_event = reinterpret_cast<BOOL (*)(MQDocument, int, void*)>(Entry("MQOnEvent"));
  ASSERT_NE(init, nullptr);
  ASSERT_NE(check_version, nullptr);
  ASSERT_NE(on_event, nullptr);

  EXPECT_EQ(check_version(0x0400), 921u);
  EXPECT_EQ(init(OwnPath().c_str()), TRUE);
  // Loading the running executable again only counted a reference, which
  // MQInit gave back: the program is still there to answer.
  EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(OwnPath().c_str()));

  const MQDocument doc = reinterpret_cast<MQDocument>(0x10);
  EXPECT_EQ(on_event(doc, 1, nullptr), TRUE);
  int result = -1;
  NAMED_ARG message[] = {{"result", &result}, {nullptr, nullptr}};
  EXPECT_EQ(on_event(doc, 103, message), TRUE);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(on_event(doc, 131, nullptr), FALSE);
  EXPECT_EQ(on_event(doc, 2, nullptr), TRUE);
}

}  // namespace
