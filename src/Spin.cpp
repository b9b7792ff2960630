#include "Spin.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

#include "StringIds.h"
#include "runtime/SysUtils.h"

namespace {

constexpr unsigned firstRepeatDelay = 400;
constexpr unsigned repeatPeriod = 100;
constexpr int minimumArrowWidth = 15;

// A whole number written as optional blanks, an optional sign and decimal
// digits, within the 32-bit range; anything else is not a number.
std::optional<int> ParseInteger(const std::string& text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 1LL + INT_MAX) return std::nullopt;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) return std::nullopt;
    return int(value);
}

wchar_t LocaleDecimalSeparator() {
    wchar_t separator[4] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, int(std::size(separator)));
    return separator[0];
}

int FontCharHeight(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

}  // namespace

// ---- the repeating arrow

// The system timer that repeats an arrow's click. It runs on the window the
// arrow is painted on; its ticks find the arrow again through the live timers.
class TTimerSpeedButton::RepeatTimer {
public:
    explicit RepeatTimer(TTimerSpeedButton& button) : button_(button) {}
    ~RepeatTimer() { Stop(); }
    RepeatTimer(const RepeatTimer&) = delete;
    RepeatTimer& operator=(const RepeatTimer&) = delete;

    // (Re)starts the period on the arrow's window.
    void Start(unsigned ms) {
        TWinControl* parent = button_.Parent();
        if (!parent) return;
        HWND window = parent->Handle();
        if (window_ && window_ != window) Stop();
        if (!SetTimer(window, Id(), ms, &RepeatTimer::Tick)) {
            Stop();
            throw EOutOfResources(LoadStr(SNoTimers));
        }
        window_ = window;
        interval_ = ms;
        Live()[Id()] = this;
    }
    void Stop() {
        if (window_) KillTimer(window_, Id());
        window_ = nullptr;
        interval_ = 0;
        Live().erase(Id());
    }
    unsigned Interval() const { return interval_; }

private:
    UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }
    static std::map<UINT_PTR, RepeatTimer*>& Live() {
        static std::map<UINT_PTR, RepeatTimer*> live;
        return live;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        auto found = Live().find(id);
        if (found == Live().end()) return;  // a tick that was already queued when the timer stopped
        TTimerSpeedButton& button = found->second->button_;
        try {
            button.RepeatTick();
        } catch (...) {
            ReportException(&button);
        }
    }

    TTimerSpeedButton& button_;
    HWND window_ = nullptr;
    unsigned interval_ = 0;
};

TTimerSpeedButton::TTimerSpeedButton(TComponent* owner) : TSpeedButton(owner) {}

TTimerSpeedButton::~TTimerSpeedButton() = default;

unsigned TTimerSpeedButton::RepeatInterval() const {
    return repeatTimer_ ? repeatTimer_->Interval() : 0;
}

void TTimerSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TSpeedButton::MouseDown(button, shift, x, y);
    if (!(repeatFlags_ & rfAllowRepeat)) return;
    if (!repeatTimer_) repeatTimer_ = std::make_unique<RepeatTimer>(*this);
    repeatTimer_->Start(firstRepeatDelay);
}

void TTimerSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    try {
        TSpeedButton::MouseUp(button, shift, x, y);
    } catch (...) {
        StopRepeat();
        throw;
    }
    StopRepeat();
}

void TTimerSpeedButton::StopRepeat() {
    if (repeatTimer_) repeatTimer_->Stop();
}

void TTimerSpeedButton::RepeatTick() {
    repeatTimer_->Start(repeatPeriod);
    // Only while the pointer keeps the arrow pressed: off the arrow it waits.
    if (State() != TButtonState::bsDown || !MouseCapture()) return;
    try {
        Click();
    } catch (...) {
        StopRepeat();
        throw;
    }
}

void TTimerSpeedButton::Paint() {
    TSpeedButton::Paint();
    if (!(repeatFlags_ & rfFocusRect)) return;
    RECT rect{0, 0, Width(), Height()};
    InflateRect(&rect, -3, -3);
    if (State() == TButtonState::bsDown) OffsetRect(&rect, 1, 1);
    Canvas().DrawFocusRect(rect);
}

// ---- the pair of arrows

TSpinButton::TSpinButton(TComponent* owner) : TWinControl(owner) {
    upButton_ = MakeArrow();
    downButton_ = MakeArrow();
    SetUpGlyph(nullptr);
    SetDownGlyph(nullptr);
    focusedArrow_ = upButton_;
    SetBounds(0, 0, 20, 25);
}

TSpinButton::~TSpinButton() {
    SetFocusControl(nullptr);
}

TTimerSpeedButton* TSpinButton::MakeArrow() {
    auto* arrow = Make<TTimerSpeedButton>(this);
    arrow->SetParent(this);
    arrow->SetRepeatFlags(rfAllowRepeat);
    arrow->OnClick.Bind<&TSpinButton::ArrowClick>(this);
    arrow->OnMouseDown.Bind<&TSpinButton::ArrowMouseDown>(this);
    return arrow;
}

void TSpinButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TSpinButton";
}

void TSpinButton::SetUpGlyph(const TBitmap* glyph) {
    SetArrowGlyph(upButton_, glyph, "SpinUp");
}

void TSpinButton::SetDownGlyph(const TBitmap* glyph) {
    SetArrowGlyph(downButton_, glyph, "SpinDown");
}

void TSpinButton::SetArrowGlyph(TTimerSpeedButton* arrow, const TBitmap* glyph, const char* resourceName) {
    if (glyph) {
        arrow->SetGlyph(glyph);
        return;
    }
    TBitmap own;
    if (!own.LoadFromResourceName(resourceName))
        throw EResNotFound(FormatText(LoadStr(SResNotFound), resourceName));
    arrow->SetGlyph(&own);
    arrow->SetNumGlyphs(1);
    arrow->Invalidate();
}

void TSpinButton::SetFocusControl(TWinControl* control) {
    if (focusControl_ == control) return;
    if (focusControl_) RemoveFreeNotification(focusControl_);
    focusControl_ = control;
    if (focusControl_) FreeNotification(focusControl_);
}

void TSpinButton::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TSpinButton::AdjustArrows(int& width, int& height) {
    if (!upButton_ || !downButton_) return;
    width = std::max(width, minimumArrowWidth);
    upButton_->SetBounds(0, 0, width, height / 2);
    // The arrows share one pixel row.
    const int upHeight = upButton_->Height();
    downButton_->SetBounds(0, upHeight - 1, width, height - upHeight + 1);
}

void TSpinButton::SetBounds(int left, int top, int width, int height) {
    AdjustArrows(width, height);
    TWinControl::SetBounds(left, top, width, height);
}

void TSpinButton::FocusArrow(TTimerSpeedButton* arrow) {
    if (!TabStop() || !CanFocus() || arrow == focusedArrow_) return;
    focusedArrow_->SetRepeatFlags(focusedArrow_->RepeatFlags() & ~rfFocusRect);
    focusedArrow_ = arrow;
    if (Focused()) {
        arrow->SetRepeatFlags(arrow->RepeatFlags() | rfFocusRect);
        Invalidate();
    }
}

void TSpinButton::ShowFocusRect(bool show) {
    const TTimeBtnState flags = focusedArrow_->RepeatFlags();
    focusedArrow_->SetRepeatFlags(show ? flags | rfFocusRect : flags & ~rfFocusRect);
    focusedArrow_->Invalidate();
}

bool TSpinButton::HandleKey(WPARAM key) {
    switch (key) {
    case VK_SPACE:
        focusedArrow_->Click();
        return true;
    case VK_UP:
        FocusArrow(upButton_);
        upButton_->Click();
        return true;
    case VK_DOWN:
        FocusArrow(downButton_);
        downButton_->Click();
        return true;
    }
    return false;
}

void TSpinButton::ArrowMouseDown(TObject* sender, TMouseButton button, TShiftState, int, int) {
    if (button != TMouseButton::mbLeft) return;
    FocusArrow(static_cast<TTimerSpeedButton*>(sender));
    if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() && !focusControl_->Focused())
        focusControl_->SetFocus();
    else if (TabStop() && CanFocus() && !Focused())
        SetFocus();
}

void TSpinButton::ArrowClick(TObject* sender) {
    if (sender == upButton_)
        OnUpClick(this);
    else
        OnDownClick(this);
}

void TSpinButton::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS;
        return;
    case WM_KEYDOWN:
        if (HandleKey(message.WParam)) return;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TWinControl::WndProc(message);
        ShowFocusRect(message.Msg == WM_SETFOCUS);
        return;
    case WM_SIZE: {
        TWinControl::WndProc(message);
        int width = Width(), height = Height();
        AdjustArrows(width, height);
        if (width != Width() || height != Height()) SetBounds(Left(), Top(), width, height);
        message.Result = 0;
        return;
    }
    }
    TWinControl::WndProc(message);
}

// ---- the spin edit

TSpinEdit::TSpinEdit(TComponent* owner) : TEdit(owner) {
    SetText("0");
    spinButton_ = Make<TSpinButton>(this);
    spinButton_->SetBounds(0, 0, 15, 17);
    spinButton_->SetParent(this);
    spinButton_->SetFocusControl(this);
    spinButton_->OnUpClick.Bind<&TSpinEdit::UpClick>(this);
    spinButton_->OnDownClick.Bind<&TSpinEdit::DownClick>(this);
}

TSpinEdit::~TSpinEdit() {
    // The arrows go first, while the edit they point at still exists.
    TSpinButton* spinButton = std::exchange(spinButton_, nullptr);
    DestroyComponent(spinButton);
}

void TSpinEdit::CreateParams(TCreateParams& params) {
    TEdit::CreateParams(params);
    // Multi-line so that the formatting rectangle can keep text clear of the arrows.
    params.Style |= ES_MULTILINE | WS_CLIPCHILDREN;
}

void TSpinEdit::CreateWindowHandle(const TCreateParams& params) {
    TEdit::CreateWindowHandle(params);
    FitEditArea();
}

int TSpinEdit::Value() {
    return ParseInteger(Text()).value_or(minValue_);
}

void TSpinEdit::TextChanged() {
    TEdit::TextChanged();
    // A multi-line edit window reports only the user's edits, not text set by the program.
    if (HandleAllocated()) Change();
}

void TSpinEdit::SetValue(int value) {
    const std::string text = std::to_string(ClampValue(value));
    if (Text() != text) SetText(text);
}

int TSpinEdit::ClampValue(int value) const {
    if (minValue_ == maxValue_) return value;
    return value < minValue_ ? minValue_ : value > maxValue_ ? maxValue_ : value;
}

void TSpinEdit::Step(long long delta) {
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    // Saturate instead of wrapping round when no limits are set.
    const long long next = std::clamp<long long>(Value() + delta, INT_MIN, INT_MAX);
    SetValue(int(next));
}

void TSpinEdit::UpClick(TObject*) {
    Step(increment_);
}

void TSpinEdit::DownClick(TObject*) {
    Step(-static_cast<long long>(increment_));
}

bool TSpinEdit::AcceptsChar(wchar_t c) const {
    const auto code = unsigned(c);
    // Line breaks and tabs have no place in a one-line number.
    if (code == '\r' || code == '\n' || code == '\t') return false;
    const bool acceptable = c == L'+' || c == L'-' || (c >= L'0' && c <= L'9') || c == LocaleDecimalSeparator() ||
                            code < 32;
    if (!acceptable) return false;
    if (!editorEnabled_ && (code >= 32 || code == '\b')) return false;
    return true;
}

int TSpinEdit::MinimumHeight() {
    UniqueMemoryDC screen;  // measures as the screen does
    const int systemHeight = FontCharHeight(screen.Get());
    int fontHeight = 0;
    {
        ScopedSelect font(screen.Get(), Font().Handle());
        fontHeight = FontCharHeight(screen.Get());
    }
    return fontHeight + std::min(systemHeight, fontHeight) / 4 + 4 * GetSystemMetrics(SM_CYBORDER) + 2;
}

void TSpinEdit::FitEditArea() {
    if (!HandleAllocated() || !spinButton_) return;
    RECT area{0, 0, ClientWidth() - spinButton_->Width() - 2, ClientHeight() + 1};
    SendMessageW(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&area));
}

void TSpinEdit::Resized() {
    const int minimum = MinimumHeight();
    if (Height() < minimum) {
        SetHeight(minimum);  // the size message this causes lays out the rest
        return;
    }
    if (spinButton_) {
        // Every supported system has the new-style controls: the arrows sit
        // inside the sunken border.
        const int buttonWidth = spinButton_->Width();
        spinButton_->SetBounds(Width() - buttonWidth - 5, 0, buttonWidth, Height() - 5);
    }
    FitEditArea();
}

void TSpinEdit::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_KEYDOWN:
        if (message.WParam == VK_UP)
            UpClick(this);
        else if (message.WParam == VK_DOWN)
            DownClick(this);
        break;
    case WM_CHAR:
        if (!AcceptsChar(wchar_t(message.WParam))) {
            MessageBeep(0);
            message.Result = 0;
            return;
        }
        break;
    case WM_CUT:
    case WM_PASTE:
        if (!editorEnabled_ || ReadOnly()) {
            message.Result = 0;
            return;
        }
        break;
    case WM_GETDLGCODE:
        // The multi-line window would otherwise swallow Tab and Enter.
        TEdit::WndProc(message);
        message.Result = (message.Result & ~LRESULT(DLGC_WANTTAB | DLGC_WANTALLKEYS)) | DLGC_WANTARROWS;
        return;
    case WM_LBUTTONDOWN:
        pressedByMouse_ = true;
        try {
            TEdit::WndProc(message);
        } catch (...) {
            pressedByMouse_ = false;
            throw;
        }
        pressedByMouse_ = false;
        return;
    case WM_SETFOCUS:
        TEdit::WndProc(message);
        if (autoSelect_ && !pressedByMouse_) SelectAll();
        return;
    case WM_KILLFOCUS: {
        TEdit::WndProc(message);
        const int value = Value();
        if (ClampValue(value) != value) SetValue(value);
        return;
    }
    case WM_SIZE:
        TEdit::WndProc(message);
        Resized();
        return;
    case WM_SETFONT:
        // The edit window resets its formatting rectangle for a new font.
        TEdit::WndProc(message);
        FitEditArea();
        return;
    }
    TEdit::WndProc(message);
}
