#pragma once

#include "adapter_link.h"
#include "ftdi_driver.h"

namespace qe {

// Whether an FTDI device is a QE7204 adapter: its description holds "QE7204 interface" in
// any letter case.
bool describesAdapter(const DeviceInfoNode& node);

// The serial line every adapter is opened with.
inline constexpr LineSettings kAdapterLineSettings{250'000, 8, 2, 0};

}  // namespace qe
