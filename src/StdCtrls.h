// The standard controls: label, edit, combo box, list box, group box, push button.
#pragma once

#include "Controls.h"

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A text on its parent's window, with its own background unless transparent.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool show);
    // Fits the size to the text (only when AutoSize).
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);

protected:
    void Paint() override;
    void TextChanged() override;
    void FontChanged() override;

private:
    UINT DrawFlags() const;
    void AdjustBounds();

    TAlignment alignment_ = TAlignment::taLeftJustify;
    bool wordWrap_ = false;
    bool transparent_ = false;
    bool showAccelChar_ = true;
    bool autoSize_ = false;
};

// A single-line edit over the system's EDIT window.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int maxLength);
    int SelStart();
    void SetSelStart(int start);
    int SelLength();
    void SetSelLength(int length);
    void SelectAll();
    TNotifyEvent OnChange;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    virtual void Change();

private:
    bool readOnly_ = false;
    int maxLength_ = 0;
};

// The items of a list or combo box window, read and written through its messages.
class TWindowStrings : public TStrings {
public:
    struct Messages {
        UINT getCount, getText, getTextLen, getData, setData, add, insert, remove, reset, err, errSpace;
    };
    TWindowStrings(TWinControl& owner, const Messages& messages) : owner_(owner), msg_(messages) {}
    int Count() const override;
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int Add(const std::string& text) override;
    void Insert(int index, const std::string& text) override;
    void Delete(int index) override;
    void Clear() override;

protected:
    void SetUpdateState(bool updating) override;

private:
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    TWinControl& owner_;
    Messages msg_;
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed };

// An editable drop-down over the system's COMBOBOX window.
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;
    TStrings& Items() { return items_; }
    int ItemIndex();
    void SetItemIndex(int index);
    bool Sorted() const { return sorted_; }
    // Switching sorting on makes the list rebuild itself sorted.
    void SetSorted(bool sorted);
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle style);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    // Adds lines in this order; before the window exists they wait and go in when it is made.
    void AddItems(const std::vector<std::string>& texts);

    TNotifyEvent OnChange;  // the text was edited
    // OnClick: an item was chosen.

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void DestroyWnd() override;
    virtual void Change();
    // Owner-drawn item painting; the default draws the text.
    virtual void DrawItem(int index, const RECT& rect, UINT state);
    TCanvas& Canvas() { return canvas_; }

private:
    void HandleDrawItem(TMessage& message);

    TWindowStrings items_;
    TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
    bool sorted_ = false;
    int itemHeight_ = 0;
    int dropDownCount_ = 8;
    std::vector<std::pair<std::string, TObject*>> savedItems_;
    int savedIndex_ = -1;
    std::string savedText_;
    TCanvas canvas_;
};

enum class TListBoxStyle { lbStandard, lbOwnerDrawFixed };

// A line of a list: its text as the list window keeps it (UTF-16, so that
// names the system found go in without a trip through UTF-8) and its object
// (or none).
struct TListItem {
    std::wstring Text;
    TObject* Object = nullptr;
};

// A list over the system's LISTBOX window.
class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;
    TStrings& Items() { return items_; }
    int ItemIndex();
    // Selects without raising any event.
    void SetItemIndex(int index);
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle style);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    RECT ItemRect(int index);
    // Where items added one by one to this list while it is empty would end
    // up: positions in items, in list order. A sorted list orders texts as it
    // sorts its own (its locale's comparison, letter case ignored), keeping
    // equal ones in the order given; an unsorted one keeps the order given.
    std::vector<size_t> OrderOfAdds(const std::vector<TListItem>& items);
    // Appends items[order[0]], items[order[1]]... at the end as they are, in
    // one go; "Unable to insert a line" when the list refuses one.
    void AppendItems(const std::vector<TListItem>& items, const std::vector<size_t>& order);

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void DestroyWnd() override;
    // Owner-drawn item painting; the default fills and draws the text.
    virtual void DrawItem(int index, const RECT& rect, UINT state);
    TCanvas& Canvas() { return canvas_; }

private:
    void HandleDrawItem(TMessage& message);

    TWindowStrings items_;
    TListBoxStyle style_ = TListBoxStyle::lbStandard;
    bool sorted_ = false;
    int itemHeight_ = 16;
    std::vector<std::pair<std::string, TObject*>> savedItems_;
    int savedIndex_ = -1;
    TCanvas canvas_;
};

// A frame with a caption that holds other controls.
class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void Paint() override;
    void CreateParams(TCreateParams& params) override;
};

// A push button over the system's BUTTON window.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    bool Default() const { return default_; }
    void SetDefault(bool isDefault);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool cancel) { cancel_ = cancel; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    void Click() override;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    // Whether the button shows the heavy default border now.
    bool Active() const { return active_; }
    virtual void SetButtonStyle(bool isDefault);

private:
    bool default_ = false;
    bool cancel_ = false;
    bool active_ = false;
    int modalResult_ = 0;
};
