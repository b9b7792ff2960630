// Exceptions that carry a message text, the program's string table, and the
// input/output error codes of the runtime.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

// Base of every failure the framework and the program raise.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Silent abort: handlers that catch it report nothing.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// Runtime input/output error; ErrorCode is the system error code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

class EOutOfResources : public Exception { using Exception::Exception; };
class EInvalidOperation : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EResNotFound : public Exception { using Exception::Exception; };

// Text of string-table entry id (empty when missing).
std::string LoadStr(unsigned id);

// Replaces the first "%s" or "%d" of pattern with arg.
std::string FormatText(std::string_view pattern, std::string_view arg);
// Replaces the placeholders ("%s", "%d", "%p") of pattern with args in order,
// in one pass: a placeholder inside an arg is kept as it stands.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string FormatText(std::string_view pattern, long long arg);

// Message of the runtime's input/output error for a system error code.
std::string InOutErrorMessage(int errorCode);

// Raises EInOutError for the calling thread's last system error.
[[noreturn]] void RaiseLastInOutError();

// Text inside the program is UTF-8; Windows takes and gives UTF-16. These two
// convert at that boundary (a malformed byte becomes U+FFFD).
std::wstring ToWide(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);

// Lower/upper case by the user's locale, letter by letter.
std::string AnsiLowerCase(const std::string& s);
std::string AnsiUpperCase(const std::string& s);
// Locale-aware comparison with letter case ignored: <0, 0, >0.
int AnsiCompareText(const std::string& a, const std::string& b);

// The full path of the program's own file.
std::string ModuleFileName();

// Number of characters (code points) of a UTF-8 text.
size_t CharCount(std::string_view utf8);
// The first count characters of a UTF-8 text, never cutting one in two.
std::string FirstChars(std::string_view utf8, size_t count);
// The text without its last count characters.
std::string DropLastChars(std::string_view utf8, size_t count);

// The parts of the locale's long time format, read at start and again when
// the system announces a settings change.
struct TFormatSettings {
    bool hourLeadingZero = false;
    bool twelveHourClock = true;
    std::string timeSeparator = ":";
    std::string timeAMString = "am";
    std::string timePMString = "pm";
    // "h:mm:ss AMPM" style pattern built from the parts above.
    std::string longTimeFormat = "h:mm:ss AMPM";
};
const TFormatSettings& FormatSettings();
// Reads the system default locale's settings again.
void GetFormatSettings();
