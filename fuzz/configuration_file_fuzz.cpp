// The .qcf reader: whole words taken in order, low byte first, at most eight; the rest of the
// mirror untouched; the file read the same way from disk as from memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "configuration_file.h"
#include "fuzz_check.h"
#include "memory_file.h"

namespace {

using qe::RegisterImage;
namespace chip = qe::chip;

RegisterImage markedImage() {
    RegisterImage image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint16_t>(0xA000 + i);
    return image;
}

void checkDecoded(std::span<const std::uint8_t> bytes, const RegisterImage& before,
                  const RegisterImage& after, std::size_t wordsTaken) {
    for (std::size_t i = 0; i < after.size(); ++i) {
        const std::size_t fileWord = i - chip::kFirstFileWord;
        if (i >= chip::kFirstFileWord && fileWord < wordsTaken)
            FUZZ_CHECK(after[i] == (bytes[2 * fileWord] | bytes[2 * fileWord + 1] << 8));
        else
            FUZZ_CHECK(after[i] == before[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const RegisterImage before = markedImage();

    RegisterImage decodedImage = before;
    const chip::DecodedConfiguration decoded = chip::decodeConfiguration(bytes, decodedImage);
    FUZZ_CHECK(decoded.wordsTaken == std::min<std::size_t>(size / 2, chip::kFileWords));
    FUZZ_CHECK(decoded.readBeyondEnd == (size < chip::kConfigurationFileBytes && size % 2 == 1));
    checkDecoded(bytes, before, decodedImage, decoded.wordsTaken);

    // What SAVE writes, LOAD gives back.
    RegisterImage again = before;
    const chip::ConfigurationBytes encoded = chip::encodeConfiguration(decodedImage);
    (void)chip::decodeConfiguration(encoded, again);
    FUZZ_CHECK(again == decodedImage);

    // The same bytes as a file on disk.
    const qe::fuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    RegisterImage loadedImage = before;
    const chip::FileStatus status = chip::loadConfigurationFile(file.path(), loadedImage);
    FUZZ_CHECK(status.fault ==
               (decoded.readBeyondEnd ? chip::FileFault::ReadBeyondEnd : chip::FileFault::None));
    if (status) FUZZ_CHECK(loadedImage == decodedImage);
    return 0;
}
