#pragma once

// The options window: the 20 host slots (name, address, notice flag) and the
// board's two colours, previewed on the main window as they are picked.

#include "platform/qt/Button.h"
#include "platform/qt/CheckBox.h"
#include "platform/qt/CommonDialog.h"
#include "platform/qt/ControlArray.h"
#include "platform/qt/Form.h"
#include "platform/qt/Image.h"
#include "platform/qt/Label.h"
#include "platform/qt/Line.h"
#include "platform/qt/TextBox.h"
#include "registry/Variant.h"

class frmMain;

class frmOpt : public platform::qt::Form {
public:
    static constexpr int kSlots = 20;

    explicit frmOpt(frmMain& main);

    platform::qt::ControlArray<platform::qt::CheckBox*, kSlots> chkPC;
    platform::qt::ControlArray<platform::qt::TextBox*, kSlots> txtName;
    platform::qt::ControlArray<platform::qt::TextBox*, kSlots> txtIP;
    platform::qt::Label* Label1;
    platform::qt::Line* Line1;
    platform::qt::Line* Line2;
    platform::qt::Button* cmdBColor;
    platform::qt::Button* cmdTColor;
    platform::qt::CommonDialog cdColor;
    platform::qt::Image* Image1;
    platform::qt::MenuItem* mnuSave;
    platform::qt::MenuItem* mnuCancel;

    void cmdBColor_Click();
    void cmdTColor_Click();
    void mnuSave_Click();
    void mnuCancel_Click();

protected:
    // Reads the store into the window as it opens.
    void Form_Load() override;
    // Each time it opens: over the main window, and wholly on its screen.
    void showEvent(QShowEvent* event) override;

private:
    void Image1_MouseDown();
    void PlaceOverMain();

    frmMain& m_main;
    Variant vNewBackColor;
    Variant vNewTextColor;
    Variant vOldBackColor;
    Variant vOldTextColor;
};
