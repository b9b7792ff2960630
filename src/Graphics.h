// Colours, fonts, pens, brushes, bitmaps, icons and the canvas that draws with them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "Classes.h"
#include "runtime/Handles.h"

// 0x00BBGGRR, or 0x80000000 + index for a system colour.
using TColor = uint32_t;

constexpr TColor SystemColor(int index) { return 0x80000000u | uint32_t(index); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR), clBackground = SystemColor(COLOR_BACKGROUND),
                 clWindow = SystemColor(COLOR_WINDOW), clWindowText = SystemColor(COLOR_WINDOWTEXT),
                 clWindowFrame = SystemColor(COLOR_WINDOWFRAME), clHighlight = SystemColor(COLOR_HIGHLIGHT),
                 clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT), clBtnFace = SystemColor(COLOR_BTNFACE),
                 clBtnShadow = SystemColor(COLOR_BTNSHADOW), clGrayText = SystemColor(COLOR_GRAYTEXT),
                 clBtnText = SystemColor(COLOR_BTNTEXT), clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT),
                 cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW), cl3DLight = SystemColor(COLOR_3DLIGHT),
                 clInfoText = SystemColor(COLOR_INFOTEXT), clInfoBk = SystemColor(COLOR_INFOBK);

// The RGB value of a colour (system colours looked up now).
COLORREF ColorToRGB(TColor color);

// Base of fonts, pens, brushes and bitmaps: raises OnChange whenever a setting changes.
class TGraphicsObject : public TObject {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

// Base of fonts, pens and brushes: holds the GDI object made from the current
// settings. A stock object stands in where the system has one (a hollow brush,
// a null pen); it belongs to the system and is never owned or deleted.
class TGraphicsTool : public TGraphicsObject {
public:
    // Raised just before the held object is deleted, so that a context that has
    // it selected can put its original object back first.
    TNotifyEvent OnFreeing;

protected:
    HGDIOBJ HeldHandle() const;
    // A setting the GDI object is made from changed: lets the object go, then raises OnChange.
    void Modified();
    // As Modified, for settings copied from source: its GDI object, when it
    // has made one, is shared rather than made a second time.
    void ModifiedAs(const TGraphicsTool& source);
    // The stock object for the current settings, or nullptr when one must be made.
    virtual HGDIOBJ StockHandle() const { return nullptr; }
    virtual HGDIOBJ MakeHandle() const = 0;
    // The colour the object is made in, looked up now; a system colour that
    // changed since the object was made calls for a new one.
    virtual COLORREF HandleColor() const { return 0; }

private:
    void Free() const;

    // Shared by tools of the same settings (a canvas copying a control's
    // font); deleted when the last of them lets it go.
    mutable std::shared_ptr<void> owned_;
    mutable COLORREF madeIn_ = 0;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font; Height is the character height in pixels. The GDI font is made on demand.
class TFont : public TGraphicsTool {
public:
    TFont();
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    int Height() const { return height_; }
    void SetHeight(int height);
    // Size in points at the screen's resolution.
    int Size() const;
    void SetSize(int points);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    unsigned Style() const { return style_; }
    void SetStyle(unsigned style);
    void Assign(const TFont& source);
    bool SameAs(const TFont& other) const;
    HFONT Handle() const { return static_cast<HFONT>(HeldHandle()); }

protected:
    HGDIOBJ MakeHandle() const override;

private:
    std::string name_ = "MS Sans Serif";
    int height_ = 11;
    TColor color_ = clWindowText;
    unsigned style_ = 0;
};

enum class TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TGraphicsTool {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    void Assign(const TPen& source);
    HPEN Handle() const { return static_cast<HPEN>(HeldHandle()); }

protected:
    HGDIOBJ StockHandle() const override;
    HGDIOBJ MakeHandle() const override;
    COLORREF HandleColor() const override { return ColorToRGB(color_); }

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = TPenStyle::psSolid;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsTool {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);
    // A pattern brush made from bitmap (the brush keeps its own copy of the pattern).
    void Assign(const TBrush& source);
    HBRUSH Handle() const { return static_cast<HBRUSH>(HeldHandle()); }

protected:
    HGDIOBJ StockHandle() const override;
    HGDIOBJ MakeHandle() const override;
    COLORREF HandleColor() const override { return ColorToRGB(color_); }

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = TBrushStyle::bsSolid;
    UniqueGdiObject pattern_;
};

class TBitmap;

// Draws on a device context it borrows. The font, pen and brush are selected
// into the context when a drawing call needs them. The canvas remembers the
// context's original objects and puts them back before one of its own is
// deleted (a changed setting) and when the context is given up, so no object
// is ever deleted while selected.
class TCanvas : public TObject {
public:
    TCanvas();
    ~TCanvas() override;

    HDC Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Borrows dc (nullptr gives it back, restoring what was selected).
    void SetHandle(HDC dc);

    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }

    void FillRect(const RECT& rect);
    void FrameRect(const RECT& rect);
    void Rectangle(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);
    int DrawText(const std::string& text, RECT& rect, UINT flags);
    SIZE TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int TextHeight(const std::string& text) { return TextExtent(text).cy; }
    void DrawFocusRect(const RECT& rect);
    void DrawEdge(RECT& rect, UINT edge, UINT flags);
    // Copies the whole bitmap to (x, y).
    void Draw(int x, int y, TBitmap& bitmap);
    // Copies source of bitmap to dest, leaving pixels of the transparent colour alone.
    void DrawTransparent(const RECT& dest, TBitmap& bitmap, const RECT& source, TColor transparent);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);

protected:
    // Called when a handle is needed and none is borrowed (bitmap canvases make one).
    virtual void CreateHandle() {}
    void RequireFont();
    void RequirePen();
    void RequireBrush();
    void DeselectAll();

private:
    // Puts the context's original object back in place of one of ours.
    void Deselect(HGDIOBJ& original);
    void ToolFreeing(TObject* tool);

    HDC dc_ = nullptr;
    // What the context held before each of ours went in; nullptr while ours is not selected.
    HGDIOBJ oldFont_ = nullptr, oldPen_ = nullptr, oldBrush_ = nullptr;
    TFont font_;
    TPen pen_;
    TBrush brush_;
};

// A bitmap held as a device-independent section. Its canvas selects it into a
// memory context of its own; asking for Handle() gives that context up so the
// bitmap can be used elsewhere.
class TBitmap : public TGraphicsObject {
public:
    TBitmap();
    ~TBitmap() override;

    // Loads a BITMAP resource of the program; false when there is none.
    bool LoadFromResourceName(const std::string& name);
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return !handle_.Valid(); }
    void Assign(const TBitmap& source);
    void Clear();

    HBITMAP Handle();
    TCanvas& Canvas();
    // Colour of the bottom-left pixel: the transparent colour of glyphs.
    TColor BottomLeftColor();

private:
    class BitmapCanvas;
    void FreeCanvasContext();
    void Adopt(HBITMAP bitmap);

    UniqueGdiObject handle_;
    int width_ = 0, height_ = 0;
    std::unique_ptr<BitmapCanvas> canvas_;
};

// An icon loaded from the program's resources or the system's: such icons
// are shared by the system and never destroyed by us.
class TIcon : public TObject {
public:
    bool LoadFromResourceName(const std::string& name);
    void LoadSystemIcon(const wchar_t* id);
    HICON Handle() const { return handle_; }
    bool Empty() const { return handle_ == nullptr; }

private:
    HICON handle_ = nullptr;
};

// Lends a device context to a canvas for one scope; the canvas has put the
// context's own objects back when the scope ends.
class CanvasLoan {
public:
    CanvasLoan(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    ~CanvasLoan() { canvas_.SetHandle(nullptr); }
    CanvasLoan(const CanvasLoan&) = delete;
    CanvasLoan& operator=(const CanvasLoan&) = delete;

private:
    TCanvas& canvas_;
};

// Borrowed device contexts that release themselves.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC() { ReleaseDC(window_, dc_); }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An owned memory device context compatible with the screen.
class UniqueMemoryDC {
public:
    UniqueMemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
    ~UniqueMemoryDC() { DeleteDC(dc_); }
    UniqueMemoryDC(const UniqueMemoryDC&) = delete;
    UniqueMemoryDC& operator=(const UniqueMemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// Selects a GDI object into a context for one scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~ScopedSelect() { SelectObject(dc_, old_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A bottom-up DIB section of width x height pixels and bitCount bits each,
// of its own pixels rather than the display's; nullptr when none can be made.
HBITMAP CreateDibSection(int width, int height, WORD bitCount);

// A memory context holding a 32-bit bitmap of width x height, for drawing off screen.
class BufferBitmap {
public:
    BufferBitmap(int width, int height);
    BufferBitmap(const BufferBitmap&) = delete;
    BufferBitmap& operator=(const BufferBitmap&) = delete;
    HDC Dc() const { return dc_.Get(); }
    bool Ready() const { return bitmap_.Get() != nullptr; }

private:
    UniqueMemoryDC dc_;
    UniqueGdiObject bitmap_;
    ScopedSelect selected_;  // let go before the bitmap is deleted
};

// Lends the window thread's drawing buffer for one small drawing: made at the
// first and kept, as a paint draws a dozen pictures through it. A larger area,
// or a loan while the buffer is out, gets a buffer of its own.
class BufferLoan {
public:
    BufferLoan(int width, int height);
    ~BufferLoan();
    BufferLoan(const BufferLoan&) = delete;
    BufferLoan& operator=(const BufferLoan&) = delete;
    HDC Dc() const { return buffer_->Dc(); }
    bool Ready() const { return buffer_->Ready(); }

private:
    std::unique_ptr<BufferBitmap> own_;
    BufferBitmap* buffer_ = nullptr;
};

// Draws onto target's area through a 32-bit bitmap when target is a window's
// context. Wine makes and selects a display bitmap for every transparent or
// image-list drawing onto a window (some 180 us each), and none onto a memory
// bitmap; the two copies cost a few. keepBackground copies the window's pixels
// in first, for drawing that leaves some of them showing.
// draw(dc, x, y) draws with the area's top-left corner at x, y of dc.
template <typename Draw>
void DrawThroughBuffer(HDC target, const RECT& area, bool keepBackground, Draw draw) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;
    if (GetObjectType(target) == OBJ_DC) {
        BufferLoan buffer(w, h);
        if (buffer.Ready()) {
            if (keepBackground) BitBlt(buffer.Dc(), 0, 0, w, h, target, area.left, area.top, SRCCOPY);
            draw(buffer.Dc(), 0, 0);
            BitBlt(target, area.left, area.top, w, h, buffer.Dc(), 0, 0, SRCCOPY);
            return;
        }
    }
    draw(target, area.left, area.top);
}
