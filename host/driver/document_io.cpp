#include "host/driver/document_io.h"

#include <cctype>

#include "host/core/host.h"
#include "host/files/document_file.h"

namespace mqhost {

namespace {

bool HasObjExtension(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".obj";
}

}  // namespace

bool OpenDocument(Host& host, Document* document, const std::string& path, std::string* error) {
  if (HasObjExtension(path)) return ImportObjFile(path, document, error);
  PluginElementMap elements;
  if (!LoadDocumentFile(path, document, &elements, error)) return false;
  host.SetPluginElements(document, std::move(elements));
  return true;
}

std::string DocumentFileText(Host& host, Document* document) {
  return WriteDocumentXml(*document, host.PluginElements(document));
}

std::string ObjFileText(const Document& document) { return DocumentToObj(document); }

bool WriteOutputFile(const std::string& path, const std::string& text, std::string* error) {
  return WriteFileAtomically(path, text, error);
}

}  // namespace mqhost
