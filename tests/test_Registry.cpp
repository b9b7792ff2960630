// The registry writer against the real registry of the test prefix. Every
// test works below a key of its own, named after the process, and removes it.
#include <doctest.h>

#include <windows.h>

#include <string>

#include "Registry.h"
#include "runtime/Handles.h"

namespace {

std::string ScratchName(const std::string& stem) {
    return stem + "_brumiktest_" + std::to_string(GetCurrentProcessId());
}

// A key path reserved for one test: gone before it starts and after it ends.
class ScratchKey {
public:
    ScratchKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) { Remove(); }
    ~ScratchKey() { Remove(); }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    const std::string& Path() const { return path_; }

private:
    void Remove() { RegDeleteTreeW(root_, ToWide(path_).c_str()); }
    HKEY root_;
    std::string path_;
};

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, ToWide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A value as the registry reports it when asked directly.
struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    DWORD size = 0;    // in bytes
    std::string text;  // up to the first zero character
};

// The bytes a text takes in the registry: UTF-16 with its terminating zero.
DWORD StoredSize(const std::string& text) {
    return DWORD((ToWide(text).size() + 1) * sizeof(wchar_t));
}

StoredValue QueryValue(HKEY root, const std::string& path, const std::string& name) {
    StoredValue value;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, ToWide(path).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return value;
    UniqueRegKey key(raw);
    wchar_t buffer[512] = {};
    value.size = sizeof buffer;
    value.found = RegQueryValueExW(key.Get(), ToWide(name).c_str(), nullptr, &value.type,
                                   reinterpret_cast<BYTE*>(buffer), &value.size) == ERROR_SUCCESS;
    value.text = ToUtf8(buffer);
    return value;
}

}  // namespace

TEST_SUITE("Registry writer") {
    TEST_CASE("a new writer starts below HKEY_CURRENT_USER with no key open and lazy writing") {
        TRegistry registry;
        CHECK(registry.RootKey() == HKEY_CURRENT_USER);
        CHECK(registry.CurrentKey() == nullptr);
        CHECK(registry.CurrentPath().empty());
        CHECK(registry.LazyWrite());
    }

    TEST_CASE("creating a type's shell\\open\\command below HKEY_CLASSES_ROOT makes the missing levels") {
        const std::string type = ScratchName("mp3_file");
        ScratchKey scratch(HKEY_CLASSES_ROOT, type);
        const std::string command = type + "\\shell\\open\\command";
        TRegistry registry;
        registry.SetRootKey(HKEY_CLASSES_ROOT);
        REQUIRE(registry.OpenKey(type, true));
        registry.WriteString("", "Plik MP3");
        registry.CloseKey();
        REQUIRE_FALSE(KeyExists(HKEY_CLASSES_ROOT, type + "\\shell"));

        REQUIRE(registry.OpenKey(command, true));
        CHECK(KeyExists(HKEY_CLASSES_ROOT, type + "\\shell"));
        CHECK(KeyExists(HKEY_CLASSES_ROOT, type + "\\shell\\open"));
        CHECK(KeyExists(HKEY_CLASSES_ROOT, command));
        CHECK(registry.CurrentKey() != nullptr);
        CHECK(registry.CurrentPath() == command);

        registry.WriteString("", "\"C:\\Program Files\\Brumik\\Brumik.exe\" \"%1\"");
        CHECK(QueryValue(HKEY_CLASSES_ROOT, command, "").text == "\"C:\\Program Files\\Brumik\\Brumik.exe\" \"%1\"");
        CHECK(QueryValue(HKEY_CLASSES_ROOT, type, "").text == "Plik MP3");
    }

    TEST_CASE("a relative path is opened below the open key and extends the current path") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        REQUIRE(registry.OpenKey("Child\\Grandchild", true));
        CHECK(registry.CurrentPath() == scratch.Path() + "\\Child\\Grandchild");
        registry.WriteString("Where", "deep");
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path() + "\\Child\\Grandchild", "Where").text == "deep");
        CHECK_FALSE(KeyExists(HKEY_CURRENT_USER, "Child"));
    }

    TEST_CASE("a path beginning with a backslash is resolved from the root while a key is open") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path() + "\\Inner", true));
        REQUIRE(registry.OpenKey("\\" + scratch.Path() + "\\Absolute", true));
        CHECK(registry.CurrentPath() == scratch.Path() + "\\Absolute");
        CHECK(KeyExists(HKEY_CURRENT_USER, scratch.Path() + "\\Absolute"));
        CHECK_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Path() + "\\Inner\\" + scratch.Path()));
        registry.WriteString("", "from the root");
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path() + "\\Absolute", "").text == "from the root");
    }

    TEST_CASE("the default value is stored as a string with its terminating zero") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        registry.WriteString("", "Plik MP3");
        registry.WriteString("Icon", "C:\\Brumik.exe,0");
        registry.WriteString("Empty", "");

        const StoredValue standard = QueryValue(HKEY_CURRENT_USER, scratch.Path(), "");
        REQUIRE(standard.found);
        CHECK(standard.type == REG_SZ);
        CHECK(standard.size == StoredSize("Plik MP3"));
        CHECK(standard.text == "Plik MP3");
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Icon").size == StoredSize("C:\\Brumik.exe,0"));
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Empty").size == StoredSize(""));
    }

    TEST_CASE("Polish text is stored as the system's Unicode text, letter for letter") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        registry.WriteString("Opis", "Plik dźwiękowy Łódź");
        const StoredValue stored = QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Opis");
        CHECK(stored.text == "Plik dźwiękowy Łódź");
        CHECK(stored.size == StoredSize("Plik dźwiękowy Łódź"));
    }

    TEST_CASE("opening a missing key without creating it answers false and keeps the open key") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        const HKEY open = registry.CurrentKey();

        CHECK_FALSE(registry.OpenKey("Missing", false));
        CHECK_FALSE(registry.OpenKey("\\" + scratch.Path() + "\\Missing", false));
        CHECK(registry.CurrentKey() == open);
        CHECK(registry.CurrentPath() == scratch.Path());
        CHECK_FALSE(KeyExists(HKEY_CURRENT_USER, scratch.Path() + "\\Missing"));
        registry.WriteString("Still", "here");
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Still").text == "here");
    }

    TEST_CASE("an existing key opens without creating") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path() + "\\Existing", true));
        registry.CloseKey();
        REQUIRE(registry.OpenKey(scratch.Path() + "\\Existing", false));
        CHECK(registry.CurrentPath() == scratch.Path() + "\\Existing");
    }

    TEST_CASE("setting the root it already has keeps the key open; another root closes it") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        const HKEY open = registry.CurrentKey();

        registry.SetRootKey(HKEY_CURRENT_USER);
        CHECK(registry.CurrentKey() == open);
        CHECK(registry.CurrentPath() == scratch.Path());
        registry.WriteString("Kept", "yes");
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Kept").text == "yes");

        registry.SetRootKey(HKEY_CLASSES_ROOT);
        CHECK(registry.RootKey() == HKEY_CLASSES_ROOT);
        CHECK(registry.CurrentKey() == nullptr);
        CHECK(registry.CurrentPath().empty());
    }

    TEST_CASE("closing the key leaves no key to write into") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        SUBCASE("lazy writing") {}
        SUBCASE("forced writing") { registry.SetLazyWrite(false); }
        REQUIRE(registry.OpenKey(scratch.Path(), true));
        registry.WriteString("Kept", "after closing");
        registry.CloseKey();
        CHECK(registry.CurrentKey() == nullptr);
        CHECK(registry.CurrentPath().empty());
        CHECK(QueryValue(HKEY_CURRENT_USER, scratch.Path(), "Kept").text == "after closing");
        CHECK_THROWS_WITH_AS(registry.WriteString("Kept", "again"), "Failed to set data for 'Kept'",
                             ERegistryException);
    }

    TEST_CASE("writing with no key open raises with the value's name") {
        TRegistry registry;
        CHECK_THROWS_WITH_AS(registry.WriteString("", "mp3_file"), "Failed to set data for ''", ERegistryException);
        registry.SetRootKey(HKEY_CLASSES_ROOT);
        CHECK_THROWS_WITH_AS(registry.WriteString("Icon", "x"), "Failed to set data for 'Icon'", ERegistryException);
    }

    TEST_CASE("a write the registry refuses raises with the value's name") {
        ScratchKey scratch(HKEY_CURRENT_USER, ScratchName("Software\\Brumik"));
        TRegistry registry;
        REQUIRE(registry.OpenKey(scratch.Path() + "\\Doomed", true));
        REQUIRE(RegDeleteTreeW(HKEY_CURRENT_USER, ToWide(scratch.Path() + "\\Doomed").c_str()) == ERROR_SUCCESS);
        CHECK_THROWS_WITH_AS(registry.WriteString("", "lost"), "Failed to set data for ''", ERegistryException);
    }
}
