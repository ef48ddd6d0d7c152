// Decoding the dial files through libjpeg: good, missing and corrupt files.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <sys/stat.h>

#include <algorithm>

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

// A header's claim is checked before anything is decoded or allocated for it; a side of
// 8192 pixels is still decoded (here it fails for want of data, with the decoder's message).
TEST(JpegImage, PicturesClaimingMoreThanTheLargestSideAreRefusedUnread) {
    const struct {
        int width;
        int height;
        bool refused;
    } cases[] = {
        {20000, 20000, true}, {65500, 65500, true}, {8193, 8, true},
        {8, 8193, true},      {8192, 8, false},     {8, 8192, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const QByteArray bytes = jpegClaimingSize(c.width, c.height);
        ASSERT_FALSE(bytes.isEmpty());
        const JpegImage decoded = decodeJpeg(bytes);
        EXPECT_FALSE(decoded.ok());
        EXPECT_EQ(decoded.tooLarge, c.refused);
        EXPECT_EQ(decoded.error.isEmpty(), c.refused) << decoded.error.toStdString();
    }
}

QByteArray encoded(bool progressive) {
    QImage picture(96, 96, QImage::Format_RGB32);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x) picture.setPixel(x, y, qRgb(x * 2, y * 2, (x ^ y) & 0xFF));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(picture)) << writer.errorString().toStdString();
    return bytes;
}

// A file cut anywhere inside its compressed data is damaged, not a dial with a grey part.
TEST(JpegImage, AFileCutInsideItsScanDataIsNotADial) {
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QByteArray whole = encoded(progressive);
        ASSERT_TRUE(decodeJpeg(whole).ok());
        const qsizetype scan = whole.indexOf(QByteArray("\xFF\xDA", 2));
        ASSERT_GT(scan, 0);
        const qsizetype end = whole.size() - 2;  // the end-of-image marker
        for (qsizetype cut = scan + 16; cut < end;
             cut += std::max<qsizetype>(1, (end - scan) / 23)) {
            SCOPED_TRACE(testing::Message() << "cut at " << cut << " of " << whole.size());
            const JpegImage decoded = decodeJpeg(whole.left(cut));
            EXPECT_FALSE(decoded.ok());
            EXPECT_FALSE(decoded.error.isEmpty());
        }
    }
}

// A FIFO is not opened for reading, which would wait for a writer for ever.
TEST(JpegImage, AFifoIsNotOpened) {
    ImageFolder folder;
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.path("pipe.jpg")).constData(), 0666), 0);
    const JpegImage decoded = decodeJpegFile(folder.path("pipe.jpg"));
    EXPECT_FALSE(decoded.ok());
    EXPECT_FALSE(decoded.tooLarge);
    EXPECT_TRUE(decoded.error.contains(QLatin1String("pipe.jpg"))) << decoded.error.toStdString();
}

}  // namespace
}  // namespace qe::ui::test
