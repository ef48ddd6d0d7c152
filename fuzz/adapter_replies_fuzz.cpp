// The adapter's replies: a driver that answers with the fuzzer's bytes, statuses, short reads
// and cut writes, under a random series of commands. Whatever arrives, a command that reports
// success has taken its result from bytes the driver delivered for it, and nothing ever
// waits for ever.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter_link.h"
#include "byte_source.h"
#include "fuzz_check.h"
#include "fuzz_driver.h"
#include "message_sink.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class DiscardingSink final : public qe::MessageSink {
public:
    void show(qe::MessageKind, const std::string&) override {}
};

std::uint16_t wordAt(const Bytes& bytes, std::size_t index) {
    return static_cast<std::uint16_t>(bytes[2 * index] << 8 | bytes[2 * index + 1]);
}

constexpr int kMostCommands = 48;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qe::fuzz::ByteSource source(data, size);
    qe::ManualClock clock;
    qe::fuzz::FuzzDriver driver(source, clock);
    DiscardingSink sink;
    qe::RegisterImage image{};
    qe::AdapterLink link(driver, clock, sink, image);
    link.setLineSettings({250000, 8, 2, 0});

    for (int command = 0; command < kMostCommands && !source.empty(); ++command) {
        const std::uint8_t which = source.next();
        const std::uint8_t address = source.next() & 0x7F;
        driver.forgetDelivered();
        const qe::RegisterImage before = image;
        switch (which % 10) {
            case 0:
                link.EnumerateDevices();
                link.ConnectAdapter({});
                break;
            case 1: {
                const std::uint8_t reg = source.next() % 56;
                if (link.WriteRegister(address, reg, source.nextWord())) {
                    FUZZ_CHECK(driver.lastDelivered().size() == 1);
                    FUZZ_CHECK(driver.lastDelivered()[0] != 0);
                }
                FUZZ_CHECK(image == before);
                break;
            }
            case 2: {
                const std::uint8_t reg = source.next() % 56;
                const qe::RegisterRead read = link.ReadRegister(address, reg);
                if (read) {
                    FUZZ_CHECK(driver.lastDelivered().size() == 2);
                    FUZZ_CHECK(read.word == wordAt(driver.lastDelivered(), 0));
                    FUZZ_CHECK(image[reg] == read.word);
                } else {
                    FUZZ_CHECK(image == before);
                }
                break;
            }
            case 3:
                if (link.ReadAllRegisters(address)) {
                    // Surplus bytes after the 112 are purged; the words are the first 112.
                    FUZZ_CHECK(driver.lastDelivered().size() >= 2 * image.size());
                    for (std::size_t i = 0; i < image.size(); ++i)
                        FUZZ_CHECK(image[i] == wordAt(driver.lastDelivered(), i));
                } else {
                    FUZZ_CHECK(image == before);
                }
                break;
            case 4:
                if (link.ReadOutputRegisters(address)) {
                    FUZZ_CHECK(driver.lastDelivered().size() == 8);
                    for (std::size_t i = 0; i < 4; ++i)
                        FUZZ_CHECK(image[32 + i] == wordAt(driver.lastDelivered(), i));
                } else {
                    FUZZ_CHECK(image == before);
                }
                break;
            case 5:
                if (link.ScanBus()) {
                    // The addresses, ascending, then the end marker: all the scan received.
                    Bytes expected = link.chipAddressList();
                    FUZZ_CHECK(!expected.empty());
                    FUZZ_CHECK(std::adjacent_find(expected.begin(), expected.end(),
                                                  std::greater_equal<>()) == expected.end());
                    FUZZ_CHECK(expected.back() < 128);
                    const Bytes& got = driver.deliveredSince();
                    FUZZ_CHECK(got.size() == expected.size() + 1 && got.back() >= 128);
                    FUZZ_CHECK(std::equal(expected.begin(), expected.end(), got.begin()));
                }
                break;
            case 6:
                if (link.QueryPower()) FUZZ_CHECK(driver.lastDelivered() == Bytes{1});
                break;
            case 7:
                link.PowerOn();
                if (link.adapterOpen() && link.chipPowered())
                    FUZZ_CHECK(driver.lastDelivered() == Bytes{1});
                break;
            case 8:
                if (link.SetAdapterParameters(15, 0))
                    FUZZ_CHECK(driver.lastDelivered() == Bytes{240});
                break;
            case 9:
                link.CheckConnection();
                break;
        }
    }
    return 0;
}
