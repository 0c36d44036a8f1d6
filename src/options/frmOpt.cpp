#include "options/frmOpt.h"

#include "platform/error_text.h"
#include "platform/gui/Capture.h"
#include "platform/gui/MenuItem.h"
#include "platform/message_box.h"
#include "platform/settings_store.h"
#include "platform/user_registry.h"
#include "settings/BoardFont.h"
#include "settings/CLng.h"

using namespace platform;
using namespace settings;

namespace {

constexpr int kRowPitch = 360;
constexpr const char* kNameTip = "Enter in the name you want to associate with the host - it "
                                 "doesn't need to be the UNC name of the host.";
constexpr const char* kShortAddressTip =
    "Enter in the IP Address, URL Address, or UNC name of the host you want to Ping. Note that "
    "some web hosts "
    "may not respond quickly enough to the Ping to be displayed correctly.";
constexpr const char* kAddressTip = "Enter in the IP Address, URL Address, or UNC name of the host "
                                    "you want to Ping. For best results use an IP "
                                    "Address if known. Note that some web hosts may not respond "
                                    "quickly enough to the Ping Packet to be "
                                    "displayed correctly.";
constexpr const char* kFlagTip =
    "Tick this box to be alerted when this host goes online or offline while Netvigil is hidden.";

// A colour the store holds, or the default when it holds none that is one.
std::int32_t StoredColor(const char* key, std::int32_t fallback) {
    return ColorFromText(GetSetting(kAppName, kSettings, key, std::to_string(fallback)))
        .value_or(fallback);
}

} // namespace

frmOpt::frmOpt(IBoardPreview& board) : cdColor(*this), m_board(board) {
    // Boxes of 285 twips take a smaller face than the heading.
    SetFont(Font{"", 8.25});
    mnuSave = AddMenuBarItem("Save Options");
    mnuCancel = AddMenuBarItem("Cancel");
    mnuSave->Click = [this] { mnuSave_Click(); };
    mnuCancel->Click = [this] { mnuCancel_Click(); };

    // Made in the order Tab walks them: name, address and alert box, row by
    // row, then the colour buttons.
    for (int i = 1; i <= kSlots; ++i) {
        const int row = kRowPitch * (i - 1);
        const std::string host = " host " + std::to_string(i);
        txtName(i) = new TextBox(*this);
        txtName(i)->Move(1080, 600 + row, 1455, 285);
        txtName(i)->SetToolTipText(kNameTip);
        txtName(i)->SetAccessibleName("Name of" + host);
        txtIP(i) = new TextBox(*this);
        txtIP(i)->Move(3000, 600 + row, 1455, 285);
        txtIP(i)->SetToolTipText(i == 1 || i == 16 || i == 20 ? kShortAddressTip : kAddressTip);
        txtIP(i)->SetAccessibleName("Address of" + host);
        chkPC(i) = new CheckBox(*this);
        chkPC(i)->Move(720, 660 + row, 195, 195);
        chkPC(i)->SetToolTipText(kFlagTip);
        chkPC(i)->SetAccessibleName("Alert for" + host);
    }
    Label1 = new Label(*this);
    Label1->Move(120, 120, 6195, 375);
    Label1->SetCaption("Enter PC Display Names and IP Addresses:");
    Label1->SetFont(BoardFont());
    Line1 = new Line(*this);
    Line1->SetPoints(1040, 480, 2520, 480);
    Line2 = new Line(*this);
    Line2->SetPoints(3000, 480, 4320, 480);
    cmdBColor = new Button(*this);
    cmdBColor->Move(1080, 7920, 1455, 375);
    cmdBColor->SetCaption("Back Color");
    cmdTColor = new Button(*this);
    cmdTColor->Move(3000, 7920, 1455, 375);
    cmdTColor->SetCaption("Text Color");
    cmdBColor->Click = [this] { cmdBColor_Click(); };
    cmdTColor->Click = [this] { cmdTColor_Click(); };
    Image1 = new Image(*this);
    Image1->Move(0, 0, 4695, 9015);
    Image1->MouseDown = [this](int, int, float, float) { Image1_MouseDown(); };
    SetFixedClientSize(4695, 8520);
    SetAccessibleName("Netvigil Options");
    KeyDown = [this](int& KeyCode, int Shift) { Form_KeyDown(KeyCode, Shift); };
    // Each time it opens: over the main window, and wholly on its screen.
    SetStartUpPosition(vbStartUpOwner);
}

void frmOpt::Form_Load() {
    Image1->ZOrder();
    for (int i = 1; i <= kSlots; ++i) {
        SetBackColor(StoredColor(kBackcolor, kDefaultBackColor));
        Label1->SetForeColor(StoredColor(kTextColorAsRead, kDefaultTextColor));
        Line1->SetBorderColor(StoredColor(kTextColorAsRead, kDefaultTextColor));
        Line2->SetBorderColor(StoredColor(kTextColorAsRead, kDefaultTextColor));
        txtName(i)->SetText(GetSetting(kAppName, kRemoteHosts, HostKey(i), ""));
        txtIP(i)->SetText(GetSetting(kAppName, kRemoteHosts, AddressKey(i), ""));
        // A flag that is no number shows unticked; its stored text stays until a save.
        const auto flag = CLng(GetSetting(kAppName, kRemoteHosts, BalloonKey(i), "0"));
        chkPC(i)->SetValue(flag.value_or(0));
    }
    vOldBackColor = Variant::Long(BackColor());
    vOldTextColor = Variant::Long(Label1->ForeColor());
    // Only colours picked in this visit are saved: a pick ended by Cancel is gone.
    vNewBackColor = Variant();
    vNewTextColor = Variant();
}

void frmOpt::cmdBColor_Click() {
    cdColor.SetDialogTitle("Select Background Color");
    cdColor.SetColor(BackColor());
    if (!cdColor.ShowColor()) {
        return;
    }
    SetBackColor(cdColor.Color());
    m_board.SetBoardBackColor(cdColor.Color());
    vNewBackColor = Variant::Long(cdColor.Color());
}

void frmOpt::cmdTColor_Click() {
    // Not the background's title, which the dialog was once given for both.
    cdColor.SetDialogTitle("Select Text Color");
    cdColor.SetColor(Label1->ForeColor());
    if (!cdColor.ShowColor()) {
        return;
    }
    Label1->SetForeColor(cdColor.Color());
    Line1->SetBorderColor(cdColor.Color());
    Line2->SetBorderColor(cdColor.Color());
    m_board.SetNameForeColor(cdColor.Color());
    vNewTextColor = Variant::Long(cdColor.Color());
}

void frmOpt::mnuSave_Click() {
    if (const LONG status = SaveToStore(); status != ERROR_SUCCESS) {
        // Everything typed stays in the window, to be saved again or cancelled.
        const std::string sText = "The options could not be saved: " + ErrorText(status);
        MessageBox(hWnd(), sText.c_str(), "Netvigil", MB_OK | MB_ICONERROR);
        return;
    }
    Hide();
    Unload();
}

LONG frmOpt::SaveToStore() {
    // One change, whole or not at all: a write that fails takes back those
    // before it, so the store never holds a host's new name at its old
    // address, or half of a new set of slots.
    UserRegistryTransaction transaction;
    LONG status = transaction.Status();
    const auto save = [&status](const char* section, const std::string& key,
                                const std::string& value) {
        if (status == ERROR_SUCCESS) {
            status = SaveSetting(kAppName, section, key, value);
        }
    };
    for (int i = 1; i <= kSlots; ++i) {
        save(kRemoteHosts, HostKey(i), txtName(i)->Text());
        save(kRemoteHosts, AddressKey(i), txtIP(i)->Text());
        save(kRemoteHosts, BalloonKey(i), std::to_string(chkPC(i)->Value()));
    }
    if (!vNewBackColor.IsEmpty()) {
        save(kSettings, kBackcolor, vNewBackColor.ToText());
    }
    if (!vNewTextColor.IsEmpty()) {
        save(kSettings, kTextcolor, vNewTextColor.ToText());
    }
    return status == ERROR_SUCCESS ? transaction.Commit() : status;
}

void frmOpt::mnuCancel_Click() {
    std::int32_t color = 0;
    if (vOldBackColor.ToLong(&color)) {
        m_board.SetBoardBackColor(color);
    }
    if (vOldTextColor.ToLong(&color)) {
        m_board.SetNameForeColor(color);
    }
    Hide();
    Unload();
}

void frmOpt::Form_KeyDown(int& KeyCode, int Shift) {
    if (KeyCode == vbKeyEscape && Shift == 0) {
        KeyCode = 0;
        mnuCancel_Click();
    } else if (KeyCode == 'S' && Shift == vbCtrlMask) {
        KeyCode = 0;
        mnuSave_Click();
    }
}

void frmOpt::Image1_MouseDown() {
    ReleaseCapture();
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}
