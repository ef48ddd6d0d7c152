#pragma once

#include <string>
#include <string_view>

namespace qe {

// "major.minor.release.build" of this program, compiled in from the build.
std::string FileVersionString();
// A dotted version as four decimal fields without leading zeros; missing fields are 0.
std::string FourFieldVersion(std::string_view dotted);

}  // namespace qe
