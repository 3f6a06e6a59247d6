// The steps that move through time, edit attributes and check or print what the scene
// holds.

#include "apps/core/scene_query.h"
#include "apps/core/script.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"

namespace runner {

namespace {

constexpr double kDefaultTolerance = 1e-9;

// Items that are not paths into a node but name something of the whole scene.
Json readItem(ScriptContext& context, const std::string& item) {
    if (item == "messages")
        return messages();
    const Json whole = readViewItem(context, item);
    if (!whole.is_null())
        return whole;
    return read(resolve(context.session.common(), item), context.session.frame());
}

double toleranceOf(const Json& step) {
    if (!step.contains("tolerance"))
        return kDefaultTolerance;
    const double t = requireNumber(step["tolerance"], "tolerance");
    if (t < 0.0)
        throw RunError("tolerance", "expected a number not below 0, found " + show(step["tolerance"]));
    return t;
}

const Json& requireEntries(const Json& argument, const char* step) {
    if (!argument.is_object() || argument.empty())
        throw RunError("", std::string("a \"") + step +
                               "\" step takes an object of \"node.attr\": value entries, not " + describe(argument));
    return argument;
}

void playFrame(ScriptContext& context, const Json& argument, const Json&) {
    context.session.setFrame(requireNumber(argument, "frame"));
}

void playSet(ScriptContext& context, const Json& argument, const Json&) {
    for (const auto& item : requireEntries(argument, "set").items()) {
        const Target target = resolve(context.session.common(), item.key());
        // A refusal is the attribute's answer to a user, not a broken script: the scene can
        // go on to check that nothing changed.
        if (!write(target, context.session.frame(), item.value()))
            context.out << "refused: " << item.key() << " = " << show(item.value()) << " at frame "
                        << show(number(context.session.frame())) << "\n";
    }
}

// Everything is read and checked before the node changes, so a refused step leaves the
// scene as it was; the listeners are then told once, as of one edit by a user.
void playProperties(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_object())
        throw RunError("", "a \"properties\" step takes {\"node\": name, \"set\": {...}, \"remove\": [...]}, not " +
                               describe(argument));
    checkKeys(argument, "properties", kPropertiesStepKeys);
    if (!argument.contains("node"))
        throw RunError("properties", "missing \"node\"");
    MO_Node* node = nodeNamed(context, argument["node"], "properties.node");

    std::vector<std::pair<QString, MO_PropertyValue>> set;
    if (argument.contains("set"))
        for (const auto& item : requireObject(argument["set"], "properties.set").items())
            set.emplace_back(QString::fromStdString(item.key()),
                             propertyValue(item.value(), member("properties.set", item.key())));
    std::vector<QString> remove;
    if (argument.contains("remove")) {
        const Json& list = requireArray(argument["remove"], "properties.remove");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string path = element("properties.remove", i);
            const std::string key = requireString(list[i], path);
            const QString k = QString::fromStdString(key);
            // A key the node lacks is most likely misspelt: removing nothing would hide it.
            if (!node->properties().hasProperty(k))
                throw RunError(path, "node " + quote(node->name().toStdString()) + " has no property " + quote(key));
            for (const auto& entry : set)
                if (entry.first == k)
                    throw RunError(path, quote(key) + " is both set and removed");
            remove.push_back(k);
        }
    }
    if (set.empty() && remove.empty())
        throw RunError("", "a \"properties\" step needs \"set\" or \"remove\" with something to change");
    node->changeProperties(set, remove);
}

void playPrint(ScriptContext& context, const Json& argument, const Json&) {
    if (!argument.is_array())
        throw RunError("", "a \"print\" step takes a list of items, not " + describe(argument));
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const std::string item = requireString(argument[i], element("print", i));
        context.out << item << ": " << show(readItem(context, item)) << "\n";
    }
}

void playExpect(ScriptContext& context, const Json& argument, const Json& step) {
    const double tolerance = toleranceOf(step);
    std::string failures;
    for (const auto& item : requireEntries(argument, "expect").items()) {
        const Json actual = readItem(context, item.key());
        std::string why;
        if (!matches(actual, item.value(), tolerance, why))
            failures += (failures.empty() ? "" : "; ") + item.key() + " is " + show(actual) + ", expected " +
                        show(item.value()) + ": " + why;
    }
    if (!failures.empty())
        throw RunError("", failures);
}

void playExpectKeys(ScriptContext& context, const Json& argument, const Json& step) {
    const double tolerance = toleranceOf(step);
    std::string failures;
    for (const auto& item : requireEntries(argument, "expectKeys").items()) {
        const Target target = resolve(context.session.common(), item.key());
        if (target.kind != Target::Kind::Value)
            throw RunError("", "\"expectKeys\" takes attributes (\"node.attr\"), not " + quote(item.key()));
        const Json& expected = item.value();
        bool shaped = expected.is_array();
        for (std::size_t i = 0; shaped && i < expected.size(); ++i)
            shaped = expected[i].is_array() && expected[i].size() == 2 && expected[i][0].is_number();
        if (!shaped)
            throw RunError("", "the keys of " + quote(item.key()) + " must be written [[frame, value], ...], not " +
                                   show(expected));
        const Json actual = readKeys(target.attribute);
        std::string why;
        if (actual.size() != expected.size())
            why = std::to_string(actual.size()) + " keys where " + std::to_string(expected.size()) + " were expected";
        else if (matches(actual, expected, tolerance, why))
            continue;
        failures += (failures.empty() ? "" : "; ") + item.key() + " has keys " + show(actual) + ", expected " +
                    show(expected) + ": " + why;
    }
    if (!failures.empty())
        throw RunError("", failures);
}

void playExpectMessages(ScriptContext&, const Json& argument, const Json&) {
    bool shaped = argument.is_array();
    for (std::size_t i = 0; shaped && i < argument.size(); ++i)
        shaped = argument[i].is_string();
    if (!shaped)
        throw RunError("", "\"expectMessages\" takes a list of \"scope: message\" strings, not " + describe(argument));
    const Json actual = messages();
    if (actual != argument)
        throw RunError("", "the messages are " + show(actual) + ", expected " + show(argument));
}

}  // namespace

void addCoreSteps(StepTable& table) {
    table.add("frame", playFrame);
    table.add("set", playSet);
    table.add("properties", playProperties);
    table.add("print", playPrint);
    table.add("expect", playExpect, {"tolerance"});
    table.add("expectKeys", playExpectKeys, {"tolerance"});
    table.add("expectMessages", playExpectMessages);
}

}  // namespace runner
