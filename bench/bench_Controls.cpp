// What the framework adds to every message: sends the same few list box
// messages to a TListBox on a form and to a plain system list box beside it,
// in turns, and prints the best of a few rounds of each as messages per
// second and their ratio. A third list box, whose window procedure does
// nothing but pass each message on to the system's, shows the floor that any
// window procedure of a program's own stands on.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "Forms.h"
#include "Ratio.h"
#include "StdCtrls.h"

namespace {

constexpr int Messages = 30000;  // per round, in the mix below
constexpr int Rounds = 15;
constexpr int Lines = 20;

using Clock = std::chrono::steady_clock;

// Seconds for Messages messages of a mix a list's owner sends often.
double SendMix(HWND list) {
    const auto start = Clock::now();
    for (int i = 0; i < Messages / 3; ++i) {
        SendMessageW(list, LB_GETCOUNT, 0, 0);
        SendMessageW(list, LB_GETTEXTLEN, WPARAM(i % Lines), 0);
        SendMessageW(list, LB_GETITEMDATA, WPARAM(i % Lines), 0);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

WNDPROC gSystemListProc = nullptr;

LRESULT CALLBACK PassOn(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(gSystemListProc, window, msg, wParam, lParam);
}

HWND MakeSystemList(HWND parent, int left) {
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                                left, 0, 150, 200, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list) throw std::runtime_error("no system list box");
    return list;
}

void Fill(HWND list) {
    for (int i = 0; i < Lines; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"utwór.mp3"));
}

void Run() {
    TForm* form = nullptr;
    Application->CreateForm(form);
    auto* framework = Make<TListBox>(form);
    framework->SetBounds(0, 0, 150, 200);
    framework->SetParent(form);
    HWND plain = MakeSystemList(form->Handle(), 160);
    HWND passing = MakeSystemList(form->Handle(), 320);
    gSystemListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(passing, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PassOn)));
    for (HWND list : {framework->Handle(), plain, passing}) Fill(list);

    double frameworkBest = 1e300, plainBest = 1e300, passingBest = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        frameworkBest = std::min(frameworkBest, SendMix(framework->Handle()));
        plainBest = std::min(plainBest, SendMix(plain));
        passingBest = std::min(passingBest, SendMix(passing));
    }
    std::printf("messages per second, best of %d rounds of %d\n", Rounds, Messages);
    std::printf("  framework list box:                %12.0f\n", Messages / frameworkBest);
    std::printf("  system list box:                   %12.0f\n", Messages / plainBest);
    std::printf("  system list box passing them on:   %12.0f\n", Messages / passingBest);
    std::printf("framework against the list passing them on: %.2f\n", frameworkBest / passingBest);
    std::printf("%s", RatioLine("message_to_framework_list", frameworkBest / plainBest, 1.2).c_str());
    SetWindowLongPtrW(passing, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gSystemListProc));
    DestroyWindow(passing);
    DestroyWindow(plain);
}

}  // namespace

int main() {
    try {
        ApplicationScope application;
        Run();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_Controls: %s\n", e.what());
        return 1;
    }
}
