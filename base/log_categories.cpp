#include "log_categories.h"

namespace qe {

Q_LOGGING_CATEGORY(lcLink, "qe7204.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFrames, "qe7204.frames", QtWarningMsg)
Q_LOGGING_CATEGORY(lcD2xx, "qe7204.d2xx", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTty, "qe7204.tty", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLibFtdi, "qe7204.libftdi", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSim, "qe7204.sim", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "qe7204.settings", QtWarningMsg)

}  // namespace qe
