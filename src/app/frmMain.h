#pragma once

// The main window: a board of 20 host slots, each with a light, a name and a
// small action button, filled from the settings store and swept by ping.

#include "platform/qt/Button.h"
#include "platform/qt/ControlArray.h"
#include "platform/qt/Form.h"
#include "platform/qt/Image.h"
#include "platform/qt/Label.h"
#include "platform/qt/Shape.h"
#include "platform/qt/Timer.h"
#include "runner/clsRunCommand.h"

#include <memory>
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
    // Opens the options window modally, then reloads the board from the
    // store, however the options window was closed.
    void mnuOptions_Click();

    // The elements, indexed 1 to 20 as the slots are numbered.
    platform::qt::ControlArray<platform::qt::Shape*, kSlots> shp;
    platform::qt::ControlArray<platform::qt::Label*, kSlots> lblPC;
    platform::qt::ControlArray<platform::qt::Button*, kSlots> btn;
    platform::qt::Image* Image1;
    platform::qt::Button* cm1;
    platform::qt::Timer tmrPING;

    platform::qt::ControlArray<std::string, kSlots> sHostStatus;
    // The summary of the last sweep, for the tray icon's tooltip.
    std::string sStatusSummary;

    // The window's height as laid out, before any fit to the slots in use.
    int FullHeight() const { return m_nFullHeight; }

private:
    void tmrPING_Timer();

    std::unique_ptr<clsRunCommand> RunCommand;
    int m_nFullHeight = 0;
};
