// The XML element wrappers against a host whose MQXmlElem_Value is the
// test's own: codes, fields, null handling and the text conversion.
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

struct SeenCall {
  MQXmlElement element;
  int code;
  std::string name;  // "<null>" for a null name
  std::string text;
  MQXmlElement given;
};

std::vector<SeenCall> g_calls;
BOOL g_answer = TRUE;
const char* g_text_reply = nullptr;
MQXmlElement g_element_reply = nullptr;

BOOL MQAPICALL FakeXmlValue(MQXmlElement element, int code, MQXmlValue* value) {
  g_calls.push_back({element, code, value->name ? value->name : "<null>",
                     value->text ? value->text : "", value->element});
  if (!g_answer) return FALSE;
  if (code == MQXMLELEM_GET_NAME || code == MQXMLELEM_GET_ATTRIBUTE) value->text = g_text_reply;
  if (code == MQXMLELEM_ADD_CHILD || code == MQXMLELEM_FIRST_CHILD ||
      code == MQXMLELEM_NEXT_CHILD) {
    value->element = g_element_reply;
  }
  return TRUE;
}

class XmlElement : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = HostApi();
    HostApi().MQXmlElem_Value = &FakeXmlValue;
    g_calls.clear();
    g_answer = TRUE;
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
  g_answer = FALSE;
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
