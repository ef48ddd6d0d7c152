// The tool's message boxes: caption, icon, text and button per kind, modal over the owner.
#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

#include "message_box_sink.h"

namespace qe::ui {
namespace {

// What a box looked like while it was up.
struct SeenBox {
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    bool modal = false;
};

// Waits for the next modal box from inside its own event loop, notes it and presses OK.
// Gives up after a bounded number of looks and then closes whatever box is up, so a
// missing box fails the test instead of hanging it.
class BoxAnswerer {
public:
    BoxAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }

    std::optional<SeenBox> seen;

private:
    void look() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = SeenBox{box->windowTitle(),     box->icon(),         box->text(),
                           box->standardButtons(), box->parentWidget(), box->isModal()};
            timer_.stop();
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
            return;
        }
        if (++looks_ > kMaxLooks) {
            timer_.stop();
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(widget)) box->reject();
        }
    }

    static constexpr int kMaxLooks = 400;
    QTimer timer_;
    int looks_ = 0;
};

struct KindCase {
    const char* name;
    MessageKind kind;
    const char* caption;
    QMessageBox::Icon icon;
};

class MessageBoxKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(MessageBoxKinds, ShowAModalBoxWithOneOkButton) {
    const KindCase& c = GetParam();
    MessageBoxSink sink(QStringLiteral("QE7204 interface"));
    BoxAnswerer answerer;

    sink.show(c.kind, "The reading was unsuccessful. 0.88°");

    ASSERT_TRUE(answerer.seen.has_value()) << "no box came up";
    EXPECT_EQ(answerer.seen->caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(answerer.seen->icon, c.icon);
    EXPECT_EQ(answerer.seen->text, QStringLiteral("The reading was unsuccessful. 0.88°"));
    EXPECT_EQ(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(answerer.seen->modal);
    EXPECT_EQ(answerer.seen->parent, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Sink, MessageBoxKinds,
    ::testing::Values(
        KindCase{"Error", MessageKind::Error, "Error", QMessageBox::Warning},
        KindCase{"Critical", MessageKind::Critical, "Error", QMessageBox::Critical},
        KindCase{"Plain", MessageKind::Plain, "QE7204 interface", QMessageBox::NoIcon},
        KindCase{"Exception", MessageKind::Exception, "QE7204 interface", QMessageBox::Critical}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBoxSinkOwner, BoxesSitOverTheOwnerWhileItLives) {
    MessageBoxSink sink(QStringLiteral("QE7204 interface"));
    auto owner = std::make_unique<QWidget>();
    sink.setOwner(owner.get());
    {
        BoxAnswerer answerer;
        sink.show(MessageKind::Error, "It is not allowed to connected more than one QE7204!");
        ASSERT_TRUE(answerer.seen.has_value());
        EXPECT_EQ(answerer.seen->parent, owner.get());
    }

    owner.reset();  // a box after the owner has gone must not use a dangling parent
    BoxAnswerer answerer;
    sink.show(MessageKind::Plain, "Port can not be opened");
    ASSERT_TRUE(answerer.seen.has_value());
    EXPECT_EQ(answerer.seen->parent, nullptr);
}

}  // namespace
}  // namespace qe::ui
