#pragma once

#include <QPixmap>
#include <QToolButton>
#include <array>

namespace qe::ui {

// A flat button that stays down or up on each click and shows one of four images for
// its state: up, disabled, down (stays down) and held (mouse button pressed on it).
class ToggleImageButton : public QToolButton {
    Q_OBJECT
public:
    struct Images {
        QString up;
        QString disabled;
        QString down;
        QString held;
    };

    explicit ToggleImageButton(const Images& images, QWidget* parent = nullptr);

    // The image path that the current state shows.
    QString currentImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum Look { Up, Disabled, Down, Held, kLooks };
    Look currentLook() const;

    std::array<QString, kLooks> paths_;
    std::array<QPixmap, kLooks> pixmaps_;  // decoded once; painting only picks one
};

}  // namespace qe::ui
