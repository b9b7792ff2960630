// Controls: windowless (graphic) controls painted by their parent, and
// windowed controls over real Win32 windows, all sharing one window procedure.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

// The framework's own messages. CN_ messages are child notifications that the
// parent window reflects back to the child's object (CN_BASE + the WM_ number).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_MOUSEENTER = CM_BASE + 2,
               CM_MOUSELEAVE = CM_BASE + 3, CM_DIALOGKEY = CM_BASE + 9, CM_DIALOGCHAR = CM_BASE + 10,
               CM_FOCUSCHANGED = CM_BASE + 11, CM_APPKEYDOWN = CM_BASE + 12, CM_APPSYSCOMMAND = CM_BASE + 13,
               CM_RELEASE = CM_BASE + 14, CM_SYSCOLORCHANGE = CM_BASE + 17, CM_BUTTONPRESSED = CM_BASE + 18,
               CM_WANTSPECIALKEY = CM_BASE + 21, CM_FOCUSENTERED = CM_BASE + 23, CM_FIRST_FREE = CM_BASE + 0x100;
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_HSCROLL = CN_BASE + WM_HSCROLL,
               CN_VSCROLL = CN_BASE + WM_VSCROLL, CN_DRAWITEM = CN_BASE + WM_DRAWITEM,
               CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM, CN_DELETEITEM = CN_BASE + WM_DELETEITEM,
               CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT, CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
               CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN, CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
               CN_KEYDOWN = CN_BASE + WM_KEYDOWN, CN_CHAR = CN_BASE + WM_CHAR,
               CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN, CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
TShiftState KeysToShiftState(WPARAM keys);
TShiftState KeyboardShiftState();

// A window's text as UTF-8, and setting it; the one place where window texts
// cross into the system.
std::string ReadWindowText(HWND window);
void WriteWindowText(HWND window, const std::string& text);

// Control state flags.
enum TControlStateFlag : unsigned { csLButtonDown = 1, csClicked = 2, csFocusing = 4, csCreating = 8 };

class TControl;
class TWinControl;

// What the controls need from the application object above them: the report
// of an exception that reached a window procedure, timer or hook, and the
// hint bookkeeping of mouse moves.
class TControlHost {
public:
    virtual void HandleException(TObject* sender) = 0;
    virtual void HintMouseMessage(TControl* control, const TMessage& message) = 0;
    virtual void CancelHint() = 0;
    // A control is going away: forget every reference to it.
    virtual void ControlDestroyed(TControl* control) = 0;
    // Posts message to window once the program next waits for input.
    virtual void PostWhenIdle(HWND window, UINT message) = 0;

protected:
    ~TControlHost() = default;
};
// The application object registers itself here.
void SetControlHost(TControlHost* host);
TControlHost* ControlHost();
// Reports the exception being handled through the host (or the debugger when none).
void ReportException(TObject* sender);
// Work that can wait until the window is up and answering, such as reading
// what a slow drive or folder holds: message goes to window when the program
// next waits for input (at once without an application object).
void PostWhenIdle(HWND window, UINT message);

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
    virtual RECT ClientRect();
    int ClientWidth() { return ClientRect().right; }
    int ClientHeight() { return ClientRect().bottom; }
    void SetClientSize(int width, int height);
    // Screen position of the client area's top-left corner.
    virtual POINT ClientOrigin();
    POINT ClientToScreen(POINT p);
    POINT ScreenToClient(POINT p);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a top-level window that is shown.
    bool Showing();
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    std::string Text();
    void SetText(const std::string& text);
    std::string Caption() { return Text(); }
    void SetCaption(const std::string& text) { SetText(text); }

    TFont& Font() { return font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool parentFont);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint) { hint_ = hint; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool parentShowHint);

    bool MouseCapture();
    void SetMouseCapture(bool capture);

    // Sends a message straight to this control's message handling.
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual void Invalidate();
    void Update();
    void Repaint();
    virtual void BringToFront();

    virtual bool HasWindow() const { return false; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    Event<TObject*, TMouseButton, TShiftState, int, int> OnMouseDown;
    Event<TObject*, TMouseButton, TShiftState, int, int> OnMouseUp;
    Event<TObject*, TShiftState, int, int> OnMouseMove;

    // Every message for the control passes here; derived controls override,
    // handle what they need and pass the rest on.
    virtual void WndProc(TMessage& message);
    virtual void Click();
    virtual void DblClick();

protected:
    virtual void DefaultHandler(TMessage& message);
    // Controls that raise OnClick from their own mouse presses (not from a system notification).
    virtual bool ClicksOnMouseUp() const { return false; }
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void FontChanged();
    virtual void ColorChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    virtual void VisibleChanged();
    virtual void EnabledChanged() { Invalidate(); }
    void SetControlState(unsigned flags, bool on);
    // Text of a control without a window.
    const std::string& StoredText() const { return text_; }
    void RequestAlign();

    // Parent's font changed: copy it when ParentFont is set.
    void ParentFontChanged();

private:
    void HandleMouseButton(TMessage& message, TMouseButton button, bool down, bool dbl);
    void OnFontChange(TObject* sender);

    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TAlign align_ = TAlign::alNone;
    std::string text_;
    TFont font_;
    bool parentFont_ = true;
    bool fontFromParent_ = false;
    TColor color_ = clWindow;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    unsigned controlState_ = 0;
};

// A windowless control: painted on its parent's window.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
    TCanvas& Canvas() { return canvas_; }
    // Paints the control on dc, whose origin is the control's top-left corner.
    void PaintOn(HDC dc);

protected:
    virtual void Paint() {}
    bool ClicksOnMouseUp() const override { return true; }

private:
    TCanvas canvas_;
};

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    UINT ClassStyle = CS_DBLCLKS;
    // Our own class name; when SystemClass is set, ours is a superclass of it.
    std::string WinClassName;
    std::string SystemClass;
    HBRUSH Background = nullptr;
    HCURSOR Cursor = nullptr;
};

// A control with a window of its own. The window is made on demand
// (Handle()) and destroyed with the control.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded();
    // Destroys the window (the children's with it); it is made again on demand.
    void DestroyHandle();
    // Destroys the window and makes it again with the same settings.
    void RecreateWnd();

    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int index) const { return controls_[size_t(index)]; }
    // The child control at a point of the client area (windowless ones included).
    TControl* ControlAtPos(POINT p, bool allowDisabled = false, bool allowWinControls = false);

    int TabOrder();
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);
    bool Focused();
    virtual bool CanFocus();
    virtual void SetFocus();
    // Windowed descendants in tab order (depth first).
    std::vector<TWinControl*> TabOrderList();
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop);
    void SelectNext(TWinControl* current, bool forward, bool checkTabStop);

    void SetBounds(int left, int top, int width, int height) override;
    RECT ClientRect() override;
    POINT ClientOrigin() override;
    void Invalidate() override;
    void BringToFront() override;
    void SetEnabled(bool enabled) override;
    bool HasWindow() const override { return true; }

    void WndProc(TMessage& message) override;

    // The one window procedure of every framework window.
    static LRESULT CALLBACK StandardWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    // The framework control that owns window, or nullptr.
    static TWinControl* FindControl(HWND window);
    // Lays out the children that are aligned (alTop and friends).
    void AlignControls();

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    // Called after the window exists: pass stored settings on to it.
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void DestroyWnd();
    void DefaultHandler(TMessage& message) override;
    // Paints the windowless children over dc.
    void PaintControls(HDC dc);
    // Painting of the window's own face (TCustomControl overrides).
    virtual void PaintWindow(HDC /*dc*/) {}
    void FontChanged() override;
    void ColorChanged() override;
    void TextChanged() override;
    void VisibleChanged() override;
    // Broadcasts a message to every child control until one answers non-zero.
    LRESULT Broadcast(TMessage& message);
    // True when the parent window exists or the control is top-level.
    virtual bool ParentHandleReady();
    // The brush painting the window's background, made from Color.
    HBRUSH BackgroundBrush();
    // Answers a reflected WM_CTLCOLOR* with the font colour and our background.
    void CtlColor(TMessage& message);
    void UpdateWindowVisibility();

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ReflectNotification(TMessage& message);
    void FontFreeing(TObject* font);
    void HandlePaint(TMessage& message);
    bool PreviewKey(TMessage& message);
    void CreateChildHandles();
    bool ChildWindowsWanted();
    // Whether the control should have its window now: it is visible and its parent's children get theirs.
    bool WindowWanted();
    // The sibling window a new window goes beneath: the next later-placed one that has a window.
    HWND WindowAbove();
    static void RegisterClassFor(const TCreateParams& params, WNDPROC& defaultProc);

    HWND handle_ = nullptr;
    WNDPROC defWndProc_ = &DefWindowProcW;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    TBrush background_;
};

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
    TCanvas& Canvas() { return canvas_; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;
    bool ClicksOnMouseUp() const override { return true; }

private:
    TCanvas canvas_;
};

// The control (windowless ones included) under a screen point, or nullptr.
TControl* FindDragTarget(POINT screenPos, bool allowDisabled);
// The form-level (top-level) control that holds control.
TWinControl* GetParentForm(TControl* control);
// The control that holds the mouse capture (a windowless one through its parent), or nullptr.
TControl* CaptureControl();
