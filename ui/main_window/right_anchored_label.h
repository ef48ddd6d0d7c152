#pragma once

#include <QLabel>

namespace qe::ui {

// A label that takes the size of its text and keeps its right edge where it was placed,
// so right-aligned numbers grow to the left. Its setText() hides QLabel's: code holding a
// plain QLabel* uses setLabelText() below.
class RightAnchoredLabel : public QLabel {
    Q_OBJECT
public:
    RightAnchoredLabel(const QString& text, const QRect& bounds, QWidget* parent = nullptr);

    void setText(const QString& text);
    int rightEdge() const { return rightEdge_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitToText();

    int rightEdge_;
};

// Sets a label's text; a label that sizes itself to its text is refitted.
void setLabelText(QLabel* label, const QString& text);

}  // namespace qe::ui
