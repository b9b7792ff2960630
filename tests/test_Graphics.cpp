#include <doctest.h>

#include <windows.h>

#include "GdiLedger.h"
#include "Graphics.h"

namespace {

// Draws with every setting changed between the calls, as the paint routines do.
void DrawWithChangingTools(TCanvas& canvas) {
    for (TColor color : {clRed, clBtnShadow, clBtnHighlight}) {
        canvas.Pen().SetColor(color);
        canvas.Brush().SetColor(color);
        canvas.Font().SetHeight(canvas.Font().Height() + 1);
        canvas.Rectangle(0, 0, 6, 6);
        canvas.TextOut(0, 0, "x");
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Pen().SetStyle(TPenStyle::psClear);
    canvas.Rectangle(0, 0, 6, 6);
    canvas.Pen().SetStyle(TPenStyle::psSolid);
    canvas.Brush().SetColor(clWhite);
    canvas.Rectangle(0, 0, 6, 6);
}

}  // namespace

TEST_CASE("a canvas puts the context's own objects back before its pen, brush or font changes or goes") {
    const size_t breachesBefore = GdiLedger::Breaches().size();
    UniqueMemoryDC dc;
    const HGDIOBJ pen = GetCurrentObject(dc.Get(), OBJ_PEN), brush = GetCurrentObject(dc.Get(), OBJ_BRUSH),
                  font = GetCurrentObject(dc.Get(), OBJ_FONT);
    auto cycle = [&] {
        TCanvas canvas;
        CanvasLoan loan(canvas, dc.Get());
        DrawWithChangingTools(canvas);
    };
    CHECK(GdiGrowthOver(20, cycle) == 0);
    CHECK(GetCurrentObject(dc.Get(), OBJ_PEN) == pen);
    CHECK(GetCurrentObject(dc.Get(), OBJ_BRUSH) == brush);
    CHECK(GetCurrentObject(dc.Get(), OBJ_FONT) == font);

    SUBCASE("also a bitmap's own canvas, and the bitmap replaced while it draws") {
        TBitmap bitmap;
        bitmap.SetSize(8, 8);
        DrawWithChangingTools(bitmap.Canvas());
        bitmap.SetSize(16, 16);
        DrawWithChangingTools(bitmap.Canvas());
    }
    CHECK(GdiLedger::Breaches().size() == breachesBefore);
}

TEST_CASE("a colour given again makes a hollow brush fill once more") {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(RECT{0, 0, 4, 4});
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.TextOut(0, 0, "");
    canvas.SetPixel(1, 1, clBlack);

    canvas.Brush().SetColor(clWhite);
    canvas.FillRect(RECT{0, 0, 4, 4});
    CHECK(canvas.Pixel(1, 1) == clWhite);
}
