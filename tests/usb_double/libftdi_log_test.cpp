// The libftdi1 backend's log (qe7204.libftdi) over the FT232R stand-in.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "category_log.h"
#include "libftdi_driver.h"

namespace qe::test {
namespace {

TEST(LibFtdiLog, TellsTheOpenTheLossAndTheClose) {
    const auto unplug = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "ft232r_unplug"));
    const auto replug = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "ft232r_replug"));
    ASSERT_TRUE(unplug && replug) << "libusb-1.0 is not the FT232R stand-in";

    const CategoryLog log("qe7204.libftdi");
    LibFtdiDriver driver;
    std::uint32_t count = 0;
    ASSERT_EQ(driver.createDeviceInfoList(count), FT_OK);
    FtHandle handle = 0;
    ASSERT_EQ(driver.openEx("QE000001", kOpenBySerialNumber, handle), FT_OK);
    unplug();
    const std::uint8_t frame[] = {'Z', 4, 0};
    std::uint32_t written = 0;
    EXPECT_EQ(driver.write(handle, frame, sizeof frame, written), FT_IO_ERROR);
    EXPECT_EQ(driver.write(handle, frame, sizeof frame, written), FT_IO_ERROR);
    EXPECT_EQ(driver.close(handle), FT_OK);
    replug();

    const std::string device = "QE000001 (/dev/bus/usb/001/007)";
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[0], "opened " + device);
    EXPECT_EQ(log.lines()[1].rfind("lost " + device + " - ", 0), 0u) << log.lines()[1];
    EXPECT_EQ(log.lines()[2], "closed " + device);
}

}  // namespace
}  // namespace qe::test
