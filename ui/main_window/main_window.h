#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "chip.h"
#include "chip_exchange_guard.h"
#include "clock.h"
#include "control_states.h"
#include "readout_stream.h"
#include "register_map.h"
#include "screen_saver.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace qe::chip {
struct Readout;
}

namespace qe::ui {

class AnaloguePanelView;
class FileChooser;
class RadioGroup;
class RightAnchoredLabel;
class StatusPanels;
class ToggleImageButton;

inline constexpr int kPollIntervalMs = 50;
inline constexpr int kClientWidth = 784;

// The tool's main window: settings, live readout, power buttons and status bar, and the
// 50 ms poll cycle that keeps them in line with the adapter and the chip.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(chip::Chip& chip, ScreenSaver& screenSaver, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The analogue panel, once it exists; without one "Show Display" stays off.
    void setAnaloguePanel(AnaloguePanelView* panel);
    AnaloguePanelView* analoguePanel() const { return panel_; }

    RadioGroup* radioGroup(const QString& name) const;

    // Every readout the poll cycle or "Refresh " makes, for windows that watch them; and
    // the adapter's loss.
    chip::ReadoutStream& readoutStream() { return chip_.readouts().stream(); }
    // A small button for a window beyond the designed ones, in the free space beside
    // "Show Display"; the buttons line up from the left in the order they are added.
    // They come last in the Tab order.
    QPushButton* addExtraButton(const QString& text, const QString& objectName,
                                std::function<void()> clicked, const QString& toolTip = {});
    // A line of our own after those buttons (a recording running, a hint); its full text is
    // its tooltip where the strip is too short for it. Empty hides it.
    void showStripNote(const QString& text);
    QString stripNote() const;
    // What a double click on the status bar opens.
    void setStatusBarDoubleClick(std::function<void()> doubleClicked);

    // Client heights with the settings shown and hidden, computed from the controls.
    int fullHeight() const;
    int compactHeight() const;

    // Poll cycle. Started by the program once both windows exist: a box shown while they are
    // being made runs the event loop, and a tick then would find no analogue panel.
    void startPolling();
    void Timer1Timer();
    // Whether the caller may talk to the chip: false while a tick is unfinished. On the one
    // window thread a tick can only be unfinished while it waits in a modal box further down
    // this stack, so waiting here could never see it end; the caller does nothing instead.
    bool WaitPollIdle();
    // Lends the adapter to a reader beyond the designed windows (the Plot window's fast
    // capture): the poll cycle's ticks leave it alone until resumePoll(). `interrupted` ends
    // the reader when a handler starts exchanges of its own or the window closes; the poll
    // takes over again then.
    void pausePoll(std::function<void()> interrupted);
    void resumePoll();
    void BtnONClick();
    void BtnOFFClick();

    // Settings panel.
    void RefreshSettingsPanel();
    void FillSettingsPanel();

    // Live readout.
    void RefreshReadout();
    void RbNumberClick();
    void RbdegreesClick();
    void CbBeriSkozClick();
    void Btn_AR_posClick();

    // Window behaviour.
    void SpeedButtonHideClick();
    // Puts SpeedButtonHide down and applies it when the settings are hidden, as the analogue
    // panel does when it loses activation.
    void showSettingsIfHidden();
    void SpeedButtonHideMouseEnter();
    void cbDisplayClick();
    void ButtonSaveDisplaySettingsClick();
    void ButtonLoadDisplaySettingsClick();
    void Image321Click();
    void FillHysteresisList();

    // Chip configuration: the radio groups, PROG and READ, the entered settings, SAVE and LOAD.
    void RadioGroupClick(const chip::SettingGroup& group, int item);
    void BtnProgClick();
    void BtnReadClick();
    void BtnSetAddressClick();
    void EdNaslovCipaExit();
    void BtnPresetZeroClick();
    void EdPosZExit();
    void BtnZeroCurrentPosClick();
    // Makes the current absolute position the zero position; the analogue panel's zero zone
    // runs it with its own failure message.
    void ZeroAtCurrentPosition(const char* failureMessage);
    void ButtonSetHysteresisClick();
    void BtnSaveClick();
    void BtnLoadClick();
    // Reads EEPROM words 0..3 into the mirror, for comparing them with the working registers;
    // false when a tick is unfinished or the chip does not answer.
    bool readStoredSettings();
    // Where SAVE and LOAD ask for a file; nullptr brings back the tool's own dialogs.
    void setFileChooser(FileChooser* chooser);

    bool PanelReady = false;
    bool PollBusy = false;
    std::uint32_t LastSecondTick = 0;
    int LastWakePosition = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void bindControls(const QHash<QString, QWidget*>& made);
    void connectHandlers();
    void setClientHeight(int height);
    void updateLayoutButtons();

    // Poll cycle steps.
    void onceASecond();
    void showDisplayState(DisplayState state);
    bool scanStep();
    void applySettingsStep(bool operable);
    void blankReadout();

    // Chip configuration steps.
    void connectChipActions();
    // The dependent groups' enabled state follows the group's item.
    void showDependents(const chip::SettingGroup& group, int item);
    void changeAddress();
    void presetZero();
    // Input refused: the control set back to what the chip holds, the focus back in it.
    void setBackAndFocus(QWidget& control, const std::function<void()>& setBack);

    // Readout.
    enum class Fill { Live, FromMirror };
    void showReadout(const chip::Readout& readout, Fill fill);
    void showDisplayMode();
    void showDisplayModeTexts(const chip::Readout& readout, int degreesDecimals);
    void wakeScreenSaver(int counts);

    QWidget* control(const char* name) const;

    chip::Chip& chip_;
    Clock& clock_;
    ScreenSaver& screenSaver_;
    AnaloguePanelView* panel_ = nullptr;
    bool closed_ = false;  // after FormClose no tick starts
    ChipExchanges chipExchanges_;
    QTimer* Timer1 = nullptr;
    QHash<QString, QWidget*> controls_;
    DisplayState shownState_ = DisplayState::NotConnected;
    QWidget* extraButtons_ = nullptr;
    // The controls the poll cycle sets on every tick, found once.
    std::vector<BoundControl<DisplayStateRule>> displayStateControls_;
    std::vector<BoundControl<SettingsRule>> settingsControls_;

    ToggleImageButton* SpeedButtonHide = nullptr;
    QWidget* Panel1 = nullptr;
    QWidget* Panel6 = nullptr;
    QWidget* Panel7 = nullptr;
    QWidget* PanelHiddenDisplay = nullptr;
    QWidget* PanelDisplaySettings = nullptr;
    QLabel* Image321 = nullptr;
    RightAnchoredLabel* LabelPOSdeg = nullptr;
    RightAnchoredLabel* LabelPOSInc = nullptr;
    RightAnchoredLabel* LblPosRel = nullptr;
    QCheckBox* cbDisplay = nullptr;
    QPushButton* ButtonSaveDisplaySettings = nullptr;
    QPushButton* ButtonLoadDisplaySettings = nullptr;
    QPushButton* Btn_AR_pos = nullptr;
    QCheckBox* CbBeriSkoz = nullptr;
    QRadioButton* RbNumber = nullptr;
    QRadioButton* Rbdegrees = nullptr;
    QLabel* LblPosAbs = nullptr;
    QLabel* LblTaho = nullptr;
    QLabel* LblMagnetSt = nullptr;
    QLabel* LblAGCgain = nullptr;
    QPushButton* BtnON = nullptr;
    QPushButton* BtnOFF = nullptr;
    QPushButton* BtnLoad = nullptr;
    QPushButton* BtnProg = nullptr;
    QPushButton* BtnRead = nullptr;
    QLineEdit* EdNaslovCipa = nullptr;
    QLineEdit* EdPosZ = nullptr;
    QComboBox* cbHysteresis = nullptr;
    StatusPanels* StBar1 = nullptr;
    std::unique_ptr<FileChooser> fileDialogs_;
    FileChooser* fileChooser_ = nullptr;
};

}  // namespace qe::ui
