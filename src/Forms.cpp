#include "Forms.h"

#include <windowsx.h>

#include <cxxabi.h>

#include <algorithm>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "StringIds.h"
#include "runtime/SysUtils.h"

TApplication* Application = nullptr;

namespace {

constexpr int kHintShowMode = 0;
constexpr int kHintHideMode = 1;
const wchar_t kApplicationClass[] = L"TApplication";

bool IsWindowsFourOrLater() {
    return LOBYTE(LOWORD(GetVersion())) > 3;
}

// Shows or hides window with the system's window animation switched off for the call.
void ShowWindowWithoutAnimation(HWND window, int command) {
    ANIMATIONINFO info{sizeof info, 0};
    SystemParametersInfoW(SPI_GETANIMATION, sizeof info, &info, 0);
    const bool animated = info.iMinAnimate != 0;
    if (animated) {
        info.iMinAnimate = 0;
        SystemParametersInfoW(SPI_SETANIMATION, sizeof info, &info, 0);
    }
    ShowWindow(window, command);
    if (animated) {
        info.iMinAnimate = 1;
        SystemParametersInfoW(SPI_SETANIMATION, sizeof info, &info, 0);
    }
}

// The readable name of a type from its compiler name, for the simple forms
// that thrown objects have: a built-in type ("i" is int), a class name with
// its length ("9Exception"), "St" for std, and nested names ("N3foo3barE").
// The full demangler of the C++ library is far larger than the program.
std::string ReadableTypeName(std::string_view mangled) {
    static constexpr std::pair<char, const char*> builtins[] = {
        {'b', "bool"}, {'c', "char"},         {'a', "signed char"}, {'h', "unsigned char"}, {'s', "short"},
        {'t', "unsigned short"}, {'i', "int"}, {'j', "unsigned int"}, {'l', "long"},        {'m', "unsigned long"},
        {'x', "long long"}, {'y', "unsigned long long"}, {'f', "float"}, {'d', "double"}, {'e', "long double"}};
    if (mangled.size() == 1)
        for (const auto& [code, name] : builtins)
            if (mangled[0] == code) return name;
    const bool nested = !mangled.empty() && mangled[0] == 'N';
    if (nested) {
        if (mangled.back() != 'E') return "unknown";
        mangled = mangled.substr(1, mangled.size() - 2);
    }
    std::string name;
    if (mangled.substr(0, 2) == "St") {
        name = "std";
        mangled.remove_prefix(2);
    }
    while (!mangled.empty()) {
        size_t digits = 0, length = 0;
        while (digits < mangled.size() && mangled[digits] >= '0' && mangled[digits] <= '9')
            length = length * 10 + size_t(mangled[digits++] - '0');
        if (digits == 0 || length == 0 || digits + length > mangled.size()) return "unknown";
        name += (name.empty() ? "" : "::") + std::string(mangled.substr(digits, length));
        mangled.remove_prefix(digits + length);
        if (!nested && !mangled.empty()) return "unknown";
    }
    return name.empty() ? "unknown" : name;
}

// The readable name of the type of the exception being handled ("std::runtime_error").
std::string CurrentExceptionTypeName() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    return type ? ReadableTypeName(type->name()) : "unknown";
}

struct ThreadWindowSearch {
    HWND except;
    bool topMost;
    HWND found = nullptr;
};

BOOL CALLBACK FindFocusableWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<ThreadWindowSearch*>(param);
    if (window == search.except || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    bool topMost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (topMost != search.topMost) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

// ======================================================================
// TForm

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetBounds(0, 0, 320, 240);
}

TForm::~TForm() {
    OnDestroy(this);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    if (borderStyle_ == style) return;
    borderStyle_ = style;
    RecreateWnd();
}

void TForm::SetBorderIcons(unsigned icons) {
    if (borderIcons_ == icons) return;
    borderIcons_ = icons;
    RecreateWnd();
}

void TForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TBrumikForm";
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.ExStyle = 0;
    switch (borderStyle_) {
        case TFormBorderStyle::bsNone: params.Style |= WS_POPUP; break;
        case TFormBorderStyle::bsSingle: params.Style |= WS_CAPTION | WS_BORDER; break;
        case TFormBorderStyle::bsSizeable: params.Style |= WS_CAPTION | WS_THICKFRAME; break;
        case TFormBorderStyle::bsDialog:
            params.Style |= WS_POPUP | WS_CAPTION;
            params.ExStyle |= WS_EX_DLGMODALFRAME;
            break;
    }
    if (borderStyle_ != TFormBorderStyle::bsNone && (borderIcons_ & biSystemMenu)) {
        params.Style |= WS_SYSMENU;
        if (borderStyle_ != TFormBorderStyle::bsDialog) {
            if (borderIcons_ & biMinimize) params.Style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize) params.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (position_ == TPosition::poScreenCenter) {
        params.X = GetSystemMetrics(SM_CXSCREEN) / 2 - Width() / 2;
        params.Y = GetSystemMetrics(SM_CYSCREEN) / 2 - Height() / 2;
    }
    params.WndParent = Application ? Application->Handle() : nullptr;
}

void TForm::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    if (position_ == TPosition::poScreenCenter) SetBounds(params.X, params.Y, Width(), Height());
}

RECT TForm::ClientRect() {
    if (HandleAllocated()) return TWinControl::ClientRect();
    TCreateParams params;
    CreateParams(params);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    return RECT{0, 0, Width() - (frame.right - frame.left), Height() - (frame.bottom - frame.top)};
}

void TForm::AfterConstruction() {
    try {
        OnCreate(this);
    } catch (...) {
        ReportException(this);
    }
    if (Visible()) VisibleChanged();
}

void TForm::VisibleChanged() {
    if (!Visible()) {
        if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
        return;
    }
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
}

void TForm::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == activeControl_) activeControl_ = nullptr;
}

void TForm::SetActiveControl(TWinControl* control) {
    activeControl_ = control;
    if (control && active_ && HandleAllocated()) control->SetFocus();
}

void TForm::SetFocusToFirst() {
    if (activeControl_ && activeControl_->CanFocus()) {
        activeControl_->SetFocus();
        return;
    }
    if (TWinControl* first = FindNextControl(nullptr, true, true)) first->SetFocus();
}

void TForm::Activated(bool active) {
    active_ = active;
    if (active && !IsIconic(Handle())) SetFocusToFirst();
}

bool TForm::CloseQuery() {
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::DoClose(TCloseAction& action) {
    OnClose(this, action);
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = TCloseAction::caHide;
    DoClose(action);
    if (action == TCloseAction::caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
        case TCloseAction::caHide: Hide(); break;
        case TCloseAction::caMinimize: ShowWindow(Handle(), SW_MINIMIZE); break;
        case TCloseAction::caFree: Release(); break;
        case TCloseAction::caNone: break;
    }
}

void TForm::Release() {
    PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

void TForm::CloseModal() {
    try {
        TCloseAction action = TCloseAction::caNone;
        if (CloseQuery()) {
            action = TCloseAction::caHide;
            DoClose(action);
        }
        if (action == TCloseAction::caNone) modalResult_ = mrNone;
        else if (action == TCloseAction::caFree) Release();
    } catch (...) {
        modalResult_ = mrNone;
        ReportException(this);
    }
}

int TForm::RunModalLoop() {
    Show();
    BringToFront();
    Perform(CM_ACTIVATE);
    modalResult_ = mrNone;
    do {
        try {
            Application->HandleMessage();
        } catch (...) {
            // Reported like an exception of the main loop; the dialog stays open.
            Application->HandleException(this);
        }
        if (Application->Terminated()) modalResult_ = mrCancel;
        else if (modalResult_ != mrNone) CloseModal();
    } while (modalResult_ == mrNone);
    return modalResult_;
}

int TForm::ShowModal() {
    if (Visible() || !Enabled() || modal_) throw EInvalidOperation(LoadStr(SCannotShowModal));
    if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
    modal_ = true;
    const HWND activeWindow = GetActiveWindow();
    const HCURSOR cursor = GetCursor();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    int result = mrNone;
    bool focusStayed = true;
    try {
        TApplication::DisabledWindows disabled;
        result = RunModalLoop();
        // Asked before the hide, which hands the focus on to some other window.
        const HWND focus = GetFocus();
        focusStayed = !focus || focus == Handle() || IsChild(Handle(), focus);
        Perform(CM_DEACTIVATE);
        Hide();
    } catch (...) {
        modal_ = false;
        SetCursor(cursor);
        throw;
    }
    SetCursor(cursor);
    // A window that took the focus while the dialog was up keeps it.
    if (focusStayed && activeWindow && IsWindow(activeWindow)) SetActiveWindow(activeWindow);
    modal_ = false;
    return result;
}

bool TForm::DialogKey(WPARAM key) {
    switch (key) {
        case VK_TAB:
            if (GetKeyState(VK_CONTROL) < 0) return false;
            SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0, true);
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (!activeControl_) return false;
            SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
            return true;
        default:
            return false;
    }
}

void TForm::WndProc(TMessage& m) {
    switch (m.Msg) {
        case WM_CLOSE:
            Close();
            return;
        case WM_SYSCOMMAND:
            if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
                Application->Minimize();
                return;
            }
            break;
        case WM_QUERYENDSESSION:
            m.Result = CloseQuery();
            return;
        case WM_ACTIVATE:
            TWinControl::WndProc(m);
            Activated(LOWORD(m.WParam) != WA_INACTIVE);
            return;
        case WM_SETFOCUS:
            TWinControl::WndProc(m);
            if (active_) SetFocusToFirst();
            return;
        case CM_FOCUSCHANGED:
            activeControl_ = reinterpret_cast<TWinControl*>(m.LParam);
            break;
        case CM_DIALOGKEY:
            if (DialogKey(m.WParam)) {
                m.Result = 1;
                return;
            }
            break;
        case CM_RELEASE:
            if (Owner()) Owner()->DestroyComponent(this);
            return;
        case WM_SYSCOLORCHANGE:
            // Controls that keep pictures in the face colour make them again.
            Perform(CM_SYSCOLORCHANGE);
            break;
        default:
            break;
    }
    TWinControl::WndProc(m);
}

// ======================================================================
// THintWindow

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    SetVisible(false);
    SetColor(0x0080FFFF);
    Font().SetName("MS Sans Serif");
    Font().SetSize(8);
}

void THintWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "THintWindow";
    params.Style = WS_POPUP | WS_BORDER | WS_DISABLED;
    params.ClassStyle |= CS_SAVEBITS;
    if (IsWindowsFourOrLater()) params.ExStyle |= WS_EX_TOOLWINDOW;
    params.WndParent = Application ? Application->Handle() : nullptr;
}

RECT THintWindow::CalcHintRect(int maxWidth, const std::string& text) {
    RECT r{0, 0, maxWidth, 0};
    ScopedWindowDC screen(nullptr);
    ScopedSelect font(screen.Get(), Font().Handle());
    std::wstring wide = ToWide(text);
    DrawTextW(screen.Get(), wide.data(), int(wide.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return r;
}

void THintWindow::TextChanged() {
    RECT r = CalcHintRect(GetSystemMetrics(SM_CXSCREEN), StoredText());
    SetBounds(Left(), Top(), r.right + 6, r.bottom + 4);
    TCustomControl::TextChanged();
}

void THintWindow::ActivateHint(RECT rect, const std::string& text) {
    SetText(text);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (rect.top + height > screenHeight) rect.top = screenHeight - height;
    if (rect.left + width > screenWidth) rect.left = screenWidth - width;
    rect.left = std::max<LONG>(rect.left, 0);
    rect.top = std::max<LONG>(rect.top, 0);
    SetBounds(rect.left, rect.top, width, height);
    SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    SetVisible(true);
    Invalidate();
}

void THintWindow::Paint() {
    RECT r = ClientRect();
    r.left += 1;
    TCanvas& canvas = Canvas();
    canvas.Font().SetColor(clInfoText);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.DrawText(Caption(), r, DT_WORDBREAK | DT_NOPREFIX);
}

// ======================================================================
// TApplication

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
    SetControlHost(this);
    icon_.LoadFromResourceName("MAINICON");
    title_ = TitleFromExeName();
    CreateHandle();
}

TApplication::~TApplication() {
    if (handle_) ShowOwnedPopups(handle_.Get(), FALSE);
    Destroying();
    DestroyComponents();
    StopHintTimer();
    if (ControlHost() == this) SetControlHost(nullptr);
    if (handle_) {
        if (IsWindowsFourOrLater()) SendMessageW(handle_.Get(), WM_SETICON, ICON_BIG, 0);
        SetWindowLongPtrW(handle_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
    }
}

std::string TApplication::TitleFromExeName() {
    std::wstring name = ToWide(ModuleFileName());
    if (size_t slash = name.rfind(L'\\'); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (size_t dot = name.find(L'.'); dot != std::wstring::npos) name.erase(dot);
    if (name.size() > 1) CharLowerBuffW(name.data() + 1, DWORD(name.size() - 1));
    return ToUtf8(name);
}

void TApplication::CreateHandle() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW existing{};
    if (!GetClassInfoW(instance, kApplicationClass, &existing)) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = kApplicationClass;
        if (!RegisterClassW(&wc)) throw EOutOfResources(LoadStr(SWindowClass));
    }
    handle_.Reset(CreateWindowExW(0, kApplicationClass, ToWide(title_).c_str(), 0x94CA0000,
                                  GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                                  nullptr, nullptr, instance, nullptr));
    if (!handle_) throw EOutOfResources(LoadStr(SWindowClass));
    title_.clear();
    ShowNoAnimation(SW_RESTORE);
    SetWindowLongPtrW(handle_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(handle_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TApplication::AppWndProc));
    if (IsWindowsFourOrLater()) {
        HICON icon = icon_.Empty() ? LoadIconW(nullptr, IDI_APPLICATION) : icon_.Handle();
        SendMessageW(handle_.Get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    HMENU menu = GetSystemMenu(handle_.Get(), FALSE);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    if (IsWindowsFourOrLater()) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

void TApplication::ShowNoAnimation(int command) {
    ShowWindowWithoutAnimation(handle_.Get(), command);
}

std::string TApplication::Title() const {
    if (!handle_) return title_;
    return ReadWindowText(handle_.Get());
}

void TApplication::SetTitle(const std::string& title) {
    if (handle_) WriteWindowText(handle_.Get(), title);
    else title_ = title;
}

std::string TApplication::ExeName() const {
    return ModuleFileName();
}

// A failure while the form is being made (a folder that cannot be listed, a
// drive that is gone) is reported, and the form opens as far as it got.
void TApplication::FormCreated(TForm* form) {
    try {
        form->AfterConstruction();
    } catch (...) {
        HandleException(form);
    }
    if (!mainForm_) {
        mainForm_ = form;
        try {
            form->HandleNeeded();
        } catch (...) {
            HandleException(form);
        }
    }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == mainForm_) mainForm_ = nullptr;
    if (component == hintWindow_) hintWindow_ = nullptr;
}

void TApplication::ControlDestroyed(TControl* control) {
    if (control == mouseControl_) {
        mouseControl_ = nullptr;
        mouseMoved_ = true;  // something else lies under the mouse now
    }
    if (control == hintControl_) {
        hintControl_ = nullptr;
        hintActive_ = false;
        StopHintTimer();
        if (hintWindow_ && hintWindow_ != control) hintWindow_->Hide();
    }
    if (control == mainForm_) mainForm_ = nullptr;
    if (control == hintWindow_) hintWindow_ = nullptr;
}

// ---- the message loop

void TApplication::Run() {
    running_ = true;
    struct RunningFlag {
        bool& flag;
        ~RunningFlag() { flag = false; }
    } clearOnExit{running_};
    if (!mainForm_) return;
    if (showMainForm_) mainForm_->Show();
    while (!terminated_) {
        try {
            HandleMessage();
        } catch (...) {
            HandleException(this);
        }
    }
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) Idle();
}

bool TApplication::ProcessMessage() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    NoteMouse(msg);
    IsHintMsg(msg);
    bool handled = false;
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && !GetCapture()) handled = PreviewKey(msg);
    if (!handled) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

bool TApplication::PreviewKey(const MSG& msg) {
    // Keys of a window that is not ours (the edit inside a combo box) preview at its framework owner.
    for (HWND window = msg.hwnd; window; window = GetParent(window)) {
        TWinControl* control = TWinControl::FindControl(window);
        if (!control) continue;
        const bool keyDown = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        auto* form = dynamic_cast<TForm*>(GetParentForm(control));
        if (keyDown && form && form->ShortCut(msg.wParam, control)) return true;
        return SendMessageW(window, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
    }
    return false;
}

// The control under the mouse is looked for only when the mouse may have
// moved: each look costs the window server several round trips, which a
// timer, a device's notice or another program's message would pay for nothing.
void TApplication::Idle() {
    if (mouseMoved_) {
        mouseMoved_ = false;
        DoMouseIdle();
    }
    for (const auto& [window, message] : std::exchange(idlePosts_, {})) PostMessageW(window, message, 0, 0);
    WaitMessage();
}

void TApplication::PostWhenIdle(HWND window, UINT message) {
    idlePosts_.emplace_back(window, message);
}

void TApplication::NoteMouse(const MSG& msg) {
    const UINT m = msg.message;
    // Every message carries the cursor position of its time; the system also
    // sends a mouse move when the window under a resting cursor changes.
    if ((m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK) ||
        m == WM_MOUSELEAVE || m == WM_NCMOUSELEAVE || msg.pt.x != lastMessagePos_.x || msg.pt.y != lastMessagePos_.y)
        mouseMoved_ = true;
    lastMessagePos_ = msg.pt;
}

void TApplication::DoMouseIdle() {
    POINT cursor{};
    GetCursorPos(&cursor);
    TControl* target = FindDragTarget(cursor, true);
    if (target != mouseControl_) {
        TControl* capture = CaptureControl();
        if (mouseControl_ && (!capture || capture == mouseControl_)) mouseControl_->Perform(CM_MOUSELEAVE);
        mouseControl_ = target;
        if (mouseControl_ && (!capture || capture == mouseControl_)) mouseControl_->Perform(CM_MOUSEENTER);
    }
    if (showHint_ && (!mouseControl_ || mouseControl_ == hintWindow_)) CancelHint();
    hint_ = LongHint(HintTextOf(mouseControl_));
}

// ---- hints

void TApplication::SetShowHint(bool show) {
    if (showHint_ == show) return;
    showHint_ = show;
    if (show) {
        hintWindow_ = Make<THintWindow>(this);
        hintWindow_->SetColor(hintColor_);
    } else if (hintWindow_) {
        CancelHint();
        DestroyComponent(hintWindow_);
        hintWindow_ = nullptr;
    }
}

std::string TApplication::HintTextOf(TControl* control) {
    for (TControl* c = control; c; c = c->Parent())
        if (!c->Hint().empty()) return c->Hint();
    return {};
}

std::string TApplication::ShortHint(const std::string& hint) {
    return hint.substr(0, hint.find('|'));
}

std::string TApplication::LongHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

TControl* TApplication::HintControlAt(POINT screenPos) {
    TControl* c = FindDragTarget(screenPos, false);
    while (c && !c->ShowHint()) c = c->Parent();
    return c;
}

void TApplication::HintMouseMessage(TControl* control, const TMessage& message) {
    POINT p = control->ClientToScreen(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
    TControl* newHintControl = HintControlAt(p);
    if (!newHintControl || !newHintControl->ShowHint()) {
        CancelHint();
        return;
    }
    if (newHintControl == hintControl_ && PtInRect(&hintCursorRect_, p)) return;
    const bool wasActive = hintActive_;
    const int pause = wasActive ? hintShortPause_ : hintPause_;
    CancelHint();
    hintActive_ = wasActive;
    hintControl_ = newHintControl;
    StartHintTimer(pause, kHintShowMode);
}

void TApplication::StartHintTimer(int ms, int mode) {
    StopHintTimer();
    timerId_ = SetTimer(nullptr, 0, UINT(ms), &TApplication::HintTimerProc);
    if (!timerId_) {
        CancelHint();
        return;
    }
    timerActive_ = true;
    timerMode_ = mode;
}

void TApplication::StopHintTimer() {
    if (!timerActive_) return;
    KillTimer(nullptr, timerId_);
    timerActive_ = false;
}

void CALLBACK TApplication::HintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (!Application) return;
    try {
        Application->StopHintTimer();
        if (Application->timerMode_ == kHintShowMode) {
            POINT cursor{};
            GetCursorPos(&cursor);
            Application->ActivateHint(cursor);
        } else if (Application->hintWindow_) {
            Application->hintWindow_->Hide();
            Application->mouseMoved_ = true;  // the hint window may have lain under the mouse
        }
    } catch (...) {
        Application->HandleException(Application);
    }
}

bool TApplication::IsForeground() {
    HWND active = GetForegroundWindow();
    return active && GetWindowThreadProcessId(active, nullptr) == GetCurrentThreadId();
}

void TApplication::ActivateHint(POINT) {
    hintActive_ = false;
    if (!showHint_ || !hintControl_ || !hintWindow_ || !IsForeground()) {
        CancelHint();
        return;
    }
    const POINT origin = hintControl_->ClientToScreen(POINT{0, 0});
    const POINT position{origin.x, origin.y + hintControl_->Height() + 6};
    const std::string text = ShortHint(HintTextOf(hintControl_));
    if (text.empty()) {
        CancelHint();
        return;
    }
    RECT r = hintWindow_->CalcHintRect(GetSystemMetrics(SM_CXSCREEN), text);
    OffsetRect(&r, position.x, position.y);
    r.right += 6;
    r.bottom += 2;
    hintCursorRect_ = RECT{origin.x, origin.y, origin.x + hintControl_->Width(), origin.y + hintControl_->Height()};
    hintWindow_->SetColor(hintColor_);
    hintWindow_->ActivateHint(r, text);
    mouseMoved_ = true;  // the hint window may lie under the mouse
    hintActive_ = true;
    StartHintTimer(hintHidePause_, kHintHideMode);
}

void TApplication::CancelHint() {
    if (!hintControl_) return;
    if (hintWindow_ && hintWindow_->Visible()) {
        hintWindow_->Hide();
        mouseMoved_ = true;  // the hint window may have lain under the mouse
    }
    hintControl_ = nullptr;
    hintActive_ = false;
    StopHintTimer();
}

bool TApplication::IsHintMsg(const MSG& msg) {
    const UINT m = msg.message;
    const bool cancels = (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK) ||
                         m == WM_NCMOUSEMOVE || m == WM_COMMAND || m == CM_ACTIVATE || m == CM_DEACTIVATE ||
                         m == CM_APPKEYDOWN || m == CM_APPSYSCOMMAND;
    if (cancels) CancelHint();
    return cancels;
}

// ---- exceptions and message boxes

void TApplication::HandleException(TObject*) {
    if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowException(e);
    } catch (...) {
        ShowForeignException();
    }
}

void TApplication::ShowForeignException() {
    std::string message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
    }
    const std::string text = FormatText(LoadStr(SExceptionReport),
                                        {CurrentExceptionTypeName(), TitleFromExeName(), "00000000", message, ""});
    MessageBox(text, LoadStr(SExceptionTitle), MB_OK | MB_ICONSTOP);
}

void TApplication::ShowException(const Exception& e) {
    MessageBox(e.Message() + ".", Title(), MB_OK | MB_ICONSTOP);
}

TApplication::DisabledWindows::DisabledWindows() {
    EnumThreadWindows(GetCurrentThreadId(), &DisabledWindows::DisableOne, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK TApplication::DisabledWindows::DisableOne(HWND window, LPARAM self) {
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
        reinterpret_cast<DisabledWindows*>(self)->windows_.push_back(window);
        EnableWindow(window, FALSE);
    }
    return TRUE;
}

TApplication::DisabledWindows::~DisabledWindows() {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
    const HWND activeWindow = GetActiveWindow();
    int result = 0;
    {
        DisabledWindows disabled;
        result = ::MessageBoxW(handle_.Get(), ToWide(text).c_str(), ToWide(caption).c_str(), flags & 0xFFFF);
    }
    SetActiveWindow(activeWindow);
    return result;
}

// ---- the application window

LRESULT CALLBACK TApplication::AppWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TApplication*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    try {
        self->WndProc(m);
    } catch (...) {
        self->HandleException(self);
    }
    return m.Result;
}

void TApplication::Minimize() {
    if (IsIconic(handle_.Get())) return;
    NormalizeTopMosts();
    SetActiveWindow(handle_.Get());
    ShowNoAnimation(SW_MINIMIZE);
}

void TApplication::Restore() {
    if (!IsIconic(handle_.Get())) return;
    SetActiveWindow(handle_.Get());
    ShowNoAnimation(SW_RESTORE);
    RestoreTopMosts();
    if (mainForm_ && mainForm_->ActiveControl() && mainForm_->ActiveControl()->CanFocus())
        mainForm_->ActiveControl()->SetFocus();
}

void TApplication::NormalizeTopMosts() {
    if (topMostLevel_++ > 0) return;
    struct Collect {
        HWND app, mainForm;
        std::vector<HWND>& list;
        static BOOL CALLBACK Add(HWND window, LPARAM param) {
            auto& c = *reinterpret_cast<Collect*>(param);
            if (window != c.mainForm && GetWindow(window, GW_OWNER) == c.app &&
                (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST))
                c.list.push_back(window);
            return TRUE;
        }
    } collect{handle_.Get(), mainForm_ && mainForm_->HandleAllocated() ? mainForm_->Handle() : nullptr, topMostList_};
    EnumWindows(&Collect::Add, reinterpret_cast<LPARAM>(&collect));
    for (HWND window : topMostList_)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TApplication::RestoreTopMosts() {
    if (topMostLevel_ == 0 || --topMostLevel_ > 0) return;
    for (HWND window : topMostList_)
        if (IsWindow(window))
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    topMostList_.clear();
}

void TApplication::DisableOthers() {
    struct Collect {
        HWND app;
        std::vector<HWND>& list;
        static BOOL CALLBACK Add(HWND window, LPARAM param) {
            auto& c = *reinterpret_cast<Collect*>(param);
            if (window != c.app && IsWindowVisible(window) && IsWindowEnabled(window)) {
                c.list.push_back(window);
                EnableWindow(window, FALSE);
            }
            return TRUE;
        }
    } collect{handle_.Get(), disabledWithApp_};
    EnumThreadWindows(GetCurrentThreadId(), &Collect::Add, reinterpret_cast<LPARAM>(&collect));
}

void TApplication::EnableOthers() {
    std::vector<HWND> list = std::exchange(disabledWithApp_, {});
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
}

void TApplication::FocusFirstWindow() {
    ThreadWindowSearch search{handle_.Get(), false};
    EnumThreadWindows(GetCurrentThreadId(), &FindFocusableWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        search.topMost = true;
        EnumThreadWindows(GetCurrentThreadId(), &FindFocusableWindow, reinterpret_cast<LPARAM>(&search));
    }
    if (search.found) SetFocus(search.found);
}

void TApplication::WndProc(TMessage& m) {
    const HWND window = handle_.Get();
    auto defaultHandling = [&] { m.Result = DefWindowProcW(window, m.Msg, m.WParam, m.LParam); };
    if (m.Msg == WM_WININICHANGE && updateFormatSettings_) GetFormatSettings();
    switch (m.Msg) {
        case WM_CLOSE:
            if (mainForm_) mainForm_->Close();
            return;
        case WM_SYSCOMMAND:
            switch (m.WParam & 0xFFF0) {
                case SC_MINIMIZE: Minimize(); return;
                case SC_RESTORE: Restore(); return;
                default: defaultHandling(); return;
            }
        case WM_ACTIVATEAPP:
            defaultHandling();
            active_ = m.WParam != 0;
            if (active_) RestoreTopMosts();
            else NormalizeTopMosts();
            PostMessageW(window, active_ ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
            return;
        case WM_ENABLE:
            if (m.WParam) {
                RestoreTopMosts();
                EnableOthers();
            } else {
                DisableOthers();
                NormalizeTopMosts();
            }
            defaultHandling();
            return;
        case WM_SETFOCUS:
            PostMessageW(window, CM_FOCUSENTERED, 0, 0);
            defaultHandling();
            if (!IsIconic(window) && GetFocus() == window) FocusFirstWindow();
            return;
        case WM_PAINT:
            if (IsIconic(window)) {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(window, &ps);
                DrawIcon(dc, 0, 0, icon_.Handle());
                EndPaint(window, &ps);
                return;
            }
            defaultHandling();
            return;
        case WM_ERASEBKGND:
            m.Result = DefWindowProcW(window, WM_ICONERASEBKGND, m.WParam, m.LParam);
            return;
        case WM_QUERYDRAGICON:
            m.Result = reinterpret_cast<LRESULT>(icon_.Handle());
            return;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            m.Result = SendMessageW(reinterpret_cast<HWND>(m.LParam), CN_BASE + m.Msg, m.WParam, m.LParam);
            return;
        case WM_ENDSESSION:
            if (m.WParam) ExitProcess(0);
            return;
        case CM_APPKEYDOWN:
            m.Result = 0;  // the program has no menu
            return;
        case CM_APPSYSCOMMAND:
            if (mainForm_ && mainForm_->HandleAllocated() && IsWindowEnabled(mainForm_->Handle()) &&
                IsWindowVisible(mainForm_->Handle())) {
                HWND focus = SetFocus(mainForm_->Handle());
                SendMessageW(mainForm_->Handle(), WM_SYSCOMMAND, m.WParam, m.LParam);
                SetFocus(focus);
                m.Result = 1;
            }
            return;
        default:
            defaultHandling();
            return;
    }
}

// ======================================================================
// ApplicationScope

ApplicationScope::ApplicationScope() : app_(std::make_unique<TApplication>(nullptr)) {
    Application = app_.get();
    Application->SetShowHint(true);
}

ApplicationScope::~ApplicationScope() {
    app_.reset();
    Application = nullptr;
}
