#include "host/commands/CO_Command.h"

CO_Command::~CO_Command() = default;

bool CO_Command::unexecute() {
    return execute();
}

CO_OrCommand::CO_OrCommand(bool atomic) : m_atomic(atomic) {}

CO_OrCommand::~CO_OrCommand() {
    // Later commands may refer to what earlier ones made: destroy in reverse.
    while (!m_commands.empty())
        m_commands.pop_back();
}

void CO_OrCommand::add(CO_Command* command) {
    if (command)
        m_commands.emplace_back(command);
}

bool CO_OrCommand::execute() {
    bool any = false;
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        const bool ok = m_commands[i]->execute();
        if (!ok && m_atomic) {
            while (i-- > 0)
                m_commands[i]->unexecute();
            return false;
        }
        any = any || ok;
    }
    // A loose macro refuses only when every one of its commands did.
    return m_atomic || m_commands.empty() || any;
}

bool CO_OrCommand::unexecute() {
    bool all = true;
    for (std::size_t i = m_commands.size(); i-- > 0;)
        all = m_commands[i]->unexecute() && all;
    return all;
}

bool CO_UndoHistory::perform(const QString& name, std::unique_ptr<CO_Command> command) {
    if (!command || !command->execute())
        return false;
    m_undone.clear();
    m_done.push_back(Entry{name, std::move(command)});
    return true;
}

int CO_UndoHistory::undo(int n) {
    int walked = 0;
    for (; walked < n && !m_done.empty(); ++walked) {
        m_done.back().command->unexecute();
        m_undone.push_back(std::move(m_done.back()));
        m_done.pop_back();
    }
    return walked;
}

int CO_UndoHistory::redo(int n) {
    int walked = 0;
    for (; walked < n && !m_undone.empty(); ++walked) {
        m_undone.back().command->execute();
        m_done.push_back(std::move(m_undone.back()));
        m_undone.pop_back();
    }
    return walked;
}

std::vector<QString> CO_UndoHistory::names() const {
    std::vector<QString> out;
    for (const Entry& e : m_done)
        out.push_back(e.name);
    return out;
}

std::vector<QString> CO_UndoHistory::redoNames() const {
    std::vector<QString> out;
    for (auto it = m_undone.rbegin(); it != m_undone.rend(); ++it)
        out.push_back(it->name);
    return out;
}

void CO_UndoHistory::clear() {
    m_undone.clear();
    m_done.clear();
}
