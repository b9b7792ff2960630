#include "WineGui.h"

#include "Dialogs.h"
#include "GdiLedger.h"

namespace {
BoxAnswerer* gActiveAnswerer = nullptr;

struct DialogSearch {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    const std::wstring name = className;
    if ((name == L"#32770" || name == L"TMessageForm") && IsWindowVisible(window)) {
        reinterpret_cast<DialogSearch*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    // A thread timer wakes the loop's idle wait so that the deadline is seen.
    const UINT_PTR wakeUp = SetTimer(nullptr, 0, 10, nullptr);
    const DWORD start = GetTickCount();
    while (!done() && int(GetTickCount() - start) <= timeoutMs) Application->HandleMessage();
    KillTimer(nullptr, wakeUp);
    return done();
}

void PumpFor(int ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return int(GetTickCount() - start) >= ms; }, ms + 1000);
}

HWND FindThreadDialog() {
    DialogSearch search;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    return ReadWindowText(window);
}

namespace {
// The program's own message dialog, when dialog is one.
TMessageForm* MessageFormOf(HWND dialog) {
    return dynamic_cast<TMessageForm*>(TWinControl::FindControl(dialog));
}

const char* ButtonName(int buttonId) {
    switch (buttonId) {
        case IDYES: return "Yes";
        case IDNO: return "No";
        case IDCANCEL: return "Cancel";
        default: return "OK";
    }
}
}  // namespace

std::string DialogText(HWND dialog) {
    if (TMessageForm* form = MessageFormOf(dialog)) {
        auto* message = dynamic_cast<TControl*>(form->FindComponent("Message"));
        return message ? message->Caption() : std::string();
    }
    return WindowText(GetDlgItem(dialog, 0xFFFF));
}

HWND DialogButton(HWND dialog, int buttonId) {
    if (TMessageForm* form = MessageFormOf(dialog)) {
        auto* button = dynamic_cast<TWinControl*>(form->FindComponent(ButtonName(buttonId)));
        return button ? button->Handle() : nullptr;
    }
    return GetDlgItem(dialog, buttonId);
}

BoxAnswerer::BoxAnswerer(int buttonId, HWND watchDisabled) : buttonId_(buttonId), watchDisabled_(watchDisabled) {
    gActiveAnswerer = this;
    timer_ = SetTimer(nullptr, 0, 50, &BoxAnswerer::Tick);
}

BoxAnswerer::~BoxAnswerer() {
    KillTimer(nullptr, timer_);
    gActiveAnswerer = nullptr;
}

void CALLBACK BoxAnswerer::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (gActiveAnswerer) gActiveAnswerer->Check();
}

void BoxAnswerer::Check() {
    HWND box = FindThreadDialog();
    if (!box) return;
    for (HWND done : answered_)
        if (done == box) return;
    answered_.push_back(box);
    seen_.push_back(SeenBox{WindowText(box), DialogText(box), GetWindow(box, GW_OWNER),
                            watchDisabled_ && !IsWindowEnabled(watchDisabled_)});
    // A box without the chosen answer (a notice after a question) is
    // acknowledged with OK, as a user reads it; a box with neither is closed,
    // so that no test waits on it for ever.
    if (HWND button = DialogButton(box, buttonId_))
        SendMessageW(button, BM_CLICK, 0, 0);
    else if (HWND ok = DialogButton(box, IDOK))
        SendMessageW(ok, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_CLOSE, 0, 0);
}

COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    COLORREF color = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return color;
}

namespace {

// A 32-bit picture with a memory context drawing on it.
class Picture {
public:
    Picture(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Picture() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    HDC Dc() const { return dc_; }
    std::vector<COLORREF> Pixels() const {
        std::vector<COLORREF> pixels(size_t(width_) * size_t(height_));
        const auto* quads = static_cast<const RGBQUAD*>(bits_);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
        return pixels;
    }

private:
    int width_, height_;
    void* bits_ = nullptr;
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace

std::vector<COLORREF> ScreenPicture(HWND window, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    POINT corner{area.left, area.top};
    ClientToScreen(window, &corner);
    Picture picture(width, height);
    HDC screen = GetDC(nullptr);
    BitBlt(picture.Dc(), 0, 0, width, height, screen, corner.x, corner.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return picture.Pixels();
}

std::vector<COLORREF> OwnerDrawnPicture(TWinControl* button, UINT state) {
    const RECT face{0, 0, button->Width(), button->Height()};
    Picture picture(face.right, face.bottom);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(picture.Dc(), &face, red);
    DeleteObject(red);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button->Handle();
    item.hDC = picture.Dc();
    item.rcItem = face;
    button->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
    return picture.Pixels();
}

PaintReport PaintTwiceAndCycle(TWinControl* form, const RECT& area, const std::function<std::vector<TControl*>()>& make) {
    HWND window = form->Handle();
    auto paint = [window](UINT erase) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | erase | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpFor(30);
    };
    auto destroy = [](const std::vector<TControl*>& controls) {
        for (auto c = controls.rbegin(); c != controls.rend(); ++c) (*c)->Owner()->DestroyComponent(*c);
    };
    const auto shown = make();
    paint(RDW_ERASE);
    const auto first = ScreenPicture(window, area);
    paint(RDW_ERASE);
    const bool same = ScreenPicture(window, area) == first;
    destroy(shown);
    const int growth = GdiGrowthOver(20, [&] {
        const auto made = make();
        paint(0);
        destroy(made);
    });
    return PaintReport{same, growth};
}

TestForm::TestForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(TFormBorderStyle::bsSingle);
    SetText("Test");
}

ScopedTestForm::ScopedTestForm(int width, int height) {
    form_ = Make<TestForm>(Application);
    form_->SetBounds(100, 100, width, height);
    form_->Show();
    PumpFor(20);
}

ScopedTestForm::~ScopedTestForm() {
    if (Application) Application->DestroyComponent(form_);
}
