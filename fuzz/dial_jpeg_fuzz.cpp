// The dial loader: any bytes decode to a bounded picture or to a message, never a crash, a
// hang or a huge allocation; a picture from memory and from a file are the same.
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "jpeg_image.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qe::ui::JpegImage decoded = qe::ui::decodeJpeg(bytes);
    if (decoded.ok()) {
        FUZZ_CHECK(decoded.error.isEmpty() && !decoded.tooLarge);
        FUZZ_CHECK(decoded.image.width() <= qe::ui::kMaxJpegSide);
        FUZZ_CHECK(decoded.image.height() <= qe::ui::kMaxJpegSide);
        FUZZ_CHECK(decoded.image.format() == QImage::Format_RGB32);
    } else {
        FUZZ_CHECK(decoded.tooLarge == decoded.error.isEmpty());
    }

    const qe::fuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    const qe::ui::JpegImage fromFile = qe::ui::decodeJpegFile(QString::fromStdString(file.path()));
    FUZZ_CHECK(fromFile.ok() == decoded.ok() && fromFile.tooLarge == decoded.tooLarge);
    FUZZ_CHECK(fromFile.image == decoded.image);
    return 0;
}
