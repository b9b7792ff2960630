#include <doctest.h>

#include <windows.h>

#include <cstring>

#include "TestFiles.h"
#include "runtime/CmdLine.h"
#include "runtime/FileIO.h"
#include "runtime/SysUtils.h"

TEST_CASE("command lines split at blanks and control codes, quotes group and are dropped") {
    using V = std::vector<std::string>;
    CHECK(SplitCommandLine("prog.exe") == V{"prog.exe"});
    CHECK(SplitCommandLine("  prog.exe   a\tb\x01" "c  ") == V{"prog.exe", "a", "b", "c"});
    CHECK(SplitCommandLine("\"C:\\Program Files\\brumik.exe\" \"C:\\Moja muzyka\\a b.mp3\"") ==
          V{"C:\\Program Files\\brumik.exe", "C:\\Moja muzyka\\a b.mp3"});
    CHECK(SplitCommandLine("p x\"y z\"w") == V{"p", "xy zw"});
    CHECK(SplitCommandLine("p \"unterminated quote") == V{"p", "unterminated quote"});
    CHECK(SplitCommandLine("p \"\"") == V{"p", ""});
    CHECK(SplitCommandLine("").empty());
}

TEST_CASE("the program's own path is argument 0 and counts as no argument") {
    CHECK(ParamCount() >= 0);
    std::string self = ParamStr(0);
    CHECK(self.size() > 4);
    CHECK(self.substr(self.size() - 4) == ".exe");
    CHECK(ParamStr(ParamCount() + 1).empty());
}

TEST_CASE("input/output errors carry the runtime's messages") {
    CHECK(EInOutError(2).Message() == "File not found");
    CHECK(EInOutError(3).Message() == "Invalid filename");
    CHECK(EInOutError(4).Message() == "Too many open files");
    CHECK(EInOutError(5).Message() == "File access denied");
    CHECK(EInOutError(100).Message() == "Read beyond end of file");
    CHECK(EInOutError(101).Message() == "Disk full");
    CHECK(EInOutError(106).Message() == "Invalid numeric input");
    CHECK(EInOutError(21).Message() == "I/O error 21");
}

TEST_CASE("untyped file access reads, writes, seeks and reports failures") {
    TempDir dir;
    const std::string path = dir.File("data.bin");
    WriteText(path, "0123456789");

    TUntypedFile file;
    file.Reset(path);
    CHECK(file.Size() == 10);
    file.Seek(7);
    char three[3];
    file.BlockRead(three, 3);
    CHECK(std::string(three, 3) == "789");
    file.Seek(2);
    file.BlockWrite("ab", 2);
    CHECK(file.Position() == 4);
    CHECK_THROWS_WITH_AS(file.BlockRead(three, 8), "Read beyond end of file", EInOutError);
    CHECK_THROWS_AS(file.Seek(-128), EInOutError);
    file.Close();
    CHECK(ReadBytes(path) == std::vector<uint8_t>{'0', '1', 'a', 'b', '4', '5', '6', '7', '8', '9'});

    CHECK_THROWS_WITH_AS(file.Reset(dir.File("missing.bin")), "File not found", EInOutError);
    CHECK_THROWS_WITH_AS(file.Reset(dir.File("no\\such\\folder.bin")), "Invalid filename", EInOutError);

    // Another handle holding the file for writing keeps us out.
    HANDLE writer = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(writer != INVALID_HANDLE_VALUE);
    try {
        file.Reset(path);
        FAIL("opened a file held for writing");
    } catch (const EInOutError& e) {
        CHECK(e.ErrorCode() == 32);
        CHECK(e.Message() == "I/O error 32");
    }
    CloseHandle(writer);
}

TEST_CASE("a short write reports a full disk") {
    TempDir dir;
    const std::string path = dir.File("short.bin");
    WriteText(path, "xy");
    struct Restore {
        TUntypedFile::WriteProc saved = TUntypedFile::WriteSeam();
        ~Restore() { TUntypedFile::WriteSeam() = saved; }
    } restore;
    TUntypedFile::WriteSeam() = [](HANDLE h, LPCVOID data, DWORD, LPDWORD done, LPOVERLAPPED o) -> BOOL {
        return WriteFile(h, data, 1, done, o);
    };
    TUntypedFile file;
    file.Reset(path);
    CHECK_THROWS_WITH_AS(file.BlockWrite("abc", 3), "Disk full", EInOutError);
}

TEST_CASE("the long time format follows the Polish locale") {
    GetFormatSettings();
    const TFormatSettings& s = FormatSettings();
    CHECK(GetACP() == 1250);
    CHECK(s.timeSeparator == ":");
    CHECK_FALSE(s.twelveHourClock);
    CHECK(s.longTimeFormat == (s.hourLeadingZero ? "hh:mm:ss" : "h:mm:ss"));
}

TEST_CASE("text is UTF-8 inside and UTF-16 at the system, cut by characters") {
    const std::string text = "Zażółć Дом 東京 😀";
    CHECK(std::strlen("Zażółć") == 10);
    CHECK(ToWide(text) == L"Zażółć Дом 東京 \U0001F600");
    CHECK(ToUtf8(ToWide(text)) == text);
    CHECK(ToWide("\xBF") == L"\uFFFD");
    CHECK(CharCount(text) == 15);
    CHECK(FirstChars(text, 3) == "Zaż");
    CHECK(FirstChars(text, 14) == "Zażółć Дом 東京 ");
    CHECK(FirstChars(text, 99) == text);
    CHECK(DropLastChars("Дом.mp3", 4) == "Дом");
    CHECK(DropLastChars("ó", 4).empty());
    CHECK(AnsiUpperCase("zażółć дом") == "ZAŻÓŁĆ ДОМ");
    CHECK(AnsiCompareText("ŁÓDŹ", "łódź") == 0);
}
