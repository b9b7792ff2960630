// Untyped file access with a record size of one byte: positions and sizes
// are byte counts. Every failure raises EInOutError with the system's code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/Handles.h"

class TUntypedFile {
public:
    // The platform's WriteFile, replaceable so that tests can make a write fail part-way.
    using WriteProc = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static WriteProc& WriteSeam();
    // The platform's FlushFileBuffers and CloseHandle, replaceable in the same way.
    using HandleProc = BOOL(WINAPI*)(HANDLE);
    static HandleProc& FlushSeam();
    static HandleProc& CloseSeam();

    TUntypedFile() = default;

    // Opens an existing file; the default is read-and-write, others may only read meanwhile.
    void Reset(const std::string& path, DWORD access = GENERIC_READ | GENERIC_WRITE, DWORD share = FILE_SHARE_READ);
    bool IsOpen() const { return handle_.Valid(); }
    int64_t Size() const;
    int64_t Position() const;
    void Seek(int64_t position);
    // Reads exactly count bytes ("Read beyond end of file" otherwise).
    void BlockRead(void* buffer, uint32_t count);
    // Writes exactly count bytes ("Disk full" otherwise).
    void BlockWrite(const void* buffer, uint32_t count);
    // Cuts the file at the current position.
    void Truncate();
    // Makes the system write what it holds for the file to the disk.
    void Flush();
    // Closes the file; a failure of the system's close raises.
    void Close();

private:
    UniqueFileHandle handle_;
};
