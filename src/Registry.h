// Writing string values into the Windows registry: one open key at a time,
// below a chosen root key.
#pragma once

#include <windows.h>

#include <string>

#include "Classes.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

class ERegistryException : public Exception {
    using Exception::Exception;
};

class TRegistry : public TObject {
public:
    // The system's RegCreateKeyExW, replaceable so that tests can make a place refuse a write.
    using CreateKeyProc = LSTATUS(WINAPI*)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                           PHKEY, LPDWORD);
    static CreateKeyProc& CreateKeySeam();

    TRegistry() = default;
    ~TRegistry() override;

    // The predefined key below which paths are resolved (never closed here).
    HKEY RootKey() const { return rootKey_; }
    // A different root closes the open key; the same root leaves it open.
    void SetRootKey(HKEY root);

    // The key opened last, or nullptr when none is open.
    HKEY CurrentKey() const { return currentKey_.Get(); }
    // Path of CurrentKey below RootKey.
    const std::string& CurrentPath() const { return currentPath_; }

    // When false, closing a key forces its changes to disk.
    bool LazyWrite() const { return lazyWrite_; }
    void SetLazyWrite(bool lazyWrite) { lazyWrite_ = lazyWrite; }

    // Opens (or, with canCreate, creates with any missing parents) the key
    // named by key: from RootKey when it begins with "\", otherwise from the
    // open key if there is one. On success it replaces the open key; on
    // failure nothing changes and the answer is false.
    bool OpenKey(const std::string& key, bool canCreate);
    // Whether the key named by key exists and may be read; the open key stays as it is.
    bool KeyExists(const std::string& key);
    // Stores value as a string (REG_SZ) named name in the open key; an empty
    // name is the key's default value. Raises ERegistryException on failure.
    void WriteString(const std::string& name, const std::string& value);
    void CloseKey();

private:
    HKEY rootKey_ = HKEY_CURRENT_USER;
    UniqueRegKey currentKey_;
    std::string currentPath_;
    bool lazyWrite_ = true;
};
