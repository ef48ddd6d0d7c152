#include "radio_group.h"

#include <QEvent>
#include <QFontMetrics>
#include <QRadioButton>
#include <algorithm>

namespace qe::ui {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns,
                       QWidget* parent)
    : CaptionedBox(caption, parent), group_(this), columns_(std::max(columns, 1)) {
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        group_.addButton(button, i);
        buttons_.push_back(button);
    }
    connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) emit clicked(id);
    });
    arrangeButtons();
}

int RadioGroup::itemIndex() const {
    return group_.checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (index == itemIndex()) return;
    if (index >= 0 && index < count()) {
        buttons_[static_cast<std::size_t>(index)]->setChecked(true);
        return;
    }
    if (auto* checked = group_.checkedButton()) {
        group_.setExclusive(false);
        checked->setChecked(false);
        group_.setExclusive(true);
    }
}

QString RadioGroup::itemText(int index) const {
    if (index < 0 || index >= count()) return {};
    return buttons_[static_cast<std::size_t>(index)]->text();
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
    CaptionedBox::resizeEvent(event);
    arrangeButtons();
}

void RadioGroup::changeEvent(QEvent* event) {
    CaptionedBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) arrangeButtons();
}

// Buttons fill the columns top to bottom, the rows sharing the height below the caption
// evenly, as the designed toolkit placed them.
void RadioGroup::arrangeButtons() {
    if (buttons_.empty()) return;
    const int n = count();
    const int perColumn = (n + columns_ - 1) / columns_;
    const int textHeight = QFontMetrics(font()).height();
    const int buttonWidth = (width() - 10) / columns_;
    const int space = height() - textHeight - 5;
    const int buttonHeight = std::max(space / perColumn, 1);
    const int topMargin = textHeight + 1 + (space % perColumn) / 2;
    for (int i = 0; i < n; ++i) {
        const int left = (i / perColumn) * buttonWidth + 8;
        const int top = (i % perColumn) * buttonHeight + topMargin;
        buttons_[static_cast<std::size_t>(i)]->setGeometry(left, top, buttonWidth, buttonHeight);
    }
}

}  // namespace qe::ui
