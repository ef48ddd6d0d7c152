#include "jpeg_image.h"

#include <QByteArray>
#include <QFile>

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace qe::ui {

namespace {

// libjpeg's default error handler ends the process; this one jumps back to the decoding
// call with the message kept. Nothing between a setjmp and its longjmp below owns a
// resource, so the jump skips no destructor.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failDecoding(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings go nowhere; the decoder's default prints them to the console.
void keepQuiet(j_common_ptr) {}

// A file that ends early would show a half-grey dial: treat it as corrupt.
void failOnTruncation(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) failDecoding(info);
}

struct Geometry {
    int width = 0;
    int height = 0;
};

bool startDecoding(jpeg_decompress_struct& info, ErrorManager& errors, const QByteArray& bytes,
                   Geometry& geometry) {
    if (setjmp(errors.jump)) return false;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    geometry = {static_cast<int>(info.output_width), static_cast<int>(info.output_height)};
    return true;
}

bool readRows(jpeg_decompress_struct& info, ErrorManager& errors, QImage& image) {
    if (setjmp(errors.jump)) return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Owns the decompressor for exactly as long as one decoding lasts.
class Decompressor {
public:
    Decompressor() {
        info_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = failDecoding;
        errors_.base.output_message = keepQuiet;
        errors_.base.emit_message = failOnTruncation;
        errors_.message[0] = '\0';
        jpeg_create_decompress(&info_);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    JpegImage decode(const QByteArray& bytes) {
        Geometry geometry;
        if (!startDecoding(info_, errors_, bytes, geometry)) return failure();
        QImage rgb(geometry.width, geometry.height, QImage::Format_RGB888);
        if (rgb.isNull()) return {{}, QStringLiteral("The image is too large.")};
        if (!readRows(info_, errors_, rgb)) return failure();
        return {rgb.convertToFormat(QImage::Format_RGB32), {}};
    }

private:
    JpegImage failure() const { return {{}, QString::fromLocal8Bit(errors_.message)}; }

    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
};

}  // namespace

JpegImage decodeJpegFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString())};
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) return {{}, QStringLiteral("The file \"%1\" is empty.").arg(path)};
    Decompressor decompressor;
    return decompressor.decode(bytes);
}

}  // namespace qe::ui
