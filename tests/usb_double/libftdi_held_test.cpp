// Whether the libftdi1 backend lists an adapter as taken, over the FT232R stand-in.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_tty_tree.h"
#include "libftdi_driver.h"
#include "port_holder.h"

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

// Bound to the kernel's serial driver, the adapter is free unless its ttyUSB port (the one with
// its serial number) is held: a claim would only find the kernel's driver.
TEST(LibFtdiHeld, AnAdapterOfTheKernelsSerialDriverIsTakenWhenItsPortIs) {
    const StandInSays bound("FT232R_KERNEL_DRIVER");
    LibFtdiDriver driver;
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u) << "no port in sysfs: nothing holds it";

    const auto root = std::filesystem::temp_directory_path() /
                      ("qe7204-libftdi-held-" + std::to_string(::getpid()));
    sim::FakeTtyTree tree(root);
    const auto terminal = root / "terminal";  // what the port's node leads to
    std::ofstream{terminal};
    tree.addPort({.name = "ttyUSB0", .terminal = terminal});
    ::setenv("QE7204_SYSFS_ROOT", tree.roots().sysfs.c_str(), 1);
    ::setenv("QE7204_DEV_ROOT", tree.roots().dev.c_str(), 1);
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u) << "the port is open nowhere";
    {
        const PortHolder other(tree.roots().dev / "ttyUSB0");
        ASSERT_TRUE(other.holds());
        EXPECT_EQ(enumerate(driver)[0].Flags, 1u);
    }
    EXPECT_EQ(enumerate(driver)[0].Flags, 0u);
    ::unsetenv("QE7204_SYSFS_ROOT");
    ::unsetenv("QE7204_DEV_ROOT");
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace qe::test
