// Decoding the dial files through libjpeg: good, missing and corrupt files.
#include <gtest/gtest.h>
#include <QFile>

#include "jpeg_image.h"
#include "panel_test_images.h"

namespace qe::ui::test {
namespace {

TEST(JpegImage, DecodesAFileToItsSizeAndColours) {
    ImageFolder folder;
    QImage picture(48, 32, QImage::Format_RGB32);
    picture.fill(QColor(20, 120, 220));
    picture.setPixelColor(0, 0, Qt::white);  // one pixel among many barely shows through JPEG
    ASSERT_TRUE(picture.save(folder.path("good.jpg"), "JPG", 100));

    const JpegImage decoded = decodeJpegFile(folder.path("good.jpg"));
    ASSERT_TRUE(decoded.ok()) << decoded.error.toStdString();
    EXPECT_TRUE(decoded.error.isEmpty());
    EXPECT_EQ(decoded.image.size(), QSize(48, 32));
    const QColor centre = decoded.image.pixelColor(24, 16);
    EXPECT_NEAR(centre.red(), 20, 3);
    EXPECT_NEAR(centre.green(), 120, 3);
    EXPECT_NEAR(centre.blue(), 220, 3);
}

TEST(JpegImage, DecodesGreyscaleFilesAsGrey) {
    ImageFolder folder;
    QImage picture(16, 16, QImage::Format_Grayscale8);
    picture.fill(QColor(90, 90, 90));
    ASSERT_TRUE(picture.save(folder.path("grey.jpg"), "JPG", 100));

    const JpegImage decoded = decodeJpegFile(folder.path("grey.jpg"));
    ASSERT_TRUE(decoded.ok()) << decoded.error.toStdString();
    const QColor pixel = decoded.image.pixelColor(8, 8);
    EXPECT_NEAR(pixel.red(), 90, 2);
    EXPECT_EQ(pixel.red(), pixel.green());
    EXPECT_EQ(pixel.green(), pixel.blue());
}

TEST(JpegImage, BadFilesGiveAMessageInsteadOfEndingTheProgram) {
    ImageFolder folder;
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(folder.path("whole.jpg"), "JPG", 90));
    QFile whole(folder.path("whole.jpg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();

    struct Case {
        const char* name;
        QByteArray content;  // null: the file is not written
        const char* messagePart;
    };
    const Case cases[] = {
        {"missing.jpg", {}, "missing.jpg"},
        {"empty.jpg", QByteArray(""), "empty"},
        {"text.jpg", QByteArray("not a picture at all"), "Not a JPEG file"},
        {"header.jpg", bytes.left(20), ""},
        {"truncated.jpg", bytes.left(bytes.size() / 2), "Premature end"},
    };
    for (const Case& c : cases) {
        if (!c.content.isNull()) writeBytes(folder.path(c.name), c.content);
        const JpegImage decoded = decodeJpegFile(folder.path(c.name));
        EXPECT_FALSE(decoded.ok()) << c.name;
        EXPECT_TRUE(decoded.image.isNull()) << c.name;
        EXPECT_FALSE(decoded.error.isEmpty()) << c.name;
        EXPECT_TRUE(decoded.error.contains(QString::fromLatin1(c.messagePart)))
            << c.name << ": " << decoded.error.toStdString();
    }
}

}  // namespace
}  // namespace qe::ui::test
