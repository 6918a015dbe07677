#pragma once
// The element tree behind a plug-in's XML element, and its file form.
//
// Names and values are UTF-8. Only elements and attributes are kept: text
// between tags (and CDATA, comments, processing instructions) is ignored when
// reading, because nothing on the plug-in side can read or write it.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/mq_types.h"

namespace mqhost {

// Deepest nesting of elements, the root being level 1. The tree refuses to
// grow deeper and the parser refuses deeper input, so that every recursive
// walk (parser, printer, copy, destruction) has a bounded stack.
constexpr int kMaxXmlDepth = 1000;

// True when `name` can be written as an element or attribute name: ASCII
// letters, digits, '_', '-', '.', ':' and any byte of a multi-byte UTF-8
// character, not empty and not starting with a digit, '-' or '.'.
bool IsXmlName(std::string_view name);

class XmlElement {
  struct Key {
    explicit Key() = default;
  };

 public:
  using Attribute = std::pair<std::string, std::string>;

  // A new root element; null when `name` is not an XML name.
  static std::unique_ptr<XmlElement> Create(std::string name);

  // Only Create and AddChild make elements (the key is private).
  XmlElement(Key, std::string name, int depth);
  XmlElement(const XmlElement&) = delete;
  XmlElement& operator=(const XmlElement&) = delete;

  const std::string& Name() const { return name_; }
  // 1 for a root.
  int Depth() const { return depth_; }

  // Appends a child; null when `name` is not an XML name or the child would be
  // deeper than kMaxXmlDepth. The child's address never changes while it lives.
  XmlElement* AddChild(std::string name);

  // The first child named `name` (any child when null), or null.
  XmlElement* FirstChild(const char* name = nullptr);
  const XmlElement* FirstChild(const char* name = nullptr) const;
  // The first child after `current` named `name` (any when null); null at the
  // end or when `current` is not a child of this element. `current` is only
  // compared, never dereferenced, so a stale pointer is harmless.
  XmlElement* NextChild(const XmlElement* current, const char* name = nullptr);
  const XmlElement* NextChild(const XmlElement* current, const char* name = nullptr) const;

  std::size_t ChildCount() const { return children_.size(); }
  XmlElement& Child(std::size_t index) { return *children_.at(index); }
  const XmlElement& Child(std::size_t index) const { return *children_.at(index); }

  // The value of attribute `name`, or null when absent. The pointer stays
  // valid until this element is changed or destroyed.
  const std::string* GetAttribute(std::string_view name) const;
  // Sets or replaces (in place, keeping its position) an attribute. False and
  // nothing changed when `name` is not an XML name or `value` holds a NUL.
  bool SetAttribute(std::string_view name, std::string_view value);
  const std::vector<Attribute>& Attributes() const { return attributes_; }

  // Typed access for the document file. The getters answer false and leave
  // `value` untouched when the attribute is absent or not entirely a number.
  bool GetIntAttribute(std::string_view name, int* value) const;
  bool GetFloatAttribute(std::string_view name, float* value) const;
  bool SetIntAttribute(std::string_view name, int value);
  // Writes the shortest text that reads back as exactly the same float.
  bool SetFloatAttribute(std::string_view name, float value);

  void RemoveChildren();
  // Removes attributes and children; the name stays.
  void Clear();

  // A deep copy as a new root (for undo states).
  std::unique_ptr<XmlElement> Clone() const;

  // Same name, same attributes in the same order, equal children in the same
  // order. Depth is not compared, so a copied subtree equals its original.
  friend bool operator==(const XmlElement& a, const XmlElement& b);
  friend bool operator!=(const XmlElement& a, const XmlElement& b) { return !(a == b); }

 private:
  friend struct XmlTreeBuilder;

  std::size_t IndexAfter(const XmlElement* current) const;
  std::size_t FindFrom(std::size_t start, const char* name) const;
  void CopyContentsInto(XmlElement* target) const;

  std::string name_;
  int depth_;
  std::vector<Attribute> attributes_;
  std::vector<std::unique_ptr<XmlElement>> children_;
  // Index of the child last answered by FirstChild/NextChild, so that walking
  // all children costs linear time instead of quadratic.
  mutable std::size_t cursor_ = 0;
};

// Plug-in handles are element addresses.
inline MQXmlElement ToHandle(XmlElement* element) {
  return reinterpret_cast<MQXmlElement>(element);
}
inline XmlElement* FromHandle(MQXmlElement handle) { return reinterpret_cast<XmlElement*>(handle); }

// The host's MQXmlElem_Value over an array of pointer slots (see the codes
// in sdk/host_codes.h). A lookup that finds nothing (first or next child,
// attribute) writes null into its out slot. An invalid request writes
// nothing: a null element or slot array, a required in slot null (name for
// the add, attribute and set codes, current child for next, value for set),
// a name that is not an XML name for add or set, a child beyond
// kMaxXmlDepth, or an unknown code. Next child writes null at the end and for
// a current element that is no child of this one. Answers whether the request was carried out (the real
// modeller's function returns nothing; this answer is for the host's tests).
bool XmlElemValue(XmlElement* element, int code, void** slots);

// The tree as a UTF-8 XML document (declaration, tab-indented elements).
// Attribute values are escaped; line breaks and tabs inside values are written
// as they are, and ParseXml keeps them as they are.
std::string WriteXml(const XmlElement& root);

// Parses a whole document with a single root element. On failure answers
// false with a message naming the line, column (in bytes) and byte offset,
// and leaves *root untouched. Besides malformed XML, it refuses names that
// are not XML names, duplicate attributes, NUL characters in values, and
// nesting deeper than kMaxXmlDepth.
bool ParseXml(const std::string& text, std::unique_ptr<XmlElement>* root, std::string* error);

}  // namespace mqhost
