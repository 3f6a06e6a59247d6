#pragma once

// Plays a scene's script. Each step is an object whose one step key (such as "frame" or
// "expect") picks its handler from a table; the step's other keys are options that the
// handler declares. New kinds of steps are added as table entries.

#include "apps/rigkit-run/json_util.h"
#include "apps/rigkit-run/scene_loader.h"
#include "host/commands/CO_Command.h"
#include "host/draw/VS_Image.h"
#include "host/scene/MO_Frame.h"
#include "host/scene/SLB_ManipContext.h"

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class VS_OffscreenContext;

namespace runner {

// What the steps share while a script plays.
struct ScriptContext {
    Scene& scene;
    std::ostream& out;
    // Where rendered images go.
    std::string outDir;
    // The frame being drawn and edited.
    double frame = 1.0;
    // How a drag's edit is recorded.
    CX_AnimationMode animationMode = CX_AnimationModeCurrentFrame;
    MO_FrameRange range;
    CO_UndoHistory history;
    // Made by the first step that draws.
    std::shared_ptr<VS_OffscreenContext> gl;
    // What the last "render" step drew, for "expectPixel".
    VS_Image lastRender;
};

struct StepHandler {
    // Called with the value of the step key and the whole step. Throws RunError (without a
    // `where`) when the step fails.
    std::function<void(ScriptContext&, const Json& argument, const Json& step)> play;
    // The keys the step accepts beside its own.
    std::vector<std::string> options;
};

using StepTable = std::map<std::string, StepHandler>;

// frame, set, print, expect, expectKeys, expectMessages.
void addCoreSteps(StepTable& table);

// render, select, expectPixel, click, expectPick, expectSelection, animationMode, drag,
// undo, redo, expectHistory, camera.
void addViewSteps(StepTable& table);

// The scene-wide print items: "history" and "selection"; null for any other item.
Json readViewItem(ScriptContext& context, const std::string& item);

// Every step this runner plays.
StepTable defaultSteps();

// Plays `script` in order. A step that fails, or that names no known step, throws
// RunError with `where` "step N" (counted from 1). Every step's kind is checked before
// the first one plays, so a misspelt step late in a script fails before any output.
void playScript(const Json& script, const StepTable& table, ScriptContext& context);

}  // namespace runner
