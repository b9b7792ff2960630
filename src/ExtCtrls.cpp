#include "ExtCtrls.h"

#include <algorithm>

#include "StringIds.h"
#include "runtime/SysUtils.h"

// ======================================================================
// TPanel

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    SetColor(clBtnFace);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    if (bevelOuter_ == bevel) return;
    bevelOuter_ = bevel;
    Invalidate();
}

void TPanel::SetBevelInner(TPanelBevel bevel) {
    if (bevelInner_ == bevel) return;
    bevelInner_ = bevel;
    Invalidate();
}

namespace {
void DrawBevel(TCanvas& canvas, RECT& rect, TPanelBevel bevel) {
    if (bevel == TPanelBevel::bvNone) return;
    canvas.DrawEdge(rect, bevel == TPanelBevel::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
}
}  // namespace

void TPanel::Paint() {
    TCanvas& canvas = Canvas();
    RECT r = ClientRect();
    DrawBevel(canvas, r, bevelOuter_);
    DrawBevel(canvas, r, bevelInner_);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(r);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.DrawText(Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS);
}

// ======================================================================
// TShape

TShape::TShape(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 65);
    brush_.OnChange.Bind<&TShape::StyleChanged>(this);
    pen_.OnChange.Bind<&TShape::StyleChanged>(this);
}

void TShape::SetShape(TShapeType shape) {
    if (shape_ == shape) return;
    shape_ = shape;
    Invalidate();
}

void TShape::StyleChanged(TObject*) {
    Invalidate();
}

void TShape::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Pen().Assign(pen_);
    canvas.Brush().Assign(brush_);
    // The outline lies inside the bounds whatever the pen's width.
    const int inset = pen_.Width() / 2;
    int w = Width() - pen_.Width() + 1, h = Height() - pen_.Width() + 1;
    if (shape_ == TShapeType::stSquare) w = h = std::min(w, h);
    const int right = inset + w, bottom = inset + h;
    HDC dc = canvas.Handle();
    switch (shape_) {
        case TShapeType::stRectangle:
        case TShapeType::stSquare: canvas.Rectangle(inset, inset, right, bottom); break;
        case TShapeType::stRoundRect:
            canvas.Rectangle(0, 0, 0, 0);  // selects pen and brush
            RoundRect(dc, inset, inset, right, bottom, w / 4, h / 4);
            break;
        case TShapeType::stEllipse:
            canvas.Rectangle(0, 0, 0, 0);
            Ellipse(dc, inset, inset, right, bottom);
            break;
    }
}

// ======================================================================
// TImage

void TImage::Paint() {
    if (!icon_.Empty()) DrawIcon(Canvas().Handle(), 0, 0, icon_.Handle());
}

// ======================================================================
// TUtilWindow

namespace {
const wchar_t kUtilWindowClass[] = L"TPUtilWindow";

void RegisterUtilWindowClass() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW existing{};
    if (GetClassInfoW(instance, kUtilWindowClass, &existing)) {
        if (existing.lpfnWndProc == &DefWindowProcW) return;
        UnregisterClassW(kUtilWindowClass, instance);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = kUtilWindowClass;
    if (!RegisterClassW(&wc)) throw EOutOfResources(LoadStr(SWindowClass));
}
}  // namespace

TUtilWindow::TUtilWindow(void* owner, Handler handler) : owner_(owner), handler_(handler) {
    RegisterUtilWindowClass();
    // A message-only window: it only receives messages, and the system sets up nothing for showing it.
    window_.Reset(CreateWindowExW(0, kUtilWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
    if (!window_) throw EOutOfResources(LoadStr(SOutOfResources));
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TUtilWindow::Route));
}

TUtilWindow::~TUtilWindow() {
    if (window_) SetWindowLongPtrW(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
}

LRESULT CALLBACK TUtilWindow::Route(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TUtilWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    try {
        self->handler_(self->owner_, m);
    } catch (...) {
        ReportException(static_cast<TObject*>(nullptr));
    }
    return m.Result;
}

// ======================================================================
// TTimer

namespace {
constexpr UINT_PTR kTimerId = 1;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner), window_(this, &TTimer::Dispatch) {}

TTimer::~TTimer() {
    enabled_ = false;
    UpdateTimer();
}

void TTimer::Dispatch(void* self, TMessage& m) {
    auto* timer = static_cast<TTimer*>(self);
    if (m.Msg != WM_TIMER) {
        m.Result = DefWindowProcW(timer->window_.Handle(), m.Msg, m.WParam, m.LParam);
        return;
    }
    try {
        timer->Timer();
    } catch (...) {
        ReportException(timer);
    }
}

void TTimer::Timer() {
    onTimer_(this);
}

void TTimer::UpdateTimer() {
    KillTimer(window_.Handle(), kTimerId);
    running_ = false;
    if (interval_ == 0 || !enabled_ || !onTimer_.Assigned()) return;
    if (!SetTimer(window_.Handle(), kTimerId, interval_, nullptr)) throw EOutOfResources(LoadStr(SNoTimers));
    running_ = true;
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned interval) {
    if (interval_ == interval) return;
    interval_ = interval;
    UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& handler) {
    onTimer_ = handler;
    UpdateTimer();
}
