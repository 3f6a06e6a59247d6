// rigkit-view: loads the plug-in, builds the scene a JSON file describes and shows it in a
// window to drive its controls by hand, or replays a script in it.

#include "apps/core/json_util.h"
#include "apps/core/plugin_loader.h"
#include "apps/core/script.h"
#include "apps/rigkit-view/document_controller.h"
#include "apps/rigkit-view/key_track.h"
#include "apps/rigkit-view/recorder.h"
#include "apps/rigkit-view/recent_files.h"
#include "apps/rigkit-view/viewer_steps.h"
#include "apps/rigkit-view/viewer_window.h"
#include "apps/rigkit-view/viewport.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStatusBar>
#include <QSurfaceFormat>
#include <QTimer>

#include <iostream>
#include <optional>

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr int kDefaultSamples = 4;

struct Options {
    std::string scene;
    std::string plugin;
    std::string script;
    std::string out = ".";
    bool quit = false;
    QString printOnExit;
    bool printViewport = false;
    viewer::Answer answer = viewer::Answer::Ask;
    int samples = kDefaultSamples;
    QString screenshot;
    std::string record;
};

void addOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Shows the scene that SCENE.json describes and lets you drive its controls: click to pick, drag to edit,\n"
        "Ctrl+Z / Ctrl+Shift+Z to undo and redo, Escape to cancel a drag, the wheel to zoom, the middle button\n"
        "to pan, Ctrl+Q to quit.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("SCENE.json"), QStringLiteral("the scene to show"));
    parser.addOptions({
        {QStringLiteral("plugin"),
         QStringLiteral("the plug-in to load (default: librigkit.so beside this program, else in "
                        RIGKIT_PLUGIN_DIR_FROM_BIN ", where it is installed)"),
         QStringLiteral("PATH")},
        {QStringLiteral("script"),
         QStringLiteral("replay these runner steps in the window (a list of steps, or a scene file's script)"),
         QStringLiteral("FILE")},
        {QStringLiteral("out"), QStringLiteral("where rendered images go (default: .)"), QStringLiteral("DIR"),
         QStringLiteral(".")},
        {QStringLiteral("quit"), QStringLiteral("close the window once the script has played")},
        {QStringLiteral("print-on-exit"),
         QStringLiteral("print these items, comma-separated, as the \"print\" step does, when the window closes"),
         QStringLiteral("ITEMS")},
        {QStringLiteral("print-viewport"),
         QStringLiteral("print the viewport's place on the screen, \"viewport: [x, y, width, height]\", once shown")},
        {QStringLiteral("answer"),
         QStringLiteral("answer every question the window would ask (reload over unsaved edits, save before closing, "
                        "restore a recovery file) with yes or no, for scripts and tests"),
         QStringLiteral("yes|no")},
        {QStringLiteral("samples"),
         QStringLiteral("samples per pixel of the picture on screen, 0 to 16 (default 4; 0 turns multisampling off)"),
         QStringLiteral("N"), QStringLiteral("4")},
        {QStringLiteral("record"),
         QStringLiteral("record the session from the start as a scene rigkit-run replays, with a check after every "
                        "edit; written when the script has played and again when the window closes"),
         QStringLiteral("FILE")},
        {QStringLiteral("screenshot"),
         QStringLiteral("once the script has played, save a picture of the whole window (PNG)"),
         QStringLiteral("FILE")},
    });
}

// Returns what is wrong with the options, or nothing.
std::optional<std::string> takeOptions(const QCommandLineParser& parser, Options& o) {
    bool ok = false;
    o.samples = parser.value(QStringLiteral("samples")).toInt(&ok);
    if (!ok || o.samples < 0 || o.samples > 16)
        return "--samples takes a whole number from 0 to 16";
    if (parser.positionalArguments().size() != 1)
        return "give one scene file (rigkit-view --help tells how to call it)";
    o.scene = parser.positionalArguments().front().toStdString();
    o.plugin = parser.value(QStringLiteral("plugin")).toStdString();
    o.script = parser.value(QStringLiteral("script")).toStdString();
    o.out = parser.value(QStringLiteral("out")).toStdString();
    o.quit = parser.isSet(QStringLiteral("quit"));
    o.printOnExit = parser.value(QStringLiteral("print-on-exit"));
    o.printViewport = parser.isSet(QStringLiteral("print-viewport"));
    o.screenshot = parser.value(QStringLiteral("screenshot"));
    o.record = parser.value(QStringLiteral("record")).toStdString();
    const QString answer = parser.value(QStringLiteral("answer"));
    if (parser.isSet(QStringLiteral("answer")) && answer != QLatin1String("yes") && answer != QLatin1String("no"))
        return "--answer takes yes or no";
    if (parser.isSet(QStringLiteral("answer")))
        o.answer = answer == QLatin1String("yes") ? viewer::Answer::Yes : viewer::Answer::No;
    else if (o.quit)
        // A run that ends by itself cannot wait for anyone: it takes nothing it is offered.
        o.answer = viewer::Answer::No;
    return std::nullopt;
}

// Help and the version are answered before the window system starts, so that they need no
// display. Options of the window system ("-platform") are not known yet: the command line
// is read whole once it has taken them. Returns the exit status when there is nothing
// more to do.
std::optional<int> answerBeforeStarting(int argc, char** argv, Options& o) {
    const QCoreApplication plain(argc, argv);
    QCommandLineParser parser;
    addOptions(parser);
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help"))) {
        std::cout << parser.helpText().toStdString();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::cout << "rigkit-view " << RIGKIT_VERSION << "\n";
        return 0;
    }
    // The picture's format is fixed when the window system starts; the whole reading
    // refuses a value out of range.
    bool ok = false;
    const int samples = parser.value(QStringLiteral("samples")).toInt(&ok);
    o.samples = ok && samples >= 0 && samples <= 16 ? samples : kDefaultSamples;
    return std::nullopt;
}

// The whole command line; false, having said why, when it is wrong.
bool readCommandLine(const QApplication& app, Options& o) {
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);
    if (const auto wrong = takeOptions(parser, o)) {
        std::cerr << "rigkit-view: " << *wrong << "\n";
        return false;
    }
    return true;
}

// The painters draw with the fixed-function pipeline. The format is fixed when Qt starts.
void setSurfaceFormat(int samples) {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    // Smooth edges on screen; the picking pass draws into a single-sampled buffer of its
    // own.
    format.setSamples(samples);
    QSurfaceFormat::setDefaultFormat(format);
}

// A script file is a list of steps, or a scene file whose script is taken.
runner::Json scriptOf(const runner::Json& document) {
    if (document.is_array())
        return document;
    if (document.is_object() && document.contains("script") && document["script"].is_array())
        return document["script"];
    throw runner::RunError("", "a script file holds a list of steps or a scene with a \"script\" list");
}

void printViewportOnceShown(viewer::ViewerWindow& window) {
    QTimer::singleShot(0, &window, [&window] {
        const QWidget* v = window.viewport();
        const QPoint at = v->mapToGlobal(QPoint(0, 0));
        std::cout << "viewport: [" << at.x() << ", " << at.y() << ", " << v->width() << ", " << v->height() << "]"
                  << "\nkeyTrack: " << window.keyTrack()->geometry().dump() << std::endl;
    });
}

// Writes the session recorded so far; false, having said why, when it cannot.
bool writeRecording(const viewer::Recorder& recorder, const Options& o) {
    std::string why;
    if (recorder.write(o.record, why))
        return true;
    std::cerr << "rigkit-view: cannot write the recording " << o.record << ": " << why << std::endl;
    return false;
}

// Plays the script once the window shows, then saves the screenshot and closes as asked.
void playOnceShown(viewer::ViewerWindow& window, viewer::Recorder& recorder, runner::ScriptContext& context,
                   const runner::Json& steps, const Options& o, int& status) {
    // A script's pixel coordinates are those of the scene's viewport size.
    window.viewport()->setFixedSize(context.session.scene().width, context.session.scene().height);
    QTimer::singleShot(0, &window, [&window, &recorder, &context, &steps, &o, &status] {
        try {
            runner::playScript(steps, recorder.recording(viewer::viewerSteps(window)), context);
        } catch (const std::exception& e) {
            std::cerr << o.script << ": " << runner::oneLine(e.what()) << std::endl;
            window.statusBar()->showMessage(QString::fromStdString(e.what()));
            status = kFailure;
        }
        if (recorder.isRecording() && !writeRecording(recorder, o))
            status = kFailure;
        if (!o.screenshot.isEmpty() && !window.grab().save(o.screenshot)) {
            std::cerr << "rigkit-view: cannot write " << o.screenshot.toStdString() << std::endl;
            status = kFailure;
        }
        window.viewport()->setMinimumSize(0, 0);
        window.viewport()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (o.quit)
            window.closeWithoutAsking();
    });
}

// The window's own items, then whatever the "print" step prints.
int printOnExit(const QString& list, viewer::ViewerWindow& window, runner::ScriptContext& context) {
    try {
        const runner::StepTable steps = runner::defaultSteps();
        for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString name = part.trimmed();
            if (name == QLatin1String("cursor"))
                std::cout << "cursor: " << runner::show(window.viewport()->cursorName().toStdString()) << "\n";
            else if (name == QLatin1String("loadError"))
                std::cout << "loadError: " << runner::show(window.document().loadError().toStdString()) << "\n";
            else if (name == QLatin1String("recent"))
                std::cout << "recent: " << viewer::recent_files::list().join(QLatin1Char(',')).toStdString() << "\n";
            else if (name == QLatin1String("unsaved"))
                std::cout << "unsaved: " << (window.document().hasUnsavedEdits() ? "true" : "false") << "\n";
            else
                steps.find("print")->play(context, runner::Json::array({name.toStdString()}), runner::Json());
        }
    } catch (const std::exception& e) {
        std::cerr << "rigkit-view: --print-on-exit: " << runner::oneLine(e.what()) << std::endl;
        return kFailure;
    }
    return 0;
}

// Reads the script file; false, having said why, when it cannot be read.
bool readScript(const Options& o, runner::Json& steps) {
    if (o.script.empty())
        return true;
    try {
        steps = scriptOf(runner::readDocumentFile(o.script));
        return true;
    } catch (const std::exception& e) {
        std::cerr << o.script << ": " << runner::oneLine(e.what()) << std::endl;
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const auto status = answerBeforeStarting(argc, argv, o))
        return *status;
    setSurfaceFormat(o.samples);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rigkit-view"));
    QApplication::setApplicationVersion(QStringLiteral(RIGKIT_VERSION));
    if (!readCommandLine(app, o))
        return kUsage;
    const std::string failure = runner::loadPlugin(o.plugin.empty() ? runner::defaultPluginPath() : o.plugin);
    if (!failure.empty()) {
        std::cerr << "rigkit-view: " << failure << std::endl;
        return kFailure;
    }
    viewer::DocumentController document(o.answer, !o.quit);
    std::string why;
    // A run that ends by itself has nothing to show without its scene; a window shows why
    // and waits for the file to be put right.
    if (!document.read(o.scene, why) && o.quit) {
        std::cerr << why << std::endl;
        return kFailure;
    }
    runner::Json steps;
    if (!readScript(o, steps))
        return kFailure;
    runner::ScriptContext context{document.session(), std::cout, o.out};
    viewer::ViewerWindow window(document);
    context.draw = [&window](bool pick) { return window.viewport()->grab(pick); };
    context.afterStep = [&window] {
        window.refresh();
        QApplication::processEvents();
    };
    window.show();
    window.openAtSceneSize();
    document.open(window);
    if (o.printViewport)
        printViewportOnceShown(window);
    viewer::Recorder recorder(window);
    if (!o.record.empty())
        recorder.start();
    int status = 0;
    if (!o.script.empty())
        playOnceShown(window, recorder, context, steps, o, status);
    const int appStatus = app.exec();
    if (!o.record.empty() && recorder.isRecording() && !writeRecording(recorder, o))
        status = kFailure;
    if (!o.printOnExit.isEmpty() && printOnExit(o.printOnExit, window, context) != 0)
        status = kFailure;
    std::cout.flush();
    return status != 0 ? status : appStatus;
}
