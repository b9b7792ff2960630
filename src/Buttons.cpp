#include "Buttons.h"

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/SysUtils.h"  // before Forms.h, which uses Exception
#include "Forms.h"
#include "Menus.h"
#include "StringIds.h"

// ---- placing glyph and caption

TGlyphPlacement PlaceGlyphAndText(const RECT& client, SIZE glyphSize, SIZE textSize, TButtonLayout layout,
                                  int margin, int spacing) {
    const int clientWidth = client.right - client.left;
    const int clientHeight = client.bottom - client.top;
    const bool sideBySide = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    POINT glyph{0, 0}, text{0, 0};

    // Across the layout's direction both are centred.
    if (sideBySide) {
        glyph.y = (clientHeight - glyphSize.cy + 1) / 2;
        text.y = (clientHeight - textSize.cy + 1) / 2;
    } else {
        glyph.x = (clientWidth - glyphSize.cx + 1) / 2;
        text.x = (clientWidth - textSize.cx + 1) / 2;
    }

    if (textSize.cx == 0 || glyphSize.cx == 0) spacing = 0;

    // Along the layout's direction: the margin before the glyph and the gap after it.
    const int room = sideBySide ? clientWidth : clientHeight;
    const int glyphLength = sideBySide ? glyphSize.cx : glyphSize.cy;
    const int textLength = sideBySide ? textSize.cx : textSize.cy;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (room - (glyphLength + textLength)) / 3;
            spacing = margin;
        } else {
            margin = (room - (glyphLength + spacing + textLength) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (room - (margin + glyphLength) - textLength) / 2;
    }

    switch (layout) {
    case TButtonLayout::blGlyphLeft:
        glyph.x = margin;
        text.x = glyph.x + glyphSize.cx + spacing;
        break;
    case TButtonLayout::blGlyphRight:
        glyph.x = clientWidth - margin - glyphSize.cx;
        text.x = glyph.x - spacing - textSize.cx;
        break;
    case TButtonLayout::blGlyphTop:
        glyph.y = margin;
        text.y = glyph.y + glyphSize.cy + spacing;
        break;
    case TButtonLayout::blGlyphBottom:
        glyph.y = clientHeight - margin - glyphSize.cy;
        text.y = glyph.y - spacing - textSize.cy;
        break;
    }

    TGlyphPlacement placement;
    placement.glyph = POINT{glyph.x + client.left, glyph.y + client.top};
    placement.text = RECT{text.x + client.left, text.y + client.top, text.x + client.left + textSize.cx,
                          text.y + client.top + textSize.cy};
    return placement;
}

// ---- glyph lists and their cache

TGlyphList::TGlyphList(int width, int height)
    : list_(ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4)), width_(width), height_(height) {
    if (!list_) throw EOutOfResources(LoadStr(SOutOfResources));
}

TGlyphList::~TGlyphList() {
    ImageList_Destroy(list_);
}

int TGlyphList::FirstFreeSlot() const {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (!slots_[i]) return int(i);
    return -1;
}

int TGlyphList::Add(HBITMAP image, HBITMAP mask) {
    int slot = FirstFreeSlot();
    if (slot >= 0) {
        if (!ImageList_Replace(list_, slot, image, mask)) throw EOutOfResources(LoadStr(SOutOfResources));
        slots_[size_t(slot)] = true;
    } else {
        slot = ImageList_Add(list_, image, mask);
        if (slot < 0) throw EOutOfResources(LoadStr(SOutOfResources));
        slots_.resize(size_t(slot) + 1, false);
        slots_[size_t(slot)] = true;
    }
    ++used_;
    return slot;
}

void TGlyphList::Delete(int index) {
    if (index < 0 || size_t(index) >= slots_.size() || !slots_[size_t(index)]) return;
    slots_[size_t(index)] = false;
    --used_;
}

TGlyphList* TGlyphCache::GetList(int width, int height) {
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
    lists_.push_back(std::make_unique<TGlyphList>(width, height));
    return lists_.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
    if (list->Count() != 0) return;
    std::erase_if(lists_, [list](const std::unique_ptr<TGlyphList>& held) { return held.get() == list; });
}

namespace {

// The cache lives while any glyph engine exists or any list is still in use.
std::unique_ptr<TGlyphCache> glyphCache;
int glyphEngineCount = 0;

TGlyphCache& AcquireGlyphCache() {
    if (!glyphCache) glyphCache = std::make_unique<TGlyphCache>();
    return *glyphCache;
}

// A 24-bit picture with a memory context to draw on; Finish takes it out of
// the context so that it can be handed to an image list. Colour pictures are
// DIB sections in the image list's colour: made and drawn on without asking
// the display, which a screen bitmap costs at every step under Wine.
class PictureCanvas {
public:
    PictureCanvas(int width, int height, bool monochrome)
        : width_(width), height_(height),
          bitmap_(monochrome ? CreateBitmap(width, height, 1, 1, nullptr) : CreateDibSection(width, height, 24)),
          old_(SelectObject(dc_.Get(), bitmap_.Get())) {
        if (!bitmap_) throw EOutOfResources(LoadStr(SOutOfResources));
    }
    ~PictureCanvas() { Finish(); }
    PictureCanvas(const PictureCanvas&) = delete;
    PictureCanvas& operator=(const PictureCanvas&) = delete;

    HDC Dc() const { return dc_.Get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HBITMAP Finish() {
        if (old_) SelectObject(dc_.Get(), old_);
        old_ = nullptr;
        return static_cast<HBITMAP>(bitmap_.Get());
    }
    // The colour of pixel x, y (top row 0), read from memory: what was drawn
    // on Dc() must be flushed (GdiFlush) first.
    BYTE* PixelAt(int x, int y) {
        DIBSECTION section{};
        if (!bits_ && GetObjectW(bitmap_.Get(), sizeof section, &section) == sizeof section) {
            bits_ = static_cast<BYTE*>(section.dsBm.bmBits);
            stride_ = section.dsBm.bmWidthBytes;
        }
        return bits_ + (height_ - 1 - y) * stride_ + x * 3;  // bottom-up rows of blue, green, red
    }

private:
    int width_, height_;
    UniqueMemoryDC dc_;
    UniqueGdiObject bitmap_;
    HGDIOBJ old_;
    BYTE* bits_ = nullptr;
    int stride_ = 0;
};

bool HasColor(const BYTE* pixel, COLORREF color) {
    return pixel[0] == GetBValue(color) && pixel[1] == GetGValue(color) && pixel[2] == GetRValue(color);
}

// Gives each pixel of a colour picture the new colour of the last rule whose
// old colour it has; the rest stay.
void Recolor(PictureCanvas& picture, std::initializer_list<std::pair<COLORREF, COLORREF>> rules) {
    GdiFlush();
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            BYTE* pixel = picture.PixelAt(x, y);
            for (auto rule = std::rbegin(rules); rule != std::rend(rules); ++rule)
                if (HasColor(pixel, rule->first)) {
                    pixel[0] = GetBValue(rule->second);
                    pixel[1] = GetGValue(rule->second);
                    pixel[2] = GetRValue(rule->second);
                    break;
                }
        }
}

// A one-bit mask of a colour picture, set where the pixel has seeThrough;
// without it no bit is set and every pixel is drawn.
UniqueGdiObject MaskOf(PictureCanvas& picture, std::optional<COLORREF> seeThrough) {
    GdiFlush();
    const int w = picture.Width(), h = picture.Height();
    const int stride = (w + 15) / 16 * 2;  // a one-bit bitmap's rows end on a word
    std::vector<BYTE> bits(size_t(stride) * size_t(h), 0);
    if (seeThrough)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (HasColor(picture.PixelAt(x, y), *seeThrough))
                    bits[size_t(y * stride + x / 8)] |= BYTE(0x80 >> (x % 8));
    UniqueGdiObject mask(CreateBitmap(w, h, 1, 1, bits.data()));
    if (!mask) throw EOutOfResources(LoadStr(SOutOfResources));
    return mask;
}

// A one-bit mask of a w x h area of source at (x, 0): set where the pixel has colour.
std::unique_ptr<PictureCanvas> MaskOfColor(HDC source, int x, int w, int h, COLORREF color) {
    auto mask = std::make_unique<PictureCanvas>(w, h, true);
    COLORREF oldBack = SetBkColor(source, color);
    BitBlt(mask->Dc(), 0, 0, w, h, source, x, 0, SRCCOPY);
    SetBkColor(source, oldBack);
    return mask;
}

// Paints color into target at (x, y) wherever mask is set; the rest stays.
void PaintMask(HDC target, int x, int y, int w, int h, HDC mask, TColor color) {
    constexpr DWORD brushWhereMaskSet = 0x00E20746;
    UniqueGdiObject brush(CreateSolidBrush(ColorToRGB(color)));
    ScopedSelect selected(target, brush.Get());
    COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
    COLORREF oldBack = SetBkColor(target, RGB(255, 255, 255));
    BitBlt(target, x, y, w, h, mask, 0, 0, brushWhereMaskSet);
    SetTextColor(target, oldText);
    SetBkColor(target, oldBack);
}

// The disabled picture of a glyph without a cell of its own: embossed from
// the glyph's black pixels, a highlight moved down and right with the shadow over it.
void PaintEmbossed(PictureCanvas& picture, HDC source, int sourceX) {
    const int w = picture.Width(), h = picture.Height();
    auto black = MaskOfColor(source, sourceX, w, h, RGB(0, 0, 0));
    RECT all{0, 0, w, h};
    UniqueGdiObject face(CreateSolidBrush(ColorToRGB(clBtnFace)));
    FillRect(picture.Dc(), &all, static_cast<HBRUSH>(face.Get()));
    PaintMask(picture.Dc(), 1, 1, w, h, black->Dc(), clBtnHighlight);
    PaintMask(picture.Dc(), 0, 0, w, h, black->Dc(), clBtnShadow);
}

}  // namespace

TGlyphCache* GlyphCache() {
    return glyphCache.get();
}

// ---- the glyph engine

TButtonGlyph::TButtonGlyph() {
    ++glyphEngineCount;
    source_.OnChange.Bind<&TButtonGlyph::SourceChanged>(this);
}

TButtonGlyph::~TButtonGlyph() {
    DiscardPictures();
    if (--glyphEngineCount == 0 && glyphCache && glyphCache->Empty()) glyphCache.reset();
}

void TButtonGlyph::SetGlyph(const TBitmap* glyph) {
    DiscardPictures();
    if (glyph)
        source_.Assign(*glyph);
    else
        source_.Clear();
    const int width = source_.Width(), height = source_.Height();
    if (height > 0 && width % height == 0) {
        const int cells = width / height;
        numGlyphs_ = cells > 4 ? 1 : cells;
    }
    OnChange(this);
}

void TButtonGlyph::SetNumGlyphs(int count) {
    if (count <= 0) return;
    if (count > 4) count = 4;
    if (count == numGlyphs_) return;
    numGlyphs_ = count;
    DiscardPictures();
    OnChange(this);
}

void TButtonGlyph::SourceChanged(TObject*) {
    if (source_.Width() > 0 && source_.Height() > 0) {
        BITMAP info{};
        GetObjectW(source_.Handle(), sizeof info, &info);
        transparentColor_ = info.bmBitsPixel == 1 ? clWhite : source_.BottomLeftColor();
    }
    DiscardPictures();
    OnChange(this);
}

void TButtonGlyph::DiscardPictures() {
    for (int& index : imageIndex_) {
        if (index != -1 && glyphList_) glyphList_->Delete(index);
        index = -1;
    }
    if (glyphList_ && glyphCache) glyphCache->ReturnList(glyphList_);
    glyphList_ = nullptr;
}

SIZE TButtonGlyph::CellSize() const {
    return SIZE{source_.Width() / numGlyphs_, source_.Height()};
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state) {
    // Without a cell of its own, the pressed face shows the up picture.
    if (state == TButtonState::bsDown && numGlyphs_ < 3) state = TButtonState::bsUp;
    if (imageIndex_[int(state)] != -1) return imageIndex_[int(state)];
    const SIZE cell = CellSize();
    if (cell.cx <= 0 || cell.cy <= 0) return -1;
    if (!glyphList_) glyphList_ = AcquireGlyphCache().GetList(cell.cx, cell.cy);
    MakePicture(state);
    return imageIndex_[int(state)];
}

void TButtonGlyph::MakePicture(TButtonState state) {
    const SIZE cell = CellSize();
    const int sourceCell = int(state) < numGlyphs_ ? int(state) : 0;
    const int sourceX = sourceCell * cell.cx;
    const COLORREF transparent = ColorToRGB(transparentColor_);
    const COLORREF face = ColorToRGB(clBtnFace);
    HDC source = source_.Canvas().Handle();

    // The colours are changed in the picture's own memory: a mask, a context
    // and two copies for each colour cost some 100 us a picture under Wine.
    PictureCanvas picture(cell.cx, cell.cy, false);
    if (state == TButtonState::bsDisabled && numGlyphs_ < 2) {
        PaintEmbossed(picture, source, sourceX);
        imageIndex_[int(state)] = glyphList_->Add(picture.Finish(), static_cast<HBITMAP>(MaskOf(picture, std::nullopt).Get()));
        return;
    }
    BitBlt(picture.Dc(), 0, 0, cell.cx, cell.cy, source, sourceX, 0, SRCCOPY);
    // Drawn over the dither, the exclusive picture lets the transparent colour
    // through and is black there, as the image list's transparent drawing expects.
    const bool seeThrough = state == TButtonState::bsExclusive;
    UniqueGdiObject mask = MaskOf(picture, seeThrough ? std::optional(transparent) : std::nullopt);
    switch (state) {
    case TButtonState::bsUp:
    case TButtonState::bsDown:
        Recolor(picture, {{transparent, face}});
        break;
    case TButtonState::bsExclusive:
        Recolor(picture, {{transparent, RGB(0, 0, 0)}});
        break;
    case TButtonState::bsDisabled:
        Recolor(picture, {{RGB(255, 255, 255), ColorToRGB(clBtnHighlight)},
                          {RGB(128, 128, 128), ColorToRGB(clBtnShadow)},
                          {transparent, face}});
        break;
    }
    imageIndex_[int(state)] = glyphList_->Add(picture.Finish(), static_cast<HBITMAP>(mask.Get()));
}

void TButtonGlyph::DrawGlyph(HDC dc, POINT at, TButtonState state) {
    const int index = CreateButtonGlyph(state);
    if (index < 0) return;
    const SIZE cell = CellSize();
    const bool seeThrough = state == TButtonState::bsExclusive;
    DrawThroughBuffer(dc, RECT{at.x, at.y, at.x + cell.cx, at.y + cell.cy}, seeThrough, [&](HDC target, int x, int y) {
        if (seeThrough)
            ImageList_DrawEx(glyphList_->Handle(), index, target, x, y, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
        else
            ImageList_DrawEx(glyphList_->Handle(), index, target, x, y, 0, 0, ColorToRGB(clBtnFace), CLR_NONE,
                             ILD_NORMAL);
    });
}

void TButtonGlyph::DrawCaption(TCanvas& canvas, const std::string& caption, RECT bounds, TButtonState state) {
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    if (state == TButtonState::bsDisabled) {
        const TColor color = canvas.Font().Color();
        RECT shifted = bounds;
        OffsetRect(&shifted, 1, 1);
        canvas.Font().SetColor(clWhite);
        canvas.DrawText(caption, shifted, 0);
        canvas.Font().SetColor(clGray);
        canvas.DrawText(caption, bounds, 0);
        canvas.Font().SetColor(color);
    } else {
        canvas.DrawText(caption, bounds, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

RECT TButtonGlyph::Draw(TCanvas& canvas, const RECT& client, const std::string& caption, TButtonLayout layout,
                        int margin, int spacing, TButtonState state) {
    const SIZE glyphSize = source_.Width() > 0 && source_.Height() > 0 ? CellSize() : SIZE{0, 0};
    SIZE textSize{0, 0};
    if (!caption.empty()) {
        RECT measured{0, 0, client.right - client.left, 0};
        canvas.DrawText(caption, measured, DT_CALCRECT);
        textSize = SIZE{measured.right - measured.left, measured.bottom - measured.top};
    }
    const TGlyphPlacement placement = PlaceGlyphAndText(client, glyphSize, textSize, layout, margin, spacing);
    if (glyphSize.cx > 0) DrawGlyph(canvas.Handle(), placement.glyph, state);
    if (!caption.empty()) DrawCaption(canvas, caption, placement.text, state);
    return placement.text;
}

// ---- speed buttons

// The 8 x 8 pattern of the held face: button face with every other pixel
// white. One copy serves every speed button and goes with the last of them;
// a new face colour makes a new copy for the buttons that ask next.
class TSpeedButton::DitherPattern {
public:
    // The pixels are written straight into the bitmap's memory, not set one by one.
    DitherPattern() : face_(ColorToRGB(clBtnFace)), bitmap_(CreateDibSection(8, 8, 24)) {
        DIBSECTION section{};
        if (GetObjectW(bitmap_.Get(), sizeof section, &section) != sizeof section) return;
        auto* bits = static_cast<BYTE*>(section.dsBm.bmBits);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const COLORREF color = (x % 2 == y % 2) ? RGB(255, 255, 255) : face_;
                // Bottom-up rows of blue, green, red bytes.
                BYTE* pixel = bits + (7 - y) * section.dsBm.bmWidthBytes + x * 3;
                pixel[0] = GetBValue(color);
                pixel[1] = GetGValue(color);
                pixel[2] = GetRValue(color);
            }
        brush_.Reset(CreatePatternBrush(static_cast<HBITMAP>(bitmap_.Get())));
    }
    HBRUSH Brush() const { return static_cast<HBRUSH>(brush_.Get()); }

    static std::shared_ptr<DitherPattern> Shared() {
        static std::weak_ptr<DitherPattern> shared;
        auto pattern = shared.lock();
        if (!pattern || pattern->face_ != ColorToRGB(clBtnFace)) {
            pattern = std::make_shared<DitherPattern>();
            shared = pattern;
        }
        return pattern;
    }

private:
    COLORREF face_;
    UniqueGdiObject bitmap_;
    UniqueGdiObject brush_;
};

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 25, 25);
    glyph_.OnChange.Bind<&TSpeedButton::GlyphChanged>(this);
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGroupIndex(int index) {
    if (groupIndex_ == index) return;
    groupIndex_ = index;
    AnnounceToGroup();
}

void TSpeedButton::SetDown(bool down) {
    if (groupIndex_ == 0) down = false;
    if (down == down_) return;
    // A held button of a group is released only by pressing another one.
    if (down_ && !allowAllUp_) return;
    down_ = down;
    state_ = down ? TButtonState::bsExclusive : TButtonState::bsUp;
    Invalidate();
    if (down) AnnounceToGroup();
}

void TSpeedButton::SetAllowAllUp(bool allow) {
    if (allowAllUp_ == allow) return;
    allowAllUp_ = allow;
    AnnounceToGroup();
}

void TSpeedButton::SetLayout(TButtonLayout layout) {
    if (layout_ == layout) return;
    layout_ = layout;
    Invalidate();
}

void TSpeedButton::SetSpacing(int spacing) {
    if (spacing_ == spacing) return;
    spacing_ = spacing;
    Invalidate();
}

void TSpeedButton::SetMargin(int margin) {
    if (margin_ == margin || margin < -1) return;
    margin_ = margin;
    Invalidate();
}

void TSpeedButton::SetGlyph(const TBitmap* glyph) {
    glyph_.SetGlyph(glyph);
}

void TSpeedButton::SetNumGlyphs(int count) {
    glyph_.SetNumGlyphs(count);
}

void TSpeedButton::GlyphChanged(TObject*) {
    Invalidate();
}

void TSpeedButton::AnnounceToGroup() {
    TWinControl* parent = Parent();
    if (groupIndex_ == 0 || !parent) return;
    for (int i = 0; i < parent->ControlCount(); ++i)
        parent->Controls(i)->Perform(CM_BUTTONPRESSED, WPARAM(groupIndex_),
                                     reinterpret_cast<LPARAM>(static_cast<TControl*>(this)));
}

void TSpeedButton::GroupButtonPressed(int groupIndex, TSpeedButton* sender) {
    if (groupIndex != groupIndex_ || !sender || sender == this) return;
    if (sender->Down() && down_) {
        down_ = false;
        state_ = TButtonState::bsUp;
        Invalidate();
    }
    allowAllUp_ = sender->AllowAllUp();
}

void TSpeedButton::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CM_BUTTONPRESSED:
        GroupButtonPressed(int(message.WParam),
                           dynamic_cast<TSpeedButton*>(reinterpret_cast<TControl*>(message.LParam)));
        return;
    case CM_DIALOGCHAR:
        if (Enabled() && Visible() && IsAccel(message.WParam, Caption())) {
            Click();
            message.Result = 1;
            return;
        }
        break;
    case CM_SYSCOLORCHANGE:
        glyph_.DiscardPictures();
        glyph_.CreateButtonGlyph(state_);
        dither_.reset();
        Invalidate();
        break;
    }
    TGraphicControl::WndProc(message);
}

// A disabled button shows the disabled face and lets go of a press in progress.
void TSpeedButton::FollowEnabled() {
    if (!Enabled()) {
        state_ = TButtonState::bsDisabled;
        if (tracking_) SetMouseCapture(false);
        tracking_ = false;
    } else if (state_ == TButtonState::bsDisabled) {
        state_ = down_ && groupIndex_ != 0 ? TButtonState::bsExclusive : TButtonState::bsUp;
    }
}

void TSpeedButton::EnabledChanged() {
    FollowEnabled();
    glyph_.CreateButtonGlyph(Enabled() ? TButtonState::bsUp : TButtonState::bsDisabled);
    Invalidate();
}

void TSpeedButton::FontChanged() {
    TGraphicControl::FontChanged();
    Invalidate();
}

void TSpeedButton::ShowState(TButtonState state) {
    state_ = state;
    Repaint();
}

bool TSpeedButton::IsInside(int x, int y) const {
    // The row just below the button still counts, so a release on the bottom edge clicks.
    return x >= 0 && x < Width() && y >= 0 && y <= Height();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != TMouseButton::mbLeft || !Enabled()) return;
    // The second press of a double click is a press like the first.
    if (!down_) ShowState(TButtonState::bsDown);
    tracking_ = true;
    SetMouseCapture(true);
    if ((shift & ssDouble) && down_) DblClick();
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    TGraphicControl::MouseMove(shift, x, y);
    if (!tracking_) return;
    const TButtonState state = down_ ? TButtonState::bsExclusive
                               : IsInside(x, y) ? TButtonState::bsDown
                                                : TButtonState::bsUp;
    if (state != state_) ShowState(state);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!tracking_ || button != TMouseButton::mbLeft) return;
    tracking_ = false;
    SetMouseCapture(false);
    const bool clicked = IsInside(x, y);
    if (groupIndex_ == 0) {
        ShowState(TButtonState::bsUp);
    } else {
        if (clicked) SetDown(!down_);
        ShowState(down_ ? TButtonState::bsExclusive : TButtonState::bsUp);
    }
    if (clicked) Click();
}

void TSpeedButton::PaintFace(RECT rect, bool sunken) {
    TCanvas& canvas = Canvas();
    canvas.Brush().SetColor(clBtnFace);
    if (sunken) {
        canvas.DrawEdge(rect, BDR_SUNKENINNER, BF_TOPLEFT);
        canvas.DrawEdge(rect, BDR_SUNKENOUTER, BF_BOTTOMRIGHT);
        rect.right -= 1;
        rect.bottom -= 1;
        rect.left += 1;
        rect.top += 1;
        canvas.DrawEdge(rect, BDR_SUNKENOUTER, BF_TOPLEFT | BF_MIDDLE);
    } else {
        canvas.DrawEdge(rect, BDR_RAISEDOUTER, BF_BOTTOMRIGHT);
        rect.right -= 1;
        rect.bottom -= 1;
        canvas.DrawEdge(rect, BDR_RAISEDINNER, BF_TOPLEFT);
        rect.left += 1;
        rect.top += 1;
        canvas.DrawEdge(rect, BDR_RAISEDINNER, BF_BOTTOMRIGHT | BF_MIDDLE);
    }
}

void TSpeedButton::PaintDither(const RECT& rect) {
    if (!dither_) dither_ = DitherPattern::Shared();
    HDC dc = Canvas().Handle();
    // Align the pattern with the button's own corner so that its pixel (0, 0) is white.
    POINT origin{0, 0};
    LPtoDP(dc, &origin, 1);
    POINT oldOrigin;
    SetBrushOrgEx(dc, ((origin.x % 8) + 8) % 8, ((origin.y % 8) + 8) % 8, &oldOrigin);
    FillRect(dc, &rect, dither_->Brush());
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

void TSpeedButton::Paint() {
    FollowEnabled();
    Canvas().Font().Assign(Font());
    const bool sunken = state_ == TButtonState::bsDown || state_ == TButtonState::bsExclusive;
    PaintFace(RECT{0, 0, Width(), Height()}, sunken);

    RECT content{1, 1, Width() - 2, Height() - 2};
    if (sunken) OffsetRect(&content, 1, 1);
    if (state_ == TButtonState::bsExclusive) {
        content.right -= 1;
        content.bottom -= 1;
        PaintDither(content);
    }
    glyph_.Draw(Canvas(), content, Caption(), layout_, margin_, spacing_, state_);
}

// ---- bitmap buttons

namespace {

struct KindSettings {
    const char* glyph;
    unsigned caption;
    int modalResult;
    bool isDefault;
    bool cancel;
};

const KindSettings& SettingsOf(TBitBtnKind kind) {
    static const std::array<KindSettings, 11> settings{{
        {nullptr, 0, 0, false, false},                   // bkCustom
        {"BBOK", SOKButton, mrOk, true, false},          // bkOK
        {"BBCANCEL", SCancelButton, mrCancel, false, true},
        {"BBHELP", SHelpButton, mrNone, false, false},
        {"BBYES", SYesButton, mrYes, true, false},
        {"BBNO", SNoButton, mrNo, false, true},
        {"BBCLOSE", SCloseButton, mrNone, false, false},
        {"BBABORT", SAbortKindCaption, mrAbort, false, false},
        {"BBRETRY", SRetryButton, mrRetry, false, false},
        {"BBIGNORE", SIgnoreButton, mrIgnore, false, false},
        {"BBALL", SAllButton, mrAll, false, false},
    }};
    return settings[size_t(kind)];
}

// The glyph of a kind, loaded on first use and shared for the rest of the run.
const TBitmap& KindGlyph(TBitBtnKind kind) {
    static std::array<std::unique_ptr<TBitmap>, 11> glyphs;
    auto& glyph = glyphs[size_t(kind)];
    if (!glyph) {
        auto loaded = std::make_unique<TBitmap>();
        const char* name = SettingsOf(kind).glyph;
        if (!loaded->LoadFromResourceName(name)) throw EResNotFound(FormatText(LoadStr(SResNotFound), name));
        glyph = std::move(loaded);
    }
    return *glyph;
}

}  // namespace

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {
    glyph_.OnChange.Bind<&TBitBtn::GlyphChanged>(this);
}

TBitBtn::~TBitBtn() = default;

void TBitBtn::CreateParams(TCreateParams& params) {
    TButton::CreateParams(params);
    params.Style = (params.Style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TBitBtn::SetGlyph(const TBitmap* glyph) {
    glyph_.SetGlyph(glyph);
    glyphModified_ = true;
}

void TBitBtn::SetNumGlyphs(int count) {
    glyph_.SetNumGlyphs(count);
}

void TBitBtn::GlyphChanged(TObject*) {
    Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout layout) {
    if (layout_ == layout) return;
    layout_ = layout;
    Invalidate();
}

void TBitBtn::SetSpacing(int spacing) {
    if (spacing_ == spacing) return;
    spacing_ = spacing;
    Invalidate();
}

void TBitBtn::SetMargin(int margin) {
    if (margin_ == margin || margin < -1) return;
    margin_ = margin;
    Invalidate();
}

void TBitBtn::SetStyle(TButtonStyle style) {
    if (style_ == style) return;
    style_ = style;
    Invalidate();
}

bool TBitBtn::KindStillMatches() const {
    const KindSettings& kind = SettingsOf(kind_);
    return !glyphModified_ && Default() == kind.isDefault && Cancel() == kind.cancel &&
           ModalResult() == kind.modalResult;
}

TBitBtnKind TBitBtn::Kind() {
    if (kind_ != TBitBtnKind::bkCustom && !KindStillMatches()) kind_ = TBitBtnKind::bkCustom;
    return kind_;
}

void TBitBtn::SetKind(TBitBtnKind kind) {
    if (kind == Kind()) return;
    if (kind != TBitBtnKind::bkCustom) {
        const KindSettings& settings = SettingsOf(kind);
        SetDefault(settings.isDefault);
        SetCancel(settings.cancel);
        SetCaption(LoadStr(settings.caption));
        SetModalResult(settings.modalResult);
        glyph_.SetGlyph(&KindGlyph(kind));
        glyph_.SetNumGlyphs(2);
        glyphModified_ = false;
    }
    kind_ = kind;
    Invalidate();
}

void TBitBtn::Click() {
    switch (Kind()) {
    case TBitBtnKind::bkClose:
        if (auto* form = dynamic_cast<TForm*>(GetParentForm(this))) form->Close();
        return;
    default:
        TButton::Click();
    }
}

void TBitBtn::SetButtonStyle(bool) {
    // The system's default-button style would replace the owner-draw style, so
    // the heavy frame of the active button is our own drawing.
    Repaint();
}

void TBitBtn::FontChanged() {
    TButton::FontChanged();
    Invalidate();
}

void TBitBtn::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CN_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
        message.Result = TRUE;
        return;
    case WM_LBUTTONDBLCLK:
        message.Msg = WM_LBUTTONDOWN;  // a double click is a second press
        break;
    case CM_SYSCOLORCHANGE:
        glyph_.DiscardPictures();
        Invalidate();
        break;
    }
    TButton::WndProc(message);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& item) {
    CanvasLoan loan(canvas_, item.hDC);
    const RECT client = item.rcItem;
    RECT rect = client;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const TButtonState state = !Enabled() ? TButtonState::bsDisabled
                               : pressed  ? TButtonState::bsDown
                                          : TButtonState::bsUp;

    if ((item.itemState & ODS_FOCUS) || Active()) {
        canvas_.Pen().SetColor(clWindowFrame);
        canvas_.Pen().SetWidth(1);
        canvas_.Brush().SetStyle(TBrushStyle::bsClear);
        canvas_.Rectangle(rect.left, rect.top, rect.right, rect.bottom);
        InflateRect(&rect, -1, -1);
    }
    if (!pressed) {
        UINT flags = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT;
        if (item.itemState & ODS_DISABLED) flags |= DFCS_INACTIVE;
        DrawFrameControl(canvas_.Handle(), &rect, DFC_BUTTON, flags);
    } else {
        canvas_.Pen().SetColor(clBtnShadow);
        canvas_.Brush().SetColor(clBtnFace);
        canvas_.Rectangle(rect.left, rect.top, rect.right, rect.bottom);
        InflateRect(&rect, -1, -1);
    }
    if (Active()) {
        rect = client;
        InflateRect(&rect, -1, -1);
    }

    canvas_.Font().Assign(Font());
    if (pressed) OffsetRect(&rect, 1, 1);
    glyph_.Draw(canvas_, rect, Caption(), layout_, margin_, spacing_, state);

    if (Active()) {
        RECT focus = client;
        InflateRect(&focus, -4, -4);
        canvas_.DrawFocusRect(focus);
    }
}
