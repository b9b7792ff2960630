#include "Dialogs.h"

#include <memory>

#include "ExtCtrls.h"
#include "StringIds.h"
#include "runtime/SysUtils.h"

namespace {

struct ButtonInfo {
    TMsgDlgBtn button;
    const char* name;
    unsigned captionId;
    int result;
};

// In the order they are placed from left to right.
const ButtonInfo kButtons[] = {
    {mbYes, "Yes", SMsgDlgYes, mrYes},          {mbNo, "No", SMsgDlgNo, mrNo},
    {mbOK, "OK", SMsgDlgOK, mrOk},              {mbCancel, "Cancel", SMsgDlgCancel, mrCancel},
    {mbAbort, "Abort", SMsgDlgAbort, mrAbort},  {mbRetry, "Retry", SMsgDlgRetry, mrRetry},
    {mbIgnore, "Ignore", SMsgDlgIgnore, mrIgnore}, {mbAll, "All", SMsgDlgAll, mrAll},
    {mbHelp, "Help", SMsgDlgHelp, mrNone},
};

struct TypeInfo {
    unsigned captionId;
    const wchar_t* icon;
};

TypeInfo InfoOf(TMsgDlgType type) {
    switch (type) {
        case TMsgDlgType::mtWarning: return {SMsgDlgWarning, IDI_EXCLAMATION};
        case TMsgDlgType::mtError: return {SMsgDlgError, IDI_HAND};
        case TMsgDlgType::mtInformation: return {SMsgDlgInformation, IDI_ASTERISK};
        case TMsgDlgType::mtConfirmation: return {SMsgDlgConfirm, IDI_QUESTION};
        case TMsgDlgType::mtCustom: break;
    }
    return {0, nullptr};
}

// Average character size of the dialog's font: the 52 letters drawn in one line.
SIZE AverageCharSize(TFont& font) {
    ScopedWindowDC screen(nullptr);
    ScopedSelect select(screen.Get(), font.Handle());
    std::wstring letters;
    for (wchar_t c = L'A'; c <= L'Z'; ++c) letters += c;
    for (wchar_t c = L'a'; c <= L'z'; ++c) letters += c;
    SIZE size{};
    GetTextExtentPoint32W(screen.Get(), letters.c_str(), 52, &size);
    return SIZE{size.cx / 52, size.cy};
}

RECT MeasureText(TFont& font, const std::string& text) {
    ScopedWindowDC screen(nullptr);
    ScopedSelect select(screen.Get(), font.Handle());
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    std::wstring wide = ToWide(text);
    DrawTextW(screen.Get(), wide.data(), int(wide.size()), &r, DT_CALCRECT | DT_WORDBREAK);
    // An empty text takes no width (Wine leaves the rectangle as wide as it was given).
    if (text.empty()) r.right = 0;
    return r;
}

// Keeps the dialog open when the help button is pressed.
class THelpButton : public TButton {
public:
    using TButton::TButton;
    void Click() override { TWinControl::Click(); }
};

}  // namespace

TMessageForm::TMessageForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetBorderIcons(biSystemMenu);
}

void TMessageForm::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    params.WinClassName = "TMessageForm";
}

TMessageForm* CreateMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    auto* dialog = Make<TMessageForm>(Application);
    try {
        TFont& font = dialog->Font();
        const SIZE average = AverageCharSize(font);
        const int hMargin = MulDiv(8, average.cx, 4), vMargin = MulDiv(8, average.cy, 8);
        const int hSpacing = MulDiv(10, average.cx, 4), vSpacing = MulDiv(10, average.cy, 8);
        const int buttonWidth = MulDiv(50, average.cx, 4), buttonHeight = MulDiv(14, average.cy, 8);
        const int buttonSpacing = MulDiv(4, average.cx, 4);

        const RECT textRect = MeasureText(font, text);
        const int textWidth = textRect.right, textHeight = textRect.bottom;
        const TypeInfo info = InfoOf(type);
        int blockWidth = textWidth, blockHeight = textHeight;
        if (info.icon) {
            blockWidth += 32 + hSpacing;
            blockHeight = std::max(blockHeight, 32);
        }
        int count = 0;
        for (const auto& b : kButtons)
            if (buttons & b.button) ++count;
        const int groupWidth = count ? count * buttonWidth + (count - 1) * buttonSpacing : 0;
        const int clientWidth = std::max(blockWidth, groupWidth) + 2 * hMargin;
        const int clientHeight = blockHeight + buttonHeight + vSpacing + 2 * vMargin;
        dialog->SetClientSize(clientWidth, clientHeight);
        dialog->SetBounds(GetSystemMetrics(SM_CXSCREEN) / 2 - dialog->Width() / 2,
                          GetSystemMetrics(SM_CYSCREEN) / 2 - dialog->Height() / 2, dialog->Width(), dialog->Height());
        dialog->SetCaption(info.icon ? LoadStr(info.captionId) : Application->Title());

        if (info.icon) {
            auto* image = Make<TImage>(dialog);
            image->SetName("Image");
            image->Icon().LoadSystemIcon(info.icon);
            image->SetParent(dialog);
            image->SetBounds(hMargin, vMargin, 32, 32);
        }
        auto* message = Make<TLabel>(dialog);
        message->SetName("Message");
        message->SetWordWrap(true);
        message->SetCaption(text);
        message->SetParent(dialog);
        message->SetBounds(blockWidth - textWidth + hMargin, vMargin, textWidth, textHeight);

        const TMsgDlgBtn defaultButton = (buttons & mbOK) ? mbOK : (buttons & mbYes) ? mbYes : mbRetry;
        const TMsgDlgBtn cancelButton = (buttons & mbCancel) ? mbCancel : (buttons & mbNo) ? mbNo : mbOK;
        int x = (clientWidth - groupWidth) / 2;
        for (const auto& b : kButtons) {
            if (!(buttons & b.button)) continue;
            TButton* button = b.button == mbHelp ? Make<THelpButton>(dialog) : Make<TButton>(dialog);
            button->SetName(b.name);
            button->SetCaption(LoadStr(b.captionId));
            button->SetModalResult(b.result);
            button->SetParent(dialog);
            button->SetBounds(x, blockHeight + vMargin + vSpacing, buttonWidth, buttonHeight);
            if (b.button == defaultButton) {
                button->SetDefault(true);
                dialog->SetActiveControl(button);
            }
            if (b.button == cancelButton) button->SetCancel(true);
            x += buttonWidth + buttonSpacing;
        }
    } catch (...) {
        Application->DestroyComponent(dialog);
        throw;
    }
    return dialog;
}

void ShowMessage(const std::string& text) {
    TMessageForm* dialog = CreateMessageDialog(text, TMsgDlgType::mtCustom, mbOK);
    struct Destroy {
        TMessageForm* dialog;
        ~Destroy() {
            if (Application) Application->DestroyComponent(dialog);
        }
    } destroy{dialog};
    dialog->SetHelpContext(0);
    dialog->ShowModal();
}
