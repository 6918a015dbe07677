// The built plug-in module, loaded as the host loads it: by path, entry
// points found by name, the host API handed over with MQInit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/module.h"
#include "sdk/mq_types.h"

#include "tests/io/scratch_settings.h"

namespace {

using quorvel::platform::FindSymbol;
using quorvel::platform::CloseModule;
using quorvel::platform::OpenModule;
using quorvel::platform::ModuleHandle;

const char* const kEntryPoints[] = {
    "MQCheckVersion", "MQInit",        "MQGetPlugInID", "MQGetPlugInName", "MQGetPlugInType",
    "MQEnumString",   "MQEnumFileType", "MQEnumFileExt", "MQImportFile",    "MQExportFile",
    "MQCreate",       "MQModifySelect", "MQModifyObject", "MQOnEvent"};

using CheckVersionFn = uint32_t (*)(uint32_t);
using InitFn = BOOL (*)(const char*);
using GetIdFn = void (*)(uint32_t*, uint32_t*);
using GetNameFn = const char* (*)();
using GetTypeFn = int (*)();
using EnumFn = const char* (*)(int);
using FileFn = BOOL (*)(int, const char*, MQDocument);
using ModifyFn = BOOL (*)(int, MQDocument);
using OnEventFn = BOOL (*)(MQDocument, int, void*);

class PluginModule : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    host_ = OpenModule(QUORVEL_TEST_HOST_PATH);
    plugin_ = OpenModule(QUORVEL_PLUGIN_PATH);
  }
  static void TearDownTestSuite() {
    CloseModule(plugin_);
    CloseModule(host_);
  }
  void SetUp() override {
    ASSERT_NE(plugin_, nullptr) << QUORVEL_PLUGIN_PATH;
    ASSERT_NE(host_, nullptr) << QUORVEL_TEST_HOST_PATH;
  }

  template <typename Fn>
  static Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(FindSymbol(plugin_, name));
  }

  static ModuleHandle host_;
  static ModuleHandle plugin_;
  // The plug-in reads and writes its preferences at Initialize and Exit.
  quorvel_test::ScratchSettings settings_;
};

ModuleHandle PluginModule::host_ = nullptr;
ModuleHandle PluginModule::plugin_ = nullptr;

TEST_F(PluginModule, ExportsTheFourteenEntryPointsByName) {
  for (const char* name : kEntryPoints) {
    EXPECT_NE(FindSymbol(plugin_, name), nullptr) << name;
  }
  // Nothing of the frame's C++ side is reachable by name.
  EXPECT_EQ(FindSymbol(plugin_, "GetPluginObject"), nullptr);
  EXPECT_EQ(FindSymbol(plugin_, "DllMain"), nullptr);
  EXPECT_EQ(FindSymbol(plugin_, "_MQOnEvent"), nullptr);
}

TEST_F(PluginModule, AnswersIdentification) {
  auto check_version = Entry<CheckVersionFn>("MQCheckVersion");
  ASSERT_NE(check_version, nullptr);
  for (uint32_t host_version : {0u, 0x399u, 0x400u, 4711u, 0xFFFFFFFFu}) {
    EXPECT_EQ(check_version(host_version), 921u) << host_version;
  }

  uint32_t product = 0, id = 0;
  Entry<GetIdFn>("MQGetPlugInID")(&product, &id);
  EXPECT_EQ(product, 0x5A3C9E17u);
  EXPECT_EQ(id, 0xC4172B86u);
  EXPECT_EQ(Entry<GetTypeFn>("MQGetPlugInType")(), 7);

  const char* name = Entry<GetNameFn>("MQGetPlugInName")();
  ASSERT_NE(name, nullptr);
  EXPECT_NE(std::string(name).find("Quorvel"), std::string::npos);

  auto enum_string = Entry<EnumFn>("MQEnumString");
  ASSERT_NE(enum_string(0), nullptr);
  EXPECT_STREQ(enum_string(0), "Quorvel");
  EXPECT_EQ(enum_string(1), nullptr);
  EXPECT_EQ(enum_string(-1), nullptr);
  EXPECT_EQ(Entry<EnumFn>("MQEnumFileType")(0), nullptr);
  EXPECT_EQ(Entry<EnumFn>("MQEnumFileExt")(0), nullptr);
}

TEST_F(PluginModule, HasNoFileCreateOrModifyOperation) {
  const MQDocument doc = reinterpret_cast<MQDocument>(0x10);
  EXPECT_EQ(Entry<FileFn>("MQImportFile")(0, "in.obj", doc), FALSE);
  EXPECT_EQ(Entry<FileFn>("MQExportFile")(0, "out.obj", doc), FALSE);
  EXPECT_EQ(Entry<ModifyFn>("MQCreate")(0, doc), FALSE);
  EXPECT_EQ(Entry<ModifyFn>("MQModifySelect")(0, doc), FALSE);
  EXPECT_EQ(Entry<ModifyFn>("MQModifyObject")(0, doc), FALSE);
}

TEST_F(PluginModule, InitTakesTheHostApiOnlyWhenComplete) {
  auto init = Entry<InitFn>("MQInit");
  EXPECT_EQ(init("no-such-host-module.dll"), FALSE);
  EXPECT_EQ(init(QUORVEL_TEST_HOST_PARTIAL_PATH), FALSE);
  EXPECT_EQ(init(QUORVEL_TEST_HOST_PATH), TRUE);
}

TEST_F(PluginModule, EventsRoundTripThroughMQOnEvent) {
  ASSERT_EQ(Entry<InitFn>("MQInit")(QUORVEL_TEST_HOST_PATH), TRUE);
  auto on_event = Entry<OnEventFn>("MQOnEvent");
  const MQDocument doc = reinterpret_cast<MQDocument>(0x10);

  EXPECT_EQ(on_event(doc, 1, nullptr), TRUE) << "Initialize";
  BOOL activate = TRUE;
  EXPECT_EQ(on_event(doc, 100, &activate), TRUE) << "Activate";
  EXPECT_EQ(on_event(doc, 101, nullptr), TRUE) << "IsActivated";

  // A user message answers TRUE and its result comes back through "result".
  int result = 12345;
  char description[] = "HasVertexWeight";
  NAMED_ARG message[] = {{"description", description}, {"result", &result}, {nullptr, nullptr}};
  EXPECT_EQ(on_event(doc, 103, message), TRUE);
  EXPECT_EQ(result, 0);

  // Saving without setting the unique-id flag leaves "save_uid" alone.
  BOOL save_uid = 0;
  NAMED_ARG save[] = {{"save_uid", &save_uid}, {nullptr, nullptr}};
  EXPECT_EQ(on_event(doc, 202, save), TRUE);
  EXPECT_EQ(save_uid, 0);

  int flags = 0x01, x = 10, y = 20;
  NAMED_ARG mouse[] = {{"button_state", &flags}, {"mouse_pos_x", &x}, {"mouse_pos_y", &y},
                       {nullptr, nullptr}};
  // No document was opened: the command has nothing to work on.
  EXPECT_EQ(on_event(doc, 120, mouse), FALSE) << "left button without a document";
  EXPECT_EQ(on_event(doc, 123, mouse), FALSE) << "middle button default";
  int width = 640, height = 480;
  NAMED_ARG draw[] = {{"width", &width}, {"height", &height}, {nullptr, nullptr}};
  EXPECT_EQ(on_event(doc, 110, draw), TRUE);

  for (int unknown : {104, 131, 213}) EXPECT_EQ(on_event(doc, unknown, nullptr), FALSE) << unknown;
  EXPECT_EQ(on_event(doc, 2, nullptr), TRUE) << "Exit";
}

}  // namespace
