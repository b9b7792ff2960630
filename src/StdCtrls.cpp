#include "StdCtrls.h"

#include <algorithm>
#include <numeric>

#include "Forms.h"
#include "Menus.h"
#include "StringIds.h"
#include "runtime/SysUtils.h"

namespace {

const TWindowStrings::Messages kListBoxMessages{LB_GETCOUNT,     LB_GETTEXT,      LB_GETTEXTLEN,
                                                LB_GETITEMDATA,  LB_SETITEMDATA,  LB_ADDSTRING,
                                                LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                                UINT(LB_ERR),    UINT(LB_ERRSPACE)};
const TWindowStrings::Messages kComboBoxMessages{CB_GETCOUNT,     CB_GETLBTEXT,    CB_GETLBTEXTLEN,
                                                 CB_GETITEMDATA,  CB_SETITEMDATA,  CB_ADDSTRING,
                                                 CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                                 UINT(CB_ERR),    UINT(CB_ERRSPACE)};

// The bytes whose order is the locale's order of texts, letter case ignored.
std::string SortKey(LCID locale, const std::wstring& text) {
    std::string key(text.size() * 8 + 16, '\0');
    int n = LCMapStringW(locale, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                         reinterpret_cast<LPWSTR>(key.data()), int(key.size()));
    key.resize(size_t(std::max(n, 0)));
    return key;
}

// Paints one owner-drawn item of a list or combo box through canvas.
template <typename DrawFn>
void PaintOwnerDrawnItem(TCanvas& canvas, const TFont& font, TColor color, const DRAWITEMSTRUCT& dis, DrawFn draw) {
    CanvasLoan loan(canvas, dis.hDC);
    canvas.Font().Assign(font);
    const bool selected = (dis.itemState & ODS_SELECTED) != 0;
    canvas.Brush().SetColor(selected ? clHighlight : color);
    if (selected) canvas.Font().SetColor(clHighlightText);
    if (int(dis.itemID) >= 0)
        draw(int(dis.itemID), dis.rcItem, dis.itemState);
    else
        canvas.FillRect(dis.rcItem);
    if ((dis.itemState & ODS_FOCUS) && !(dis.itemState & ODS_NOFOCUSRECT)) canvas.DrawFocusRect(dis.rcItem);
}

}  // namespace

// ======================================================================
// TLabel

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetColor(clBtnFace);
}

void TLabel::SetAlignment(TAlignment alignment) {
    if (alignment_ == alignment) return;
    alignment_ = alignment;
    Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap) {
    if (wordWrap_ == wordWrap) return;
    wordWrap_ = wordWrap;
    AdjustBounds();
    Invalidate();
}

void TLabel::SetTransparent(bool transparent) {
    if (transparent_ == transparent) return;
    transparent_ = transparent;
    Invalidate();
}

void TLabel::SetShowAccelChar(bool show) {
    if (showAccelChar_ == show) return;
    showAccelChar_ = show;
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize) {
    if (autoSize_ == autoSize) return;
    autoSize_ = autoSize;
    AdjustBounds();
}

UINT TLabel::DrawFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (wordWrap_) flags |= DT_WORDBREAK;
    if (!showAccelChar_) flags |= DT_NOPREFIX;
    if (alignment_ == TAlignment::taCenter) flags |= DT_CENTER;
    if (alignment_ == TAlignment::taRightJustify) flags |= DT_RIGHT;
    return flags;
}

void TLabel::Paint() {
    RECT r = ClientRect();
    TCanvas& canvas = Canvas();
    if (!transparent_) {
        canvas.Brush().SetColor(Color());
        canvas.FillRect(r);
    }
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    std::string text = Caption();
    if (Enabled()) {
        canvas.DrawText(text, r, DrawFlags());
    } else {
        canvas.Font().SetColor(clGrayText);
        canvas.DrawText(text, r, DrawFlags());
    }
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || !Parent()) return;
    UniqueMemoryDC screen;  // measures as the screen does
    TCanvas measure;
    measure.SetHandle(screen.Get());
    measure.Font().Assign(Font());
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    std::string text = Caption();
    measure.DrawText(text.empty() ? std::string(" ") : text, r, DrawFlags() | DT_CALCRECT);
    measure.SetHandle(nullptr);
    SetBounds(Left(), Top(), r.right, r.bottom);
}

void TLabel::TextChanged() {
    AdjustBounds();
    Invalidate();
}

void TLabel::FontChanged() {
    AdjustBounds();
    Invalidate();
}

// ======================================================================
// TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clWindow);
}

void TEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TEdit";
    params.SystemClass = "EDIT";
    params.Style |= ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0);
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    SendMessageW(Handle(), EM_LIMITTEXT, WPARAM(maxLength_), 0);
}

void TEdit::SetReadOnly(bool readOnly) {
    if (readOnly_ == readOnly) return;
    readOnly_ = readOnly;
    if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, readOnly, 0);
}

void TEdit::SetMaxLength(int maxLength) {
    if (maxLength_ == maxLength) return;
    maxLength_ = maxLength;
    if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, WPARAM(maxLength), 0);
}

int TEdit::SelStart() {
    DWORD start = 0, end = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return int(start);
}

void TEdit::SetSelStart(int start) {
    SendMessageW(Handle(), EM_SETSEL, WPARAM(start), LPARAM(start));
}

int TEdit::SelLength() {
    DWORD start = 0, end = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return int(end - start);
}

void TEdit::SetSelLength(int length) {
    int start = SelStart();
    SendMessageW(Handle(), EM_SETSEL, WPARAM(start), LPARAM(start + length));
}

void TEdit::SelectAll() {
    SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TEdit::Change() {
    OnChange(this);
}

void TEdit::WndProc(TMessage& m) {
    if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == EN_CHANGE) {
        Change();
        return;
    }
    TWinControl::WndProc(m);
}

// ======================================================================
// TWindowStrings

LRESULT TWindowStrings::Send(UINT msg, WPARAM wParam, LPARAM lParam) const {
    return SendMessageW(owner_.Handle(), msg, wParam, lParam);
}

int TWindowStrings::Count() const {
    return int(Send(msg_.getCount));
}

std::string TWindowStrings::Get(int index) const {
    if (index < 0 || index >= Count()) IndexError();
    LRESULT length = Send(msg_.getTextLen, WPARAM(index));
    if (length < 0) IndexError();
    std::wstring text(size_t(length) + 1, L'\0');
    length = Send(msg_.getText, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(std::max<LRESULT>(length, 0)));
    return ToUtf8(text);
}

TObject* TWindowStrings::GetObject(int index) const {
    if (index < 0 || index >= Count()) IndexError();
    return reinterpret_cast<TObject*>(Send(msg_.getData, WPARAM(index)));
}

void TWindowStrings::PutObject(int index, TObject* object) {
    if (index < 0 || index >= Count()) IndexError();
    Send(msg_.setData, WPARAM(index), reinterpret_cast<LPARAM>(object));
}

int TWindowStrings::Add(const std::string& text) {
    LRESULT index = Send(msg_.add, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
    if (index < 0) throw EOutOfResources(LoadStr(SInsertLineError));
    return int(index);
}

void TWindowStrings::Insert(int index, const std::string& text) {
    LRESULT at = Send(msg_.insert, WPARAM(index), reinterpret_cast<LPARAM>(ToWide(text).c_str()));
    if (at < 0) throw EOutOfResources(LoadStr(SInsertLineError));
}

void TWindowStrings::Delete(int index) {
    if (index < 0 || index >= Count()) IndexError();
    Send(msg_.remove, WPARAM(index));
}

void TWindowStrings::Clear() {
    Send(msg_.reset);
}

void TWindowStrings::SetUpdateState(bool updating) {
    Send(WM_SETREDRAW, !updating);
    if (!updating) InvalidateRect(owner_.Handle(), nullptr, TRUE);
}

// ======================================================================
// TComboBox

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner), items_(*this, kComboBoxMessages) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 145, 21);
}

TComboBox::~TComboBox() {
    DestroyHandle();
}

void TComboBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TComboBox";
    params.SystemClass = "COMBOBOX";
    params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (style_) {
        case TComboBoxStyle::csDropDown: params.Style |= CBS_DROPDOWN; break;
        case TComboBoxStyle::csSimple: params.Style |= CBS_SIMPLE; break;
        case TComboBoxStyle::csDropDownList: params.Style |= CBS_DROPDOWNLIST; break;
        case TComboBoxStyle::csOwnerDrawFixed:
            params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
            break;
    }
    if (sorted_) params.Style |= CBS_SORT;
    // The window's height includes the dropped-down list.
    int itemHeight = itemHeight_ > 0 ? itemHeight_ : Height();
    params.Height = Height() + dropDownCount_ * itemHeight + 2;
}

void TComboBox::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    HWND window = Handle();
    if (itemHeight_ > 0 && style_ != TComboBoxStyle::csOwnerDrawFixed)
        SendMessageW(window, CB_SETITEMHEIGHT, 0, itemHeight_);
    for (const auto& [text, object] : savedItems_) {
        LRESULT index = SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
        if (index >= 0) SendMessageW(window, CB_SETITEMDATA, WPARAM(index), reinterpret_cast<LPARAM>(object));
    }
    savedItems_.clear();
    // The edit part starts empty whatever the window's name: a text set before the window existed goes in now.
    const std::string& text = savedText_.empty() ? StoredText() : savedText_;
    if (savedIndex_ >= 0) SendMessageW(window, CB_SETCURSEL, WPARAM(savedIndex_), 0);
    else if (!text.empty() && Text() != text) WriteWindowText(window, text);
    savedIndex_ = -1;
    savedText_.clear();
}

void TComboBox::DestroyWnd() {
    savedItems_.clear();
    for (int i = 0, n = items_.Count(); i < n; ++i) savedItems_.emplace_back(items_.Get(i), items_.GetObject(i));
    savedIndex_ = ItemIndex();
    savedText_ = Text();
    TWinControl::DestroyWnd();
}

int TComboBox::ItemIndex() {
    return int(SendMessageW(Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index) {
    SendMessageW(Handle(), CB_SETCURSEL, WPARAM(index), 0);
}

void TComboBox::SetSorted(bool sorted) {
    if (sorted_ == sorted) return;
    sorted_ = sorted;
    RecreateWnd();
}

void TComboBox::SetStyle(TComboBoxStyle style) {
    if (style_ == style) return;
    style_ = style;
    RecreateWnd();
}

void TComboBox::SetItemHeight(int height) {
    if (itemHeight_ == height) return;
    itemHeight_ = height;
    RecreateWnd();
}

void TComboBox::AddItems(const std::vector<std::string>& texts) {
    if (HandleAllocated()) {
        for (const std::string& text : texts) items_.Add(text);
        return;
    }
    for (const std::string& text : texts) savedItems_.emplace_back(text, nullptr);
}

void TComboBox::Change() {
    OnChange(this);
}

void TComboBox::DrawItem(int index, const RECT& rect, UINT) {
    Canvas().FillRect(rect);
    Canvas().TextOut(rect.left + 2, rect.top, items_.Get(index));
}

void TComboBox::HandleDrawItem(TMessage& m) {
    const auto& dis = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
    PaintOwnerDrawnItem(canvas_, Font(), Color(), dis,
                        [this](int index, const RECT& rect, UINT state) { DrawItem(index, rect, state); });
    m.Result = 1;
}

void TComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            switch (HIWORD(m.WParam)) {
                case CBN_EDITCHANGE: Change(); break;
                case CBN_SELCHANGE:
                    Click();
                    Change();
                    break;
                default: break;
            }
            return;
        case CN_DRAWITEM:
            HandleDrawItem(m);
            return;
        case CN_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            if (itemHeight_ > 0) mis->itemHeight = UINT(itemHeight_);
            m.Result = 1;
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(m);
}

// ======================================================================
// TListBox

TListBox::TListBox(TComponent* owner) : TWinControl(owner), items_(*this, kListBoxMessages) {
    SetTabStop(true);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 97);
}

TListBox::~TListBox() {
    DestroyHandle();
}

void TListBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TListBox";
    params.SystemClass = "LISTBOX";
    params.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
    if (sorted_) params.Style |= LBS_SORT;
    if (style_ == TListBoxStyle::lbOwnerDrawFixed) params.Style |= LBS_OWNERDRAWFIXED;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::CreateWindowHandle(const TCreateParams& params) {
    TWinControl::CreateWindowHandle(params);
    HWND window = Handle();
    for (const auto& [text, object] : savedItems_) {
        LRESULT index = SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
        if (index >= 0) SendMessageW(window, LB_SETITEMDATA, WPARAM(index), reinterpret_cast<LPARAM>(object));
    }
    savedItems_.clear();
    if (savedIndex_ >= 0) SendMessageW(window, LB_SETCURSEL, WPARAM(savedIndex_), 0);
    savedIndex_ = -1;
}

void TListBox::DestroyWnd() {
    savedItems_.clear();
    for (int i = 0, n = items_.Count(); i < n; ++i) savedItems_.emplace_back(items_.Get(i), items_.GetObject(i));
    savedIndex_ = ItemIndex();
    TWinControl::DestroyWnd();
}

int TListBox::ItemIndex() {
    return int(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
}

void TListBox::SetItemIndex(int index) {
    SendMessageW(Handle(), LB_SETCURSEL, WPARAM(index), 0);
}

void TListBox::SetSorted(bool sorted) {
    if (sorted_ == sorted) return;
    sorted_ = sorted;
    RecreateWnd();
}

void TListBox::SetStyle(TListBoxStyle style) {
    if (style_ == style) return;
    style_ = style;
    RecreateWnd();
}

void TListBox::SetItemHeight(int height) {
    if (itemHeight_ == height || height <= 0) return;
    itemHeight_ = height;
    if (HandleAllocated() && style_ == TListBoxStyle::lbOwnerDrawFixed)
        SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, height);
}

RECT TListBox::ItemRect(int index) {
    RECT r{};
    SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r));
    return r;
}

std::vector<size_t> TListBox::OrderOfAdds(const std::vector<TListItem>& items) {
    HandleNeeded();
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t(0));
    if (!sorted_ || items.size() < 2) return order;
    const auto locale = LCID(Perform(LB_GETLOCALE));
    auto compare = [&](size_t a, size_t b) {
        return CompareStringW(locale, NORM_IGNORECASE, items[a].Text.c_str(), -1, items[b].Text.c_str(), -1);
    };
    // Sort keys sort with one comparison of the list's own per item, to check
    // the result, instead of one per step of a sort; should the keys ever
    // disagree with that comparison (or not fit), it sorts by itself.
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const TListItem& item : items) keys.push_back(SortKey(locale, item.Text));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    bool inOrder = true;
    for (size_t k = 1; k < order.size() && inOrder; ++k) {
        const int result = compare(order[k - 1], order[k]);
        inOrder = result == CSTR_LESS_THAN || (result == CSTR_EQUAL && order[k - 1] < order[k]);
    }
    if (!inOrder) {
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return compare(a, b) == CSTR_LESS_THAN; });
    }
    return order;
}

void TListBox::AppendItems(const std::vector<TListItem>& items, const std::vector<size_t>& order) {
    HandleNeeded();
    size_t textBytes = 0;
    for (const TListItem& item : items) textBytes += (item.Text.size() + 1) * sizeof(wchar_t);
    Perform(LB_INITSTORAGE, WPARAM(order.size()), LPARAM(textBytes));
    // Straight to the control's own handling: no trip through the system's message dispatch per line.
    for (size_t position : order) {
        const TListItem& item = items[position];
        const LRESULT index = Perform(LB_INSERTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(item.Text.c_str()));
        if (index < 0) throw EOutOfResources(LoadStr(SInsertLineError));
        if (item.Object) Perform(LB_SETITEMDATA, WPARAM(index), reinterpret_cast<LPARAM>(item.Object));
    }
}

void TListBox::DrawItem(int index, const RECT& rect, UINT) {
    Canvas().FillRect(rect);
    Canvas().TextOut(rect.left + 2, rect.top, items_.Get(index));
}

void TListBox::HandleDrawItem(TMessage& m) {
    const auto& dis = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
    PaintOwnerDrawnItem(canvas_, Font(), Color(), dis,
                        [this](int index, const RECT& rect, UINT state) { DrawItem(index, rect, state); });
    m.Result = 1;
}

void TListBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            switch (HIWORD(m.WParam)) {
                case LBN_SELCHANGE: Click(); break;
                case LBN_DBLCLK: DblClick(); break;
                default: break;
            }
            return;
        case CN_DRAWITEM:
            HandleDrawItem(m);
            return;
        case CN_DELETEITEM:
            return;  // the lines' objects belong to others: nothing to free
        case CN_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            mis->itemHeight = UINT(itemHeight_);
            m.Result = 1;
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(m);
}

// ======================================================================
// TGroupBox

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
    SetColor(clBtnFace);
    SetBounds(0, 0, 185, 105);
}

void TGroupBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TGroupBox";
    params.Style |= WS_CLIPCHILDREN;
}

void TGroupBox::Paint() {
    TCanvas& canvas = Canvas();
    const int textHeight = canvas.TextHeight("0");
    RECT frame = ClientRect();
    frame.top += textHeight / 2;
    canvas.DrawEdge(frame, EDGE_ETCHED, BF_RECT);
    std::string caption = Caption();
    if (caption.empty()) return;
    RECT text{8, 0, 0, textHeight};
    canvas.DrawText(caption, text, DT_CALCRECT | DT_SINGLELINE);
    canvas.Brush().SetColor(Color());
    canvas.DrawText(caption, text, DT_SINGLELINE);
}

// ======================================================================
// TButton

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetColor(clBtnFace);
    SetBounds(0, 0, 75, 25);
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = "TButton";
    params.SystemClass = "BUTTON";
    params.Style |= active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool isDefault) {
    if (default_ == isDefault) return;
    default_ = isDefault;
    active_ = isDefault;
    if (HandleAllocated()) SetButtonStyle(active_);
}

void TButton::SetButtonStyle(bool isDefault) {
    SendMessageW(Handle(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (auto* form = dynamic_cast<TForm*>(GetParentForm(this))) form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            if (HIWORD(m.WParam) == BN_CLICKED) Click();
            return;
        case CM_DIALOGKEY:
            if (((m.WParam == VK_RETURN && active_) || (m.WParam == VK_ESCAPE && cancel_)) && CanFocus() &&
                (KeyboardShiftState() & ssAlt) == 0) {
                Click();
                m.Result = 1;
            }
            return;
        case CM_DIALOGCHAR:
            if (IsAccel(m.WParam, Caption()) && CanFocus()) {
                Click();
                m.Result = 1;
            }
            return;
        case CM_FOCUSCHANGED: {
            auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
            bool active = focused == this || (default_ && !dynamic_cast<TButton*>(focused));
            if (active != active_) {
                active_ = active;
                if (HandleAllocated()) SetButtonStyle(active_);
            }
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(m);
}
