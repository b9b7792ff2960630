#include "TestFiles.h"

#include <windows.h>

#include <stdexcept>

#include "runtime/SysUtils.h"

namespace {
int gTempCounter = 0;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    path_ = ToUtf8(base) + "brumik-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++gTempCounter);
    RemoveTree(path_);
    if (!CreateDirectoryW(ToWide(path_).c_str(), nullptr)) throw std::runtime_error("cannot make " + path_);
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(ToWide(path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = ToUtf8(data.cFileName);
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            SetFileAttributesW(ToWide(full).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else DeleteFileW(ToWide(full).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(ToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(ToWide(path).c_str());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot read " + path);
    std::vector<uint8_t> bytes(GetFileSize(h, nullptr));
    DWORD done = 0;
    if (!bytes.empty()) ReadFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    CloseHandle(h);
    bytes.resize(done);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
    DWORD done = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    CloseHandle(h);
    if (done != bytes.size()) throw std::runtime_error("short write to " + path);
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TestDataFile(const std::string& name) {
    // The build folder is a Unix path; Wine shows the Unix root as drive Z:.
    std::string path = std::string("Z:") + TEST_DATA_DIR + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
