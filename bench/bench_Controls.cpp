// What the framework adds to every message: sends the same few list box
// messages to a TListBox on a form and to a plain system list box beside it,
// in turns, and prints the best of a few rounds of each as messages per
// second and their ratio.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "Forms.h"
#include "Ratio.h"
#include "StdCtrls.h"

namespace {

constexpr int Messages = 60000;  // per round, in the mix below
constexpr int Rounds = 7;
constexpr int Lines = 20;

using Clock = std::chrono::steady_clock;

// Seconds for Messages messages of a mix a list's owner sends often.
double SendMix(HWND list) {
    const auto start = Clock::now();
    for (int i = 0; i < Messages / 3; ++i) {
        SendMessageA(list, LB_GETCOUNT, 0, 0);
        SendMessageA(list, LB_GETTEXTLEN, WPARAM(i % Lines), 0);
        SendMessageA(list, LB_GETITEMDATA, WPARAM(i % Lines), 0);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Fill(HWND list) {
    for (int i = 0; i < Lines; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("utwór.mp3"));
}

void Run() {
    TForm* form = nullptr;
    Application->CreateForm(form);
    auto* framework = Make<TListBox>(form);
    framework->SetBounds(0, 0, 150, 200);
    framework->SetParent(form);
    HWND plain = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                                 160, 0, 150, 200, form->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!plain) throw std::runtime_error("no system list box");
    Fill(framework->Handle());
    Fill(plain);

    double frameworkBest = 1e300, plainBest = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        frameworkBest = std::min(frameworkBest, SendMix(framework->Handle()));
        plainBest = std::min(plainBest, SendMix(plain));
    }
    std::printf("messages per second, best of %d rounds of %d\n", Rounds, Messages);
    std::printf("  framework list box: %12.0f\n", Messages / frameworkBest);
    std::printf("  system list box:    %12.0f\n", Messages / plainBest);
    std::printf("%s", RatioLine("message_to_framework_list", frameworkBest / plainBest, 1.2).c_str());
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
