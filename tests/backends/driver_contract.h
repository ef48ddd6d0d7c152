#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "clock.h"
#include "ftdi_driver.h"

namespace qe::test {

// One FtdiDriver with one adapter plugged in, as the contract test needs it.
class ContractRig {
public:
    virtual ~ContractRig() = default;

    virtual FtdiDriver& driver() = 0;
    // The clock the link waits on with this driver.
    virtual Clock& clock() = 0;
    // Pulls the adapter out; false when this backend cannot, with the reason in whyNoUnplug.
    virtual bool unplug() = 0;

    std::string serial;             // as enumeration lists the adapter
    std::string description;        // likewise
    std::string backend;            // what backendOf says
    std::uint32_t deviceCount = 1;  // devices listed, the adapter among them
    // What the adapter answers to the parameters frame 'Z' 2 value: the value, from the
    // adapter's firmware.
    virtual std::vector<std::uint8_t> parametersReply(std::uint8_t value) const { return {value}; }
    // Empty when the receive queue is the adapter's; otherwise why it is not (a stand-in that
    // always reports the same count).
    std::string whyNoQueue;
    std::string whyNoUnplug;
    // Empty when calls on a closed handle fail; otherwise why they need not.
    std::string whyNoHandleCheck;
    // Empty when the list marks an open adapter opened, with its handle; otherwise why not.
    std::string whyNoOpenedMark;
};

struct RigMaker {
    std::string name;
    std::function<std::unique_ptr<ContractRig>()> make;
};

inline std::ostream& operator<<(std::ostream& out, const RigMaker& maker) {
    return out << maker.name;
}

inline std::string rigName(const ::testing::TestParamInfo<RigMaker>& info) {
    return info.param.name;
}

class DriverContract : public ::testing::TestWithParam<RigMaker> {
protected:
    void SetUp() override { rig = GetParam().make(); }

    // Opens the adapter by serial number and sets it up as the link does.
    FtHandle openAndSetUp();
    // Sends the parameters frame and waits up to a second for its reply in the queue.
    void sendFrameAndAwaitReply(FtHandle handle, std::uint8_t value);

    std::unique_ptr<ContractRig> rig;
};

}  // namespace qe::test
