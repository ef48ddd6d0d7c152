#pragma once

#include <QFont>
#include <QStringView>
#include <array>
#include <optional>

namespace qe::ui {

// The width of a readout's text (digits, a point, a sign, a slash, a space, the degree sign)
// without shaping it: its characters' advances and the font's kerning of each two that
// follow one another, as shaping adds them up. Shaping a new text is the dear part of
// showing a readout, and a turning magnet shows a new one every time.
class ReadoutTextWidth {
public:
    explicit ReadoutTextWidth(const QFont& font) : font_(font) {}

    // As QFontMetrics::horizontalAdvance gives it; none when the text has another character.
    std::optional<int> width(QStringView text);

private:
    static constexpr QStringView kCharacters = u"0123456789.-+ /\u00B0";
    static constexpr qsizetype kCount = kCharacters.size();

    void learn();

    QFont font_;
    bool learned_ = false;  // learned on the first text, not at start-up
    std::array<qreal, kCount> advances_{};
    std::array<std::array<qreal, kCount>, kCount> kerning_{};  // [first][second]
};

}  // namespace qe::ui
