#include "Controls.h"

#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

#include "StringIds.h"
#include "runtime/SysUtils.h"

namespace {

TControlHost* gHost = nullptr;
// The control whose window is being made: its window procedure claims the
// window at the first message, before CreateWindowExW returns.
TWinControl* gCreatingControl = nullptr;
// A windowless control holding the mouse through its parent's window.
TControl* gCaptureControl = nullptr;
UINT gNextChildId = 100;
// The framework windows of this thread and the controls behind them. A
// window's procedure runs on the thread that made the window, and finding its
// control must not leave the process (a window property is a round trip to
// the window server under Wine), so each thread keeps its own map.
thread_local std::unordered_map<HWND, TWinControl*> tWindowControls;

bool IsClientMouseMessage(UINT msg) {
    return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK && msg != WM_MOUSEWHEEL;
}

HWND NotificationSource(const TMessage& m, HWND parent) {
    switch (m.Msg) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(m.LParam);
        case WM_NOTIFY:
            return reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            return dis->CtlType == ODT_MENU ? nullptr : dis->hwndItem;
        }
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            return mis->CtlType == ODT_MENU ? nullptr : GetDlgItem(parent, int(mis->CtlID));
        }
        case WM_COMPAREITEM:
            return reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem;
        case WM_DELETEITEM:
            return reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem;
        default:
            return nullptr;
    }
}

bool IsReflectedMessage(UINT msg) {
    switch (msg) {
        case WM_COMMAND: case WM_NOTIFY: case WM_HSCROLL: case WM_VSCROLL: case WM_DRAWITEM:
        case WM_MEASUREITEM: case WM_COMPAREITEM: case WM_DELETEITEM: case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN: case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
    }
}

}  // namespace

void SetControlHost(TControlHost* host) {
    gHost = host;
}

TControlHost* ControlHost() {
    return gHost;
}

void PostWhenIdle(HWND window, UINT message) {
    if (gHost)
        gHost->PostWhenIdle(window, message);
    else
        PostMessageW(window, message, 0, 0);
}

void ReportException(TObject* sender) {
    if (gHost) {
        gHost->HandleException(sender);
        return;
    }
    try {
        throw;
    } catch (const std::exception& e) {
        OutputDebugStringW(ToWide(e.what()).c_str());
    } catch (...) {
        OutputDebugStringW(L"unknown exception");
    }
}

std::string ReadWindowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = GetWindowTextW(window, text.data(), int(text.size()));
    text.resize(size_t(std::max(length, 0)));
    return ToUtf8(text);
}

void WriteWindowText(HWND window, const std::string& text) {
    SetWindowTextW(window, ToWide(text).c_str());
}

TShiftState KeysToShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

// ======================================================================
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
    font_.OnChange.Bind<&TControl::OnFontChange>(this);
}

TControl::~TControl() {
    if (gCaptureControl == this) gCaptureControl = nullptr;
    if (gHost) gHost->ControlDestroyed(this);
    if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent_ == parent) return;
    if (parent_) parent_->RemoveControl(this);
    parent_ = nullptr;
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
    RequestAlign();
}

RECT TControl::ClientRect() {
    return RECT{0, 0, width_, height_};
}

void TControl::SetClientSize(int width, int height) {
    RECT client = ClientRect();
    SetBounds(left_, top_, width_ + (width - client.right), height_ + (height - client.bottom));
}

POINT TControl::ClientOrigin() {
    POINT origin{left_, top_};
    if (parent_) {
        POINT p = parent_->ClientOrigin();
        origin.x += p.x;
        origin.y += p.y;
    }
    return origin;
}

POINT TControl::ClientToScreen(POINT p) {
    POINT origin = ClientOrigin();
    return POINT{p.x + origin.x, p.y + origin.y};
}

POINT TControl::ScreenToClient(POINT p) {
    POINT origin = ClientOrigin();
    return POINT{p.x - origin.x, p.y - origin.y};
}

void TControl::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    VisibleChanged();
    RequestAlign();
}

bool TControl::Showing() {
    if (!visible_) return false;
    if (parent_) return parent_->Showing();
    auto* self = dynamic_cast<TWinControl*>(this);
    return self && self->HandleAllocated() && IsWindowVisible(self->Handle());
}

void TControl::VisibleChanged() {
    if (parent_ && parent_->HandleAllocated()) {
        RECT r = BoundsRect();
        InvalidateRect(parent_->Handle(), &r, TRUE);
    }
}

void TControl::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::SetAlign(TAlign align) {
    if (align_ == align) return;
    align_ = align;
    RequestAlign();
}

void TControl::RequestAlign() {
    if (align_ != TAlign::alNone && parent_) parent_->AlignControls();
}

std::string TControl::Text() {
    auto* self = dynamic_cast<TWinControl*>(this);
    if (!self || !self->HandleAllocated()) return text_;
    return ReadWindowText(self->Handle());
}

void TControl::SetText(const std::string& text) {
    if (Text() == text) return;
    text_ = text;
    TextChanged();
}

void TControl::SetParentFont(bool parentFont) {
    if (parentFont_ == parentFont) return;
    parentFont_ = parentFont;
    if (parentFont_) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!parentFont_ || !parent_) return;
    fontFromParent_ = true;
    font_.Assign(parent_->Font());
    fontFromParent_ = false;
}

void TControl::OnFontChange(TObject*) {
    if (!fontFromParent_) parentFont_ = false;
    FontChanged();
}

void TControl::FontChanged() {
    Invalidate();
}

void TControl::SetColor(TColor color) {
    if (color_ == color) return;
    color_ = color;
    ColorChanged();
}

void TControl::SetShowHint(bool show) {
    showHint_ = show;
    parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool parentShowHint) {
    parentShowHint_ = parentShowHint;
    if (parentShowHint_ && parent_) showHint_ = parent_->ShowHint();
}

void TControl::SetControlState(unsigned flags, bool on) {
    controlState_ = on ? (controlState_ | flags) : (controlState_ & ~flags);
}

bool TControl::MouseCapture() {
    return CaptureControl() == this;
}

void TControl::SetMouseCapture(bool capture) {
    if (capture) {
        if (auto* self = dynamic_cast<TWinControl*>(this)) {
            SetCapture(self->Handle());
        } else if (parent_) {
            gCaptureControl = this;
            SetCapture(parent_->Handle());
        }
    } else if (MouseCapture()) {
        gCaptureControl = nullptr;
        ReleaseCapture();
    }
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::Invalidate() {
    if (visible_ && parent_ && parent_->HandleAllocated()) {
        RECT r = BoundsRect();
        InvalidateRect(parent_->Handle(), &r, TRUE);
    }
}

void TControl::Update() {
    if (parent_ && parent_->HandleAllocated()) UpdateWindow(parent_->Handle());
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!parent_) return;
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    Invalidate();
}

void TControl::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_MOUSEMOVE:
            if (gHost) gHost->HintMouseMessage(this, m);
            MouseMove(KeysToShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
            break;
        case WM_LBUTTONDOWN: HandleMouseButton(m, TMouseButton::mbLeft, true, false); break;
        case WM_LBUTTONDBLCLK: HandleMouseButton(m, TMouseButton::mbLeft, true, true); break;
        case WM_LBUTTONUP: HandleMouseButton(m, TMouseButton::mbLeft, false, false); break;
        case WM_RBUTTONDOWN: HandleMouseButton(m, TMouseButton::mbRight, true, false); break;
        case WM_RBUTTONUP: HandleMouseButton(m, TMouseButton::mbRight, false, false); break;
        default: break;
    }
    DefaultHandler(m);
}

void TControl::HandleMouseButton(TMessage& m, TMouseButton button, bool down, bool dbl) {
    const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
    TShiftState shift = KeysToShiftState(m.WParam) | (dbl ? TShiftState(ssDouble) : 0u);
    const bool clickable = ClicksOnMouseUp() && button == TMouseButton::mbLeft;
    if (down) {
        if (clickable) {
            if (!HasWindow()) SetMouseCapture(true);
            SetControlState(csLButtonDown | csClicked, true);
        }
        if (dbl && clickable) DblClick();
        MouseDown(button, shift, x, y);
        return;
    }
    if (clickable && (controlState_ & csLButtonDown)) {
        SetControlState(csLButtonDown, false);
        if (!HasWindow()) SetMouseCapture(false);
        RECT client = ClientRect();
        POINT p{x, y};
        bool inside = PtInRect(&client, p);
        if ((controlState_ & csClicked) && inside) {
            SetControlState(csClicked, false);
            Click();
        }
        SetControlState(csClicked, false);
    }
    MouseUp(button, shift, x, y);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Click() {
    OnClick(this);
}

void TControl::DblClick() {
    OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    OnMouseMove(this, shift, x, y);
}

// ======================================================================
// TGraphicControl

void TGraphicControl::PaintOn(HDC dc) {
    CanvasLoan loan(canvas_, dc);
    canvas_.Font().Assign(Font());
    Paint();
}

// ======================================================================
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
    Font().OnFreeing.Bind<&TWinControl::FontFreeing>(this);
}

// The window gives the font up before it is deleted (it uses the system
// font until FontChanged hands it the new one).
void TWinControl::FontFreeing(TObject*) {
    if (handle_) SendMessageW(handle_, WM_SETFONT, 0, FALSE);
}

TWinControl::~TWinControl() {
    DestroyHandle();
    for (TControl* c : controls_) c->parent_ = nullptr;
    controls_.clear();
    tabList_.clear();
}

TWinControl* TWinControl::FindControl(HWND window) {
    const auto found = tWindowControls.find(window);
    return found == tWindowControls.end() ? nullptr : found->second;
}

LRESULT CALLBACK TWinControl::StandardWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* self = FindControl(window);
    const bool claiming = !self;
    if (claiming) {
        self = gCreatingControl;
        if (!self) return DefWindowProcW(window, msg, wParam, lParam);
        gCreatingControl = nullptr;
        self->handle_ = window;
    }
    TMessage m{msg, wParam, lParam, 0};
    try {
        if (claiming) tWindowControls.emplace(window, self);
        self->WndProc(m);
    } catch (...) {
        ReportException(self);
    }
    if (msg == WM_NCDESTROY) {
        tWindowControls.erase(window);
        if (self->handle_ == window) self->handle_ = nullptr;
    }
    return m.Result;
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return handle_;
}

void TWinControl::HandleNeeded() {
    if (handle_) return;
    if (Parent()) Parent()->HandleNeeded();
    if (!handle_) CreateWnd();
}

bool TWinControl::ParentHandleReady() {
    return Parent() != nullptr;
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = StoredText();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (Visible()) params.Style |= WS_VISIBLE;
    if (!Enabled()) params.Style |= WS_DISABLED;
    if (tabStop_) params.Style |= WS_TABSTOP;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.WndParent = Parent() ? Parent()->Handle() : nullptr;
    params.WinClassName = "TBrumikControl";
    params.ClassStyle = CS_DBLCLKS;
    // The system's shared cursor: asking for it once is enough.
    static const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    params.Cursor = arrow;
}

void TWinControl::RegisterClassFor(const TCreateParams& params, WNDPROC& defaultProc) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (!params.SystemClass.empty()) {
        if (!GetClassInfoW(nullptr, ToWide(params.SystemClass).c_str(), &wc))
            throw EOutOfResources(LoadStr(SWindowClass));
        defaultProc = wc.lpfnWndProc;
    } else {
        defaultProc = &DefWindowProcW;
        wc.style = params.ClassStyle;
        wc.hCursor = params.Cursor;
        wc.hbrBackground = params.Background;
    }
    const std::wstring className = ToWide(params.WinClassName);
    WNDCLASSW existing{};
    if (GetClassInfoW(instance, className.c_str(), &existing)) return;
    wc.lpfnWndProc = &StandardWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = className.c_str();
    if (!RegisterClassW(&wc)) throw EOutOfResources(LoadStr(SWindowClass));
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    RegisterClassFor(params, defWndProc_);
    HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(gNextChildId++)) : nullptr;
    if (gNextChildId > 0xFFF0) gNextChildId = 100;
    gCreatingControl = this;
    HWND window = CreateWindowExW(params.ExStyle, ToWide(params.WinClassName).c_str(), ToWide(params.Caption).c_str(),
                                  params.Style, params.X, params.Y, params.Width, params.Height, params.WndParent, id,
                                  GetModuleHandleW(nullptr), nullptr);
    gCreatingControl = nullptr;
    if (!window) throw EOutOfResources(LoadStr(SOutOfResources));
    // The system puts a new child beneath its siblings; a control placed later
    // lies above those placed before it, where they overlap. Siblings made
    // together are made last first, so that each is already in its place.
    if (params.Style & WS_CHILD) {
        const HWND above = WindowAbove();
        if (GetWindow(window, GW_HWNDPREV) != (above == HWND_TOP ? nullptr : above))
            SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    CreateWindowHandle(params);
    if (ChildWindowsWanted()) CreateChildHandles();
    AlignControls();
}

HWND TWinControl::WindowAbove() {
    if (!Parent()) return HWND_TOP;
    const auto& siblings = Parent()->controls_;
    auto it = std::find(siblings.begin(), siblings.end(), this);
    for (++it; it != siblings.end(); ++it)
        if (auto* w = dynamic_cast<TWinControl*>(*it); w && w->handle_) return w->handle_;
    return HWND_TOP;
}

bool TWinControl::ChildWindowsWanted() {
    // A hidden container's controls get their windows when it is first shown
    // (or when one of them is asked for its window before that).
    return !Parent() || Visible();
}

bool TWinControl::WindowWanted() {
    // A hidden control gets its window when it is first shown, or when it is asked for it.
    return Visible() && Parent() && Parent()->handle_ && Parent()->ChildWindowsWanted();
}

void TWinControl::CreateWindowHandle(const TCreateParams&) {
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
}

// A child whose window fails is reported; its siblings still get theirs.
void TWinControl::CreateChildHandles() {
    const std::vector<TControl*> children(controls_.rbegin(), controls_.rend());  // the topmost first
    for (TControl* c : children) {
        auto* w = dynamic_cast<TWinControl*>(c);
        if (!w || !w->WindowWanted()) continue;
        try {
            w->HandleNeeded();
        } catch (...) {
            ReportException(w);
        }
    }
}

void TWinControl::DestroyHandle() {
    if (handle_) DestroyWnd();
}

void TWinControl::DestroyWnd() {
    text_ = Text();
    HWND window = handle_;
    DestroyWindow(window);
    handle_ = nullptr;
}

void TWinControl::RecreateWnd() {
    if (!handle_) return;
    bool hadFocus = Focused();
    DestroyHandle();
    HandleNeeded();
    if (hadFocus) SetFocus();
}

void TWinControl::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallWindowProcW(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::InsertControl(TControl* control) {
    control->parent_ = this;
    controls_.push_back(control);
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        tabList_.push_back(w);
        if (w->WindowWanted()) w->HandleNeeded();
    } else {
        control->Invalidate();
    }
    if (control->parentShowHint_) control->showHint_ = ShowHint();
    control->ParentFontChanged();
    if (control->Align() != TAlign::alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        w->DestroyHandle();
        tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
    } else {
        control->Invalidate();
    }
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    control->parent_ = nullptr;
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled, bool allowWinControls) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!allowWinControls && c->HasWindow()) continue;
        if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
        RECT r = c->BoundsRect();
        if (PtInRect(&r, p)) return c;
    }
    return nullptr;
}

int TWinControl::TabOrder() {
    if (!Parent()) return -1;
    auto& list = Parent()->tabList_;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
    if (!Parent()) return;
    auto& list = Parent()->tabList_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    order = std::clamp(order, 0, int(list.size()));
    list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool tabStop) {
    if (tabStop_ == tabStop) return;
    tabStop_ = tabStop;
    if (handle_) {
        LONG_PTR style = GetWindowLongPtrW(handle_, GWL_STYLE);
        style = tabStop ? (style | WS_TABSTOP) : (style & ~LONG_PTR(WS_TABSTOP));
        SetWindowLongPtrW(handle_, GWL_STYLE, style);
    }
}

bool TWinControl::Focused() {
    HWND focus = GetFocus();
    return handle_ && focus && (focus == handle_ || IsChild(handle_, focus));
}

bool TWinControl::CanFocus() {
    for (TWinControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) return;
    ::SetFocus(Handle());
}

std::vector<TWinControl*> TWinControl::TabOrderList() {
    std::vector<TWinControl*> list;
    for (TWinControl* c : tabList_) {
        list.push_back(c);
        auto inner = c->TabOrderList();
        list.insert(list.end(), inner.begin(), inner.end());
    }
    return list;
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop) {
    std::vector<TWinControl*> list = TabOrderList();
    if (list.empty()) return nullptr;
    if (!forward) std::reverse(list.begin(), list.end());
    auto at = std::find(list.begin(), list.end(), current);
    size_t start = at == list.end() ? list.size() - 1 : size_t(at - list.begin());
    for (size_t step = 1; step <= list.size(); ++step) {
        TWinControl* c = list[(start + step) % list.size()];
        if (c == current) break;
        // A container is not a stop of its own unless it takes the focus itself.
        if (c->CanFocus() && (!checkTabStop || c->TabStop())) return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
    if (TWinControl* next = FindNextControl(current, forward, checkTabStop)) next->SetFocus();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == Left() && top == Top() && width == Width() && height == Height()) return;
    const bool resized = width != Width() || height != Height();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (resized) AlignControls();
    RequestAlign();
}

RECT TWinControl::ClientRect() {
    RECT r{0, 0, Width(), Height()};
    if (handle_) GetClientRect(handle_, &r);
    return r;
}

POINT TWinControl::ClientOrigin() {
    POINT p{0, 0};
    ::ClientToScreen(Handle(), &p);
    return p;
}

void TWinControl::Invalidate() {
    if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::BringToFront() {
    TControl::BringToFront();
    if (handle_) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::SetEnabled(bool enabled) {
    if (Enabled() == enabled) return;
    if (!enabled && Focused() && Parent()) {
        if (TWinControl* form = GetParentForm(this)) form->SelectNext(this, true, true);
    }
    TControl::SetEnabled(enabled);
    if (handle_) EnableWindow(handle_, enabled);
}

void TWinControl::VisibleChanged() {
    UpdateWindowVisibility();
}

void TWinControl::UpdateWindowVisibility() {
    if (!handle_) {
        if (WindowWanted()) HandleNeeded();  // made visible, as it is shown now
        return;
    }
    if (Visible()) CreateChildHandles();
    if (!Visible() && Focused()) {
        // A hidden window must not keep the keyboard: move it on.
        if (TWinControl* form = GetParentForm(this); form && form != this) {
            form->SelectNext(this, true, true);
            if (Focused()) ::SetFocus(form->Handle());
        }
    }
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                     (Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::FontChanged() {
    if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    for (TControl* c : controls_) c->ParentFontChanged();
    Invalidate();
}

void TWinControl::ColorChanged() {
    background_.SetColor(Color());
    Invalidate();
}

void TWinControl::TextChanged() {
    if (handle_) WriteWindowText(handle_, StoredText());
}

HBRUSH TWinControl::BackgroundBrush() {
    background_.SetColor(Color());
    return background_.Handle();
}

void TWinControl::CtlColor(TMessage& m) {
    auto dc = reinterpret_cast<HDC>(m.WParam);
    SetTextColor(dc, ColorToRGB(Font().Color()));
    SetBkColor(dc, ColorToRGB(Color()));
    m.Result = reinterpret_cast<LRESULT>(BackgroundBrush());
}

LRESULT TWinControl::Broadcast(TMessage& m) {
    for (TControl* c : std::vector<TControl*>(controls_)) {
        c->WndProc(m);
        if (m.Result != 0) return m.Result;
    }
    return 0;
}

void TWinControl::AlignControls() {
    if (!handle_ && !Parent()) return;
    RECT area = ClientRect();
    for (TControl* c : controls_) {
        if (!c->Visible()) continue;
        int w = area.right - area.left, h = area.bottom - area.top;
        switch (c->Align()) {
            case TAlign::alTop:
                c->SetBounds(area.left, area.top, w, c->Height());
                area.top += c->Height();
                break;
            case TAlign::alBottom:
                c->SetBounds(area.left, area.bottom - c->Height(), w, c->Height());
                area.bottom -= c->Height();
                break;
            case TAlign::alLeft:
                c->SetBounds(area.left, area.top, c->Width(), h);
                area.left += c->Width();
                break;
            case TAlign::alRight:
                c->SetBounds(area.right - c->Width(), area.top, c->Width(), h);
                area.right -= c->Width();
                break;
            case TAlign::alClient:
                c->SetBounds(area.left, area.top, w, h);
                break;
            case TAlign::alNone:
                break;
        }
    }
}

bool TWinControl::ReflectNotification(TMessage& m) {
    HWND source = NotificationSource(m, handle_);
    TWinControl* child = FindControl(source);
    if (!child || child == this) return false;
    m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return true;
}

void TWinControl::HandlePaint(TMessage& m) {
    if (defWndProc_ != &DefWindowProcW) {
        DefaultHandler(m);
        return;
    }
    PAINTSTRUCT ps{};
    HDC dc = m.WParam ? reinterpret_cast<HDC>(m.WParam) : BeginPaint(handle_, &ps);
    try {
        PaintWindow(dc);
        PaintControls(dc);
    } catch (...) {
        if (!m.WParam) EndPaint(handle_, &ps);
        throw;
    }
    if (!m.WParam) EndPaint(handle_, &ps);
}

void TWinControl::PaintControls(HDC dc) {
    RECT clip{};
    GetClipBox(dc, &clip);
    for (TControl* c : controls_) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible()) continue;
        RECT bounds = g->BoundsRect(), overlap{};
        if (!IntersectRect(&overlap, &bounds, &clip)) continue;
        int saved = SaveDC(dc);
        POINT old{};
        OffsetViewportOrgEx(dc, bounds.left, bounds.top, &old);
        IntersectClipRect(dc, 0, 0, g->Width(), g->Height());
        try {
            g->PaintOn(dc);
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

bool TWinControl::PreviewKey(TMessage& m) {
    m.Result = 0;
    const UINT original = m.Msg - CN_BASE;
    TWinControl* form = GetParentForm(this);
    if (!form) return false;
    const LRESULT code = handle_ ? SendMessageW(handle_, WM_GETDLGCODE, m.WParam, 0) : 0;
    if (original == WM_KEYDOWN || original == WM_SYSKEYDOWN) {
        bool special = false;
        switch (m.WParam) {
            case VK_TAB: special = !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)); break;
            case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
                special = !(code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)); break;
            case VK_RETURN: case VK_ESCAPE: case VK_EXECUTE: case VK_CANCEL:
                special = !(code & DLGC_WANTALLKEYS); break;
            default: break;
        }
        if (special && Perform(CM_WANTSPECIALKEY, m.WParam, m.LParam) == 0 &&
            form->Perform(CM_DIALOGKEY, m.WParam, m.LParam) != 0)
            m.Result = 1;
    } else if (original == WM_SYSCHAR || (original == WM_CHAR && !(code & DLGC_WANTCHARS))) {
        if (form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) m.Result = 1;
    }
    return m.Result != 0;
}

void TWinControl::WndProc(TMessage& m) {
    if (IsReflectedMessage(m.Msg) && ReflectNotification(m)) return;
    switch (m.Msg) {
        case WM_PAINT:
            HandlePaint(m);
            return;
        case WM_ERASEBKGND:
            if (defWndProc_ == &DefWindowProcW) {
                RECT r;
                GetClientRect(handle_, &r);
                FillRect(reinterpret_cast<HDC>(m.WParam), &r, BackgroundBrush());
                m.Result = 1;
                return;
            }
            break;
        case WM_SETFOCUS:
            if (TWinControl* form = GetParentForm(this); form && form != this)
                form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
            break;
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(m.LParam);
            if (!(pos->flags & SWP_NOMOVE)) { left_ = pos->x; top_ = pos->y; }
            bool resized = !(pos->flags & SWP_NOSIZE) && (pos->cx != width_ || pos->cy != height_);
            if (!(pos->flags & SWP_NOSIZE)) { width_ = pos->cx; height_ = pos->cy; }
            if (resized) AlignControls();
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (defWndProc_ == &DefWindowProcW && TabStop() && !Focused() && CanFocus()) SetFocus();
            break;
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN:
        case CN_CHAR:
        case CN_SYSCHAR:
            PreviewKey(m);
            return;
        case CN_CTLCOLOREDIT:
        case CN_CTLCOLORLISTBOX:
        case CN_CTLCOLORSTATIC:
        case CN_CTLCOLORBTN:
            CtlColor(m);
            return;
        case CM_DIALOGKEY:
        case CM_DIALOGCHAR:
        case CM_FOCUSCHANGED:
            Broadcast(m);
            return;
        case CM_SYSCOLORCHANGE:
            // A system control is told itself: only top-level windows hear of the change.
            if (handle_ && defWndProc_ != &DefWindowProcW) SendMessageW(handle_, WM_SYSCOLORCHANGE, 0, 0);
            Broadcast(m);
            return;
        default:
            break;
    }
    if (IsClientMouseMessage(m.Msg)) {
        POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        TControl* target = nullptr;
        HWND capture = GetCapture();
        if (gCaptureControl && gCaptureControl->Parent() == this && capture == handle_)
            target = gCaptureControl;
        else if (!capture || capture != handle_)
            target = ControlAtPos(p);
        if (target) {
            TMessage forwarded{m.Msg, m.WParam, MAKELPARAM(p.x - target->Left(), p.y - target->Top()), 0};
            target->WndProc(forwarded);
            m.Result = forwarded.Result;
            return;
        }
    }
    TControl::WndProc(m);
}

// ======================================================================
// TCustomControl

void TCustomControl::PaintWindow(HDC dc) {
    CanvasLoan loan(canvas_, dc);
    canvas_.Font().Assign(Font());
    canvas_.Brush().SetColor(Color());
    Paint();
}

// ======================================================================

TControl* FindDragTarget(POINT screenPos, bool allowDisabled) {
    HWND window = WindowFromPoint(screenPos);
    TWinControl* control = nullptr;
    while (window && !(control = TWinControl::FindControl(window))) window = GetParent(window);
    if (!control) return nullptr;
    POINT client = control->ScreenToClient(screenPos);
    if (TControl* inner = control->ControlAtPos(client, allowDisabled)) return inner;
    return control;
}

TWinControl* GetParentForm(TControl* control) {
    TControl* c = control;
    while (c && c->Parent()) c = c->Parent();
    return dynamic_cast<TWinControl*>(c);
}

TControl* CaptureControl() {
    HWND capture = GetCapture();
    if (!capture) {
        gCaptureControl = nullptr;
        return nullptr;
    }
    if (gCaptureControl && gCaptureControl->Parent() && gCaptureControl->Parent()->HandleAllocated() &&
        gCaptureControl->Parent()->Handle() == capture)
        return gCaptureControl;
    return TWinControl::FindControl(capture);
}
