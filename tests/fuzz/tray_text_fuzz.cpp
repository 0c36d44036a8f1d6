// The tray record's text fields: tooltip, balloon title and message, any
// bytes at all, sent with each record size. What the shell reads of a field is
// whole UTF-8 characters up to its terminator (a cut never splits one), and
// each text comes back as the class's rules make it: the text, a byte that
// begins no character as U+FFFD, cut at its first NUL and to whole
// characters within the field.

#include "fuzz_support.h"
#include "platform/fake/fake_shell.h"
#include "tray/clsSysTray.h"

using fuzz_support::Expect;
using fuzz_support::Printable;
using namespace platform;

namespace {

class Window : public IWindow {
public:
    HWND hWnd() const override { return 0x4242; }
    int ScaleMode() const override { return 3; }
    double TwipsPerPixelX() const override { return 15.0; }
    void SetWindowState(int) override {}
    void Show() override {}
    bool Visible() const override { return true; }
    void PopupMenu(IMenu&, IMenuItem*) override {}
    void PopupMenuAt(IMenu&, IMenuItem*, float, float) override {}
    void SubscribeMouseMove(MouseHandler handler) override { mouseMove = std::move(handler); }

    MouseHandler mouseMove;
};

// The length of the well-formed UTF-8 character at i, 0 where none starts.
std::size_t CharacterAt(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const auto at = [&](std::size_t k) {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
    };
    const auto in = [](unsigned v, unsigned low, unsigned high) { return v >= low && v <= high; };
    if (c < 0x80) {
        return 1;
    }
    if (in(c, 0xC2, 0xDF)) {
        return in(at(1), 0x80, 0xBF) ? 2 : 0;
    }
    if (in(c, 0xE0, 0xEF)) {
        const unsigned low = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = c == 0xED ? 0x9F : 0xBF;
        return in(at(1), low, high) && in(at(2), 0x80, 0xBF) ? 3 : 0;
    }
    if (in(c, 0xF0, 0xF4)) {
        const unsigned low = c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = c == 0xF4 ? 0x8F : 0xBF;
        return in(at(1), low, high) && in(at(2), 0x80, 0xBF) && in(at(3), 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// The characters of a text: each well-formed one as it is, each other byte
// as U+FFFD.
std::vector<std::string> Characters(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = CharacterAt(text, i);
        out.emplace_back(n == 0 ? "\xEF\xBF\xBD" : text.substr(i, n));
        i += n == 0 ? 1 : n;
    }
    return out;
}

// What a field of the given width holds of a text when `readable` bytes of
// it are read: its characters up to the first NUL, as many whole ones as fit
// in the width (in characters) and in the bytes read.
std::string Kept(const std::string& text, std::size_t width, std::size_t readable) {
    std::string kept;
    std::size_t count = 0;
    for (const std::string& c : Characters(text)) {
        if (c == std::string(1, '\0') || count == width || kept.size() + c.size() > readable) {
            break;
        }
        kept += c;
        ++count;
    }
    return kept;
}

// A field the terminator did not fit into ends in the blanks that fill it.
bool Holds(const std::string& sent, const std::string& kept) {
    return sent.starts_with(kept) && sent.find_first_not_of(' ', kept.size()) == std::string::npos;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The field's bytes as the shell reads them: well-formed up to the first NUL.
std::string ReadField(const char* field, std::size_t readable, const char* what) {
    const std::string_view bytes(field, readable);
    const std::string text(bytes.substr(0, bytes.find('\0')));
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = CharacterAt(text, i);
        Expect(n != 0, what, Printable(text));
        i += n;
    }
    return text;
}

} // namespace

// The input: the shell's version (4, 5 or 6, by the first byte), the
// tooltip, the balloon's title, then its message.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::Reader input(data, size);
    const int version = 4 + input.Number<std::uint8_t>() % 3;
    const std::string tip = input.Text();
    const std::string title = input.Text();
    const std::string message = input.Rest();

    fake::ShellRequests().clear();
    fake::SetShellVersion(static_cast<WORD>(version));
    Window window;
    clsSysTray tray;
    std::vector<std::string> clicked;
    tray.OnBalloonClick = [&](const std::string& t, const std::string& m) { clicked = {t, m}; };
    tray.AttachForm(&window, nullptr, nullptr);
    tray.AddIconToTray(7, tip, 0);
    tray.ShowBalloon(title, message, 1, 10, 0);
    window.mouseMove(0, 0, static_cast<float>(NIN_BALLOONUSERCLICK), 0);

    const auto& requests = fake::ShellRequests();
    Expect(requests.size() == 3, "add, set version, balloon");
    const NOTIFYICONDATA& added = requests[0].record;
    const std::size_t tipRead = added.cbSize >= 488 ? sizeof added.szTip : 64;
    const std::string sentTip = ReadField(added.szTip, tipRead, "the tooltip is whole characters");
    Expect(Holds(sentTip, Kept(tip, 128, tipRead)),
           "the tooltip is the text, cut to whole characters",
           Printable(tip) + " -> " + Printable(sentTip));
    const NOTIFYICONDATA& balloon = requests[2].record;
    const std::string sentTitle = ReadField(balloon.szInfoTitle, sizeof balloon.szInfoTitle,
                                            "the balloon title is whole characters");
    const std::string sentMessage =
        ReadField(balloon.szInfo, sizeof balloon.szInfo, "the balloon message is whole characters");
    Expect(Holds(sentTitle, Kept(title, 64, 64)) && Holds(sentMessage, Kept(message, 256, 256)),
           "the balloon texts are the texts, cut to whole characters",
           Printable(title) + " -> " + Printable(sentTitle));
    Expect(clicked == std::vector<std::string>{Trimmed(sentTitle), Trimmed(sentMessage)},
           "a balloon click gives back the balloon's texts");
    return 0;
}
