#pragma once

// JSON as text a person keeps under version control. A file written again after an edit
// keeps the bytes of everything the edit left alone (its spacing, its line breaks, how its
// numbers were written), so that a diff shows the edit; what is new is written in the
// file's own layout, numbers in the fewest digits that read back to the same value.

#include "apps/core/json_util.h"

#include <string>

namespace runner {

// The shortest text that reads back as `v` ("0.1", "2", "1e+300").
std::string numberText(double v);

// A document written whole: the top object and the lists of lists or objects directly
// below it one entry per line, with two-space indents, everything deeper on one line
// (`{"a": 1, "b": [1, 2]}`), and a final newline.
std::string cleanText(const Json& document);

// `fresh` written over `text`, which is the text `old` was parsed from: every value of
// `fresh` equal to the value at the same place in `old` keeps its text, members and
// elements keep the spacing around them, and the rest is written in the layout of its
// neighbours. Throws RunError when `text` is not the text of `old`.
std::string rewrittenText(const std::string& text, const Json& old, const Json& fresh);

}  // namespace runner
