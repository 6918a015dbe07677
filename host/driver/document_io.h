#pragma once
// Everything the driver reads from or writes to disk, in one place: opening
// the input document, and the text of the files it writes. Outputs are kept
// as text until the run has succeeded, so that a failed run writes nothing.
#include <string>

namespace mqhost {

class Document;
class Host;

// Opens `path` into the (empty) document: a Wavefront OBJ file (".obj", any
// case) is imported, anything else is read as the host's document file, whose
// plug-in elements then become the document's.
bool OpenDocument(Host& host, Document* document, const std::string& path, std::string* error);

// The document file as it would be saved now, with the plug-ins' elements.
std::string DocumentFileText(Host& host, Document* document);
// The document's objects as OBJ text.
std::string ObjFileText(const Document& document);

// Writes `text` to `path` through a temporary file beside it, so that a
// failed write does not leave half a file.
bool WriteOutputFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace mqhost
