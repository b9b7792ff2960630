#include "GdiLedger.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {

// What the ledger knows. Made once and never destroyed: static objects of the
// program still delete GDI objects after main has returned.
struct Book {
    std::mutex lock;
    std::unordered_set<HGDIOBJ> live;     // made by the program, not yet deleted
    std::unordered_set<HGDIOBJ> stock;    // the system's, never to be deleted
    std::unordered_set<HDC> contexts;     // contexts the program selected objects into
    std::unordered_multiset<HDC> borrowed;  // memory contexts made and window contexts got, not yet given back
    std::vector<std::string> breaches;
    std::string testCase = "(start-up)";
};

Book& TheBook() {
    static Book* book = new Book;
    return *book;
}

// The real functions, read from the import table before it is redirected.
decltype(&::CreateBitmap) realCreateBitmap;
decltype(&::CreateCompatibleDC) realCreateCompatibleDC;
decltype(&::GetDC) realGetDC;
decltype(&::CreateCompatibleBitmap) realCreateCompatibleBitmap;
decltype(&::CreateDIBSection) realCreateDIBSection;
decltype(&::CreateFontIndirectW) realCreateFontIndirectW;
decltype(&::CreatePatternBrush) realCreatePatternBrush;
decltype(&::CreatePen) realCreatePen;
decltype(&::CreateSolidBrush) realCreateSolidBrush;
decltype(&::DeleteDC) realDeleteDC;
decltype(&::DeleteObject) realDeleteObject;
decltype(&::SelectObject) realSelectObject;
decltype(&::LoadImageW) realLoadImageW;
decltype(&::LoadBitmapW) realLoadBitmapW;
decltype(&::CopyImage) realCopyImage;
decltype(&::ReleaseDC) realReleaseDC;
decltype(&::EndPaint) realEndPaint;

const char* TypeName(DWORD type) {
    switch (type) {
        case OBJ_PEN: case OBJ_EXTPEN: return "pen";
        case OBJ_BRUSH: return "brush";
        case OBJ_FONT: return "font";
        case OBJ_BITMAP: return "bitmap";
        default: return "object";
    }
}

// The kinds of object a context holds one of at a time.
bool Selectable(DWORD type) {
    return type == OBJ_PEN || type == OBJ_EXTPEN || type == OBJ_BRUSH || type == OBJ_FONT || type == OBJ_BITMAP;
}

bool HoldsInAnyContext(Book& book, HGDIOBJ object, DWORD type) {
    const UINT kind = type == OBJ_EXTPEN ? OBJ_PEN : type;
    for (HDC dc : book.contexts)
        if (GetObjectType(dc) != 0 && GetCurrentObject(dc, kind) == object) return true;
    return false;
}

void Breach(Book& book, const std::string& what) {
    book.breaches.push_back(book.testCase + ": " + what);
}

// Looks for a window of this thread that still draws its text with a font.
struct FontSearch {
    HGDIOBJ font;
    bool found = false;
};

BOOL CALLBACK CheckWindowFont(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<FontSearch*>(data);
    search.found = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)) == search.font;
    return !search.found;
}

BOOL CALLBACK CheckTopWindow(HWND window, LPARAM data) {
    if (CheckWindowFont(window, data)) EnumChildWindows(window, &CheckWindowFont, data);
    return !reinterpret_cast<FontSearch*>(data)->found;
}

bool AWindowUsesFont(HGDIOBJ font) {
    FontSearch search{font};
    EnumThreadWindows(GetCurrentThreadId(), &CheckTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HGDIOBJ Born(HGDIOBJ object) {
    if (!object) return object;
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    if (!book.stock.contains(object)) book.live.insert(object);
    return object;
}

HDC Borrowed(HDC dc) {
    if (!dc) return dc;
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    book.borrowed.insert(dc);
    return dc;
}

void Returned(HDC dc) {
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    if (auto held = book.borrowed.find(dc); held != book.borrowed.end()) book.borrowed.erase(held);
}

HANDLE BornIfBitmap(HANDLE image, UINT type) {
    return type == IMAGE_BITMAP ? Born(image) : image;
}

// A context goes back to the system (or away): none of our objects may stay in it.
void GivingBack(HDC dc) {
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    for (UINT kind : {OBJ_PEN, OBJ_BRUSH, OBJ_FONT})
        if (HGDIOBJ held = GetCurrentObject(dc, kind); held && book.live.contains(held))
            Breach(book, std::string("a context was given back with our ") + TypeName(kind) + " still selected");
}

HBITMAP WINAPI LedgerCreateBitmap(int w, int h, UINT planes, UINT bits, const void* data) {
    return static_cast<HBITMAP>(Born(realCreateBitmap(w, h, planes, bits, data)));
}
HBITMAP WINAPI LedgerCreateCompatibleBitmap(HDC dc, int w, int h) {
    return static_cast<HBITMAP>(Born(realCreateCompatibleBitmap(dc, w, h)));
}
HBITMAP WINAPI LedgerCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                      DWORD offset) {
    return static_cast<HBITMAP>(Born(realCreateDIBSection(dc, info, usage, bits, section, offset)));
}
HFONT WINAPI LedgerCreateFontIndirectW(const LOGFONTW* font) {
    return static_cast<HFONT>(Born(realCreateFontIndirectW(font)));
}
HBRUSH WINAPI LedgerCreatePatternBrush(HBITMAP pattern) {
    return static_cast<HBRUSH>(Born(realCreatePatternBrush(pattern)));
}
HPEN WINAPI LedgerCreatePen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(Born(realCreatePen(style, width, color)));
}
HBRUSH WINAPI LedgerCreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(Born(realCreateSolidBrush(color)));
}
HANDLE WINAPI LedgerLoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int w, int h, UINT flags) {
    return BornIfBitmap(realLoadImageW(module, name, type, w, h, flags), type);
}
HBITMAP WINAPI LedgerLoadBitmapW(HINSTANCE module, LPCWSTR name) {
    return static_cast<HBITMAP>(Born(realLoadBitmapW(module, name)));
}
HANDLE WINAPI LedgerCopyImage(HANDLE image, UINT type, int w, int h, UINT flags) {
    return BornIfBitmap(realCopyImage(image, type, w, h, flags), type);
}

HDC WINAPI LedgerCreateCompatibleDC(HDC dc) {
    return Borrowed(realCreateCompatibleDC(dc));
}
HDC WINAPI LedgerGetDC(HWND window) {
    return Borrowed(realGetDC(window));
}

BOOL WINAPI LedgerDeleteDC(HDC dc) {
    GivingBack(dc);
    {
        Book& book = TheBook();
        std::lock_guard guard(book.lock);
        book.contexts.erase(dc);
    }
    const BOOL deleted = realDeleteDC(dc);
    if (deleted) Returned(dc);
    return deleted;
}

int WINAPI LedgerReleaseDC(HWND window, HDC dc) {
    GivingBack(dc);
    Returned(dc);  // a context of a window class's own is handed back too, though it stays
    return realReleaseDC(window, dc);
}

BOOL WINAPI LedgerEndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint) GivingBack(paint->hdc);
    return realEndPaint(window, paint);
}

HGDIOBJ WINAPI LedgerSelectObject(HDC dc, HGDIOBJ object) {
    {
        Book& book = TheBook();
        std::lock_guard guard(book.lock);
        book.contexts.insert(dc);
    }
    return realSelectObject(dc, object);
}

BOOL WINAPI LedgerDeleteObject(HGDIOBJ object) {
    Book& book = TheBook();
    // Asked outside the lock: the windows answer through their window procedures.
    const bool windowFont = GetObjectType(object) == OBJ_FONT && AWindowUsesFont(object);
    {
        std::lock_guard guard(book.lock);
        const DWORD type = GetObjectType(object);
        if (book.stock.contains(object))
            Breach(book, std::string("the stock ") + TypeName(type) + " was deleted");
        else if (Selectable(type) && HoldsInAnyContext(book, object, type))
            Breach(book, std::string("a ") + TypeName(type) + " was deleted while selected into a context");
        else if (windowFont)
            Breach(book, "a font was deleted while a window still draws with it");
    }
    const BOOL deleted = realDeleteObject(object);
    if (deleted) {
        std::lock_guard guard(book.lock);
        book.live.erase(object);
    }
    return deleted;
}

struct Redirect {
    const char* dll;
    const char* name;
    void* ledger;
    void* real;  // where the real function's address goes
};

template <typename F>
Redirect Route(const char* dll, const char* name, F ledger, F& real) {
    return Redirect{dll, name, reinterpret_cast<void*>(ledger), reinterpret_cast<void*>(&real)};
}

void WriteSlot(ULONG_PTR& slot, void* value) {
    DWORD oldProtection = 0;
    VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &oldProtection);
    slot = reinterpret_cast<ULONG_PTR>(value);
    VirtualProtect(&slot, sizeof slot, oldProtection, &oldProtection);
}

// Points the program's import slots of the named functions at the ledger.
void RedirectImports(const std::vector<Redirect>& redirects) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name;
         ++dll) {
        const char* dllName = reinterpret_cast<const char*>(base + dll->Name);
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Redirect& r : redirects) {
                if (lstrcmpiA(dllName, r.dll) != 0 || std::strcmp(byName->Name, r.name) != 0) continue;
                *static_cast<ULONG_PTR*>(r.real) = slots->u1.Function;
                WriteSlot(slots->u1.Function, r.ledger);
            }
        }
    }
}

}  // namespace

namespace GdiLedger {

void Install() {
    Book& book = TheBook();
    for (int i = WHITE_BRUSH; i <= DC_PEN; ++i)
        if (HGDIOBJ stock = GetStockObject(i)) book.stock.insert(stock);
    HDC memory = CreateCompatibleDC(nullptr);
    book.stock.insert(GetCurrentObject(memory, OBJ_BITMAP));  // the 1 x 1 bitmap of a new memory context
    DeleteDC(memory);

    RedirectImports({
        Route("gdi32.dll", "CreateBitmap", &LedgerCreateBitmap, realCreateBitmap),
        Route("gdi32.dll", "CreateCompatibleDC", &LedgerCreateCompatibleDC, realCreateCompatibleDC),
        Route("gdi32.dll", "CreateCompatibleBitmap", &LedgerCreateCompatibleBitmap, realCreateCompatibleBitmap),
        Route("gdi32.dll", "CreateDIBSection", &LedgerCreateDIBSection, realCreateDIBSection),
        Route("gdi32.dll", "CreateFontIndirectW", &LedgerCreateFontIndirectW, realCreateFontIndirectW),
        Route("gdi32.dll", "CreatePatternBrush", &LedgerCreatePatternBrush, realCreatePatternBrush),
        Route("gdi32.dll", "CreatePen", &LedgerCreatePen, realCreatePen),
        Route("gdi32.dll", "CreateSolidBrush", &LedgerCreateSolidBrush, realCreateSolidBrush),
        Route("gdi32.dll", "DeleteDC", &LedgerDeleteDC, realDeleteDC),
        Route("gdi32.dll", "DeleteObject", &LedgerDeleteObject, realDeleteObject),
        Route("gdi32.dll", "SelectObject", &LedgerSelectObject, realSelectObject),
        Route("user32.dll", "LoadImageW", &LedgerLoadImageW, realLoadImageW),
        Route("user32.dll", "LoadBitmapW", &LedgerLoadBitmapW, realLoadBitmapW),
        Route("user32.dll", "CopyImage", &LedgerCopyImage, realCopyImage),
        Route("user32.dll", "GetDC", &LedgerGetDC, realGetDC),
        Route("user32.dll", "ReleaseDC", &LedgerReleaseDC, realReleaseDC),
        Route("user32.dll", "EndPaint", &LedgerEndPaint, realEndPaint),
    });
}

void SetContext(const std::string& testCase) {
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    book.testCase = testCase;
}

int LiveObjects() {
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    return int(book.live.size() + book.borrowed.size());
}

std::vector<std::string> Breaches() {
    Book& book = TheBook();
    std::lock_guard guard(book.lock);
    return book.breaches;
}

}  // namespace GdiLedger

int GdiGrowthOver(int times, const std::function<void()>& cycle) {
    cycle();
    const int before = GdiLedger::LiveObjects();
    for (int i = 0; i < times; ++i) cycle();
    return GdiLedger::LiveObjects() - before;
}
