// Whether the libftdi1 backend lists an adapter as taken, over the FT232R stand-in.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "libftdi_driver.h"

namespace qe::test {
namespace {

std::vector<DeviceInfoNode> enumerate(FtdiDriver& driver) {
    std::uint32_t count = 0;
    EXPECT_EQ(driver.createDeviceInfoList(count), FT_OK);
    std::vector<DeviceInfoNode> nodes(count);
    if (count > 0) {
        EXPECT_EQ(driver.getDeviceInfoList(nodes.data(), count), FT_OK);
    }
    nodes.resize(count);
    return nodes;
}

// The stand-in's environment for the time of a test.
class StandInSays {
public:
    explicit StandInSays(const char* name) : name_(name) { ::setenv(name, "1", 1); }
    ~StandInSays() { ::unsetenv(name_); }
    StandInSays(const StandInSays&) = delete;
    StandInSays& operator=(const StandInSays&) = delete;

private:
    const char* name_;
};

// Another program has claimed the interface: listed open, not taken, and the open says why.
TEST(LibFtdiHeld, AnAdapterClaimedElsewhereIsListedOpenAndNotTaken) {
    LibFtdiDriver driver;
    {
        const StandInSays claimed("FT232R_CLAIMED_ELSEWHERE");
        const auto nodes = enumerate(driver);
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(nodes[0].Flags, 1u);
        EXPECT_EQ(nodes[0].DeviceHandle, 0u);
        FtHandle handle = 0;
        EXPECT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(driver.openFailureAdvice(),
                  "Another program is using the adapter. Close it (or the other copy of this "
                  "tool) and try again.");
    }
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
}

// The look leaves the device as it was: a free adapter is still free and opens.
TEST(LibFtdiHeld, AFreeAdapterStaysFreeAndOursIsListedWithItsHandle) {
    LibFtdiDriver driver;
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    const auto nodes = enumerate(driver);
    EXPECT_EQ(nodes[0].Flags, 1u);
    EXPECT_EQ(nodes[0].DeviceHandle, handle);
    EXPECT_EQ(driver.close(handle), FT_OK);
}

// Bound to the kernel's serial driver, the adapter is free unless its ttyUSB port is held;
// the stand-in's device has no port in sysfs.
TEST(LibFtdiHeld, AnAdapterOfTheKernelsSerialDriverWithoutAHeldPortIsFree) {
    const StandInSays bound("FT232R_KERNEL_DRIVER");
    LibFtdiDriver driver;
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
}

}  // namespace
}  // namespace qe::test
