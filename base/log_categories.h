#pragma once

#include <QLoggingCategory>

namespace qe {

// The program's log, one category per part. Silent but for warnings unless a category is
// switched on: QT_LOGGING_RULES="qe7204.*.debug=true", or --trace for the frames.
Q_DECLARE_LOGGING_CATEGORY(lcLink)      // qe7204.link: adapters opened, lost, closed
Q_DECLARE_LOGGING_CATEGORY(lcFrames)    // qe7204.frames: every frame and reply, decoded
Q_DECLARE_LOGGING_CATEGORY(lcD2xx)      // qe7204.d2xx: the vendor library
Q_DECLARE_LOGGING_CATEGORY(lcTty)       // qe7204.tty: the kernel's serial driver
Q_DECLARE_LOGGING_CATEGORY(lcLibFtdi)   // qe7204.libftdi: libftdi1 over libusb: devices
                                        // opened, refused, lost, closed; the latency timer
Q_DECLARE_LOGGING_CATEGORY(lcSim)       // qe7204.sim: the simulated adapter's faults as
                                        // they strike, unplugging among them
Q_DECLARE_LOGGING_CATEGORY(lcSettings)  // qe7204.settings: the ini file

}  // namespace qe
