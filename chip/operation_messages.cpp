#include "operation_messages.h"

namespace qe::chip {

void OperationMessages::driverCallFailed(const std::string& call, std::uint32_t status) {
    // Some labels carry the space that parts them from the status text in the box.
    const std::size_t end = call.find_last_not_of(' ');
    driverFault_ = DriverFault{call.substr(0, end == std::string::npos ? 0 : end + 1), status};
    boxes_.driverCallFailed(call, status);
}

Result OperationMessages::explain(Result result) const {
    if (result.ok()) return result;
    if (result.reason.empty()) result.reason = lastText_;
    if (!result.driverFault) result.driverFault = driverFault_;
    return result;
}

}  // namespace qe::chip
