#include "prog_comparison_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>
#include <vector>

#include "configuration_file.h"
#include "local_path.h"

namespace qe::ui {

namespace {

const QColor kDifferenceBackground(255, 226, 140);
constexpr int kStoredWords = 8;  // EEPROM words 0..7, compared with 48..55 after PROG

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString shown(const std::optional<chip::FieldValue>& value) {
    return value ? text(value->text) : QStringLiteral("-");
}

int differenceCount(const std::vector<chip::ComparedRow>& rows) {
    int count = 0;
    for (const chip::ComparedRow& row : rows) count += row.differs ? 1 : 0;
    return count;
}

// The table's rows: every field, then the bits without a field that differ.
std::vector<chip::ComparedRow> tableRows(const chip::ConfigurationComparison& comparison) {
    std::vector<chip::ComparedRow> rows = comparison.fields;
    rows.insert(rows.end(), comparison.bitsWithoutAField.begin(),
                comparison.bitsWithoutAField.end());
    return rows;
}

// Whether words 52..55, which hold no field, agree.
bool lastWordsAgree(const chip::ConfigurationComparison& comparison) {
    for (std::size_t i = 4; i < comparison.words.size(); ++i)
        if (comparison.words[i].differs) return false;
    return true;
}

}  // namespace

ProgComparisonWindow::ProgComparisonWindow(const RegisterImage& mirror, ReadStoredWords readStored,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), mirror_(mirror), readStored_(std::move(readStored)) {
    setObjectName(QStringLiteral("ProgComparison"));
    setWindowTitle(QStringLiteral("What PROG would change"));
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("ComparisonSummary"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("ComparisonTable"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    compare_ = new QPushButton(QStringLiteral("Compare"), this);
    compare_->setObjectName(QStringLiteral("BtnCompare"));
    compare_->setToolTip(QStringLiteral("Reads EEPROM words 0 to 3 from the chip again."));
    openFile_ = new QPushButton(QStringLiteral("Compare a .qcf file\u2026"), this);
    openFile_->setObjectName(QStringLiteral("BtnCompareFile"));
    openFile_->setToolTip(
        QStringLiteral("Shows what LOAD would change in the chip; nothing is written."));
    backToProg_ = new QPushButton(QStringLiteral("Back to PROG"), this);
    backToProg_->setObjectName(QStringLiteral("BtnBackToProg"));
    buttons->addWidget(compare_);
    buttons->addWidget(openFile_);
    buttons->addWidget(backToProg_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    resize(560, 640);

    connect(compare_, &QPushButton::clicked, this, &ProgComparisonWindow::compareClicked);
    connect(openFile_, &QPushButton::clicked, this, &ProgComparisonWindow::openFileClicked);
    connect(backToProg_, &QPushButton::clicked, this, &ProgComparisonWindow::showProg);
    follow_ = new QTimer(this);
    follow_->setInterval(kFollowMs);
    connect(follow_, &QTimer::timeout, this, &ProgComparisonWindow::follow);
    showProg();
}

void ProgComparisonWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    follow();
    follow_->start();
}

void ProgComparisonWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    follow_->stop();
}

ProgComparisonWindow::Shown ProgComparisonWindow::mirrorWords() const {
    Shown words;
    for (int i = 0; i < kStoredWords; ++i) {
        words.words[static_cast<std::size_t>(i)] = mirror_[static_cast<std::size_t>(i)];
        words.words[static_cast<std::size_t>(kStoredWords + i)] =
            mirror_[kFirstWorkingWord + static_cast<std::size_t>(i)];
    }
    return words;
}

void ProgComparisonWindow::follow() {
    if (shown_ && *shown_ != mirrorWords()) showProg();
}

void ProgComparisonWindow::showProg() {
    shown_ = mirrorWords();
    backToProg_->hide();
    compare_->setEnabled(true);
    const auto comparison =
        chip::compareConfigurations(chip::eepromWords(mirror_), chip::workingWords(mirror_));
    const auto rows = tableRows(comparison);
    showRows(rows, QStringLiteral("EEPROM now (words 0\u20133)"),
             QStringLiteral("After PROG (words 48\u201351)"));
    // PROG compares all eight words after writing four.
    const bool restAgrees = lastWordsAgree(comparison);
    showSummary(rows, QStringLiteral("PROG"),
                restAgrees ? QString()
                           : QStringLiteral("Working words 52 to 55 differ from EEPROM words 4 "
                                            "to 7, which PROG does not write: it would end with "
                                            "\"The data was not correctly written to the "
                                            "EEPROM\"."));
}

void ProgComparisonWindow::compareClicked() {
    if (readStored_ && readStored_()) {
        showProg();
        return;
    }
    showProg();
    summary_->setText(QStringLiteral("The reading was unsuccessful.") + QLatin1Char('\n') +
                      summary_->text());
}

void ProgComparisonWindow::openFileClicked() {
    const QString path = choose_ ? choose_() : defaultChooser();
    if (!path.isEmpty()) compareFile(path);
}

QString ProgComparisonWindow::defaultChooser() {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Compare a configuration file"),
                                        QString(),
                                        QStringLiteral("QE7204 configuration file (*.qcf)"));
}

bool ProgComparisonWindow::compareFile(const QString& path) {
    // A FIFO or a device is refused at once: waiting on one would freeze the window.
    std::vector<std::uint8_t> bytes;
    if (!chip::readConfigurationBytes(localPath(path), bytes)) {
        summary_->setText(path + QStringLiteral(" cannot be read."));
        return false;
    }
    RegisterImage loaded = mirror_;  // words a short file lacks keep the mirror's values
    const chip::DecodedConfiguration decoded = chip::decodeConfiguration(bytes, loaded);

    shown_.reset();
    backToProg_->show();
    compare_->setEnabled(false);
    const auto comparison =
        chip::compareConfigurations(chip::workingWords(mirror_), chip::workingWords(loaded));
    const auto rows = tableRows(comparison);
    showRows(rows, QStringLiteral("Chip now (words 48\u201351)"),
             QStringLiteral("File ") + QFileInfo(path).fileName());
    QString note;
    if (decoded.readBeyondEnd)
        note = QStringLiteral(
            "The file ends in the middle of a word: LOAD would stop with "
            "\"Read beyond end of file\" and write nothing to the chip.");
    else if (!lastWordsAgree(comparison))
        note = QStringLiteral("Its words 52 to 55 differ from the chip's as well.");
    showSummary(rows, QStringLiteral("LOAD"), note);
    return true;
}

void ProgComparisonWindow::showRows(const std::vector<chip::ComparedRow>& rows,
                                    const QString& leftTitle, const QString& rightTitle) {
    table_->setHorizontalHeaderLabels({QStringLiteral("Field"), leftTitle, rightTitle});
    table_->setRowCount(static_cast<int>(rows.size()));
    int r = 0;
    for (const chip::ComparedRow& row : rows) {
        const std::array<QString, 3> cells{text(row.name), shown(row.left), shown(row.right)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[static_cast<std::size_t>(column)]);
            if (row.differs) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
                item->setBackground(kDifferenceBackground);
            }
            table_->setItem(r, column, item);
        }
        ++r;
    }
    table_->resizeColumnsToContents();
}

void ProgComparisonWindow::showSummary(const std::vector<chip::ComparedRow>& rows,
                                       const QString& action, const QString& note) {
    const int changes = differenceCount(rows);
    QString summary =
        changes == 0 ? action + QStringLiteral(" would change nothing.")
        : changes == 1
            ? action + QStringLiteral(" would change 1 setting (marked).")
            : action + QStringLiteral(" would change %1 settings (marked).").arg(changes);
    if (!note.isEmpty()) summary += QLatin1Char('\n') + note;
    summary_->setText(summary);
}

}  // namespace qe::ui
