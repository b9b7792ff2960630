#include "runtime/SysUtils.h"

#include <windows.h>

#include <algorithm>

#include "StringIds.h"

std::string LoadStr(unsigned id) {
    char buffer[1024];
    int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? size_t(n) : 0);
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

std::string AnsiLowerCase(std::string s) {
    if (!s.empty()) CharLowerBuffA(s.data(), DWORD(s.size()));
    return s;
}

std::string AnsiUpperCase(std::string s) {
    if (!s.empty()) CharUpperBuffA(s.data(), DWORD(s.size()));
    return s;
}

int AnsiCompareText(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), int(a.size()), b.data(), int(b.size())) - CSTR_EQUAL;
}

std::wstring WideText(const std::string& s) {
    std::wstring wide(s.size(), L'\0');  // no code page gives more UTF-16 units than bytes
    const int n = s.empty() ? 0 : MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), wide.data(), int(wide.size()));
    wide.resize(size_t(std::max(n, 0)));
    return wide;
}

namespace {
TFormatSettings gFormatSettings;
bool gFormatSettingsRead = false;

bool ReadLocale(LCID locale, LCTYPE type, std::string& out) {
    char buffer[80];
    int n = GetLocaleInfoA(locale, type, buffer, sizeof buffer);
    if (n <= 1) return false;
    out.assign(buffer, size_t(n - 1));
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
