#include "runtime/SysUtils.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

#include "StringIds.h"

std::string LoadStr(unsigned id) {
    wchar_t buffer[1024];
    int n = LoadStringW(GetModuleHandleW(nullptr), id, buffer, int(std::size(buffer)));
    return ToUtf8(std::wstring_view(buffer, n > 0 ? size_t(n) : 0));
}

namespace {
bool IsPlaceholder(std::string_view pattern, size_t at) {
    if (at + 1 >= pattern.size()) return false;
    const char kind = pattern[at + 1];
    return kind == 's' || kind == 'd' || kind == 'p';
}
}  // namespace

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto arg = args.begin();
    size_t copied = 0;
    size_t at = pattern.find('%');
    while (at != std::string_view::npos && arg != args.end()) {
        if (IsPlaceholder(pattern, at)) {
            out.append(pattern.substr(copied, at - copied)).append(*arg++);
            copied = at + 2;
            at = pattern.find('%', copied);
        } else {
            at = pattern.find('%', at + 1);
        }
    }
    out.append(pattern.substr(copied));
    return out;
}

std::string FormatText(std::string_view pattern, std::string_view arg) {
    return FormatText(pattern, {arg});
}

std::string FormatText(std::string_view pattern, long long arg) {
    return FormatText(pattern, std::string_view(std::to_string(arg)));
}

std::string InOutErrorMessage(int errorCode) {
    switch (errorCode) {
        case 2: return LoadStr(SFileNotFound);
        case 3: return LoadStr(SInvalidFilename);
        case 4: return LoadStr(STooManyOpenFiles);
        case 5: return LoadStr(SAccessDenied);
        case 100: return LoadStr(SEndOfFile);
        case 101: return LoadStr(SDiskFull);
        case 106: return LoadStr(SInvalidInput);
        default: return FormatText(LoadStr(SInOutError), errorCode);
    }
}

EInOutError::EInOutError(int errorCode) : Exception(InOutErrorMessage(errorCode)), errorCode_(errorCode) {}

void RaiseLastInOutError() {
    throw EInOutError(int(GetLastError()));
}

std::wstring ToWide(std::string_view utf8) {
    std::wstring wide(utf8.size(), L'\0');  // UTF-8 never needs more UTF-16 units than bytes
    const int n = utf8.empty() ? 0
                               : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()));
    wide.resize(size_t(std::max(n, 0)));
    return wide;
}

std::string ToUtf8(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(std::max(size, 0)), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string AnsiLowerCase(const std::string& s) {
    std::wstring wide = ToWide(s);
    if (!wide.empty()) CharLowerBuffW(wide.data(), DWORD(wide.size()));
    return ToUtf8(wide);
}

std::string AnsiUpperCase(const std::string& s) {
    std::wstring wide = ToWide(s);
    if (!wide.empty()) CharUpperBuffW(wide.data(), DWORD(wide.size()));
    return ToUtf8(wide);
}

int AnsiCompareText(const std::string& a, const std::string& b) {
    const std::wstring wa = ToWide(a), wb = ToWide(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(), int(wa.size()), wb.data(), int(wb.size())) -
           CSTR_EQUAL;
}

std::string ModuleFileName() {
    // The path may be longer than MAX_PATH; the buffer grows until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) return ToUtf8(std::wstring_view(path.data(), n));
        path.resize(path.size() * 2);
    }
}

namespace {
// A byte that continues a UTF-8 character rather than starting one.
bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset where character number index begins (the size when past the end).
size_t OffsetOfChar(std::string_view utf8, size_t index) {
    size_t at = 0;
    for (size_t seen = 0; at < utf8.size(); ++at) {
        if (IsContinuation(utf8[at])) continue;
        if (seen++ == index) return at;
    }
    return utf8.size();
}
}  // namespace

size_t CharCount(std::string_view utf8) {
    return size_t(std::count_if(utf8.begin(), utf8.end(), [](char c) { return !IsContinuation(c); }));
}

std::string FirstChars(std::string_view utf8, size_t count) {
    return std::string(utf8.substr(0, OffsetOfChar(utf8, count)));
}

std::string DropLastChars(std::string_view utf8, size_t count) {
    const size_t chars = CharCount(utf8);
    return chars > count ? FirstChars(utf8, chars - count) : std::string();
}

namespace {
TFormatSettings gFormatSettings;
bool gFormatSettingsRead = false;

bool ReadLocale(LCID locale, LCTYPE type, std::string& out) {
    wchar_t buffer[80];
    int n = GetLocaleInfoW(locale, type, buffer, int(std::size(buffer)));
    if (n <= 1) return false;
    out = ToUtf8(std::wstring_view(buffer, size_t(n - 1)));
    return true;
}
}  // namespace

void GetFormatSettings() {
    TFormatSettings s;
    const LCID locale = GetSystemDefaultLCID();
    std::string value;
    if (ReadLocale(locale, LOCALE_ITLZERO, value)) s.hourLeadingZero = value != "0";
    if (ReadLocale(locale, LOCALE_ITIME, value)) s.twelveHourClock = value == "0";
    if (ReadLocale(locale, LOCALE_STIME, value)) s.timeSeparator = value;
    if (ReadLocale(locale, LOCALE_S1159, value)) s.timeAMString = value;
    if (ReadLocale(locale, LOCALE_S2359, value)) s.timePMString = value;
    s.longTimeFormat = std::string(s.hourLeadingZero ? "hh" : "h") + ":mm:ss" + (s.twelveHourClock ? " AMPM" : "");
    gFormatSettings = s;
    gFormatSettingsRead = true;
}

const TFormatSettings& FormatSettings() {
    if (!gFormatSettingsRead) GetFormatSettings();
    return gFormatSettings;
}
