#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "adapter_link.h"

namespace qe::test {

// Puts an adapter link into the state a test starts from, without the exchanges that would
// lead there.
struct AdapterLinkAccess {
    static void setAdapterHandle(AdapterLink& link, FtHandle handle) {
        link.AdapterHandle = handle;
    }
    static void setChipAddressList(AdapterLink& link, std::vector<std::uint8_t> addresses) {
        link.ChipAddressList = std::move(addresses);
    }
};

}  // namespace qe::test
