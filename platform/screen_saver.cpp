#include "screen_saver.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#define QE_FREEDESKTOP_SCREENSAVER 1
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

#include "screen_saver_activity.h"

namespace qe {

DesktopScreenSaver::~DesktopScreenSaver() = default;

bool DesktopScreenSaver::isRunning() {
    return activity_->active();
}

#ifdef QE_FREEDESKTOP_SCREENSAVER

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

QDBusMessage screenSaverCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DesktopScreenSaver::DesktopScreenSaver() : activity_(std::make_unique<ScreenSaverActivity>()) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;  // no desktop to ask: nothing is running
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActiveChanged"), activity_.get(),
                SLOT(changed(bool)));
    // Owned by the activity: an answer that comes after it is gone goes nowhere.
    auto* question = new QDBusPendingCallWatcher(
        bus.asyncCall(screenSaverCall(QStringLiteral("GetActive"))), activity_.get());
    QObject::connect(question, &QDBusPendingCallWatcher::finished, activity_.get(),
                     [activity = activity_.get()](QDBusPendingCallWatcher* call) {
                         const QDBusPendingReply<bool> reply = *call;
                         if (reply.isValid()) activity->answered(reply.value());
                         call->deleteLater();
                     });
}

void DesktopScreenSaver::wakeUp() {
    // The desktop takes SimulateUserActivity as input from the user: it restarts the idle
    // timer and ends a running screen saver (a locked session still asks for its password).
    // Sent without waiting for an answer.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) bus.send(screenSaverCall(QStringLiteral("SimulateUserActivity")));
}

#else

// No screen saver interface this tool knows on this platform: nothing is ever running.
DesktopScreenSaver::DesktopScreenSaver() : activity_(std::make_unique<ScreenSaverActivity>()) {}
void DesktopScreenSaver::wakeUp() {}

#endif

}  // namespace qe
