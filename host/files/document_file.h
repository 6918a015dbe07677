#pragma once
// The host's own document file (XML) and the Wavefront OBJ exchange. Every
// reader checks the whole input before it changes anything: a malformed file
// answers false with a message that names the file (and line where it can)
// and leaves the document as it was.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "host/core/document.h"
#include "host/files/xml_tree.h"

namespace mqhost {

// The plug-ins' element trees of a document, keyed by (product, plug-in id).
using PluginElementMap = std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<XmlElement>>;

// The document (objects with geometry, transforms and user data; materials;
// user-data kinds; camera; current indices) and the plug-ins' elements as XML.
std::string WriteDocumentXml(const Document& document, const PluginElementMap& elements);
bool ReadDocumentXml(const std::string& text, Document* document, PluginElementMap* elements,
                     std::string* error);

bool SaveDocumentFile(const std::string& path, const Document& document,
                      const PluginElementMap& elements, std::string* error);
bool LoadDocumentFile(const std::string& path, Document* document, PluginElementMap* elements,
                      std::string* error);

// Writes `text` to `path` through a temporary file beside it, so that a
// failed write never leaves half a file; the message names the file.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

// Adds one object per OBJ object or group, and the OBJ's materials, to the
// document. Answers false and adds nothing when the file is malformed.
bool ImportObjFile(const std::string& path, Document* document, std::string* error);
// Writes the document's objects as they stand, one OBJ object each.
bool ExportObjFile(const std::string& path, const Document& document, std::string* error);
std::string DocumentToObj(const Document& document);

}  // namespace mqhost
