// Speed buttons (windowless tool-bar buttons, optionally grouped like radio
// buttons), bitmap buttons (owner-drawn push buttons with a picture) and the
// glyph engine both use to turn a glyph bitmap into finished pictures.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "Graphics.h"
#include "StdCtrls.h"

// What a button face shows; the numbers are also the cell order of a glyph.
enum class TButtonState : uint8_t { bsUp = 0, bsDisabled = 1, bsDown = 2, bsExclusive = 3 };
enum class TButtonLayout { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };
enum class TButtonStyle { bsAutoDetect = 0, bsWin31 = 1, bsNew = 2 };
enum class TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// Where glyph and caption go inside a button's content rectangle.
struct TGlyphPlacement {
    POINT glyph;
    RECT text;
};

// Places a glyph of glyphSize and a caption of textSize inside client. A margin
// of -1 centres the content; a spacing of -1 spreads it evenly.
TGlyphPlacement PlaceGlyphAndText(const RECT& client, SIZE glyphSize, SIZE textSize, TButtonLayout layout,
                                  int margin, int spacing);

// An image list of one cell size whose slots are handed out and taken back;
// freed slots are filled again before the list grows.
class TGlyphList : public TObject {
public:
    TGlyphList(int width, int height);
    ~TGlyphList() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Number of slots in use.
    int Count() const { return used_; }
    HIMAGELIST Handle() const { return list_; }
    // Stores a picture with its mask (set bits are see-through) in the lowest free slot.
    int Add(HBITMAP image, HBITMAP mask);
    // Frees the slot; its image stays in the list for the next Add.
    void Delete(int index);

private:
    int FirstFreeSlot() const;

    HIMAGELIST list_;
    int width_, height_;
    std::vector<bool> slots_;
    int used_ = 0;
};

// The process's glyph lists, one per cell size.
class TGlyphCache : public TObject {
public:
    // The list for cells of width x height, made when none exists.
    TGlyphList* GetList(int width, int height);
    // Gives a list back; it is destroyed once none of its slots is used.
    void ReturnList(TGlyphList* list);
    int ListCount() const { return int(lists_.size()); }
    bool Empty() const { return lists_.empty(); }

private:
    std::vector<std::unique_ptr<TGlyphList>> lists_;
};

// The process's glyph cache; nullptr while no glyph engine holds pictures.
TGlyphCache* GlyphCache();

// Cuts a glyph bitmap into cells (up, disabled, down, exclusive), makes the
// picture of each state once, keeps it in the shared glyph list for its cell
// size, and draws glyph and caption.
class TButtonGlyph : public TObject {
public:
    TButtonGlyph();
    ~TButtonGlyph() override;

    TBitmap& Glyph() { return source_; }
    // Takes a copy of glyph (nullptr or an empty bitmap removes the glyph).
    void SetGlyph(const TBitmap* glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int count);
    TColor TransparentColor() const { return transparentColor_; }
    // The shared list holding this glyph's pictures, nullptr before the first one is made.
    const TGlyphList* GlyphList() const { return glyphList_; }

    // Index of the picture of state in GlyphList(), made now when missing; -1 without a glyph.
    int CreateButtonGlyph(TButtonState state);
    // Forgets every finished picture (after a colour scheme change, for one).
    void DiscardPictures();
    // Draws glyph and caption into client; gives the rectangle the caption took.
    RECT Draw(TCanvas& canvas, const RECT& client, const std::string& caption, TButtonLayout layout,
              int margin, int spacing, TButtonState state);

    // Raised when the glyph changed and the owner must repaint.
    TNotifyEvent OnChange;

private:
    void SourceChanged(TObject* sender);
    SIZE CellSize() const;
    void MakePicture(TButtonState state);
    void DrawGlyph(HDC dc, POINT at, TButtonState state);
    void DrawCaption(TCanvas& canvas, const std::string& caption, RECT bounds, TButtonState state);

    TBitmap source_;
    TGlyphList* glyphList_ = nullptr;
    int imageIndex_[4] = {-1, -1, -1, -1};
    TColor transparentColor_ = clOlive;
    int numGlyphs_ = 1;
};

// A windowless button with a glyph and an optional caption. Buttons that share
// a non-zero GroupIndex under one parent behave like radio buttons.
class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* owner);
    ~TSpeedButton() override;

    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index);
    bool Down() const { return down_; }
    void SetDown(bool down);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool allow);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    TBitmap& Glyph() { return glyph_.Glyph(); }
    void SetGlyph(const TBitmap* glyph);
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int count);
    // The face drawn now.
    TButtonState State() const { return state_; }
    const TButtonGlyph& GlyphEngine() const { return glyph_; }

    void WndProc(TMessage& message) override;

protected:
    // Clicks come from our own tracking of the press, not the framework's.
    bool ClicksOnMouseUp() const override { return false; }
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void EnabledChanged() override;
    void FontChanged() override;
    // Draws the new state at once instead of waiting for the next paint.
    void ShowState(TButtonState state);

private:
    class DitherPattern;
    bool IsInside(int x, int y) const;
    void FollowEnabled();
    void AnnounceToGroup();
    void GroupButtonPressed(int groupIndex, TSpeedButton* sender);
    void GlyphChanged(TObject* sender);
    void PaintFace(RECT rect, bool sunken);
    void PaintDither(const RECT& rect);

    int groupIndex_ = 0;
    TButtonGlyph glyph_;
    bool down_ = false;
    bool tracking_ = false;
    bool allowAllUp_ = false;
    TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
    int spacing_ = 4;
    int margin_ = -1;
    TButtonState state_ = TButtonState::bsUp;
    std::shared_ptr<DitherPattern> dither_;
};

// A push button of the system drawn by the program, with a glyph beside its
// caption, and stock kinds (OK, Cancel, ...) with their own glyph and result.
class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* owner);
    ~TBitBtn() override;

    TBitmap& Glyph() { return glyph_.Glyph(); }
    void SetGlyph(const TBitmap* glyph);
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int count);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle style);
    // Reads bkCustom once Default, Cancel, ModalResult or the glyph no longer match the kind.
    TBitBtnKind Kind();
    void SetKind(TBitBtnKind kind);
    const TButtonGlyph& GlyphEngine() const { return glyph_; }

    void Click() override;
    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void SetButtonStyle(bool isDefault) override;
    void FontChanged() override;

private:
    bool KindStillMatches() const;
    void DrawItem(const DRAWITEMSTRUCT& item);
    void GlyphChanged(TObject* sender);

    TCanvas canvas_;
    TButtonGlyph glyph_;
    TButtonStyle style_ = TButtonStyle::bsAutoDetect;
    TBitBtnKind kind_ = TBitBtnKind::bkCustom;
    TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
    int spacing_ = 4;
    int margin_ = -1;
    bool glyphModified_ = false;
};
