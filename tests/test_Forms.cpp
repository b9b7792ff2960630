#include <doctest.h>

#include <windows.h>

#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {

// A button whose click raises the exception it is given, or a bare number.
struct Thrower {
    std::string message;
    bool bare = false;
    int clicks = 0;
    void Click(TObject*) {
        ++clicks;
        if (bare) throw clicks;
        throw Exception(message);
    }
};

// Moves the mouse onto a control the way the user would and lets the hint machinery see it.
void HoverOver(TControl* control, int x, int y) {
    POINT p = control->ClientToScreen(POINT{x, y});
    SetCursorPos(p.x, p.y);
    HWND window = WindowFromPoint(p);
    POINT client = p;
    ScreenToClient(window, &client);
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

bool HintShowing() {
    THintWindow* hint = Application->HintWindow();
    return hint && hint->HandleAllocated() && IsWindowVisible(hint->Handle());
}

RECT HintRect() {
    RECT r{};
    GetWindowRect(Application->HintWindow()->Handle(), &r);
    return r;
}

}  // namespace

TEST_CASE("the title comes from the program file's name") {
    std::string exe = Application->ExeName();
    CHECK(exe.size() > 4);
    CHECK(exe.find("test_Forms.exe") != std::string::npos);
    CHECK(Application->Title() == "test_forms");
    Application->SetTitle("Brumik");
    CHECK(Application->Title() == "Brumik");
    CHECK(WindowText(Application->Handle()) == "Brumik");
}

TEST_CASE("an exception escaping a handler is reported once with a period and the title, and the loop goes on") {
    Application->SetTitle("Brumik");
    ScopedTestForm form;
    auto* button = Make<TButton>(form.Get());
    button->SetParent(form.Get());
    button->SetBounds(10, 10, 80, 25);
    Thrower thrower{"Disk full"};
    button->OnClick.Bind<&Thrower::Click>(&thrower);

    BoxAnswerer answerer(IDOK, form->Handle());
    PostMessageA(button->Handle(), BM_CLICK, 0, 0);
    REQUIRE(PumpUntil([&] { return !answerer.Seen().empty(); }));
    PumpFor(100);
    REQUIRE(answerer.Seen().size() == 1);
    CHECK(answerer.Seen()[0].text == "Disk full.");
    CHECK(answerer.Seen()[0].caption == "Brumik");
    CHECK(answerer.Seen()[0].owner == Application->Handle());
    CHECK(answerer.Seen()[0].mainWindowDisabled);
    CHECK(thrower.clicks == 1);
    CHECK(IsWindowEnabled(form->Handle()));

    // The loop is still running: a second click is handled and reported again.
    thrower.message = "Already ends.";
    PostMessageA(button->Handle(), BM_CLICK, 0, 0);
    REQUIRE(PumpUntil([&] { return answerer.Seen().size() == 2; }));
    CHECK(answerer.Seen()[1].text == "Already ends..");
    CHECK(thrower.clicks == 2);

    // An object of no exception class gets the runtime's report, once, its type named readably.
    thrower.bare = true;
    PostMessageA(button->Handle(), BM_CLICK, 0, 0);
    REQUIRE(PumpUntil([&] { return answerer.Seen().size() == 3; }));
    PumpFor(100);
    CHECK(answerer.Seen().size() == 3);
    CHECK(answerer.Seen()[2].text == "Exception int in module test_forms at 00000000.\n");
    CHECK(answerer.Seen()[2].caption == "Application Error");
}

TEST_CASE("the message box disables the program's windows and gives back the answer") {
    ScopedTestForm form;
    BoxAnswerer yes(IDYES, form->Handle());
    CHECK(Application->MessageBox("Zapisać opis utworu?", "Brumik: Potwierdzenie operacji", MB_YESNO | MB_ICONQUESTION) == IDYES);
    REQUIRE(yes.Seen().size() == 1);
    CHECK(yes.Seen()[0].text == "Zapisać opis utworu?");
    CHECK(yes.Seen()[0].caption == "Brumik: Potwierdzenie operacji");
    CHECK(yes.Seen()[0].mainWindowDisabled);
    CHECK(IsWindowEnabled(form->Handle()));
    yes.SetButton(IDNO);
    CHECK(Application->MessageBox("Koniec?", "Brumik", 36) == IDNO);
}

TEST_CASE("hints: shown after a pause below the control, hidden later, cancelled by a click") {
    ScopedTestForm form(400, 300);
    SetForegroundWindow(form->Handle());
    auto* parent = Make<TPanel>(form.Get());
    parent->SetParent(form.Get());
    parent->SetBounds(20, 20, 300, 200);
    parent->SetHint("Pole opisu pliku|długi opis");
    parent->SetShowHint(true);
    auto* inner = Make<TPanel>(form.Get());
    inner->SetParent(parent);
    inner->SetBounds(10, 10, 120, 40);
    inner->SetShowHint(true);
    auto* other = Make<TPanel>(form.Get());
    other->SetParent(parent);
    other->SetBounds(10, 100, 120, 40);
    other->SetHint("Suwak odtwarzania");
    other->SetShowHint(true);
    PumpFor(50);

    HoverOver(inner, 5, 5);
    PumpFor(300);
    CHECK_FALSE(HintShowing());
    REQUIRE(PumpUntil(HintShowing, 2000));
    // The empty hint of the inner panel falls back to the parent's, short part only.
    CHECK(Application->HintWindow()->Caption() == "Pole opisu pliku");
    CHECK(Application->CurrentHint() == "długi opis");
    POINT origin = inner->ClientToScreen(POINT{0, 0});
    CHECK(HintRect().left == origin.x);
    CHECK(HintRect().top == origin.y + inner->Height() + 6);

    // It goes away after its time and does not come back while the mouse stays.
    REQUIRE(PumpUntil([] { return !HintShowing(); }, 4000));
    HoverOver(inner, 6, 6);
    PumpFor(800);
    CHECK_FALSE(HintShowing());

    // Moving on to another hinted control while one is showing takes the short pause.
    HoverOver(other, 5, 5);
    REQUIRE(PumpUntil(HintShowing, 2000));
    CHECK(Application->HintWindow()->Caption() == "Suwak odtwarzania");
    HoverOver(inner, 5, 5);
    const DWORD start = GetTickCount();
    REQUIRE(PumpUntil([] { return HintShowing() && Application->HintWindow()->Caption() == "Pole opisu pliku"; }, 2000));
    CHECK(GetTickCount() - start < 400);

    // A click hides it at once.
    PostMessageA(inner->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(inner->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpFor(30);
    CHECK_FALSE(HintShowing());
}

TEST_CASE("a hint near the screen's edges is moved onto the screen") {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ScopedTestForm form(300, 120);
    form->SetBounds(screenWidth - 150, screenHeight - 100, 300, 120);
    SetForegroundWindow(form->Handle());
    auto* panel = Make<TPanel>(form.Get());
    panel->SetParent(form.Get());
    panel->SetBounds(40, 10, 120, 30);
    panel->SetHint("Licencja z Internetu, bardzo długa podpowiedź przy samej krawędzi ekranu");
    panel->SetShowHint(true);
    PumpFor(50);
    POINT p = panel->ClientToScreen(POINT{5, 5});
    REQUIRE(p.x < screenWidth);
    REQUIRE(p.y < screenHeight);
    HoverOver(panel, 5, 5);
    REQUIRE(PumpUntil(HintShowing, 2000));
    RECT r = HintRect();
    CHECK(r.right <= screenWidth);
    CHECK(r.bottom <= screenHeight);
    CHECK(r.left >= 0);
    CHECK(r.top >= 0);
    Application->CancelHint();
}

TEST_CASE("a key press cancels a showing hint") {
    ScopedTestForm form;
    SetForegroundWindow(form->Handle());
    auto* edit = Make<TEdit>(form.Get());
    edit->SetParent(form.Get());
    edit->SetBounds(10, 10, 100, 21);
    edit->SetHint("Głośność");
    edit->SetShowHint(true);
    PumpFor(50);
    HoverOver(edit, 5, 5);
    REQUIRE(PumpUntil(HintShowing, 2000));
    PostMessageA(edit->Handle(), WM_KEYDOWN, 'A', 0);
    PumpFor(30);
    CHECK_FALSE(HintShowing());
}

namespace {

// A control whose window fails as it is made, as a folder list in a folder that has gone.
class FailingControl : public TWinControl {
public:
    using TWinControl::TWinControl;

protected:
    void CreateWindowHandle(const TCreateParams& params) override {
        TWinControl::CreateWindowHandle(params);
        throw Exception("Folder startowy zniknął");
    }
};

// The program's main window for the close protocol: its OnClose answers what
// it is told. Its start fails twice: in OnCreate and in a control's window.
class MainTestForm : public TForm {
public:
    explicit MainTestForm(TComponent* owner) : TForm(owner) {
        SetBounds(200, 200, 300, 200);
        OnClose.Bind<&MainTestForm::FormClose>(this);
        OnCreate.Bind<&MainTestForm::FormCreate>(this);
        Make<FailingControl>(this)->SetParent(this);
        laterSibling = Make<TEdit>(this);
        laterSibling->SetParent(this);
    }
    TEdit* laterSibling;
    TCloseAction answer = TCloseAction::caNone;
    int closes = 0;
    bool visibleAfterRefusedClose = false;
    bool createdWithReference = false;

    void FormClose(TObject*, TCloseAction& action) {
        ++closes;
        action = answer;
    }
    void FormCreate(TObject*);
    void WndProc(TMessage& m) override;
};

MainTestForm* MainTest = nullptr;
constexpr UINT kCheckAndCloseAgain = CM_FIRST_FREE + 1;

void MainTestForm::FormCreate(TObject*) {
    createdWithReference = MainTest == this;
    throw Exception("Start przerwany");
}

void MainTestForm::WndProc(TMessage& m) {
    if (m.Msg == kCheckAndCloseAgain) {
        visibleAfterRefusedClose = IsWindowVisible(Handle()) != 0;
        answer = TCloseAction::caFree;
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
        return;
    }
    TForm::WndProc(m);
}

}  // namespace

// Runs last: after it the application has ended its loop.
TEST_CASE("failures while the main window is made are reported and it opens; close: none keeps it, free ends") {
    {
        BoxAnswerer ok;
        Application->CreateForm(MainTest);
        REQUIRE(ok.Seen().size() == 2);
        CHECK(ok.Seen()[0].text == "Start przerwany.");
        CHECK(ok.Seen()[1].text == "Folder startowy zniknął.");
        CHECK(ok.Seen()[1].caption == Application->Title());
    }
    REQUIRE(MainTest != nullptr);
    CHECK(MainTest->createdWithReference);
    CHECK(Application->MainForm() == MainTest);
    CHECK(MainTest->HandleAllocated());
    CHECK(MainTest->laterSibling->HandleAllocated());
    CHECK_FALSE(IsWindowVisible(MainTest->Handle()));

    PostMessageA(MainTest->Handle(), WM_CLOSE, 0, 0);
    PostMessageA(MainTest->Handle(), kCheckAndCloseAgain, 0, 0);
    Application->Run();

    CHECK(Application->Terminated());
    CHECK_FALSE(Application->Running());
    CHECK(MainTest->closes == 2);
    CHECK(MainTest->visibleAfterRefusedClose);
}
