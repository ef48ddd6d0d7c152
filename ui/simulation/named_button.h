#pragma once

#include <QPushButton>
#include <QString>

namespace qe::ui {

// A push button with an object name, so tests and scripts can find it.
inline QPushButton* makeNamedButton(const char* objectName, const QString& caption,
                                    QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

}  // namespace qe::ui
