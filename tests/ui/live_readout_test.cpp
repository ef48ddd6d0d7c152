// The live readout: texts, colours and sizes of the readout labels, the display modes, the
// needles and the screen-saver wake-up, over a scripted adapter.
#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <map>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "readout_glyphs.h"
#include "right_anchored_label.h"

namespace qe::ui::test {
namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

std::vector<std::uint8_t> outputBytes(const std::array<std::uint16_t, 4>& words) {
    std::vector<std::uint8_t> bytes;
    for (auto word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return bytes;
}

class LiveReadoutTest : public MainWindowTest {
protected:
    void SetUp() override { startScripted(); }

    // One "Refresh " click answered with these output words (32..35).
    void refreshWith(const std::array<std::uint16_t, 4>& words) {
        scripted->replyToNextWrite(outputBytes(words));
        window->RefreshReadout();
    }
    void refreshWithCounts(std::uint16_t relPos) { refreshWith({relPos, 0, 0, 0}); }
    QString text(const char* label) { return find<QLabel>(label)->text(); }
    QColor colour(const char* label) {
        return find<QLabel>(label)->palette().color(QPalette::WindowText);
    }
    void chooseDegrees(bool degrees) {
        find<QRadioButton>(degrees ? "Rbdegrees" : "RbNumber")->setChecked(true);
    }
};

struct ReadoutCase {
    const char* name;
    std::array<std::uint16_t, 4> words;
    chip::DerivedValues derived;
    bool degrees;
    // LblPosRel, LabelPOSInc, LabelPOSdeg, LblPosAbs, LblMagnetSt, LblTaho, LblAGCgain
    std::array<const char*, 7> texts;
    // red: LblPosRel, LblPosAbs, LblMagnetSt, LblTaho
    std::array<bool, 4> red;
};

constexpr chip::DerivedValues kFullResolution{4096, 12, 2048.0};

void PrintTo(const ReadoutCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadoutTableTest : public LiveReadoutTest,
                         public ::testing::WithParamInterface<ReadoutCase> {};

TEST_P(ReadoutTableTest, ShowsTheQuantitiesInTheirTextsAndColours) {
    const ReadoutCase& c = GetParam();
    derived() = c.derived;
    setChipAddress(21);
    chooseDegrees(c.degrees);

    refreshWith(c.words);

    EXPECT_EQ(scripted->frames(), (std::vector<std::vector<std::uint8_t>>{{86, 42}}));
    const char* labels[] = {"LblPosRel",   "LabelPOSInc", "LabelPOSdeg", "LblPosAbs",
                            "LblMagnetSt", "LblTaho",     "LblAGCgain"};
    for (std::size_t i = 0; i < c.texts.size(); ++i)
        EXPECT_EQ(text(labels[i]), QString::fromUtf8(c.texts[i])) << labels[i];
    const char* coloured[] = {"LblPosRel", "LblPosAbs", "LblMagnetSt", "LblTaho"};
    for (std::size_t i = 0; i < c.red.size(); ++i)
        EXPECT_EQ(colour(coloured[i]), c.red[i] ? kRed : kBlue) << coloured[i];
    EXPECT_EQ(colour("LblAGCgain"), kBlue);
}

INSTANTIATE_TEST_SUITE_P(
    Quantities, ReadoutTableTest,
    ::testing::Values(
        ReadoutCase{
            "QuarterTurnInCounts",
            {1024, 1234, 0, 0},
            kFullResolution,
            false,
            {"1024", "1024", "90.00°", "1234", "Magnet in range", "0.00 Hz / 0.0 RPM", "0.0%"},
            {false, false, false, false}},
        ReadoutCase{"QuarterTurnInDegrees",
                    {1024, 1234, 0, 0},
                    kFullResolution,
                    true,
                    {"90.00°", "1024 /4096", "90.00°", "1234", "Magnet in range",
                     "0.00 Hz / 0.0 RPM", "0.0%"},
                    {false, false, false, false}},
        ReadoutCase{"LastCountAtLowestResolution",
                    {4095, 4095, 0, 0},
                    {32, 5, 16.0},
                    true,
                    {"359.91°", "31 /32", "359.91°", "4095", "Magnet in range", "0.00 Hz / 0.0 RPM",
                     "0.0%"},
                    {false, false, false, false}},
        ReadoutCase{"AlarmsAndTopSpeed",
                    {0x8001, 0x8000, 3 << 13, 1023 | 1 << 10 | 15 << 12},
                    kFullResolution,
                    false,
                    {"1", "1", "0.09°", "0", "Error", "2046.00 Hz / 122760.0 RPM", "100.0%"},
                    {true, true, true, true}},
        ReadoutCase{
            "SlowSpeedAndHighGain",
            {1, 7, 0, 1 | 15 << 12},
            {4096, 12, 16.0},
            true,
            {"0.09°", "1 /4096", "0.09°", "7", "Magnet in range", "0.02 Hz / 0.9 RPM", "93.8%"},
            {false, false, false, false}},
        ReadoutCase{"MagnetTooCloseWithLowGain",
                    {0, 0, 1 << 13, 1 << 12},
                    kFullResolution,
                    false,
                    {"0", "0", "0.00°", "0", "Magnet too close", "0.00 Hz / 0.0 RPM", "6.3%"},
                    {false, false, true, false}},
        ReadoutCase{
            "BeforeThePanelWasFilled",
            {1024, 1024, 2 << 13, 512},
            chip::DerivedValues{},
            true,
            {"90.00°", "0 /0", "90.00°", "1024", "Magnet too far", "0.00 Hz / 0.0 RPM", "6.3%"},
            {false, false, true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LiveReadoutTest, PositionLabelsTakeTheirTextsWidthAndKeepTheirRightEdge) {
    derived() = kFullResolution;
    window->show();
    refreshWithCounts(1024);
    // The compact display's labels got their texts while hidden; they fit them when shown,
    // as when the user hides the settings.
    find<QAbstractButton>("SpeedButtonHide")->click();
    ASSERT_TRUE(find("PanelHiddenDisplay")->isVisible());
    const struct {
        const char* label;
        int rightEdge;
    } cases[] = {{"LblPosRel", 132}, {"LabelPOSdeg", 220}, {"LabelPOSInc", 320}};
    for (const auto& c : cases) {
        auto* label = find<QLabel>(c.label);
        EXPECT_EQ(label->x() + label->width(), c.rightEdge) << c.label;
        EXPECT_EQ(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()))
            << c.label;
    }
}

// The labels measure a readout without shaping it; every text of a turn, in each label's
// font and in the filled position's, must measure as shaping it does.
TEST_F(LiveReadoutTest, ReadoutTextsMeasureAsShapingMeasuresThem) {
    std::vector<QFont> fonts;
    for (const char* label : {"LblPosRel", "LabelPOSdeg", "LabelPOSInc"})
        fonts.push_back(find<QLabel>(label)->font());
    QFont filled = fonts.front();
    filled.setPointSize(28);
    fonts.push_back(filled);

    QStringList texts = {QStringLiteral("-1"), QStringLiteral("+0"), QStringLiteral("12 /16384"),
                         QStringLiteral("12.50 Hz / 750.0 RPM"), QStringLiteral("6.3%")};
    for (int counts = 0; counts < 16384; ++counts) {
        texts << QString::number(counts);
        for (int decimals : {2, 4})
            texts << QString::number(counts * 360.0 / 16384, 'f', decimals) + QChar(0x00B0);
    }
    for (const QFont& font : fonts) {
        ReadoutGlyphs readoutWidth(font);
        const QFontMetrics shaped(font);
        int mismatches = 0;
        for (const QString& text : texts) {
            const std::optional<int> width = readoutWidth.width(text);
            ASSERT_TRUE(width) << "the window's fonts add their advances up: "
                               << font.toString().toStdString();
            if (*width != shaped.horizontalAdvance(text) && ++mismatches < 5)
                ADD_FAILURE() << text.toStdString() << " in " << font.toString().toStdString();
        }
        EXPECT_EQ(mismatches, 0) << font.toString().toStdString();
    }
    // A character it does not know is left to shaping.
    EXPECT_FALSE(ReadoutGlyphs(fonts.front()).width(u"Magnet too far"));
}

// The readout labels draw their texts from learned glyphs; each must look exactly as a
// QLabel set up alike draws it, kerned pairs ("11"), signs and the degree sign included.
TEST_F(LiveReadoutTest, ReadoutLabelsPaintTheirTextsAsAQLabelDoes) {
    QStringList texts = {QStringLiteral("1111"),     QStringLiteral("-11.11\u00B0"),
                         QStringLiteral("0 /16384"), QStringLiteral("12.50 Hz / 750.0 RPM"),
                         QStringLiteral("6.3%"),     QStringLiteral("100.0%"),
                         QStringLiteral("+7"),       QStringLiteral("")};
    for (int counts = 0; counts < 16384; counts += 61) {
        texts << QString::number(counts);
        texts << QString::number(counts * 360.0 / 16384, 'f', 2) + QChar(0x00B0);
        texts << QString::number(counts * 360.0 / 16384, 'f', 4) + QChar(0x00B0);
    }
    QFont filled = find<QLabel>("LblPosRel")->font();
    filled.setPointSize(28);
    // The compact display shown, so that its labels fit their texts as they come.
    window->show();
    find<QAbstractButton>("SpeedButtonHide")->click();
    const struct {
        const char* name;
        std::optional<QFont> font;
    } labels[] = {{"LblPosRel", {}},   {"LblPosRel", filled}, {"LabelPOSdeg", {}},
                  {"LabelPOSInc", {}}, {"LblPosAbs", {}},     {"LblTaho", {}},
                  {"LblAGCgain", {}}};
    for (const auto& [name, font] : labels) {
        auto* label = find<QLabel>(name);
        if (font) label->setFont(*font);
        // Room for every text; a label that takes its text's width is left as it sizes itself.
        auto* anchored = qobject_cast<RightAnchoredLabel*>(label);
        if (!anchored) label->setFixedSize(label->width() + 40, label->height());
        ReadoutGlyphs glyphs(label->font());
        int byGlyphs = 0;
        QLabel twin;
        twin.setFont(label->font());
        QPalette colours = label->palette();  // inherited colours too, not only those set
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
            colours.setColor(role, colours.color(role));
        twin.setPalette(colours);
        twin.setAutoFillBackground(true);
        twin.setTextFormat(Qt::PlainText);
        twin.setAlignment(label->alignment());
        twin.setFixedSize(label->size());
        int differing = 0;
        for (const QString& text : texts) {
            if (anchored) {
                anchored->setAnchoredText(text);
                twin.setFixedSize(label->size());
                twin.setFont(label->font());  // smaller for a text wider than its box
            } else {
                label->setText(text);
            }
            twin.setText(text);
            if (label->font() == twin.font() &&
                glyphs.glyphRun(text, label->rect(), label->alignment()))
                ++byGlyphs;
            if (label->grab().toImage() != twin.grab().toImage() && ++differing <= 3)
                ADD_FAILURE() << name << " draws \"" << text.toStdString() << "\" otherwise";
        }
        EXPECT_EQ(differing, 0) << name;
        EXPECT_GT(byGlyphs, texts.size() * 3 / 4) << name << " draws most texts from glyphs";
    }
}

TEST_F(LiveReadoutTest, AFailedReadBlanksTheTextsButKeepsColoursCompactDisplayAndNeedles) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    derived() = kFullResolution;
    refreshWith({0x8000 | 2048, 100, 0, 0});
    ASSERT_EQ(colour("LblPosRel"), kRed);
    panel.calls.clear();
    screenSaver.running = true;
    window->LastWakePosition = 4000;

    window->RefreshReadout();  // no reply

    for (const char* label : {"LblPosRel", "LblPosAbs", "LblMagnetSt", "LblAGCgain", "LblTaho"})
        EXPECT_EQ(text(label), "...") << label;
    EXPECT_EQ(colour("LblPosRel"), kRed);
    EXPECT_EQ(text("LabelPOSInc"), "2048");
    EXPECT_EQ(text("LabelPOSdeg"), "180.00°");
    EXPECT_TRUE(panel.calls.empty());
    EXPECT_EQ(screenSaver.wakeUps, 0);
    EXPECT_EQ(window->LastWakePosition, 4000);
}

TEST_F(LiveReadoutTest, SwitchingTheDisplayModeReformatsTheLastValuesWithoutAnExchange) {
    derived() = {1024, 10, 2048.0};
    refreshWithCounts(1024);
    scripted->calls.clear();

    chooseDegrees(true);
    EXPECT_EQ(text("LblPosRel"), "90.00°");
    EXPECT_EQ(text("LabelPOSdeg"), "90.00°");
    EXPECT_EQ(text("LabelPOSInc"), "256 /1024");

    chooseDegrees(false);
    EXPECT_EQ(text("LblPosRel"), "256");
    EXPECT_EQ(text("LabelPOSInc"), "256");
    EXPECT_EQ(text("LabelPOSdeg"), "90.00°");
    EXPECT_TRUE(scripted->calls.empty());
}

// Counts the paints each watched widget gets.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(const std::vector<QWidget*>& widgets) {
        for (QWidget* widget : widgets) {
            widget->installEventFilter(this);
            paints[widget->objectName().toStdString()] = 0;
        }
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints[watched->objectName().toStdString()];
        return false;
    }
    std::map<std::string, int> paints;
};

TEST_F(LiveReadoutTest, OnlyTheLabelsWhoseTextChangedArePaintedOnceAfterTheRead) {
    derived() = kFullResolution;
    window->show();
    refreshWith({100, 2000, 0, 0});
    QCoreApplication::processEvents();
    PaintCounter counter({find("LblPosRel"), find("LblPosAbs"), find("LblMagnetSt"),
                          find("LblTaho"), find("LblAGCgain"), find("GbRelativePosition")});

    refreshWith({101, 2000, 0, 0});
    const std::map<std::string, int> duringTheRead = counter.paints;
    QCoreApplication::processEvents();

    EXPECT_EQ(duringTheRead, (std::map<std::string, int>{{"GbRelativePosition", 0},
                                                         {"LblAGCgain", 0},
                                                         {"LblMagnetSt", 0},
                                                         {"LblPosAbs", 0},
                                                         {"LblPosRel", 0},
                                                         {"LblTaho", 0}}));
    // The label fills its own background: the box behind it is not painted again.
    EXPECT_EQ(counter.paints, (std::map<std::string, int>{{"GbRelativePosition", 0},
                                                          {"LblAGCgain", 0},
                                                          {"LblMagnetSt", 0},
                                                          {"LblPosAbs", 0},
                                                          {"LblPosRel", 1},
                                                          {"LblTaho", 0}}));
}

QImage shownOnScreen(QWidget& window) {
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height() + b.width() * b.height();
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) ++differing;
    return differing;
}

// A readout label paints its own background; it must be the very colour of what lies
// behind it, or the window would show boxes around the numbers.
TEST_F(LiveReadoutTest, AReadoutLabelWithoutTextLooksLikeWhatLiesBehindIt) {
    window->show();
    find<QAbstractButton>("SpeedButtonHide")->click();  // the compact display too
    for (const char* name : {"LblPosRel", "LblPosAbs", "LblMagnetSt", "LblTaho", "LblAGCgain",
                             "LabelPOSdeg", "LabelPOSInc"}) {
        auto* label = find<QLabel>(name);
        label->setText(QString());
        const QRect area(label->mapTo(window.get(), QPoint(0, 0)), label->size());
        const QImage withLabel = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        label->hide();
        const QImage behind = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        label->show();
        EXPECT_EQ(differingPixels(withLabel, behind), 0) << name;
    }
}

// Readouts repaint only the labels whose text changed, a shrinking label what it no longer
// covers: what the window shows after many is what painting it afresh gives.
TEST_F(LiveReadoutTest, AfterManyReadoutsTheWindowShowsWhatAFullRedrawShows) {
    derived() = kFullResolution;
    window->show();
    const std::array<std::uint16_t, 4> readouts[] = {
        {4095, 4095, 0, 1023 | 15 << 12},
        {0x8000 | 7, 12, 3 << 13, 5},
        {1024, 2000, 1 << 13, 1 << 10 | 200},
        {1, 1, 0, 0},
    };
    for (const bool degrees : {false, true}) {
        chooseDegrees(degrees);
        for (const auto& words : readouts) {
            refreshWith(words);
            QCoreApplication::processEvents();
        }
        window->RefreshReadout();  // no reply: the placeholders
        QCoreApplication::processEvents();
        EXPECT_EQ(differingPixels(shownOnScreen(*window),
                                  window->grab().toImage().convertToFormat(QImage::Format_RGB32)),
                  0)
            << (degrees ? "degrees" : "counts");
    }
}

TEST_F(LiveReadoutTest, RefreshButtonReadsOnceAndFollowsContinuously) {
    auto* refresh = find<QPushButton>("Btn_AR_pos");
    auto* continuously = find<QCheckBox>("CbBeriSkoz");
    continuously->setChecked(false);
    EXPECT_TRUE(refresh->isEnabled());
    scripted->replyToNextWrite(outputBytes({5, 0, 0, 0}));
    refresh->click();
    EXPECT_EQ(scripted->frames().size(), 1u);
    continuously->setChecked(true);
    EXPECT_FALSE(refresh->isEnabled());
}

TEST_F(LiveReadoutTest, NeedlesFollowPositionAndSpeedWhateverTheMode) {
    FakePanel panel;
    window->setAnaloguePanel(&panel);
    derived() = {32, 5, 16.0};
    chooseDegrees(true);
    refreshWith({1024, 0, 0, 512});
    EXPECT_EQ(panel.needles, (std::pair<double, double>{0.25, 0.5}));
}

TEST_F(LiveReadoutTest, WakesARunningScreenSaverWhenThePositionMovedMoreThanTenCounts) {
    derived() = kFullResolution;
    screenSaver.running = true;
    window->LastWakePosition = 100;
    const struct {
        std::uint16_t counts;
        bool degrees;
        bool saverRunning;
        int wakeUps;
        int lastWakePosition;
    } steps[] = {
        {111, false, true, 1, 111},  {121, false, true, 1, 111},  // 10 counts: not yet
        {122, true, true, 2, 122},    // the degrees display still compares counts
        {500, false, false, 2, 500},  // nothing running: remembered, nothing sent
        {489, false, true, 3, 489},
    };
    for (const auto& step : steps) {
        chooseDegrees(step.degrees);
        screenSaver.running = step.saverRunning;
        refreshWithCounts(step.counts);
        EXPECT_EQ(screenSaver.wakeUps, step.wakeUps) << step.counts;
        EXPECT_EQ(window->LastWakePosition, step.lastWakePosition) << step.counts;
    }
}

TEST_F(LiveReadoutTest, WakeUpThresholdIsInCountsOfTheSelectedResolution) {
    derived() = {32, 5, 2048.0};
    screenSaver.running = true;
    refreshWithCounts(1408);  // 11 counts of 32
    EXPECT_EQ(screenSaver.wakeUps, 1);
    refreshWithCounts(2688);  // 21 counts: 10 more
    EXPECT_EQ(screenSaver.wakeUps, 1);
}

}  // namespace
}  // namespace qe::ui::test
