#pragma once

#include <QHBoxLayout>
#include <QWidget>

#include <initializer_list>

namespace qe::ui {

// The widgets side by side from the left, on a holder without margins, so a row sits flush
// in a form or a column.
inline QWidget* makeRow(QWidget* parent, std::initializer_list<QWidget*> widgets) {
    auto* holder = new QWidget(parent);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets) layout->addWidget(widget);
    layout->addStretch();
    return holder;
}

}  // namespace qe::ui
