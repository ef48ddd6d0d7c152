#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "message_sink.h"

namespace qe::ui {

// How a box of each kind looks: its caption and icon; every kind has one OK button.
struct MessageBoxStyle {
    QString caption;
    QMessageBox::Icon icon;
};

// Plain boxes carry the application title as caption.
MessageBoxStyle messageBoxStyle(MessageKind kind, const QString& applicationTitle);

// Shows the tool's messages as modal boxes over the main window, blocking the main window
// and the windows it keeps above it; other windows of the program (the simulated adapter's)
// stay usable. Created before the main window (the adapter link needs it), so the owner is
// handed in once it exists; until then a box blocks the whole program.
class MessageBoxSink final : public MessageSink {
public:
    explicit MessageBoxSink(QString applicationTitle);

    void setOwner(QWidget* owner) { owner_ = owner; }
    void show(MessageKind kind, const std::string& text) override;

private:
    QString applicationTitle_;
    QPointer<QWidget> owner_;
};

}  // namespace qe::ui
