#pragma once

// The options window: the 20 host slots (name, address, notice flag) and the
// board's two colours, previewed on the board as they are picked.

#include "options/BoardPreview.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/CommonDialog.h"
#include "platform/gui/ControlArray.h"
#include "platform/gui/Form.h"
#include "platform/gui/Image.h"
#include "platform/gui/Label.h"
#include "platform/gui/Line.h"
#include "platform/gui/TextBox.h"
#include "platform/win32_types.h"
#include "registry/Variant.h"
#include "settings/Settings.h"

class frmOpt : public platform::Form {
public:
    explicit frmOpt(IBoardPreview& board);

    platform::ControlArray<platform::CheckBox*, settings::kSlots> chkPC;
    platform::ControlArray<platform::TextBox*, settings::kSlots> txtName;
    platform::ControlArray<platform::TextBox*, settings::kSlots> txtIP;
    platform::Label* Label1;
    platform::Line* Line1;
    platform::Line* Line2;
    platform::Button* cmdBColor;
    platform::Button* cmdTColor;
    platform::CommonDialog cdColor;
    platform::Image* Image1;
    platform::MenuItem* mnuSave;
    platform::MenuItem* mnuCancel;

    void cmdBColor_Click();
    void cmdTColor_Click();
    void mnuSave_Click();
    void mnuCancel_Click();

protected:
    // Reads the store into the window as it opens.
    void Form_Load() override;

private:
    // Esc cancels and Ctrl+S saves, as the menu bar's commands.
    void Form_KeyDown(int& KeyCode, int Shift);
    // Writes the slots and the colours picked; when a write fails, its error,
    // and the store as it was before.
    platform::LONG SaveToStore();
    void Image1_MouseDown();

    IBoardPreview& m_board;
    Variant vNewBackColor;
    Variant vNewTextColor;
    Variant vOldBackColor;
    Variant vOldTextColor;
};
