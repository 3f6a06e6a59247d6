// Scene files through the runner's loader and script player, as rigkit-run plays them.
// A wrong file must end in a RunError ("where: what"); anything else escaping is a fault.

#include "apps/core/document.h"
#include "apps/core/json_util.h"
#include "apps/core/scene_loader.h"
#include "apps/core/script.h"
#include "fuzz/fuzz_support.h"
#include "host/base/MSG_Scope.h"
#include "host/draw/VS_OffscreenContext.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace {

// Views stay the size of the test scenes' (whose clicks and drags must land), so that an
// input costs milliseconds; the loader itself bounds what a user may ask for.
constexpr double kMaxSide = 400;
constexpr std::size_t kMaxSteps = 48;

void clampNumber(runner::Json& object, const char* key, double limit) {
    if (object.is_object() && object.contains(key) && object[key].is_number() && object[key].get<double>() > limit)
        object[key] = limit;
}

// Images go into the fuzzer's own directory: a file name may not climb out of it.
void keepInside(runner::Json& step, const char* key) {
    if (step.contains(key) && step[key].is_string() && step[key].get<std::string>().find('/') != std::string::npos)
        step[key] = "image.png";
}

bool isExpectation(const runner::Json& step) {
    for (const auto& item : step.items())
        if (item.key().rfind("expect", 0) == 0)
            return true;
    return false;
}

// `playAll`: expectations are taken out, so that a mutated value which no longer matches
// does not stop the script before the drags and undos behind it.
void bound(runner::Json& document, bool playAll) {
    if (!document.is_object())
        return;
    if (document.contains("viewport") && document["viewport"].is_array())
        for (auto& side : document["viewport"])
            if (side.is_number() && side.get<double>() > kMaxSide)
                side = kMaxSide;
    if (!document.contains("script") || !document["script"].is_array())
        return;
    runner::Json& script = document["script"];
    if (playAll) {
        runner::Json kept = runner::Json::array();
        for (auto& step : script)
            if (!step.is_object() || !isExpectation(step))
                kept.push_back(std::move(step));
        script = std::move(kept);
    }
    if (script.size() > kMaxSteps)
        script.erase(script.begin() + static_cast<std::ptrdiff_t>(kMaxSteps), script.end());
    for (auto& step : script) {
        if (!step.is_object())
            continue;
        keepInside(step, "render");
        keepInside(step, "contactSheet");
        clampNumber(step, "cellWidth", 32);
        clampNumber(step, "columns", 4);
        if (step.contains("drag"))
            clampNumber(step["drag"], "steps", 16);
    }
}

const std::filesystem::path& outDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("rigkit-scene-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// Where the flat DOM reads a text at all, it must give the careful reader's document or
// its message.
void compareQuickRead(const std::string& text) {
    std::optional<runner::Document> quick, careful;
    std::string quickError, carefulError;
    try {
        quick = runner::readDocumentQuickly(text);
    } catch (const runner::RunError& e) {
        quickError = e.what();
    }
    try {
        careful = runner::readDocument(runner::parseDocument(text));
    } catch (const runner::RunError& e) {
        carefulError = e.what();
    }
    const bool sameDocument = careful && *quick == *careful && quick->script.dump() == careful->script.dump();
    if ((quick && !sameDocument) || (!quickError.empty() && quickError != carefulError))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::loadPluginOnce();
    // One GL context for every input: making one costs more than most scenes.
    static const std::shared_ptr<VS_OffscreenContext> gl = std::make_shared<VS_OffscreenContext>(16, 16);
    MSG_Log::instance().clear();
    std::ostream discard(nullptr);
    const std::string text(reinterpret_cast<const char*>(data), size);
    compareQuickRead(text);
    try {
        runner::Json document = runner::parseDocument(text);
        // The input's length picks, so that the fuzzer tries both ways on any file.
        bound(document, size % 2 == 1);
        runner::Scene scene = runner::loadScene(document);
        runner::Session session(scene);
        runner::ScriptContext context{session, discard, outDir().string()};
        context.gl = gl;
        runner::playScript(scene.script, runner::defaultSteps(), context);
    } catch (const runner::RunError&) {
        // The file was wrong and said where: what the runner is for.
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(outDir(), ec))
        std::filesystem::remove_all(entry.path(), ec);
    return 0;
}
