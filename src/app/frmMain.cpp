#include "app/frmMain.h"

#include "options/frmOpt.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/gui/App.h"
#include "platform/gui/Capture.h"
#include "platform/gui/Instance.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "registry/clsRegistry.h"
#include "settings/BoardFont.h"
#include "settings/CLng.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

using namespace platform;
using namespace settings;

namespace {

constexpr int kClientWidth = 2955;
constexpr int kClientHeight = 5025;
// A slot's host button, its row aside.
constexpr int kButtonLeft = 2580;
constexpr int kButtonTop = 180;
constexpr int kButtonWidth = 255;
constexpr int kButtonHeight = 210;
// The tip of an icon sent to the tray lists slots 1 to 8 only: a tip holds
// 128 characters, about eight status lines.
constexpr int kTrayTipSlots = 8;
// Ten seconds asked; the class hands the shell only the low bits of it, and
// the shell holds a balloon for its own least time (10 s) whatever is asked.
constexpr std::int32_t kBalloonSeconds = 10;
constexpr std::string_view kOff = " is off.";

bool IsOff(const std::string& sLine) {
    return sLine.ends_with(kOff);
}

// The lines, each followed by the separator, in at most lLimit bytes of
// UTF-8, which no 8-bit code page's form of the text outgrows, so the shell's
// field never cuts a line. What does not fit gives way to the hosts that are
// off, listed first, and a last line counts the rest.
std::string FitLines(const std::vector<std::string>& vLines, std::string_view sSeparator,
                     std::size_t lLimit) {
    std::string sAll;
    for (const std::string& sLine : vLines) {
        sAll.append(sLine).append(sSeparator);
    }
    if (sAll.size() <= lLimit) {
        return sAll;
    }
    std::vector<std::string> vOrdered = vLines;
    std::stable_partition(vOrdered.begin(), vOrdered.end(), IsOff);
    for (std::size_t iShown = vOrdered.size() - 1;; --iShown) {
        std::string sText;
        for (std::size_t i = 0; i < iShown; ++i) {
            sText.append(vOrdered[i]).append(sSeparator);
        }
        const auto iOff = static_cast<std::size_t>(std::count_if(
            vOrdered.begin() + static_cast<std::ptrdiff_t>(iShown), vOrdered.end(), IsOff));
        const std::size_t iOn = vOrdered.size() - iShown - iOff;
        std::string sRest = "and ";
        if (iOff == 0) {
            sRest += std::to_string(iOn) + " more on.";
        } else if (iOn == 0) {
            sRest += std::to_string(iOff) + " more off.";
        } else {
            sRest += std::to_string(iOff) + " more off, " + std::to_string(iOn) + " more on.";
        }
        sText.append(sRest).append(sSeparator);
        if (sText.size() <= lLimit || iShown == 0) {
            return sText;
        }
    }
}

// The stored notice flag as the options window shows it: ticked when it
// reads as the number 1. The text itself stays as it is.
bool NoticeWanted(const std::string& sFlag) {
    return CLng(sFlag) == 1;
}

} // namespace

frmMain::frmMain() : m_oChangeLog(StateFilePath("changes.log")) {
    SetIcon(ProgramIcon());
    SetFont(BoardFont());
    SetFixedWidth(kClientWidth);

    for (int n = 1; n <= kSlots; ++n) {
        const int row = kBoardRowPitch * (n - 1);
        shp(n) = new Shape(*this);
        shp(n)->Move(60, 170 + row, 375, 240);
        // Until the first sweep a host is neither on nor off: a grey light,
        // and no actions to offer.
        shp(n)->SetFillColor(kUnknown);
        lblPC(n) = new Label(*this);
        lblPC(n)->Move(480, 120 + row, 1935, 375);
        lblPC(n)->SetCentredVertically(true);
        lblPC(n)->SetElided(true);
        lblPC(n)->SetCaption(std::to_string(n));
        btn(n) = new Button(*this);
        btn(n)->Move(kButtonLeft, kButtonTop + row, kButtonWidth, kButtonHeight);
        btn(n)->SetVisible(false);
    }
    Image1 = new Image(*this);
    Image1->Move(0, 0, 3100, 5100);
    cm1 = new Button(*this);
    cm1->Move(960, 5280, 495, 300);

    tmrPING.SetInterval(kSweepInterval);
    tmrPING.SetEnabled(false);
    tmrPING.OnTimer = [this] { tmrPING_Timer(); };
    Image1->MouseDown = [this](int button, int shift, float x, float y) {
        Image1_MouseDown(button, shift, x, y);
    };

    mnuOptions = AddMenuBarItem("Options");
    mnuTray = AddMenuBarItem("Tray");
    mnuStop = AddMenuBarItem("Stop");
    mnuResume = AddMenuBarItem("Resume");
    mnuExit = AddMenuBarItem("Exit");
    mnuResume->SetVisible(false);
    mnuPopup = new Menu(*this);
    mnpOptions = mnuPopup->Add("Options");
    mnpStop = mnuPopup->Add("Stop Pinging");
    mnpResume = mnuPopup->Add("Resume Pinging");
    mnpTray = mnuPopup->Add("Restore From Tray");
    mnpExit = mnuPopup->Add("Exit");
    mnpResume->SetVisible(false);
    mnuPC = new Menu(*this);
    mnuExplore = mnuPC->Add("Explore");
    mnuPC->Add("-");
    mnuShutdown = mnuPC->Add("Shutdown PC");
    mnuRestart = mnuPC->Add("Restart PC");
    mnuAbort = mnuPC->Add("Abort");
    mnuPC->Add("-");
    mnuCancel = mnuPC->Add("Cancel");
    mnuExplore->Click = [this] { mnuExplore_Click(); };
    mnuShutdown->Click = [this] { mnuShutdown_Click(); };
    mnuRestart->Click = [this] { mnuRestart_Click(); };
    mnuAbort->Click = [this] { mnuAbort_Click(); };
    for (int n = 1; n <= kSlots; ++n) {
        btn(n)->GotFocus = [this, n] { btn_GotFocus(n); };
        btn(n)->MouseUp = [this, n](int button, int shift, float x, float y) {
            btn_MouseUp(n, button, shift, x, y);
        };
    }
    mnuOptions->Click = [this] { mnuOptions_Click(); };
    mnpOptions->Click = [this] { mnuOptions_Click(); };
    mnuTray->Click = [this] { mnuTray_Click(); };
    mnuStop->Click = [this] { mnuStop_Click(); };
    mnpStop->Click = [this] { mnuStop_Click(); };
    mnuResume->Click = [this] { mnuResume_Click(); };
    mnpResume->Click = [this] { mnuResume_Click(); };
    mnuExit->Click = [this] { mnuExit_Click(); };
    mnpTray->Click = [this] { mnpTray_Click(); };
    mnpExit->Click = [this] { mnpExit_Click(); };
    KeyDown = [this](int& KeyCode, int Shift) { Form_KeyDown(KeyCode, Shift); };

    // The captions stay blank as designed; screen readers get names.
    SetAccessibleName("Netvigil");
    mnuPopup->SetAccessibleName("Netvigil");
    mnuPC->SetAccessibleName("Host actions");
    cm1->SetAccessibleName("Hosts");
    for (int n = 1; n <= kSlots; ++n) {
        UpdateAccessibleNames(n);
    }

    // The menu bar lies within the window's height, above the board.
    SetClientSize(kClientWidth, kClientHeight);
    m_nFullHeight = Height();
}

void frmMain::Form_Load() {
    oTray = std::make_unique<clsSysTray>();
    oTray->OnBalloonClick = [this](const std::string& title, const std::string& message) {
        oTray_OnBalloonClick(title, message);
    };
    oTray->AttachForm(this, mnuPopup, nullptr);
    m_sTrayTip = "Netvigil";
    oTray->AddIconToTray(Icon(), m_sTrayTip, 0);
    LoadSettings();
    nSelectedHost = 0;
    SetInstanceActivate(*this, [this] { Instance_Activate(); });
    const bool hideRequested = HideRequested(Command());
    const bool hide = hideRequested && NotificationAreaAvailable();
    // Started hidden, the window is never shown at all: shown and hidden at
    // once, a window manager may map it after the hide and leave it showing.
    if (hide) {
        HideFromTaskList(*this);
    } else {
        Show();
    }
    Image1->ZOrder();
    if (hideRequested && !hide) {
        // With no tray to come back from, start minimized instead.
        SetWindowState(vbMinimized);
    }
    {
        clsRegistry reg;
        reg.SetClassKey(clsRegistry::HKEY_CLASSES_ROOT);
        reg.SetSectionKey("htmlfile\\shell\\opennew\\command");
        reg.SetValueKey("");
        reg.SetValueType(REG_SZ);
        const std::string sValue = reg.Value().ToText();
        // The path between the opening quote and the closing quote, blank and
        // %1; a value too short for that gives no path at all.
        sBrowserPath = sValue.size() >= 5 ? sValue.substr(1, sValue.size() - 5) : std::string();
        // Many Windows installations have no such value, or one naming a
        // program that is gone, and a web host's Explore would do nothing at
        // all: Netvigil's own launcher opens the address instead.
        const std::string launcher = FindProgram("browser");
        if (FindProgram(sBrowserPath).empty() && !launcher.empty()) {
            sBrowserPath = "\"" + launcher + "\"";
        }
    }
    SetPinging(true);
}

bool frmMain::HideRequested(std::string sCommand) {
    std::transform(sCommand.begin(), sCommand.end(), sCommand.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return sCommand == "/HIDE";
}

void frmMain::Form_Unload() {
    if (oTray) {
        oTray->RemoveIcon(0);
        // Released now; freed with the window, since the tray's own menu
        // (its Exit) may be what is unloading it, with the instance still on
        // the stack.
        m_oReleasedTray = std::move(oTray);
    }
    for (Form* form : std::vector<Form*>(Forms())) {
        form->Unload();
    }
}

void frmMain::LoadSettings() {
    const auto color = [](const char* key, std::int32_t fallback) {
        return ColorFromText(GetSetting(kAppName, kSettings, key, std::to_string(fallback)));
    };
    for (int n = 1; n <= kSlots; ++n) {
        const auto back = color(kBackcolor, kDefaultBackColor);
        const auto text = back ? color(kTextcolor, kDefaultTextColor) : std::nullopt;
        if (!back || !text) {
            // A colour that is no colour: back to the defaults, and the stored
            // values go, so the next load starts clean. Nothing more is read.
            SetBackColor(kDefaultBackColor);
            for (int k = 1; k <= kSlots; ++k) {
                lblPC(k)->SetForeColor(kDefaultTextColor);
            }
            DeleteSetting(kAppName, kSettings, kBackcolor);
            DeleteSetting(kAppName, kSettings, kTextcolor);
            return;
        }
        SetBackColor(*back);
        lblPC(n)->SetForeColor(*text);
        lblPC(n)->SetCaption(GetSetting(kAppName, kRemoteHosts, HostKey(n), std::to_string(n)));
        lblPC(n)->SetTag(GetSetting(kAppName, kRemoteHosts, AddressKey(n), ""));
        UpdateNameTip(n);
        shp(n)->SetTag(GetSetting(kAppName, kRemoteHosts, BalloonKey(n), ""));
    }

    int last = 1;
    for (int n = kSlots; n >= 2; --n) {
        if (!lblPC(n)->Caption().empty()) {
            last = n;
            break;
        }
    }
    for (int n = 1; n <= kSlots; ++n) {
        shp(n)->SetVisible(n <= last);
        UpdateAccessibleNames(n);
    }
    if (nKeyboardSlot != 0 && lblPC(nKeyboardSlot)->Caption().empty()) {
        SelectSlot(0);
    }
    SetHeight(last < kSlots ? shp(last + 1)->Top() + 400 : m_nFullHeight);
}

void frmMain::SetBoardBackColor(std::int32_t bgr) {
    SetBackColor(bgr);
}

void frmMain::SetNameForeColor(std::int32_t bgr) {
    for (int n = 1; n <= kSlots; ++n) {
        lblPC(n)->SetForeColor(bgr);
    }
}

std::string frmMain::PingHosts() {
    // A yield may unload this window: from then on the sweep touches nothing.
    for (int n = 1; n <= kSlots; ++n) {
        DoEvents();
        if (Unloaded()) {
            return {};
        }
        const std::string sAddress = lblPC(n)->Tag();
        if (!RunCommand) {
            RunCommand = std::make_unique<clsRunCommand>();
            // A silent host's ping waits half a second for nothing: the board
            // goes on answering the user meanwhile.
            SetPipeWait(DoEventsWhile);
        }
        const std::string sOutput =
            RunCommand->GetRtnText("ping -n 1 -w 8 " + sAddress, "Reply", 0, 0);
        DoEvents();
        if (Unloaded()) {
            return {};
        }
        if (n == 1) {
            for (int k = 1; k <= kSlots; ++k) {
                sHostStatus(k).clear();
            }
        }
        const bool online = sOutput.find("Reply") != std::string::npos;
        const auto now = SlotState::Clock::now();
        const auto outcome = m_tState(n).Record(sAddress, online, RoundTripOf(sOutput), now);
        m_tAnnounce(n) = outcome.bAnnounce;
        m_tLogged(n) = m_tLogged(n) && !outcome.bNewState;
        const std::string sName = lblPC(n)->Caption();
        shp(n)->SetFillColor(online ? kGreen : kRed);
        // Red and green alone are the pair that colour-blind eyes confuse most.
        shp(n)->SetMark(online ? LightMark::Tick : LightMark::Cross);
        btn(n)->SetVisible(online);
        btn(n)->SetToolTipText(online ? "Click for options" : "This PC in unavailable.");
        UpdateNameTip(n);
        UpdateAccessibleNames(n);
        if (!sName.empty()) {
            sHostStatus(n) = sName + (online ? " is on." : " is off.");
            // A line for each change of the light, and one for the state a
            // slot is first found in: at the first sweep, and at the first
            // once it has been named or given another address.
            if (!m_tLogged(n)) {
                m_oChangeLog.Append(
                    {ToLocalTime(now), n, sName, sAddress, online, m_tState(n).RoundTrip()});
                m_tLogged(n) = true;
            }
        }
    }
    std::string sSummary;
    for (int k = 1; k <= kSlots; ++k) {
        if (!sHostStatus(k).empty()) {
            sSummary += sHostStatus(k) + '\r';
        }
    }
    return sSummary;
}

void frmMain::mnuOptions_Click() {
    // The options window is made for each visit and unloads itself on close.
    auto* options = new frmOpt(*this);
    options->ShowModal(this);
    // An exit chosen while the options were open leaves no board to fill.
    if (!Unloaded()) {
        LoadSettings();
    }
}

std::string frmMain::TrayTip() const {
    std::vector<std::string> vLines;
    for (int n = 1; n <= kSlots; ++n) {
        if (!sHostStatus(n).empty()) {
            vLines.push_back(sHostStatus(n));
        }
    }
    return FitLines(vLines, "\r", kTipLength);
}

void frmMain::tmrPING_Timer() {
    // After a first sweep at once, the designed pace.
    tmrPING.SetInterval(kSweepInterval);
    PingHosts();
    // An exit chosen during the sweep leaves nothing to update.
    if (Unloaded()) {
        return;
    }
    if (WindowState() == vbMinimized && NotificationAreaAvailable()) {
        Hide();
    }
    bool bAllOn = true;
    for (int n = 1; n <= kSlots; ++n) {
        if (!sHostStatus(n).empty() && !m_tState(n).Online()) {
            bAllOn = false;
        }
    }
    // Stopped during the sweep: its lights are already stale.
    ChangeTrayIcon(tmrPING.Enabled() ? (bAllOn ? kGreen : kRed) : kUnknown, TrayTip());
    ShowAlerts();
}

void frmMain::ShowAlerts() {
    // Where there is no notification area, a minimized board stands for a
    // hidden one; elsewhere a minimized board has been hidden by now.
    if (!oTray || (Visible() && WindowState() != vbMinimized) || !tmrPING.Enabled()) {
        return;
    }
    std::vector<std::string> vLines;
    bool bWentOff = false;
    for (int n = 1; n <= kSlots; ++n) {
        // A change is told once it has held for two sweeps: one lost reply,
        // common on Wi-Fi and busy links, or one stray reply is none.
        if (!NoticeWanted(shp(n)->Tag()) || sHostStatus(n).empty() || !m_tAnnounce(n)) {
            continue;
        }
        vLines.push_back(sHostStatus(n));
        bWentOff = bWentOff || !m_tState(n).Online();
    }
    if (vLines.empty()) {
        return;
    }
    std::string sMessage = FitLines(vLines, "\r\n", kBalloonLength);
    sMessage.resize(sMessage.size() - 2);
    oTray->ShowBalloon("Netvigil", sMessage, bWentOff ? NIIF_WARNING : NIIF_INFO, kBalloonSeconds,
                       0);
}

void frmMain::ChangeTrayIcon(std::optional<std::int32_t> lBadgeColor, const std::string& sTooltip) {
    m_lBadgeColor = lBadgeColor;
    m_sTrayTip = sTooltip;
    if (oTray) {
        oTray->ChangeIcon(BadgedIcon(Icon(), m_lBadgeColor), m_sTrayTip);
    }
}

void frmMain::SetPinging(bool pinging) {
    if (pinging) {
        // The lights come at once, not one interval later.
        tmrPING.SetInterval(kFirstSweepDelay);
    }
    tmrPING.SetEnabled(pinging);
    mnuStop->SetVisible(pinging);
    mnpStop->SetVisible(pinging);
    mnuResume->SetVisible(!pinging);
    mnpResume->SetVisible(!pinging);
    if (!pinging) {
        ChangeTrayIcon(kUnknown, m_sTrayTip);
    }
}

void frmMain::mnuStop_Click() {
    SetPinging(false);
}

void frmMain::mnuResume_Click() {
    SetPinging(true);
}

void frmMain::mnuTray_Click() {
    if (!NotificationAreaAvailable()) {
        // No tray to hide in: the task list keeps the way back.
        SetWindowState(vbMinimized);
        return;
    }
    Hide();
    oTray->AttachForm(this, nullptr, nullptr);
    std::string sTip;
    for (int n = 1; n <= kTrayTipSlots; ++n) {
        sTip += (n > 1 ? "\r" : "") + sHostStatus(n);
    }
    m_sTrayTip = sTip;
    oTray->AddIconToTray(BadgedIcon(Icon(), m_lBadgeColor), m_sTrayTip, 0);
}

void frmMain::mnpTray_Click() {
    Show();
}

void frmMain::oTray_OnBalloonClick(const std::string& /*sBalloonTitle*/,
                                   const std::string& /*sBalloonMessage*/) {
    SetWindowState(vbNormal);
    Show();
}

void frmMain::Instance_Activate() {
    // The way a double-click on the tray icon brings the board back, so that
    // the tray menu and the next sweep see it as they would then.
    SetWindowState(vbNormal);
    Show();
}

void frmMain::mnuExit_Click() {
    if (oTray) {
        oTray->RemoveIcon(0);
    }
    End();
}

void frmMain::mnpExit_Click() {
    tmrPING.SetEnabled(false);
    Unload();
}

void frmMain::Form_KeyDown(int& KeyCode, int Shift) {
    if (KeyCode == vbKeyUp || KeyCode == vbKeyDown) {
        // Over the named slots only, stopping at either end.
        const int step = KeyCode == vbKeyDown ? 1 : -1;
        int n = nKeyboardSlot != 0 ? nKeyboardSlot : (step > 0 ? 0 : kSlots + 1);
        for (n += step; n >= 1 && n <= kSlots; n += step) {
            if (!lblPC(n)->Caption().empty()) {
                SelectSlot(n);
                break;
            }
        }
        KeyCode = 0;
        return;
    }
    const bool opens = KeyCode == vbKeyReturn || KeyCode == vbKeySpace || KeyCode == vbKeyApps ||
                       (KeyCode == vbKeyF10 && Shift == vbShiftMask);
    if (opens && nKeyboardSlot != 0) {
        KeyCode = 0;
        // As with the mouse: a host that is off offers no actions.
        if (btn(nKeyboardSlot)->Visible()) {
            OpenHostMenu(nKeyboardSlot, true);
        }
    }
}

void frmMain::SelectSlot(int n) {
    if (nKeyboardSlot != 0) {
        lblPC(nKeyboardSlot)->SetFocusMark(false);
    }
    nKeyboardSlot = n;
    m_sSinkSays.clear();
    if (n == 0) {
        cm1->SetAccessibleName("Hosts");
        return;
    }
    lblPC(n)->SetFocusMark(true);
    // The focus stays on the sink: its name follows the selection, so a
    // screen reader says which host is selected, and in which state.
    UpdateAccessibleNames(n);
}

void frmMain::UpdateAccessibleNames(int n) {
    const std::string sName =
        lblPC(n)->Caption().empty() ? "Host " + std::to_string(n) : lblPC(n)->Caption();
    const auto now = SlotState::Clock::now();
    shp(n)->SetAccessibleName(sName + ", " + StateText(m_tState(n), lblPC(n)->Tag(), now, true));
    btn(n)->SetAccessibleName("Actions for " + sName);
    if (n != nKeyboardSlot) {
        return;
    }
    // The focus sink speaks again when the selected host's state changes,
    // not for each new round trip: a reader would read it out every sweep.
    const std::string sSays = sName + ", " + StateText(m_tState(n), lblPC(n)->Tag(), now, false);
    if (sSays != m_sSinkSays) {
        m_sSinkSays = sSays;
        cm1->SetAccessibleName(shp(n)->AccessibleName());
    }
}

void frmMain::UpdateNameTip(int n) {
    // A long name is cut short on the board: the tip gives it whole.
    std::string sTip = lblPC(n)->Caption();
    const std::string sState =
        sTip.empty() ? std::string()
                     : StateText(m_tState(n), lblPC(n)->Tag(), SlotState::Clock::now(), true);
    for (const std::string& sLine : {lblPC(n)->Tag(), sState}) {
        if (!sLine.empty()) {
            sTip += (sTip.empty() ? "" : "\n") + sLine;
        }
    }
    lblPC(n)->SetToolTipText(sTip);
}

void frmMain::OpenHostMenu(int n, bool atButton) {
    nSelectedHost = static_cast<std::int16_t>(n);
    mnuPC->SetAccessibleName(btn(n)->AccessibleName());
    if (atButton) {
        // Under the button, where the pointer would have opened it.
        PopupMenuAt(*mnuPC, nullptr, kButtonLeft,
                    static_cast<float>(kButtonTop + kBoardRowPitch * (n - 1) + kButtonHeight));
    } else {
        PopupMenu(*mnuPC, nullptr);
    }
}

void frmMain::btn_GotFocus(int /*Index*/) {
    // The host buttons never keep the focus; the menu opens on release anyway.
    cm1->SetFocus();
}

void frmMain::btn_MouseUp(int Index, int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/) {
    OpenHostMenu(Index, false);
}

std::optional<std::string> frmMain::SelectedAddress() const {
    if (nSelectedHost == 0) {
        return std::nullopt;
    }
    return lblPC(nSelectedHost)->Tag();
}

void frmMain::mnuExplore_Click() {
    const auto address = SelectedAddress();
    if (!address) {
        return;
    }
    std::string upper = *address;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.starts_with("WWW")) {
        Shell(sBrowserPath + " " + *address, SW_SHOWNORMAL);
    } else {
        Shell("explorer \\\\" + *address, SW_SHOWNORMAL);
    }
}

void frmMain::mnuShutdown_Click() {
    if (const auto address = SelectedAddress()) {
        Shell("shutdown -m \\\\" + *address + " -s -t 10 -f", SW_HIDE);
    }
}

void frmMain::mnuRestart_Click() {
    if (const auto address = SelectedAddress()) {
        Shell("shutdown -m \\\\" + *address + " -r -t 10 -f", SW_HIDE);
    }
}

void frmMain::mnuAbort_Click() {
    if (const auto address = SelectedAddress()) {
        Shell("shutdown -m \\\\" + *address + " -a", SW_HIDE);
    }
}

void frmMain::Image1_MouseDown(int /*Button*/, int /*Shift*/, float /*X*/, float /*Y*/) {
    ReleaseCapture();
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}
