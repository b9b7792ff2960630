// The application object, its message loop, hints and exception reports,
// and forms (top-level windows) with their close protocol.
#pragma once

#include <windows.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "runtime/SysUtils.h"

// The application's MessageBox is a method of its own, not the system's macro.
#undef MessageBox

enum class TCloseAction { caNone = 0, caHide = 1, caFree = 2, caMinimize = 3 };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
enum class TPosition { poDesigned, poScreenCenter };

// Modal results shared by message boxes and dialogs.
enum TModalResultValue : int {
    mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8
};

using TCloseEvent = Event<TObject*, TCloseAction&>;
using TCloseQueryEvent = Event<TObject*, bool&>;

// A top-level window owned by the application window.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    unsigned BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(unsigned icons);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }

    // Runs OnCreate (reporting its exception) and shows the form if it is visible.
    void AfterConstruction();

    // The close protocol: OnCloseQuery, then OnClose with its action.
    void Close();
    bool CloseQuery();
    // Destroys the form after the current message is done.
    void Release();
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    bool Modal() const { return modal_; }

    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    bool Active() const { return active_; }

    // A key pressed anywhere in the form, before the focused control sees it:
    // true when the form acted on it as a shortcut (the control then never
    // gets it). focused is the framework control with the keyboard focus.
    virtual bool ShortCut(WPARAM key, TWinControl* focused) {
        (void)key;
        (void)focused;
        return false;
    }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    void WndProc(TMessage& message) override;
    RECT ClientRect() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void VisibleChanged() override;
    void Notification(TComponent* component, TOperation operation) override;
    bool ParentHandleReady() override { return true; }

private:
    void DoClose(TCloseAction& action);
    // The close check of a modal form once a result is set.
    void CloseModal();
    int RunModalLoop();
    bool DialogKey(WPARAM key);
    void Activated(bool active);
    void SetFocusToFirst();

    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TPosition position_ = TPosition::poDesigned;
    int modalResult_ = 0;
    bool modal_ = false;
    bool active_ = false;
    TWinControl* activeControl_ = nullptr;
};

// The yellow tooltip window.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    // Shows text in rect (screen coordinates), kept on the screen, top-most, not activated.
    void ActivateHint(RECT rect, const std::string& text);
    // Rectangle (at 0,0) that text needs: measured plus borders.
    RECT CalcHintRect(int maxWidth, const std::string& text);

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void TextChanged() override;
    bool ParentHandleReady() override { return true; }
};

// The one application object of the process.
class TApplication : public TComponent, public TControlHost {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    HWND Handle() const { return handle_.Get(); }
    std::string Title() const;
    void SetTitle(const std::string& title);
    std::string ExeName() const;

    TForm* MainForm() const { return mainForm_; }
    bool ShowMainForm() const { return showMainForm_; }
    void SetShowMainForm(bool show) { showMainForm_ = show; }
    bool Terminated() const { return terminated_; }
    bool Active() const { return active_; }
    bool Running() const { return running_; }

    // Makes a form owned by the application; the reference is set before
    // OnCreate runs. The first form becomes the main form.
    template <typename T>
    void CreateForm(T*& reference) {
        reference = nullptr;
        auto form = std::make_unique<T>(this);
        reference = form.get();
        Adopt(std::move(form));
        FormCreated(reference);
    }

    void Run();
    void Terminate();
    void HandleMessage();
    bool ProcessMessage();
    // Processes every queued message without waiting.
    void ProcessMessages();
    void Idle();
    void Minimize();
    void Restore();
    void NormalizeTopMosts();
    void RestoreTopMosts();

    // Hints.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    TColor HintColor() const { return hintColor_; }
    int HintPause() const { return hintPause_; }
    int HintShortPause() const { return hintShortPause_; }
    int HintHidePause() const { return hintHidePause_; }
    bool HintActive() const { return hintActive_; }
    TControl* HintControl() const { return hintControl_; }
    TControl* MouseControl() const { return mouseControl_; }
    THintWindow* HintWindow() const { return hintWindow_; }
    const std::string& CurrentHint() const { return hint_; }
    void HintMouseMessage(TControl* control, const TMessage& message) override;
    void CancelHint() override;

    void HandleException(TObject* sender) override;
    // Shows an exception: its message and "." in a box titled with the title.
    void ShowException(const Exception& e);

    // The system message box, modal over every window of the program.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);

    // Disables the thread's visible enabled top-level windows; gives them back re-enabled on destruction.
    class DisabledWindows {
    public:
        DisabledWindows();
        ~DisabledWindows();
        DisabledWindows(const DisabledWindows&) = delete;
        DisabledWindows& operator=(const DisabledWindows&) = delete;

    private:
        static BOOL CALLBACK DisableOne(HWND window, LPARAM self);
        std::vector<HWND> windows_;
    };

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void FormCreated(TForm* form);
    void CreateHandle();
    void WndProc(TMessage& message);
    static LRESULT CALLBACK AppWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void ShowNoAnimation(int command);
    bool IsHintMsg(const MSG& msg);
    bool PreviewKey(const MSG& msg);
    void StartHintTimer(int ms, int mode);
    void StopHintTimer();
    static void CALLBACK HintTimerProc(HWND, UINT, UINT_PTR, DWORD);
    void ActivateHint(POINT cursor);
    bool IsForeground();
    TControl* HintControlAt(POINT screenPos);
    static std::string HintTextOf(TControl* control);
    static std::string ShortHint(const std::string& hint);
    static std::string LongHint(const std::string& hint);
    void DoMouseIdle();
    // Notes whether a message taken from the queue may mean that the mouse moved.
    void NoteMouse(const MSG& msg);
    void FocusFirstWindow();
    void DisableOthers();
    void EnableOthers();
    void ControlDestroyed(TControl* control) override;
    void PostWhenIdle(HWND window, UINT message) override;
    static std::string TitleFromExeName();
    // Reports the thrown object being handled that is not the framework's
    // exception: the runtime's generic report with its type's readable name.
    void ShowForeignException();

    UniqueWindow handle_;
    TForm* mainForm_ = nullptr;
    TControl* mouseControl_ = nullptr;
    // The mouse may have moved, or what lies under it changed, since the idle step last looked.
    bool mouseMoved_ = true;
    // The cursor position that the last message taken from the queue carried.
    POINT lastMessagePos_{LONG_MIN, LONG_MIN};
    std::string hint_;
    bool hintActive_ = false;
    bool updateFormatSettings_ = true;
    bool showMainForm_ = true;
    TColor hintColor_ = clInfoBk;
    TControl* hintControl_ = nullptr;
    RECT hintCursorRect_{};
    int hintPause_ = 500;
    int hintShortPause_ = 50;
    int hintHidePause_ = 2500;
    THintWindow* hintWindow_ = nullptr;
    bool showHint_ = false;
    bool timerActive_ = false;
    int timerMode_ = 0;
    UINT_PTR timerId_ = 0;
    std::string title_;
    std::vector<HWND> topMostList_;
    int topMostLevel_ = 0;
    TIcon icon_;
    bool terminated_ = false;
    bool active_ = true;
    bool running_ = false;
    std::vector<HWND> disabledWithApp_;
    // Messages that go out when the queue is next found empty.
    std::vector<std::pair<HWND, UINT>> idlePosts_;
};

// The application object; exists between ApplicationScope's construction and destruction.
extern TApplication* Application;

// Framework start-up and clean-up: makes the application object (with hints
// switched on) and destroys it, and everything it owns, at the end.
class ApplicationScope {
public:
    ApplicationScope();
    ~ApplicationScope();
    ApplicationScope(const ApplicationScope&) = delete;
    ApplicationScope& operator=(const ApplicationScope&) = delete;

private:
    std::unique_ptr<TApplication> app_;
};
