#pragma once

// Undoable commands, macros of them, and the undo history.

#include "host/host_api.h"

#include <QString>

#include <memory>
#include <vector>

class HOST_API CO_Command {
public:
    virtual ~CO_Command();
    // False when the command refused and changed nothing.
    virtual bool execute() = 0;
    // By default a command undoes itself by executing again: commands that swap the value
    // they hold with the scene's put the earlier value back that way.
    virtual bool unexecute();
};

// A macro: its sub-commands execute in the order they were added and undo in reverse. It
// owns them from the moment they are added.
class HOST_API CO_OrCommand : public CO_Command {
public:
    // `atomic` true: a refusing sub-command undoes those already executed and the macro
    // refuses as a whole. False: every sub-command runs and the macro refuses only when all
    // of them did (an empty one succeeds: it had nothing to do).
    explicit CO_OrCommand(bool atomic);
    ~CO_OrCommand() override;

    void add(CO_Command* command);
    bool execute() override;
    bool unexecute() override;

    bool isEmpty() const { return m_commands.empty(); }
    std::size_t size() const { return m_commands.size(); }
    CO_Command* at(std::size_t i) const { return m_commands[i].get(); }
    bool isAtomic() const { return m_atomic; }

private:
    bool m_atomic;
    std::vector<std::unique_ptr<CO_Command>> m_commands;
};

// What the user can undo and redo, by operation name.
class HOST_API CO_UndoHistory {
public:
    // Executes `command` and, unless it refused, records it under `name`, which drops
    // whatever could be redone. Returns whether it was recorded.
    bool perform(const QString& name, std::unique_ptr<CO_Command> command);
    // Each returns how many steps it could walk (at most n).
    int undo(int n = 1);
    int redo(int n = 1);

    // The operations that can be undone, oldest first.
    std::vector<QString> names() const;
    std::vector<QString> redoNames() const;
    std::size_t size() const { return m_done.size(); }
    void clear();

private:
    struct Entry {
        QString name;
        std::unique_ptr<CO_Command> command;
    };
    std::vector<Entry> m_done;
    std::vector<Entry> m_undone;  // the most recently undone last
};
