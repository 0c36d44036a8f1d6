#pragma once

// The main window: a board of 20 host slots, each with a light, a name and a
// small action button, filled from the settings store and swept by ping.

#include "platform/qt/Button.h"
#include "platform/qt/ControlArray.h"
#include "platform/qt/Form.h"
#include "platform/qt/Image.h"
#include "platform/qt/Label.h"
#include "platform/qt/Menu.h"
#include "platform/qt/Shape.h"
#include "platform/qt/Timer.h"
#include "runner/clsRunCommand.h"
#include "tray/clsSysTray.h"

#include <memory>
#include <optional>
#include <string>

class frmMain : public platform::qt::Form {
public:
    static constexpr int kSlots = 20;
    static constexpr std::int32_t kGreen = 65280;
    static constexpr std::int32_t kRed = 255;
    static constexpr std::int32_t kUnknown = 0x808080;
    static constexpr std::int32_t kDefaultBackColor = 128;
    static constexpr std::int32_t kDefaultTextColor = 16777215;

    frmMain();

    // Fills the board from the settings store and fits the window to the
    // slots in use.
    void LoadSettings();
    // Pings every slot once and returns the status summary: the status line
    // of each named slot, each followed by a carriage return.
    std::string PingHosts();
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

    // The elements, indexed 1 to 20 as the slots are numbered.
    platform::qt::ControlArray<platform::qt::Shape*, kSlots> shp;
    platform::qt::ControlArray<platform::qt::Label*, kSlots> lblPC;
    platform::qt::ControlArray<platform::qt::Button*, kSlots> btn;
    platform::qt::Image* Image1;
    platform::qt::Button* cm1;
    platform::qt::Timer tmrPING{*this};

    // The menu bar's direct commands.
    platform::qt::MenuItem* mnuOptions;
    platform::qt::MenuItem* mnuTray;
    platform::qt::MenuItem* mnuStop;
    platform::qt::MenuItem* mnuResume;
    platform::qt::MenuItem* mnuExit;
    // The tray menu and the host action menu, never shown in the bar.
    platform::qt::Menu* mnuPopup;
    platform::qt::MenuItem* mnpOptions;
    platform::qt::MenuItem* mnpStop;
    platform::qt::MenuItem* mnpResume;
    platform::qt::MenuItem* mnpTray;
    platform::qt::MenuItem* mnpExit;
    platform::qt::Menu* mnuPC;
    platform::qt::MenuItem* mnuExplore;
    platform::qt::MenuItem* mnuShutdown;
    platform::qt::MenuItem* mnuRestart;
    platform::qt::MenuItem* mnuAbort;
    platform::qt::MenuItem* mnuCancel;

    std::unique_ptr<clsSysTray> oTray;
    std::int16_t nSelectedHost = 0;
    std::string sBrowserPath;

    platform::qt::ControlArray<std::string, kSlots> sHostStatus;

    // The window's height as laid out, before any fit to the slots in use.
    int FullHeight() const { return m_nFullHeight; }

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    void tmrPING_Timer();
    void oTray_OnBalloonClick(const std::string& sBalloonTitle, const std::string& sBalloonMessage);
    void Image1_MouseDown(int Button, int Shift, float X, float Y);
    void SetPinging(bool pinging);
    void btn_GotFocus(int Index);
    void btn_MouseUp(int Index, int Button, int Shift, float X, float Y);
    // The selected host's address, or nothing when no host is selected.
    std::optional<std::string> SelectedAddress() const;

    std::unique_ptr<clsRunCommand> RunCommand;
    std::unique_ptr<clsSysTray> m_oReleasedTray;
    int m_nFullHeight = 0;
};
