#include "ComCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "StringIds.h"
#include "runtime/SysUtils.h"

namespace {

// Registers the slider and status bar window classes of the common controls.
void EnsureBarClasses() {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
}

DWORD OrientationStyle(TTrackBarOrientation orientation) {
    return orientation == TTrackBarOrientation::trVertical ? TBS_VERT : TBS_HORZ;
}

DWORD TickStyleBits(TTickStyle style) {
    switch (style) {
        case TTickStyle::tsNone: return TBS_NOTICKS;
        case TTickStyle::tsAuto: return TBS_AUTOTICKS;
        case TTickStyle::tsManual: break;
    }
    return 0;
}

DWORD TickMarkBits(TTickMark marks) {
    switch (marks) {
        case TTickMark::tmBottomRight: return TBS_BOTTOM;
        case TTickMark::tmTopLeft: return TBS_TOP;
        case TTickMark::tmBoth: return TBS_BOTH;
    }
    return TBS_BOTTOM;
}

}  // namespace

// ---- TTrackBar

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(Left(), Top(), 150, 45);
    SetTabStop(true);
}

void TTrackBar::SetOrientation(TTrackBarOrientation orientation) {
    if (orientation == orientation_) return;
    orientation_ = orientation;
    SetBounds(Left(), Top(), Height(), Width());
    RecreateIfBuilt();
}

void TTrackBar::SetTickMarks(TTickMark tickMarks) {
    if (tickMarks == tickMarks_) return;
    tickMarks_ = tickMarks;
    RecreateIfBuilt();
}

void TTrackBar::SetTickStyle(TTickStyle tickStyle) {
    if (tickStyle == tickStyle_) return;
    tickStyle_ = tickStyle;
    RecreateIfBuilt();
}

void TTrackBar::SetLineSize(int lineSize) {
    if (lineSize == lineSize_) return;
    lineSize_ = lineSize;
    Send(TBM_SETLINESIZE, 0, lineSize_);
}

void TTrackBar::SetPageSize(int pageSize) {
    if (pageSize == pageSize_) return;
    pageSize_ = pageSize;
    Send(TBM_SETPAGESIZE, 0, pageSize_);
}

void TTrackBar::SetFrequency(int frequency) {
    if (frequency == frequency_) return;
    frequency_ = frequency;
    Send(TBM_SETTICFREQ, WPARAM(frequency_), 1);
}

void TTrackBar::SetMin(int minimum) { ApplyRange(position_, minimum, max_); }
void TTrackBar::SetMax(int maximum) { ApplyRange(position_, min_, maximum); }
void TTrackBar::SetPosition(int position) { ApplyRange(position, min_, max_); }

// The one way Min, Max and Position change: checked as a whole, then each
// value that differs is stored and sent. Nothing here raises OnChange.
void TTrackBar::ApplyRange(int position, int minimum, int maximum) {
    if (maximum < minimum) throw EInvalidOperation(FormatText(LoadStr(SPropertyOutOfRange), "TTrackBar"));
    position = std::clamp(position, minimum, maximum);
    if (minimum != min_) {
        min_ = minimum;
        Send(TBM_SETRANGEMIN, TRUE, min_);
    }
    if (maximum != max_) {
        max_ = maximum;
        Send(TBM_SETRANGEMAX, TRUE, max_);
    }
    if (position != position_) {
        position_ = position;
        Send(TBM_SETPOS, TRUE, position_);
    }
}

void TTrackBar::SetSelStart(int selStart) {
    if (selStart == selStart_) return;
    selStart_ = selStart;
    SendSelection();
}

void TTrackBar::SetSelEnd(int selEnd) {
    if (selEnd == selEnd_) return;
    selEnd_ = selEnd;
    SendSelection();
}

void TTrackBar::SendSelection() {
    if (selStart_ == 0 && selEnd_ == 0) {
        Send(TBM_CLEARSEL, TRUE, 0);
        return;
    }
    // The ends go one at a time: TBM_SETSEL packs both into 16 bits each,
    // which would mangle a selection in a track longer than 65535 seconds.
    Send(TBM_SETSELSTART, FALSE, selStart_);
    Send(TBM_SETSELEND, TRUE, selEnd_);
}

void TTrackBar::CreateParams(TCreateParams& params) {
    EnsureBarClasses();
    TWinControl::CreateParams(params);
    params.WinClassName = "TTrackBar";
    params.SystemClass = "msctls_trackbar32";
    params.Style |= OrientationStyle(orientation_) | TickStyleBits(tickStyle_) | TickMarkBits(tickMarks_) |
                    TBS_ENABLESELRANGE;
}

// A new native slider knows nothing yet: give it every stored value. Setting
// them by message raises no scroll notification, so no OnChange either.
void TTrackBar::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    Send(TBM_SETLINESIZE, 0, lineSize_);
    Send(TBM_SETPAGESIZE, 0, pageSize_);
    Send(TBM_SETRANGEMIN, FALSE, min_);
    Send(TBM_SETRANGEMAX, FALSE, max_);
    SendSelection();
    Send(TBM_SETPOS, TRUE, position_);
    Send(TBM_SETTICFREQ, WPARAM(frequency_), 1);
}

void TTrackBar::WndProc(TMessage& message) {
    TWinControl::WndProc(message);
    if (message.Msg == CN_HSCROLL || message.Msg == CN_VSCROLL) {
        message.Result = 0;
        UserMoved();
    }
}

// The native slider reports every step of the user's movement, the release
// included; each report reads the new position back and tells OnChange.
void TTrackBar::UserMoved() {
    position_ = int(SendMessageW(Handle(), TBM_GETPOS, 0, 0));
    OnChange(this);
}

void TTrackBar::Send(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (HandleAllocated()) SendMessageW(Handle(), msg, wParam, lParam);
}

void TTrackBar::RecreateIfBuilt() {
    if (HandleAllocated()) RecreateWnd();
}

// ---- TStatusPanel

int TStatusPanel::Index() const { return collection_.IndexOf(this); }

void TStatusPanel::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    Changed(false);
}

void TStatusPanel::SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel bevel) {
    if (bevel == bevel_) return;
    bevel_ = bevel;
    Changed(true);
}

void TStatusPanel::SetStyle(TStatusPanelStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed(false);
}

void TStatusPanel::Assign(const TStatusPanel& source) {
    SetText(source.Text());
    SetWidth(source.Width());
    SetAlignment(source.Alignment());
    SetBevel(source.Bevel());
    SetStyle(source.Style());
}

void TStatusPanel::Changed(bool wholeBar) { collection_.Changed(wholeBar ? nullptr : this); }

// ---- TStatusPanels

TStatusPanel* TStatusPanels::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(LoadStr(SListIndexError));
    return items_[size_t(index)].get();
}

int TStatusPanels::IndexOf(const TStatusPanel* panel) const {
    auto found = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == panel; });
    return found == items_.end() ? -1 : int(found - items_.begin());
}

TStatusPanel* TStatusPanels::Add() {
    items_.push_back(std::make_unique<TStatusPanel>(*this));
    Changed(nullptr);
    return items_.back().get();
}

void TStatusPanels::Delete(int index) {
    Items(index);  // fails outside the panels
    items_.erase(items_.begin() + index);
    Changed(nullptr);
}

void TStatusPanels::Clear() {
    items_.clear();
    Changed(nullptr);
}

void TStatusPanels::Assign(const TStatusPanels& source) {
    if (&source == this) return;
    BeginUpdate();
    items_.clear();
    for (const auto& panel : source.items_) Add()->Assign(*panel);
    EndUpdate();
}

void TStatusPanels::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed(nullptr);
}

void TStatusPanels::Changed(const TStatusPanel* panel) {
    if (updateCount_ > 0) return;
    if (panel)
        bar_.UpdatePanel(IndexOf(panel));
    else
        bar_.UpdateAllPanels();
}

// ---- TStatusBar

namespace {

WPARAM PanelFlags(const TStatusPanel& panel) {
    WPARAM flags = 0;
    if (panel.Bevel() == TStatusPanelBevel::pbNone) flags |= SBT_NOBORDERS;
    if (panel.Bevel() == TStatusPanelBevel::pbRaised) flags |= SBT_POPOUT;
    if (panel.Style() == TStatusPanelStyle::psOwnerDraw) flags |= SBT_OWNERDRAW;
    return flags;
}

// The native bar centres what follows one tab and right-aligns what follows two.
std::string AlignedText(const TStatusPanel& panel) {
    switch (panel.Alignment()) {
        case TAlignment::taCenter: return "\t" + panel.Text();
        case TAlignment::taRightJustify: return "\t\t" + panel.Text();
        case TAlignment::taLeftJustify: break;
    }
    return panel.Text();
}

// Saves a device context's state and restores it when leaving scope.
class SavedDCState {
public:
    explicit SavedDCState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDCState() { RestoreDC(dc_, saved_); }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

private:
    HDC dc_;
    int saved_;
};

}  // namespace

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(Left(), Top(), Width(), 19);
    SetAlign(TAlign::alBottom);
    SetColor(clBtnFace);
}

void TStatusBar::SetSimpleText(const std::string& text) {
    if (text == simpleText_) return;
    simpleText_ = text;
    SendPartText(SB_SIMPLEID, simpleText_);
}

void TStatusBar::SetSimplePanel(bool simple) {
    if (simple == simplePanel_) return;
    simplePanel_ = simple;
    Send(SB_SIMPLE, simplePanel_, 0);
}

void TStatusBar::SetSizeGrip(bool sizeGrip) {
    if (sizeGrip == sizeGrip_) return;
    sizeGrip_ = sizeGrip;
    if (HandleAllocated()) RecreateWnd();
}

void TStatusBar::UpdateAllPanels() {
    if (!HandleAllocated()) return;
    SendPartEdges(PartEdges());
    const int shown = ShownPanelCount();
    if (shown == 0) SendPartText(0, "");
    for (int i = 0; i < shown; ++i) UpdatePanel(i);
}

// Right edges: running sums of the widths, and -1 for the last part, which
// reaches the bar's end whatever its width. No panels: one part over the whole bar.
std::vector<int> TStatusBar::PartEdges() const {
    const int shown = ShownPanelCount();
    std::vector<int> edges(size_t(std::max(shown, 1)), -1);
    int right = 0;
    for (int i = 0; i + 1 < shown; ++i) edges[size_t(i)] = right += panels_[i]->Width();
    return edges;
}

void TStatusBar::SendPartEdges(const std::vector<int>& edges) {
    Send(SB_SETPARTS, WPARAM(edges.size()), LPARAM(edges.data()));
}

void TStatusBar::SendPartText(WPARAM part, const std::string& text) {
    Send(SB_SETTEXTW, part, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
}

// The native bar never hears of a new size (see DefaultHandler), so it must
// be made to measure its parts again.
void TStatusBar::RemeasureParts() {
    if (!HandleAllocated()) return;
    const std::vector<int> edges = PartEdges();
    RECT client{};
    GetClientRect(Handle(), &client);
    // Wine skips the measuring when the edges are unchanged: pass the bar's
    // end as a plain number once, then the real edges.
    std::vector<int> explicitEnd = edges;
    explicitEnd.back() = client.right;
    SendPartEdges(explicitEnd);
    SendPartEdges(edges);
}

int TStatusBar::ShownPanelCount() const { return std::min(panels_.Count(), MaxShownPanels); }

void TStatusBar::UpdatePanel(int index) {
    // Panels past the last part are not shown. Their index must not reach the
    // native bar either: it reads 255 as the simple text and 256 and up as
    // part 0 with drawing flags.
    if (!HandleAllocated() || index < 0 || index >= MaxShownPanels) return;
    const TStatusPanel& panel = *panels_[index];
    const WPARAM part = WPARAM(index) | PanelFlags(panel);
    if (panel.Style() == TStatusPanelStyle::psOwnerDraw) {
        // An owner-drawn part keeps a number instead of a text; OnDrawPanel reads the panel itself.
        Send(SB_SETTEXTW, part, 0);
        return;
    }
    SendPartText(part, AlignedText(panel));
}

void TStatusBar::CreateParams(TCreateParams& params) {
    EnsureBarClasses();
    TWinControl::CreateParams(params);
    params.WinClassName = "TStatusBar";
    params.SystemClass = "msctls_statusbar32";
    params.Style |= sizeGrip_ ? SBARS_SIZEGRIP : CCS_TOP;
}

void TStatusBar::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    UpdateAllPanels();
    if (!simpleText_.empty()) SendPartText(SB_SIMPLEID, simpleText_);
    if (simplePanel_) Send(SB_SIMPLE, TRUE, 0);
}

void TStatusBar::WndProc(TMessage& message) {
    switch (message.Msg) {
        case CN_DRAWITEM:
            DrawPanel(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
            message.Result = 1;
            return;
        case WM_SIZE:
            TWinControl::WndProc(message);
            RemeasureParts();
            OnResize(this);
            return;
        default:
            TWinControl::WndProc(message);
    }
}

// The native bar would move itself to its parent's edge on every size
// change; where the bar stands is for the framework's alignment to decide.
void TStatusBar::DefaultHandler(TMessage& message) {
    if (message.Msg == WM_SIZE) {
        message.Result = 0;
        return;
    }
    TWinControl::DefaultHandler(message);
}

void TStatusBar::DrawPanel(const DRAWITEMSTRUCT& item) {
    SavedDCState saved(item.hDC);
    CanvasLoan loan(canvas_, item.hDC);
    canvas_.Font().Assign(Font());
    canvas_.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas_.Brush().SetColor(clBtnFace);
    const int index = int(item.itemID);
    if (OnDrawPanel.Assigned() && index >= 0 && index < panels_.Count())
        OnDrawPanel(this, panels_[index], item.rcItem);
    else
        canvas_.FillRect(item.rcItem);
}

void TStatusBar::Send(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (HandleAllocated()) SendMessageW(Handle(), msg, wParam, lParam);
}
