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

BOOL Call(MQXmlElement element, int code, MQXmlValue* value) {
  return HostApi().MQXmlElem_Value(element, code, value);
}

}  // namespace

MQXmlElement AddChild(MQXmlElement parent, const char* name) {
  if (parent == nullptr || name == nullptr) return nullptr;
  HostName host_name(name);
  MQXmlValue value{host_name.get(), nullptr, nullptr};
  return Call(parent, MQXMLELEM_ADD_CHILD, &value) ? value.element : nullptr;
}

MQXmlElement FirstChild(MQXmlElement parent, const char* name) {
  if (parent == nullptr) return nullptr;
  HostName host_name(name);
  MQXmlValue value{host_name.get(), nullptr, nullptr};
  return Call(parent, MQXMLELEM_FIRST_CHILD, &value) ? value.element : nullptr;
}

MQXmlElement NextChild(MQXmlElement parent, MQXmlElement current, const char* name) {
  if (parent == nullptr || current == nullptr) return nullptr;
  HostName host_name(name);
  MQXmlValue value{host_name.get(), nullptr, current};
  return Call(parent, MQXMLELEM_NEXT_CHILD, &value) ? value.element : nullptr;
}

std::string Name(MQXmlElement element) {
  if (element == nullptr) return {};
  MQXmlValue value{nullptr, nullptr, nullptr};
  if (!Call(element, MQXMLELEM_GET_NAME, &value) || value.text == nullptr) return {};
  return Utf8ToAnsi(value.text);
}

bool GetAttribute(MQXmlElement element, const char* name, std::string* result) {
  if (element == nullptr || name == nullptr) return false;
  HostName host_name(name);
  MQXmlValue value{host_name.get(), nullptr, nullptr};
  if (!Call(element, MQXMLELEM_GET_ATTRIBUTE, &value) || value.text == nullptr) return false;
  if (result != nullptr) *result = Utf8ToAnsi(value.text);
  return true;
}

void SetAttribute(MQXmlElement element, const char* name, const char* text) {
  if (element == nullptr || name == nullptr || text == nullptr) return;
  HostName host_name(name);
  const std::string utf8 = AnsiToUtf8(text);
  MQXmlValue value{host_name.get(), utf8.c_str(), nullptr};
  Call(element, MQXMLELEM_SET_ATTRIBUTE, &value);
}

}  // namespace mqxml
