#include "options/frmOpt.h"

#include "app/Conversions.h"
#include "app/frmMain.h"
#include "platform/qt/Capture.h"
#include "platform/qt/Twips.h"
#include "platform/settings_store.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

using namespace platform::qt;

namespace {

constexpr const char* kApp = "Netvigil";
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
    const auto value = CLng(platform::GetSetting(kApp, "Settings", key, std::to_string(fallback)));
    return value && *value >= 0 && *value <= 0xFFFFFF ? *value : fallback;
}

} // namespace

frmOpt::frmOpt(frmMain& main) : cdColor(this), m_main(main) {
    // Boxes of 285 twips take a smaller face than the heading.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(8.25);
    setFont(font);
    mnuSave = AddMenuBarItem("Save Options");
    mnuCancel = AddMenuBarItem("Cancel");
    mnuSave->Click = [this] { mnuSave_Click(); };
    mnuCancel->Click = [this] { mnuCancel_Click(); };

    for (int i = 1; i <= kSlots; ++i) {
        const int row = kRowPitch * (i - 1);
        chkPC(i) = new CheckBox(Client());
        PlaceTwips(chkPC(i), 720, 660 + row, 195, 195);
        chkPC(i)->SetToolTipText(kFlagTip);
        txtName(i) = new TextBox(Client());
        PlaceTwips(txtName(i), 1080, 600 + row, 1455, 285);
        txtName(i)->SetToolTipText(kNameTip);
        txtIP(i) = new TextBox(Client());
        PlaceTwips(txtIP(i), 3000, 600 + row, 1455, 285);
        txtIP(i)->SetToolTipText(i == 1 || i == 16 || i == 20 ? kShortAddressTip : kAddressTip);
    }
    Label1 = new Label(Client());
    PlaceTwips(Label1, 120, 120, 6195, 375);
    Label1->SetCaption("Enter PC Display Names and IP Addresses:");
    Label1->setFont(m_main.lblPC(1)->font());
    Line1 = new Line(Client());
    Line1->SetPoints(1040, 480, 2520, 480);
    Line2 = new Line(Client());
    Line2->SetPoints(3000, 480, 4320, 480);
    cmdBColor = new Button(Client());
    PlaceTwips(cmdBColor, 1080, 7920, 1455, 375);
    cmdBColor->setText("Back Color");
    cmdBColor->setAutoDefault(false);
    cmdTColor = new Button(Client());
    PlaceTwips(cmdTColor, 3000, 7920, 1455, 375);
    cmdTColor->setText("Text Color");
    cmdTColor->setAutoDefault(false);
    QObject::connect(cmdBColor, &QPushButton::clicked, [this] { cmdBColor_Click(); });
    QObject::connect(cmdTColor, &QPushButton::clicked, [this] { cmdTColor_Click(); });
    cdColor.SetDialogTitle("Select Background Color");
    Image1 = new Image(Client());
    PlaceTwips(Image1, 0, 0, 4695, 9015);
    Image1->MouseDown = [this](int, int, float, float) { Image1_MouseDown(); };
    SetFixedClientSize(4695, 8520);
}

void frmOpt::Form_Load() {
    Image1->ZOrder();
    for (int i = 1; i <= kSlots; ++i) {
        SetBackColor(StoredColor("Backcolor", frmMain::kDefaultBackColor));
        Label1->SetForeColor(StoredColor("TextColor", frmMain::kDefaultTextColor));
        Line1->SetBorderColor(StoredColor("TextColor", frmMain::kDefaultTextColor));
        Line2->SetBorderColor(StoredColor("TextColor", frmMain::kDefaultTextColor));
        const std::string slot = std::to_string(i);
        txtName(i)->SetText(platform::GetSetting(kApp, "Remote Hosts", "Host " + slot, ""));
        txtIP(i)->SetText(platform::GetSetting(kApp, "Remote Hosts", "IP Address " + slot, ""));
        // A flag that is no number shows unticked; its stored text stays until a save.
        const auto flag =
            CLng(platform::GetSetting(kApp, "Remote Hosts", "Display Balloon " + slot, "0"));
        chkPC(i)->SetValue(flag.value_or(0));
    }
    vOldBackColor = Variant::Long(BackColor());
    vOldTextColor = Variant::Long(Label1->ForeColor());
    // Only colours picked in this visit are saved: a pick ended by Cancel is gone.
    vNewBackColor = Variant();
    vNewTextColor = Variant();
}

void frmOpt::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    PlaceOverMain();
}

void frmOpt::PlaceOverMain() {
    const QRect over = m_main.frameGeometry();
    QRect place(QPoint(0, 0), frameGeometry().size());
    place.moveCenter(over.center());
    if (const QScreen* screen =
            m_main.screen() != nullptr ? m_main.screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), room.left(),
                                  std::max(room.left(), room.right() - place.width() + 1)));
        place.moveTop(std::clamp(place.top(), room.top(),
                                 std::max(room.top(), room.bottom() - place.height() + 1)));
    }
    move(place.topLeft());
}

void frmOpt::cmdBColor_Click() {
    cdColor.SetColor(BackColor());
    if (!cdColor.ShowColor()) {
        return;
    }
    SetBackColor(cdColor.Color());
    m_main.SetBackColor(cdColor.Color());
    vNewBackColor = Variant::Long(cdColor.Color());
}

void frmOpt::cmdTColor_Click() {
    cdColor.SetColor(Label1->ForeColor());
    if (!cdColor.ShowColor()) {
        return;
    }
    Label1->SetForeColor(cdColor.Color());
    Line1->SetBorderColor(cdColor.Color());
    Line2->SetBorderColor(cdColor.Color());
    for (int n = 1; n <= frmMain::kSlots; ++n) {
        m_main.lblPC(n)->SetForeColor(cdColor.Color());
    }
    vNewTextColor = Variant::Long(cdColor.Color());
}

void frmOpt::mnuSave_Click() {
    for (int i = 1; i <= kSlots; ++i) {
        const std::string slot = std::to_string(i);
        platform::SaveSetting(kApp, "Remote Hosts", "Host " + slot, txtName(i)->Text());
        platform::SaveSetting(kApp, "Remote Hosts", "IP Address " + slot, txtIP(i)->Text());
        platform::SaveSetting(kApp, "Remote Hosts", "Display Balloon " + slot,
                              std::to_string(chkPC(i)->Value()));
    }
    if (!vNewBackColor.IsEmpty()) {
        platform::SaveSetting(kApp, "Settings", "Backcolor", vNewBackColor.ToText());
    }
    if (!vNewTextColor.IsEmpty()) {
        platform::SaveSetting(kApp, "Settings", "Textcolor", vNewTextColor.ToText());
    }
    Hide();
    Unload();
}

void frmOpt::mnuCancel_Click() {
    std::int32_t color = 0;
    if (vOldBackColor.ToLong(&color)) {
        m_main.SetBackColor(color);
    }
    if (vOldTextColor.ToLong(&color)) {
        for (int n = 1; n <= frmMain::kSlots; ++n) {
            m_main.lblPC(n)->SetForeColor(color);
        }
    }
    Hide();
    Unload();
}

void frmOpt::Image1_MouseDown() {
    ReleaseCapture();
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}
