#include "screen_saver_activity.h"

namespace qe {

void ScreenSaverActivity::answered(bool active) {
    if (!changeSeen_) active_ = active;
}

void ScreenSaverActivity::changed(bool active) {
    changeSeen_ = true;
    active_ = active;
}

}  // namespace qe
