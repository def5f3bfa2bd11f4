#include "core/common/Logging.h"

// Information and above by default: debug lines only when the rules ask for them.
Q_LOGGING_CATEGORY(lcCollect, "quorvel.collect", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHttp, "quorvel.http", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCheck, "quorvel.check", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAnalyze, "quorvel.analyze", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "quorvel.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcGui, "quorvel.gui", QtInfoMsg)
