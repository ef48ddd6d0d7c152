#pragma once

#include <cstdint>

#include "ftdi_driver.h"
#include "receive_buffer.h"

struct ftdi_context;

namespace qe {

class Clock;

// The libftdi1 calls on an open device, as a table: the library's own, or in tests a model of
// the library's read rule.
struct LibFtdiFunctions {
    int (*readData)(ftdi_context*, unsigned char*, int);
    int (*writeData)(ftdi_context*, const unsigned char*, int);
    int (*pollModemStatus)(ftdi_context*, unsigned short*);
    int (*tciflush)(ftdi_context*);
    int (*tcoflush)(ftdi_context*);

    static const LibFtdiFunctions& library();
};

// One device opened through libftdi1: its reads, writes, purges and the bytes it holds.
//
// libftdi1 (1.5) only reads. ftdi_read_data returns when it has all the bytes asked for, or
// when a USB packet brings no data, which an FT232R sends when its latency timer runs out.
// So a read asks for exactly the bytes still needed: asking for more would wait until the
// latency timer ran out once more after the reply. A packet that brings more than asked for
// leaves the rest in libftdi1's own buffer, which counts as waiting like the port's own.
class LibFtdiPort {
public:
    LibFtdiPort(ftdi_context* context, const LibFtdiFunctions& functions);

    // Handed to libftdi1 for each USB transfer (0: the driver's 2000 ms).
    void setTimeouts(std::uint32_t readMs, std::uint32_t writeMs);
    FtStatus write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written);
    // Waits for count bytes up to the read time-out; count 0 asks whether the device answers.
    FtStatus read(std::uint8_t* data, std::uint32_t count, std::uint32_t& bytesRead);
    // The bytes received and not read, without a USB transfer (one costs up to a latency
    // period); waitForReceived fetches what the device has sent.
    FtStatus queueStatus(std::uint32_t& rxBytes) const;
    FtStatus waitForReceived(std::uint32_t count, std::int64_t deadlineNs, Clock& clock,
                             std::uint32_t& rxBytes);
    FtStatus purge(std::uint32_t mask);

private:
    std::uint32_t held() const;
    // One ftdi_read_data for the bytes still missing to `count`.
    FtStatus fetch(std::uint32_t count);

    ftdi_context* context_;
    const LibFtdiFunctions& functions_;
    ReceiveBuffer received_;
    std::uint32_t readTimeoutMs_ = 0;
};

}  // namespace qe
