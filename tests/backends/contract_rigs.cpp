// The drivers that run in this process, each with one adapter, for the driver contract.

#include <dlfcn.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "adapter_commands.h"
#include "composite_driver.h"
#include "d2xx_driver.h"
#include "driver_contract.h"
#include "scripted_driver.h"
#include "simulated_driver.h"
#include "tty_fixture.h"

namespace qe::test {
namespace {

constexpr const char* kSimSerial = "QE000001";

class SimRig final : public ContractRig {
public:
    SimRig() {
        sim_.setInstantReplies(true);
        sim_.addAdapter();
        serial = kSimSerial;
        description = kAdapterDescription;
        backend = "sim";
    }
    FtdiDriver& driver() override { return sim_; }
    Clock& clock() override { return clock_; }
    bool unplug() override {
        sim_.adapter().unplug();
        return true;
    }

private:
    ManualClock clock_;
    sim::SimulatedDriver sim_{clock_};
};

class ScriptedRig final : public ContractRig {
public:
    ScriptedRig() {
        DeviceInfoNode node;
        node.setSerialNumber(kSimSerial);
        node.setDescription(kAdapterDescription);
        scripted_.devices = {node};
        // The contract's frames, in the order it sends them.
        scripted_.replyToNextWrite({0x5A}, 1);
        scripted_.replyToNextWrite({0x3C}, 1);
        serial = kSimSerial;
        description = kAdapterDescription;
        backend = "";  // a test double of no backend
        whyNoHandleCheck = "tests start the link on a handle the scripted driver never gave";
    }
    FtdiDriver& driver() override { return scripted_; }
    Clock& clock() override { return clock_; }
    bool unplug() override {
        scripted_.unplugNow();
        scripted_.devices.clear();
        return true;
    }

private:
    ManualClock clock_;
    ScriptedDriver scripted_{clock_};
};

// The D2XX driver over the stand-in for the vendor's library, which answers every read with
// 0xA0 0xA1 0xA2 and lists a second device that is not an adapter.
class D2xxRig final : public ContractRig {
public:
    D2xxRig() : library_(dlopen(QE7204_FAKE_D2XX_LIBRARY, RTLD_NOW)) {
        EXPECT_NE(library_, nullptr) << dlerror();
        if (library_) {
            using Call = void (*)();
            reset_ = reinterpret_cast<Call>(dlsym(library_, "fake_d2xx_reset"));
            unplug_ = reinterpret_cast<Call>(dlsym(library_, "fake_d2xx_unplug"));
            reset_();
        }
        serial = "ABCDEFGHIJKLMNOP";
        description = std::string(kAdapterDescription) + std::string(48, 'd');
        backend = "d2xx";
        deviceCount = 2;
        whyNoQueue = "the vendor library's stand-in always reports 7 bytes waiting";
        whyNoOpenedMark = "the vendor library's stand-in lists the same flags and handles always";
    }
    std::vector<std::uint8_t> parametersReply(std::uint8_t) const override { return {0xA0}; }
    ~D2xxRig() override {
        if (reset_) reset_();
        if (library_) dlclose(library_);
    }
    FtdiDriver& driver() override { return d2xx_; }
    Clock& clock() override { return clock_; }
    bool unplug() override {
        unplug_();
        return true;
    }

private:
    void* library_;
    void (*reset_)() = nullptr;
    void (*unplug_)() = nullptr;
    D2xxDriver d2xx_{QE7204_FAKE_D2XX_LIBRARY};
    SystemClock clock_;
};

class TtyRig final : public ContractRig {
public:
    TtyRig() {
        serial = kSimSerial;
        description = kAdapterDescription;
        backend = "tty";
    }
    FtdiDriver& driver() override { return bench_.driver; }
    Clock& clock() override { return clock_; }
    // The terminal hangs up and the kernel takes the port out of sysfs.
    bool unplug() override {
        bench_.adapter.unplug();
        bench_.tree.removePort(bench_.portName);
        return true;
    }

private:
    PtyBench bench_;
    SystemClock clock_;
};

// Two backends as one, the adapter behind the second.
class CompositeRig final : public ContractRig {
public:
    CompositeRig() {
        auto empty = std::make_unique<sim::SimulatedDriver>(clock_);
        auto withAdapter = std::make_unique<sim::SimulatedDriver>(clock_);
        withAdapter->setInstantReplies(true);
        withAdapter->addAdapter();
        sim_ = withAdapter.get();
        std::vector<CompositeDriver::Backend> backends;
        backends.push_back({"empty", std::move(empty)});
        backends.push_back({"sim", std::move(withAdapter)});
        composite_ = std::make_unique<CompositeDriver>(std::move(backends));
        serial = kSimSerial;
        description = kAdapterDescription;
        backend = "sim";
    }
    FtdiDriver& driver() override { return *composite_; }
    Clock& clock() override { return clock_; }
    bool unplug() override {
        sim_->adapter().unplug();
        return true;
    }

private:
    ManualClock clock_;
    sim::SimulatedDriver* sim_ = nullptr;
    std::unique_ptr<CompositeDriver> composite_;
};

template <typename Rig>
RigMaker maker(std::string name) {
    return {std::move(name), [] { return std::make_unique<Rig>(); }};
}

INSTANTIATE_TEST_SUITE_P(InProcess, DriverContract,
                         ::testing::Values(maker<SimRig>("Simulated"),
                                           maker<ScriptedRig>("Scripted"),
                                           maker<D2xxRig>("VendorLibrary"),
                                           maker<TtyRig>("KernelSerial"),
                                           maker<CompositeRig>("Composite")),
                         rigName);

}  // namespace
}  // namespace qe::test
