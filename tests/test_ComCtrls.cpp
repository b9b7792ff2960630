// The slider and the status bar on a real form, checked through what their
// native windows hold and what they send.
#include <doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "runtime/SysUtils.h"
#include "WineGui.h"

namespace {

// Records the messages of the given kinds sent to one window, through a
// thread hook, so a test sees exactly what a control sent to its native window.
class SentMessages {
public:
    struct Sent {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };

    SentMessages(HWND window, std::initializer_list<UINT> kinds) : window_(window), kinds_(kinds) {
        active_ = this;
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, &Hook, nullptr, GetCurrentThreadId());
    }
    ~SentMessages() {
        UnhookWindowsHookEx(hook_);
        active_ = nullptr;
    }
    SentMessages(const SentMessages&) = delete;
    SentMessages& operator=(const SentMessages&) = delete;

    int Count(UINT msg) const {
        int n = 0;
        for (const Sent& s : seen_) n += s.msg == msg;
        return n;
    }
    std::vector<Sent> Of(UINT msg) const {
        std::vector<Sent> found;
        for (const Sent& s : seen_)
            if (s.msg == msg) found.push_back(s);
        return found;
    }
    void Forget() { seen_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        try {
            const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && active_ && call->hwnd == active_->window_)
                for (UINT kind : active_->kinds_)
                    if (call->message == kind) active_->seen_.push_back({call->message, call->wParam, call->lParam});
        } catch (...) {
            ReportException(nullptr);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline SentMessages* active_ = nullptr;
    HWND window_;
    std::vector<UINT> kinds_;
    HHOOK hook_;
    std::vector<Sent> seen_;
};

// ---- the slider

int NativeValue(TTrackBar* bar, UINT msg) { return int(SendMessageA(bar->Handle(), msg, 0, 0)); }
int NativePosition(TTrackBar* bar) { return NativeValue(bar, TBM_GETPOS); }
LONG_PTR StyleOf(TWinControl* control) { return GetWindowLongPtrA(control->Handle(), GWL_STYLE); }

// Counts OnChange and notes the position each call saw.
struct ChangeRecorder {
    TTrackBar* bar;
    int changes = 0;
    std::vector<int> positionsSeen;
    std::vector<int> nativeSeen;
    std::string failWith;

    void Changed(TObject* sender) {
        CHECK(sender == bar);
        ++changes;
        positionsSeen.push_back(bar->Position());
        nativeSeen.push_back(NativePosition(bar));
        if (!failWith.empty()) throw Exception(failWith);
    }
};

TTrackBar* PlaceTrackBar(TWinControl* form, ChangeRecorder& recorder) {
    auto* bar = Make<TTrackBar>(form);
    bar->SetBounds(10, 10, 300, 40);
    bar->SetParent(form);
    recorder.bar = bar;
    bar->OnChange.Bind<&ChangeRecorder::Changed>(&recorder);
    return bar;
}

void PostKey(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, LPARAM(0xC0000001u));
}

// What the program's one-second timer does to the slider, a few times faster.
struct PositionTicker {
    TTrackBar* bar;
    int ticks = 0;
};
PositionTicker* gTicker = nullptr;

void CALLBACK AdvanceSlider(HWND, UINT, UINT_PTR, DWORD) {
    try {
        gTicker->bar->SetPosition(gTicker->bar->Position() + 1);
        ++gTicker->ticks;
    } catch (...) {
        ReportException(nullptr);
    }
}

// ---- the status bar

std::string NativeText(TStatusBar* bar, int part) {
    const auto length = LOWORD(SendMessageW(bar->Handle(), SB_GETTEXTLENGTHW, WPARAM(part), 0));
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(bar->Handle(), SB_GETTEXTW, WPARAM(part), LPARAM(text.data()));
    text.resize(length);
    return ToUtf8(text);
}

// Wine never answers SB_GETTEXT for the simple part's own index 255; while
// the bar is simple, every part index reads the simple text instead.
std::string ShownSimpleText(TStatusBar* bar) {
    REQUIRE(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0) != FALSE);
    return NativeText(bar, 0);
}

WORD NativeDrawFlags(TStatusBar* bar, int part) {
    return HIWORD(SendMessageW(bar->Handle(), SB_GETTEXTLENGTHW, WPARAM(part), 0));
}

std::vector<int> NativeEdges(TStatusBar* bar) {
    const int count = int(SendMessageA(bar->Handle(), SB_GETPARTS, 0, 0));
    std::vector<int> edges(static_cast<size_t>(count));
    SendMessageA(bar->Handle(), SB_GETPARTS, WPARAM(count), LPARAM(edges.data()));
    return edges;
}

RECT NativePartRect(TStatusBar* bar, int part) {
    RECT r{};
    SendMessageA(bar->Handle(), SB_GETRECT, WPARAM(part), LPARAM(&r));
    return r;
}

// A bar laid out like the player's: three centred panels of 120 pixels.
TStatusBar* PlacePlayerBar(TWinControl* form) {
    auto* bar = Make<TStatusBar>(form);
    bar->SetSizeGrip(false);
    for (const char* text : {"Nr pliku", "Czas", "Stan"}) {
        TStatusPanel* panel = bar->Panels().Add();
        panel->SetText(text);
        panel->SetWidth(120);
        panel->SetAlignment(TAlignment::taCenter);
    }
    bar->SetParent(form);
    return bar;
}

struct PanelPainter {
    std::vector<int> panelsPainted;
    std::vector<RECT> rects;
    void Draw(TStatusBar* bar, TStatusPanel* panel, const RECT& rect) {
        panelsPainted.push_back(panel->Index());
        rects.push_back(rect);
        bar->Canvas().Brush().SetColor(clRed);
        bar->Canvas().FillRect(rect);
    }
};

struct ResizeCounter {
    int resizes = 0;
    void Resized(TObject*) { ++resizes; }
};

}  // namespace

TEST_CASE("slider: defaults and a native window built from the stored values") {
    ScopedTestForm form;
    auto* bar = Make<TTrackBar>(form.Get());
    CHECK(bar->Width() == 150);
    CHECK(bar->Height() == 45);
    CHECK(bar->TabStop());
    CHECK(bar->Min() == 0);
    CHECK(bar->Max() == 10);
    CHECK(bar->Position() == 0);
    CHECK(bar->LineSize() == 1);
    CHECK(bar->PageSize() == 2);
    CHECK(bar->Frequency() == 1);
    CHECK(bar->TickStyle() == TTickStyle::tsAuto);
    CHECK(bar->TickMarks() == TTickMark::tmBottomRight);
    CHECK(bar->Orientation() == TTrackBarOrientation::trHorizontal);

    // Set while the slider has no window yet, as the layout does.
    bar->SetMax(100);
    bar->SetPosition(40);
    bar->SetMin(5);
    bar->SetLineSize(3);
    bar->SetPageSize(10);
    bar->SetSelStart(20);
    bar->SetSelEnd(60);
    bar->SetTickStyle(TTickStyle::tsNone);
    CHECK_FALSE(bar->HandleAllocated());
    bar->SetParent(form.Get());

    REQUIRE(bar->HandleAllocated());
    char className[64] = {};
    GetClassNameA(bar->Handle(), className, sizeof className);
    CHECK(std::string(className) == "TTrackBar");
    CHECK(NativeValue(bar, TBM_GETRANGEMIN) == 5);
    CHECK(NativeValue(bar, TBM_GETRANGEMAX) == 100);
    CHECK(NativePosition(bar) == 40);
    CHECK(NativeValue(bar, TBM_GETLINESIZE) == 3);
    CHECK(NativeValue(bar, TBM_GETPAGESIZE) == 10);
    CHECK(NativeValue(bar, TBM_GETSELSTART) == 20);
    CHECK(NativeValue(bar, TBM_GETSELEND) == 60);
    const LONG_PTR style = StyleOf(bar);
    CHECK((style & TBS_NOTICKS) != 0);
    CHECK((style & TBS_ENABLESELRANGE) != 0);
    CHECK((style & TBS_VERT) == 0);
    CHECK((style & WS_TABSTOP) != 0);
}

TEST_CASE("slider: values set by the program never raise OnChange") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    SentMessages toForm(form->Handle(), {WM_HSCROLL});

    SUBCASE("a timer moving the thumb") {
        PositionTicker ticker{bar};
        gTicker = &ticker;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &AdvanceSlider);
        const bool ticked = PumpUntil([&] { return ticker.ticks >= 5; });
        KillTimer(nullptr, timer);
        gTicker = nullptr;
        REQUIRE(ticked);
        CHECK(bar->Position() == ticker.ticks);
        CHECK(NativePosition(bar) == ticker.ticks);
    }
    SUBCASE("every setter") {
        bar->SetPosition(50);
        bar->SetMin(10);
        bar->SetMax(40);
        bar->SetLineSize(4);
        bar->SetPageSize(8);
        bar->SetFrequency(5);
        bar->SetSelStart(12);
        bar->SetSelEnd(30);
        PumpFor(50);
        CHECK(NativePosition(bar) == 40);
    }
    CHECK(recorder.changes == 0);
    CHECK(toForm.Count(WM_HSCROLL) == 0);
}

TEST_CASE("slider: the user's keys raise OnChange once per notification") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    bar->SetPageSize(10);
    bar->SetFocus();
    SentMessages toForm(form->Handle(), {WM_HSCROLL});

    SUBCASE("arrow right moves by the line size") {
        PostKey(bar->Handle(), VK_RIGHT);
        REQUIRE(PumpUntil([&] { return toForm.Count(WM_HSCROLL) >= 2; }));
        PumpFor(50);
        CHECK(bar->Position() == 1);
    }
    SUBCASE("page down moves by the page size") {
        PostKey(bar->Handle(), VK_NEXT);
        REQUIRE(PumpUntil([&] { return toForm.Count(WM_HSCROLL) >= 2; }));
        PumpFor(50);
        CHECK(bar->Position() == 10);
    }
    SUBCASE("end goes to the maximum") {
        PostKey(bar->Handle(), VK_END);
        REQUIRE(PumpUntil([&] { return toForm.Count(WM_HSCROLL) >= 2; }));
        PumpFor(50);
        CHECK(bar->Position() == 100);
    }
    CHECK(recorder.changes == toForm.Count(WM_HSCROLL));
    CHECK(bar->Position() == NativePosition(bar));
    // Each call already saw the position the native slider had then.
    CHECK(recorder.positionsSeen == recorder.nativeSeen);
}

TEST_CASE("slider: dragging the thumb raises OnChange at every step") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    SentMessages toForm(form->Handle(), {WM_HSCROLL});

    RECT thumb{};
    SendMessageA(bar->Handle(), TBM_GETTHUMBRECT, 0, LPARAM(&thumb));
    const int y = (thumb.top + thumb.bottom) / 2;
    int x = (thumb.left + thumb.right) / 2;
    PostMessageA(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    for (int step = 0; step < 5; ++step) {
        x += 30;
        PostMessageA(bar->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    }
    PostMessageA(bar->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PumpFor(200);

    CHECK(toForm.Count(WM_HSCROLL) > 2);
    CHECK(recorder.changes == toForm.Count(WM_HSCROLL));
    CHECK(bar->Position() > 0);
    CHECK(bar->Position() == NativePosition(bar));
    CHECK(recorder.positionsSeen == recorder.nativeSeen);
}

TEST_CASE("slider: the range keeps the position inside it") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    bar->SetPosition(70);

    SUBCASE("a maximum below the position pulls the position down") {
        bar->SetMax(30);
        CHECK(bar->Position() == 30);
        CHECK(NativePosition(bar) == 30);
        CHECK(NativeValue(bar, TBM_GETRANGEMAX) == 30);
    }
    SUBCASE("a position below the minimum stores the minimum") {
        bar->SetPosition(-5);
        CHECK(bar->Position() == 0);
        CHECK(NativePosition(bar) == 0);
    }
    SUBCASE("a position above the maximum stores the maximum") {
        bar->SetPosition(250);
        CHECK(bar->Position() == 100);
        CHECK(NativePosition(bar) == 100);
    }
    SUBCASE("a maximum below the minimum fails and changes nothing") {
        bar->SetMin(20);
        CHECK_THROWS_WITH_AS(bar->SetMax(bar->Min() - 1), "TTrackBar property out of range", EInvalidOperation);
        CHECK_THROWS_WITH_AS(bar->SetMin(101), "TTrackBar property out of range", EInvalidOperation);
        CHECK(bar->Min() == 20);
        CHECK(bar->Max() == 100);
        CHECK(bar->Position() == 70);
        CHECK(NativeValue(bar, TBM_GETRANGEMIN) == 20);
        CHECK(NativeValue(bar, TBM_GETRANGEMAX) == 100);
        CHECK(NativePosition(bar) == 70);
    }
    CHECK(recorder.changes == 0);
}

TEST_CASE("slider: with maximum 0 the user cannot move the thumb") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetPosition(5);
    bar->SetMax(0);
    CHECK(bar->Position() == 0);
    CHECK(recorder.changes == 0);

    SentMessages toForm(form->Handle(), {WM_HSCROLL});
    PostKey(bar->Handle(), VK_RIGHT);
    PostKey(bar->Handle(), VK_END);
    PumpFor(100);
    CHECK(bar->Position() == 0);
    CHECK(NativePosition(bar) == 0);
    // The native slider still reports the keys, and each report is passed on.
    CHECK(recorder.changes == toForm.Count(WM_HSCROLL));
}

TEST_CASE("slider: a new orientation turns the slider and keeps every value") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetBounds(10, 20, 300, 40);
    bar->SetMax(90);
    bar->SetMin(-10);
    bar->SetPosition(33);
    bar->SetLineSize(7);
    bar->SetPageSize(15);
    bar->SetSelStart(-5);
    bar->SetSelEnd(50);

    bar->SetOrientation(TTrackBarOrientation::trVertical);

    CHECK(bar->Left() == 10);
    CHECK(bar->Top() == 20);
    CHECK(bar->Width() == 40);
    CHECK(bar->Height() == 300);
    RECT r{};
    GetWindowRect(bar->Handle(), &r);
    CHECK(r.right - r.left == 40);
    CHECK(r.bottom - r.top == 300);
    CHECK((StyleOf(bar) & TBS_VERT) != 0);
    CHECK(NativeValue(bar, TBM_GETRANGEMIN) == -10);
    CHECK(NativeValue(bar, TBM_GETRANGEMAX) == 90);
    CHECK(NativePosition(bar) == 33);
    CHECK(NativeValue(bar, TBM_GETLINESIZE) == 7);
    CHECK(NativeValue(bar, TBM_GETPAGESIZE) == 15);
    CHECK(NativeValue(bar, TBM_GETSELSTART) == -5);
    CHECK(NativeValue(bar, TBM_GETSELEND) == 50);
    CHECK(recorder.changes == 0);

    SUBCASE("the user now moves it with the vertical keys") {
        SentMessages toForm(form->Handle(), {WM_VSCROLL});
        PostKey(bar->Handle(), VK_DOWN);
        REQUIRE(PumpUntil([&] { return toForm.Count(WM_VSCROLL) >= 2; }));
        PumpFor(50);
        CHECK(bar->Position() == 40);
        CHECK(recorder.changes == toForm.Count(WM_VSCROLL));
    }
}

TEST_CASE("slider: tick settings rebuild the native window") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    bar->SetPosition(25);

    bar->SetTickMarks(TTickMark::tmBoth);
    CHECK((StyleOf(bar) & TBS_BOTH) != 0);
    bar->SetTickStyle(TTickStyle::tsNone);
    CHECK((StyleOf(bar) & TBS_NOTICKS) != 0);
    CHECK(NativePosition(bar) == 25);
    CHECK(NativeValue(bar, TBM_GETRANGEMAX) == 100);

    SUBCASE("automatic ticks follow the frequency") {
        bar->SetTickStyle(TTickStyle::tsAuto);
        for (int frequency : {10, 25, 50}) {
            bar->SetFrequency(frequency);
            // One tick per step of the frequency, both ends included.
            CHECK(NativeValue(bar, TBM_GETNUMTICS) == 100 / frequency + 1);
        }
    }
}

TEST_CASE("slider: a selection far beyond 16 bits reaches the native slider whole") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100000);
    bar->SetSelStart(70000);
    bar->SetSelEnd(80000);
    CHECK(NativeValue(bar, TBM_GETSELSTART) == 70000);
    CHECK(NativeValue(bar, TBM_GETSELEND) == 80000);

    bar->SetSelStart(0);
    bar->SetSelEnd(0);
    CHECK(NativeValue(bar, TBM_GETSELSTART) == NativeValue(bar, TBM_GETSELEND));
}

TEST_CASE("slider: a failing OnChange is reported and the thumb stays where the user put it") {
    ScopedTestForm form;
    ChangeRecorder recorder;
    recorder.failWith = "Suwak zawiódł";
    TTrackBar* bar = PlaceTrackBar(form.Get(), recorder);
    bar->SetMax(100);
    BoxAnswerer answerer(IDOK);

    PostMessageA(bar->Handle(), WM_KEYDOWN, VK_RIGHT, 1);
    REQUIRE(PumpUntil([&] { return !answerer.Seen().empty(); }));
    PumpFor(100);

    CHECK(answerer.Seen().front().text == "Suwak zawiódł.");
    CHECK(bar->Position() == 1);
    CHECK(NativePosition(bar) == 1);
}

TEST_CASE("status bar: panel texts reach the native bar with their alignment") {
    ScopedTestForm form;
    TStatusBar* bar = PlacePlayerBar(form.Get());

    CHECK(NativeEdges(bar) == std::vector<int>{120, 240, -1});
    CHECK(NativeText(bar, 0) == "\tNr pliku");
    CHECK(NativeText(bar, 1) == "\tCzas");
    CHECK(NativeText(bar, 2) == "\tStan");

    bar->Panels()[1]->SetText("0:03:45");
    CHECK(NativeText(bar, 1) == "\t0:03:45");
    bar->Panels()[1]->SetAlignment(TAlignment::taRightJustify);
    CHECK(NativeText(bar, 1) == "\t\t0:03:45");
    bar->Panels()[1]->SetAlignment(TAlignment::taLeftJustify);
    CHECK(NativeText(bar, 1) == "0:03:45");
    CHECK(NativeText(bar, 0) == "\tNr pliku");
}

TEST_CASE("status bar: what is sent, and only when something changed") {
    ScopedTestForm form;
    TStatusBar* bar = PlacePlayerBar(form.Get());
    SentMessages sent(bar->Handle(), {SB_SETTEXTW, SB_SETPARTS});

    SUBCASE("an unchanged text sends nothing") {
        bar->Panels()[2]->SetText("Stan");
        bar->Panels()[2]->SetAlignment(TAlignment::taCenter);
        bar->Panels()[2]->SetWidth(120);
        CHECK(sent.Count(SB_SETTEXTW) == 0);
        CHECK(sent.Count(SB_SETPARTS) == 0);
    }
    SUBCASE("a new text is sent for its panel alone") {
        bar->Panels()[2]->SetText("0:00:01");
        REQUIRE(sent.Count(SB_SETTEXTW) == 1);
        CHECK(LOBYTE(sent.Of(SB_SETTEXTW)[0].wParam) == 2);
        CHECK(sent.Count(SB_SETPARTS) == 0);
        CHECK(NativeText(bar, 2) == "\t0:00:01");
    }
    SUBCASE("a new width re-divides the bar and re-sends every text") {
        bar->Panels()[0]->SetWidth(80);
        CHECK(sent.Count(SB_SETPARTS) == 1);
        CHECK(sent.Count(SB_SETTEXTW) == 3);
        CHECK(NativeEdges(bar) == std::vector<int>{80, 200, -1});
        CHECK(NativeText(bar, 2) == "\tStan");
    }
    SUBCASE("changes between BeginUpdate and EndUpdate go out once at the end") {
        bar->Panels().BeginUpdate();
        bar->Panels()[0]->SetWidth(60);
        bar->Panels()[1]->SetText("A");
        bar->Panels()[2]->SetBevel(TStatusPanelBevel::pbRaised);
        CHECK(sent.Count(SB_SETPARTS) == 0);
        CHECK(sent.Count(SB_SETTEXTW) == 0);
        bar->Panels().EndUpdate();
        CHECK(sent.Count(SB_SETPARTS) == 1);
        CHECK(NativeEdges(bar) == std::vector<int>{60, 180, -1});
        CHECK(NativeText(bar, 1) == "\tA");
    }
}

TEST_CASE("status bar: the last panel reaches the right end of the bar") {
    ScopedTestForm form(400, 300);
    TStatusBar* bar = PlacePlayerBar(form.Get());
    bar->Panels()[2]->SetWidth(10);
    CHECK(NativeEdges(bar) == std::vector<int>{120, 240, -1});

    auto lastReachesEnd = [&] {
        RECT client{};
        GetClientRect(bar->Handle(), &client);
        const RECT last = NativePartRect(bar, 2);
        CHECK(last.left >= 240);
        CHECK(last.right == client.right);
    };
    lastReachesEnd();
    SUBCASE("also after the bar is made narrower") {
        bar->SetAlign(TAlign::alNone);
        bar->SetBounds(0, 0, 300, 22);
        lastReachesEnd();
    }
    SUBCASE("also after the bar is made wider") {
        bar->SetAlign(TAlign::alNone);
        bar->SetBounds(0, 0, 520, 22);
        lastReachesEnd();
    }
}

TEST_CASE("status bar: a bar without panels shows one empty part") {
    ScopedTestForm form;
    SUBCASE("never had any") {
        auto* bar = Make<TStatusBar>(form.Get());
        bar->SetParent(form.Get());
        CHECK(NativeEdges(bar) == std::vector<int>{-1});
        CHECK(NativeText(bar, 0).empty());
    }
    SUBCASE("all removed") {
        TStatusBar* bar = PlacePlayerBar(form.Get());
        bar->Panels().Delete(0);
        CHECK(NativeEdges(bar) == std::vector<int>{240 - 120, -1});
        CHECK(NativeText(bar, 0) == "\tCzas");
        bar->Panels().Clear();
        CHECK(NativeEdges(bar) == std::vector<int>{-1});
        CHECK(NativeText(bar, 0).empty());
    }
}

TEST_CASE("status bar: settings made before the window exists appear at its creation") {
    ScopedTestForm form;
    auto* bar = Make<TStatusBar>(form.Get());
    TStatusPanel* left = bar->Panels().Add();
    left->SetText("Nr pliku");
    left->SetWidth(90);
    TStatusPanel* right = bar->Panels().Add();
    right->SetText("Stan");
    right->SetAlignment(TAlignment::taRightJustify);
    right->SetBevel(TStatusPanelBevel::pbNone);
    bar->SetSimpleText("Ładowanie");
    CHECK_FALSE(bar->HandleAllocated());

    bar->SetParent(form.Get());

    REQUIRE(bar->HandleAllocated());
    CHECK(NativeEdges(bar) == std::vector<int>{90, -1});
    CHECK(NativeText(bar, 0) == "Nr pliku");
    CHECK(NativeText(bar, 1) == "\t\tStan");
    CHECK((NativeDrawFlags(bar, 1) & SBT_NOBORDERS) != 0);
    CHECK(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0) == FALSE);

    SUBCASE("a simple bar shows its one text") {
        bar->SetSimplePanel(true);
        CHECK(ShownSimpleText(bar) == "Ładowanie");
        bar->SetSimpleText("Gotowe");
        CHECK(ShownSimpleText(bar) == "Gotowe");
        bar->SetSimplePanel(false);
        CHECK(SendMessageA(bar->Handle(), SB_ISSIMPLE, 0, 0) == FALSE);
        CHECK(NativeText(bar, 1) == "\t\tStan");
    }
    SUBCASE("a rebuilt window gets everything again") {
        bar->SetSimplePanel(true);
        CHECK((StyleOf(bar) & SBARS_SIZEGRIP) != 0);
        bar->SetSizeGrip(false);
        CHECK((StyleOf(bar) & SBARS_SIZEGRIP) == 0);
        CHECK((StyleOf(bar) & CCS_TOP) != 0);
        CHECK(ShownSimpleText(bar) == "Ładowanie");
        bar->SetSimplePanel(false);
        CHECK(NativeEdges(bar) == std::vector<int>{90, -1});
        CHECK(NativeText(bar, 1) == "\t\tStan");
    }
}

TEST_CASE("status bar: borders follow each panel's bevel") {
    ScopedTestForm form;
    TStatusBar* bar = PlacePlayerBar(form.Get());
    bar->Panels()[0]->SetBevel(TStatusPanelBevel::pbNone);
    bar->Panels()[1]->SetBevel(TStatusPanelBevel::pbRaised);

    CHECK((NativeDrawFlags(bar, 0) & SBT_NOBORDERS) != 0);
    CHECK((NativeDrawFlags(bar, 1) & SBT_POPOUT) != 0);
    CHECK((NativeDrawFlags(bar, 2) & (SBT_NOBORDERS | SBT_POPOUT)) == 0);
    CHECK(NativeText(bar, 0) == "\tNr pliku");
}

TEST_CASE("status bar: panels past the 128th are kept but never shown") {
    ScopedTestForm form;
    auto* bar = Make<TStatusBar>(form.Get());
    bar->SetParent(form.Get());
    bar->Panels().BeginUpdate();
    for (int i = 0; i < 300; ++i) bar->Panels().Add()->SetWidth(2);
    bar->Panels()[0]->SetText("pierwszy");
    bar->Panels().EndUpdate();
    bar->SetSimpleText("prosty");

    CHECK(bar->Panels().Count() == 300);
    CHECK(NativeEdges(bar).size() == size_t(TStatusBar::MaxShownPanels));
    // Indexes that the native bar would read as its simple text or as part 0 with flags.
    bar->Panels()[255]->SetText("nie 255");
    bar->Panels()[256]->SetText("nie 256");
    bar->Panels()[257]->SetText("nie 257");
    CHECK(NativeText(bar, 0) == "pierwszy");
    CHECK(NativeText(bar, 1).empty());
    CHECK(NativeDrawFlags(bar, 0) == 0);
    CHECK(bar->Panels()[256]->Text() == "nie 256");
    bar->SetSimplePanel(true);
    CHECK(ShownSimpleText(bar) == "prosty");
}

TEST_CASE("status bar: panel list") {
    ScopedTestForm form;
    TStatusBar* bar = PlacePlayerBar(form.Get());

    SUBCASE("an index outside the panels fails") {
        CHECK_THROWS_WITH_AS(bar->Panels()[3], "List index out of bounds", EListError);
        CHECK_THROWS_WITH_AS(bar->Panels()[-1], "List index out of bounds", EListError);
        CHECK_THROWS_WITH_AS(bar->Panels().Delete(3), "List index out of bounds", EListError);
        CHECK(bar->Panels().Count() == 3);
    }
    SUBCASE("indexes follow the order") {
        CHECK(bar->Panels()[2]->Index() == 2);
        bar->Panels().Delete(0);
        CHECK(bar->Panels()[1]->Index() == 1);
        CHECK(bar->Panels()[1]->Text() == "Stan");
    }
    SUBCASE("a panel copies another") {
        TStatusPanel* copy = bar->Panels().Add();
        bar->Panels()[1]->SetBevel(TStatusPanelBevel::pbRaised);
        bar->Panels()[1]->SetStyle(TStatusPanelStyle::psOwnerDraw);
        copy->Assign(*bar->Panels()[1]);
        CHECK(copy->Text() == "Czas");
        CHECK(copy->Width() == 120);
        CHECK(copy->Alignment() == TAlignment::taCenter);
        CHECK(copy->Bevel() == TStatusPanelBevel::pbRaised);
        CHECK(copy->Style() == TStatusPanelStyle::psOwnerDraw);
        CHECK(NativeEdges(bar) == std::vector<int>{120, 240, 360, -1});
    }
    SUBCASE("one bar takes another's panels") {
        auto* other = Make<TStatusBar>(form.Get());
        other->SetParent(form.Get());
        other->SetPanels(bar->Panels());
        REQUIRE(other->Panels().Count() == 3);
        CHECK(&other->Panels()[0]->Collection() == &other->Panels());
        CHECK(NativeEdges(other) == std::vector<int>{120, 240, -1});
        CHECK(NativeText(other, 1) == "\tCzas");
        other->Panels()[1]->SetText("Inny");
        CHECK(bar->Panels()[1]->Text() == "Czas");
    }
}

TEST_CASE("status bar: owner-drawn panels are painted by OnDrawPanel") {
    ScopedTestForm form;
    TStatusBar* bar = PlacePlayerBar(form.Get());
    PanelPainter painter;
    bar->OnDrawPanel.Bind<&PanelPainter::Draw>(&painter);
    bar->Panels()[1]->SetStyle(TStatusPanelStyle::psOwnerDraw);
    REQUIRE(PumpUntil([&] { return !painter.panelsPainted.empty(); }));
    PumpFor(100);

    for (int index : painter.panelsPainted) CHECK(index == 1);
    const RECT painted = painter.rects.back();
    const RECT part = NativePartRect(bar, 1);
    CHECK(painted.left >= part.left);
    CHECK(painted.right <= part.right);
    const int x = (painted.left + painted.right) / 2, y = (painted.top + painted.bottom) / 2;
    CHECK(ScreenPixel(bar->Handle(), x, y) == RGB(255, 0, 0));
    // The panels beside it keep the native drawing.
    const RECT first = NativePartRect(bar, 0);
    CHECK(ScreenPixel(bar->Handle(), first.left + 3, (first.top + first.bottom) / 2) != RGB(255, 0, 0));
}

TEST_CASE("status bar: it stands where its alignment puts it and tells of size changes") {
    ScopedTestForm form(400, 300);
    auto* bar = Make<TStatusBar>(form.Get());
    ResizeCounter counter;
    bar->OnResize.Bind<&ResizeCounter::Resized>(&counter);
    CHECK(bar->Align() == TAlign::alBottom);
    CHECK(bar->Height() == 19);
    CHECK(bar->Color() == clBtnFace);
    bar->SetParent(form.Get());

    RECT client{}, placed{};
    GetClientRect(form->Handle(), &client);
    GetWindowRect(bar->Handle(), &placed);
    MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&placed), 2);
    CHECK(placed.left == 0);
    CHECK(placed.bottom == client.bottom);
    CHECK(placed.right == client.right);
    CHECK(placed.bottom - placed.top == 19);

    SUBCASE("a bar placed by hand stays there") {
        bar->SetAlign(TAlign::alNone);
        const int before = counter.resizes;
        bar->SetBounds(10, 10, 200, 30);
        GetWindowRect(bar->Handle(), &placed);
        MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&placed), 2);
        CHECK(placed.left == 10);
        CHECK(placed.top == 10);
        CHECK(placed.right == 210);
        CHECK(placed.bottom == 40);
        CHECK(counter.resizes > before);
    }
}

TEST_CASE("status bar: owner-drawn parts and the slider paint alike every time and leave no GDI object") {
    ScopedTestForm form;
    PanelPainter painter;
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{0, 0, 380, 300}, [&] {
        auto* slider = Make<TTrackBar>(form.Get());
        slider->SetParent(form.Get());
        slider->SetBounds(8, 8, 200, 28);
        TStatusBar* bar = PlacePlayerBar(form.Get());
        bar->OnDrawPanel.Bind<&PanelPainter::Draw>(&painter);
        bar->Panels()[1]->SetStyle(TStatusPanelStyle::psOwnerDraw);
        return std::vector<TControl*>{slider, bar};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
