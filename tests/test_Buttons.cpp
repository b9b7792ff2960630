// Speed buttons, bitmap buttons and their glyph engine, on real windows under Wine.
#include <doctest.h>

#include <memory>
#include <string>

#include "Buttons.h"
#include "ExtCtrls.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kLime = RGB(0, 255, 0);

// A glyph of width x height on the see-through olive, each cell of height x
// height marked with one pixel of its own colour at the cell's top-left corner.
std::unique_ptr<TBitmap> MarkedGlyph(int width, int height, std::initializer_list<TColor> cellMarks = {clBlue}) {
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(width, height);
    TCanvas& canvas = glyph->Canvas();
    canvas.Brush().SetColor(clOlive);
    canvas.FillRect(RECT{0, 0, width, height});
    int cell = 0;
    for (TColor mark : cellMarks) canvas.SetPixel(cell++ * height, 0, mark);
    return glyph;
}

COLORREF Face() {
    return ColorToRGB(clBtnFace);
}

// Renders one state of a glyph engine at (0, 0) of a bitmap painted red first.
struct Rendered {
    TBitmap target;
    Rendered(TButtonGlyph& glyph, TButtonState state, int size = 16) {
        target.SetSize(size, size);
        target.Canvas().Brush().SetColor(clRed);
        target.Canvas().FillRect(RECT{0, 0, size, size});
        glyph.Draw(target.Canvas(), RECT{0, 0, size, size}, "", TButtonLayout::blGlyphLeft, -1, 4, state);
    }
    COLORREF At(int x, int y) { return COLORREF(target.Canvas().Pixel(x, y)); }
};

// Counts the events a control raises.
struct Probe {
    int clicks = 0;
    int doubleClicks = 0;
    void Click(TObject*) { ++clicks; }
    void DoubleClick(TObject*) { ++doubleClicks; }
};

// What the screen shows at a client pixel of window. Wine copies a window's
// drawing to the screen on its next pass through the message loop, so the
// loop runs briefly first.
COLORREF Seen(HWND window, int x, int y) {
    PumpFor(30);
    return ScreenPixel(window, x, y);
}

LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

// Mouse messages as a user's hand sends them to the window the button is painted on.
void Press(TWinControl* window, int x, int y) {
    SendMessageA(window->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
}
void Drag(TWinControl* window, int x, int y) {
    SendMessageA(window->Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(x, y));
}
void Release(TWinControl* window, int x, int y) {
    SendMessageA(window->Handle(), WM_LBUTTONUP, 0, At(x, y));
}
void ClickAt(TWinControl* window, int x, int y) {
    Press(window, x, y);
    Release(window, x, y);
}

TSpeedButton* MakeSpeedButton(TWinControl* parent, int left, int top, int groupIndex = 0) {
    auto* button = Make<TSpeedButton>(parent);
    button->SetParent(parent);
    button->SetBounds(left, top, 28, 28);
    button->SetGroupIndex(groupIndex);
    return button;
}

}  // namespace

TEST_SUITE("placing glyph and caption") {
    TEST_CASE("a 16 x 16 glyph without caption sits 5 pixels in from a 25-pixel content area") {
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{1, 1, 26, 26}, SIZE{16, 16}, SIZE{0, 0}, TButtonLayout::blGlyphLeft, -1, 4);
        CHECK(p.glyph.x == 6);
        CHECK(p.glyph.y == 6);
    }

    TEST_CASE("glyph left of the caption: the pair is centred with the spacing between") {
        // 16 + 4 + 40 = 60 of 84 pixels: 12 on the left.
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{0, 0, 84, 28}, SIZE{16, 16}, SIZE{40, 13}, TButtonLayout::blGlyphLeft, -1, 4);
        CHECK(p.glyph.x == 12);
        CHECK(p.glyph.y == 6);
        CHECK(p.text.left == 32);
        CHECK(p.text.top == 8);
        CHECK(p.text.right == 72);
        CHECK(p.text.bottom == 21);
    }

    TEST_CASE("glyph right of the caption mirrors the left layout") {
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{0, 0, 84, 28}, SIZE{16, 16}, SIZE{40, 13}, TButtonLayout::blGlyphRight, -1, 4);
        CHECK(p.glyph.x == 84 - 12 - 16);
        CHECK(p.text.left == p.glyph.x - 4 - 40);
    }

    TEST_CASE("glyph above and below the caption: both centred across") {
        const RECT client{0, 0, 60, 60};
        const TGlyphPlacement top =
            PlaceGlyphAndText(client, SIZE{16, 16}, SIZE{30, 13}, TButtonLayout::blGlyphTop, -1, 2);
        // 16 + 2 + 13 = 31 of 60: margin (60 - 31 + 1) / 2 = 15.
        CHECK(top.glyph.y == 15);
        CHECK(top.text.top == 33);
        CHECK(top.glyph.x == 22);
        CHECK(top.text.left == 15);
        const TGlyphPlacement bottom =
            PlaceGlyphAndText(client, SIZE{16, 16}, SIZE{30, 13}, TButtonLayout::blGlyphBottom, -1, 2);
        CHECK(bottom.glyph.y == 60 - 15 - 16);
        CHECK(bottom.text.top == bottom.glyph.y - 2 - 13);
    }

    TEST_CASE("computed margin and spacing share the free room in three") {
        // 100 - (16 + 40) = 44; 44 / 3 = 14 before, between and (rounded) after.
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{0, 0, 100, 20}, SIZE{16, 16}, SIZE{40, 13}, TButtonLayout::blGlyphLeft, -1, -1);
        CHECK(p.glyph.x == 14);
        CHECK(p.text.left == 14 + 16 + 14);
    }

    TEST_CASE("a fixed margin with computed spacing centres the caption in what is left") {
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{0, 0, 100, 20}, SIZE{16, 16}, SIZE{40, 13}, TButtonLayout::blGlyphLeft, 2, -1);
        CHECK(p.glyph.x == 2);
        CHECK(p.text.left == 2 + 16 + (100 - 18 - 40) / 2);
    }

    TEST_CASE("the spacing is dropped when there is no caption or no glyph") {
        const TGlyphPlacement noText =
            PlaceGlyphAndText(RECT{0, 0, 30, 30}, SIZE{16, 16}, SIZE{0, 0}, TButtonLayout::blGlyphLeft, -1, 10);
        CHECK(noText.glyph.x == 7);
        const TGlyphPlacement noGlyph =
            PlaceGlyphAndText(RECT{0, 0, 60, 30}, SIZE{0, 0}, SIZE{20, 13}, TButtonLayout::blGlyphLeft, -1, 10);
        CHECK(noGlyph.text.left == 20);
    }

    TEST_CASE("positions are offset by the rectangle's corner") {
        const TGlyphPlacement p =
            PlaceGlyphAndText(RECT{100, 50, 125, 75}, SIZE{16, 16}, SIZE{0, 0}, TButtonLayout::blGlyphLeft, -1, 4);
        CHECK(p.glyph.x == 105);
        CHECK(p.glyph.y == 55);
    }
}

TEST_SUITE("glyph engine") {
    TEST_CASE("the cell count follows the glyph's width in heights") {
        TButtonGlyph glyph;
        CHECK(glyph.NumGlyphs() == 1);
        glyph.SetGlyph(MarkedGlyph(32, 16).get());
        CHECK(glyph.NumGlyphs() == 2);
        glyph.SetGlyph(MarkedGlyph(48, 16).get());
        CHECK(glyph.NumGlyphs() == 3);
        glyph.SetGlyph(MarkedGlyph(80, 16).get());
        CHECK(glyph.NumGlyphs() == 1);  // five cells are more than a button shows
    }

    TEST_CASE("a width that is not a multiple of the height keeps the cell count") {
        TButtonGlyph glyph;
        glyph.SetGlyph(MarkedGlyph(32, 16).get());
        glyph.SetGlyph(MarkedGlyph(30, 16).get());
        CHECK(glyph.NumGlyphs() == 2);
    }

    TEST_CASE("NumGlyphs above 4 becomes 4 and 0 is ignored") {
        TButtonGlyph glyph;
        glyph.SetNumGlyphs(9);
        CHECK(glyph.NumGlyphs() == 4);
        glyph.SetNumGlyphs(0);
        CHECK(glyph.NumGlyphs() == 4);
    }

    TEST_CASE("the transparent colour is the bottom-left pixel") {
        TButtonGlyph glyph;
        auto bitmap = MarkedGlyph(16, 16);
        bitmap->Canvas().SetPixel(0, 15, clFuchsia);
        glyph.SetGlyph(bitmap.get());
        CHECK(ColorToRGB(glyph.TransparentColor()) == ColorToRGB(clFuchsia));
    }

    TEST_CASE("up picture: the transparent colour shows the button face") {
        TButtonGlyph glyph;
        glyph.SetGlyph(MarkedGlyph(16, 16).get());
        Rendered up(glyph, TButtonState::bsUp);
        CHECK(up.At(0, 0) == kBlue);
        CHECK(up.At(8, 8) == Face());
    }

    TEST_CASE("exclusive picture: the transparent colour lets the background through") {
        TButtonGlyph glyph;
        glyph.SetGlyph(MarkedGlyph(16, 16).get());
        Rendered held(glyph, TButtonState::bsExclusive);
        CHECK(held.At(0, 0) == kBlue);
        CHECK(held.At(8, 8) == kRed);
    }

    TEST_CASE("the pressed face uses the up picture below three cells, its own cell from three on") {
        TButtonGlyph two;
        two.SetGlyph(MarkedGlyph(32, 16, {clBlue, clGray}).get());
        CHECK(two.CreateButtonGlyph(TButtonState::bsDown) == two.CreateButtonGlyph(TButtonState::bsUp));

        TButtonGlyph three;
        three.SetGlyph(MarkedGlyph(48, 16, {clBlue, clGray, clLime}).get());
        Rendered pressed(three, TButtonState::bsDown);
        CHECK(pressed.At(0, 0) == kLime);
    }

    TEST_CASE("with two cells the disabled picture comes from the right half, recoloured") {
        TButtonGlyph glyph;
        auto bitmap = MarkedGlyph(32, 16, {clBlue, clRed});
        bitmap->Canvas().SetPixel(16 + 2, 2, clGray);
        bitmap->Canvas().SetPixel(16 + 3, 3, clWhite);
        glyph.SetGlyph(bitmap.get());
        Rendered disabled(glyph, TButtonState::bsDisabled);
        CHECK(disabled.At(0, 0) == kRed);  // the right cell's own mark, not the left one's blue
        CHECK(disabled.At(2, 2) == ColorToRGB(clBtnShadow));
        CHECK(disabled.At(3, 3) == ColorToRGB(clBtnHighlight));
        CHECK(disabled.At(8, 8) == Face());
    }

    TEST_CASE("with one cell the disabled picture is embossed from the black pixels") {
        TButtonGlyph glyph;
        auto bitmap = MarkedGlyph(16, 16);
        bitmap->Canvas().SetPixel(4, 4, clBlack);
        glyph.SetGlyph(bitmap.get());
        Rendered disabled(glyph, TButtonState::bsDisabled);
        CHECK(disabled.At(4, 4) == ColorToRGB(clBtnShadow));
        CHECK(disabled.At(5, 5) == ColorToRGB(clBtnHighlight));
        CHECK(disabled.At(0, 0) == Face());  // the blue mark is not black: it disappears
        CHECK(disabled.At(10, 10) == Face());
    }

    TEST_CASE("an empty glyph draws nothing") {
        TButtonGlyph glyph;
        CHECK(glyph.CreateButtonGlyph(TButtonState::bsUp) == -1);
        Rendered nothing(glyph, TButtonState::bsUp);
        CHECK(nothing.At(0, 0) == kRed);
        CHECK(glyph.GlyphList() == nullptr);
    }

    TEST_CASE("a new glyph replaces the finished pictures") {
        TButtonGlyph glyph;
        glyph.SetGlyph(MarkedGlyph(16, 16, {clBlue}).get());
        CHECK(Rendered(glyph, TButtonState::bsUp).At(0, 0) == kBlue);
        glyph.SetGlyph(MarkedGlyph(16, 16, {clLime}).get());
        CHECK(Rendered(glyph, TButtonState::bsUp).At(0, 0) == kLime);
    }
}

TEST_SUITE("glyph lists") {
    TEST_CASE("glyphs of one cell size share a list; another size gets its own") {
        TButtonGlyph a, b, c;
        a.SetGlyph(MarkedGlyph(16, 16).get());
        b.SetGlyph(MarkedGlyph(16, 16).get());
        c.SetGlyph(MarkedGlyph(20, 20).get());
        a.CreateButtonGlyph(TButtonState::bsUp);
        const int listsWithOne = GlyphCache()->ListCount();
        b.CreateButtonGlyph(TButtonState::bsUp);
        CHECK(a.GlyphList() == b.GlyphList());
        CHECK(GlyphCache()->ListCount() == listsWithOne);
        c.CreateButtonGlyph(TButtonState::bsUp);
        CHECK(c.GlyphList() != a.GlyphList());
        CHECK(c.GlyphList()->Width() == 20);
        CHECK(GlyphCache()->ListCount() == listsWithOne + 1);
    }

    TEST_CASE("a freed slot is filled again before the list grows") {
        TButtonGlyph a, b, c;
        for (TButtonGlyph* g : {&a, &b, &c}) g->SetGlyph(MarkedGlyph(24, 24).get());
        const int first = a.CreateButtonGlyph(TButtonState::bsUp);
        const int second = b.CreateButtonGlyph(TButtonState::bsUp);
        CHECK(first != second);
        const TGlyphList* list = b.GlyphList();
        a.DiscardPictures();
        CHECK(list->Count() == 1);
        CHECK(c.CreateButtonGlyph(TButtonState::bsUp) == first);
        CHECK(list->Count() == 2);
        CHECK(ImageList_GetImageCount(list->Handle()) == 2);
    }

    TEST_CASE("a list goes away when its last picture is discarded") {
        auto a = std::make_unique<TButtonGlyph>();
        a->SetGlyph(MarkedGlyph(22, 22).get());
        a->CreateButtonGlyph(TButtonState::bsUp);
        a->CreateButtonGlyph(TButtonState::bsExclusive);
        TButtonGlyph keepsCacheAlive;
        keepsCacheAlive.SetGlyph(MarkedGlyph(23, 23).get());
        keepsCacheAlive.CreateButtonGlyph(TButtonState::bsUp);
        const int lists = GlyphCache()->ListCount();
        a.reset();
        CHECK(GlyphCache()->ListCount() == lists - 1);
    }

    TEST_CASE("the cache itself goes with the last glyph engine") {
        {
            TButtonGlyph only;
            only.SetGlyph(MarkedGlyph(16, 16).get());
            only.CreateButtonGlyph(TButtonState::bsUp);
            CHECK(GlyphCache() != nullptr);
        }
        CHECK(GlyphCache() == nullptr);
    }
}

TEST_SUITE("speed button") {
    TEST_CASE("a new speed button is 25 x 25, up, with the usual spacing and margin") {
        ScopedTestForm form;
        auto* button = Make<TSpeedButton>(form.Get());
        CHECK(button->Width() == 25);
        CHECK(button->Height() == 25);
        CHECK(button->State() == TButtonState::bsUp);
        CHECK(button->Spacing() == 4);
        CHECK(button->Margin() == -1);
        CHECK(button->NumGlyphs() == 1);
    }

    TEST_CASE("the glyph's corner is at (6, 6) up and held, and at (7, 7) while pressed") {
        ScopedTestForm form;
        auto* button = MakeSpeedButton(form.Get(), 10, 10, 0);
        button->SetGlyph(MarkedGlyph(16, 16).get());
        button->Repaint();
        HWND window = form->Handle();
        CHECK(Seen(window, 10 + 6, 10 + 6) == kBlue);
        CHECK(Seen(window, 10 + 7, 10 + 7) == Face());

        Press(form.Get(), 20, 20);
        CHECK(button->State() == TButtonState::bsDown);
        CHECK(Seen(window, 10 + 7, 10 + 7) == kBlue);
        CHECK(Seen(window, 10 + 6, 10 + 6) != kBlue);
        Release(form.Get(), 20, 20);

        button->SetGroupIndex(1);
        button->SetDown(true);
        button->Repaint();
        CHECK(button->State() == TButtonState::bsExclusive);
        CHECK(Seen(window, 10 + 6, 10 + 6) == kBlue);
    }

    TEST_CASE("a held button shows the white dither around its glyph") {
        ScopedTestForm form;
        auto* button = MakeSpeedButton(form.Get(), 10, 10, 1);
        button->SetDown(true);
        button->Repaint();
        HWND window = form->Handle();
        CHECK(Seen(window, 10 + 3, 10 + 3) == RGB(255, 255, 255));
        CHECK(Seen(window, 10 + 4, 10 + 4) == RGB(255, 255, 255));
        CHECK(Seen(window, 10 + 4, 10 + 3) == Face());
    }

    TEST_CASE("a click on a button without a group raises OnClick and leaves it up") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->OnClick.Bind<&Probe::Click>(&probe);
        ClickAt(form.Get(), 20, 20);
        CHECK(probe.clicks == 1);
        CHECK(button->State() == TButtonState::bsUp);
        CHECK_FALSE(button->Down());
    }

    TEST_CASE("a button without a group never stays down, even from code") {
        ScopedTestForm form;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->SetDown(true);
        CHECK_FALSE(button->Down());
        CHECK(button->State() == TButtonState::bsUp);
    }

    TEST_CASE("pressing, moving off and releasing gives no click and keeps Down") {
        ScopedTestForm form;
        Probe probe;
        auto* single = MakeSpeedButton(form.Get(), 10, 10);
        single->OnClick.Bind<&Probe::Click>(&probe);
        Press(form.Get(), 20, 20);
        Drag(form.Get(), 100, 100);
        CHECK(single->State() == TButtonState::bsUp);
        Drag(form.Get(), 21, 21);
        CHECK(single->State() == TButtonState::bsDown);
        Drag(form.Get(), 100, 100);
        Release(form.Get(), 100, 100);
        CHECK(probe.clicks == 0);
        CHECK(single->State() == TButtonState::bsUp);

        auto* grouped = MakeSpeedButton(form.Get(), 50, 10, 1);
        grouped->OnClick.Bind<&Probe::Click>(&probe);
        Press(form.Get(), 60, 20);
        Drag(form.Get(), 200, 200);
        Release(form.Get(), 200, 200);
        CHECK(probe.clicks == 0);
        CHECK_FALSE(grouped->Down());
        CHECK(grouped->State() == TButtonState::bsUp);
    }

    TEST_CASE("the row just below the button still counts as on it") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->OnClick.Bind<&Probe::Click>(&probe);
        Press(form.Get(), 20, 20);
        Release(form.Get(), 20, 10 + 28);
        CHECK(probe.clicks == 1);
        Press(form.Get(), 20, 20);
        Release(form.Get(), 20, 10 + 29);
        CHECK(probe.clicks == 1);
        Press(form.Get(), 20, 20);
        Release(form.Get(), 10 + 28, 20);
        CHECK(probe.clicks == 1);
    }

    TEST_CASE("\"Graj\" and \"Cisza\": one held at a time, a click on the held one clicks again") {
        ScopedTestForm form;
        Probe grajProbe, ciszaProbe;
        auto* graj = MakeSpeedButton(form.Get(), 110, 2, 1);
        auto* cisza = MakeSpeedButton(form.Get(), 139, 2, 1);
        graj->SetHint("Graj");
        cisza->SetHint("Cisza");
        graj->OnClick.Bind<&Probe::Click>(&grajProbe);
        cisza->OnClick.Bind<&Probe::Click>(&ciszaProbe);
        graj->SetDown(true);
        CHECK(graj->State() == TButtonState::bsExclusive);
        CHECK(cisza->State() == TButtonState::bsUp);

        ClickAt(form.Get(), 150, 10);
        CHECK(cisza->Down());
        CHECK(cisza->State() == TButtonState::bsExclusive);
        CHECK_FALSE(graj->Down());
        CHECK(graj->State() == TButtonState::bsUp);
        CHECK(ciszaProbe.clicks == 1);

        ClickAt(form.Get(), 150, 10);
        CHECK(cisza->Down());
        CHECK(cisza->State() == TButtonState::bsExclusive);
        CHECK_FALSE(graj->Down());
        CHECK(ciszaProbe.clicks == 2);

        ClickAt(form.Get(), 120, 10);
        CHECK(graj->Down());
        CHECK_FALSE(cisza->Down());
        CHECK(grajProbe.clicks == 1);
    }

    TEST_CASE("a held button cannot be raised from code unless AllowAllUp") {
        ScopedTestForm form;
        auto* a = MakeSpeedButton(form.Get(), 10, 10, 3);
        auto* b = MakeSpeedButton(form.Get(), 40, 10, 3);
        a->SetDown(true);
        a->SetDown(false);
        CHECK(a->Down());
        b->SetAllowAllUp(true);
        CHECK(a->AllowAllUp());  // the whole group follows
        a->SetDown(false);
        CHECK_FALSE(a->Down());
        CHECK(a->State() == TButtonState::bsUp);
    }

    TEST_CASE("with AllowAllUp a click raises the held button again") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10, 2);
        button->SetAllowAllUp(true);
        button->OnClick.Bind<&Probe::Click>(&probe);
        ClickAt(form.Get(), 20, 20);
        CHECK(button->Down());
        ClickAt(form.Get(), 20, 20);
        CHECK_FALSE(button->Down());
        CHECK(button->State() == TButtonState::bsUp);
        CHECK(probe.clicks == 2);
    }

    TEST_CASE("groups of equal index under different parents do not affect each other") {
        ScopedTestForm form;
        auto* left = Make<TPanel>(form.Get());
        left->SetParent(form.Get());
        left->SetBounds(0, 0, 100, 50);
        auto* right = Make<TPanel>(form.Get());
        right->SetParent(form.Get());
        right->SetBounds(100, 0, 100, 50);
        auto* a = MakeSpeedButton(left, 5, 5, 1);
        auto* b = MakeSpeedButton(right, 5, 5, 1);
        a->SetDown(true);
        b->SetDown(true);
        CHECK(a->Down());
        CHECK(b->Down());
    }

    TEST_CASE("a double click clicks twice and reports the double click only on a held button") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->OnClick.Bind<&Probe::Click>(&probe);
        button->OnDblClick.Bind<&Probe::DoubleClick>(&probe);
        ClickAt(form.Get(), 20, 20);
        SendMessageA(form->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(20, 20));
        Release(form.Get(), 20, 20);
        CHECK(probe.clicks == 2);
        CHECK(probe.doubleClicks == 0);

        button->SetGroupIndex(1);
        ClickAt(form.Get(), 20, 20);
        SendMessageA(form->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, At(20, 20));
        Release(form.Get(), 20, 20);
        CHECK(probe.clicks == 4);
        CHECK(probe.doubleClicks == 1);
        CHECK(button->Down());
    }

    TEST_CASE("a disabled button shows the disabled face, ignores presses and comes back held") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10, 1);
        button->OnClick.Bind<&Probe::Click>(&probe);
        button->SetDown(true);
        button->SetEnabled(false);
        CHECK(button->State() == TButtonState::bsDisabled);
        ClickAt(form.Get(), 20, 20);
        CHECK(probe.clicks == 0);
        button->SetEnabled(true);
        CHECK(button->State() == TButtonState::bsExclusive);
    }

    TEST_CASE("disabling during a press stops the tracking and frees the mouse: the release clicks nothing") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->OnClick.Bind<&Probe::Click>(&probe);
        Press(form.Get(), 20, 20);
        REQUIRE(GetCapture() == form->Handle());
        button->SetEnabled(false);
        CHECK(GetCapture() == nullptr);
        button->SetEnabled(true);
        Release(form.Get(), 20, 20);
        CHECK(probe.clicks == 0);
    }

    TEST_CASE("a 32 x 16 glyph gives two cells and the disabled look from its right half") {
        ScopedTestForm form;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->SetGlyph(MarkedGlyph(32, 16, {clBlue, clRed}).get());
        CHECK(button->NumGlyphs() == 2);
        button->SetEnabled(false);
        button->Repaint();
        CHECK(Seen(form->Handle(), 10 + 6, 10 + 6) == kRed);
    }

    TEST_CASE("two buttons with 16 x 16 glyphs share an image list, a 20 x 20 one has its own") {
        ScopedTestForm form;
        auto* a = MakeSpeedButton(form.Get(), 10, 10);
        auto* b = MakeSpeedButton(form.Get(), 40, 10);
        auto* c = MakeSpeedButton(form.Get(), 70, 10);
        a->SetGlyph(MarkedGlyph(16, 16).get());
        b->SetGlyph(MarkedGlyph(16, 16).get());
        c->SetGlyph(MarkedGlyph(20, 20).get());
        PumpFor(30);  // the pictures are made when the buttons are first painted
        REQUIRE(a->GlyphEngine().GlyphList() != nullptr);
        CHECK(a->GlyphEngine().GlyphList() == b->GlyphEngine().GlyphList());
        REQUIRE(c->GlyphEngine().GlyphList() != nullptr);
        CHECK(c->GlyphEngine().GlyphList() != a->GlyphEngine().GlyphList());
    }

    TEST_CASE("the caption's accelerator clicks an enabled button without changing Down") {
        ScopedTestForm form;
        Probe probe;
        auto* button = MakeSpeedButton(form.Get(), 10, 10, 1);
        button->SetCaption("&Graj");
        button->OnClick.Bind<&Probe::Click>(&probe);
        CHECK(form->Perform(CM_DIALOGCHAR, 'g') != 0);
        CHECK(probe.clicks == 1);
        CHECK_FALSE(button->Down());
        CHECK(form->Perform(CM_DIALOGCHAR, 'x') == 0);
        button->SetEnabled(false);
        form->Perform(CM_DIALOGCHAR, 'g');
        CHECK(probe.clicks == 1);
    }

    TEST_CASE("a caption is drawn beside the glyph") {
        ScopedTestForm form;
        auto* button = MakeSpeedButton(form.Get(), 10, 10);
        button->SetBounds(10, 10, 80, 28);
        button->SetGlyph(MarkedGlyph(16, 16).get());
        button->SetCaption("Graj");
        button->Repaint();
        // Glyph and caption are centred together: the glyph moves left of the middle.
        int glyphX = -1;
        for (int x = 0; x < 80 && glyphX < 0; ++x)
            if (Seen(form->Handle(), 10 + x, 10 + 6) == kBlue) glyphX = x;
        CHECK(glyphX > 2);
        CHECK(glyphX < (80 - 16) / 2);
    }
}

TEST_SUITE("bitmap button") {
    TEST_CASE("a bitmap button is an owner-drawn push button, 75 x 25, a tab stop") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        CHECK(button->Width() == 75);
        CHECK(button->Height() == 25);
        CHECK(button->TabStop());
        const LONG_PTR style = GetWindowLongPtrA(button->Handle(), GWL_STYLE);
        CHECK((style & BS_TYPEMASK) == BS_OWNERDRAW);
    }

    TEST_CASE("Kind bkOK gives caption, result and Default; a later glyph makes it custom") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetKind(TBitBtnKind::bkOK);
        CHECK(button->Caption() == "OK");
        CHECK(button->ModalResult() == 1);
        CHECK(button->Default());
        CHECK(button->Kind() == TBitBtnKind::bkOK);
        CHECK(button->NumGlyphs() == 2);
        CHECK(button->Glyph().Width() == 36);
        CHECK(button->Glyph().Height() == 18);

        button->SetGlyph(MarkedGlyph(16, 16).get());
        CHECK(button->Kind() == TBitBtnKind::bkCustom);
        CHECK(button->Caption() == "OK");
    }

    TEST_CASE("changing Default, Cancel or ModalResult away from the kind makes it custom") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetKind(TBitBtnKind::bkCancel);
        CHECK(button->Cancel());
        CHECK_FALSE(button->Default());
        button->SetModalResult(mrOk);
        CHECK(button->Kind() == TBitBtnKind::bkCustom);

        button->SetKind(TBitBtnKind::bkYes);
        CHECK(button->Kind() == TBitBtnKind::bkYes);
        button->SetDefault(false);
        CHECK(button->Kind() == TBitBtnKind::bkCustom);
    }

    TEST_CASE("every kind has its caption, result and two-cell glyph") {
        struct Expected {
            TBitBtnKind kind;
            const char* caption;
            int result;
            bool isDefault;
            bool cancel;
        };
        const Expected kinds[] = {
            {TBitBtnKind::bkOK, "OK", 1, true, false},          {TBitBtnKind::bkCancel, "Cancel", 2, false, true},
            {TBitBtnKind::bkHelp, "&Help", 0, false, false},    {TBitBtnKind::bkYes, "&Yes", 6, true, false},
            {TBitBtnKind::bkNo, "&No", 7, false, true},         {TBitBtnKind::bkClose, "&Close", 0, false, false},
            {TBitBtnKind::bkAbort, "Abort", 3, false, false},   {TBitBtnKind::bkRetry, "&Retry", 4, false, false},
            {TBitBtnKind::bkIgnore, "&Ignore", 5, false, false}, {TBitBtnKind::bkAll, "&All", 8, false, false},
        };
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        for (const Expected& e : kinds) {
            CAPTURE(e.caption);
            button->SetKind(e.kind);
            CHECK(button->Kind() == e.kind);
            CHECK(button->Caption() == e.caption);
            CHECK(button->ModalResult() == e.result);
            CHECK(button->Default() == e.isDefault);
            CHECK(button->Cancel() == e.cancel);
            CHECK(button->NumGlyphs() == 2);
            CHECK(button->Glyph().Width() == 36);
        }
        CHECK(button->Glyph().Height() == 19);  // the last one, "all", is a row taller
    }

    TEST_CASE("bkCustom keeps everything as it was") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetKind(TBitBtnKind::bkNo);
        button->SetKind(TBitBtnKind::bkCustom);
        CHECK(button->Kind() == TBitBtnKind::bkCustom);
        CHECK(button->Caption() == "&No");
        CHECK(button->ModalResult() == mrNo);
    }

    TEST_CASE("the glyph is drawn in the middle of the face, one pixel further while pressed") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetBounds(20, 20, 84, 28);
        button->SetGlyph(MarkedGlyph(16, 16).get());
        button->Repaint();
        HWND window = button->Handle();
        // The push-button face takes 2 pixels all round: 80 x 24 inside.
        CHECK(Seen(window, 2 + 32, 2 + 4) == kBlue);

        SendMessageA(window, BM_SETSTATE, TRUE, 0);
        button->Repaint();
        // Pressed: a 1-pixel frame, then everything moved by one.
        CHECK(Seen(window, 1 + 1 + 33, 1 + 1 + 5) == kBlue);
        SendMessageA(window, BM_SETSTATE, FALSE, 0);
    }

    TEST_CASE("a click sets the form's modal result and raises OnClick") {
        ScopedTestForm form;
        Probe probe;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetKind(TBitBtnKind::bkCancel);
        button->OnClick.Bind<&Probe::Click>(&probe);
        SendMessageA(button->Handle(), BM_CLICK, 0, 0);
        CHECK(probe.clicks == 1);
        CHECK(form->ModalResult() == mrCancel);
    }

    TEST_CASE("a bkClose button closes its form") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetKind(TBitBtnKind::bkClose);
        REQUIRE(form->Visible());
        SendMessageA(button->Handle(), BM_CLICK, 0, 0);
        CHECK_FALSE(form->Visible());
    }

    TEST_CASE("every press fills the face anew, after captions drawn with a hollow brush") {
        ScopedTestForm form;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetCaption("Warunki");
        const auto firstPress = OwnerDrawnPicture(button, ODS_SELECTED);
        CHECK(firstPress[3 * 75 + 3] == Face());
        OwnerDrawnPicture(button, 0);
        CHECK(OwnerDrawnPicture(button, ODS_SELECTED) == firstPress);
    }

    TEST_CASE("a button whose click asks a question is drawn pressed on every real press, raised after") {
        ScopedTestForm form;
        struct Asker {
            void Click(TObject*) { Application->MessageBox("Zgoda?", "Brumik", MB_YESNO | MB_ICONQUESTION); }
        } asker;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetBounds(10, 10, 75, 25);
        button->SetCaption("Warunki");
        button->OnClick.Bind<&Asker::Click>(&asker);
        HWND window = button->Handle();
        // The pressed face has a shadow line just inside the frame; the raised one a lit edge.
        auto shadowInside = [&] { return ScreenPixel(window, 1, 1) == GetSysColor(COLOR_BTNSHADOW); };
        for (int press = 1; press <= 2; ++press) {
            CAPTURE(press);
            BoxAnswerer no(IDNO);
            PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
            PumpFor(100);
            CHECK(shadowInside());
            PostMessageW(window, WM_LBUTTONUP, 0, At(10, 10));
            REQUIRE(PumpUntil([&] { return no.Seen().size() == 1; }, 3000));
            PumpFor(100);
            CHECK_FALSE(shadowInside());
        }
    }

    TEST_CASE("a double click on a bitmap button is two presses: two clicks") {
        ScopedTestForm form;
        Probe probe;
        auto* button = Make<TBitBtn>(form.Get());
        button->SetParent(form.Get());
        button->SetBounds(10, 10, 75, 25);
        button->OnClick.Bind<&Probe::Click>(&probe);
        HWND window = button->Handle();
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
        SendMessageA(window, WM_LBUTTONUP, 0, At(10, 10));
        SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, At(10, 10));
        SendMessageA(window, WM_LBUTTONUP, 0, At(10, 10));
        PumpFor(50);
        CHECK(probe.clicks == 2);
    }
}

TEST_CASE("speed and bitmap buttons paint alike every time, follow a new face colour and leave no GDI object") {
    ScopedTestForm form;
    auto glyph = MarkedGlyph(16, 16);
    TBitBtn* bitButton = nullptr;
    auto make = [&] {
        auto* plain = MakeSpeedButton(form.Get(), 10, 10);
        plain->SetGlyph(glyph.get());
        auto* held = MakeSpeedButton(form.Get(), 50, 10, 1);
        held->SetDown(true);  // over the dither
        held->SetCaption("Graj");
        bitButton = Make<TBitBtn>(form.Get());
        bitButton->SetParent(form.Get());
        bitButton->SetBounds(100, 10, 84, 28);
        bitButton->SetGlyph(glyph.get());
        return std::vector<TControl*>{plain, held, bitButton};
    };
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{0, 0, 200, 50}, make);
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);

    make();
    const int element = COLOR_BTNFACE;
    const COLORREF oldFace = GetSysColor(COLOR_BTNFACE), newFace = RGB(200, 120, 40);
    REQUIRE(Seen(form->Handle(), 10 + 6 + 8, 10 + 6 + 8) == oldFace);  // pictures made in the old colour
    SetSysColors(1, &element, &newFace);
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    CHECK(Seen(form->Handle(), 10 + 6 + 8, 10 + 6 + 8) == newFace);
    CHECK(Seen(form->Handle(), 50 + 4, 10 + 3) == newFace);  // the dither's face pixels
    CHECK(Seen(bitButton->Handle(), 2 + 32 + 8, 2 + 4 + 8) == newFace);
    SetSysColors(1, &element, &oldFace);
}
