#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/codepage.h"
#include "platform/debug_output.h"
#include "platform/keyboard.h"
#include "platform/module.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace quorvel::platform;

TEST(Module, LoadsFindsAndReleases) {
  ModuleHandle module = OpenModule(QUORVEL_TEST_HOST_PATH);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindSymbol(module, "MQDoc_GetObject"), nullptr);
  EXPECT_EQ(FindSymbol(module, "mqdoc_getobject"), nullptr) << "names match exactly";
  EXPECT_EQ(FindSymbol(module, "MQDoc_GetObjectX"), nullptr);
  EXPECT_EQ(FindSymbol(module, nullptr), nullptr);
  EXPECT_EQ(FindSymbol(nullptr, "MQDoc_GetObject"), nullptr);
  CloseModule(module);
  CloseModule(nullptr);  // harmless
}

TEST(Module, MissingModulesGiveNull) {
  EXPECT_EQ(OpenModule("no-such-module-anywhere.dll"), nullptr);
  EXPECT_EQ(OpenModule(nullptr), nullptr);
}

TEST(Module, PluginInstanceIsKept) {
  void* before = PluginModuleInstance();
  int marker = 0;
  SetPluginModuleInstance(&marker);
  EXPECT_EQ(PluginModuleInstance(), &marker);
  SetPluginModuleInstance(before);
}

TEST(CodePage, AsciiPassesUnchanged) {
  const std::string ascii = "model ver=\"10000\" <pose1>";
  EXPECT_EQ(AnsiToUtf8(ascii), ascii);
  EXPECT_EQ(Utf8ToAnsi(ascii), ascii);
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(Utf8ToAnsi(""), "");
}

TEST(CodePage, ConvertsThroughTheSystemCodePage) {
  // "ボーン" (bone).
  const std::string utf8 = "\xE3\x83\x9C\xE3\x83\xBC\xE3\x83\xB3";
#if defined(_WIN32)
  switch (GetACP()) {
    case 932:  // Shift-JIS, as on a Japanese Windows
      EXPECT_EQ(Utf8ToAnsi(utf8), "\x83\x7B\x81\x5B\x83\x93");
      EXPECT_EQ(AnsiToUtf8("\x83\x7B\x81\x5B\x83\x93"), utf8);
      break;
    case 1252:  // Western: e-acute is one byte
      EXPECT_EQ(AnsiToUtf8("\xE9"), "\xC3\xA9");
      EXPECT_EQ(Utf8ToAnsi("\xC3\xA9"), "\xE9");
      break;
    default:
      GTEST_SKIP() << "no expectation for code page " << GetACP();
  }
#else
  // The native system code page is UTF-8 itself.
  EXPECT_EQ(Utf8ToAnsi(utf8), utf8);
  EXPECT_EQ(AnsiToUtf8(utf8), utf8);
#endif
}

TEST(CodePage, EmbeddedNulsAndLongTextSurvive) {
  const std::string text("a\0b", 3);
  EXPECT_EQ(AnsiToUtf8(text), text);
  const std::string long_text(100000, 'x');
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(long_text)), long_text);
}

#if !defined(_WIN32)
TEST(DebugOutput, GoesToStandardErrorOnlyWhenEnabled) {
  const char* saved = std::getenv("QUORVEL_LOG");
  const std::string saved_value = saved ? saved : "";

  unsetenv("QUORVEL_LOG");
  testing::internal::CaptureStderr();
  WriteDebugString("quiet line\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  setenv("QUORVEL_LOG", "1", 1);
  testing::internal::CaptureStderr();
  WriteDebugString("loud line\n");
  WriteDebugString(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "loud line\n");

  if (saved) {
    setenv("QUORVEL_LOG", saved_value.c_str(), 1);
  } else {
    unsetenv("QUORVEL_LOG");
  }
}
#endif

// The key state a plug-in reads: the thread's keyboard state on Windows, the
// QUORVEL_HELD_KEYS list natively.
TEST(Keyboard, ReportsHeldKeys) {
#if defined(_WIN32)
  BYTE keys[256] = {};
  ASSERT_TRUE(GetKeyboardState(keys));
  keys[quorvel::platform::kVirtualKeyShift] = 0x80;
  ASSERT_TRUE(SetKeyboardState(keys));
  EXPECT_TRUE(quorvel::platform::IsKeyHeld(quorvel::platform::kVirtualKeyShift));
  EXPECT_FALSE(quorvel::platform::IsKeyHeld('A'));
  keys[quorvel::platform::kVirtualKeyShift] = 0;
  ASSERT_TRUE(SetKeyboardState(keys));
  EXPECT_FALSE(quorvel::platform::IsKeyHeld(quorvel::platform::kVirtualKeyShift));
#else
  struct Case {
    const char* held;  // null: the variable is not set
    bool shift;
  };
  for (const Case& c : {Case{nullptr, false}, Case{"", false}, Case{"16", true},
                        Case{"9,16", true}, Case{"16,9", true}, Case{"160", false},
                        Case{"1,6", false}, Case{"x16,16", true}, Case{"16x", false},
                        Case{",,16,", true}}) {
    SCOPED_TRACE(c.held != nullptr ? c.held : "(unset)");
    if (c.held != nullptr) {
      setenv("QUORVEL_HELD_KEYS", c.held, 1);
    } else {
      unsetenv("QUORVEL_HELD_KEYS");
    }
    EXPECT_EQ(quorvel::platform::IsKeyHeld(quorvel::platform::kVirtualKeyShift), c.shift);
  }
  unsetenv("QUORVEL_HELD_KEYS");
#endif
}

}  // namespace
