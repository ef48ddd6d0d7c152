#include "local_path.h"

#include <QFile>

namespace qe {

std::filesystem::path localPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

}  // namespace qe
