#pragma once

// The main window: a board of 20 host slots, each with a light, a name and a
// small action button, filled from the settings store and swept by ping.

#include "app/ChangeLog.h"
#include "app/SlotState.h"
#include "options/BoardPreview.h"
#include "platform/gui/Button.h"
#include "platform/gui/ControlArray.h"
#include "platform/gui/Form.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/Menu.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Shape.h"
#include "platform/gui/Timer.h"
#include "runner/clsRunCommand.h"
#include "settings/Settings.h"
#include "tray/clsSysTray.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class frmMain : public platform::Form, public IBoardPreview {
public:
    static constexpr std::int32_t kGreen = 65280;
    static constexpr std::int32_t kRed = 255;
    static constexpr std::int32_t kUnknown = 0x808080;
    // Milliseconds between sweeps, and before the first one after start-up
    // or Resume: the lights come at once.
    static constexpr int kSweepInterval = 5000;
    static constexpr int kFirstSweepDelay = 1;
    // A tooltip's characters, Windows' own limit (the record's 128 less its
    // NUL), and a balloon's (256 less its NUL).
    static constexpr std::size_t kTipLength = 127;
    static constexpr std::size_t kBalloonLength = 255;

    frmMain();

    // Whether the argument string asks for a start hidden in the tray: "/HIDE"
    // in any case, alone.
    static bool HideRequested(std::string sCommand);

    // Fills the board from the settings store and fits the window to the
    // slots in use.
    void LoadSettings();
    // Pings every slot once and returns the status summary: the status line
    // of each named slot, each followed by a carriage return.
    std::string PingHosts();
    // The status summary as the tray icon's tip holds it: the summary itself
    // when it fits; otherwise the hosts that are off first, and a last line
    // that counts the rest.
    std::string TrayTip() const;
    // Menu commands: the menu bar's, then the tray menu's.
    void mnuOptions_Click();
    void mnuTray_Click();
    void mnuStop_Click();
    void mnuResume_Click();
    void mnuExit_Click();
    void mnpTray_Click();
    void mnpExit_Click();
    // The host action menu.
    void mnuExplore_Click();
    void mnuShutdown_Click();
    void mnuRestart_Click();
    void mnuAbort_Click();

    // The options window's preview of its colours.
    void SetBoardBackColor(std::int32_t bgr) override;
    void SetNameForeColor(std::int32_t bgr) override;

    // The elements, indexed 1 to 20 as the slots are numbered.
    platform::ControlArray<platform::Shape*, settings::kSlots> shp;
    platform::ControlArray<platform::Label*, settings::kSlots> lblPC;
    platform::ControlArray<platform::Button*, settings::kSlots> btn;
    platform::Image* Image1;
    platform::Button* cm1;
    platform::Timer tmrPING{*this};

    // The menu bar's direct commands.
    platform::MenuItem* mnuOptions;
    platform::MenuItem* mnuTray;
    platform::MenuItem* mnuStop;
    platform::MenuItem* mnuResume;
    platform::MenuItem* mnuExit;
    // The tray menu and the host action menu, never shown in the bar.
    platform::Menu* mnuPopup;
    platform::MenuItem* mnpOptions;
    platform::MenuItem* mnpStop;
    platform::MenuItem* mnpResume;
    platform::MenuItem* mnpTray;
    platform::MenuItem* mnpExit;
    platform::Menu* mnuPC;
    platform::MenuItem* mnuExplore;
    platform::MenuItem* mnuShutdown;
    platform::MenuItem* mnuRestart;
    platform::MenuItem* mnuAbort;
    platform::MenuItem* mnuCancel;

    std::unique_ptr<clsSysTray> oTray;
    std::int16_t nSelectedHost = 0;
    // The slot the keyboard's selection marks, 0 for none.
    int nKeyboardSlot = 0;
    std::string sBrowserPath;

    platform::ControlArray<std::string, settings::kSlots> sHostStatus;

    // The window's height as laid out, before any fit to the slots in use.
    int FullHeight() const { return m_nFullHeight; }

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void tmrPING_Timer();
    void oTray_OnBalloonClick(const std::string& sBalloonTitle, const std::string& sBalloonMessage);
    // A later start in the same session asks for the board.
    void Instance_Activate();
    void Image1_MouseDown(int Button, int Shift, float X, float Y);
    void SetPinging(bool pinging);
    // The hosts of this sweep whose notice flag asks for alerts and whose
    // state changed since the last sweep, shown as one balloon.
    void ShowAlerts();
    // The tray icon with a badge of the colour (green when every named host
    // answered the last sweep, red when one did not, grey while stopped, none
    // before a sweep) and the tip; both are kept for the Tray command and Stop.
    void ChangeTrayIcon(std::optional<std::int32_t> lBadgeColor, const std::string& sTooltip);
    void Form_KeyDown(int& KeyCode, int Shift);
    // Marks slot n (0: none) as the keyboard's selection.
    void SelectSlot(int n);
    // What a screen reader says of slot n's light, button and, when it is
    // the selection, of the focus sink; kept up with the state and name.
    void UpdateAccessibleNames(int n);
    // The tip of slot n's name: the name whole, the address, and for a named
    // slot how the host has answered.
    void UpdateNameTip(int n);
    // The host menu of slot n, as a mouse release over its button opens it.
    void OpenHostMenu(int n, bool atButton);
    void btn_GotFocus(int Index);
    void btn_MouseUp(int Index, int Button, int Shift, float X, float Y);
    // The selected host's address, or nothing when no host is selected.
    std::optional<std::string> SelectedAddress() const;

    std::unique_ptr<clsRunCommand> RunCommand;
    platform::ControlArray<SlotState, settings::kSlots> m_tState;
    // The slots whose change the last sweep has to tell.
    platform::ControlArray<bool, settings::kSlots> m_tAnnounce;
    // The slots whose present state the change log has.
    platform::ControlArray<bool, settings::kSlots> m_tLogged;
    ChangeLog m_oChangeLog;
    // What the focus sink last said of the selected slot, round trip aside.
    std::string m_sSinkSays;
    std::optional<std::int32_t> m_lBadgeColor;
    std::string m_sTrayTip;
    std::unique_ptr<clsSysTray> m_oReleasedTray;
    int m_nFullHeight = 0;
};
