#include "Graphics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/SysUtils.h"

COLORREF ColorToRGB(TColor color) {
    if (color & 0x80000000u) return GetSysColor(int(color & 0xFF));
    return COLORREF(color & 0x00FFFFFF);
}

void TGraphicsObject::Changed() {
    OnChange(this);
}

// ---- TGraphicsTool

HGDIOBJ TGraphicsTool::HeldHandle() const {
    if (HGDIOBJ stock = StockHandle()) return stock;
    const COLORREF color = HandleColor();
    if (owned_ && color != madeIn_) Free();
    if (!owned_) {
        if (HGDIOBJ made = MakeHandle()) owned_.reset(made, [](void* object) { DeleteObject(static_cast<HGDIOBJ>(object)); });
        madeIn_ = color;
    }
    return static_cast<HGDIOBJ>(owned_.get());
}

void TGraphicsTool::Free() const {
    if (!owned_) return;
    OnFreeing(const_cast<TGraphicsTool*>(this));
    owned_.reset();
}

void TGraphicsTool::Modified() {
    Free();
    Changed();
}

void TGraphicsTool::ModifiedAs(const TGraphicsTool& source) {
    Free();
    if (!source.StockHandle()) {
        owned_ = source.owned_;
        madeIn_ = source.madeIn_;
    }
    Changed();
}

// ---- TFont

TFont::TFont() = default;

void TFont::SetName(const std::string& name) {
    if (name_ == name) return;
    name_ = name;
    Modified();
}

void TFont::SetHeight(int height) {
    if (height_ == height) return;
    height_ = height;
    Modified();
}

namespace {
// The system's pixels per inch are set at sign-in; the program asks the screen once.
int ScreenPixelsPerInch() {
    static const int pixelsPerInch = [] {
        ScopedWindowDC screen(nullptr);
        return GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }();
    return pixelsPerInch;
}
}  // namespace

int TFont::Size() const {
    return MulDiv(height_, 72, ScreenPixelsPerInch());
}

void TFont::SetSize(int points) {
    SetHeight(MulDiv(points, ScreenPixelsPerInch(), 72));
}

void TFont::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    Changed();  // the colour is not part of the GDI font
}

void TFont::SetStyle(unsigned style) {
    if (style_ == style) return;
    style_ = style;
    Modified();
}

void TFont::Assign(const TFont& source) {
    if (SameAs(source)) return;
    // The colour is not part of the GDI font: a new colour alone keeps it.
    const bool sameFace = name_ == source.name_ && height_ == source.height_ && style_ == source.style_;
    name_ = source.name_;
    height_ = source.height_;
    color_ = source.color_;
    style_ = source.style_;
    if (sameFace)
        Changed();
    else
        ModifiedAs(source);
}

bool TFont::SameAs(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ && style_ == other.style_;
}

HGDIOBJ TFont::MakeHandle() const {
    LOGFONTW lf{};
    lf.lfHeight = -height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
    lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, ToWide(name_).c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

// ---- TPen

void TPen::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    Modified();
}

void TPen::SetWidth(int width) {
    if (width_ == width) return;
    width_ = width;
    Modified();
}

void TPen::SetStyle(TPenStyle style) {
    if (style_ == style) return;
    style_ = style;
    Modified();
}

void TPen::Assign(const TPen& source) {
    if (color_ == source.color_ && width_ == source.width_ && style_ == source.style_) return;
    color_ = source.color_;
    width_ = source.width_;
    style_ = source.style_;
    Modified();
}

HGDIOBJ TPen::StockHandle() const {
    return style_ == TPenStyle::psClear ? GetStockObject(NULL_PEN) : nullptr;
}

HGDIOBJ TPen::MakeHandle() const {
    const int style = style_ == TPenStyle::psDash ? PS_DASH : style_ == TPenStyle::psDot ? PS_DOT : PS_SOLID;
    return CreatePen(style, width_, ColorToRGB(color_));
}

// ---- TBrush

void TBrush::SetColor(TColor color) {
    // A colour also makes a hollow or patterned brush solid again.
    if (color_ == color && !pattern_ && style_ == TBrushStyle::bsSolid) return;
    color_ = color;
    pattern_.Reset();
    if (style_ == TBrushStyle::bsClear) style_ = TBrushStyle::bsSolid;
    Modified();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style_ == style) return;
    style_ = style;
    Modified();
}

void TBrush::Assign(const TBrush& source) {
    color_ = source.color_;
    style_ = source.style_;
    pattern_.Reset(source.pattern_ ? CopyImage(source.pattern_.Get(), IMAGE_BITMAP, 0, 0, 0) : nullptr);
    Modified();
}

HGDIOBJ TBrush::StockHandle() const {
    return style_ == TBrushStyle::bsClear ? GetStockObject(NULL_BRUSH) : nullptr;
}

HGDIOBJ TBrush::MakeHandle() const {
    if (pattern_) return CreatePatternBrush(static_cast<HBITMAP>(pattern_.Get()));
    return CreateSolidBrush(ColorToRGB(color_));
}

// ---- TCanvas

TCanvas::TCanvas() {
    font_.OnFreeing.Bind<&TCanvas::ToolFreeing>(this);
    pen_.OnFreeing.Bind<&TCanvas::ToolFreeing>(this);
    brush_.OnFreeing.Bind<&TCanvas::ToolFreeing>(this);
}

TCanvas::~TCanvas() {
    SetHandle(nullptr);
}

HDC TCanvas::Handle() {
    if (!dc_) CreateHandle();
    return dc_;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc_ == dc) return;
    DeselectAll();
    dc_ = dc;
}

void TCanvas::DeselectAll() {
    Deselect(oldFont_);
    Deselect(oldPen_);
    Deselect(oldBrush_);
}

void TCanvas::Deselect(HGDIOBJ& original) {
    if (dc_ && original) SelectObject(dc_, original);
    original = nullptr;
}

void TCanvas::ToolFreeing(TObject* tool) {
    if (tool == &font_) Deselect(oldFont_);
    if (tool == &pen_) Deselect(oldPen_);
    if (tool == &brush_) Deselect(oldBrush_);
}

void TCanvas::RequireFont() {
    HDC dc = Handle();
    HGDIOBJ font = font_.Handle();
    // A context that holds the font already (a list selects its own before it
    // asks for an item) keeps it: selecting a font costs the system some work.
    if (GetCurrentObject(dc, OBJ_FONT) != font) {
        HGDIOBJ old = SelectObject(dc, font);
        if (!oldFont_) oldFont_ = old;
    }
    SetTextColor(dc, ColorToRGB(font_.Color()));
}

void TCanvas::RequirePen() {
    HGDIOBJ old = SelectObject(Handle(), pen_.Handle());
    if (!oldPen_) oldPen_ = old;
}

void TCanvas::RequireBrush() {
    HDC dc = Handle();
    HGDIOBJ old = SelectObject(dc, brush_.Handle());
    if (!oldBrush_) oldBrush_ = old;
    SetBkColor(dc, ColorToRGB(brush_.Color()));
    SetBkMode(dc, brush_.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::FillRect(const RECT& rect) {
    RequireBrush();
    if (brush_.Style() != TBrushStyle::bsClear) ::FillRect(Handle(), &rect, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& rect) {
    RequireBrush();
    ::FrameRect(Handle(), &rect, brush_.Handle());
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    RequirePen();
    RequireBrush();
    ::Rectangle(Handle(), left, top, right, bottom);
}

void TCanvas::MoveTo(int x, int y) {
    MoveToEx(Handle(), x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    RequirePen();
    ::LineTo(Handle(), x, y);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    RequireFont();
    RequireBrush();
    const std::wstring wide = ToWide(text);
    ::TextOutW(Handle(), x, y, wide.data(), int(wide.size()));
}

int TCanvas::DrawText(const std::string& text, RECT& rect, UINT flags) {
    RequireFont();
    RequireBrush();
    std::wstring wide = ToWide(text);
    return ::DrawTextW(Handle(), wide.data(), int(wide.size()), &rect, flags);
}

SIZE TCanvas::TextExtent(const std::string& text) {
    RequireFont();
    SIZE size{0, 0};
    const std::wstring wide = ToWide(text);
    GetTextExtentPoint32W(Handle(), wide.data(), int(wide.size()), &size);
    return size;
}

void TCanvas::DrawFocusRect(const RECT& rect) {
    RequireBrush();
    ::DrawFocusRect(Handle(), &rect);
}

void TCanvas::DrawEdge(RECT& rect, UINT edge, UINT flags) {
    ::DrawEdge(Handle(), &rect, edge, flags);
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    BitBlt(Handle(), x, y, bitmap.Width(), bitmap.Height(), bitmap.Canvas().Handle(), 0, 0, SRCCOPY);
}

void TCanvas::DrawTransparent(const RECT& dest, TBitmap& bitmap, const RECT& source, TColor transparent) {
    if (bitmap.Empty()) return;
    HDC from = bitmap.Canvas().Handle();
    DrawThroughBuffer(Handle(), dest, true, [&](HDC dc, int x, int y) {
        // gdi32's own call, which msimg32's TransparentBlt forwards to: one library less to load at start.
        GdiTransparentBlt(dc, x, y, dest.right - dest.left, dest.bottom - dest.top, from, source.left, source.top,
                          source.right - source.left, source.bottom - source.top, ColorToRGB(transparent));
    });
}

HBITMAP CreateDibSection(int width, int height, WORD bitCount) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

BufferBitmap::BufferBitmap(int width, int height)
    : bitmap_(CreateDibSection(width, height, 32)), selected_(dc_.Get(), bitmap_.Get()) {}

namespace {
// Glyphs, drive and folder pictures are at most this wide and high.
constexpr int kSharedBufferSide = 64;
// Painting happens on the window thread only.
std::unique_ptr<BufferBitmap> sharedBuffer;
bool sharedBufferLent = false;
}  // namespace

BufferLoan::BufferLoan(int width, int height) {
    if (!sharedBufferLent && width <= kSharedBufferSide && height <= kSharedBufferSide) {
        if (!sharedBuffer) sharedBuffer = std::make_unique<BufferBitmap>(kSharedBufferSide, kSharedBufferSide);
        if (sharedBuffer->Ready()) {
            buffer_ = sharedBuffer.get();
            sharedBufferLent = true;
            return;
        }
    }
    own_ = std::make_unique<BufferBitmap>(width, height);
    buffer_ = own_.get();
}

BufferLoan::~BufferLoan() {
    if (!own_) sharedBufferLent = false;
}

TColor TCanvas::Pixel(int x, int y) {
    return TColor(GetPixel(Handle(), x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    ::SetPixel(Handle(), x, y, ColorToRGB(color));
}

// ---- TBitmap

class TBitmap::BitmapCanvas : public TCanvas {
public:
    explicit BitmapCanvas(TBitmap& owner) : owner_(owner) {}
    ~BitmapCanvas() override { Free(); }
    void Free() {
        if (!dc_) return;
        SetHandle(nullptr);
        SelectObject(dc_->Get(), oldBitmap_);
        dc_.reset();
    }

protected:
    void CreateHandle() override {
        if (owner_.Empty()) owner_.SetSize(1, 1);
        dc_ = std::make_unique<UniqueMemoryDC>();
        oldBitmap_ = SelectObject(dc_->Get(), owner_.handle_.Get());
        SetHandle(dc_->Get());
    }

private:
    TBitmap& owner_;
    std::unique_ptr<UniqueMemoryDC> dc_;
    HGDIOBJ oldBitmap_ = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
    FreeCanvasContext();
}

void TBitmap::FreeCanvasContext() {
    if (canvas_) canvas_->Free();
}

void TBitmap::Adopt(HBITMAP bitmap) {
    FreeCanvasContext();
    handle_.Reset(bitmap);
    BITMAP info{};
    if (bitmap) GetObjectW(bitmap, sizeof info, &info);
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    Changed();
}

// The bitmap resource is a DIB: its header, colour table and pixels made
// straight into a DIB section. The program's start loads some fifty glyphs,
// and this takes a third of LoadImage's time for each under Wine.
bool TBitmap::LoadFromResourceName(const std::string& name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, ToWide(name).c_str(), MAKEINTRESOURCEW(2));  // RT_BITMAP
    const auto* packed = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!packed || size < sizeof(BITMAPINFOHEADER)) return false;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(packed);
    const bool paletted = header->biBitCount <= 8;
    const DWORD colours = header->biClrUsed ? header->biClrUsed : paletted ? 1u << header->biBitCount : 0;
    const DWORD masks = header->biCompression == BI_BITFIELDS && header->biSize == sizeof(BITMAPINFOHEADER) ? 3 : 0;
    const DWORD pixelsAt = header->biSize + (colours + masks) * sizeof(RGBQUAD);
    const DWORD stride = ((DWORD(header->biWidth) * header->biBitCount + 31) / 32) * 4;
    const DWORD pixelBytes = stride * DWORD(std::abs(header->biHeight));
    if (header->biCompression != BI_RGB && header->biCompression != BI_BITFIELDS) return false;
    if (header->biWidth <= 0 || pixelsAt > size || pixelBytes > size - pixelsAt) return false;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(packed), DIB_RGB_COLORS, &bits,
                                      nullptr, 0);
    if (!bitmap) return false;
    std::memcpy(bits, packed + pixelsAt, pixelBytes);
    Adopt(bitmap);
    return true;
}

void TBitmap::SetSize(int width, int height) {
    if (width == width_ && height == height_ && !Empty()) return;
    Adopt(CreateDibSection(std::max(width, 1), std::max(height, 1), 24));
    width_ = width;
    height_ = height;
}

void TBitmap::Assign(const TBitmap& source) {
    if (&source == this) return;
    if (source.Empty()) {
        Clear();
        return;
    }
    auto& src = const_cast<TBitmap&>(source);
    src.FreeCanvasContext();
    Adopt(static_cast<HBITMAP>(CopyImage(src.handle_.Get(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

void TBitmap::Clear() {
    Adopt(nullptr);
}

HBITMAP TBitmap::Handle() {
    FreeCanvasContext();
    return static_cast<HBITMAP>(handle_.Get());
}

TCanvas& TBitmap::Canvas() {
    if (!canvas_) canvas_ = std::make_unique<BitmapCanvas>(*this);
    return *canvas_;
}

TColor TBitmap::BottomLeftColor() {
    if (Empty()) return clNone;
    return Canvas().Pixel(0, height_ - 1);
}

// ---- TIcon

bool TIcon::LoadFromResourceName(const std::string& name) {
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), ToWide(name).c_str());
    if (!icon) return false;
    handle_ = icon;
    return true;
}

void TIcon::LoadSystemIcon(const wchar_t* id) {
    handle_ = LoadIconW(nullptr, id);
}
