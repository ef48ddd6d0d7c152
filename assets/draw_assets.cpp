// Draws the main window's images (logo, settings toggle states, PROG/READ/SAVE/LOAD glyphs)
// and writes them as PNG files; given a second folder, also the analogue panel's dials
// (JPEG) and needle (BMP); given a third, the application icon (SVG and a 256 px PNG) for
// the desktop's menu. Run it again after changing a drawing:
//   draw_assets <image folder> [<panel image folder> [<icon folder>]]

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRadialGradient>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QSvgGenerator>
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
    front << QPointF(1.5, 13.5) << QPointF(4.0, 7.5) << QPointF(15.0, 7.5) << QPointF(13.0, 13.5);
    p.setBrush(kOrange);
    p.drawPolygon(front);
}

// --- analogue panel: the two dials and the needle --------------------------------------------
//
// The dials are square; the panel writes the scale labels itself on a circle of 0.75 of the
// half side, so the face stays light and free of text out to well beyond that circle. Angles
// are in degrees clockwise from twelve o'clock, as on the panel.

const QColor kDialSurround(58, 63, 71);
const QColor kFaceCentre(252, 252, 249);
const QColor kFaceEdge(232, 233, 228);
const QColor kTickInk(52, 56, 64);
const QColor kUpperRange(226, 64, 28);

constexpr qreal kFaceRadius = 0.975;  // of the half side
constexpr qreal kTickOuter = 0.96;    // the ring the ticks hang from
constexpr qreal kMajorTick = 0.085;
constexpr qreal kMediumTick = 0.055;
constexpr qreal kMinorTick = 0.03;

// The tacho labels are wider ("1792 Hz") and, written from a corner left of their place,
// reach out to 0.91 of the half side on the right. The tacho ticks stay outside that, and
// its range band runs outside the ticks, along the face's rim.
constexpr qreal kTachoMajorTick = 0.03;
constexpr qreal kTachoMinorTick = 0.016;
constexpr qreal kTachoBandInner = kTickOuter + 0.002;
constexpr qreal kTachoBandOuter = kFaceRadius - 0.003;

QPointF onDial(QPointF centre, qreal radius, qreal degrees) {
    const qreal a = degrees * std::numbers::pi / 180.0;
    return centre + QPointF(std::sin(a), -std::cos(a)) * radius;
}

// Qt's arcs run counter-clockwise from three o'clock, in sixteenths of a degree.
int qtArcAngle(qreal degreesFromTop) {
    return static_cast<int>(std::lround((90.0 - degreesFromTop) * 16.0));
}

void drawTick(QPainter& p, QPointF centre, qreal half, qreal degrees, qreal length, qreal width,
              const QColor& colour) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(onDial(centre, half * kTickOuter, degrees),
               onDial(centre, half * (kTickOuter - length), degrees));
}

// Dark surround, a brushed bezel and a light face with a faint shading towards the rim.
void drawDialFace(QPainter& p, QSize size) {
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal half = size.width() / 2.0;
    p.fillRect(QRect(QPoint(0, 0), size), kDialSurround);

    QLinearGradient bezel(0, 0, size.width(), size.height());
    bezel.setColorAt(0.0, QColor(236, 238, 241));
    bezel.setColorAt(0.5, QColor(160, 166, 174));
    bezel.setColorAt(1.0, QColor(96, 102, 112));
    p.setPen(Qt::NoPen);
    p.setBrush(bezel);
    p.drawEllipse(centre, half * 0.995, half * 0.995);

    QRadialGradient face(centre, half * kFaceRadius);
    face.setColorAt(0.0, kFaceCentre);
    face.setColorAt(0.85, kFaceCentre);
    face.setColorAt(1.0, kFaceEdge);
    p.setBrush(face);
    p.setPen(QPen(QColor(120, 126, 134), 1.5));
    p.drawEllipse(centre, half * kFaceRadius, half * kFaceRadius);
}

void drawCaption(QPainter& p, QRectF box, const QString& text, int pixelSize,
                 const QColor& colour) {
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(pixelSize);
    font.setLetterSpacing(QFont::PercentageSpacing, 112);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

// The zero zone of the position dial: 0.397 < u < 0.602, 0.681 < v < 0.733 of the side.
// The button sits just inside it, so all of it answers a click.
void drawZeroButton(QPainter& p, QSize size) {
    const qreal side = size.width();
    const QRectF zone(0.397 * side, 0.681 * side, (0.602 - 0.397) * side, (0.733 - 0.681) * side);
    const QRectF button = zone.adjusted(3, 2, -3, -2);
    QLinearGradient fill(button.topLeft(), button.bottomLeft());
    fill.setColorAt(0.0, QColor(255, 252, 247));
    fill.setColorAt(1.0, QColor(246, 226, 200));
    p.setBrush(fill);
    p.setPen(QPen(kOrange, 2.0));
    p.drawRoundedRect(button, button.height() / 2, button.height() / 2);
    drawCaption(p, button, QStringLiteral("ZERO"), static_cast<int>(side * 0.028), kTickInk);
}

void drawPositionDial(QPainter& p, QSize size) {
    drawDialFace(p, size);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal half = size.width() / 2.0;
    p.setPen(QPen(kTickInk, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, half * kTickOuter, half * kTickOuter);
    for (int degrees = 0; degrees < 360; degrees += 5) {
        if (degrees % 45 == 0)
            drawTick(p, centre, half, degrees, kMajorTick, 4.0, degrees == 0 ? kOrange : kTickInk);
        else if (degrees % 15 == 0)
            drawTick(p, centre, half, degrees, kMediumTick, 2.0, kTickInk);
        else
            drawTick(p, centre, half, degrees, kMinorTick, 1.2, kTickInk);
    }
    drawZeroButton(p, size);
}

void drawTachoDial(QPainter& p, QSize size) {
    drawDialFace(p, size);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal half = size.width() / 2.0;

    // The scale's band along the rim: grey over the working range, red over its last quarter.
    const qreal bandRadius = half * (kTachoBandInner + kTachoBandOuter) / 2;
    const QRectF band(centre.x() - bandRadius, centre.y() - bandRadius, 2 * bandRadius,
                      2 * bandRadius);
    QPen bandPen(QColor(196, 200, 206), half * (kTachoBandOuter - kTachoBandInner));
    bandPen.setCapStyle(Qt::FlatCap);
    p.setPen(bandPen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(band, qtArcAngle(-120), -180 * 16);
    bandPen.setColor(kUpperRange);
    p.setPen(bandPen);
    p.drawArc(band, qtArcAngle(60), -60 * 16);

    // The base line the ticks hang from, over the scale's sweep only.
    const qreal baseRadius = half * kTickOuter;
    p.setPen(QPen(kTickInk, 1.5));
    p.drawArc(
        QRectF(centre.x() - baseRadius, centre.y() - baseRadius, 2 * baseRadius, 2 * baseRadius),
        qtArcAngle(-120), -240 * 16);

    for (int step = 0; step <= 40; ++step) {
        const qreal degrees = -120.0 + step * 6.0;
        if (step % 5 == 0)
            drawTick(p, centre, half, degrees, kTachoMajorTick, 4.0,
                     step == 40 ? kUpperRange : kTickInk);
        else
            drawTick(p, centre, half, degrees, kTachoMinorTick, 1.5, kTickInk);
    }
    drawCaption(p,
                QRectF(centre.x() - half * 0.3, centre.y() + half * 0.42, half * 0.6, half * 0.1),
                QStringLiteral("TACHO"), static_cast<int>(half * 0.05), QColor(130, 136, 144));
}

// The needle points right from the image's centre, on pure white that the panel makes
// transparent; nothing of the needle itself may be pure white.
void drawNeedle(QPainter& p, QSize size) {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const QPointF pivot((size.width() - 1) / 2.0, (size.height() - 1) / 2.0);
    const qreal length = pivot.x() - 12.0;

    QPolygonF pointer;
    pointer << pivot + QPointF(0, -6.5) << pivot + QPointF(length, -1.2)
            << pivot + QPointF(length + 4, 0) << pivot + QPointF(length, 1.2)
            << pivot + QPointF(0, 6.5) << pivot + QPointF(-length * 0.22, 4.5)
            << pivot + QPointF(-length * 0.22, -4.5);
    p.setPen(QPen(QColor(150, 36, 14), 1.0));
    p.setBrush(kUpperRange);
    p.drawPolygon(pointer);

    // A counterweight on the tail and the hub over the pivot.
    p.setBrush(QColor(60, 64, 72));
    p.setPen(Qt::NoPen);
    p.drawEllipse(pivot + QPointF(-length * 0.22, 0), 9.0, 9.0);
    p.setBrush(QColor(44, 48, 56));
    p.setPen(QPen(kOrange, 2.5));
    p.drawEllipse(pivot, 15.0, 15.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(214, 218, 224));
    p.drawEllipse(pivot, 4.5, 4.5);
}

struct PanelImage {
    const char* fileName;
    const char* format;
    QSize size;
    std::function<void(QPainter&, QSize)> draw;
};

bool writePanelImages(const QDir& out, QTextStream& err) {
    const QSize dialSize(640, 640);
    const PanelImage images[] = {
        {"bckg_pos.jpg", "JPG", dialSize, drawPositionDial},
        {"bckg_tah.jpg", "JPG", dialSize, drawTachoDial},
        {"kaz.bmp", "BMP", QSize(600, 40), drawNeedle},
    };
    for (const PanelImage& image : images) {
        QImage picture(image.size, QImage::Format_RGB32);
        {
            QPainter painter(&picture);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            image.draw(painter, image.size);
        }
        const QString path = out.filePath(QString::fromLatin1(image.fileName));
        if (!picture.save(path, image.format, 92)) {
            err << "cannot write " << path << "\n";
            return false;
        }
    }
    return true;
}

// --- application icon: the logo's dial, large, on its own bezel ------------------------------

const char* const kIconName = "org.example.qe7204_tool";
constexpr int kIconSide = 256;

void drawAppIcon(QPainter& p, QSize size) {
    const qreal half = size.width() / 2.0;
    const QPointF centre(half, half);

    QLinearGradient bezel(0, 0, size.width(), size.height());
    bezel.setColorAt(0.0, QColor(236, 238, 241));
    bezel.setColorAt(0.5, QColor(160, 166, 174));
    bezel.setColorAt(1.0, QColor(96, 102, 112));
    p.setPen(Qt::NoPen);
    p.setBrush(bezel);
    p.drawEllipse(centre, half * 0.94, half * 0.94);

    QRadialGradient face(centre, half * 0.83);
    face.setColorAt(0.0, kFaceCentre);
    face.setColorAt(0.8, kFaceCentre);
    face.setColorAt(1.0, kFaceEdge);
    p.setBrush(face);
    p.setPen(QPen(QColor(120, 126, 134), half * 0.015));
    p.drawEllipse(centre, half * 0.83, half * 0.83);

    // The track, its first third covered in orange, as in the logo.
    const qreal track = half * 0.62;
    const QRectF ring(centre.x() - track, centre.y() - track, 2 * track, 2 * track);
    QPen trackPen(kGrey, half * 0.11);
    trackPen.setCapStyle(Qt::FlatCap);
    p.setPen(trackPen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(ring);
    trackPen.setColor(kOrange);
    p.setPen(trackPen);
    p.drawArc(ring, qtArcAngle(0), -120 * 16);

    // Twelve ticks just inside the face's rim, the quarters longer.
    for (int degrees = 0; degrees < 360; degrees += 30) {
        const bool quarter = degrees % 90 == 0;
        QPen tick(kInk, half * (quarter ? 0.035 : 0.022));
        tick.setCapStyle(Qt::FlatCap);
        p.setPen(tick);
        p.drawLine(onDial(centre, half * 0.8, degrees),
                   onDial(centre, half * (quarter ? 0.7 : 0.74), degrees));
    }

    p.setPen(linePen(kInk, half * 0.075));
    p.drawLine(onDial(centre, half * 0.14, 300.0), onDial(centre, half * 0.66, 120.0));
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawEllipse(centre, half * 0.12, half * 0.12);
    p.setBrush(kInk);
    p.drawEllipse(centre, half * 0.045, half * 0.045);
}

bool writeAppIcon(const QDir& out, QTextStream& err) {
    const QSize size(kIconSide, kIconSide);
    const QString svgPath = out.filePath(QString::fromLatin1(kIconName) + ".svg");
    {
        QSvgGenerator svg;
        svg.setFileName(svgPath);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("QE7204 interface"));
        QPainter painter;
        if (!painter.begin(&svg)) {
            err << "cannot write " << svgPath << "\n";
            return false;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        drawAppIcon(painter, size);
    }

    QImage png(size, QImage::Format_ARGB32_Premultiplied);
    png.fill(Qt::transparent);
    {
        QPainter painter(&png);
        painter.setRenderHint(QPainter::Antialiasing);
        drawAppIcon(painter, size);
    }
    const QString pngPath = out.filePath(QString::fromLatin1(kIconName) + ".png");
    if (!png.convertToFormat(QImage::Format_ARGB32).save(pngPath, "PNG")) {
        err << "cannot write " << pngPath << "\n";
        return false;
    }
    return true;
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
    if (argc < 2 || argc > 4) {
        err << "usage: draw_assets <image folder> [<panel image folder> [<icon folder>]]\n";
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
    if (argc >= 3) {
        const QDir panelOut(QString::fromLocal8Bit(argv[2]));
        if (!QDir().mkpath(panelOut.path()) || !writePanelImages(panelOut, err)) return 1;
    }
    if (argc == 4) {
        const QDir iconOut(QString::fromLocal8Bit(argv[3]));
        if (!QDir().mkpath(iconOut.path()) || !writeAppIcon(iconOut, err)) return 1;
    }
    return 0;
}
