#include "toggle_image_button.h"

#include <QPainter>

namespace qe::ui {

ToggleImageButton::ToggleImageButton(const Images& images, QWidget* parent)
    : QToolButton(parent), images_(images) {
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
}

QString ToggleImageButton::currentImage() const {
    if (!isEnabled()) return images_.disabled;
    if (isDown()) return images_.held;
    return isChecked() ? images_.down : images_.up;
}

void ToggleImageButton::paintEvent(QPaintEvent* event) {
    const QPixmap image(currentImage());
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
