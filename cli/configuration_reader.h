#pragma once

#include <string>

#include "configuration_view.h"

namespace qe::cli {

// A configuration file read for looking at: opened for reading only, decoded by the .qcf
// format. `error` is the text the tool shows for the file fault ("File access denied",
// "Read beyond end of file", ...).
struct ConfigurationFileContent {
    ConfigurationWords words;  // the words the file holds; a short file lacks the last ones
    std::string error;
    bool ok() const { return error.empty(); }
};

ConfigurationFileContent readConfigurationFile(const std::string& path);

}  // namespace qe::cli
