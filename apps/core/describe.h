#pragma once

// What each registered component is, learnt from the component itself: it is built through
// its factory from attributes of every kind to find what it accepts, and from an accessor
// that notes every property it asks for, with the kind and the default it asks with. No
// table kept beside the components, so the description cannot drift from the code.

#include "apps/core/json_util.h"

#include <ostream>
#include <string>
#include <vector>

namespace runner {

// One registered type string in one factory, as a JSON object:
//   "type", "family", "class",
//   "attributes": {"none": bool, "one": [kinds], "two": [[kind, kind], ...],
//                  "three": [[kind, kind, kind], ...] (only lists that extend an accepted
//                  pair), "summary": text},
//   "properties": [{"key", "kind", "default", "presence" (the component asks whether the
//                  node defines the key), "dependsOn": [{"property", "when", "default"} or
//                  {"property", "sameAs": true}], "onlyWhen": [...] (read only then),
//                  "reads": every read of the key, in order, as {"kind", "default"} with
//                  "onlyWhen" when made only under a condition}],
//   "update": null (not told of property changes) or the keys re-read, in order,
//   "updateReads": null likewise, or every read of the update, in order, as {"key",
//                  "kind", "default"} with "onlyWhen": [{"property", "when": "given"}]
//                  for a read made only when that key is given.
// Kinds of attributes are those of scene files: double, bool, string, position2d,
// position3d, rotation3d, scale3d.
Json describeComponents(const std::vector<std::string>& types);

// The type strings of `types` that no factory knows, for the command line to refuse.
std::vector<std::string> unknownTypes(const std::vector<std::string>& types);

// The description above as text, one block per component.
void printDescription(const Json& description, std::ostream& out);

}  // namespace runner
