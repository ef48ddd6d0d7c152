#pragma once

#include <gtest/gtest.h>
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace qe::ui::test {

// Colours the test dials are painted in, so a test can tell which dial the view shows.
inline const QColor kPositionDialColour(255, 255, 255);
inline const QColor kTachoDialColour(200, 230, 255);

inline void writeDial(const QString& path, QSize size, const QColor& colour) {
    QImage dial(size, QImage::Format_RGB32);
    dial.fill(colour);
    ASSERT_TRUE(dial.save(path, "JPG", 100)) << path.toStdString();
}

// A needle pointing right from the centre of a 21 x 5 image, on pure white.
inline QImage testNeedle() {
    QImage needle(21, 5, QImage::Format_RGB32);
    needle.fill(Qt::white);
    for (int x = 10; x < 20; ++x) needle.setPixel(x, 2, qRgb(200, 0, 0));
    return needle;
}

// A small JPEG whose frame header claims width x height pixels; its scan data stays that of
// the small picture.
inline QByteArray jpegClaimingSize(int width, int height) {
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 90);
    // The frame header: FF C0, length, precision, then height and width, high byte first.
    const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame < 0) return {};
    bytes[frame + 5] = static_cast<char>(height >> 8);
    bytes[frame + 6] = static_cast<char>(height & 0xFF);
    bytes[frame + 7] = static_cast<char>(width >> 8);
    bytes[frame + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A temporary folder made the current directory for as long as the object lives, where the
// panel looks for its images by their bare names.
class ImageFolder {
public:
    ImageFolder() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ImageFolder() { QDir::setCurrent(previous_); }
    ImageFolder(const ImageFolder&) = delete;
    ImageFolder& operator=(const ImageFolder&) = delete;

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    void writeDials(QSize size = {640, 640}) {
        writeDial(path("bckg_pos.jpg"), size, kPositionDialColour);
        writeDial(path("bckg_tah.jpg"), size, kTachoDialColour);
    }
    void writeNeedle(const QImage& needle = testNeedle()) {
        ASSERT_TRUE(needle.save(path("kaz.bmp"), "BMP"));
    }
    void writeAll() {
        writeDials();
        writeNeedle();
    }

private:
    QTemporaryDir dir_;
    QString previous_;
};

}  // namespace qe::ui::test
