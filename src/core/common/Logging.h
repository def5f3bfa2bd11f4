#pragma once

#include <QLoggingCategory>

// One logging category per subsystem. Debug output is off unless asked for, for example
// QT_LOGGING_RULES="quorvel.http.debug=true" (or "quorvel.*.debug=true" for everything).
Q_DECLARE_LOGGING_CATEGORY(lcCollect) // quorvel.collect: collection runs
Q_DECLARE_LOGGING_CATEGORY(lcHttp)    // quorvel.http: every request, its answer and its time
Q_DECLARE_LOGGING_CATEGORY(lcCheck)   // quorvel.check: broken-link passes
Q_DECLARE_LOGGING_CATEGORY(lcAnalyze) // quorvel.analyze: page analyses
Q_DECLARE_LOGGING_CATEGORY(lcApp)     // quorvel.app: settings, history, data folder, maker's services
Q_DECLARE_LOGGING_CATEGORY(lcGui)     // quorvel.gui: the windows
