#include "Registry.h"

#include "StringIds.h"
#include "runtime/SysUtils.h"

TRegistry::CreateKeyProc& TRegistry::CreateKeySeam() {
    static CreateKeyProc proc = &RegCreateKeyExW;
    return proc;
}

namespace {

// Opens or creates subKey below base with full access; nullptr on failure.
HKEY OpenOrCreate(HKEY base, const std::string& subKey, bool canCreate) {
    HKEY key = nullptr;
    LSTATUS result;
    // An empty path cannot be created; opening it gives a second handle to base.
    if (canCreate && !subKey.empty()) {
        DWORD disposition = 0;
        result = TRegistry::CreateKeySeam()(base, ToWide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &key, &disposition);
    } else {
        result = RegOpenKeyExW(base, ToWide(subKey).c_str(), 0, KEY_ALL_ACCESS, &key);
    }
    return result == ERROR_SUCCESS ? key : nullptr;
}

[[noreturn]] void RaiseSetDataFailed(const std::string& name) {
    throw ERegistryException(FormatText(LoadStr(SRegSetDataFailed), name));
}

}  // namespace

TRegistry::~TRegistry() {
    CloseKey();
}

void TRegistry::SetRootKey(HKEY root) {
    if (root == rootKey_) return;
    rootKey_ = root;
    CloseKey();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    const bool absolute = !key.empty() && key.front() == '\\';
    const std::string path = absolute ? key.substr(1) : key;
    const bool fromOpenKey = !absolute && currentKey_.Valid();
    HKEY opened = OpenOrCreate(fromOpenKey ? currentKey_.Get() : rootKey_, path, canCreate);
    if (!opened) return false;

    std::string newPath = fromOpenKey ? currentPath_ + "\\" + path : path;
    CloseKey();
    currentKey_.Reset(opened);
    currentPath_ = std::move(newPath);
    return true;
}

bool TRegistry::KeyExists(const std::string& key) {
    const bool absolute = !key.empty() && key.front() == '\\';
    const HKEY base = !absolute && currentKey_.Valid() ? currentKey_.Get() : rootKey_;
    HKEY opened = nullptr;
    // Read access only: a key may be readable to a user who may not change it.
    if (RegOpenKeyExW(base, ToWide(absolute ? key.substr(1) : key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    if (!currentKey_.Valid()) RaiseSetDataFailed(name);
    // Stored in UTF-16; the size counts the terminating zero.
    const std::wstring wide = ToWide(value);
    LSTATUS result = RegSetValueExW(currentKey_.Get(), ToWide(name).c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(wide.c_str()), DWORD((wide.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS) RaiseSetDataFailed(name);
}

void TRegistry::CloseKey() {
    if (!currentKey_.Valid()) return;
    if (!lazyWrite_) RegFlushKey(currentKey_.Get());
    currentKey_.Reset();
    currentPath_.clear();
}
