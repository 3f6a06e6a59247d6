#pragma once

// Writes a scene back as a scene file: what an edit can change (attribute values, keys and
// properties) is captured from the scene as it is now, everything else comes from the
// document it was loaded from, so that parts of the file that only the runner reads (the
// script, the camera, the viewport) and keys written for editors survive a save untouched.

#include "apps/core/document.h"

#include <string>

class SC_SceneCommon;

namespace runner {

// `loaded` is the document the scene was built from.
Document captureDocument(const Document& loaded, const SC_SceneCommon& scene);

// A document as a new scene file is written: each node and step on a line of its own,
// two-space indents, a final newline.
std::string documentText(const Json& document);
// `written` (writeDocument(document)) as text: the text the document was read from with
// only what changed written anew, in that file's layout; written as a new file when the
// document keeps no text.
std::string documentText(const Document& document, const Json& written);

// Writes `text` to a temporary file beside `file`, flushes it to disk and renames it over
// `file`, so that `file` is always either the old content or the new one, whole. On
// failure the temporary file is removed, `file` is untouched and `why` says what failed.
// A symbolic link is written through: its target is replaced and the link stays. The file
// keeps its permissions. Other hard links to it keep the old text: a rename cannot update
// them, and writing in place would leave a torn file if the write stopped halfway.
bool writeFileAtomically(const std::string& file, const std::string& text, std::string& why);

}  // namespace runner
