#pragma once

// Registry changes made by a test, undone when the test ends: each value set
// or deleted through this object gets its former type and bytes back, or is
// deleted again when it did not exist, and each key it created is deleted
// with everything below it.
//
// Test programs of one Wine prefix run in parallel and share its registry,
// HKEY_LOCAL_MACHINE included, so every object holds one named mutex for its
// whole life: tests that change the registry through it take turns.

#include <string>
#include <vector>

#include <windows.h>

class RegistryRestore
{
public:
    RegistryRestore() : lock(CreateMutexW(nullptr, FALSE, L"Local\\tarmesh-tests-registry"))
    {
        WaitForSingleObject(lock, INFINITE);
    }
    RegistryRestore(const RegistryRestore&) = delete;
    RegistryRestore& operator=(const RegistryRestore&) = delete;

    virtual ~RegistryRestore()
    {
        for (auto value = values.rbegin(); value != values.rend(); ++value)
            Restore(*value);
        for (auto key = createdKeys.rbegin(); key != createdKeys.rend(); ++key)
            RegDeleteTreeW(key->root, key->path.c_str());
        ReleaseMutex(lock);
        CloseHandle(lock);
    }

    // Creates the key and every missing key above it.
    bool CreateKey(HKEY root, const std::wstring& path)
    {
        for (size_t end = path.find(L'\\'); ; end = path.find(L'\\', end + 1)) {
            const std::wstring part = path.substr(0, end);
            if (!Exists(root, part)) {
                createdKeys.push_back({root, part});
                break;
            }
            if (end == std::wstring::npos)
                return true;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    bool SetBytes(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data,
                  DWORD size)
    {
        if (!CreateKey(root, path) || !Record(root, path, name))
            return false;
        return SetExactly(root, path, name, type, static_cast<const BYTE*>(data), size);
    }

    bool SetNumber(HKEY root, const std::wstring& path, const std::wstring& name, DWORD number)
    {
        return SetBytes(root, path, name, REG_DWORD, &number, sizeof number);
    }

    // The text with its terminator, as Windows' own tools store it.
    bool SetText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
    {
        return SetBytes(root, path, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
    }

    // Succeeds when the value is gone, whether or not it was there.
    bool DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name)
    {
        if (!Record(root, path, name))
            return false;
        const LSTATUS status = RegDeleteKeyValueW(root, path.c_str(), name.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }

private:
    struct Key
    {
        HKEY root;
        std::wstring path;
    };

    struct Value
    {
        HKEY root;
        std::wstring path;
        std::wstring name;
        bool existed;
        DWORD type;
        std::vector<BYTE> bytes;
    };

    static bool Exists(HKEY root, const std::wstring& path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Only the state before the first change counts. The raw bytes are kept,
    // so that text without a terminator comes back without one. False when
    // that state cannot be known: the value must then not be changed.
    [[nodiscard]] bool Record(HKEY root, const std::wstring& path, const std::wstring& name)
    {
        for (const Value& value : values) {
            if (value.root == root && value.path == path && value.name == name)
                return true;
        }
        Value value{root, path, name, false, REG_NONE, {}};
        HKEY key = nullptr;
        const LSTATUS opened = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
        if (opened == ERROR_FILE_NOT_FOUND) {
            values.push_back(value);
            return true;
        }
        if (opened != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
        if (status == ERROR_SUCCESS) {
            value.bytes.resize(size);
            status = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.bytes.data(), &size);
            value.bytes.resize(size);
            value.existed = true;
        }
        RegCloseKey(key);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return false;
        values.push_back(value);
        return true;
    }

    // Windows stores text that lacks its terminator with one when a NUL
    // happens to follow the bytes given; a non-NUL after them keeps the
    // stored bytes exactly the bytes given.
    static bool SetExactly(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                           const BYTE* data, DWORD size)
    {
        std::vector<BYTE> bytes(data, data + size);
        bytes.insert(bytes.end(), {0xFF, 0xFF});
        return RegSetKeyValueW(root, path.c_str(), name.c_str(), type, bytes.data(), size) == ERROR_SUCCESS;
    }

    static void Restore(const Value& value)
    {
        if (value.existed)
            SetExactly(value.root, value.path, value.name, value.type, value.bytes.data(), DWORD(value.bytes.size()));
        else
            RegDeleteKeyValueW(value.root, value.path.c_str(), value.name.c_str());
    }

    HANDLE lock;
    std::vector<Key> createdKeys;
    std::vector<Value> values;
};
