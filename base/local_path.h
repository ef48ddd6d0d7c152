#pragma once

#include <QString>

#include <filesystem>

namespace qe {

// A file name from Qt (a file dialog, the ini's place) as the system spells it, for the
// std::filesystem and POSIX calls that open it.
std::filesystem::path localPath(const QString& path);

}  // namespace qe
