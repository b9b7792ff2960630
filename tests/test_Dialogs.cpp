#include <doctest.h>

#include <windows.h>

#include <functional>
#include <optional>
#include <stdexcept>

#include "Dialogs.h"
#include "ExtCtrls.h"
#include "WineGui.h"

namespace {

// Acts on the next message dialog of this thread, once, after it has been up for delayMs.
class DialogActor {
public:
    DialogActor(std::function<void(HWND)> act, int delayMs = 0) : act_(std::move(act)), delayMs_(delayMs) {
        active_ = this;
        timer_ = SetTimer(nullptr, 0, 20, &DialogActor::Tick);
    }
    ~DialogActor() {
        KillTimer(nullptr, timer_);
        active_ = nullptr;
    }
    bool Acted() const { return acted_; }
    HWND Dialog() const { return dialog_; }
    bool OwnerWasDisabled() const { return ownerWasDisabled_; }

    HWND watch = nullptr;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (active_) active_->Check();
    }
    void Check() {
        if (acted_) return;
        HWND dialog = FindThreadDialog();
        if (!dialog) return;
        if (!seenAt_) seenAt_ = GetTickCount();
        if (int(GetTickCount() - seenAt_) < delayMs_) return;
        acted_ = true;
        dialog_ = dialog;
        ownerWasDisabled_ = watch && !IsWindowEnabled(watch);
        act_(dialog);
    }

    static inline DialogActor* active_ = nullptr;
    std::function<void(HWND)> act_;
    int delayMs_;
    UINT_PTR timer_;
    DWORD seenAt_ = 0;
    bool acted_ = false;
    bool ownerWasDisabled_ = false;
    HWND dialog_ = nullptr;
};

// A form whose handling of the mouse coming onto it raises.
class RaisingForm : public TestForm {
public:
    using TestForm::TestForm;
    void WndProc(TMessage& message) override {
        if (message.Msg == CM_MOUSEENTER) throw std::runtime_error("50%s zrobione");
        TestForm::WndProc(message);
    }
};

// Ends a form's modal loop with mrAbort should it still run after ms: a
// case waiting for something that never comes then fails instead of hanging.
class ModalGuard {
public:
    ModalGuard(TForm* form, int ms) {
        form_ = form;
        fired_ = false;
        timer_ = SetTimer(nullptr, 0, UINT(ms), &ModalGuard::Fire);
    }
    ~ModalGuard() {
        KillTimer(nullptr, timer_);
        form_ = nullptr;
    }
    ModalGuard(const ModalGuard&) = delete;
    ModalGuard& operator=(const ModalGuard&) = delete;
    bool Fired() const { return fired_; }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        if (!form_) return;
        fired_ = true;
        form_->SetModalResult(mrAbort);
    }
    static inline TForm* form_ = nullptr;
    static inline bool fired_ = false;
    UINT_PTR timer_;
};

struct TickCounter {
    int ticks = 0;
    void Tick(TObject*) { ++ticks; }
};

SIZE AverageSize(TFont& font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font.Handle());
    SIZE size{};
    GetTextExtentPoint32A(screen, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return SIZE{size.cx / 52, size.cy};
}

TControl* Part(TForm* form, const char* name) {
    return dynamic_cast<TControl*>(form->FindComponent(name));
}

}  // namespace

TEST_CASE("a notice shows its text under the application's title while the main window is disabled") {
    Application->SetTitle("Brumik");
    ScopedTestForm form;
    SetForegroundWindow(form->Handle());
    PumpFor(30);
    BoxAnswerer answerer(IDOK, form->Handle());
    ShowMessage("Nowy opis utworu zapisano w pliku!");
    REQUIRE(answerer.Seen().size() == 1);
    CHECK(answerer.Seen()[0].caption == "Brumik");
    CHECK(answerer.Seen()[0].text == "Nowy opis utworu zapisano w pliku!");
    CHECK(answerer.Seen()[0].mainWindowDisabled);
    CHECK(IsWindowEnabled(form->Handle()));
    CHECK(GetActiveWindow() == form->Handle());
    CHECK(FindThreadDialog() == nullptr);

    // A window that took the focus while the notice was up keeps it.
    std::optional<ScopedTestForm> other;
    DialogActor actor([&](HWND dialog) {
        SendMessageA(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
        other.emplace(200, 150);
        SetActiveWindow(other->Get()->Handle());
    });
    ShowMessage("Drugi komunikat");
    REQUIRE(actor.Acted());
    CHECK(GetActiveWindow() == other->Get()->Handle());
    CHECK(IsWindowEnabled(form->Handle()));
}

TEST_CASE("an exception inside the modal loop is reported and the form stays open") {
    auto* form = Make<RaisingForm>(Application);
    form->SetBounds(200, 200, 300, 200);
    SetCursorPos(350, 300);  // the form appears under the mouse
    std::string report;
    DialogActor actor([&](HWND box) {
        report = DialogText(box);
        SendMessageA(DialogButton(box, IDOK), BM_CLICK, 0, 0);
        PostMessageA(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // and then the user closes the form
    });
    const ModalGuard guard(form, 10000);
    CHECK(form->ShowModal() == mrCancel);
    CHECK_FALSE(guard.Fired());
    CHECK(report == "Exception std::runtime_error in module test_dialogs at 00000000.\n50%s zrobione");
    Application->DestroyComponent(form);
}

TEST_CASE("the dialog's layout follows the font's average character size") {
    TMessageForm* dialog = CreateMessageDialog("", TMsgDlgType::mtCustom, mbOK);
    const SIZE average = AverageSize(dialog->Font());
    const int hMargin = MulDiv(8, average.cx, 4), vMargin = MulDiv(8, average.cy, 8);
    const int buttonWidth = MulDiv(50, average.cx, 4), buttonHeight = MulDiv(14, average.cy, 8);
    // An empty text leaves a dialog as wide as one button and two margins.
    CHECK(dialog->ClientWidth() == buttonWidth + 2 * hMargin);
    auto* ok = dynamic_cast<TButton*>(Part(dialog, "OK"));
    REQUIRE(ok != nullptr);
    CHECK(ok->Caption() == "OK");
    CHECK(ok->ModalResult() == mrOk);
    CHECK(ok->Default());
    CHECK(ok->Cancel());
    CHECK(ok->Width() == buttonWidth);
    CHECK(ok->Height() == buttonHeight);
    CHECK(ok->Left() == hMargin);
    CHECK(Part(dialog, "Image") == nullptr);
    CHECK(dialog->Caption() == Application->Title());
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    CHECK(dialog->Left() == screenWidth / 2 - dialog->Width() / 2);
    Application->DestroyComponent(dialog);

    dialog = CreateMessageDialog("Wskazany plik mp3: \r\nC:\\a.mp3", TMsgDlgType::mtCustom, mbOK);
    TControl* message = Part(dialog, "Message");
    CHECK(message->Height() == 2 * average.cy);
    CHECK(message->Left() == hMargin);
    CHECK(message->Top() == vMargin);
    Application->DestroyComponent(dialog);

    std::string longLine;
    for (int i = 0; i < 60; ++i) longLine += "słowo ";
    dialog = CreateMessageDialog(longLine, TMsgDlgType::mtCustom, mbOK);
    message = Part(dialog, "Message");
    CHECK(message->Width() <= screenWidth / 2);
    CHECK(message->Width() > screenWidth / 4);
    CHECK(message->Height() >= 2 * average.cy);
    Application->DestroyComponent(dialog);
}

TEST_CASE("a confirmation dialog has its icon, caption and buttons in order") {
    TMessageForm* dialog = CreateMessageDialog("Tak czy nie?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp);
    CHECK(dialog->Caption() == "Confirm");
    TControl* image = Part(dialog, "Image");
    REQUIRE(image != nullptr);
    CHECK(image->Width() == 32);
    auto* yes = dynamic_cast<TButton*>(Part(dialog, "Yes"));
    auto* no = dynamic_cast<TButton*>(Part(dialog, "No"));
    auto* help = dynamic_cast<TButton*>(Part(dialog, "Help"));
    REQUIRE(yes);
    REQUIRE(no);
    REQUIRE(help);
    CHECK(yes->Caption() == "&Yes");
    CHECK(yes->Default());
    CHECK(no->Cancel());
    CHECK(yes->Left() < no->Left());
    CHECK(no->Left() < help->Left());
    CHECK(no->ModalResult() == mrNo);
    Application->DestroyComponent(dialog);
}

TEST_CASE("each way of answering ends the dialog with its result") {
    auto showAndAct = [](std::function<void(HWND)> act) {
        TMessageForm* dialog = CreateMessageDialog("Uwaga", TMsgDlgType::mtCustom, mbOK);
        DialogActor actor(std::move(act));
        int result = dialog->ShowModal();
        CHECK(actor.Acted());
        Application->DestroyComponent(dialog);
        return result;
    };
    auto key = [](WPARAM vk) {
        return [vk](HWND) {
            PostMessageA(GetFocus(), WM_KEYDOWN, vk, 0);
            PostMessageA(GetFocus(), WM_KEYUP, vk, 0xC0000000);
        };
    };
    CHECK(showAndAct(key(VK_RETURN)) == mrOk);
    CHECK(showAndAct(key(VK_ESCAPE)) == mrOk);
    CHECK(showAndAct(key(VK_SPACE)) == mrOk);
    CHECK(showAndAct([](HWND dialog) { SendMessageA(DialogButton(dialog, IDOK), BM_CLICK, 0, 0); }) == mrOk);
    CHECK(showAndAct([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }) == mrCancel);
}

TEST_CASE("a visible form cannot be shown modally") {
    ScopedTestForm form;
    CHECK_THROWS_WITH_AS(form->ShowModal(), "Cannot make a visible window modal", EInvalidOperation);
}

TEST_CASE("timers keep ticking while a box is open") {
    ScopedTestForm form;
    auto* timer = Make<TTimer>(form.Get());
    timer->SetInterval(50);
    TickCounter counter;
    timer->BindOnTimer<&TickCounter::Tick>(&counter);
    int ticksWhenAnswered = -1;
    DialogActor actor(
        [&](HWND dialog) {
            ticksWhenAnswered = counter.ticks;
            SendMessageA(DialogButton(dialog, IDOK), BM_CLICK, 0, 0);
        },
        400);
    actor.watch = form->Handle();
    ShowMessage("Czekam");
    CHECK(actor.Acted());
    CHECK(actor.OwnerWasDisabled());
    CHECK(ticksWhenAnswered >= 4);

    counter.ticks = 0;
    DialogActor boxActor(
        [&](HWND dialog) {
            ticksWhenAnswered = counter.ticks;
            SendMessageA(DialogButton(dialog, IDYES), BM_CLICK, 0, 0);
        },
        400);
    CHECK(Application->MessageBox("Koniec programu Brumik?", "Brumik: Potwierdzenie operacji", 36) == IDYES);
    CHECK(ticksWhenAnswered >= 4);
}
