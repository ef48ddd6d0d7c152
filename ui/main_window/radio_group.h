#pragma once

#include <QButtonGroup>
#include <QString>
#include <QStringList>
#include <vector>

#include "captioned_box.h"

class QRadioButton;

namespace qe::ui {

// A captioned box of radio buttons laid out in columns, one selection or none.
// Choosing an item, by the user or from the program, emits clicked(): the settings
// logic relies on that, and guards against it while the panel is being filled.
class RadioGroup : public CaptionedBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, int columns,
               QWidget* parent = nullptr);

    int itemIndex() const;         // -1 when nothing is selected
    void setItemIndex(int index);  // out-of-range clears the selection
    int count() const { return static_cast<int>(buttons_.size()); }
    QString itemText(int index) const;
    int columns() const { return columns_; }

signals:
    void clicked(int itemIndex);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void arrangeButtons();

    QButtonGroup group_;
    std::vector<QRadioButton*> buttons_;
    int columns_;
};

}  // namespace qe::ui
