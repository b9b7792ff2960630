// The main window's tool bar pictures as the program carries them: size,
// colour depth, cells and see-through colour, and how each one looks on a
// real speed button under Wine.
#include <doctest.h>

#include <windows.h>

#include <array>
#include <set>
#include <string>

#include "Buttons.h"
#include "WineGui.h"

namespace {

struct ToolbarGlyph {
    const char* name;
    int width;
    int height;
    int bitsPerPixel;
    int cells;
    TColor transparent;
};

constexpr TColor kDoorGrey = RGB(160, 160, 164);

constexpr std::array<ToolbarGlyph, 7> kToolbarGlyphs{{
    {"TB_GRAJ", 16, 16, 4, 1, clOlive},
    {"TB_CISZA", 16, 16, 4, 1, clOlive},
    {"TB_ZMIANA", 16, 16, 4, 1, clSilver},
    {"TB_ZAPIS", 32, 16, 4, 2, clOlive},
    {"TB_WARUNKI", 16, 16, 8, 1, clSilver},
    {"TB_NOTATKA", 32, 16, 4, 2, clOlive},
    {"TB_KONIEC", 16, 16, 8, 1, kDoorGrey},
}};

// The colour depth of a bitmap resource as stored in the program.
int StoredBitsPerPixel(const char* name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, ToWide(name).c_str(), RT_BITMAP);
    REQUIRE(info != nullptr);
    const void* data = LockResource(LoadResource(module, info));
    REQUIRE(data != nullptr);
    return static_cast<const BITMAPINFOHEADER*>(data)->biBitCount;
}

// The picture as the program loads it.
struct LoadedGlyph {
    TBitmap bitmap;
    explicit LoadedGlyph(const ToolbarGlyph& glyph) { REQUIRE(bitmap.LoadFromResourceName(glyph.name)); }
    TColor Pixel(int x, int y) { return bitmap.Canvas().Pixel(x, y); }
};

COLORREF Face() {
    return ColorToRGB(clBtnFace);
}

}  // namespace

TEST_SUITE("tool bar glyphs") {
    TEST_CASE("every picture is in the program with its size, colour depth and see-through colour") {
        for (const ToolbarGlyph& glyph : kToolbarGlyphs) {
            CAPTURE(glyph.name);
            LoadedGlyph loaded(glyph);
            CHECK(loaded.bitmap.Width() == glyph.width);
            CHECK(loaded.bitmap.Height() == glyph.height);
            CHECK(StoredBitsPerPixel(glyph.name) == glyph.bitsPerPixel);
            CHECK(loaded.bitmap.BottomLeftColor() == glyph.transparent);
        }
    }

    TEST_CASE("a speed button cuts each picture into its cells") {
        ScopedTestForm form;
        for (const ToolbarGlyph& glyph : kToolbarGlyphs) {
            CAPTURE(glyph.name);
            LoadedGlyph loaded(glyph);
            auto* button = Make<TSpeedButton>(form.Get());
            button->SetGlyph(&loaded.bitmap);
            CHECK(button->NumGlyphs() == glyph.cells);
        }
    }

    TEST_CASE("the disabled cells are drawn in grey with white, on the see-through colour") {
        // A disabled button turns white into the highlight colour and grey into
        // the shadow colour; any other colour would keep its own hue.
        for (const ToolbarGlyph& glyph : kToolbarGlyphs) {
            if (glyph.cells < 2) continue;
            CAPTURE(glyph.name);
            LoadedGlyph loaded(glyph);
            const int cell = glyph.width / glyph.cells;
            std::set<TColor> used;
            bool differsFromNormal = false;
            for (int y = 0; y < glyph.height; ++y)
                for (int x = 0; x < cell; ++x) {
                    const TColor disabled = loaded.Pixel(cell + x, y);
                    used.insert(disabled);
                    differsFromNormal = differsFromNormal || disabled != loaded.Pixel(x, y);
                }
            CHECK(used == std::set<TColor>{clWhite, clGray, glyph.transparent});
            CHECK(differsFromNormal);
        }
    }

    TEST_CASE("on a button the see-through colour shows the face and every other pixel its own colour") {
        ScopedTestForm form;
        HWND window = form->Handle();
        for (const ToolbarGlyph& glyph : kToolbarGlyphs) {
            CAPTURE(glyph.name);
            LoadedGlyph loaded(glyph);
            auto* button = Make<TSpeedButton>(form.Get());
            button->SetParent(form.Get());
            button->SetBounds(10, 10, 28, 28);
            button->SetGlyph(&loaded.bitmap);
            button->Repaint();
            PumpFor(30);
            // An up button with a 16 x 16 glyph shows it from (6, 6) on.
            int seeThrough = 0, mismatched = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const COLORREF source = loaded.Pixel(x, y);
                    const COLORREF expected = source == glyph.transparent ? Face() : source;
                    seeThrough += source == glyph.transparent;
                    mismatched += ScreenPixel(window, 10 + 6 + x, 10 + 6 + y) != expected;
                }
            CHECK(mismatched == 0);
            // The motif covers part of the cell, not all of it and not nothing.
            CHECK(seeThrough > 16);
            CHECK(seeThrough < 256 - 16);
            button->SetVisible(false);
        }
    }
}
