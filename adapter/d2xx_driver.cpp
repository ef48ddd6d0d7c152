#include "d2xx_driver.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "clock.h"
#include "d2xx_receive_event.h"
#include "log_categories.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qe {

namespace {

// The vendor's C types: DWORD and ULONG are 32 bits wide on every platform it supports,
// FT_HANDLE is a pointer.
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UCHAR = unsigned char;
using FT_HANDLE = void*;
using FT_STATUS = ULONG;

constexpr DWORD FT_EVENT_RXCHAR = 1;
constexpr DWORD kNoEvents = 0;

#if defined(_WIN32) && !defined(_WIN64)
#define QE_D2XX_API __stdcall
#else
#define QE_D2XX_API
#endif

// FT_DEVICE_LIST_INFO_NODE as the library fills it.
struct D2xxNode {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
};
static_assert(offsetof(D2xxNode, Type) == 4);
static_assert(offsetof(D2xxNode, ID) == 8);
static_assert(offsetof(D2xxNode, LocId) == 12);
static_assert(offsetof(D2xxNode, SerialNumber) == 16);
static_assert(offsetof(D2xxNode, Description) == 32);
static_assert(offsetof(D2xxNode, ftHandle) == 96);
static_assert(sizeof(void*) != 8 || sizeof(D2xxNode) == 104);
static_assert(sizeof(D2xxNode::SerialNumber) == sizeof(DeviceInfoNode::SerialNumber));
static_assert(sizeof(D2xxNode::Description) == sizeof(DeviceInfoNode::Description));

FT_HANDLE toD2xx(FtHandle handle) {
    return reinterpret_cast<FT_HANDLE>(handle);
}
FtHandle fromD2xx(FT_HANDLE handle) {
    return reinterpret_cast<FtHandle>(handle);
}

void* openLibrary(const std::string& name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(name.c_str()));
#else
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

template <typename Function>
Function* lookUp(void* library, const char* name) {
    if (!library) return nullptr;
#ifdef _WIN32
    return reinterpret_cast<Function*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
#else
    return reinterpret_cast<Function*>(dlsym(library, name));
#endif
}

}  // namespace

struct D2xxDriver::EntryPoints {
    using CreateDeviceInfoList = FT_STATUS QE_D2XX_API(DWORD*);
    using GetDeviceInfoList = FT_STATUS QE_D2XX_API(D2xxNode*, DWORD*);
    using OpenEx = FT_STATUS QE_D2XX_API(void*, DWORD, FT_HANDLE*);
    using Close = FT_STATUS QE_D2XX_API(FT_HANDLE);
    using SetLatencyTimer = FT_STATUS QE_D2XX_API(FT_HANDLE, UCHAR);
    using SetBitMode = FT_STATUS QE_D2XX_API(FT_HANDLE, UCHAR, UCHAR);
    using SetDataCharacteristics = FT_STATUS QE_D2XX_API(FT_HANDLE, UCHAR, UCHAR, UCHAR);
    using SetBaudRate = FT_STATUS QE_D2XX_API(FT_HANDLE, ULONG);
    using SetTimeouts = FT_STATUS QE_D2XX_API(FT_HANDLE, ULONG, ULONG);
    using Write = FT_STATUS QE_D2XX_API(FT_HANDLE, void*, DWORD, DWORD*);
    using Read = FT_STATUS QE_D2XX_API(FT_HANDLE, void*, DWORD, DWORD*);
    using GetQueueStatus = FT_STATUS QE_D2XX_API(FT_HANDLE, DWORD*);
    using Purge = FT_STATUS QE_D2XX_API(FT_HANDLE, ULONG);
    using SetEventNotification = FT_STATUS QE_D2XX_API(FT_HANDLE, DWORD, void*);

    explicit EntryPoints(void* library)
        : createDeviceInfoList(lookUp<CreateDeviceInfoList>(library, "FT_CreateDeviceInfoList")),
          getDeviceInfoList(lookUp<GetDeviceInfoList>(library, "FT_GetDeviceInfoList")),
          openEx(lookUp<OpenEx>(library, "FT_OpenEx")),
          close(lookUp<Close>(library, "FT_Close")),
          setLatencyTimer(lookUp<SetLatencyTimer>(library, "FT_SetLatencyTimer")),
          setBitMode(lookUp<SetBitMode>(library, "FT_SetBitMode")),
          setDataCharacteristics(
              lookUp<SetDataCharacteristics>(library, "FT_SetDataCharacteristics")),
          setBaudRate(lookUp<SetBaudRate>(library, "FT_SetBaudRate")),
          setTimeouts(lookUp<SetTimeouts>(library, "FT_SetTimeouts")),
          write(lookUp<Write>(library, "FT_Write")),
          read(lookUp<Read>(library, "FT_Read")),
          getQueueStatus(lookUp<GetQueueStatus>(library, "FT_GetQueueStatus")),
          purge(lookUp<Purge>(library, "FT_Purge")),
          setEventNotification(lookUp<SetEventNotification>(library, "FT_SetEventNotification")) {}

    CreateDeviceInfoList* createDeviceInfoList;
    GetDeviceInfoList* getDeviceInfoList;
    OpenEx* openEx;
    Close* close;
    SetLatencyTimer* setLatencyTimer;
    SetBitMode* setBitMode;
    SetDataCharacteristics* setDataCharacteristics;
    SetBaudRate* setBaudRate;
    SetTimeouts* setTimeouts;
    Write* write;
    Read* read;
    GetQueueStatus* getQueueStatus;
    Purge* purge;
    SetEventNotification* setEventNotification;
};

namespace {

// A library may lack any entry point; calling through a missing one would crash the tool.
template <typename Function, typename... Args>
FtStatus callOr(FtStatus missing, Function* function, Args... args) {
    return function ? function(args...) : missing;
}

template <typename Function, typename... Args>
FtStatus call(Function* function, Args... args) {
    return callOr(FT_NOT_SUPPORTED, function, args...);
}

}  // namespace

const char* D2xxDriver::defaultLibraryName() {
#if defined(_WIN32)
    return "FTD2XX.DLL";
#elif defined(__APPLE__)
    return "libftd2xx.dylib";
#else
    return "libftd2xx.so";
#endif
}

D2xxDriver::D2xxDriver(const std::string& libraryName)
    : library_(openLibrary(libraryName)), entries_(std::make_unique<EntryPoints>(library_)) {
    // Without it the backend lists nothing, as designed; the log says why.
    if (!library_) qCDebug(lcD2xx).noquote() << "cannot load" << libraryName.c_str();
}

D2xxDriver::~D2xxDriver() {
    // The library must not signal an event that is gone; handles still open stay open.
    while (!events_.empty()) stopArrivalNotification(events_.begin()->first);
    entries_.reset();
    // The library stays loaded until the program ends: it may still run threads of its own,
    // which would crash in code unloaded under them.
}

bool D2xxDriver::hasCreateDeviceInfoList() const {
    return entries_->createDeviceInfoList != nullptr;
}

FtStatus D2xxDriver::createDeviceInfoList(std::uint32_t& deviceCount) {
    DWORD count = 0;
    // Status 9 without the entry point: enumeration then lists nothing.
    const FtStatus status =
        callOr(FT_DEVICE_NOT_OPENED_FOR_WRITE, entries_->createDeviceInfoList, &count);
    if (status == FT_OK) deviceCount = count;
    return status;
}

FtStatus D2xxDriver::getDeviceInfoList(DeviceInfoNode* nodes, std::uint32_t& deviceCount) {
    // At least one node, so that the library is never handed a null list.
    std::vector<D2xxNode> listed(std::max<std::uint32_t>(deviceCount, 1));
    DWORD count = deviceCount;
    const FtStatus status = call(entries_->getDeviceInfoList, listed.data(), &count);
    if (status != FT_OK) return status;

    deviceCount = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(listed.size()));
    for (std::uint32_t i = 0; i < deviceCount; ++i) {
        const D2xxNode& from = listed[i];
        DeviceInfoNode& to = nodes[i];
        to.Flags = from.Flags;
        to.DeviceType = from.Type;
        to.ID = from.ID;
        to.LocID = from.LocId;
        // The whole arrays: the texts need not end in a NUL, DeviceInfoNode bounds them.
        std::memcpy(to.SerialNumber, from.SerialNumber, sizeof to.SerialNumber);
        std::memcpy(to.Description, from.Description, sizeof to.Description);
        to.DeviceHandle = fromD2xx(from.ftHandle);
    }
    return FT_OK;
}

FtStatus D2xxDriver::openEx(const void* arg, std::uint32_t flags, FtHandle& handle) {
    FT_HANDLE opened = nullptr;
    // The library takes a non-const pointer but only reads the serial number or description.
    const FtStatus status = call(entries_->openEx, const_cast<void*>(arg), flags, &opened);
    if (status == FT_OK) {
        handle = fromD2xx(opened);
        startArrivalNotification(handle);
    }
    return status;
}

FtStatus D2xxDriver::close(FtHandle handle) {
    stopArrivalNotification(handle);
    return call(entries_->close, toD2xx(handle));
}

FtStatus D2xxDriver::setLatencyTimer(FtHandle handle, std::uint8_t milliseconds) {
    return call(entries_->setLatencyTimer, toD2xx(handle), UCHAR{milliseconds});
}

FtStatus D2xxDriver::setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode) {
    return call(entries_->setBitMode, toD2xx(handle), UCHAR{mask}, UCHAR{mode});
}

FtStatus D2xxDriver::setDataCharacteristics(FtHandle handle, std::uint8_t wordLength,
                                            std::uint8_t stopBits, std::uint8_t parity) {
    return call(entries_->setDataCharacteristics, toD2xx(handle), UCHAR{wordLength},
                UCHAR{stopBits}, UCHAR{parity});
}

FtStatus D2xxDriver::setBaudRate(FtHandle handle, std::uint32_t baud) {
    return call(entries_->setBaudRate, toD2xx(handle), ULONG{baud});
}

FtStatus D2xxDriver::setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    return call(entries_->setTimeouts, toD2xx(handle), ULONG{readMs}, ULONG{writeMs});
}

FtStatus D2xxDriver::write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                           std::uint32_t& written) {
    DWORD accepted = 0;
    // The library only reads from the buffer it is given.
    const FtStatus status =
        call(entries_->write, toD2xx(handle), const_cast<void*>(static_cast<const void*>(data)),
             DWORD{count}, &accepted);
    written = accepted;
    return status;
}

FtStatus D2xxDriver::read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                          std::uint32_t& bytesRead) {
    DWORD got = 0;
    const FtStatus status =
        call(entries_->read, toD2xx(handle), static_cast<void*>(data), DWORD{count}, &got);
    bytesRead = got;
    return status;
}

FtStatus D2xxDriver::getQueueStatus(FtHandle handle, std::uint32_t& rxBytes) {
    DWORD waiting = 0;
    const FtStatus status = call(entries_->getQueueStatus, toD2xx(handle), &waiting);
    if (status == FT_OK) rxBytes = waiting;
    return status;
}

FtStatus D2xxDriver::purge(FtHandle handle, std::uint32_t mask) {
    return call(entries_->purge, toD2xx(handle), ULONG{mask});
}

void D2xxDriver::startArrivalNotification(FtHandle handle) {
    // The same value as a handle lost earlier: that one's registration went with it.
    if (const auto old = events_.find(handle); old != events_.end()) {
        retired_.push_back(std::move(old->second));
        events_.erase(old);
    }
    if (!entries_->setEventNotification) return;
    auto event = std::make_unique<D2xxReceiveEvent>();
    if (entries_->setEventNotification(toD2xx(handle), FT_EVENT_RXCHAR,
                                       event->notificationParameter()) == FT_OK)
        events_[handle] = std::move(event);
}

void D2xxDriver::stopArrivalNotification(FtHandle handle) {
    const auto it = events_.find(handle);
    if (it == events_.end()) return;
    entries_->setEventNotification(toD2xx(handle), kNoEvents, it->second->notificationParameter());
    events_.erase(it);
}

bool D2xxDriver::notifiesArrivals(FtHandle handle) const {
    return events_.count(handle) != 0;
}

FtStatus D2xxDriver::waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                                     Clock& clock, std::uint32_t& rxBytes) {
    const auto it = events_.find(handle);
    // The library's signals come in real time; a manual clock only moves by the looks.
    if (it == events_.end() || !clock.runsInRealTime())
        return FtdiDriver::waitForReceived(handle, count, deadlineNs, clock, rxBytes);
    // A signal may come before the wait, or stand for several arrivals: the queue decides.
    D2xxReceiveEvent::Lock lock(*it->second);
    for (;;) {
        const FtStatus status = getQueueStatus(handle, rxBytes);
        if (status != FT_OK || rxBytes >= count) return status;
        const std::int64_t untilDeadlineNs = deadlineNs - clock.nowNs();
        if (untilDeadlineNs <= 0) return FT_OK;
        lock.waitFor(untilDeadlineNs);
    }
}

}  // namespace qe
