// Driving real windows from a test: message pumping, answering message
// boxes the way a user would, reading pixels and a form to host controls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Forms.h"

// Runs the application's message handling until done() or timeoutMs; gives done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the application's message handling for ms milliseconds.
void PumpFor(int ms);

// A message box (or message dialog) that appeared while a BoxAnswerer was active.
struct SeenBox {
    std::string caption;
    std::string text;
    HWND owner;
    bool mainWindowDisabled;
};

// Watches for message boxes and message dialogs of this thread (from inside
// any modal loop) and presses a button on each, as a click would: the chosen
// one, or OK on a box that does not offer it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int buttonId = IDOK, HWND watchDisabled = nullptr);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    void SetButton(int buttonId) { buttonId_ = buttonId; }
    const std::vector<SeenBox>& Seen() const { return seen_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Check();
    int buttonId_;
    HWND watchDisabled_;
    UINT_PTR timer_;
    std::vector<SeenBox> seen_;
    std::vector<HWND> answered_;
};

// The first visible message box (#32770) or message dialog of this thread, or nullptr.
HWND FindThreadDialog();
// The text of a message box (its static with id 0xFFFF) or of a message dialog.
std::string DialogText(HWND dialog);
// The button of a message box or message dialog that answers buttonId (IDOK, IDYES, ...).
HWND DialogButton(HWND dialog, int buttonId);
std::string WindowText(HWND window);

// Colour of a client pixel of a window as drawn on the screen.
COLORREF ScreenPixel(HWND window, int x, int y);
// The pixels of a client area of a window as drawn on the screen, row by row.
std::vector<COLORREF> ScreenPicture(HWND window, const RECT& area);

// What PaintTwiceAndCycle saw: whether a second paint gave the first one's
// picture, and how many more GDI objects 20 rounds left alive.
struct PaintReport {
    bool samePicture;
    int growth;
};
// Puts controls on form with make (which gives back what it made), compares
// area of the form as first painted with a second paint, as after another
// window passed over it, and destroys them; then counts the GDI objects that
// 20 more rounds of making, painting and destroying leave alive.
PaintReport PaintTwiceAndCycle(TWinControl* form, const RECT& area, const std::function<std::vector<TControl*>()>& make);

// Has an owner-drawn button draw itself in state (ODS_ flags) on a picture
// painted red first, as the system asks it to: Windows erases nothing before.
// Gives the pixels row by row.
std::vector<COLORREF> OwnerDrawnPicture(TWinControl* button, UINT state);

// A shown form to host the controls under test; destroyed with the test.
class TestForm : public TForm {
public:
    explicit TestForm(TComponent* owner);
};

// Makes and shows a TestForm owned by the application; destroys it when leaving scope.
class ScopedTestForm {
public:
    ScopedTestForm(int width = 400, int height = 300);
    ~ScopedTestForm();
    ScopedTestForm(const ScopedTestForm&) = delete;
    ScopedTestForm& operator=(const ScopedTestForm&) = delete;
    TestForm* operator->() const { return form_; }
    TestForm* Get() const { return form_; }

private:
    TestForm* form_;
};
