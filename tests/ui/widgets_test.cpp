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
