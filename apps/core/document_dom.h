#pragma once

// The reads of document.h from a large file's flat DOM (json_dom.h): the same document and
// the same errors as from the Json that parseDocument gives for the same text. Nodes read
// this way have no source.

#include "apps/core/document.h"
#include "apps/core/json_dom.h"

namespace runner {

Document readDocument(const DomValue& json);
Document readSettings(const DomValue& json);
void readNodes(const DomValue& json, const TakeNode& take);
Json readScript(const DomValue& json);

}  // namespace runner
