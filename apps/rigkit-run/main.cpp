// rigkit-run: loads the plug-in, builds the scene a JSON file describes and plays its
// script.

#include "apps/core/describe.h"
#include "apps/core/json_util.h"
#include "apps/core/plugin_loader.h"
#include "apps/core/scene_loader.h"
#include "apps/core/script.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: rigkit-run [--plugin PATH] [--out DIR] [--summary] SCENE.json\n"
    "       rigkit-run [--plugin PATH] --list\n"
    "       rigkit-run [--plugin PATH] --describe [--json] [TYPE ...]\n"
    "       rigkit-run --help | --version\n"
    "\n"
    "Loads the plug-in, builds the scene that SCENE.json describes and plays its script.\n"
    "\n"
    "  --plugin PATH  the plug-in to load (default: librigkit.so beside this program, else\n"
    "                 in " RIGKIT_PLUGIN_DIR_FROM_BIN ", where it is installed)\n"
    "  --out DIR      where images that the script renders are written (default: .)\n"
    "  --summary      after the script, print one line: components loaded, frames rendered,\n"
    "                 edits recorded and the time taken\n"
    "  --list         print the type strings registered in each factory and exit\n"
    "  --describe     for each registered type string (those named, or all), print what the\n"
    "                 component is learnt to be by building it: its family and class, the\n"
    "                 attributes it is built from, and each property it reads, in order, with\n"
    "                 its kind and default (and what that default depends on); then exit\n"
    "  --json         with --describe, print the same as one JSON document\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0 when the script played to its end; 1 when the plug-in cannot be loaded,\n"
    "the scene file is wrong or a step fails (standard error then says \"file: where: what\",\n"
    "for example \"scene.json: step 3: ...\"); 2 for a wrong command line.\n";

struct Options {
    std::string plugin;
    std::string out = ".";
    std::string scene;
    // Type strings named after --describe.
    std::vector<std::string> types;
    bool list = false;
    bool describe = false;
    bool json = false;
    bool summary = false;
    bool help = false;
    bool version = false;
};

// Returns an empty string, or what is wrong with the command line.
std::string parseArguments(int argc, char** argv, Options& o) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto valueOf = [&](const std::string& name, std::string& into) -> std::string {
            if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
                into = arg.substr(name.size() + 1);
                return {};
            }
            if (i + 1 >= argc)
                return name + " needs a value";
            into = argv[++i];
            return {};
        };
        const auto is = [&](const std::string& name) { return arg == name || arg.rfind(name + "=", 0) == 0; };
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            o.types.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (is("--plugin")) {
            const std::string e = valueOf("--plugin", o.plugin);
            if (!e.empty())
                return e;
        } else if (is("--out")) {
            const std::string e = valueOf("--out", o.out);
            if (!e.empty())
                return e;
        } else if (arg == "--summary") {
            o.summary = true;
        } else if (arg == "--list") {
            o.list = true;
        } else if (arg == "--describe") {
            o.describe = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else {
            return "unknown option \"" + arg + "\"";
        }
    }
    if (o.json && !o.describe)
        return "--json goes with --describe";
    if (o.describe)
        return {};
    // Without --describe the words that are not options name the scene.
    if (o.types.size() > 1)
        return "only one scene file can be played at a time";
    if (!o.types.empty())
        o.scene = o.types.front();
    o.types.clear();
    if (!o.help && !o.version && !o.list && o.scene.empty())
        return "no scene file given";
    return {};
}

int describe(const Options& o) {
    const std::vector<std::string> unknown = runner::unknownTypes(o.types);
    if (!unknown.empty()) {
        std::string names;
        for (const std::string& n : unknown)
            names += (names.empty() ? "" : ", ") + runner::quote(runner::oneLine(n));
        std::cerr << "rigkit-run: no factory knows the type " << names << " (rigkit-run --list names them)\n";
        return kFailure;
    }
    const runner::Json description = runner::describeComponents(o.types);
    if (o.json)
        std::cout << description.dump(2) << "\n";
    else
        runner::printDescription(description, std::cout);
    std::cout.flush();
    return std::cout ? 0 : kFailure;
}

int playSceneFile(const Options& o, std::chrono::steady_clock::time_point started) {
    const std::string& file = o.scene;
    try {
        runner::Scene scene = runner::loadSceneFile(file);
        runner::Session session(scene);
        // Read again only for a script that changes what the scene is made of.
        session.setDocumentReader(
            [&file] { return runner::readDocument(std::make_shared<const runner::Json>(runner::readDocumentFile(file))); });
        runner::ScriptContext context{session, std::cout, o.out};
        runner::playScript(scene.script, runner::defaultSteps(), context);
        if (o.summary) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2f s", took.count());
            std::cout << "summary: " << runner::componentCounts() << ", " << context.renders.size() << " frames rendered, "
                      << context.editsRecorded << " edits recorded, " << seconds << "\n";
        }
        std::cout.flush();
        return 0;
    } catch (const runner::RunError& e) {
        std::cout.flush();
        std::cerr << file << ": " << runner::oneLine(e.what()) << std::endl;
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << file << ": internal error: " << runner::oneLine(e.what()) << std::endl;
    }
    return kFailure;
}

}  // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    Options o;
    const std::string wrong = parseArguments(argc, argv, o);
    if (!wrong.empty()) {
        std::cerr << "rigkit-run: " << wrong << " (rigkit-run --help tells how to call it)\n";
        return kUsage;
    }
    if (o.help) {
        std::cout << kUsageText;
        return 0;
    }
    if (o.version) {
        std::cout << "rigkit-run " << RIGKIT_VERSION << "\n";
        return 0;
    }
    try {
        const std::string plugin = o.plugin.empty() ? runner::defaultPluginPath() : o.plugin;
        const std::string failure = runner::loadPlugin(plugin);
        if (!failure.empty()) {
            std::cerr << "rigkit-run: " << failure << std::endl;
            return kFailure;
        }
        if (o.list) {
            runner::listTypes(std::cout);
            return 0;
        }
        if (o.describe)
            return describe(o);
    } catch (const std::exception& e) {
        std::cerr << "rigkit-run: internal error: " << e.what() << std::endl;
        return kFailure;
    }
    return playSceneFile(o, started);
}
