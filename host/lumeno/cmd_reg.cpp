// lumeno reg: the registry as reg.exe shows it, for the values an administrator sets by hand
// (DebugLevel and MaxHeapSize under the driver key, among others).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "platform/win32.h"

namespace lumeno {

namespace {

struct KeyPath {
    HKEY hive;
    std::string hiveName;
    std::string subKey;
};

KeyPath ParseKey(const std::string& text)
{
    const size_t slash = text.find('\\');
    const std::string root = text.substr(0, slash);
    const std::string sub = slash == std::string::npos ? "" : text.substr(slash + 1);
    if (!strcasecmp(root.c_str(), "HKLM") || !strcasecmp(root.c_str(), "HKEY_LOCAL_MACHINE"))
        return {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", sub};
    if (!strcasecmp(root.c_str(), "HKCU") || !strcasecmp(root.c_str(), "HKEY_CURRENT_USER"))
        return {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", sub};
    throw UsageError("a key begins with HKLM or HKCU: \"" + text + "\"");
}

std::string FullName(const KeyPath& key) { return key.subKey.empty() ? key.hiveName : key.hiveName + "\\" + key.subKey; }

std::string StatusText(LSTATUS status)
{
    switch (status) {
    case ERROR_FILE_NOT_FOUND: return "not found";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_CANTOPEN: return "the store cannot be opened";
    case ERROR_CANTWRITE: return "the store cannot be written";
    default: return "error " + std::to_string(status);
    }
}

// An open key that closes itself.
class Key {
public:
    Key(const KeyPath& path, bool create)
    {
        const std::u16string sub = platform::Widen(path.subKey);
        const LSTATUS status = create ? RegCreateKeyExW(path.hive, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                        nullptr, &key_, nullptr)
                                      : RegOpenKeyExW(path.hive, sub.c_str(), 0, KEY_ALL_ACCESS, &key_);
        if (status != ERROR_SUCCESS) throw Failure(FullName(path) + ": " + StatusText(status));
    }
    ~Key() { RegCloseKey(key_); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_NONE";
    }
}

std::u16string WideOf(const std::vector<BYTE>& data)
{
    std::u16string text(data.size() / 2, u'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * 2);
    return text;
}

std::string DataText(DWORD type, const std::vector<BYTE>& data)
{
    char buffer[16];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::u16string text = WideOf(data);
        if (const size_t end = text.find(u'\0'); end != std::u16string::npos) text.resize(end);
        return platform::Narrow(text);
    }
    case REG_MULTI_SZ: {
        std::u16string text = WideOf(data);
        while (!text.empty() && text.back() == u'\0') text.pop_back();
        std::string out;
        for (char16_t c : text) out += c ? platform::Narrow(std::u16string(1, c)) : "\\0";
        return out;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            DWORD v;
            std::memcpy(&v, data.data(), 4);
            std::snprintf(buffer, sizeof buffer, "0x%x", v);
            return buffer;
        }
        [[fallthrough]];
    default: {
        std::string out;
        for (BYTE b : data) {
            std::snprintf(buffer, sizeof buffer, "%02X", b);
            out += buffer;
        }
        return out;
    }
    }
}

void PrintValue(const std::u16string& name, DWORD type, const std::vector<BYTE>& data)
{
    std::printf("    %s    %s    %s\n", name.empty() ? "(Default)" : platform::Narrow(name).c_str(), TypeName(type),
                DataText(type, data).c_str());
}

std::vector<BYTE> QueryValue(HKEY key, const std::u16string& name, DWORD* type)
{
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
    std::vector<BYTE> data(size);
    if (status == ERROR_SUCCESS) status = RegQueryValueExW(key, name.c_str(), nullptr, type, data.data(), &size);
    if (status != ERROR_SUCCESS) throw Failure("value \"" + platform::Narrow(name) + "\": " + StatusText(status));
    data.resize(size);
    return data;
}

void ListKey(const KeyPath& path, HKEY key)
{
    std::printf("%s\n", FullName(path).c_str());
    for (DWORD i = 0;; ++i) {
        WCHAR name[16384];
        DWORD nameSize = 16384, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        PrintValue(name, type, QueryValue(key, name, &type));
    }
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD nameSize = 256;
        if (RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subKeys.push_back(platform::Narrow(name));
    }
    if (!subKeys.empty()) std::printf("\n");
    for (const std::string& sub : subKeys) std::printf("%s\\%s\n", FullName(path).c_str(), sub.c_str());
}

int Query(const Args& args)
{
    ExpectArgs(args, 1, 2, "reg query KEY [VALUE]");
    const KeyPath path = ParseKey(args[0]);
    Key key(path, false);
    if (args.size() == 1) {
        ListKey(path, key.get());
        return 0;
    }
    DWORD type = 0;
    const std::u16string name = platform::Widen(args[1]);
    const std::vector<BYTE> data = QueryValue(key.get(), name, &type);
    std::printf("%s\n", FullName(path).c_str());
    PrintValue(name, type, data);
    return 0;
}

DWORD ParseDword(const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end || errno || v > 0xFFFFFFFFull)
        throw UsageError("not a 32-bit number: \"" + text + "\"");
    return static_cast<DWORD>(v);
}

std::vector<BYTE> ParseBinary(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != ',') digits.push_back(c);
    if (digits.size() % 2 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError("not hexadecimal bytes: \"" + text + "\"");
    std::vector<BYTE> out;
    for (size_t i = 0; i < digits.size(); i += 2) out.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<BYTE> WideBytes(const std::u16string& text)
{
    std::vector<BYTE> out(text.size() * 2);
    if (!out.empty()) std::memcpy(out.data(), text.data(), out.size());
    return out;
}

// Strings of a multi_sz value are separated by the two characters \0, as reg.exe takes them.
std::u16string ParseMultiSz(const std::string& text)
{
    std::u16string out;
    size_t start = 0;
    for (;;) {
        const size_t sep = text.find("\\0", start);
        out += platform::Widen(text.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        out.push_back(u'\0');
        if (sep == std::string::npos) break;
        start = sep + 2;
    }
    out.push_back(u'\0');
    return out;
}

std::vector<BYTE> EncodeData(const std::string& type, const std::string& text, DWORD* regType)
{
    if (type == "sz") {
        *regType = REG_SZ;
        return WideBytes(platform::Widen(text) + u'\0');
    }
    if (type == "dword") {
        *regType = REG_DWORD;
        const DWORD v = ParseDword(text);
        std::vector<BYTE> out(4);
        std::memcpy(out.data(), &v, 4);
        return out;
    }
    if (type == "binary") {
        *regType = REG_BINARY;
        return ParseBinary(text);
    }
    if (type == "multi_sz") {
        *regType = REG_MULTI_SZ;
        return WideBytes(ParseMultiSz(text));
    }
    throw UsageError("TYPE is one of sz, dword, binary, multi_sz: \"" + type + "\"");
}

int Set(const Args& args)
{
    ExpectArgs(args, 4, 4, "reg set KEY VALUE TYPE DATA");
    const KeyPath path = ParseKey(args[0]);
    DWORD type = REG_NONE;
    const std::vector<BYTE> data = EncodeData(args[2], args[3], &type);
    Key key(path, true);
    const LSTATUS status = RegSetValueExW(key.get(), platform::Widen(args[1]).c_str(), 0, type, data.data(),
                                          static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS) throw Failure("value \"" + args[1] + "\": " + StatusText(status));
    return 0;
}

int Delete(const Args& args)
{
    ExpectArgs(args, 1, 2, "reg delete KEY [VALUE]");
    const KeyPath path = ParseKey(args[0]);
    if (args.size() == 2) {
        Key key(path, false);
        const LSTATUS status = RegDeleteValueW(key.get(), platform::Widen(args[1]).c_str());
        if (status != ERROR_SUCCESS) throw Failure("value \"" + args[1] + "\": " + StatusText(status));
        return 0;
    }
    if (path.subKey.empty()) throw UsageError("a hive itself cannot be deleted");
    const LSTATUS status = RegDeleteTreeW(path.hive, platform::Widen(path.subKey).c_str());
    if (status != ERROR_SUCCESS) throw Failure(FullName(path) + ": " + StatusText(status));
    return 0;
}

}  // namespace

int RegCommand(const Args& args)
{
    if (args.empty()) throw UsageError("usage: lumeno reg query|set|delete KEY ...");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "query") return Query(rest);
    if (args[0] == "set") return Set(rest);
    if (args[0] == "delete") return Delete(rest);
    throw UsageError("unknown reg command \"" + args[0] + "\"");
}

}  // namespace lumeno
