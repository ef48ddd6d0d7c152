#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "configuration_view.h"

namespace qe::cli {

// A configuration file named on the command line, read for use: opened for reading only,
// decoded by the .qcf format. It must hold the eight words whole (exactly 16 bytes): a
// golden file that is short or long is refused before anything reaches the chip, where the
// window's LOAD keeps the chip's words for the missing ones. `error` is the text the tool
// shows ("File access denied", "4 bytes, not 16 bytes: ...").
struct ConfigurationFileContent {
    ConfigurationWords words;         // all eight when ok()
    std::vector<std::uint8_t> bytes;  // the file's 16 bytes when ok(), as read
    std::string error;
    bool ok() const { return error.empty(); }
};

ConfigurationFileContent readConfigurationFile(const std::string& path);

}  // namespace qe::cli
