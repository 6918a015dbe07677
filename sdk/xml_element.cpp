#include "sdk/xml_element.h"

#include "platform/codepage.h"
#include "sdk/host_api.h"

namespace mqxml {

namespace {

using quorvel::platform::AnsiToUtf8;
using quorvel::platform::Utf8ToAnsi;

// A name given by the plug-in, kept alive in UTF-8 for the length of one call.
struct HostName {
  explicit HostName(const char* name) : present(name != nullptr) {
    if (present) utf8 = AnsiToUtf8(name);
  }
  const char* get() const { return present ? utf8.c_str() : nullptr; }
  bool present;
  std::string utf8;
};

// One call with the pointer slots; what the host writes comes back in them.
struct Slots {
  void* at[kMQXmlSlotCount] = {};
};

void Call(MQXmlElement element, int code, Slots& slots) {
  HostApi().MQXmlElem_Value(element, code, slots.at);
}

const char* Text(const void* slot) { return static_cast<const char*>(slot); }

}  // namespace

MQXmlElement AddChild(MQXmlElement parent, const char* name) {
  if (parent == nullptr || name == nullptr) return nullptr;
  HostName host_name(name);
  Slots slots;
  slots.at[0] = const_cast<char*>(host_name.get());
  Call(parent, MQXMLELEM_ADD_CHILD, slots);
  return static_cast<MQXmlElement>(slots.at[1]);
}

MQXmlElement FirstChild(MQXmlElement parent, const char* name) {
  if (parent == nullptr) return nullptr;
  HostName host_name(name);
  Slots slots;
  slots.at[0] = const_cast<char*>(host_name.get());
  Call(parent, MQXMLELEM_FIRST_CHILD, slots);
  return static_cast<MQXmlElement>(slots.at[1]);
}

MQXmlElement NextChild(MQXmlElement parent, MQXmlElement current, const char* name) {
  if (parent == nullptr || current == nullptr) return nullptr;
  HostName host_name(name);
  Slots slots;
  slots.at[0] = const_cast<char*>(host_name.get());
  slots.at[1] = current;
  Call(parent, MQXMLELEM_NEXT_CHILD, slots);
  return static_cast<MQXmlElement>(slots.at[2]);
}

std::string Name(MQXmlElement element) {
  if (element == nullptr) return {};
  Slots slots;
  Call(element, MQXMLELEM_GET_NAME, slots);
  const char* text = Text(slots.at[0]);
  return text != nullptr ? Utf8ToAnsi(text) : std::string();
}

bool GetAttribute(MQXmlElement element, const char* name, std::string* result) {
  if (element == nullptr || name == nullptr) return false;
  HostName host_name(name);
  Slots slots;
  slots.at[0] = const_cast<char*>(host_name.get());
  Call(element, MQXMLELEM_GET_ATTRIBUTE, slots);
  const char* text = Text(slots.at[1]);
  if (text == nullptr) return false;
  if (result != nullptr) *result = Utf8ToAnsi(text);
  return true;
}

void SetAttribute(MQXmlElement element, const char* name, const char* text) {
  if (element == nullptr || name == nullptr || text == nullptr) return;
  HostName host_name(name);
  const std::string utf8 = AnsiToUtf8(text);
  Slots slots;
  slots.at[0] = const_cast<char*>(host_name.get());
  slots.at[1] = const_cast<char*>(utf8.c_str());
  Call(element, MQXMLELEM_SET_ATTRIBUTE, slots);
}

}  // namespace mqxml
