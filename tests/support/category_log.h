#pragma once

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

#include <string>
#include <string_view>
#include <vector>

namespace qe::test {

// The debug messages of one log category while this lives, switched on for the time.
class CategoryLog {
public:
    explicit CategoryLog(std::string category) {
        category_() = std::move(category);
        lines_().clear();
        QLoggingCategory::setFilterRules(QString::fromStdString(category_() + ".debug=true"));
        previous_ = qInstallMessageHandler(&CategoryLog::keep);
    }
    ~CategoryLog() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString::fromStdString(category_() + ".debug=false"));
    }
    CategoryLog(const CategoryLog&) = delete;
    CategoryLog& operator=(const CategoryLog&) = delete;

    const std::vector<std::string>& lines() const { return lines_(); }

private:
    static void keep(QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (context.category && std::string_view(context.category) == category_())
            lines_().push_back(text.toStdString());
    }
    static std::string& category_() {
        static std::string name;
        return name;
    }
    static std::vector<std::string>& lines_() {
        static std::vector<std::string> lines;
        return lines;
    }
    QtMessageHandler previous_ = nullptr;
};

}  // namespace qe::test
