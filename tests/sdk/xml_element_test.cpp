// The XML element wrappers against a host whose MQXmlElem_Value is the
// test's own, with the modeller's slot layout: codes, which slot is read and
// which is written, null handling and the text conversion.
#include "sdk/xml_element.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "sdk/host_api.h"

namespace {

MQXmlElement const kParent = reinterpret_cast<MQXmlElement>(0x100);
MQXmlElement const kChild = reinterpret_cast<MQXmlElement>(0x200);
MQXmlElement const kNext = reinterpret_cast<MQXmlElement>(0x300);

// What the fake host read from the slots of one call.
struct SeenCall {
  MQXmlElement element;
  int code;
  std::string name;  // slot 0 of every code but 0x301; "<null>" for null
  std::string text;  // slot 1 of 0x403
  MQXmlElement given;  // slot 1 of 0x202
};

std::vector<SeenCall> g_calls;
bool g_answer = true;  // false: the host writes nothing back
const char* g_text_reply = nullptr;
MQXmlElement g_element_reply = nullptr;

const char* TextIn(void* slot) { return slot != nullptr ? static_cast<const char*>(slot) : "<null>"; }

void MQAPICALL FakeXmlValue(MQXmlElement element, int code, void* slot_array) {
  void** slots = static_cast<void**>(slot_array);
  SeenCall call{element, code, "", "", nullptr};
  if (code != MQXMLELEM_GET_NAME) call.name = TextIn(slots[0]);
  if (code == MQXMLELEM_SET_ATTRIBUTE) call.text = TextIn(slots[1]);
  if (code == MQXMLELEM_NEXT_CHILD) call.given = static_cast<MQXmlElement>(slots[1]);
  g_calls.push_back(call);
  if (!g_answer) return;
  switch (code) {
    case MQXMLELEM_ADD_CHILD:
    case MQXMLELEM_FIRST_CHILD: slots[1] = g_element_reply; break;
    case MQXMLELEM_NEXT_CHILD: slots[2] = g_element_reply; break;
    case MQXMLELEM_GET_NAME: slots[0] = const_cast<char*>(g_text_reply); break;
    case MQXMLELEM_GET_ATTRIBUTE: slots[1] = const_cast<char*>(g_text_reply); break;
    default: break;
  }
}

class XmlElement : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = HostApi();
    HostApi().MQXmlElem_Value = &FakeXmlValue;
    g_calls.clear();
    g_answer = true;
    g_text_reply = nullptr;
    g_element_reply = nullptr;
  }
  void TearDown() override { HostApi() = saved_; }
  MQHostApi saved_;
};

TEST_F(XmlElement, ChildNavigationUsesItsCodes) {
  g_element_reply = kChild;
  EXPECT_EQ(mqxml::AddChild(kParent, "model"), kChild);
  EXPECT_EQ(mqxml::FirstChild(kParent, "pose"), kChild);
  EXPECT_EQ(mqxml::FirstChild(kParent), kChild);
  g_element_reply = kNext;
  EXPECT_EQ(mqxml::NextChild(kParent, kChild, "pose"), kNext);
  ASSERT_EQ(g_calls.size(), 4u);
  EXPECT_EQ(g_calls[0].code, 0x101);
  EXPECT_EQ(g_calls[0].name, "model");
  EXPECT_EQ(g_calls[0].element, kParent);
  EXPECT_EQ(g_calls[1].code, 0x201);
  EXPECT_EQ(g_calls[1].name, "pose");
  EXPECT_EQ(g_calls[2].name, "<null>") << "no name: any child";
  EXPECT_EQ(g_calls[3].code, 0x202);
  EXPECT_EQ(g_calls[3].given, kChild);
  EXPECT_EQ(g_calls[3].name, "pose");
}

TEST_F(XmlElement, FailuresAndNullElementsGiveNothing) {
  g_answer = false;
  g_element_reply = kChild;
  EXPECT_EQ(mqxml::AddChild(kParent, "model"), nullptr);
  EXPECT_EQ(mqxml::FirstChild(kParent), nullptr);
  std::string value = "untouched";
  EXPECT_FALSE(mqxml::GetAttribute(kParent, "ver", &value));
  EXPECT_EQ(value, "untouched");
  EXPECT_EQ(g_calls.size(), 3u);

  g_calls.clear();
  EXPECT_EQ(mqxml::AddChild(nullptr, "model"), nullptr);
  EXPECT_EQ(mqxml::FirstChild(nullptr), nullptr);
  EXPECT_EQ(mqxml::NextChild(kParent, nullptr), nullptr);
  EXPECT_EQ(mqxml::Name(nullptr), "");
  EXPECT_FALSE(mqxml::GetAttribute(nullptr, "ver", &value));
  mqxml::SetAttribute(nullptr, "ver", "10000");
  EXPECT_TRUE(g_calls.empty()) << "null elements never reach the host";
}

TEST_F(XmlElement, AttributesAndNamesRoundTripThroughTheHostCodePage) {
  const std::string ansi_text = quorvel::platform::Utf8ToAnsi("pose1");
  mqxml::SetAttribute(kParent, "name", ansi_text.c_str());
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].code, 0x403);
  EXPECT_EQ(g_calls[0].name, "name");
  EXPECT_EQ(g_calls[0].text, "pose1");

  g_text_reply = "10000";
  std::string value;
  EXPECT_TRUE(mqxml::GetAttribute(kParent, "ver", &value));
  EXPECT_EQ(value, "10000");
  EXPECT_EQ(g_calls.back().code, 0x303);
  EXPECT_EQ(g_calls.back().name, "ver");

  g_text_reply = nullptr;  // the attribute is absent
  EXPECT_FALSE(mqxml::GetAttribute(kParent, "missing", &value));
  EXPECT_EQ(value, "10000");

  g_text_reply = "model";
  EXPECT_EQ(mqxml::Name(kParent), "model");
  EXPECT_EQ(g_calls.back().code, 0x301);
}

TEST_F(XmlElement, TextInTheSystemCodePageReachesTheHostAsUtf8) {
  // "ボーン" in UTF-8, and its form in the system code page.
  const std::string utf8 = "\xE3\x83\x9C\xE3\x83\xBC\xE3\x83\xB3";
  const std::string ansi = quorvel::platform::Utf8ToAnsi(utf8);
  if (quorvel::platform::AnsiToUtf8(ansi) != utf8) {
    GTEST_SKIP() << "the system code page cannot hold Japanese text";
  }
  mqxml::SetAttribute(kParent, "name", ansi.c_str());
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].text, utf8);

  g_text_reply = utf8.c_str();
  std::string value;
  ASSERT_TRUE(mqxml::GetAttribute(kParent, "name", &value));
  EXPECT_EQ(value, ansi);
}

}  // namespace
