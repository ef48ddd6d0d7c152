#include "adapter_identity.h"

#include <QString>

#include "adapter_commands.h"

namespace qe {

bool describesAdapter(const DeviceInfoNode& node) {
    return QString::fromUtf8(node.description())
        .contains(QLatin1String(kAdapterDescription), Qt::CaseInsensitive);
}

}  // namespace qe
