// Buttons for windows beyond the designed ones. They sit in the strip of the "Show Display"
// row that no designed control uses, so the designed layout stays as it is.
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "main_window.h"
#include "status_panels.h"

namespace qe::ui {

namespace {

// Between "Show Display" and where "SAVE DISPLAY SETTINGS" appears.
const QRect kFreeStrip(116, 0, 316, 17);
constexpr int kButtonPointSize = 7;

// Runs a function on a double click anywhere on the watched widget or its panels.
class DoubleClickWatcher final : public QObject {
public:
    DoubleClickWatcher(QWidget* watched, std::function<void()> doubleClicked)
        : QObject(watched), doubleClicked_(std::move(doubleClicked)) {
        watched->installEventFilter(this);
        for (QWidget* child : watched->findChildren<QWidget*>()) child->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick && doubleClicked_) doubleClicked_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> doubleClicked_;
};

}  // namespace

void MainWindow::setStatusBarDoubleClick(std::function<void()> doubleClicked) {
    new DoubleClickWatcher(StBar1, std::move(doubleClicked));
}

namespace {

QLabel* stripNoteOf(QWidget* strip) {
    return strip ? strip->findChild<QLabel*>(QStringLiteral("StripNote")) : nullptr;
}

}  // namespace

void MainWindow::showStripNote(const QString& text) {
    if (!extraButtons_) addExtraButton({}, {}, {});  // the strip alone
    QLabel* note = stripNoteOf(extraButtons_);
    note->setVisible(!text.isEmpty());
    extraButtons_->layout()->activate();  // the room the buttons leave it
    note->setText(QFontMetrics(note->font()).elidedText(text, Qt::ElideMiddle, note->width()));
    note->setToolTip(text);
    note->setProperty("fullText", text);
}

QString MainWindow::stripNote() const {
    const QLabel* note = stripNoteOf(extraButtons_);
    return note ? note->property("fullText").toString() : QString();
}

QPushButton* MainWindow::addExtraButton(const QString& text, const QString& objectName,
                                        std::function<void()> clicked, const QString& toolTip) {
    if (!extraButtons_) {
        extraButtons_ = new QWidget(PanelDisplaySettings);
        extraButtons_->setObjectName(QStringLiteral("ExtraButtons"));
        extraButtons_->setGeometry(kFreeStrip);
        auto* layout = new QHBoxLayout(extraButtons_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        auto* note = new QLabel(extraButtons_);
        note->setObjectName(QStringLiteral("StripNote"));
        QFont small = note->font();
        small.setPointSize(kButtonPointSize);
        note->setFont(small);
        note->hide();
        layout->addWidget(note, 1);
        extraButtons_->show();
    }
    if (text.isEmpty()) return nullptr;
    auto* button = new QPushButton(text, extraButtons_);
    button->setObjectName(objectName);
    QFont font = button->font();
    font.setPointSize(kButtonPointSize);
    button->setFont(font);
    button->setFixedHeight(kFreeStrip.height());
    // Reached by Tab after every designed control: made last, it is last in the chain.
    button->setFocusPolicy(Qt::TabFocus);
    button->setToolTip(toolTip);
    auto* layout = static_cast<QHBoxLayout*>(extraButtons_->layout());
    layout->insertWidget(layout->count() - 1, button);  // before the note
    connect(button, &QPushButton::clicked, this, [clicked = std::move(clicked)] { clicked(); });
    return button;
}

}  // namespace qe::ui
