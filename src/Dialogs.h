// The one-button notice and the message dialog it is built from.
#pragma once

#include <string>

#include "Forms.h"
#include "StdCtrls.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned {
    mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbAbort = 16, mbRetry = 32, mbIgnore = 64, mbAll = 128, mbHelp = 256
};
using TMsgDlgButtons = unsigned;

// A dialog made for one message: an icon "Image", the text "Message" and one
// push button per requested button, named after it.
class TMessageForm : public TForm {
public:
    explicit TMessageForm(TComponent* owner);
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int context) { helpContext_ = context; }

protected:
    void CreateParams(TCreateParams& params) override;

private:
    int helpContext_ = 0;
};

// Builds (but does not show) a message dialog owned by the application.
TMessageForm* CreateMessageDialog(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);

// Shows text with one "OK" button under the application's title and waits for the user.
void ShowMessage(const std::string& text);
