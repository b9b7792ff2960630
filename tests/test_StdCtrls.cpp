#include <doctest.h>

#include <windows.h>

#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {
struct Counter {
    int clicks = 0, doubleClicks = 0, changes = 0;
    void Click(TObject*) { ++clicks; }
    void DblClick(TObject*) { ++doubleClicks; }
    void Change(TObject*) { ++changes; }
};

template <typename T>
T* Place(TWinControl* parent, int left, int top, int width, int height) {
    auto* control = Make<T>(parent->Owner() ? parent->Owner() : parent);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

void ClickAt(HWND window, int x, int y, bool twice = false) {
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    if (twice) {
        PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    PumpFor(50);
}
}  // namespace

TEST_CASE("a list box holds its items in the window, sorted on request, and refuses bad indexes") {
    ScopedTestForm form;
    auto* list = Place<TListBox>(form.Get(), 10, 10, 150, 120);
    list->SetSorted(true);
    CHECK(list->Items().Add("c.mp3") == 0);
    CHECK(list->Items().Add("A.MP3") == 0);
    CHECK(list->Items().Add("b.mp3") == 1);
    CHECK(list->Items().ToVector() == std::vector<std::string>{"A.MP3", "b.mp3", "c.mp3"});
    CHECK(SendMessageA(list->Handle(), LB_GETCOUNT, 0, 0) == 3);
    CHECK_THROWS_WITH_AS(list->Items().Get(3), "List index out of bounds", EListError);
    CHECK_THROWS_WITH_AS(list->Items().Get(-1), "List index out of bounds", EListError);

    TObject marker;
    list->Items().PutObject(1, &marker);
    CHECK(list->Items().GetObject(1) == &marker);

    // Items survive a rebuild of the window.
    list->SetItemIndex(2);
    list->RecreateWnd();
    CHECK(list->Items().Count() == 3);
    CHECK(list->Items().GetObject(1) == &marker);
    CHECK(list->ItemIndex() == 2);
}

TEST_CASE("a list box reports the user's clicks and double clicks, not the program's selection") {
    ScopedTestForm form;
    auto* list = Place<TListBox>(form.Get(), 10, 10, 150, 120);
    for (const char* name : {"jeden", "dwa", "trzy"}) list->Items().Add(name);
    Counter counter;
    list->OnClick.Bind<&Counter::Click>(&counter);
    list->OnDblClick.Bind<&Counter::DblClick>(&counter);

    list->SetItemIndex(1);
    PumpFor(20);
    CHECK(counter.clicks == 0);

    RECT item = list->ItemRect(2);
    ClickAt(list->Handle(), item.left + 5, item.top + 2);
    CHECK(list->ItemIndex() == 2);
    CHECK(counter.clicks == 1);
    ClickAt(list->Handle(), item.left + 5, item.top + 2, true);
    CHECK(counter.doubleClicks == 1);
}

TEST_CASE("a combo box switched to sorted rebuilds its list in alphabetical order") {
    ScopedTestForm form;
    auto* combo = Place<TComboBox>(form.Get(), 10, 10, 120, 21);
    for (const char* name : {"Rock", "Blues", "pop", "Jazz"}) combo->Items().Add(name);
    combo->SetText("Rock");
    CHECK(combo->Items().ToVector() == std::vector<std::string>{"Rock", "Blues", "pop", "Jazz"});
    combo->SetSorted(true);
    CHECK(combo->Items().ToVector() == std::vector<std::string>{"Blues", "Jazz", "pop", "Rock"});
    CHECK(combo->Text() == "Rock");
    combo->SetText("Ambient");
    CHECK(combo->Text() == "Ambient");
    CHECK(combo->ItemIndex() == -1);
}

TEST_CASE("a hidden group box makes its controls' windows when first shown, stacked in placement order") {
    ScopedTestForm form;
    auto* group = Place<TGroupBox>(form.Get(), 10, 10, 200, 120);
    group->Hide();
    auto* edit = Place<TEdit>(group, 10, 20, 80, 21);
    auto* combo = Place<TComboBox>(group, 10, 50, 80, 21);
    combo->SetSorted(true);
    combo->AddItems({"Rock", "Blues", "pop"});
    combo->SetText("Jazz");
    edit->SetText("Tytuł");
    CHECK(FindWindowExA(group->Handle(), nullptr, nullptr, nullptr) == nullptr);
    CHECK(combo->Items().ToVector() == std::vector<std::string>{"Blues", "pop", "Rock"});  // asked before shown
    group->Show();
    CHECK(WindowText(edit->Handle()) == "Tytuł");
    CHECK(combo->Text() == "Jazz");
    CHECK(GetWindow(group->Handle(), GW_CHILD) == combo->Handle());
    CHECK(GetWindow(combo->Handle(), GW_HWNDNEXT) == edit->Handle());
}

TEST_CASE("an edit reports changes of its text and keeps Polish letters") {
    ScopedTestForm form;
    auto* edit = Place<TEdit>(form.Get(), 10, 10, 150, 21);
    Counter counter;
    edit->OnChange.Bind<&Counter::Change>(&counter);
    edit->SetText("Tytuł");
    CHECK(counter.changes == 1);
    CHECK(WindowText(edit->Handle()) == "Tytuł");
    edit->SetText("Tytuł");
    CHECK(counter.changes == 1);
    edit->SetReadOnly(true);
    CHECK((GetWindowLongPtrA(edit->Handle(), GWL_STYLE) & ES_READONLY) != 0);
}

TEST_CASE("Tab moves the focus in tab order, skipping hidden and non-stop controls") {
    ScopedTestForm form;
    SetForegroundWindow(form->Handle());
    auto* first = Place<TEdit>(form.Get(), 10, 10, 80, 21);
    auto* second = Place<TEdit>(form.Get(), 10, 40, 80, 21);
    auto* third = Place<TEdit>(form.Get(), 10, 70, 80, 21);
    third->SetTabOrder(0);  // order now: third, first, second
    second->SetTabStop(false);
    PumpFor(20);
    third->SetFocus();
    PumpFor(20);
    REQUIRE(third->Focused());
    PostMessageA(third->Handle(), WM_KEYDOWN, VK_TAB, 0);
    PumpFor(30);
    CHECK(first->Focused());
    PostMessageA(first->Handle(), WM_KEYDOWN, VK_TAB, 0);
    PumpFor(30);
    CHECK(third->Focused());
    first->Hide();
    PostMessageA(third->Handle(), WM_KEYDOWN, VK_TAB, 0);
    PumpFor(30);
    CHECK(third->Focused());
}

TEST_CASE("Enter presses the default button and Escape the cancel button; Alt with the letter its accelerator") {
    ScopedTestForm form;
    SetForegroundWindow(form->Handle());
    auto* edit = Place<TEdit>(form.Get(), 10, 10, 80, 21);
    auto* ok = Place<TButton>(form.Get(), 10, 40, 75, 25);
    auto* cancel = Place<TButton>(form.Get(), 100, 40, 75, 25);
    auto* yes = Place<TButton>(form.Get(), 190, 40, 75, 25);
    ok->SetText("OK");
    ok->SetDefault(true);
    cancel->SetText("Cancel");
    cancel->SetCancel(true);
    yes->SetText("&Yes");
    Counter okCount, cancelCount, yesCount;
    ok->OnClick.Bind<&Counter::Click>(&okCount);
    cancel->OnClick.Bind<&Counter::Click>(&cancelCount);
    yes->OnClick.Bind<&Counter::Click>(&yesCount);
    edit->SetFocus();
    PumpFor(20);

    PostMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(30);
    CHECK(okCount.clicks == 1);
    PostMessageA(edit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpFor(30);
    CHECK(cancelCount.clicks == 1);
    PostMessageA(edit->Handle(), WM_SYSCHAR, 'y', 1 << 29);
    PumpFor(30);
    CHECK(yesCount.clicks == 1);
    CHECK(okCount.clicks == 1);
}

TEST_CASE("windowless controls are painted by their parent: label colours and shape outline") {
    ScopedTestForm form(300, 200);
    auto* label = Make<TLabel>(form.Get());
    label->SetParent(form.Get());
    label->SetBounds(8, 8, 120, 18);
    label->SetColor(clWhite);
    label->SetCaption("D:\\mp3");
    auto* shape = Make<TShape>(form.Get());
    shape->SetParent(form.Get());
    shape->SetBounds(20, 100, 49, 9);
    shape->Brush().SetColor(clSilver);
    SetForegroundWindow(form->Handle());
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(100);
    CHECK(ScreenPixel(form->Handle(), 125, 15) == RGB(255, 255, 255));
    CHECK(ScreenPixel(form->Handle(), 20, 100) == RGB(0, 0, 0));
    CHECK(ScreenPixel(form->Handle(), 68, 108) == RGB(0, 0, 0));
    CHECK(ScreenPixel(form->Handle(), 40, 104) == RGB(192, 192, 192));
    CHECK(ScreenPixel(form->Handle(), 40, 112) == GetSysColor(COLOR_BTNFACE));
}

TEST_CASE("a click on a windowless control raises its OnClick only when released over it") {
    ScopedTestForm form;
    auto* label = Make<TLabel>(form.Get());
    label->SetParent(form.Get());
    label->SetBounds(10, 10, 100, 20);
    Counter counter;
    label->OnClick.Bind<&Counter::Click>(&counter);
    ClickAt(form->Handle(), 20, 15);
    CHECK(counter.clicks == 1);
    PostMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
    PostMessageA(form->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 150));
    PostMessageA(form->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
    PumpFor(50);
    CHECK(counter.clicks == 1);
}

TEST_CASE("labels, group boxes, owner-drawn lists, buttons, edits and combo boxes paint alike every time and leave no GDI object") {
    ScopedTestForm form(300, 200);
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{0, 0, 280, 130}, [&] {
        auto* label = Place<TLabel>(form.Get(), 8, 8, 120, 18);
        label->SetColor(clWhite);  // the path label: white also after the first paint
        auto* group = Place<TGroupBox>(form.Get(), 8, 30, 120, 60);
        group->SetCaption("Opis utworu");
        auto* list = Place<TListBox>(form.Get(), 140, 8, 100, 80);
        list->SetStyle(TListBoxStyle::lbOwnerDrawFixed);
        list->Items().Add("Lato");
        list->SetItemIndex(0);
        return std::vector<TControl*>{label, group, list, Place<TButton>(form.Get(), 8, 100, 75, 25),
                                      Place<TEdit>(form.Get(), 100, 100, 80, 21), Place<TComboBox>(form.Get(), 190, 100, 80, 21)};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
