#include "toggle_image_button.h"

#include <QPainter>

namespace qe::ui {

ToggleImageButton::ToggleImageButton(const Images& images, QWidget* parent)
    : QToolButton(parent), paths_{images.up, images.disabled, images.down, images.held} {
    for (std::size_t look = 0; look < paths_.size(); ++look) pixmaps_[look] = QPixmap(paths_[look]);
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
}

ToggleImageButton::Look ToggleImageButton::currentLook() const {
    if (!isEnabled()) return Disabled;
    if (isDown()) return Held;
    return isChecked() ? Down : Up;
}

QString ToggleImageButton::currentImage() const {
    return paths_[currentLook()];
}

void ToggleImageButton::paintEvent(QPaintEvent* event) {
    const QPixmap& image = pixmaps_[currentLook()];
    if (image.isNull()) {
        // Without the artwork, the toolkit's own flat button still shows the state.
        QToolButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QPixmap scaled = image.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.drawPixmap((width() - scaled.width()) / 2, (height() - scaled.height()) / 2, scaled);
}

}  // namespace qe::ui
