#pragma once

// Plays a scene's script. Each step is an object whose one step key (such as "frame" or
// "expect") picks its handler from a table; the step's other keys are options that the
// handler declares. New kinds of steps are added as table entries.

#include "apps/core/json_util.h"
#include "apps/core/session.h"
#include "host/draw/VS_Image.h"
#include "host/draw/VS_SceneRenderer.h"

#include <QFlags>
#include <Qt>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class MO_Node;
class VS_OffscreenContext;

namespace runner {

class StepTable;

// What the steps share while a script plays on a session.
struct ScriptContext {
    ScriptContext(Session& session, std::ostream& out, std::string outDir)
        : session(session), out(out), outDir(std::move(outDir)) {}

    Session& session;
    std::ostream& out;
    // Where rendered images go.
    std::string outDir;
    // Made by the first step that draws, unless `draw` is set.
    std::shared_ptr<VS_OffscreenContext> gl;
    // Where the drawing steps draw when set (the viewer's window): the ordinary pass
    // (`pick` false, no handles) or the picking pass of the current view.
    std::function<VS_PickImage(bool pick)> draw;
    // Called after every step when set (the viewer shows what the step changed).
    std::function<void()> afterStep;
    // The table the script plays with, for steps that play steps of their own.
    const StepTable* steps = nullptr;
    // What the last "render" step drew, for "expectPixel".
    VS_Image lastRender;
    // Every image the "render" steps wrote, in order, for "contactSheet".
    std::vector<VS_Image> renders;
    // Drags whose edit went into the history.
    int editsRecorded = 0;
    // What "copyPose" copied, for "pastePose": [{"node": name, "values": {attr: value}}].
    Json clipboard = Json::array();
};

// Called with the value of the step key and the whole step. Throws RunError (without a
// `where`) when the step fails.
using PlayStep = std::function<void(ScriptContext&, const Json& argument, const Json& step)>;

struct StepHandler {
    PlayStep play;
    // The keys the step accepts beside its own.
    std::vector<std::string> options;
};

// The steps a script may name, each with how it plays. Adding a step that is there, or
// overriding one that is not, is a mistake in the program (a misspelt name would
// otherwise add a step nobody plays): both throw std::logic_error.
class StepTable {
public:
    void add(const std::string& name, PlayStep play, std::vector<std::string> options = {});
    // Another way to play a step, which keeps its options.
    void override(const std::string& name, PlayStep play);
    // Null when there is no such step.
    const StepHandler* find(const std::string& name) const;

    // In the order of their names.
    std::map<std::string, StepHandler>::const_iterator begin() const { return m_steps.begin(); }
    std::map<std::string, StepHandler>::const_iterator end() const { return m_steps.end(); }

private:
    std::map<std::string, StepHandler> m_steps;
};

// frame, set, properties, print, expect, expectKeys, expectMessages.
void addCoreSteps(StepTable& table);

// edit: attribute edits as a user makes them in the inspector, each one undoable.
void addEditSteps(StepTable& table);

// render, contactSheet, select, expectPixel, click, expectPick, expectSelection,
// animationMode, drag, undo, redo, expectHistory, camera.
void addViewSteps(StepTable& table);

// copyPose, pastePose, restPose.
void addPoseSteps(StepTable& table);
// addNode, addAttribute, addComponent, removeComponent, bind, reparent, connect, duplicate,
// delete, autoKey: what the scene is made of, each an undoable command.
void addAuthoringSteps(StepTable& table);

// The keyboard modifiers steps name, in the order messages list them.
struct ModifierName {
    const char* name;
    Qt::KeyboardModifier modifier;
};
inline constexpr ModifierName kModifiers[] = {
    {"shift", Qt::ShiftModifier}, {"control", Qt::ControlModifier}, {"alt", Qt::AltModifier}};

// A "drag" step's gesture: press at `from`, `steps` moves evenly to `to`, release; or,
// when `path` is given, a move to each of its points and then to `to`, as a hand drew it.
struct DragGesture {
    Math::Point2d from;
    Math::Point2d to;
    int steps = 1;
    std::vector<Math::Point2d> path;
    Qt::KeyboardModifiers modifiers;
    // The node the step names (it has a manipulator), or null for the one under `from`.
    MO_Node* node = nullptr;
    std::optional<int> manipMode;
    // `from` and `to` are in the pointer frame (world) rather than window pixels; a point
    // there may be given as [x, y, z] (a perspective view's pointer plane leaves z = 0),
    // whose z goes here: of `from`, of each point of `path`, of `to`.
    bool inPointer = false;
    double fromZ = 0.0;
    std::vector<double> pathZ;
    double toZ = 0.0;

    // Where the pointer is after move `step` (1 to steps).
    Math::Point2d pointAt(int step) const;
    // The same in the pointer frame, with z; step 0 is the press.
    Math::Point3d pointerAt(int step) const;
};

// Reads and checks a "drag" step's argument; throws RunError.
DragGesture readDrag(ScriptContext& context, const Json& argument);

// The modifiers listed under `key` in a step, such as "modifiers": ["shift", "control"].
Qt::KeyboardModifiers readModifiers(const Json& step, const char* key);

// The node a step names under `path`; throws RunError when there is none.
MO_Node* nodeNamed(ScriptContext& context, const Json& name, const std::string& path);

// The scene-wide print items: "history" and "selection"; null for any other item.
Json readViewItem(ScriptContext& context, const std::string& item);

// The index of the pixel a window coordinate falls in (pixel i covers [i, i + 1)); -1,
// which is off every view, for a coordinate beyond any int.
int pixelIndex(double coordinate);

// Every step this runner plays.
StepTable defaultSteps();

// Plays `script` in order. A step that fails, or that names no known step, throws
// RunError with `where` "step N" (counted from 1). Every step's kind is checked before
// the first one plays, so a misspelt step late in a script fails before any output.
// While it plays, context.steps is `table`.
void playScript(const Json& script, const StepTable& table, ScriptContext& context);

}  // namespace runner
