#include "jpeg_image.h"

#include <QByteArray>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "local_path.h"
#include "regular_file.h"

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

// A file that ends early, or whose compressed data is damaged, would still decode, with
// grey or garbled parts filled in: treat it as corrupt.
void failOnDamage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    switch (info->err->msg_code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_MUST_RESYNC:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            failDecoding(info);
        default:
            break;
    }
}

JpegImage refusedForSize() {
    JpegImage refused;
    refused.tooLarge = true;
    return refused;
}

struct Geometry {
    int width = 0;
    int height = 0;
    bool tooLarge = false;
};

bool startDecoding(jpeg_decompress_struct& info, ErrorManager& errors, const QByteArray& bytes,
                   Geometry& geometry) {
    if (setjmp(errors.jump)) return false;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
        info.image_height > static_cast<JDIMENSION>(kMaxJpegSide)) {
        geometry.tooLarge = true;
        return true;
    }
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
        errors_.base.emit_message = failOnDamage;
        errors_.message[0] = '\0';
        jpeg_create_decompress(&info_);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info_); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    JpegImage decode(const QByteArray& bytes) {
        Geometry geometry;
        if (!startDecoding(info_, errors_, bytes, geometry)) return failure();
        if (geometry.tooLarge) return refusedForSize();
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

JpegImage decodeJpeg(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {{}, QStringLiteral("The image data is empty.")};
    Decompressor decompressor;
    return decompressor.decode(bytes);
}

JpegImage decodeJpegFile(const QString& path) {
    RegularFile file(localPath(path), RegularFile::Access::Read);
    if (file.error() != 0) {
        return {{},
                QStringLiteral("Cannot open file \"%1\". %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(file.error())))};
    }
    if (file.stamp().size > static_cast<std::uint64_t>(kMaxJpegFileBytes)) return refusedForSize();
    const std::vector<std::uint8_t> read = file.read(static_cast<std::size_t>(kMaxJpegFileBytes));
    if (file.error() != 0) {
        return {{},
                QStringLiteral("Cannot read file \"%1\". %2")
                    .arg(path, QString::fromLocal8Bit(std::strerror(file.error())))};
    }
    if (read.empty()) return {{}, QStringLiteral("The file \"%1\" is empty.").arg(path)};
    return decodeJpeg(QByteArray(reinterpret_cast<const char*>(read.data()),
                                 static_cast<qsizetype>(read.size())));
}

}  // namespace qe::ui
