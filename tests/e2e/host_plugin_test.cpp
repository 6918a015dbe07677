// The built plug-in module inside the substitute host, beside the peer
// plug-in: loaded, identified and initialised by the host, given a document
// and the user's events, asked to save, and reached by another plug-in's user
// messages, as in the modeller.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/module_machine.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/peer/peer_client.h"

#include "tests/io/scratch_settings.h"

namespace {

using mqhost::Host;
using mqhost::PluginModule;
using mqhost::ToHandle;

constexpr uint32_t kQuorvelProduct = 0x5A3C9E17;
constexpr uint32_t kQuorvelId = 0xC4172B86;

class HostWithPlugin : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    plugin_ = host_.LoadPlugin(QUORVEL_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
    peer_ = host_.LoadPlugin(QUORVEL_PEER_PATH, &error);
    ASSERT_NE(peer_, nullptr) << error;
    document_ = host_.NewDocument();
  }
  void TearDown() override {
    host_.CloseDocument(document_);
    host_.UnloadPlugins();
  }

  Host& host_ = Host::Instance();
  PluginModule* plugin_ = nullptr;
  PluginModule* peer_ = nullptr;
  mqhost::Document* document_ = nullptr;
  // The plug-in reads and writes its preferences at Initialize and Exit.
  quorvel_test::ScratchSettings settings_;
};

TEST_F(HostWithPlugin, TheHostIdentifiesBothModules) {
  struct Case {
    PluginModule* module;
    uint32_t product;
    uint32_t id;
    int type;
    const char* command;
  };
  for (const Case& c : {Case{plugin_, kQuorvelProduct, kQuorvelId, MQPLUGIN_TYPE_COMMAND, "Quorvel"},
                        Case{peer_, quorvel_peer::kProductId, quorvel_peer::kPluginId,
                             MQPLUGIN_TYPE_STATION, "QuorvelPeer"}}) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(c.module->product(), c.product);
    EXPECT_EQ(c.module->id(), c.id);
    EXPECT_EQ(c.module->type(), c.type);
    EXPECT_EQ(c.module->enum_string(), c.command);
    EXPECT_NE(c.module->name().find(c.command), std::string::npos) << c.module->name();
    EXPECT_EQ(c.module->version(), MQPLUGIN_VERSION);
    EXPECT_EQ(host_.FindPlugin(c.product, c.id), c.module);
  }
}

TEST_F(HostWithPlugin, ADocumentSessionRunsThroughTheRealModule) {
  for (PluginModule* module : {plugin_, peer_}) {
    SCOPED_TRACE(module->enum_string());
    EXPECT_EQ(mqhost::SendInitialize(host_, module), TRUE);
    EXPECT_EQ(mqhost::SendNewDocument(host_, document_, "arm.mqd", module), TRUE);
    EXPECT_EQ(mqhost::SendActivate(host_, document_, true, module), TRUE);
    EXPECT_EQ(mqhost::SendIsActivated(host_, document_, module), TRUE);
    EXPECT_EQ(mqhost::SendDraw(host_, document_, 640, 480, module), TRUE);
    EXPECT_EQ(mqhost::SendScene(host_, document_, module), TRUE);
    EXPECT_EQ(mqhost::SendObjectListChanged(host_, document_, module), TRUE);
    EXPECT_EQ(mqhost::SendMinimize(host_, document_, false, module), TRUE);
  }

  // Events that answer FALSE in every state of the command: the middle
  // button, moves without a button, the wheel, the right button's move and
  // key releases. The peer is a station plug-in and takes no input at all.
  struct Input {
    int code;
    PluginModule* module;
  };
  const Input inputs[] = {
      {MQEVENT_MBUTTON_DOWN, plugin_}, {MQEVENT_MBUTTON_MOVE, plugin_}, {MQEVENT_MBUTTON_UP, plugin_},
      {MQEVENT_RBUTTON_MOVE, plugin_}, {MQEVENT_MOUSE_MOVE, plugin_},   {MQEVENT_MOUSE_WHEEL, plugin_},
      {MQEVENT_LBUTTON_DOWN, peer_},   {MQEVENT_LBUTTON_UP, peer_},     {MQEVENT_RBUTTON_DOWN, peer_},
  };
  for (const Input& input : inputs) {
    EXPECT_EQ(mqhost::SendMouse(host_, document_, input.code, {320, 240, 0, mqhost::kButtonLeft}, input.module),
              FALSE)
        << input.code << " to " << input.module->enum_string();
  }
  EXPECT_EQ(mqhost::SendKey(host_, document_, false, 'A', 0, plugin_), FALSE);
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 'A', 0, peer_), FALSE);
  // Codes between the known ones reach the module and are refused there.
  for (int code : {104, 131, 213}) EXPECT_EQ(host_.SendEvent(document_, code, nullptr, plugin_), FALSE) << code;

  EXPECT_EQ(mqhost::SendSaveDocument(host_, document_, "arm.mqd").answer, TRUE);
  EXPECT_EQ(mqhost::SendEndDocument(host_, document_), TRUE);
  EXPECT_EQ(mqhost::SendExit(host_), TRUE);
}

TEST_F(HostWithPlugin, UserMessagesFromThePeerReachThePlugin) {
  mqhost::SendInitialize(host_);
  mqhost::SendNewDocument(host_, document_, "");
  mqhost::PeerClient peer(host_, peer_);

  // A description that is no command of the plug-in is answered with 0.
  int record[4] = {11, 22, 33, 44};
  int result = -1;
  ASSERT_TRUE(peer.Send(document_, kQuorvelProduct, kQuorvelId, "NoSuchCommand", record, &result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(record[0], 11) << "the record is left alone";

  // At the request level the host tells a delivered message from one to a
  // plug-in that is not there; only a delivered one gets an answer.
  struct Case {
    uint32_t product;
    uint32_t id;
    BOOL delivered;
  };
  for (const Case& c : {Case{kQuorvelProduct, kQuorvelId, TRUE}, Case{kQuorvelProduct, 0x1234, FALSE},
                        Case{0x0BADF00D, kQuorvelId, FALSE}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.product << ":" << c.id);
    uint32_t product = c.product, id = c.id;
    int answer = 12345;
    NAMED_ARG args[] = {{"document", ToHandle(document_)},
                        {"target_product", &product},
                        {"target_id", &id},
                        {"description", const_cast<char*>("NoSuchCommand")},
                        {"message", record},
                        {"result", &answer},
                        {nullptr, nullptr}};
    HOST_REQUEST_INFO info{quorvel_peer::kProductId, quorvel_peer::kPluginId, 0, args};
    EXPECT_EQ(MQ_SendMessage(MQREQUEST_USER_MESSAGE, &info), c.delivered);
    EXPECT_EQ(answer, c.delivered ? 0 : 12345);
  }
  EXPECT_EQ(peer.ReceivedCount(document_), 0) << "the plug-in sent nothing back";
  mqhost::SendEndDocument(host_, document_);
  mqhost::SendExit(host_);
}

// ---------------------------------------------------------------- editions

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteBytes(const std::vector<unsigned char>& bytes, const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

void Put16(std::vector<unsigned char>& bytes, std::size_t at, uint16_t value) {
  bytes.at(at) = static_cast<unsigned char>(value);
  bytes.at(at + 1) = static_cast<unsigned char>(value >> 8);
}

// The built module's own file with its header turned into the other
// edition's (or left alone): a PE file's machine and optional-header magic,
// or an ELF file's class and machine.
std::vector<unsigned char> AsEdition(std::vector<unsigned char> bytes, bool wide) {
  if (bytes.size() > 0x40 && bytes[0] == 'M' && bytes[1] == 'Z') {
    const std::size_t pe = bytes[0x3c] | bytes[0x3d] << 8 | bytes[0x3e] << 16;
    Put16(bytes, pe + 4, wide ? 0x8664 : 0x14c);
    Put16(bytes, pe + 24, wide ? 0x20b : 0x10b);
  } else if (bytes.size() > 20) {
    bytes.at(4) = wide ? 2 : 1;
    Put16(bytes, 18, wide ? 62 : 3);
  }
  return bytes;
}

// A plug-in built for the other edition never reaches the loader: the host
// reads the file's header, refuses it with a message naming both editions,
// and stays as it was. The module's own header passes that check.
TEST(HostEditions, AModuleOfTheOtherEditionIsRefusedByName) {
  Host& host = Host::Instance();
  const std::vector<unsigned char> real = ReadBytes(QUORVEL_PLUGIN_FILE);
  ASSERT_GT(real.size(), 4096u);
  const mqhost::ModuleMachine machine = mqhost::ReadModuleMachine(QUORVEL_PLUGIN_FILE);
  ASSERT_EQ(machine, mqhost::HostMachine()) << mqhost::DescribeModuleMachine(machine);
  const bool wide = sizeof(void*) == 8;
#if defined(_WIN32)
  const char* const own = wide ? "64-bit Windows (x86-64)" : "32-bit Windows (i386)";
  const char* const other = wide ? "32-bit Windows (i386)" : "64-bit Windows (x86-64)";
#else
  const char* const own = "64-bit ELF (x86-64)";
  const char* const other = "32-bit ELF (i386)";
#endif
  EXPECT_EQ(mqhost::DescribeModuleMachine(machine), own);

  const std::string path = WriteBytes(AsEdition(real, !wide), "other-edition-plugin.module");
  EXPECT_EQ(mqhost::DescribeModuleMachine(mqhost::ReadModuleMachine(path)), other);
  std::string error;
  EXPECT_EQ(host.LoadPlugin(path, &error), nullptr);
  EXPECT_EQ(error, "cannot load plug-in module " + path + ": it is built for " + other +
                       " and this host for " + own + "; use the plug-in built for this edition");
  EXPECT_EQ(host.FindPlugin(kQuorvelProduct, kQuorvelId), nullptr);

  // The same file with its own edition's header rewritten in place loads.
  const std::string same = WriteBytes(AsEdition(real, wide), "same-edition-plugin.module");
  quorvel_test::ScratchSettings settings;
  error.clear();
  EXPECT_NE(host.LoadPlugin(same, &error), nullptr) << error;
  host.UnloadPlugins();
}

// Files that are no module at all, or too short to tell, go to the loader,
// which refuses them; nothing crashes.
TEST(HostEditions, FilesThatAreNoModuleAreRefused) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    mqhost::ModuleMachine::Format format;
  };
  const Case cases[] = {
      {"empty", {}, mqhost::ModuleMachine::kUnreadable},
      {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, mqhost::ModuleMachine::kUnknown},
      {"dos header cut short", {'M', 'Z', 0, 0, 0, 0}, mqhost::ModuleMachine::kUnknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = WriteBytes(c.bytes, std::string("not-a-module-") + c.name);
    EXPECT_EQ(mqhost::ReadModuleMachine(path).format, c.format);
    std::string error;
    EXPECT_EQ(Host::Instance().LoadPlugin(path, &error), nullptr);
    EXPECT_EQ(error, "cannot load plug-in module " + path);
  }
  EXPECT_EQ(mqhost::ReadModuleMachine(testing::TempDir() + "no-such-file").format,
            mqhost::ModuleMachine::kUnreadable);
}

}  // namespace
