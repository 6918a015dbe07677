// The element tree behind the plug-in's XML element: the host function's
// codes and null handling, handle stability, copies, typed attributes and the
// document file form (writing, reading, refusing malformed input).
#include "host/files/xml_tree.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdk/host_codes.h"

namespace {

using mqhost::FromHandle;
using mqhost::kMaxXmlDepth;
using mqhost::ParseXml;
using mqhost::ToHandle;
using mqhost::WriteXml;
using mqhost::XmlElement;
using mqhost::XmlElemValue;

std::unique_ptr<XmlElement> Root(const char* name = "Quorvel") {
  std::unique_ptr<XmlElement> root = XmlElement::Create(name);
  EXPECT_NE(root, nullptr);
  return root;
}

// The pointer slots of one call, as the modeller's function takes them.
struct Slots {
  void* at[3];
};

void* In(const char* text) { return const_cast<char*>(text); }
const char* Text(const void* slot) { return static_cast<const char*>(slot); }

// A value no call may leave in an out slot.
void* const kUnset = reinterpret_cast<void*>(0x5EED);

// The plug-in's view: add and walk children only through the host function.
XmlElement* Add(XmlElement* parent, const char* name) {
  Slots slots{{In(name), kUnset, kUnset}};
  EXPECT_TRUE(XmlElemValue(parent, MQXMLELEM_ADD_CHILD, slots.at)) << name;
  EXPECT_EQ(slots.at[0], In(name)) << "the name slot is input only";
  EXPECT_EQ(slots.at[2], kUnset) << "add writes slot 1 only";
  return FromHandle(static_cast<MQXmlElement>(slots.at[1]));
}

// First child, then next children: the child found comes back in slot 1 of
// the first call and in slot 2 of every next call, which takes the current
// child in slot 1.
std::vector<XmlElement*> Walk(XmlElement* parent, const char* filter) {
  std::vector<XmlElement*> seen;
  Slots first{{In(filter), kUnset, kUnset}};
  EXPECT_TRUE(XmlElemValue(parent, MQXMLELEM_FIRST_CHILD, first.at));
  EXPECT_EQ(first.at[2], kUnset) << "first child writes slot 1 only";
  void* current = first.at[1];
  while (current != nullptr) {
    seen.push_back(FromHandle(static_cast<MQXmlElement>(current)));
    Slots next{{In(filter), current, kUnset}};
    EXPECT_TRUE(XmlElemValue(parent, MQXMLELEM_NEXT_CHILD, next.at));
    EXPECT_EQ(next.at[1], current) << "the current child is input only";
    EXPECT_NE(next.at[2], kUnset) << "next child always answers in slot 2";
    current = next.at[2];
  }
  return seen;
}

std::string NameOf(XmlElement* element) {
  Slots slots{{kUnset, kUnset, kUnset}};
  EXPECT_TRUE(XmlElemValue(element, MQXMLELEM_GET_NAME, slots.at));
  EXPECT_EQ(slots.at[1], kUnset);
  return slots.at[0] != nullptr && slots.at[0] != kUnset ? Text(slots.at[0]) : "<null>";
}

// ---------------------------------------------------------------------------
// MQXmlElem_Value

TEST(XmlElemValue, AddedChildrenAreWalkedInOrderWithTheNameFilter) {
  auto root = Root();
  const std::vector<const char*> names = {"bone", "pose", "bone", "骨", "bone"};
  std::vector<XmlElement*> added;
  for (const char* name : names) added.push_back(Add(root.get(), name));
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(added[i], &root->Child(i)) << "the handle is the element's address";
    EXPECT_EQ(NameOf(added[i]), names[i]);
  }

  const struct {
    const char* filter;
    std::vector<std::size_t> expected;
  } cases[] = {
      {nullptr, {0, 1, 2, 3, 4}},
      {"bone", {0, 2, 4}},
      {"pose", {1}},
      {"骨", {3}},
      {"bon", {}},
      {"missing", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter != nullptr ? c.filter : "<any>");
    std::vector<XmlElement*> expected;
    for (std::size_t i : c.expected) expected.push_back(added[i]);
    EXPECT_EQ(Walk(root.get(), c.filter), expected);
  }
}

TEST(XmlElemValue, NextChildAnswersNothingForAnElementThatIsNotAChild) {
  auto root = Root();
  XmlElement* first = Add(root.get(), "a");
  XmlElement* last = Add(root.get(), "b");
  XmlElement* grandchild = Add(first, "c");
  auto other = Root("other");
  XmlElement* foreign = Add(other.get(), "a");

  const struct {
    const char* label;
    XmlElement* current;
  } cases[] = {
      {"last child", last},
      {"grandchild", grandchild},
      {"the parent itself", root.get()},
      {"child of another tree", foreign},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Slots slots{{nullptr, ToHandle(c.current), kUnset}};
    XmlElemValue(root.get(), MQXMLELEM_NEXT_CHILD, slots.at);
    EXPECT_EQ(slots.at[2], nullptr);
  }
  Slots slots{{nullptr, ToHandle(first), kUnset}};
  EXPECT_TRUE(XmlElemValue(root.get(), MQXMLELEM_NEXT_CHILD, slots.at));
  EXPECT_EQ(FromHandle(static_cast<MQXmlElement>(slots.at[2])), last);
}

TEST(XmlElemValue, AttributesAreSetReplacedInPlaceAndReadBack) {
  auto root = Root();
  auto set = [&](const char* name, const char* text) {
    Slots slots{{In(name), In(text), kUnset}};
    const bool done = XmlElemValue(root.get(), MQXMLELEM_SET_ATTRIBUTE, slots.at);
    EXPECT_EQ(slots.at[0], In(name));
    EXPECT_EQ(slots.at[1], In(text)) << "set writes no slot";
    EXPECT_EQ(slots.at[2], kUnset);
    return done;
  };
  EXPECT_TRUE(set("a", "1"));
  EXPECT_TRUE(set("名前", "右腕"));
  EXPECT_TRUE(set("empty", ""));
  EXPECT_TRUE(set("a", "replaced"));
  const std::vector<XmlElement::Attribute> expected = {
      {"a", "replaced"}, {"名前", "右腕"}, {"empty", ""}};
  EXPECT_EQ(root->Attributes(), expected) << "a replaced value keeps its position";

  for (const auto& attribute : expected) {
    SCOPED_TRACE(attribute.first);
    Slots slots{{In(attribute.first.c_str()), kUnset, kUnset}};
    EXPECT_TRUE(XmlElemValue(root.get(), MQXMLELEM_GET_ATTRIBUTE, slots.at));
    ASSERT_NE(slots.at[1], nullptr);
    ASSERT_NE(slots.at[1], kUnset);
    EXPECT_EQ(Text(slots.at[1]), attribute.second);
    EXPECT_EQ(Text(slots.at[1]), root->GetAttribute(attribute.first)->c_str())
        << "text points into the tree";
    EXPECT_EQ(slots.at[2], kUnset);
  }

  static const char kStale[] = "stale";
  for (const char* absent : {"b", "A", "名", "replaced"}) {
    SCOPED_TRACE(absent);
    Slots slots{{In(absent), In(kStale), kUnset}};
    XmlElemValue(root.get(), MQXMLELEM_GET_ATTRIBUTE, slots.at);
    EXPECT_EQ(slots.at[1], nullptr) << "an absent attribute answers null text";
  }
}

TEST(XmlElemValue, InvalidRequestsAnswerFalseAndTouchNothing) {
  auto root = Root();
  Add(root.get(), "child");
  root->SetAttribute("k", "v");
  const auto before = root->Clone();
  static const char kText[] = "text";
  MQXmlElement const kGiven = ToHandle(&root->Child(0));

  const struct {
    const char* label;
    bool null_element;
    int code;
    Slots slots;
  } cases[] = {
      {"null element, name", true, MQXMLELEM_GET_NAME, {{kUnset, kUnset, kUnset}}},
      {"null element, add", true, MQXMLELEM_ADD_CHILD, {{In("x"), kUnset, kUnset}}},
      {"null element, first", true, MQXMLELEM_FIRST_CHILD, {{nullptr, kUnset, kUnset}}},
      {"null element, set", true, MQXMLELEM_SET_ATTRIBUTE, {{In("x"), In(kText), kUnset}}},
      {"add without name", false, MQXMLELEM_ADD_CHILD, {{nullptr, kUnset, kUnset}}},
      {"add with empty name", false, MQXMLELEM_ADD_CHILD, {{In(""), kUnset, kUnset}}},
      {"add with blank in name", false, MQXMLELEM_ADD_CHILD, {{In("a b"), kUnset, kUnset}}},
      {"add with leading digit", false, MQXMLELEM_ADD_CHILD, {{In("1a"), kUnset, kUnset}}},
      {"add with markup in name", false, MQXMLELEM_ADD_CHILD, {{In("<a>"), kUnset, kUnset}}},
      {"next without current", false, MQXMLELEM_NEXT_CHILD, {{nullptr, nullptr, kUnset}}},
      {"get attribute without name", false, MQXMLELEM_GET_ATTRIBUTE, {{nullptr, kUnset, kGiven}}},
      {"set without name", false, MQXMLELEM_SET_ATTRIBUTE, {{nullptr, In(kText), kGiven}}},
      {"set without text", false, MQXMLELEM_SET_ATTRIBUTE, {{In("k"), nullptr, kGiven}}},
      {"set with invalid name", false, MQXMLELEM_SET_ATTRIBUTE, {{In("a=b"), In(kText), kGiven}}},
      {"set with empty name", false, MQXMLELEM_SET_ATTRIBUTE, {{In(""), In(kText), kGiven}}},
      {"unknown code 0", false, 0, {{In("k"), In(kText), kGiven}}},
      {"unknown code 0x302", false, 0x302, {{In("k"), In(kText), kGiven}}},
      {"unknown code 0x402", false, 0x402, {{In("k"), In(kText), kGiven}}},
      {"unknown code -1", false, -1, {{In("k"), In(kText), kGiven}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Slots slots = c.slots;
    EXPECT_FALSE(XmlElemValue(c.null_element ? nullptr : root.get(), c.code, slots.at));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(slots.at[i], c.slots.at[i]) << "slot " << i;
    EXPECT_EQ(*root, *before);
  }
  for (int code : {MQXMLELEM_ADD_CHILD, MQXMLELEM_FIRST_CHILD, MQXMLELEM_NEXT_CHILD,
                   MQXMLELEM_GET_NAME, MQXMLELEM_GET_ATTRIBUTE, MQXMLELEM_SET_ATTRIBUTE}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(XmlElemValue(root.get(), code, nullptr)) << "null slot array";
    EXPECT_EQ(*root, *before);
  }
}

// ---------------------------------------------------------------------------
// The tree

TEST(XmlTree, HandlesAndTextStayValidWhileTheTreeGrows) {
  auto root = Root();
  XmlElement* first = Add(root.get(), "first");
  first->SetAttribute("key", "a value long enough to live on the heap, not inline");
  first->SetAttribute("short", "v");
  Slots name{{nullptr, nullptr, nullptr}};
  XmlElemValue(first, MQXMLELEM_GET_NAME, name.at);
  Slots key{{In("short"), nullptr, nullptr}};
  XmlElemValue(first, MQXMLELEM_GET_ATTRIBUTE, key.at);

  constexpr std::size_t kSiblings = 3000;
  for (std::size_t i = 0; i < kSiblings; ++i) Add(root.get(), "sibling");
  for (int i = 0; i < 200; ++i) Add(first, "inner");

  EXPECT_EQ(&root->Child(0), first);
  EXPECT_STREQ(Text(name.at[0]), "first");
  EXPECT_STREQ(Text(key.at[1]), "v") << "adding children leaves the element's attributes alone";
  const std::vector<XmlElement*> walked = Walk(root.get(), nullptr);
  ASSERT_EQ(walked.size(), kSiblings + 1);
  for (std::size_t i = 0; i < walked.size(); ++i) ASSERT_EQ(walked[i], &root->Child(i)) << i;
  EXPECT_EQ(Walk(root.get(), "first"), std::vector<XmlElement*>{first});
}

TEST(XmlTree, NestingStopsAtTheDepthLimit) {
  auto root = Root();
  XmlElement* deepest = root.get();
  while (XmlElement* child = deepest->AddChild("level")) deepest = child;
  EXPECT_EQ(deepest->Depth(), kMaxXmlDepth);
  Slots slots{{In("level"), nullptr, nullptr}};
  EXPECT_FALSE(XmlElemValue(deepest, MQXMLELEM_ADD_CHILD, slots.at));
  EXPECT_EQ(slots.at[1], nullptr);
  EXPECT_EQ(deepest->ChildCount(), 0u);

  // The deepest possible tree is still written and read back.
  std::unique_ptr<XmlElement> read;
  std::string error;
  ASSERT_TRUE(ParseXml(WriteXml(*root), &read, &error)) << error;
  EXPECT_EQ(*read, *root);
}

// A small tree, optionally with one difference, to show that equality looks
// at every part.
std::unique_ptr<XmlElement> Sample(int variant) {
  auto root = XmlElement::Create(variant == 1 ? "Other" : "Quorvel");
  if (variant == 2) {
    root->SetAttribute("b", "2");
    root->SetAttribute("a", "1");
  } else {
    root->SetAttribute("a", variant == 3 ? "one" : "1");
    root->SetAttribute("b", "2");
  }
  if (variant == 4) root->SetAttribute("c", "3");
  XmlElement* bone = root->AddChild("bone");
  XmlElement* pose = root->AddChild("pose");
  if (variant == 5) std::swap(bone, pose);
  bone->SetAttribute("name", variant == 6 ? "左腕" : "右腕");
  if (variant != 7) bone->AddChild("weight")->SetAttribute("v", "0.5");
  pose->SetAttribute("frame", "0");
  if (variant == 8) pose->AddChild("extra");
  return root;
}

TEST(XmlTree, EqualityNoticesEveryKindOfDifference) {
  const auto base = Sample(0);
  EXPECT_EQ(*base, *Sample(0));
  const char* const kinds[] = {"",
                               "root name",
                               "attribute order",
                               "attribute value",
                               "extra attribute",
                               "child order",
                               "child attribute",
                               "missing grandchild",
                               "extra grandchild"};
  for (int variant = 1; variant <= 8; ++variant) {
    SCOPED_TRACE(kinds[variant]);
    EXPECT_NE(*base, *Sample(variant));
    EXPECT_NE(*Sample(variant), *base);
  }
}

TEST(XmlTree, CloneIsADeepIndependentCopy) {
  const auto original = Sample(0);
  const auto copy = original->Clone();
  ASSERT_EQ(*copy, *original);
  EXPECT_NE(&copy->Child(0), &original->Child(0));
  EXPECT_EQ(copy->Child(0).Child(0).Depth(), 3);

  copy->Child(0).SetAttribute("name", "changed");
  copy->Child(1).AddChild("added");
  EXPECT_EQ(*original, *Sample(0)) << "changing the copy leaves the original alone";
  EXPECT_NE(*copy, *original);

  const auto subtree = original->Child(0).Clone();
  EXPECT_EQ(*subtree, original->Child(0));
  EXPECT_EQ(subtree->Depth(), 1);
  EXPECT_EQ(subtree->Child(0).Depth(), 2);
}

TEST(XmlTree, RemoveChildrenKeepsAttributesAndClearDropsBoth) {
  auto root = Sample(0);
  root->RemoveChildren();
  EXPECT_EQ(root->ChildCount(), 0u);
  EXPECT_EQ(root->FirstChild(), nullptr);
  EXPECT_EQ(root->Attributes().size(), 2u);
  root->AddChild("again");
  root->Clear();
  EXPECT_EQ(root->ChildCount(), 0u);
  EXPECT_TRUE(root->Attributes().empty());
  EXPECT_EQ(root->Name(), "Quorvel");
}

TEST(XmlTree, NumbersReadBackExactly) {
  auto root = Root();
  for (float value : {0.0f, -0.0f, 0.1f, 1.0f / 3.0f, -123456.789f, 1e-45f, FLT_MIN, FLT_MAX,
                      -FLT_MAX, 16777217.0f}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(root->SetFloatAttribute("f", value));
    float read = 42.0f;
    ASSERT_TRUE(root->GetFloatAttribute("f", &read)) << *root->GetAttribute("f");
    EXPECT_EQ(std::memcmp(&read, &value, sizeof value), 0) << *root->GetAttribute("f");
  }
  for (int value : {0, -7, 255, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(value);
    ASSERT_TRUE(root->SetIntAttribute("i", value));
    int read = 42;
    ASSERT_TRUE(root->GetIntAttribute("i", &read));
    EXPECT_EQ(read, value);
  }
}

TEST(XmlTree, TextThatIsNotWhollyANumberIsRefused) {
  auto root = Root();
  const struct {
    const char* text;
    bool is_int;
    bool is_float;
  } cases[] = {
      {"12", true, true},     {"-3.5", false, true},  {"", false, false},
      {" 1", false, false},   {"1 ", false, false},   {"1.5x", false, false},
      {"abc", false, false},  {"1e99", false, false}, {"2147483648", false, true},
      {"0x10", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    root->SetAttribute("n", c.text);
    int i = 42;
    float f = 42.0f;
    EXPECT_EQ(root->GetIntAttribute("n", &i), c.is_int);
    EXPECT_EQ(root->GetFloatAttribute("n", &f), c.is_float);
    if (!c.is_int) {
      EXPECT_EQ(i, 42) << "untouched";
    }
    if (!c.is_float) {
      EXPECT_EQ(f, 42.0f) << "untouched";
    }
  }
  int i = 42;
  EXPECT_FALSE(root->GetIntAttribute("absent", &i));
  EXPECT_EQ(i, 42);
}

// ---------------------------------------------------------------------------
// The file form

std::unique_ptr<XmlElement> TrickyTree() {
  auto root = XmlElement::Create("Quorvel");
  const std::vector<XmlElement::Attribute> values = {
      {"japanese", "日本語の名前 右腕・左脚"},
      {"double_quotes", "say \"hi\""},
      {"apostrophe", "it's"},
      {"both_quotes", "\"'\"'"},
      {"ampersand", "a & b && c"},
      {"angles", "<tag attr=\"x\"> & </tag>"},
      {"entity_like", "&amp;lt; &#65; &unknown;"},
      {"empty", ""},
      {"blanks", "  leading and trailing  "},
      {"line_breaks", "one\ntwo\r\nthree\tfour"},
      {"ns:prefixed", "colon in the name"},
  };
  for (const auto& v : values) root->SetAttribute(v.first, v.second);
  root->AddChild("empty");
  root->AddChild("骨")->SetAttribute("名前", "値");
  XmlElement* chain = root->AddChild("chain");
  for (int i = 0; i < 300; ++i) {
    chain = chain->AddChild("link");
    chain->SetIntAttribute("i", i);
  }
  XmlElement* many = root->AddChild("many");
  for (int i = 0; i < 2000; ++i) many->AddChild(i % 3 == 0 ? "a" : "b")->SetIntAttribute("i", i);
  root->SetAttribute("huge", std::string(1 << 20, 'x'));
  return root;
}

TEST(XmlFile, WriteThenParseGivesTheSameTree) {
  const auto tree = TrickyTree();
  const std::string text = WriteXml(*tree);
  std::unique_ptr<XmlElement> read;
  std::string error;
  ASSERT_TRUE(ParseXml(text, &read, &error)) << error;
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(*read, *tree);
  EXPECT_EQ(WriteXml(*read), text) << "writing is deterministic";
}

TEST(XmlFile, WrittenTextIsAnEscapedUtf8Document) {
  auto root = Root("root");
  root->SetAttribute("v", "a & b <c>");
  root->AddChild("child");
  const std::string text = WriteXml(*root);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
  EXPECT_NE(text.find("v=\"a &amp; b &lt;c&gt;\""), std::string::npos) << text;
  EXPECT_NE(text.find("<child/>"), std::string::npos) << text;
}

TEST(XmlFile, ReadingIgnoresTextAndCommentsAndDecodesReferences) {
  const std::string text =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- <fake depth=\"1\"> -->\n"
      "<!DOCTYPE root [ <!ELEMENT root ANY> ]>\n"
      "<root a=\"&#x65E5;&#26412;&lt;&amp;&gt;\" b='x\"y' c=\"/>\">some text"
      "<!-- <b> --><child/><![CDATA[<not-an-element>]]>more text<?pi data?>"
      "<child2 k=\"v\">inner</child2></root>\n"
      "<!-- trailing comment -->\n";
  auto expected = Root("root");
  expected->SetAttribute("a", "日本<&>");
  expected->SetAttribute("b", "x\"y");
  expected->SetAttribute("c", "/>");
  expected->AddChild("child");
  expected->AddChild("child2")->SetAttribute("k", "v");

  std::unique_ptr<XmlElement> read;
  std::string error;
  ASSERT_TRUE(ParseXml(text, &read, &error)) << error;
  EXPECT_EQ(*read, *expected);
}

TEST(XmlFile, NestingIsReadUpToTheLimitAndRefusedBeyond) {
  for (int depth : {kMaxXmlDepth - 1, kMaxXmlDepth, kMaxXmlDepth + 1}) {
    SCOPED_TRACE(depth);
    std::string text;
    // The markup inside the quoted value must not fool the nesting count.
    for (int i = 0; i < depth; ++i) text += "<a v='/>'>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    std::unique_ptr<XmlElement> read;
    std::string error;
    const bool ok = ParseXml(text, &read, &error);
    EXPECT_EQ(ok, depth <= kMaxXmlDepth) << error;
    if (ok) {
      const XmlElement* deepest = read.get();
      while (deepest->FirstChild() != nullptr) deepest = deepest->FirstChild();
      EXPECT_EQ(deepest->Depth(), depth);
    } else {
      EXPECT_NE(error.find("deeper than"), std::string::npos) << error;
    }
  }
}

TEST(XmlFile, MalformedDocumentsAreRefusedWithTheirPlace) {
  std::string deep_unclosed;
  for (int i = 0; i < 200000; ++i) deep_unclosed += "<a>";
  const struct {
    const char* label;
    std::string text;
    const char* place;  // expected in the message; null when there is none
  } cases[] = {
      {"empty", "", nullptr},
      {"blank", " \n\t ", nullptr},
      {"only a comment", "<!-- nothing -->", nullptr},
      {"truncated tag", "<root><child", "line 1"},
      {"truncated attribute", "<root>\n<child a=\"1", "line 2"},
      {"unclosed root", "<root>\n<a/>\n", "line 3"},
      {"wrong closing tag", "<root>\n  <a></b>\n</root>", "line 2, column"},
      {"closing without opening", "<root>\n</a>\n</root>", "line 2"},
      {"attribute without value", "<root a/>", "line 1"},
      {"attribute without quotes", "<root\n a=1/>", "line 2"},
      {"two roots", "<a/>\n<b/>", "line 2, column 2 (byte 6)"},
      {"text before the root", "hello <a/>", "line 1"},
      {"text after the root", "<a/>\njunk", "line 2"},
      {"duplicate attribute", "<root\n x='1'\n x='2'/>", "line 3, column 2"},
      {"element name with a leading digit", "<root>\n<1a/>\n</root>", "line 2"},
      {"attribute name with a leading digit", "<root 9a='1'/>", "line 1, column 7"},
      {"NUL character", std::string("<a/>\n\0<b/>", 10), "line 2"},
      {"NUL reference", "<a\n v='&#0;'/>", "line 2"},
      {"reference beyond Unicode", "<a v='&#x110000;'/>", "line 1"},
      {"hostile nesting", deep_unclosed, "deeper than"},
      {"huge unterminated attribute", "<a v=\"" + std::string(4 << 20, 'x'), "line 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    auto root = Sample(0);
    const XmlElement* const kept = root.get();
    std::string error;
    EXPECT_FALSE(ParseXml(c.text, &root, &error));
    EXPECT_EQ(root.get(), kept);
    EXPECT_EQ(*root, *Sample(0)) << "the tree is untouched";
    EXPECT_EQ(error.rfind("XML error", 0), 0u) << error;
    if (c.place != nullptr) {
      EXPECT_NE(error.find(c.place), std::string::npos) << error;
    }
  }
}

}  // namespace
