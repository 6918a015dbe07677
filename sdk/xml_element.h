#pragma once
// The host's XML element operations for the plug-in's stored data. The
// plug-in's text is in the system code page and the host's is UTF-8: every
// name and value is converted on the way in and out. A null element answers
// null, false or nothing without asking the host.
#include <string>

#include "sdk/mq_types.h"

namespace mqxml {

// The new child element named `name`, or null.
MQXmlElement AddChild(MQXmlElement parent, const char* name);
// The first child element (named `name`, or any when `name` is null), or null.
MQXmlElement FirstChild(MQXmlElement parent, const char* name = nullptr);
// The child after `current` (named `name`, or any), or null at the end.
MQXmlElement NextChild(MQXmlElement parent, MQXmlElement current, const char* name = nullptr);
// The element's own name; empty for a null element.
std::string Name(MQXmlElement element);
// True and the value when the attribute is present; false and `value`
// untouched otherwise.
bool GetAttribute(MQXmlElement element, const char* name, std::string* value);
void SetAttribute(MQXmlElement element, const char* name, const char* value);

}  // namespace mqxml
