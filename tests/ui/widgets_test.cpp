// The small widgets the main window is built from.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QRadioButton>
#include <QResizeEvent>

#include "radio_group.h"
#include "right_anchored_label.h"
#include "toggle_image_button.h"

namespace qe::ui::test {
namespace {

TEST(RadioGroupTest, ChoosingADifferentItemClicksOnceWhoeverChoosesIt) {
    RadioGroup group("Caption", {"a", "b", "c"}, 1);
    std::vector<int> clicks;
    QObject::connect(&group, &RadioGroup::clicked, [&](int item) { clicks.push_back(item); });

    group.setItemIndex(1);
    group.setItemIndex(1);
    group.findChildren<QRadioButton*>()[2]->click();
    group.setItemIndex(-1);
    group.setItemIndex(7);

    EXPECT_EQ(clicks, (std::vector<int>{1, 2}));
    EXPECT_EQ(group.itemIndex(), -1);
}

TEST(RadioGroupTest, FillsColumnsTopToBottomBelowTheCaption) {
    RadioGroup group("Caption", {"0", "1", "2", "3", "4", "5", "6", "7"}, 4);
    group.setGeometry(0, 0, 292, 69);
    group.setItemIndex(0);  // lets the pending resize reach the buttons
    QResizeEvent resize(group.size(), QSize());
    QCoreApplication::sendEvent(&group, &resize);
    const auto buttons = group.findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 8);
    const int columnWidth = (292 - 10) / 4;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(buttons[i]->x(), 8 + (i / 2) * columnWidth) << i;
        EXPECT_EQ(buttons[i]->width(), columnWidth) << i;
    }
    EXPECT_EQ(buttons[1]->y() - buttons[0]->y(), buttons[0]->height());
    EXPECT_EQ(buttons[2]->y(), buttons[0]->y());
}

TEST(RightAnchoredLabelTest, GrowsToTheLeftAndShrinksBack) {
    QWidget parent;
    RightAnchoredLabel label("--", QRect(200, 0, 20, 42), &parent);
    const int right = 220;
    for (const char* text : {"359.91°", "0", "--"}) {
        label.setAnchoredText(QString::fromUtf8(text));
        EXPECT_EQ(label.x() + label.width(), right) << text;
        EXPECT_EQ(label.width(), label.fontMetrics().horizontalAdvance(label.text())) << text;
    }
}

// The relative position's box: a four-decimal fill in 28 pt is wider than the room left of
// the anchor, and moves right instead of losing its first digit.
TEST(RightAnchoredLabelTest, StaysInsideItsBox) {
    QWidget box;
    box.resize(192, 114);
    RightAnchoredLabel label("....", QRect(104, 38, 28, 37), &box);
    QFont font = label.font();
    font.setPointSize(28);
    label.setFont(font);
    label.setAnchoredText(QString::fromUtf8("305.2441°"));
    const int wanted = QFontMetrics(font).horizontalAdvance(label.text());
    ASSERT_GT(wanted, 132) << "wider than the room left of the anchor";
    EXPECT_EQ(label.width(), label.fontMetrics().horizontalAdvance(label.text()));
    EXPECT_GE(label.x(), 2);
    EXPECT_LE(label.x() + label.width(), 190);
    EXPECT_EQ(label.font().pointSizeF() < 28, wanted > 188) << "smaller only when it must be";

    label.setAnchoredText(QStringLiteral("90"));  // fits again: back at its anchor and size
    EXPECT_EQ(label.x() + label.width(), 132);
    EXPECT_EQ(label.font().pointSize(), 28);
}

TEST(ToggleImageButtonTest, ShowsTheImageOfItsState) {
    ToggleImageButton button({"up", "disabled", "down", "held"});
    EXPECT_EQ(button.currentImage(), "up");
    button.setChecked(true);
    EXPECT_EQ(button.currentImage(), "down");
    button.setDown(true);
    EXPECT_EQ(button.currentImage(), "held");
    button.setEnabled(false);
    EXPECT_EQ(button.currentImage(), "disabled");
}

}  // namespace
}  // namespace qe::ui::test
