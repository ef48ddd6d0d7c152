#pragma once

#include <QImage>
#include <QString>

namespace qe::ui {

// The largest dial side decoded; a header claiming more would cost gigabytes and seconds.
inline constexpr int kMaxJpegSide = 8192;
// The largest dial file read at all.
inline constexpr qint64 kMaxJpegFileBytes = 64 * 1024 * 1024;

// A decoded JPEG file, or why it could not be decoded.
struct JpegImage {
    QImage image;           // RGB32; null when decoding failed
    QString error;          // the decoder's message when it failed
    bool tooLarge = false;  // refused unread for its size: no message, as for a missing file
    bool ok() const { return !image.isNull(); }
};

// Decodes the file through libjpeg. A missing, unreadable or corrupt file gives an error
// message; it never ends the program. Anything but a regular file is not opened, and a file
// or picture above the limits is refused before decoding.
JpegImage decodeJpegFile(const QString& path);

// The same for bytes already in memory.
JpegImage decodeJpeg(const QByteArray& bytes);

}  // namespace qe::ui
