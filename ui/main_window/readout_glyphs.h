#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QRect>
#include <QStringView>
#include <array>
#include <optional>

namespace qe::ui {

// A readout's text (digits, a point, signs, a slash, a space, the degree sign, "Hz", "RPM",
// "%") measured and laid out without shaping it: its characters' glyphs and advances and the
// font's kerning of each two that follow one another, learned once per font, add up as
// shaping adds them. Shaping a new text is the dear part of showing a readout, and a turning
// magnet shows a new one every time.
class ReadoutGlyphs {
public:
    explicit ReadoutGlyphs(const QFont& font) : font_(font) {}

    // As QFontMetrics::horizontalAdvance gives it; none when the text has another character.
    std::optional<int> width(QStringView text);
    // The glyphs QPainter::drawText(rect, alignment, text) draws for a line at the top of
    // the rectangle, where it draws them; none when the text has another character, is
    // wider than the rectangle, or the font draws these from more than one face.
    std::optional<QGlyphRun> glyphRun(QStringView text, const QRect& rect, Qt::Alignment alignment);

private:
    static constexpr QStringView kCharacters = u"0123456789.-+ /\u00B0HzRPM%";
    static constexpr qsizetype kCount = kCharacters.size();

    void learn();
    // The text's characters' places in kCharacters; false when one is not there.
    bool indexesOf(QStringView text);
    // The advance of the text whose indexes were just found, kerning included, in pixels.
    qreal advanceOfIndexes();
    // What the font moves the second of two characters by; each pair is learned when first
    // met, so a font's first text costs a few shapings rather than all of them.
    qreal kerning(qsizetype first, qsizetype second);

    QFont font_;
    bool learned_ = false;  // learned on the first text, not at start-up
    std::array<qreal, kCount> advances_{};
    std::array<std::array<std::optional<qreal>, kCount>, kCount> kerning_{};  // [first][second]
    // For drawing; unset when a character's glyph comes from another face than the digits'.
    std::optional<QRawFont> face_;
    std::array<quint32, kCount> glyphs_{};
    qreal ascent_ = 0;
    QList<qsizetype> indexes_;  // of the text at hand; kept, so that it keeps its room
};

}  // namespace qe::ui
