// The options window: what it reads, previews, saves and cancels.

#include "app/frmMain.h"
#include "options/frmOpt.h"
#include "platform/fake/fake_registry.h"
#include "platform/gui/App.h"
#include "platform/gui/MenuItem.h"
#include "platform/gui/Twips.h"
#include "platform/message_box.h"
#include "platform/qt/Twips.h"
#include "platform/qt/Widgets.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "settings/Settings.h"
#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

using namespace platform;
using namespace platform::qt;

namespace {

std::string Stored(const std::string& section, const std::string& key) {
    return GetSetting(settings::kAppName, section, key, "<absent>");
}

// A key pressed where the keyboard's focus is in the window.
void Press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = window->focusWidget() != nullptr ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(focus, &press);
}

class Options : public ::testing::Test {
protected:
    void SetUp() override {
        fake::ResetRegistry();
        CommonDialog::SetChooser(nullptr);
        m_main = new frmMain;
        m_main->LoadSettings();
    }
    void TearDown() override {
        CommonDialog::SetChooser(nullptr);
        if (frmOpt* alive = m_alive.data(); alive != nullptr && !alive->Unloaded()) {
            alive->Unload();
        }
        m_main->Unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the window as the main window does, lets the test act in it
    // while it is shown modally, and returns after it has closed.
    void Visit(const std::function<void(frmOpt&)>& act) {
        auto* options = new frmOpt(*m_main);
        m_alive = options;
        QTimer::singleShot(0, WindowOf(options), [options, act] { act(*options); });
        options->ShowModal(m_main);
        m_main->LoadSettings();
    }
    // The colour dialog answers with this pick, or Cancel for nothing.
    static void Pick(std::optional<std::int32_t> color) {
        CommonDialog::SetChooser([color](std::int32_t, const std::string&) { return color; });
    }

    frmMain* m_main = nullptr;
    FormPointer<frmOpt> m_alive;
};

TEST_F(Options, LaysOutItsRowsAndTexts) {
    Visit([](frmOpt& w) {
        for (const int i : {1, 2, 20}) {
            const int row = 360 * (i - 1);
            EXPECT_EQ(WidgetOf(w.chkPC(i))->geometry(),
                      QRect(PixelsX(720), PixelsY(660 + row), PixelsX(195), PixelsY(195)));
            EXPECT_EQ(WidgetOf(w.txtName(i))->geometry(),
                      QRect(PixelsX(1080), PixelsY(600 + row), PixelsX(1455), PixelsY(285)));
            EXPECT_EQ(WidgetOf(w.txtIP(i))->geometry(),
                      QRect(PixelsX(3000), PixelsY(600 + row), PixelsX(1455), PixelsY(285)));
        }
        EXPECT_EQ(w.Label1->Caption(), "Enter PC Display Names and IP Addresses:");
        EXPECT_EQ(w.cmdBColor->Caption(), "Back Color");
        EXPECT_EQ(w.cmdTColor->Caption(), "Text Color");
        EXPECT_EQ(w.mnuSave->Caption(), "Save Options");
        EXPECT_EQ(w.mnuCancel->Caption(), "Cancel");
        const std::string shortTip = w.txtIP(1)->ToolTipText();
        EXPECT_TRUE(shortTip.find("to be displayed correctly") != std::string::npos &&
                    shortTip.find("For best results") == std::string::npos);
        EXPECT_NE(w.txtIP(2)->ToolTipText().find("For best results use an IP Address if known."),
                  std::string::npos);
        EXPECT_EQ(w.txtIP(16)->ToolTipText(), w.txtIP(20)->ToolTipText());
        EXPECT_EQ(w.txtIP(16)->ToolTipText(), shortTip);
        EXPECT_TRUE(w.chkPC(5)->ToolTipText().starts_with("Tick this box"));
        EXPECT_EQ(ClientOf(&w)->height(), PixelsY(8520));
        // Every box keeps a line of its text inside its height.
        const QLineEdit* box = WidgetOf(w.txtName(1));
        EXPECT_LE(QFontMetrics(box->font()).height() + 4, box->height());
        w.mnuCancel->Click();
    });
}

TEST_F(Options, EmptyStoreOpensBlankAndFirstSaveWritesEverySlot) {
    Visit([](frmOpt& w) {
        for (int i = 1; i <= 20; ++i) {
            EXPECT_EQ(w.txtName(i)->Text(), "");
            EXPECT_EQ(w.txtIP(i)->Text(), "");
            EXPECT_EQ(w.chkPC(i)->Value(), 0);
        }
        EXPECT_EQ(w.BackColor(), 128);
        EXPECT_EQ(w.Label1->ForeColor(), 16777215);
        EXPECT_EQ(w.Line1->BorderColor(), 16777215);
        w.mnuSave->Click();
    });
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(Stored("Remote Hosts", "Host " + std::to_string(i)), "");
        EXPECT_EQ(Stored("Remote Hosts", "IP Address " + std::to_string(i)), "");
        EXPECT_EQ(Stored("Remote Hosts", "Display Balloon " + std::to_string(i)), "0");
    }
    EXPECT_EQ(Stored("Settings", "Backcolor"), "<absent>");
    EXPECT_EQ(Stored("Settings", "Textcolor"), "<absent>");
    // The board now has no names: one row.
    EXPECT_EQ(m_main->Height(), 810);
    const frmOpt* alive = m_alive.data();
    EXPECT_TRUE(alive == nullptr || alive->Unloaded());
}

TEST_F(Options, SavesWhatWasTypedExactly) {
    Visit([](frmOpt& w) {
        w.txtName(1)->SetText("  Grüße Router ");
        w.txtIP(1)->SetText(" 192.168.1.1");
        w.chkPC(1)->SetValue(1);
        w.txtName(3)->SetText("Printer");
        w.mnuSave->Click();
    });
    EXPECT_EQ(Stored("Remote Hosts", "Host 1"), "  Grüße Router ");
    EXPECT_EQ(Stored("Remote Hosts", "IP Address 1"), " 192.168.1.1");
    EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 1"), "1");
    EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 2"), "0");
    EXPECT_EQ(m_main->lblPC(3)->Caption(), "Printer");
    EXPECT_EQ(m_main->Height(), 570 + 240 * 3);
    // And reads it back next time.
    Visit([](frmOpt& w) {
        EXPECT_EQ(w.txtName(1)->Text(), "  Grüße Router ");
        EXPECT_EQ(w.chkPC(1)->Value(), 1);
        w.mnuCancel->Click();
    });
}

// A save the store refuses, part way through or at its end: a message names
// the cause in the store's words, the window stays open with everything
// typed, and the store holds what it held before, none of it half new.
TEST_F(Options, AFailingSaveSaysWhyAndKeepsTheWindowAndTheStore) {
    Visit([](frmOpt& w) {
        w.txtName(1)->SetText("router");
        w.txtIP(1)->SetText("10.0.0.1");
        w.mnuSave->Click();
    });
    std::vector<std::string> messages;
    SetMessageBoxHandler(
        [&messages](HWND, const std::string& text, const std::string& caption, UINT uType) {
            EXPECT_EQ(caption, "Netvigil");
            EXPECT_NE(uType & MB_ICONERROR, 0u);
            messages.push_back(text);
            return IDOK;
        });
    const auto type = [](frmOpt& w) {
        for (int i = 1; i <= 20; ++i) {
            w.txtName(i)->SetText("host " + std::to_string(i));
            w.txtIP(i)->SetText("10.1.0." + std::to_string(i));
        }
        w.chkPC(5)->SetValue(1);
        Pick(255);
        w.cmdBColor->Click();
    };
    const std::string full =
        "The options could not be saved: There is not enough space on the disk.";
    // Room for 30 of the 60 slot values; none written to a store that is
    // read-only; all of them (the 60, the colour and its key), but not the
    // commit that keeps them.
    for (const auto& [refuse, text] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[] { fake::LimitWrites(30); }, full},
             {[] { fake::SetReadOnlyRoot(HKEY_CURRENT_USER, true); },
              "The options could not be saved: Access is denied."},
             {[] { fake::LimitWrites(62); }, full}}) {
        messages.clear();
        refuse();
        const std::string said = text;
        Visit([&](frmOpt& w) {
            type(w);
            Press(WindowOf(&w), Qt::Key_S, Qt::ControlModifier);
            EXPECT_EQ(messages, std::vector<std::string>{said});
            EXPECT_FALSE(w.Unloaded());
            EXPECT_TRUE(WindowOf(&w)->isVisible());
            EXPECT_EQ(w.txtName(20)->Text(), "host 20");
            EXPECT_EQ(w.txtIP(7)->Text(), "10.1.0.7");
            EXPECT_EQ(w.chkPC(5)->Value(), 1);
            w.mnuCancel->Click();
        });
        fake::LimitWrites(std::nullopt);
        fake::SetReadOnlyRoot(HKEY_CURRENT_USER, false);
        EXPECT_EQ(Stored("Remote Hosts", "Host 1"), "router");
        EXPECT_EQ(Stored("Remote Hosts", "IP Address 1"), "10.0.0.1");
        EXPECT_EQ(Stored("Remote Hosts", "Host 2"), "");
        EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 5"), "0");
        EXPECT_EQ(Stored("Settings", "Backcolor"), "<absent>");
        EXPECT_EQ(m_main->lblPC(1)->Caption(), "router");
        EXPECT_EQ(m_main->BackColor(), 128);
    }

    // Saved again once the store has room, what was typed is kept whole.
    messages.clear();
    fake::LimitWrites(0);
    Visit([&](frmOpt& w) {
        type(w);
        w.mnuSave->Click();
        EXPECT_EQ(messages.size(), 1u);
        fake::LimitWrites(std::nullopt);
        w.mnuSave->Click();
    });
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Stored("Remote Hosts", "Host 20"), "host 20");
    EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 5"), "1");
    EXPECT_EQ(Stored("Settings", "Backcolor"), "255");
    EXPECT_EQ(m_main->lblPC(20)->Caption(), "host 20");
    SetMessageBoxHandler(nullptr);
}

TEST_F(Options, ColoursPreviewOnTheBoardAndCancelPutsThemBack) {
    Visit([this](frmOpt& w) {
        Pick(255);
        WidgetOf(w.cmdBColor)->click();
        EXPECT_EQ(w.BackColor(), 255);
        EXPECT_EQ(m_main->BackColor(), 255);
        Pick(65280);
        WidgetOf(w.cmdTColor)->click();
        EXPECT_EQ(w.Label1->ForeColor(), 65280);
        EXPECT_EQ(w.Line2->BorderColor(), 65280);
        EXPECT_EQ(m_main->lblPC(20)->ForeColor(), 65280);
        EXPECT_NE(WidgetOf(w.txtName(1))->palette().color(QPalette::Text), FromBgr(65280));
        // A cancelled dialog changes nothing.
        Pick(std::nullopt);
        WidgetOf(w.cmdBColor)->click();
        EXPECT_EQ(w.BackColor(), 255);
        w.mnuCancel->Click();
        EXPECT_EQ(m_main->BackColor(), 128);
        EXPECT_EQ(m_main->lblPC(1)->ForeColor(), 16777215);
    });
    EXPECT_EQ(Stored("Settings", "Backcolor"), "<absent>");
    EXPECT_EQ(Stored("Remote Hosts", "Host 1"), "<absent>");

    // A pick cancelled in one visit is not saved by the next.
    Visit([](frmOpt& w) { w.mnuSave->Click(); });
    EXPECT_EQ(Stored("Settings", "Backcolor"), "<absent>");
    EXPECT_EQ(Stored("Settings", "Textcolor"), "<absent>");

    Visit([](frmOpt& w) {
        Pick(8421504);
        WidgetOf(w.cmdTColor)->click();
        w.mnuSave->Click();
    });
    EXPECT_EQ(Stored("Settings", "Textcolor"), "8421504");
    EXPECT_EQ(Stored("Settings", "Backcolor"), "<absent>");
    EXPECT_EQ(m_main->lblPC(1)->ForeColor(), 8421504);
}

TEST_F(Options, EachColourButtonTitlesItsDialog) {
    std::vector<std::string> titles;
    CommonDialog::SetChooser([&titles](std::int32_t, const std::string& title) {
        titles.push_back(title);
        return std::optional<std::int32_t>();
    });
    Visit([](frmOpt& w) {
        WidgetOf(w.cmdTColor)->click();
        WidgetOf(w.cmdBColor)->click();
        WidgetOf(w.cmdTColor)->click();
        w.mnuCancel->Click();
    });
    EXPECT_EQ(titles, (std::vector<std::string>{"Select Text Color", "Select Background Color",
                                                "Select Text Color"}));
}

TEST_F(Options, ABadNoticeFlagShowsUntickedAndSurvivesCancel) {
    SaveSetting(settings::kAppName, "Remote Hosts", "Display Balloon 4", "yes");
    Visit([](frmOpt& w) {
        EXPECT_EQ(w.chkPC(4)->Value(), 0);
        w.mnuCancel->Click();
    });
    EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 4"), "yes");
    Visit([](frmOpt& w) { w.mnuSave->Click(); });
    EXPECT_EQ(Stored("Remote Hosts", "Display Balloon 4"), "0");
}

TEST_F(Options, BoxesTakeClicksAboveTheDragSurface) {
    Visit([](frmOpt& w) {
        for (QWidget* box :
             std::initializer_list<QWidget*>{WidgetOf(w.txtName(1)), WidgetOf(w.txtIP(20)),
                                             WidgetOf(w.chkPC(7)), WidgetOf(w.cmdBColor)}) {
            QWidget* at = ClientOf(&w)->childAt(box->geometry().center());
            EXPECT_EQ(at, box) << box->metaObject()->className() << " under "
                               << (at ? at->metaObject()->className() : "nothing");
        }
        EXPECT_EQ(ClientOf(&w)->childAt(QPoint(3, 200)), WidgetOf(w.Image1));
        w.mnuCancel->Click();
    });
}

TEST_F(Options, OpensOverTheMainWindowOnScreen) {
    m_main->Show();
    WindowOf(m_main)->move(5000, 5000); // far off: the options window still lands on the screen
    Visit([](frmOpt& w) {
        const QMainWindow* window = WindowOf(&w);
        const QRect screen = window->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(window->frameGeometry()))
            << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
            << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " in "
            << screen.width() << "x" << screen.height();
        w.mnuCancel->Click();
    });
    WindowOf(m_main)->move(100, 100);
    Visit([this](frmOpt& w) {
        EXPECT_TRUE(WindowOf(&w)->frameGeometry().intersects(WindowOf(m_main)->frameGeometry()));
        w.mnuCancel->Click();
    });
}

// At 150% on a 1280x800 screen the window is taller than the screen: it fits
// in, its rows scroll, and the menu bar and the colour buttons stay within
// reach. Screen and scale belong to the process, so the test runs itself
// again with them.
TEST_F(Options, FitsA1280By800ScreenAt150Percent) {
    if (std::getenv("NETVIGIL_SMALL_SCREEN") == nullptr) {
        const testing_support::TempDir dir;
        testing_support::WriteFileBytes(
            dir / "screen.json", R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280,
                                   "height": 800, "logicalDpi": 96, "dpr": 1}]})");
        const auto run = testing_support::RunProgram(
            "/proc/self/exe", {"--gtest_filter=Options.FitsA1280By800ScreenAt150Percent"},
            {{"NETVIGIL_SMALL_SCREEN", "1"},
             {"QT_QPA_PLATFORM", "offscreen:configfile=" + dir / "screen.json"},
             {"QT_SCALE_FACTOR", "1.5"}});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        return;
    }
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size(), QSize(853, 533));
    Visit([](frmOpt& w) {
        QMainWindow* window = WindowOf(&w);
        const QRect room = window->screen()->availableGeometry();
        EXPECT_TRUE(room.contains(window->frameGeometry()))
            << window->frameGeometry().height() << " high in " << room.height();
        auto* scroller = window->findChild<QScrollArea*>();
        ASSERT_NE(scroller, nullptr);
        const QRect seen(scroller->viewport()->mapTo(window, QPoint(0, 0)),
                         scroller->viewport()->size());
        EXPECT_LE(window->menuWidget()->geometry().bottom(), seen.top());
        const auto inReach = [&](const QWidget* reach) {
            return seen.contains(QRect(reach->mapTo(window, QPoint(0, 0)), reach->size()));
        };
        EXPECT_TRUE(inReach(WidgetOf(w.txtName(1))));
        EXPECT_FALSE(inReach(WidgetOf(w.cmdBColor)));
        // Scrolled to its end, the last row and both colour buttons show whole.
        scroller->verticalScrollBar()->setValue(scroller->verticalScrollBar()->maximum());
        for (const QWidget* reach :
             std::initializer_list<const QWidget*>{WidgetOf(w.chkPC(20)), WidgetOf(w.txtIP(20)),
                                                   WidgetOf(w.cmdBColor), WidgetOf(w.cmdTColor)}) {
            EXPECT_TRUE(inReach(reach)) << reach->metaObject()->className() << " out of reach";
        }
        w.mnuCancel->Click();
    });
}

TEST_F(Options, EscCancelsCtrlSSavesAndTabWalksEachRow) {
    Visit([](frmOpt& w) {
        QMainWindow* window = WindowOf(&w);
        WidgetOf(w.txtName(3))->setFocus();
        for (QWidget* next : std::initializer_list<QWidget*>{
                 WidgetOf(w.txtIP(3)), WidgetOf(w.chkPC(3)), WidgetOf(w.txtName(4))}) {
            Press(window, Qt::Key_Tab);
            EXPECT_EQ(window->focusWidget(), next);
        }
        WidgetOf(w.chkPC(20))->setFocus();
        Press(window, Qt::Key_Tab);
        EXPECT_EQ(window->focusWidget(), WidgetOf(w.cmdBColor));
        w.txtName(3)->SetText("Typed");
        Press(window, Qt::Key_Escape);
    });
    EXPECT_TRUE(m_alive.isNull() || m_alive->Unloaded());
    EXPECT_EQ(Stored("Remote Hosts", "Host 3"), "<absent>");
    Visit([](frmOpt& w) {
        w.txtName(3)->SetText("Typed");
        Press(WindowOf(&w), Qt::Key_S, Qt::ControlModifier);
    });
    EXPECT_EQ(Stored("Remote Hosts", "Host 3"), "Typed");
}

TEST_F(Options, TheFocusShowsOnAnyBackground) {
    Visit([](frmOpt& w) {
        QMainWindow* window = WindowOf(&w);
        QApplication::setActiveWindow(window);
        WidgetOf(w.chkPC(2))->setFocus();
        const QRect box = WidgetOf(w.chkPC(2))->geometry();
        for (const std::int32_t back : {0x000000, 0xFFFFFF, 0x808080, 128}) {
            w.SetBackColor(back);
            // The row just above the box, where the mark's ring runs.
            const QImage shot = ClientOf(&w)->grab().toImage();
            bool dark = false;
            bool light = false;
            for (int x = box.left(); x <= box.right(); ++x) {
                const int grey = qGray(shot.pixel(x, box.top() - 2));
                dark = dark || grey < 40;
                light = light || grey > 215;
            }
            EXPECT_TRUE(dark && light) << "on " << back;
        }
        w.mnuCancel->Click();
    });
}

TEST_F(Options, ScreenReadersHearEachRowAndTheWindow) {
    Visit([](frmOpt& w) {
        const auto said = [](QObject* object, QAccessible::Role role) {
            const QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
            EXPECT_EQ(iface->role(), role);
            return iface->text(QAccessible::Name).toStdString();
        };
        EXPECT_EQ(said(WidgetOf(w.txtName(7)), QAccessible::EditableText), "Name of host 7");
        EXPECT_EQ(said(WidgetOf(w.txtIP(7)), QAccessible::EditableText), "Address of host 7");
        EXPECT_EQ(said(WidgetOf(w.chkPC(7)), QAccessible::CheckBox), "Alert for host 7");
        EXPECT_EQ(said(WidgetOf(w.cmdTColor), QAccessible::PushButton), "Text Color");
        EXPECT_EQ(said(WindowOf(&w), QAccessible::Window), "Netvigil Options");
        w.mnuCancel->Click();
    });
}

TEST_F(Options, TheColourDialogAnswersEnterAndEsc) {
    Visit([](frmOpt& w) {
        for (const int key : {Qt::Key_Escape, Qt::Key_Return}) {
            QTimer::singleShot(0, [key] {
                QWidget* dialog = QApplication::activeModalWidget();
                ASSERT_NE(qobject_cast<QColorDialog*>(dialog), nullptr);
                Press(dialog, key);
            });
            w.cdColor.SetColor(128);
            EXPECT_EQ(w.cdColor.ShowColor(), key == Qt::Key_Return);
            EXPECT_EQ(w.cdColor.Color(), 128);
        }
        w.mnuCancel->Click();
    });
}

} // namespace
