#include "runtime/FileIO.h"

#include "runtime/SysUtils.h"

namespace {
constexpr int kReadBeyondEnd = 100;
constexpr int kDiskFull = 101;
constexpr int kFileNotOpen = 103;
}  // namespace

TUntypedFile::WriteProc& TUntypedFile::WriteSeam() {
    static WriteProc proc = &WriteFile;
    return proc;
}

TUntypedFile::HandleProc& TUntypedFile::FlushSeam() {
    static HandleProc proc = &FlushFileBuffers;
    return proc;
}

TUntypedFile::HandleProc& TUntypedFile::CloseSeam() {
    static HandleProc proc = &CloseHandle;
    return proc;
}

void TUntypedFile::Reset(const std::string& path, DWORD access, DWORD share) {
    Close();
    HANDLE h = CreateFileW(ToWide(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) RaiseLastInOutError();
    handle_.Reset(h);
}

int64_t TUntypedFile::Size() const {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_.Get(), &size)) RaiseLastInOutError();
    return size.QuadPart;
}

int64_t TUntypedFile::Position() const {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    LARGE_INTEGER zero{}, pos;
    if (!SetFilePointerEx(handle_.Get(), zero, &pos, FILE_CURRENT)) RaiseLastInOutError();
    return pos.QuadPart;
}

void TUntypedFile::Seek(int64_t position) {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    LARGE_INTEGER to;
    to.QuadPart = position;
    if (!SetFilePointerEx(handle_.Get(), to, nullptr, FILE_BEGIN)) RaiseLastInOutError();
}

void TUntypedFile::BlockRead(void* buffer, uint32_t count) {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    DWORD done = 0;
    if (!ReadFile(handle_.Get(), buffer, count, &done, nullptr)) RaiseLastInOutError();
    if (done != count) throw EInOutError(kReadBeyondEnd);
}

void TUntypedFile::BlockWrite(const void* buffer, uint32_t count) {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    DWORD done = 0;
    if (!WriteSeam()(handle_.Get(), buffer, count, &done, nullptr)) RaiseLastInOutError();
    if (done != count) throw EInOutError(kDiskFull);
}

void TUntypedFile::Truncate() {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    if (!SetEndOfFile(handle_.Get())) RaiseLastInOutError();
}

void TUntypedFile::Flush() {
    if (!IsOpen()) throw EInOutError(kFileNotOpen);
    if (!FlushSeam()(handle_.Get())) RaiseLastInOutError();
}

void TUntypedFile::Close() {
    if (!IsOpen()) return;
    if (!CloseSeam()(handle_.Release())) RaiseLastInOutError();
}
