#include "apps/core/script.h"

#include <stdexcept>

namespace runner {

namespace {

struct Classified {
    std::string name;
    const StepHandler* handler;
};

Classified classify(const Json& step, const StepTable& table) {
    if (!step.is_object())
        throw RunError("", "expected a step such as {\"frame\": 1}, found " + describe(step));
    Classified c{{}, nullptr};
    for (const auto& item : step.items()) {
        const StepHandler* handler = table.find(item.key());
        if (!handler)
            continue;
        if (c.handler)
            throw RunError("", "one step cannot be both " + quote(c.name) + " and " + quote(item.key()));
        c = {item.key(), handler};
    }
    if (!c.handler) {
        std::string keys, known;
        for (const auto& item : step.items())
            keys += (keys.empty() ? "" : ", ") + quote(item.key());
        for (const auto& entry : table)
            known += (known.empty() ? "" : ", ") + entry.first;
        throw RunError("", "unknown step" + (keys.empty() ? std::string(" {}") : " with " + keys) +
                               " (known steps: " + known + ")");
    }
    for (const auto& item : step.items()) {
        if (item.key() == c.name)
            continue;
        bool allowed = false;
        for (const std::string& option : c.handler->options)
            allowed = allowed || item.key() == option;
        if (!allowed)
            throw RunError("", "unknown key " + quote(item.key()) + " in a " + quote(c.name) + " step");
    }
    return c;
}

std::string stepWhere(std::size_t index) {
    return "step " + std::to_string(index + 1);
}

// Restores the table a context played with before, when a step plays steps of its own.
class PlayingWith {
public:
    PlayingWith(ScriptContext& context, const StepTable& table) : m_context(context), m_before(context.steps) {
        context.steps = &table;
    }
    ~PlayingWith() { m_context.steps = m_before; }

private:
    ScriptContext& m_context;
    const StepTable* m_before;
};

}  // namespace

void StepTable::add(const std::string& name, PlayStep play, std::vector<std::string> options) {
    if (!m_steps.emplace(name, StepHandler{std::move(play), std::move(options)}).second)
        throw std::logic_error("the step \"" + name + "\" is already in the table");
}

void StepTable::override(const std::string& name, PlayStep play) {
    const auto it = m_steps.find(name);
    if (it == m_steps.end())
        throw std::logic_error("there is no step \"" + name + "\" to override");
    it->second.play = std::move(play);
}

const StepHandler* StepTable::find(const std::string& name) const {
    const auto it = m_steps.find(name);
    return it == m_steps.end() ? nullptr : &it->second;
}

StepTable defaultSteps() {
    StepTable table;
    addCoreSteps(table);
    addViewSteps(table);
    addEditSteps(table);
    addPoseSteps(table);
    addAuthoringSteps(table);
    return table;
}

void playScript(const Json& script, const StepTable& table, ScriptContext& context) {
    std::vector<Classified> steps;
    for (std::size_t i = 0; i < script.size(); ++i) {
        try {
            steps.push_back(classify(script[i], table));
        } catch (const RunError& e) {
            throw RunError(stepWhere(i), e.what());
        }
    }
    const PlayingWith playing(context, table);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        try {
            steps[i].handler->play(context, script[i][steps[i].name], script[i]);
        } catch (const RunError& e) {
            throw RunError(stepWhere(i), e.what());
        }
        if (context.afterStep)
            context.afterStep();
        context.out.flush();
        // Printed values are the script's results: losing them (a full disk, a closed pipe)
        // is a failure, not a silent success.
        if (!context.out)
            throw RunError(stepWhere(i), "cannot write the printed output");
    }
}

}  // namespace runner
