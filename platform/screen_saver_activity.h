#pragma once

#include <QObject>

namespace qe {

// Whether the desktop's screen saver is active, as its service last said: the answer to
// one question asked at the start, then every change the service announces. Nothing here
// waits for the service.
class ScreenSaverActivity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool active() const { return active_; }

    // The answer to the question asked at the start. An announcement that came first is
    // at least as new, so it is kept.
    void answered(bool active);

public slots:
    // The service's ActiveChanged announcement.
    void changed(bool active);

private:
    bool active_ = false;
    bool changeSeen_ = false;
};

}  // namespace qe
