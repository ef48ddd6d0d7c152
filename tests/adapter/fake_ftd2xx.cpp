// A stand-in for the vendor's D2XX library with its C entry points, for loading tests.
// Every call is appended to a log that the test reads through fake_d2xx_log(). Built once
// complete, once without FT_CreateDeviceInfoList (FAKE_D2XX_WITHOUT_CREATE), and once with
// FT_SetEventNotification (FAKE_D2XX_WITH_EVENTS): that one has a receive queue which the
// test fills, now or later from a thread of the library's own, and signals the registered
// event the way the vendor's reader thread does.

#include <cstdint>
#include <cstring>
#include <string>

#ifdef FAKE_D2XX_WITH_EVENTS
#include <pthread.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>
#endif

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UCHAR = unsigned char;
using FT_HANDLE = void*;
using FT_STATUS = ULONG;

struct FakeNode {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
};

namespace {

std::string callLog;
unsigned attachedCount = 2;  // 2: both devices below; 0: nothing attached
int theDevice;               // the handle FT_OpenEx gives out
int someoneElses;            // the handle of a device listed as already open
bool unplugged = false;      // every call on a handle then fails with FT_IO_ERROR
bool deviceOpen = false;     // theDevice between FT_OpenEx and FT_Close

// The texts FT_GetDeviceInfoList gives; FT_OpenEx finds a device by them.
const char* const kSerials[] = {"ABCDEFGHIJKLMNOP", "FT123"};
const std::string kDescriptions[] = {"QE7204 interface" + std::string(48, 'd'), "Other device"};

// What a call on the handle answers before it does anything: 0 when it may go on.
FT_STATUS handleStatus(FT_HANDLE handle) {
    if (unplugged) return 4;
    return handle == &theDevice && deviceOpen ? 0 : 1;
}

bool listed(const char* wanted, DWORD flags) {
    for (unsigned i = 0; i < attachedCount && i < 2; ++i)
        if ((flags == 1 && std::strcmp(wanted, kSerials[i]) == 0) ||
            (flags == 2 && wanted == kDescriptions[i]))
            return true;
    return false;
}

// "h" for the handle handed out, "?" for anything else: shows the pointer came back intact.
const char* name(FT_HANDLE handle) {
    return handle == &theDevice ? "h" : "?";
}

void log(const std::string& entry) {
    callLog += entry + ";";
}

#ifdef FAKE_D2XX_WITH_EVENTS
// The caller's EVENT_HANDLE.
struct EventHandle {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
};

std::mutex queueMutex;
DWORD queued = 0;  // guarded by queueMutex
// Held while the event is signalled, so that once notification stops the event is free to go.
std::mutex signalMutex;
EventHandle* registered = nullptr;  // guarded by signalMutex
FT_STATUS eventNotificationStatus = 0;
std::vector<std::thread> arrivals;

// Bytes reach the queue first, then the event is signalled under its mutex.
void arrive(DWORD bytes) {
    {
        const std::lock_guard lock(queueMutex);
        queued += bytes;
    }
    const std::lock_guard lock(signalMutex);
    if (!registered) return;
    pthread_mutex_lock(&registered->eMutex);
    pthread_cond_signal(&registered->eCondVar);
    pthread_mutex_unlock(&registered->eMutex);
}
#endif

}  // namespace

extern "C" {

const char* fake_d2xx_log() {
    return callLog.c_str();
}
void fake_d2xx_reset() {
#ifdef FAKE_D2XX_WITH_EVENTS
    for (auto& thread : arrivals) thread.join();
    arrivals.clear();
    const std::lock_guard lock(queueMutex);
    queued = 0;
    eventNotificationStatus = 0;
#endif
    callLog.clear();
    attachedCount = 2;
    unplugged = false;  // the log is cleared mid-test too: an open device stays open
}
void fake_d2xx_attach_nothing() {
    attachedCount = 0;
}
// The devices are pulled out: they are no longer listed and every call on a handle fails.
void fake_d2xx_unplug() {
    attachedCount = 0;
    unplugged = true;
}

#ifdef FAKE_D2XX_WITH_EVENTS
// Bytes that arrive at once, before anybody waits for them.
void fake_d2xx_arrive_now(DWORD bytes) {
    arrive(bytes);
}
// Bytes that arrive later, from a thread of the library's own. The log stays the test
// thread's: this thread writes none of it.
void fake_d2xx_arrive_after(DWORD bytes, unsigned milliseconds) {
    arrivals.emplace_back([bytes, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        arrive(bytes);
    });
}
// Every later FT_SetEventNotification answers this status.
void fake_d2xx_fail_event_notification(FT_STATUS status) {
    eventNotificationStatus = status;
}
// Queue looks made so far.
unsigned fake_d2xx_queue_looks() {
    unsigned looks = 0;
    for (auto at = callLog.find("FT_GetQueueStatus"); at != std::string::npos;
         at = callLog.find("FT_GetQueueStatus", at + 1))
        ++looks;
    return looks;
}

FT_STATUS FT_SetEventNotification(FT_HANDLE handle, DWORD mask, void* param) {
    log(std::string("FT_SetEventNotification(") + name(handle) + "," + std::to_string(mask) + ")");
    if (eventNotificationStatus != 0) return eventNotificationStatus;
    const std::lock_guard lock(signalMutex);
    registered = (mask & 1) ? static_cast<EventHandle*>(param) : nullptr;
    return 0;
}
#endif

#ifndef FAKE_D2XX_WITHOUT_CREATE
FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs) {
    log("FT_CreateDeviceInfoList");
    *numDevs = attachedCount;
    return 0;
}
#endif

FT_STATUS FT_GetDeviceInfoList(FakeNode* dest, DWORD* numDevs) {
    log("FT_GetDeviceInfoList");
    // Like the vendor's library, a null list is a bad parameter even with nothing attached.
    if (!dest || !numDevs) return 6;
    *numDevs = attachedCount;
    if (attachedCount == 0) return 0;
    // The first node fills both texts to the last byte, with no NUL anywhere.
    std::memset(&dest[0], 0, sizeof dest[0]);
    dest[0].Flags = 0;
    dest[0].Type = 8;
    dest[0].ID = 0x04036001;
    dest[0].LocId = 0x2011;
    std::memcpy(dest[0].SerialNumber, kSerials[0], 16);
    std::memcpy(dest[0].Description, kDescriptions[0].data(), 64);
    dest[0].ftHandle = nullptr;

    std::memset(&dest[1], 0, sizeof dest[1]);
    dest[1].Flags = 1;
    dest[1].Type = 5;
    dest[1].ID = 0x04036010;
    dest[1].LocId = 0x2012;
    std::strcpy(dest[1].SerialNumber, kSerials[1]);
    std::strcpy(dest[1].Description, kDescriptions[1].c_str());
    dest[1].ftHandle = &someoneElses;
    *numDevs = 2;
    return 0;
}

FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    log("FT_OpenEx(" + std::string(static_cast<const char*>(arg)) + "," + std::to_string(flags) +
        ")");
    if (!listed(static_cast<const char*>(arg), flags)) return 2;
    *handle = &theDevice;
    deviceOpen = true;
    return 0;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    log(std::string("FT_Close(") + name(handle) + ")");
    if (handle != &theDevice || !deviceOpen) return 1;
    deviceOpen = false;
    return 0;
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR ms) {
    log(std::string("FT_SetLatencyTimer(") + name(handle) + "," + std::to_string(ms) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return 0;
}

FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) {
    log(std::string("FT_SetBitMode(") + name(handle) + "," + std::to_string(mask) + "," +
        std::to_string(mode) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return 0;
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                    UCHAR parity) {
    log(std::string("FT_SetDataCharacteristics(") + name(handle) + "," +
        std::to_string(wordLength) + "," + std::to_string(stopBits) + "," + std::to_string(parity) +
        ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return 0;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baud) {
    log(std::string("FT_SetBaudRate(") + name(handle) + "," + std::to_string(baud) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return baud == 250000 ? 0 : 7;
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readMs, ULONG writeMs) {
    log(std::string("FT_SetTimeouts(") + name(handle) + "," + std::to_string(readMs) + "," +
        std::to_string(writeMs) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return 0;
}

FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD count, DWORD* written) {
    std::string bytes;
    for (DWORD i = 0; i < count; ++i)
        bytes += (i ? " " : "") + std::to_string(static_cast<UCHAR*>(buffer)[i]);
    log(std::string("FT_Write(") + name(handle) + "," + bytes + ")");
    if (const FT_STATUS status = handleStatus(handle)) {
        *written = 0;
        return status;
    }
    *written = count > 4 ? 4 : count;  // accepts four bytes at most
    return 0;
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* bytesRead) {
    log(std::string("FT_Read(") + name(handle) + "," + std::to_string(count) + ")");
    if (handle != &theDevice) return 4;
    if (const FT_STATUS status = handleStatus(handle)) {
        *bytesRead = 0;
        return status;
    }
    for (DWORD i = 0; i < count && i < 3; ++i)
        static_cast<UCHAR*>(buffer)[i] = static_cast<UCHAR>(0xA0 + i);
    *bytesRead = count < 3 ? count : 3;
    return 0;
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    log(std::string("FT_GetQueueStatus(") + name(handle) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
#ifdef FAKE_D2XX_WITH_EVENTS
    const std::lock_guard lock(queueMutex);
    *rxBytes = queued;
#else
    *rxBytes = 7;
#endif
    return 0;
}

FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    log(std::string("FT_Purge(") + name(handle) + "," + std::to_string(mask) + ")");
    if (const FT_STATUS status = handleStatus(handle)) return status;
    return 0;
}

}  // extern "C"
