#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "configuration_comparison.h"
#include "register_image.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace qe::ui {

// "What PROG would change": the EEPROM words 0..3 as last read against the working registers
// 48..51 that PROG would store, field by field with the settings panel's texts, differences
// marked. It follows the register mirror (every setting change, PROG, READ and LOAD lands
// there) without talking to the chip; only "Compare" reads the EEPROM words afresh. A .qcf
// file can be compared with the chip's working registers the same way: what LOAD would change.
class ProgComparisonWindow final : public QWidget {
    Q_OBJECT
public:
    // Reads EEPROM words 0..3 into the mirror; false when the chip could not be read.
    using ReadStoredWords = std::function<bool()>;
    // The .qcf file to compare; empty when the user cancels.
    using ChooseFile = std::function<QString()>;

    ProgComparisonWindow(const RegisterImage& mirror, ReadStoredWords readStored,
                         QWidget* parent = nullptr);

    void setFileChooser(ChooseFile choose) { choose_ = std::move(choose); }

    // Shows the comparison again when the mirror's words have changed since it was shown.
    void follow();
    void compareClicked();
    void openFileClicked();
    // Back from a file to what PROG would change.
    void showProg();
    // Compares the file at `path` with the chip; false with the reason shown when unreadable.
    bool compareFile(const QString& path);

    static constexpr int kFollowMs = 250;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Shown {
        std::array<std::uint16_t, 16> words{};  // 0..7 and 48..55 when shown
        bool operator==(const Shown&) const = default;
    };
    Shown mirrorWords() const;
    // The fields and the bits without a field, as the table shows them.
    void showRows(const std::vector<chip::ComparedRow>& rows, const QString& leftTitle,
                  const QString& rightTitle);
    void showSummary(const std::vector<chip::ComparedRow>& rows, const QString& action,
                     const QString& note);
    QString defaultChooser();

    const RegisterImage& mirror_;
    ReadStoredWords readStored_;
    ChooseFile choose_;
    std::optional<Shown> shown_;  // what the PROG comparison last showed; none for a file
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* compare_ = nullptr;
    QPushButton* openFile_ = nullptr;
    QPushButton* backToProg_ = nullptr;
    QTimer* follow_ = nullptr;
};

}  // namespace qe::ui
