#include "host/files/xml_tree.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <new>
#include <rapidxml/rapidxml.hpp>
#include <rapidxml/rapidxml_print.hpp>
#include <system_error>
#include <unordered_set>

#include "sdk/host_codes.h"

namespace mqhost {

namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool NameMatches(const std::string& name, const char* wanted) {
  return wanted == nullptr || name == wanted;
}

bool HasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

}  // namespace

bool IsXmlName(std::string_view name) {
  if (name.empty() || !IsNameStart(static_cast<unsigned char>(name.front()))) return false;
  return std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return IsNameChar(static_cast<unsigned char>(c)); });
}

// ---------------------------------------------------------------------------
// XmlElement

std::unique_ptr<XmlElement> XmlElement::Create(std::string name) {
  if (!IsXmlName(name)) return nullptr;
  return std::make_unique<XmlElement>(Key{}, std::move(name), 1);
}

XmlElement::XmlElement(Key, std::string name, int depth) : name_(std::move(name)), depth_(depth) {}

XmlElement* XmlElement::AddChild(std::string name) {
  if (depth_ >= kMaxXmlDepth || !IsXmlName(name)) return nullptr;
  children_.push_back(std::make_unique<XmlElement>(Key{}, std::move(name), depth_ + 1));
  return children_.back().get();
}

std::size_t XmlElement::FindFrom(std::size_t start, const char* name) const {
  for (std::size_t i = start; i < children_.size(); ++i) {
    if (NameMatches(children_[i]->name_, name)) {
      cursor_ = i;
      return i;
    }
  }
  return children_.size();
}

std::size_t XmlElement::IndexAfter(const XmlElement* current) const {
  if (cursor_ < children_.size() && children_[cursor_].get() == current) return cursor_ + 1;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (children_[i].get() == current) return i + 1;
  }
  return children_.size();
}

const XmlElement* XmlElement::FirstChild(const char* name) const {
  const std::size_t i = FindFrom(0, name);
  return i < children_.size() ? children_[i].get() : nullptr;
}

XmlElement* XmlElement::FirstChild(const char* name) {
  return const_cast<XmlElement*>(static_cast<const XmlElement*>(this)->FirstChild(name));
}

const XmlElement* XmlElement::NextChild(const XmlElement* current, const char* name) const {
  if (current == nullptr) return nullptr;
  const std::size_t i = FindFrom(IndexAfter(current), name);
  return i < children_.size() ? children_[i].get() : nullptr;
}

XmlElement* XmlElement::NextChild(const XmlElement* current, const char* name) {
  return const_cast<XmlElement*>(static_cast<const XmlElement*>(this)->NextChild(current, name));
}

const std::string* XmlElement::GetAttribute(std::string_view name) const {
  for (const Attribute& attribute : attributes_) {
    if (attribute.first == name) return &attribute.second;
  }
  return nullptr;
}

bool XmlElement::SetAttribute(std::string_view name, std::string_view value) {
  if (!IsXmlName(name) || HasNul(value)) return false;
  for (Attribute& attribute : attributes_) {
    if (attribute.first == name) {
      attribute.second.assign(value.data(), value.size());
      return true;
    }
  }
  attributes_.emplace_back(std::string(name), std::string(value));
  return true;
}

bool XmlElement::GetIntAttribute(std::string_view name, int* value) const {
  const std::string* text = GetAttribute(name);
  if (text == nullptr || value == nullptr) return false;
  int parsed = 0;
  const char* end = text->data() + text->size();
  const auto result = std::from_chars(text->data(), end, parsed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  *value = parsed;
  return true;
}

bool XmlElement::GetFloatAttribute(std::string_view name, float* value) const {
  const std::string* text = GetAttribute(name);
  if (text == nullptr || value == nullptr) return false;
  float parsed = 0.0f;
  const char* end = text->data() + text->size();
  const auto result = std::from_chars(text->data(), end, parsed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  *value = parsed;
  return true;
}

bool XmlElement::SetIntAttribute(std::string_view name, int value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return SetAttribute(name,
                      std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

bool XmlElement::SetFloatAttribute(std::string_view name, float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return SetAttribute(name,
                      std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void XmlElement::RemoveChildren() {
  children_.clear();
  cursor_ = 0;
}

void XmlElement::Clear() {
  attributes_.clear();
  RemoveChildren();
}

void XmlElement::CopyContentsInto(XmlElement* target) const {
  target->attributes_ = attributes_;
  target->children_.reserve(children_.size());
  for (const auto& child : children_) {
    target->children_.push_back(
        std::make_unique<XmlElement>(Key{}, child->name_, target->depth_ + 1));
    child->CopyContentsInto(target->children_.back().get());
  }
}

std::unique_ptr<XmlElement> XmlElement::Clone() const {
  auto copy = std::make_unique<XmlElement>(Key{}, name_, 1);
  CopyContentsInto(copy.get());
  return copy;
}

bool operator==(const XmlElement& a, const XmlElement& b) {
  if (a.name_ != b.name_ || a.attributes_ != b.attributes_ ||
      a.children_.size() != b.children_.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.children_.size(); ++i) {
    if (*a.children_[i] != *b.children_[i]) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// MQXmlElem_Value

bool XmlElemValue(XmlElement* element, int code, void** slots) {
  if (element == nullptr || slots == nullptr) return false;
  const auto text = [](const void* slot) { return static_cast<const char*>(slot); };
  switch (code) {
    case MQXMLELEM_ADD_CHILD: {
      if (slots[0] == nullptr) return false;
      XmlElement* child = element->AddChild(text(slots[0]));
      if (child == nullptr) return false;
      slots[1] = ToHandle(child);
      return true;
    }
    case MQXMLELEM_FIRST_CHILD:
      slots[1] = ToHandle(element->FirstChild(text(slots[0])));
      return true;
    case MQXMLELEM_NEXT_CHILD:
      if (slots[1] == nullptr) return false;
      slots[2] = ToHandle(element->NextChild(static_cast<const XmlElement*>(slots[1]), text(slots[0])));
      return true;
    case MQXMLELEM_GET_NAME:
      slots[0] = const_cast<char*>(element->Name().c_str());
      return true;
    case MQXMLELEM_GET_ATTRIBUTE: {
      if (slots[0] == nullptr) return false;
      const std::string* value = element->GetAttribute(text(slots[0]));
      slots[1] = value != nullptr ? const_cast<char*>(value->c_str()) : nullptr;
      return true;
    }
    case MQXMLELEM_SET_ATTRIBUTE:
      if (slots[0] == nullptr || slots[1] == nullptr) return false;
      return element->SetAttribute(text(slots[0]), text(slots[1]));
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Writing

namespace {

using Document = rapidxml::xml_document<char>;
using Node = rapidxml::xml_node<char>;

// rapidxml stores pointers, not copies: every string goes into the
// document's pool, with its length, so values may hold any byte but NUL.
const char* PoolCopy(Document* document, const std::string& text) {
  return text.empty() ? "" : document->allocate_string(text.data(), text.size());
}

Node* BuildNode(Document* document, const XmlElement& element) {
  Node* node = document->allocate_node(rapidxml::node_element, PoolCopy(document, element.Name()),
                                       nullptr, element.Name().size(), 0);
  for (const XmlElement::Attribute& attribute : element.Attributes()) {
    node->append_attribute(document->allocate_attribute(
        PoolCopy(document, attribute.first), PoolCopy(document, attribute.second),
        attribute.first.size(), attribute.second.size()));
  }
  for (std::size_t i = 0; i < element.ChildCount(); ++i) {
    node->append_node(BuildNode(document, element.Child(i)));
  }
  return node;
}

}  // namespace

std::string WriteXml(const XmlElement& root) {
  Document document;
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  rapidxml::print(std::back_inserter(text), *BuildNode(&document, root));
  return text;
}

// ---------------------------------------------------------------------------
// Reading

namespace {

constexpr int kParseFlags = rapidxml::parse_validate_closing_tags | rapidxml::parse_no_data_nodes;

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

const char* SkipPast(const char* text, const char* mark) {
  const char* found = std::strstr(text, mark);
  return found != nullptr ? found + std::strlen(mark) : text + std::strlen(text);
}

// The recursive parser uses stack in proportion to nesting, so hostile input
// is measured first by a scan that skips markup the way rapidxml does. Answers
// the start of the first element deeper than `limit`, or null.
const char* FindTooDeep(const char* text, int limit) {
  int depth = 0;
  const char* p = text;
  while (*p != '\0') {
    if (*p != '<') {
      ++p;
      continue;
    }
    const char* start = p++;
    if (StartsWith(p, "!--")) {
      p = SkipPast(p + 3, "-->");
    } else if (StartsWith(p, "![CDATA[")) {
      p = SkipPast(p + 8, "]]>");
    } else if (*p == '?') {
      p = SkipPast(p + 1, "?>");
    } else if (*p == '!') {
      // Doctype: its internal subset in brackets may hold '>'.
      int brackets = 0;
      for (; *p != '\0'; ++p) {
        if (*p == '[') ++brackets;
        if (*p == ']') --brackets;
        if (*p == '>' && brackets <= 0) {
          ++p;
          break;
        }
      }
    } else if (*p == '/') {
      --depth;
      p = SkipPast(p, ">");
    } else {
      if (++depth > limit) return start;
      char quote = 0;
      for (; *p != '\0'; ++p) {
        if (quote != 0) {
          if (*p == quote) quote = 0;
        } else if (*p == '"' || *p == '\'') {
          quote = *p;
        } else if (*p == '>') {
          if (p[-1] == '/') --depth;
          ++p;
          break;
        }
      }
    }
  }
  return nullptr;
}

// Positions are counted in the caller's text: rapidxml overwrites parts of
// its buffer (name terminators, decoded entities) while it parses.
std::string Located(const std::string& text, std::size_t offset, const std::string& message) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return "XML error at line " + std::to_string(line) + ", column " +
         std::to_string(offset - line_start + 1) + " (byte " + std::to_string(offset) +
         "): " + message;
}

}  // namespace

// Turns rapidxml's nodes into elements, checking what rapidxml lets through.
struct XmlTreeBuilder {
  const std::string& text;
  const char* buffer;
  std::string error;

  bool Fail(const char* where, const std::string& message) {
    error = Located(text, static_cast<std::size_t>(where - buffer), message);
    return false;
  }

  bool Copy(const Node& node, XmlElement* element) {
    std::unordered_set<std::string_view> seen;
    for (const rapidxml::xml_attribute<char>* a = node.first_attribute(); a != nullptr;
         a = a->next_attribute()) {
      const std::string_view name(a->name(), a->name_size());
      const std::string_view value(a->value(), a->value_size());
      if (!IsXmlName(name)) {
        return Fail(a->name(), "'" + std::string(name) + "' is not an attribute name");
      }
      if (!seen.insert(name).second) {
        return Fail(a->name(), "attribute '" + std::string(name) + "' appears twice");
      }
      if (HasNul(value)) {
        return Fail(a->name(), "attribute '" + std::string(name) + "' holds a NUL character");
      }
      element->attributes_.emplace_back(std::string(name), std::string(value));
    }
    for (const Node* child = node.first_node(); child != nullptr; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      const std::string name(child->name(), child->name_size());
      XmlElement* added = element->AddChild(name);
      if (added == nullptr) {
        return Fail(child->name(), IsXmlName(name) ? "elements nested deeper than " +
                                                         std::to_string(kMaxXmlDepth) + " levels"
                                                   : "'" + name + "' is not an element name");
      }
      if (!Copy(*child, added)) return false;
    }
    return true;
  }

  // The document's single root element, or null with `error` set.
  std::unique_ptr<XmlElement> Build(const Document& document) {
    const Node* top = FirstElement(document.first_node());
    if (top == nullptr) {
      error = "XML error: the document has no root element";
      return nullptr;
    }
    if (const Node* second = FirstElement(top->next_sibling())) {
      Fail(second->name(), "a second root element");
      return nullptr;
    }
    const std::string name(top->name(), top->name_size());
    std::unique_ptr<XmlElement> root = XmlElement::Create(name);
    if (root == nullptr) {
      Fail(top->name(), "'" + name + "' is not an element name");
      return nullptr;
    }
    if (!Copy(*top, root.get())) return nullptr;
    return root;
  }

  static const Node* FirstElement(const Node* node) {
    while (node != nullptr && node->type() != rapidxml::node_element) node = node->next_sibling();
    return node;
  }
};

bool ParseXml(const std::string& text, std::unique_ptr<XmlElement>* root, std::string* error) {
  std::unique_ptr<XmlElement> result;
  std::string message;
  // rapidxml parses in place and needs a writable, NUL-terminated copy.
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  const char* const start = buffer.data();
  const std::size_t nul = text.find('\0');
  try {
    if (nul != std::string::npos) {
      // rapidxml would stop there and ignore the rest.
      message = Located(text, nul, "a NUL character");
    } else if (const char* deep = FindTooDeep(start, kMaxXmlDepth)) {
      message = Located(text, static_cast<std::size_t>(deep - start),
                        "elements nested deeper than " + std::to_string(kMaxXmlDepth) + " levels");
    } else {
      Document document;
      document.parse<kParseFlags>(buffer.data());
      XmlTreeBuilder builder{text, start, {}};
      result = builder.Build(document);
      message = builder.error;
    }
  } catch (const rapidxml::parse_error& e) {
    result.reset();
    message = Located(text, static_cast<std::size_t>(e.where<char>() - start), e.what());
  } catch (const std::bad_alloc&) {
    result.reset();
    message = "XML error: out of memory";
  }
  if (result == nullptr) {
    if (error != nullptr) *error = message;
    return false;
  }
  if (root != nullptr) *root = std::move(result);
  return true;
}

}  // namespace mqhost
