// rigkit-view: loads the plug-in, builds the scene a JSON file describes and shows it in a
// window to drive its controls by hand, or replays a script in it.

#include "apps/rigkit-run/json_util.h"
#include "apps/rigkit-run/plugin_loader.h"
#include "apps/rigkit-run/scene_loader.h"
#include "apps/rigkit-run/script.h"
#include "apps/rigkit-view/viewer_steps.h"
#include "apps/rigkit-view/viewer_window.h"
#include "apps/rigkit-view/viewport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QTimer>

#include <iostream>

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

// A script file is a list of steps, or a scene file whose script is taken.
runner::Json scriptOf(const runner::Json& document) {
    if (document.is_array())
        return document;
    if (document.is_object() && document.contains("script") && document["script"].is_array())
        return document["script"];
    throw runner::RunError("", "a script file holds a list of steps or a scene with a \"script\" list");
}

runner::Json printItems(const QString& list) {
    runner::Json items = runner::Json::array();
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        items.push_back(item.trimmed().toStdString());
    return items;
}

// "--samples N" or "--samples=N"; 4 when not given. The parser checks the option again
// once Qt has started, and refuses a value that is not a number from 0 to 16.
int samplesRequested(int argc, char** argv) {
    constexpr int kDefaultSamples = 4;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        QByteArray value;
        if (arg == "--samples" && i + 1 < argc)
            value = argv[i + 1];
        else if (arg.startsWith("--samples="))
            value = arg.mid(10);
        else
            continue;
        bool ok = false;
        const int n = value.toInt(&ok);
        return ok && n >= 0 && n <= 16 ? n : kDefaultSamples;
    }
    return kDefaultSamples;
}

}  // namespace

int main(int argc, char** argv) {
    // The painters draw with the fixed-function pipeline.
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    // Smooth edges on screen; the picking pass draws into a single-sampled buffer of its
    // own. --samples is read before Qt starts, which fixes the format at its start.
    format.setSamples(samplesRequested(argc, argv));
    QSurfaceFormat::setDefaultFormat(format);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rigkit-view"));
    QApplication::setApplicationVersion(QStringLiteral(RIGKIT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Shows the scene that SCENE.json describes and lets you drive its controls: click to pick, drag to edit,\n"
        "Ctrl+Z / Ctrl+Shift+Z to undo and redo, Escape to cancel a drag, the wheel to zoom, the middle button\n"
        "to pan, Ctrl+Q to quit.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("SCENE.json"), QStringLiteral("the scene to show"));
    const QCommandLineOption plugin(
        QStringLiteral("plugin"),
        QStringLiteral("the plug-in to load (default: librigkit.so beside this program, else in "
                       "../lib/rigkit, where it is installed)"),
        QStringLiteral("PATH"));
    const QCommandLineOption script(
        QStringLiteral("script"),
        QStringLiteral("replay these runner steps in the window (a list of steps, or a scene file's script)"),
        QStringLiteral("FILE"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("where rendered images go (default: .)"),
                                 QStringLiteral("DIR"), QStringLiteral("."));
    const QCommandLineOption quit(QStringLiteral("quit"),
                                  QStringLiteral("close the window once the script has played"));
    const QCommandLineOption printOnExit(
        QStringLiteral("print-on-exit"),
        QStringLiteral("print these items, comma-separated, as the \"print\" step does, when the window closes"),
        QStringLiteral("ITEMS"));
    const QCommandLineOption printViewport(
        QStringLiteral("print-viewport"),
        QStringLiteral("print the viewport's place on the screen, \"viewport: [x, y, width, height]\", once shown"));
    const QCommandLineOption answer(
        QStringLiteral("answer"),
        QStringLiteral("answer every question the window would ask (reload over unsaved edits, save before closing, "
                       "restore a recovery file) with yes or no, for scripts and tests"),
        QStringLiteral("yes|no"));
    const QCommandLineOption samples(
        QStringLiteral("samples"),
        QStringLiteral("samples per pixel of the picture on screen, 0 to 16 (default 4; 0 turns multisampling off)"),
        QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("once the script has played, save a picture of the whole window (PNG)"), QStringLiteral("FILE"));
    parser.addOptions({plugin, script, out, quit, printOnExit, printViewport, answer, samples, screenshot});
    parser.process(app);
    {
        bool ok = false;
        const int n = parser.value(samples).toInt(&ok);
        if (!ok || n < 0 || n > 16) {
            std::cerr << "rigkit-view: --samples takes a whole number from 0 to 16\n";
            return kUsage;
        }
    }
    if (parser.positionalArguments().size() != 1) {
        std::cerr << "rigkit-view: give one scene file (rigkit-view --help tells how to call it)\n";
        return kUsage;
    }
    const std::string sceneFile = parser.positionalArguments().front().toStdString();

    const std::string pluginPath =
        parser.isSet(plugin) ? parser.value(plugin).toStdString() : runner::defaultPluginPath();
    const std::string failure = runner::loadPlugin(pluginPath);
    if (!failure.empty()) {
        std::cerr << "rigkit-view: " << failure << std::endl;
        return kFailure;
    }

    viewer::Answer answers = viewer::Answer::Ask;
    if (parser.isSet(answer)) {
        const QString a = parser.value(answer);
        if (a != QLatin1String("yes") && a != QLatin1String("no")) {
            std::cerr << "rigkit-view: --answer takes yes or no\n";
            return kUsage;
        }
        answers = a == QLatin1String("yes") ? viewer::Answer::Yes : viewer::Answer::No;
    } else if (parser.isSet(quit)) {
        // A run that ends by itself cannot wait for anyone: it takes nothing it is offered.
        answers = viewer::Answer::No;
    }

    runner::Scene scene;
    runner::Json document;
    runner::Json steps;
    std::string current = sceneFile;
    try {
        document = runner::readDocumentFile(sceneFile);
        scene = runner::loadScene(document);
        if (parser.isSet(script)) {
            current = parser.value(script).toStdString();
            steps = scriptOf(runner::readDocumentFile(current));
        }
    } catch (const std::exception& e) {
        std::cerr << current << ": " << runner::oneLine(e.what()) << std::endl;
        return kFailure;
    }

    runner::ScriptContext context{scene, std::cout, parser.value(out).toStdString()};
    viewer::ViewerWindow window(context);
    context.draw = [&window](bool pick) { return window.viewport()->grab(pick); };
    window.setAnswer(answers);
    window.setRecoveryWrites(!parser.isSet(quit));
    window.show();
    window.openAtSceneSize();
    window.openScene(sceneFile, document);

    int status = 0;
    if (parser.isSet(printViewport)) {
        QTimer::singleShot(0, &window, [&window] {
            const QWidget* v = window.viewport();
            const QPoint at = v->mapToGlobal(QPoint(0, 0));
            std::cout << "viewport: [" << at.x() << ", " << at.y() << ", " << v->width() << ", " << v->height() << "]"
                      << std::endl;
        });
    }
    if (parser.isSet(script)) {
        const std::string scriptFile = parser.value(script).toStdString();
        const bool quitAfter = parser.isSet(quit);
        const QString screenshotFile = parser.value(screenshot);
        // A script's pixel coordinates are those of the scene's viewport size.
        window.viewport()->setFixedSize(scene.width, scene.height);
        QTimer::singleShot(0, &window, [&, scriptFile, quitAfter, screenshotFile] {
            try {
                runner::playScript(steps, viewer::viewerSteps(window), context);
            } catch (const std::exception& e) {
                std::cerr << scriptFile << ": " << runner::oneLine(e.what()) << std::endl;
                window.statusBar()->showMessage(QString::fromStdString(e.what()));
                status = kFailure;
            }
            if (!screenshotFile.isEmpty() && !window.grab().save(screenshotFile)) {
                std::cerr << "rigkit-view: cannot write " << screenshotFile.toStdString() << std::endl;
                status = kFailure;
            }
            window.viewport()->setMinimumSize(0, 0);
            window.viewport()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            if (quitAfter)
                window.closeWithoutAsking();
        });
    }
    const int appStatus = app.exec();
    if (parser.isSet(printOnExit)) {
        try {
            // The window's own items, then whatever the "print" step prints.
            for (const runner::Json& item : printItems(parser.value(printOnExit))) {
                const std::string name = item.get<std::string>();
                if (name == "cursor")
                    std::cout << "cursor: " << runner::show(window.viewport()->cursorName().toStdString()) << "\n";
                else if (name == "loadError")
                    std::cout << "loadError: " << runner::show(window.loadError().toStdString()) << "\n";
                else if (name == "unsaved")
                    std::cout << "unsaved: " << (window.hasUnsavedEdits() ? "true" : "false") << "\n";
                else
                    runner::defaultSteps().at("print").play(context, runner::Json::array({item}), runner::Json());
            }
        } catch (const std::exception& e) {
            std::cerr << "rigkit-view: --print-on-exit: " << runner::oneLine(e.what()) << std::endl;
            status = kFailure;
        }
    }
    std::cout.flush();
    return status != 0 ? status : appStatus;
}
