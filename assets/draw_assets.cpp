// Draws the main window's images (logo, settings toggle states, PROG/READ/SAVE/LOAD glyphs)
// and writes them as PNG files. Run it again after changing a drawing:
//   draw_assets <output folder>

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <numbers>

#include "image_paths.h"

namespace {

const QColor kOrange(247, 147, 30);
const QColor kGrey(204, 204, 204);
const QColor kInk(77, 77, 77);
const QColor kDisabledInk(190, 190, 190);
const QColor kPressedFace(224, 224, 224);

QPen linePen(const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// --- logo: a small dial and the wordmark on white --------------------------------------------

void drawDial(QPainter& p, QPointF centre, qreal radius) {
    p.setPen(linePen(kGrey, 3.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius, radius);

    // The part of the turn already covered, in orange, from twelve o'clock clockwise.
    const QRectF ring(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(linePen(kOrange, 3.0));
    p.drawArc(ring, 90 * 16, -120 * 16);

    // Quarter ticks inside the ring.
    p.setPen(linePen(kInk, 1.2));
    for (int quarter = 0; quarter < 4; ++quarter) {
        const qreal a = quarter * std::numbers::pi / 2;
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(centre + dir * (radius - 5.0), centre + dir * (radius - 3.0));
    }

    // Needle at the end of the covered arc.
    const qreal needle = 120.0 * std::numbers::pi / 180.0;
    const QPointF tip = centre + QPointF(std::sin(needle), -std::cos(needle)) * (radius - 3.5);
    p.setPen(linePen(kInk, 2.0));
    p.drawLine(centre, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawEllipse(centre, 2.5, 2.5);
}

void drawLogo(QPainter& p, QSize size) {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    drawDial(p, QPointF(17.5, 18.0), 13.0);

    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(17);
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.3);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const qreal baseline = 24.0;
    qreal x = 37.0;
    p.setPen(kOrange);
    p.drawText(QPointF(x, baseline), "QE");
    x += metrics.horizontalAdvance("QE");
    p.setPen(kInk);
    p.drawText(QPointF(x, baseline), "7204");
    x += metrics.horizontalAdvance("7204");

    // A thin grey rule under the digits ties the wordmark to the window's stripes.
    p.setPen(QPen(kGrey, 1.0));
    p.drawLine(QPointF(37.0, 28.5), QPointF(x, 28.5));
}

// --- settings toggle: a slider glyph and a chevron ----------------------------------------

enum class Chevron { Down, Up };

struct ToggleLook {
    Chevron chevron;
    QColor sliders;
    QColor knobs;
    QColor arrow;
    bool pressedFace;
};

void drawToggle(QPainter& p, QSize size, const ToggleLook& look) {
    if (look.pressedFace) {
        p.setPen(Qt::NoPen);
        p.setBrush(kPressedFace);
        p.drawRoundedRect(QRectF(1, 1, size.width() - 2, size.height() - 2), 4, 4);
    }

    // Three setting sliders, each with its knob at a different place; whole-pixel rows
    // keep the 2 px lines sharp.
    const qreal left = 5.0, right = 20.0;
    const qreal rows[] = {8.0, 14.0, 20.0};
    const qreal knobs[] = {15.0, 9.0, 13.0};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(look.sliders);
        p.drawRect(QRectF(left, rows[i] - 1.0, right - left, 2.0));
        p.setBrush(look.knobs);
        p.drawEllipse(QPointF(knobs[i], rows[i]), 2.5, 2.5);
    }

    // Chevron: down offers to show the settings, up to hide them.
    const qreal cx = 26.0, cy = 14.0, half = 3.5, rise = 2.0;
    const qreal dir = look.chevron == Chevron::Down ? 1.0 : -1.0;
    QPolygonF chevron;
    chevron << QPointF(cx - half, cy - rise * dir) << QPointF(cx, cy + rise * dir)
            << QPointF(cx + half, cy - rise * dir);
    p.setPen(linePen(look.arrow, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(chevron);
}

// --- 16 x 16 button glyphs -----------------------------------------------------------------

// Drawn on whole pixels: at 16 x 16 a half-pixel edge turns into a grey smear.
void drawChip(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (qreal y : {9.0, 11.0, 13.0}) {
        p.drawRect(QRectF(1, y, 3, 1));
        p.drawRect(QRectF(12, y, 3, 1));
    }
    p.drawRect(QRectF(4, 8, 8, 7));
    p.setBrush(kGrey);
    p.drawRect(QRectF(5, 9, 1, 1));
}

// A vertical arrow over the chip; into it for PROG, out of it for READ.
void drawArrow(QPainter& p, bool intoChip) {
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    QPolygonF head;
    if (intoChip) {
        p.drawRect(QRectF(7, 0, 2, 3));
        head << QPointF(4, 3) << QPointF(12, 3) << QPointF(8, 7);
    } else {
        p.drawRect(QRectF(7, 4, 2, 3));
        head << QPointF(4, 4) << QPointF(12, 4) << QPointF(8, 0);
    }
    p.drawPolygon(head);
}

void drawProg(QPainter& p, QSize) {
    drawChip(p);
    drawArrow(p, true);
}

void drawRead(QPainter& p, QSize) {
    drawChip(p);
    drawArrow(p, false);
}

void drawSave(QPainter& p, QSize) {
    QPainterPath body;
    body.moveTo(1.5, 2.5);
    body.lineTo(12.0, 2.5);
    body.lineTo(14.5, 5.0);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    p.setPen(linePen(kInk, 1.0));
    p.setBrush(kInk);
    p.drawPath(body);

    // Shutter at the top, label at the bottom.
    p.setPen(Qt::NoPen);
    p.setBrush(kGrey);
    p.drawRect(QRectF(4, 3, 7, 4));
    p.setBrush(kInk);
    p.drawRect(QRectF(8, 3, 2, 3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 9, 8, 5));
    p.setBrush(kOrange);
    p.drawRect(QRectF(4, 9, 8, 2));
}

void drawLoad(QPainter& p, QSize) {
    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(1.5, 13.5);
    back.lineTo(1.5, 3.5);
    back.lineTo(6.0, 3.5);
    back.lineTo(7.5, 5.0);
    back.lineTo(13.5, 5.0);
    back.lineTo(13.5, 13.5);
    back.closeSubpath();
    p.setPen(linePen(kInk, 1.0));
    p.setBrush(kGrey);
    p.drawPath(back);

    // Open front, tilted, in orange.
    QPolygonF front;
    front << QPointF(1.5, 13.5) << QPointF(4.0, 7.5) << QPointF(15.0, 7.5)
          << QPointF(13.0, 13.5);
    p.setBrush(kOrange);
    p.drawPolygon(front);
}

// --- output -----------------------------------------------------------------------------------

struct Asset {
    const char* resourcePath;  // the file is written under the same name
    QSize size;
    std::function<void(QPainter&, QSize)> draw;
};

ToggleLook toggleLook(Chevron chevron, bool enabled, bool pressed) {
    if (!enabled) return {chevron, kDisabledInk, kDisabledInk, kDisabledInk, false};
    return {chevron, kInk, kOrange, chevron == Chevron::Up ? kOrange : kInk, pressed};
}

std::function<void(QPainter&, QSize)> toggle(ToggleLook look) {
    return [look](QPainter& p, QSize size) { drawToggle(p, size, look); };
}

}  // namespace

int main(int argc, char* argv[]) {
    // Drawing needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: draw_assets <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        err << "cannot create " << out.path() << "\n";
        return 1;
    }

    const QSize toggleSize(32, 28);
    const QSize glyphSize(16, 16);
    const Asset assets[] = {
        {qe::assets::kLogo, QSize(112, 36), drawLogo},
        // Up: settings hidden, so the chevron offers to open them downwards.
        {qe::assets::kToggleUp, toggleSize, toggle(toggleLook(Chevron::Down, true, false))},
        {qe::assets::kToggleDisabled, toggleSize, toggle(toggleLook(Chevron::Down, false, false))},
        // Held: the mouse is pressed on the toggle.
        {qe::assets::kToggleHeld, toggleSize, toggle(toggleLook(Chevron::Up, true, true))},
        // Down: settings shown, the chevron offers to fold them away.
        {qe::assets::kToggleDown, toggleSize, toggle(toggleLook(Chevron::Up, true, false))},
        {qe::assets::kProgGlyph, glyphSize, drawProg},
        {qe::assets::kReadGlyph, glyphSize, drawRead},
        {qe::assets::kSaveGlyph, glyphSize, drawSave},
        {qe::assets::kLoadGlyph, glyphSize, drawLoad},
    };

    for (const Asset& asset : assets) {
        QImage image(asset.size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            asset.draw(painter, asset.size);
        }
        const QString path =
            out.filePath(QFileInfo(QString::fromLatin1(asset.resourcePath)).fileName());
        if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
            err << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
