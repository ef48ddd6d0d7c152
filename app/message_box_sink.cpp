#include "message_box_sink.h"

#include <utility>

namespace qe::ui {

MessageBoxStyle messageBoxStyle(MessageKind kind, const QString& applicationTitle) {
    switch (kind) {
        case MessageKind::Error:
            return {QStringLiteral("Error"), QMessageBox::Warning};
        case MessageKind::Critical:
            return {QStringLiteral("Error"), QMessageBox::Critical};
        case MessageKind::Exception:
            return {applicationTitle, QMessageBox::Critical};
        case MessageKind::Plain:
            break;
    }
    return {applicationTitle, QMessageBox::NoIcon};
}

MessageBoxSink::MessageBoxSink(QString applicationTitle)
    : applicationTitle_(std::move(applicationTitle)) {}

void MessageBoxSink::show(MessageKind kind, const std::string& text) {
    const MessageBoxStyle style = messageBoxStyle(kind, applicationTitle_);
    QMessageBox box(style.icon, style.caption, QString::fromStdString(text), QMessageBox::Ok,
                    owner_.data());
    // Modal to the tool's own windows (the main window and the panel it keeps above it), not
    // to the whole program: the simulated adapter's window stays usable while a box is up,
    // so that what the box complains about can be put right there.
    if (owner_) box.setWindowModality(Qt::WindowModal);
    // Callers wait for the answer: the poll tick stays inside the box until it is closed.
    box.exec();
}

}  // namespace qe::ui
