// Files and folders for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Path of name inside the folder.
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Full Windows path of a file made at build time in the test data folder.
std::string TestDataFile(const std::string& name);
// Removes a folder and everything below it.
void RemoveTree(const std::string& path);
