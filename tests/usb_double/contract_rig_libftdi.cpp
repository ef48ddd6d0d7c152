// The driver contract over the real libftdi1, with the stand-in for libusb-1.0 loaded in its
// place (LD_LIBRARY_PATH): the FT232R's own timing, pulled out by a call into the stand-in.

#include <dlfcn.h>

#include <memory>

#include "adapter_commands.h"
#include "driver_contract.h"
#include "libftdi_driver.h"

namespace qe::test {
namespace {

class LibFtdiRig final : public ContractRig {
public:
    LibFtdiRig() {
        unplug_ = reinterpret_cast<Cable>(dlsym(RTLD_DEFAULT, "ft232r_unplug"));
        replug_ = reinterpret_cast<Cable>(dlsym(RTLD_DEFAULT, "ft232r_replug"));
        EXPECT_TRUE(unplug_ && replug_) << "libusb-1.0 is not the FT232R stand-in";
        serial = "QE000001";
        description = kAdapterDescription;
        backend = "libftdi";
    }
    ~LibFtdiRig() override {
        if (replug_) replug_();  // the stand-in's adapter lives as long as the process
    }
    FtdiDriver& driver() override { return libftdi_; }
    Clock& clock() override { return clock_; }
    bool unplug() override {
        if (!unplug_) return false;
        unplug_();
        return true;
    }

private:
    using Cable = void (*)();
    Cable unplug_ = nullptr;
    Cable replug_ = nullptr;
    LibFtdiDriver libftdi_;
    SystemClock clock_;
};

INSTANTIATE_TEST_SUITE_P(UsbStandIn, DriverContract,
                         ::testing::Values(RigMaker{"LibFtdi",
                                                    [] { return std::make_unique<LibFtdiRig>(); }}),
                         rigName);

}  // namespace
}  // namespace qe::test
