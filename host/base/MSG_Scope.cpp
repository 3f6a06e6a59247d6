#include "host/base/MSG_Scope.h"

MSG_Log& MSG_Log::instance() {
    static MSG_Log log;
    return log;
}

MSG_Scope::MSG_Scope(const QString& scope, const QString& message, int action, int errorCode) {
    MSG_Log::instance().report(MSG_Entry{scope, message, action, errorCode});
}
