#pragma once
// The plug-in's main object run inside the test program on the substitute
// host: the host attaches it by its entry points and sends it every event as
// it would send them to the loaded module, while the test reaches the object
// itself (its panels through the headless interface, its model, its service
// object). Preferences go to a scratch settings key.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "host/files/xml_tree.h"
#include "examples/in_process_plugin.h"
#include "main/dlmain.h"
#include "main/headless_ui.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "sdk/dispatch.h"
#include "sdk/host_api.h"
#include "tests/io/scratch_settings.h"

namespace quorvel_test {

// The object the attached entry points reach; one at a time.
inline DLMAIN*& AttachedMain() { return quorvel_examples::InProcessMain(); }
using quorvel_examples::InProcessEntryPoints;

inline void CaptureLogLine(const char* line, void* user) {
  static_cast<std::vector<std::string>*>(user)->emplace_back(line);
}

class MainTest : public testing::Test {
 protected:
  void SetUp() override {
    settings_key_ = settings_.Key();
    quorvel::LogSetSink(&CaptureLogLine, &log_);
    StartPlugin();
    document_ = host_.NewDocument();
    doc_ = mqhost::ToHandle(document_);
  }
  void TearDown() override {
    if (document_ != nullptr) host_.CloseDocument(document_);
    StopPlugin();
    quorvel::LogResetSink();
  }

  // A fresh main object, as after the modeller was started again.
  void StartPlugin() {
    ui_ = nullptr;
    main_ = std::make_unique<DLMAIN>(MakeUserInterface());
    main_->SetSettingsKey(settings_key_);
    AttachedMain() = main_.get();
    std::string error;
    plugin_ = host_.AttachPlugin(InProcessEntryPoints(), "quorvel (in process)", &error);
    ASSERT_NE(plugin_, nullptr) << error;
  }
  void StopPlugin() {
    host_.UnloadPlugins();
    plugin_ = nullptr;
    main_.reset();
    ui_ = nullptr;
    AttachedMain() = nullptr;
  }

  // The interface the main object gets: the headless one, unless a fixture
  // wants real windows.
  virtual std::unique_ptr<MED_PLUGIN_UI> MakeUserInterface() {
    auto ui = std::make_unique<HEADLESS_UI>();
    ui_ = ui.get();
    return ui;
  }

  // Initialise, open the document and take the command.
  void OpenActive() {
    ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  }

  // A document file, with its rig, in place of the empty document.
  void LoadDocument(const std::string& path) {
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(mqhost::LoadDocumentFile(path, document_, &elements, &error)) << error;
    host_.SetPluginElements(document_, std::move(elements));
  }

  MQObject AddObject(const char* name, int depth = 0, FVECTOR3 translation = {}) {
    auto object = document_->NewObject();
    object->name = name;
    object->depth = depth;
    object->transform.translation = translation;
    mqhost::Object* raw = object.get();
    document_->AddObject(std::move(object));
    return mqhost::ToHandle(raw);
  }

  // The plug-in's own element of the document.
  mqhost::XmlElement* PluginElement() {
    return host_.PluginElement(document_, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID);
  }

  bool Logged(const std::string& line) const {
    for (const std::string& l : log_) {
      if (l == line) return true;
    }
    return false;
  }
  // A UTF-8 text as the plug-in writes it (system code page).
  static std::string Ansi(const char* utf8) { return quorvel::platform::Utf8ToAnsi(utf8); }
  template <typename... Args>
  static std::string Format(const char* fmt, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, fmt, args...);
    return line;
  }

  mqhost::Host& host_ = mqhost::Host::Instance();
  ScratchSettings settings_;
  std::string settings_key_;
  std::unique_ptr<DLMAIN> main_;
  HEADLESS_UI* ui_ = nullptr;
  mqhost::PluginModule* plugin_ = nullptr;
  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
  std::vector<std::string> log_;
};

}  // namespace quorvel_test
