#pragma once

#include <ftdi.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "clock.h"
#include "ftdi_driver.h"
#include "libftdi_port.h"
#include "simulated_driver.h"

namespace qe::test {

// libftdi1 1.5 over an FT232R, as the backend's function table sees it, on a manual clock.
// The adapter is a simulated one; its USB chip hands a short reply to the host when its
// latency timer next runs out. ftdi_read_data(size) keeps its rule: it serves its own buffer
// first, then makes USB transfers until it has `size` bytes or a transfer brings no data; a
// transfer brings at once what the chip holds since its timer last ran out, else it ends when
// the timer next runs out. What a transfer brings beyond `size` stays in its buffer.
class LibFtdiModel {
public:
    LibFtdiModel(ManualClock& clock, sim::SimulatedDriver& driver, FtHandle handle);
    ~LibFtdiModel();
    LibFtdiModel(const LibFtdiModel&) = delete;
    LibFtdiModel& operator=(const LibFtdiModel&) = delete;

    static const LibFtdiFunctions& functions();
    ftdi_context* context() { return &context_; }

    // The next writes fail as a write time-out does in libftdi1: -1, the device still there.
    void timeOutWrites(bool timeOut) { writesTimeOut_ = timeOut; }
    int transfers() const { return transfers_; }
    int readCalls() const { return readCalls_; }

private:
    static LibFtdiModel& of(ftdi_context* context);
    int readData(unsigned char* buf, int size);
    // One USB bulk transfer: the bytes it brings (0 for a packet of status bytes only), or a
    // libusb error.
    int transfer(std::deque<std::uint8_t>& into);
    int writeData(const unsigned char* buf, int size);
    int pollModemStatus();
    int flushRx();

    ManualClock& clock_;
    sim::SimulatedDriver& driver_;
    FtHandle handle_;
    ftdi_context context_{};
    std::deque<std::uint8_t> surplus_;  // libftdi1's read buffer
    bool writesTimeOut_ = false;
    int transfers_ = 0;
    int readCalls_ = 0;
};

// The libftdi1 backend's port over the model, with enumeration and opening by the simulated
// driver: what the link sees of a real adapter through libftdi1.
class LibFtdiModelDriver final : public FtdiDriver {
public:
    LibFtdiModelDriver(ManualClock& clock, sim::SimulatedDriver& driver);
    ~LibFtdiModelDriver() override;

    LibFtdiModel* model(FtHandle handle);

    bool hasCreateDeviceInfoList() const override { return true; }
    FtStatus createDeviceInfoList(std::uint32_t& deviceCount) override;
    FtStatus getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) override;
    FtStatus openEx(const void* arg, std::uint32_t flags, FtHandle& handle) override;
    FtStatus close(FtHandle handle) override;
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) override;
    FtStatus setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) override;
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity) override;
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud) override;
    FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) override;
    FtStatus write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                   std::uint32_t& written) override;
    FtStatus read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                  std::uint32_t& bytesRead) override;
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) override;
    FtStatus purge(FtHandle handle, std::uint32_t mask) override;
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             Clock& clock, std::uint32_t& rxBytes) override;

private:
    struct Open {
        std::unique_ptr<LibFtdiModel> model;
        std::unique_ptr<LibFtdiPort> port;
    };
    LibFtdiPort* portOf(FtHandle handle);

    ManualClock& clock_;
    sim::SimulatedDriver& driver_;
    std::map<FtHandle, Open> open_;
};

}  // namespace qe::test
