#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "analogue_panel_view.h"
#include "chip.h"
#include "dial_scale.h"
#include "message_sink.h"
#include "register_map.h"
#include "window_layout.h"

class QRadioButton;

namespace qe::ui {

class ImageView;
class MainWindow;
class RotLayer;

// TForm2, the analogue panel: the chip's live position or speed as a needle over a dial.
// It never polls the chip; the main window moves its needles and shows or hides it.
class AnaloguePanel : public QWidget, public AnaloguePanelView {
    Q_OBJECT
public:
    static constexpr int kTachoNeedleAlpha = 150;
    static constexpr int kPositionNeedleAlpha = 190;

    AnaloguePanel(MainWindow& mainWindow, const chip::Chip& chip, MessageSink& messages);
    ~AnaloguePanel() override;

    // AnaloguePanelView.
    bool isPanelVisible() const override;
    void setPanelVisible(bool visible) override;
    void repaintPanel() override;
    void UpdateNeedles(double positionFraction, double tachoFraction) override;
    bool showsTachoScale() const override;
    void SkalaJeTaho() override;
    void LoadWindowLayout() override;
    void SaveWindowLayout() override;

    void SkalaJePozicija();
    void RadioButton1Click();
    void RadioButton2Click();
    void ImgViewMouseDown(Qt::MouseButton button, QPoint position);
    void ImgViewMouseMove(QPoint position);
    void FormDeactivate();

    // The first showing places the panel before the window system gets it (see the .cpp).
    void setVisible(bool visible) override;

    ImageView& imgView() const { return *ImgView; }
    RotLayer& tachoNeedle() const { return *TachoNeedle; }
    RotLayer& positionNeedle() const { return *PositionNeedle; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void FormCreate();
    void arrangeControls();
    // A dial as last decoded, without labels, and the file it came from.
    struct DecodedDial {
        QString path;
        QDateTime modified;
        qint64 size = 0;
        QImage image;
    };
    // Shows the dial with the labels for its size written into it. A missing file leaves
    // the view as it is; the file is decoded again only when it has changed.
    void showDial(const char* fileName, DecodedDial& decodedDial,
                  const std::function<std::vector<DialLabel>(QSize)>& labelsFor);
    QImage loadNeedleImage();
    void prepareFirstShowing();
    void centreOverMainWindow();
    void joinMainWindow();
    LayoutStore layoutStore() const;
    LayoutWindows layoutWindows();

    MainWindow& mainWindow_;
    const chip::Chip& chip_;
    MessageSink& messages_;
    bool shownBefore_ = false;
    DecodedDial positionDial_;
    DecodedDial tachoDial_;

    ImageView* ImgView = nullptr;
    QWidget* Panel1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    RotLayer* TachoNeedle = nullptr;
    RotLayer* PositionNeedle = nullptr;
};

}  // namespace qe::ui
