// The spin edit, its pair of arrows and their repeat, on real windows under Wine.
#include <doctest.h>

#include <climits>
#include <cstring>
#include <string>

#include "Spin.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {

// Counts the events of a spin edit or spin button, and can make one fail.
struct Probe {
    int changes = 0;
    int ups = 0;
    int downs = 0;
    bool failUp = false;
    void Changed(TObject*) { ++changes; }
    void Up(TObject*) {
        ++ups;
        if (failUp) throw Exception("Zbyt głośno");
    }
    void Down(TObject*) { ++downs; }
};

// The volume control of the main window: 0 to 100, stepped only.
TSpinEdit* MakeVolume(TWinControl* parent, Probe* probe = nullptr) {
    auto* spin = Make<TSpinEdit>(parent);
    spin->SetParent(parent);
    spin->SetBounds(60, 2, 49, 26);
    spin->Font().SetName("Verdana");
    spin->Font().SetHeight(13);
    spin->SetMinValue(0);
    spin->SetMaxValue(100);
    spin->SetValue(50);
    spin->SetEditorEnabled(false);
    if (probe) spin->OnChange.Bind<&Probe::Changed>(probe);
    spin->HandleNeeded();
    return spin;
}

TSpinEdit* MakeFreeSpin(TWinControl* parent) {
    auto* spin = Make<TSpinEdit>(parent);
    spin->SetParent(parent);
    spin->SetBounds(10, 40, 80, 26);
    spin->HandleNeeded();
    return spin;
}

void Key(TWinControl* control, WPARAM key) {
    SendMessageA(control->Handle(), WM_KEYDOWN, key, 1);
    SendMessageA(control->Handle(), WM_KEYUP, key, LPARAM(0xC0000001));
}

void Type(TWinControl* control, char c) {
    SendMessageA(control->Handle(), WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1);
}

// The middle of an arrow in the spin button's client coordinates.
POINT Middle(const TTimerSpeedButton* arrow) {
    return POINT{arrow->Left() + arrow->Width() / 2, arrow->Top() + arrow->Height() / 2};
}

void Press(TSpinButton* spin, POINT p) {
    SendMessageA(spin->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
}
void Move(TSpinButton* spin, POINT p) {
    SendMessageA(spin->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
}
void Release(TSpinButton* spin, POINT p) {
    SendMessageA(spin->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}
void ClickArrow(TSpinButton* spin, const TTimerSpeedButton* arrow) {
    Press(spin, Middle(arrow));
    Release(spin, Middle(arrow));
}

void PutOnClipboard(const std::string& text) {
    REQUIRE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

}  // namespace

TEST_SUITE("spin edit value") {
    TEST_CASE("a new spin edit shows 0, steps by 1 and can be typed into") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        CHECK(spin->Text() == "0");
        CHECK(spin->Value() == 0);
        CHECK(spin->Increment() == 1);
        CHECK(spin->EditorEnabled());
        CHECK(spin->MinValue() == 0);
        CHECK(spin->MaxValue() == 0);
    }

    TEST_CASE("the value is read from the text; what is not a number reads as MinValue") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        spin->SetMinValue(-10);
        spin->SetMaxValue(10);
        spin->SetText("7");
        CHECK(spin->Value() == 7);
        spin->SetText("-3");
        CHECK(spin->Value() == -3);
        spin->SetText("abc");
        CHECK(spin->Value() == -10);
        spin->SetText("");
        CHECK(spin->Value() == -10);
        spin->SetText("12abc");
        CHECK(spin->Value() == -10);
        spin->SetText("99999999999");  // beyond 32 bits: not a number rather than a wrapped one
        CHECK(spin->Value() == -10);
    }

    TEST_CASE("a value out of range is written clamped; equal limits mean no limits") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        spin->SetValue(150);
        CHECK(spin->Text() == "100");
        spin->SetValue(-5);
        CHECK(spin->Text() == "0");
        CHECK(spin->ClampValue(42) == 42);

        auto* free = MakeFreeSpin(form.Get());
        free->SetValue(-123456);
        CHECK(free->Text() == "-123456");
        CHECK(free->ClampValue(INT_MAX) == INT_MAX);
    }

    TEST_CASE("writing the value already shown changes nothing") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        spin->SetValue(50);
        CHECK(probe.changes == 0);
        spin->SetValue(51);
        CHECK(probe.changes == 1);
        CHECK(spin->Text() == "51");
    }

    TEST_CASE("stepping past a limit leaves the text alone and fires no OnChange") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        spin->SetValue(100);
        probe.changes = 0;
        spin->UpClick(spin);
        CHECK(spin->Text() == "100");
        CHECK(probe.changes == 0);

        spin->SetValue(0);
        probe.changes = 0;
        spin->DownClick(spin);
        CHECK(spin->Text() == "0");
        CHECK(probe.changes == 0);
    }

    TEST_CASE("steps follow Increment and stop at the limit") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        spin->SetIncrement(30);
        spin->UpClick(spin);
        CHECK(spin->Value() == 80);
        spin->UpClick(spin);
        CHECK(spin->Value() == 100);
        spin->DownClick(spin);
        CHECK(spin->Value() == 70);
    }

    TEST_CASE("a read-only spin edit does not step") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        spin->SetReadOnly(true);
        spin->UpClick(spin);
        Key(spin, VK_DOWN);
        CHECK(spin->Text() == "50");
        CHECK(probe.changes == 0);
    }

    TEST_CASE("without limits a step at the end of the number range stays there instead of wrapping") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        spin->SetValue(INT_MAX);
        spin->UpClick(spin);
        CHECK(spin->Value() == INT_MAX);
        spin->SetValue(INT_MIN);
        spin->DownClick(spin);
        CHECK(spin->Value() == INT_MIN);
    }
}

TEST_SUITE("spin edit keys") {
    TEST_CASE("the up and down keys step, also when the editor is off") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        Key(spin, VK_UP);
        CHECK(spin->Value() == 51);
        Key(spin, VK_DOWN);
        Key(spin, VK_DOWN);
        CHECK(spin->Value() == 49);
        CHECK(probe.changes == 3);
    }

    TEST_CASE("with the editor on, digits and signs are typed and other characters refused") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeFreeSpin(form.Get());
        spin->OnChange.Bind<&Probe::Changed>(&probe);
        spin->SelectAll();
        Type(spin, '-');
        Type(spin, '4');
        Type(spin, '2');
        CHECK(spin->Text() == "-42");
        CHECK(probe.changes == 3);
        Type(spin, 'a');
        Type(spin, ' ');
        CHECK(spin->Text() == "-42");
        CHECK(probe.changes == 3);
        Type(spin, '\b');
        CHECK(spin->Text() == "-4");
    }

    TEST_CASE("Enter never breaks the line of the number") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        spin->SetText("12");
        spin->SetSelStart(2);
        Type(spin, '\r');
        Type(spin, '\n');
        CHECK(spin->Text() == "12");
    }

    TEST_CASE("Tab leaves the spin edit for the next control instead of going into the text") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        spin->SetFocus();
        PostMessageA(spin->Handle(), WM_KEYDOWN, VK_TAB, 1);
        PostMessageA(spin->Handle(), WM_KEYUP, VK_TAB, LPARAM(0xC0000001));
        PumpFor(50);
        CHECK(other->Focused());
        CHECK(spin->Text() == "0");
    }

    TEST_CASE("with the editor off, digits, signs and backspace are refused") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        spin->SetSelStart(2);
        for (char c : {'7', '-', '+', '\b'}) Type(spin, c);
        CHECK(spin->Text() == "50");
        CHECK(probe.changes == 0);
    }

    TEST_CASE("with the editor off, Delete still clears and the empty text reads as MinValue") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        spin->SetMinValue(5);
        spin->SelectAll();
        Key(spin, VK_DELETE);
        CHECK(spin->Text().empty());
        CHECK(spin->Value() == 5);
    }

    TEST_CASE("paste and cut reach the edit only when it may be edited") {
        ScopedTestForm form;
        PutOnClipboard("77");
        auto* editable = MakeFreeSpin(form.Get());
        editable->SelectAll();
        SendMessageA(editable->Handle(), WM_PASTE, 0, 0);
        CHECK(editable->Text() == "77");

        auto* volume = MakeVolume(form.Get());
        volume->SelectAll();
        SendMessageA(volume->Handle(), WM_PASTE, 0, 0);
        CHECK(volume->Text() == "50");
        SendMessageA(volume->Handle(), WM_CUT, 0, 0);
        CHECK(volume->Text() == "50");

        editable->SetReadOnly(true);
        editable->SelectAll();
        SendMessageA(editable->Handle(), WM_CUT, 0, 0);
        CHECK(editable->Text() == "77");
    }
}

TEST_SUITE("spin edit focus") {
    TEST_CASE("\"150\" reads as 150 until the focus leaves, then becomes \"100\"") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        spin->SetFocus();
        spin->SetText("150");
        CHECK(spin->Value() == 150);
        other->SetFocus();
        CHECK(spin->Text() == "100");
    }

    TEST_CASE("text that is no number is left as it is when the focus leaves") {
        ScopedTestForm form;
        auto* spin = MakeFreeSpin(form.Get());
        spin->SetMinValue(1);
        spin->SetMaxValue(9);
        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        spin->SetFocus();
        spin->SetText("abc");
        other->SetFocus();
        CHECK(spin->Text() == "abc");
    }

    TEST_CASE("entering the spin edit from the keyboard selects its text") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        other->SetFocus();
        spin->SetFocus();
        CHECK(spin->SelStart() == 0);
        CHECK(spin->SelLength() == 2);

        spin->SetAutoSelect(false);
        spin->SetSelStart(1);
        other->SetFocus();
        spin->SetFocus();
        CHECK(spin->SelLength() == 0);
    }
}

TEST_SUITE("spin edit layout") {
    TEST_CASE("the edit is multi-line and keeps its text clear of the arrows") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        const LONG_PTR style = GetWindowLongPtrA(spin->Handle(), GWL_STYLE);
        CHECK((style & ES_MULTILINE) != 0);
        CHECK((style & WS_CLIPCHILDREN) != 0);
        RECT area{};
        SendMessageA(spin->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
        CHECK(area.right <= spin->ClientWidth() - spin->SpinButton()->Width() - 2);
        CHECK(area.right > 0);
    }

    TEST_CASE("the arrows stand inside the right edge of the edit") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        TSpinButton* arrows = spin->SpinButton();
        CHECK(arrows->Width() == 15);
        CHECK(arrows->Left() == 49 - 15 - 5);
        CHECK(arrows->Top() == 0);
        CHECK(arrows->Height() == 26 - 5);
        CHECK(arrows->FocusControl() == spin);
    }

    TEST_CASE("the volume control's 26 pixels are enough for its font") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        PumpFor(20);
        CHECK(spin->Height() == 26);
        CHECK(spin->MinimumHeight() <= 26);
    }

    TEST_CASE("a spin edit made shorter than its font needs grows back") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        spin->SetHeight(10);
        PumpFor(20);
        CHECK(spin->Height() == spin->MinimumHeight());
        CHECK(spin->Height() > 13);
    }

    TEST_CASE("a bigger font needs a taller spin edit") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        const int small = spin->MinimumHeight();
        spin->Font().SetHeight(30);
        CHECK(spin->MinimumHeight() > small);
        CHECK(spin->MinimumHeight() > 30);
    }
}

TEST_SUITE("spin button") {
    TEST_CASE("a new spin button is 20 x 25 with two arrows sharing one pixel row") {
        ScopedTestForm form;
        auto* spin = Make<TSpinButton>(form.Get());
        spin->SetParent(form.Get());
        CHECK(spin->Width() == 20);
        CHECK(spin->Height() == 25);
        TTimerSpeedButton* up = spin->UpButton();
        TTimerSpeedButton* down = spin->DownButton();
        CHECK(up->Top() == 0);
        CHECK(up->Height() == 12);
        CHECK(down->Top() == 11);
        CHECK(down->Height() == 14);
        CHECK(up->Width() == 20);
        CHECK(up->RepeatFlags() == rfAllowRepeat);
        CHECK_FALSE(spin->TabStop());
        CHECK(spin->FocusedArrow() == up);
    }

    TEST_CASE("a spin button narrower than 15 pixels is widened to 15") {
        ScopedTestForm form;
        auto* spin = Make<TSpinButton>(form.Get());
        spin->SetParent(form.Get());
        spin->SetBounds(5, 5, 8, 30);
        CHECK(spin->Width() == 15);
        CHECK(spin->UpButton()->Width() == 15);
        CHECK(spin->DownButton()->Width() == 15);
        CHECK(spin->DownButton()->Top() + spin->DownButton()->Height() == 30);
    }

    TEST_CASE("the arrows carry the program's 9 x 6 triangles, also after a glyph of one's own") {
        ScopedTestForm form;
        auto* spin = Make<TSpinButton>(form.Get());
        TBitmap& up = spin->UpGlyph();
        CHECK(up.Width() == 9);
        CHECK(up.Height() == 6);
        CHECK(ColorToRGB(up.Canvas().Pixel(4, 1)) == RGB(0, 0, 0));    // the tip
        CHECK(ColorToRGB(up.Canvas().Pixel(0, 5)) == ColorToRGB(clOlive));
        CHECK(ColorToRGB(spin->DownGlyph().Canvas().Pixel(4, 4)) == RGB(0, 0, 0));

        TBitmap own;
        own.SetSize(12, 12);
        spin->SetUpGlyph(&own);
        CHECK(spin->UpGlyph().Width() == 12);
        spin->SetUpGlyph(nullptr);
        CHECK(spin->UpGlyph().Width() == 9);
        CHECK(spin->UpButton()->NumGlyphs() == 1);
    }

    TEST_CASE("clicking an arrow steps once and gives the spin edit the focus") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get(), &probe);
        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        other->SetFocus();
        TSpinButton* arrows = spin->SpinButton();
        ClickArrow(arrows, arrows->UpButton());
        CHECK(spin->Value() == 51);
        CHECK(spin->Focused());
        ClickArrow(arrows, arrows->DownButton());
        ClickArrow(arrows, arrows->DownButton());
        CHECK(spin->Value() == 49);
        CHECK(probe.changes == 3);
    }

    TEST_CASE("at 100 the up arrow leaves \"100\" and fires no OnChange") {
        ScopedTestForm form;
        Probe probe;
        auto* spin = MakeVolume(form.Get());
        spin->SetValue(100);
        spin->OnChange.Bind<&Probe::Changed>(&probe);
        ClickArrow(spin->SpinButton(), spin->SpinButton()->UpButton());
        CHECK(spin->Text() == "100");
        CHECK(probe.changes == 0);
    }

    TEST_CASE("holding an arrow repeats after 400 ms, then every 100 ms, until released") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        TSpinButton* arrows = spin->SpinButton();
        TTimerSpeedButton* up = arrows->UpButton();
        CHECK(up->RepeatInterval() == 0);
        Press(arrows, Middle(up));
        CHECK(up->RepeatInterval() == 400);
        CHECK(spin->Value() == 50);  // a press alone does not step
        REQUIRE(PumpUntil([&] { return spin->Value() == 51; }, 3000));
        CHECK(up->RepeatInterval() == 100);
        REQUIRE(PumpUntil([&] { return spin->Value() >= 53; }, 3000));
        CHECK(up->RepeatInterval() == 100);
        const int beforeRelease = spin->Value();
        Release(arrows, Middle(up));
        CHECK(spin->Value() == beforeRelease + 1);  // the release is a click of its own
        CHECK(up->RepeatInterval() == 0);
        PumpFor(300);
        CHECK(spin->Value() == beforeRelease + 1);
    }

    TEST_CASE("a held arrow waits while the pointer is off it and does not click on release there") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        TSpinButton* arrows = spin->SpinButton();
        TTimerSpeedButton* down = arrows->DownButton();
        Press(arrows, Middle(down));
        Move(arrows, POINT{-30, -30});
        PumpFor(700);
        CHECK(spin->Value() == 50);
        Release(arrows, POINT{-30, -30});
        CHECK(spin->Value() == 50);
        CHECK(down->RepeatInterval() == 0);
    }

    TEST_CASE("a failing repeated click stops the repeat and is reported in a box") {
        ScopedTestForm form;
        Probe probe;
        probe.failUp = true;
        auto* arrows = Make<TSpinButton>(form.Get());
        arrows->SetParent(form.Get());
        arrows->SetBounds(10, 10, 20, 25);
        arrows->OnUpClick.Bind<&Probe::Up>(&probe);
        TTimerSpeedButton* up = arrows->UpButton();
        BoxAnswerer answerer(IDOK);
        Press(arrows, Middle(up));
        REQUIRE(PumpUntil([&] { return !answerer.Seen().empty(); }, 3000));
        CHECK(answerer.Seen().front().text.find("Zbyt głośno") != std::string::npos);
        CHECK(up->RepeatInterval() == 0);
        PumpFor(300);
        CHECK(probe.ups == 1);
        Release(arrows, POINT{-30, -30});
    }

    TEST_CASE("with the focus, the keys click the arrows and move the focus rectangle") {
        ScopedTestForm form;
        Probe probe;
        auto* arrows = Make<TSpinButton>(form.Get());
        arrows->SetParent(form.Get());
        arrows->SetBounds(10, 10, 20, 25);
        arrows->SetTabStop(true);
        arrows->OnUpClick.Bind<&Probe::Up>(&probe);
        arrows->OnDownClick.Bind<&Probe::Down>(&probe);
        CHECK(SendMessageA(arrows->Handle(), WM_GETDLGCODE, 0, 0) == DLGC_WANTARROWS);

        arrows->SetFocus();
        CHECK((arrows->UpButton()->RepeatFlags() & rfFocusRect) != 0);
        Key(arrows, VK_DOWN);
        CHECK(probe.downs == 1);
        CHECK(arrows->FocusedArrow() == arrows->DownButton());
        CHECK((arrows->DownButton()->RepeatFlags() & rfFocusRect) != 0);
        CHECK((arrows->UpButton()->RepeatFlags() & rfFocusRect) == 0);
        Key(arrows, VK_SPACE);
        CHECK(probe.downs == 2);
        Key(arrows, VK_UP);
        CHECK(probe.ups == 1);
        CHECK(arrows->FocusedArrow() == arrows->UpButton());

        auto* other = Make<TEdit>(form.Get());
        other->SetParent(form.Get());
        other->SetBounds(10, 100, 80, 24);
        other->SetFocus();
        CHECK((arrows->UpButton()->RepeatFlags() & rfFocusRect) == 0);
    }

    TEST_CASE("a spin button that is no tab stop keeps its focused arrow") {
        ScopedTestForm form;
        auto* spin = MakeVolume(form.Get());
        TSpinButton* arrows = spin->SpinButton();
        ClickArrow(arrows, arrows->DownButton());
        CHECK(arrows->FocusedArrow() == arrows->UpButton());
    }

    TEST_CASE("the arrows lose their focus control when it is destroyed") {
        ScopedTestForm form;
        auto* arrows = Make<TSpinButton>(form.Get());
        arrows->SetParent(form.Get());
        auto* edit = Make<TEdit>(form.Get());
        edit->SetParent(form.Get());
        arrows->SetFocusControl(edit);
        form->DestroyComponent(edit);
        CHECK(arrows->FocusControl() == nullptr);
        ClickArrow(arrows, arrows->UpButton());  // nothing left to focus: no crash
    }
}

TEST_CASE("the volume spin paints alike every time and leaves no GDI object") {
    ScopedTestForm form;
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{60, 2, 109, 28}, [&] {
        return std::vector<TControl*>{MakeVolume(form.Get())};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
