#pragma once

// Messages to the user. A scope reports its message when it is made; the host's log keeps
// every report so that the runner and the viewer can show them as "scope: message".

#include "host/host_api.h"

#include <QString>

#include <vector>

struct HOST_API MSG_Entry {
    QString scope;
    QString message;
    int action = 0;
    int errorCode = 0;

    QString text() const { return scope + QStringLiteral(": ") + message; }
};

class HOST_API MSG_Log {
public:
    static MSG_Log& instance();

    void report(const MSG_Entry& entry) { m_entries.push_back(entry); }
    const std::vector<MSG_Entry>& entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    std::vector<MSG_Entry> m_entries;
};

class HOST_API MSG_Scope {
public:
    MSG_Scope(const QString& scope, const QString& message, int action, int errorCode);
    ~MSG_Scope() = default;
    MSG_Scope(const MSG_Scope&) = delete;
    MSG_Scope& operator=(const MSG_Scope&) = delete;
};
