// What the framework adds to every message a list box gets.
//
// In this process: sends the same few list box messages to a TListBox on a
// form, to a plain system list box beside it, and to a third system list box
// whose window procedure does nothing but pass each message on to the
// system's (the floor that any window procedure of a program's own stands
// on), in turns; prints the best of a few rounds of each as messages per
// second and their ratios.
//
// From another process, as another program or an accessibility tool reaches
// the player: starts this program twice more, once serving a TListBox through
// the application's message loop and once serving a plain list box through a
// plain GetMessage loop, and sends the same messages to each in turns.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "../tools/StartedProgram.h"
#include "Forms.h"
#include "Ratio.h"
#include "StdCtrls.h"

namespace {

constexpr int Messages = 30000;  // per round, in the mix below
constexpr int Rounds = 15;
constexpr int OutsideMessages = 3000;  // per round: each one crosses to another process and back
constexpr int OutsideRounds = 15;
constexpr int Lines = 20;
constexpr char ServeFramework[] = "--serve-framework-list";
constexpr char ServePlain[] = "--serve-plain-list";

using Clock = std::chrono::steady_clock;

// Seconds for count messages of a mix a list's owner sends often.
double SendMix(HWND list, int count = Messages) {
    const auto start = Clock::now();
    for (int i = 0; i < count / 3; ++i) {
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

void InThisProcess() {
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
    std::printf("messages per second in this process, best of %d rounds of %d\n", Rounds, Messages);
    std::printf("  framework list box:                %12.0f\n", Messages / frameworkBest);
    std::printf("  system list box:                   %12.0f\n", Messages / plainBest);
    std::printf("  system list box passing them on:   %12.0f\n", Messages / passingBest);
    std::printf("framework against the plain list: %.2f\n", frameworkBest / plainBest);
    std::printf("%s", RatioLine("message_to_framework_list_to_passing_on", frameworkBest / passingBest, 1.15).c_str());
    SetWindowLongPtrW(passing, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gSystemListProc));
    DestroyWindow(passing);
    DestroyWindow(plain);
}

// ---- from another process

// The caption of a serving program's window; the starter's id keeps it apart from any other run.
std::wstring ServerCaption(const char* kind, const std::string& starter) {
    return ToWide(std::string("bench_Controls ") + kind + " " + starter);
}

// A TListBox on a form, served by the application's message loop until the form is closed.
void ServeFrameworkList(const std::string& starter) {
    ApplicationScope application;
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetCaption(ToUtf8(ServerCaption(ServeFramework, starter)));
    auto* list = Make<TListBox>(form);
    list->SetBounds(0, 0, 150, 200);
    list->SetParent(form);
    Fill(list->Handle());
    Application->Run();
}

LRESULT CALLBACK PlainFormProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

// A system list box on a plain window, served by a plain message loop until the window is closed.
void ServePlainList(const std::string& starter) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PlainFormProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BrumikBenchPlainListForm";
    if (!RegisterClassW(&wc)) throw std::runtime_error("no window class");
    // Owned by the message loop below: WM_CLOSE destroys it.
    HWND form = CreateWindowExW(0, wc.lpszClassName, ServerCaption(ServePlain, starter).c_str(),
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr, wc.hInstance, nullptr);
    if (!form) throw std::runtime_error("no window");
    Fill(MakeSystemList(form, 0));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ToUtf8(path);
}

// A serving copy of this program and the list box it serves.
class ListServer {
public:
    ListServer(const char* kind, const char* listClass)
        : program_(Quoted(OwnPath()) + " " + kind + " " + std::to_string(GetCurrentProcessId())) {
        const std::wstring caption = ServerCaption(kind, std::to_string(GetCurrentProcessId()));
        for (int tries = 0; tries < 3000 && !list_; ++tries, Sleep(10)) {
            form_ = FindWindowW(nullptr, caption.c_str());
            list_ = form_ ? FindWindowExW(form_, nullptr, ToWide(listClass).c_str(), nullptr) : nullptr;
        }
        // The list is filled before the loop serves it: a message through the queue waits for that.
        if (list_) SendMessageW(list_, LB_GETCOUNT, 0, 0);
        if (!list_) throw std::runtime_error(std::string("no list box served by ") + kind);
    }
    ~ListServer() {
        PostMessageW(form_, WM_CLOSE, 0, 0);
        program_.WaitForExit(10000);
    }
    ListServer(const ListServer&) = delete;
    ListServer& operator=(const ListServer&) = delete;
    HWND List() const { return list_; }

private:
    StartedProgram program_;
    HWND form_ = nullptr;
    HWND list_ = nullptr;
};

void FromAnotherProcess() {
    ListServer framework(ServeFramework, "TListBox");
    ListServer plain(ServePlain, "ListBox");
    SendMix(framework.List(), OutsideMessages);  // both settle first
    SendMix(plain.List(), OutsideMessages);
    double frameworkBest = 1e300, plainBest = 1e300;
    for (int round = 0; round < OutsideRounds; ++round) {
        frameworkBest = std::min(frameworkBest, SendMix(framework.List(), OutsideMessages));
        plainBest = std::min(plainBest, SendMix(plain.List(), OutsideMessages));
    }
    std::printf("messages per second from another process, best of %d rounds of %d\n", OutsideRounds, OutsideMessages);
    std::printf("  framework list box, application's loop: %12.0f\n", OutsideMessages / frameworkBest);
    std::printf("  system list box, plain loop:            %12.0f\n", OutsideMessages / plainBest);
    std::printf("%s", RatioLine("message_from_other_process_to_framework_list", frameworkBest / plainBest, 1.3).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], ServeFramework) == 0) {
            ServeFrameworkList(argv[2]);
            return 0;
        }
        if (argc == 3 && std::strcmp(argv[1], ServePlain) == 0) {
            ServePlainList(argv[2]);
            return 0;
        }
        {
            ApplicationScope application;
            InThisProcess();
        }
        FromAnotherProcess();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_Controls: %s\n", e.what());
        return 1;
    }
}
