#pragma once

#include <QImage>
#include <QString>

namespace qe::ui {

// A decoded JPEG file, or why it could not be decoded.
struct JpegImage {
    QImage image;   // RGB32; null when decoding failed
    QString error;  // the decoder's message when it failed
    bool ok() const { return !image.isNull(); }
};

// Decodes the file through libjpeg. A missing, unreadable or corrupt file gives an error
// message; it never ends the program.
JpegImage decodeJpegFile(const QString& path);

}  // namespace qe::ui
