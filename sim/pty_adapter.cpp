#include "pty_adapter.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "adapter_commands.h"

namespace qe::sim {

namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void writeAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // the other side is gone; nobody waits for the reply any more
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

}  // namespace

PtyAdapter::PtyAdapter(const Options& options) {
    const int chips = std::clamp(options.chips, 0, kBusAddressCount);
    for (int address = 0; address < chips; ++address)
        bus_.addChip(static_cast<std::uint8_t>(address));
    magnet_.setSpeed(options.revolutionsPerSecond);

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        closeIfOpen(master_);
        throw std::runtime_error("no pseudo-terminal");
    }
    terminalPath_ = ::ptsname(master_);
    // Raw both ways: every byte of a frame or reply passes as it is.
    termios settings{};
    ::tcgetattr(master_, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(master_, TCSANOW, &settings);

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) != 0) {
        closeIfOpen(master_);
        throw std::runtime_error("no pipe");
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    server_ = std::thread([this] { serve(); });
}

PtyAdapter::~PtyAdapter() {
    unplug();
}

void PtyAdapter::stop() {
    if (!server_.joinable()) return;
    const char stopByte = 0;
    writeAll(wakeWrite_, reinterpret_cast<const std::uint8_t*>(&stopByte), 1);
    server_.join();
}

void PtyAdapter::unplug() {
    stop();
    std::lock_guard lock(mutex_);
    closeIfOpen(master_);
    closeIfOpen(wakeRead_);
    closeIfOpen(wakeWrite_);
    bus_.setPowered(false);
}

bool PtyAdapter::plugged() const {
    std::lock_guard lock(mutex_);
    return master_ >= 0;
}

bool PtyAdapter::awaitTool() {
    pollfd wake{wakeRead_, POLLIN, 0};
    return ::poll(&wake, 1, kToolLookMs) == 0 || (wake.revents & POLLIN) == 0;
}

void PtyAdapter::serve() {
    std::uint8_t bytes[256];
    for (;;) {
        pollfd looks[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(looks, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (looks[1].revents) return;
        // No program has the terminal open (none yet, or the tool closed it): nothing to read
        // until one opens it. The adapter itself keeps no descriptor of the terminal, so that
        // other programs see the port as free, as a real adapter's is.
        const bool hungUp = (looks[0].revents & POLLHUP) != 0;
        if (!(looks[0].revents & POLLIN)) {
            if (hungUp && !awaitTool()) return;
            continue;
        }
        const ssize_t got = ::read(master_, bytes, sizeof bytes);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0 && errno == EIO) {
            if (!awaitTool()) return;
            continue;
        }
        if (got <= 0) return;
        answer(bytes, static_cast<std::size_t>(got));
    }
}

void PtyAdapter::answer(const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::optional<AdapterFirmware::Reply> reply;
        {
            std::lock_guard lock(mutex_);
            reply = firmware_.receive(bytes[i], clock_.nowNs());
        }
        if (!reply) continue;
        // An EEPROM write, for one, takes the firmware a few milliseconds.
        const std::int64_t waitNs = reply->readyNs - clock_.nowNs();
        if (waitNs > 0) clock_.sleepNs(waitNs);
        writeAll(master_, reply->bytes.data(), reply->bytes.size());
    }
}

std::vector<std::string> PtyAdapter::frames() const {
    std::lock_guard lock(mutex_);
    return transcript_.frames();
}

void PtyAdapter::clearFrames() {
    std::lock_guard lock(mutex_);
    transcript_.clear();
}

bool PtyAdapter::supplyOn() const {
    std::lock_guard lock(mutex_);
    return firmware_.supplyOn();
}

std::uint8_t PtyAdapter::parameters() const {
    std::lock_guard lock(mutex_);
    return firmware_.parameters();
}

}  // namespace qe::sim
