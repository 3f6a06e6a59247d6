#pragma once

// An attribute edit as a user makes it in the inspector, shared by the viewer's inspector
// and the "edit" step that replays it: one undoable command on the session's history,
// written as a drag records its edit in the current animation mode (the value at the
// current frame, or an offset of every value of the frame range).

#include "apps/core/json_util.h"
#include "apps/core/session.h"

#include <memory>
#include <string>
#include <vector>

class AT_Attr;
namespace Attr {
class AttrWritesCmd;
}
class AT_DoubleAttr;

namespace runner {

// The number attributes an attribute is made of: itself, or a compound one's components;
// none for booleans and strings.
std::vector<AT_DoubleAttr*> scalarsOf(AT_Attr* attribute);

// The writes that set number attributes to `wanted` as the session's animation mode keys
// an edit: the values at the current frame, or over a frame range every value moved by
// the change made at the current frame.
std::unique_ptr<Attr::AttrWritesCmd> planModeWrites(const Session& session, const std::vector<AT_DoubleAttr*>& scalars,
                                                    const std::vector<double>& wanted);

// What an edit did.
enum class EditOutcome { Recorded, Unchanged, Refused };

// One attribute and the value it is set to.
struct AttributeEdit {
    AT_Attr* attribute;
    Json value;
};

// Makes every edit as one command: "Set node.attr" for one, "Set attr on N nodes" when they
// all set one attribute of several nodes (the inspector over a multiple selection), else
// "Set N attributes". A value of the wrong shape throws RunError; when one edit would make
// a value or key that is not finite, none is made, and `why` says so.
EditOutcome editAttributes(Session& session, const std::vector<AttributeEdit>& edits, std::string& why);

}  // namespace runner
