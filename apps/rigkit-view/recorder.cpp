#include "apps/rigkit-view/recorder.h"

#include "apps/core/scene_query.h"
#include "apps/core/scene_writer.h"
#include "apps/rigkit-view/viewer_window.h"
#include "host/scene/AT_Attr.h"
#include "host/scene/MO_Node.h"
#include "host/scene/SC_SceneCommon.h"
#include "host/scene/SLB_Selection.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include <cmath>

namespace viewer {

namespace {

// A replay in rigkit-run does what the window did with the same numbers; the tolerance
// leaves room only for the last bits of a number carried through another view.
constexpr double kTolerance = 1e-9;

bool finite(const runner::Json& v) {
    if (v.is_number())
        return std::isfinite(v.get<double>());
    if (v.is_array())
        for (const runner::Json& e : v)
            if (!finite(e))
                return false;
    return !v.is_null();
}

// File > Record goes before the first separator, beside the other actions on the file.
void addToFileMenu(QMenuBar* bar, QAction* action) {
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (!menu || top->text() != QStringLiteral("&File"))
            continue;
        QAction* before = nullptr;
        for (QAction* a : menu->actions())
            if (a->isSeparator()) {
                before = a;
                break;
            }
        menu->insertAction(before, action);
        return;
    }
}

}  // namespace

Recorder::Recorder(ViewerWindow& window) : m_window(window) {
    m_action = new QAction(QStringLiteral("Record"), this);
    m_action->setCheckable(true);
    connect(m_action, &QAction::triggered, this, &Recorder::toggle);
    addToFileMenu(window.menuBar(), m_action);
    window.setStepObserver([this](const runner::Json& step) { record(step); });
}

std::map<std::string, runner::Json> Recorder::values(runner::Session& session) {
    std::map<std::string, runner::Json> out;
    for (const auto& node : session.common().nodes())
        for (auto& [name, value] : runner::readAttributes(node.get(), session.frame()))
            out[node->name().toStdString() + "." + name] = std::move(value);
    runner::Json selection = runner::Json::array();
    for (const SLB_Selection::Item& i : session.common().selection().items())
        selection.push_back(i.node->name().toStdString());
    out["selection"] = selection;
    return out;
}

void Recorder::start() {
    runner::Session& session = m_window.document().session();
    m_window.takeView();
    m_document = runner::parseDocument(m_window.document().currentText());
    m_steps = runner::Json::array();
    // The view the user looks through, when it is not the file's.
    const runner::Json view = runner::cameraJson(session.scene().camera);
    if (m_document.value("camera", runner::Json()) != view)
        m_steps.push_back({{"camera", view}});
    // The replay starts where the user stood, not where the file starts.
    m_steps.push_back({{"frame", runner::number(session.frame())}});
    if (session.animationMode == CX_AnimationModeRange)
        m_steps.push_back({{"animationMode", "range"},
                           {"range", session.range.isInfinite()
                                         ? runner::Json("infinite")
                                         : runner::Json::array({session.range.first(), session.range.last()})}});
    m_values = values(session);
    if (!m_values["selection"].empty())
        m_steps.push_back({{"select", m_values["selection"]}});
    m_recording = true;
    m_action->setChecked(true);
}

void Recorder::stop() {
    m_recording = false;
    m_action->setChecked(false);
}

void Recorder::record(const runner::Json& step) {
    if (!m_recording || m_playing > 0)
        return;
    m_steps.push_back(step);
    std::map<std::string, runner::Json> now = values(m_window.document().session());
    runner::Json changed = runner::Json::object();
    for (const auto& [path, value] : now) {
        const auto before = m_values.find(path);
        if ((before == m_values.end() || before->second != value) && finite(value))
            changed[path] = value;
    }
    if (!changed.empty())
        m_steps.push_back({{"expect", changed}, {"tolerance", kTolerance}});
    m_values = std::move(now);
}

bool Recorder::write(const std::string& file, std::string& why) const {
    runner::Json scene = m_document;
    scene["script"] = m_steps;
    return runner::writeFileAtomically(file, runner::documentText(scene), why);
}

runner::StepTable Recorder::recording(runner::StepTable table) {
    const runner::StepTable runnerSteps = runner::defaultSteps();
    std::vector<std::pair<std::string, runner::PlayStep>> plays;
    for (const auto& [name, handler] : table)
        plays.emplace_back(name, handler.play);
    for (auto& [name, play] : plays) {
        if (!runnerSteps.find(name))
            continue;
        table.override(name, [this, play = std::move(play)](runner::ScriptContext& c, const runner::Json& a,
                                                             const runner::Json& s) {
            ++m_playing;
            try {
                play(c, a, s);
            } catch (...) {
                --m_playing;
                throw;
            }
            --m_playing;
            record(s);
        });
    }
    return table;
}

void Recorder::toggle() {
    if (!m_recording) {
        start();
        m_window.showStatus(QStringLiteral("Recording: File > Record again writes the session as a test"));
        return;
    }
    // Until the recording is written somewhere it goes on, so that closing the dialog
    // loses nothing.
    m_action->setChecked(true);
    const QString file = QFileDialog::getSaveFileName(&m_window, QStringLiteral("Save the recorded session"),
                                                      QString(), QStringLiteral("Scenes (*.json)"));
    if (file.isEmpty()) {
        m_window.showStatus(QStringLiteral("Still recording: the session was not written"));
        return;
    }
    std::string why;
    if (!write(file.toStdString(), why)) {
        m_window.showStatus(
            QStringLiteral("Still recording: cannot write the session: %1").arg(QString::fromStdString(why)));
        return;
    }
    stop();
    m_window.showStatus(QStringLiteral("The session was recorded in %1; rigkit-run replays it").arg(file));
}

}  // namespace viewer
