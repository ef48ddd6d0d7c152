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
    // Callers wait for the answer: the poll tick stays inside the box until it is closed.
    box.exec();
}

}  // namespace qe::ui
