// Finding USB serial ports in sysfs as the kernel lays it out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "fake_tty_tree.h"
#include "tty_port_list.h"

namespace qe::test {
namespace {

namespace fs = std::filesystem;

class TtyPortListTest : public ::testing::Test {
protected:
    static fs::path freshRoot() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const fs::path root =
            fs::path(::testing::TempDir()) / ("ports_" + std::string(info->name()));
        fs::remove_all(root);
        return root;
    }
    void TearDown() override { fs::remove_all(tree.root()); }

    sim::FakeTtyTree tree{freshRoot()};
};

TEST_F(TtyPortListTest, ReadsEachPortsUsbDeviceInNumberOrder) {
    tree.addPort({.name = "ttyUSB10", .serial = "B", .terminal = "/dev/null"});
    tree.addPort({.name = "ttyUSB2",
                  .product = " QE7204 interface (rev 2) ",
                  .serial = "",
                  .vendorId = 0x1234,
                  .productId = 0xABCD,
                  .terminal = "/dev/null"});
    // Not USB serial ports.
    fs::create_directories(tree.roots().sysfs / "class" / "tty" / "ttyS0");
    fs::create_directories(tree.roots().sysfs / "class" / "tty" / "tty1");

    const auto ports = listTtyPorts(tree.roots());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].name, "ttyUSB2");
    EXPECT_EQ(ports[0].product, " QE7204 interface (rev 2) ") << "exactly as the device reports it";
    EXPECT_EQ(ports[0].serial, "");
    EXPECT_EQ(ports[0].vendorId, 0x1234);
    EXPECT_EQ(ports[0].productId, 0xABCD);
    EXPECT_EQ(ports[0].node, tree.roots().dev / "ttyUSB2");
    EXPECT_EQ(ports[0].latencyTimer, fs::canonical(tree.latencyTimer("ttyUSB2")));
    EXPECT_EQ(ports[1].name, "ttyUSB10");
    EXPECT_EQ(ports[1].product, "QE7204 interface");
    EXPECT_EQ(ports[1].serial, "B");
}

TEST_F(TtyPortListTest, PortWithoutReadableUsbDeviceIsLeftOut) {
    tree.addPort({.name = "ttyUSB0", .terminal = "/dev/null"});
    tree.addPort({.name = "ttyUSB1", .terminal = "/dev/null"});
    fs::remove(tree.latencyTimer("ttyUSB1").parent_path().parent_path().parent_path() / "idVendor");
    fs::create_directories(tree.roots().sysfs / "class" / "tty" / "ttyUSB7");  // no device link

    const auto ports = listTtyPorts(tree.roots());
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].name, "ttyUSB0");
    tree.removePort("ttyUSB0");
    EXPECT_TRUE(listTtyPorts(tree.roots()).empty());
}

TEST(TtyRoots, EnvironmentOrTheSystemsOwn) {
    ::setenv("QE7204_SYSFS_ROOT", "/tmp/fake/sys", 1);
    ::setenv("QE7204_DEV_ROOT", "/tmp/fake/dev", 1);
    TtyRoots roots = TtyRoots::fromEnvironment();
    EXPECT_EQ(roots.sysfsOrDefault(), "/tmp/fake/sys");
    EXPECT_EQ(roots.devOrDefault(), "/tmp/fake/dev");
    ::unsetenv("QE7204_SYSFS_ROOT");
    ::setenv("QE7204_DEV_ROOT", "", 1);
    roots = TtyRoots::fromEnvironment();
    EXPECT_EQ(roots.sysfsOrDefault(), "/sys");
    EXPECT_EQ(roots.devOrDefault(), "/dev");
    ::unsetenv("QE7204_DEV_ROOT");
}

}  // namespace
}  // namespace qe::test
