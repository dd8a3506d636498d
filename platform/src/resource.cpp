// Each module registers its compiled-in resource table when it is loaded; lookups go from
// the module handle to the table registered by the same image.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/errors.h"
#include "platform/resource.h"
#include "platform/wstring.h"

namespace platform {

const void* ModuleLinkMap(HMODULE module);

namespace {

std::mutex g_resourcesLock;

std::map<const void*, const ResourceTable*>& Tables()
{
    static auto* tables = new std::map<const void*, const ResourceTable*>;
    return *tables;
}

const void* ImageOf(const void* address)
{
    Dl_info info;
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP)) return nullptr;
    return map;
}

const ResourceString* FindString(const ResourceTable* table, UINT id)
{
    if (!table) return nullptr;
    const ResourceString* end = table->strings + table->stringCount;
    const ResourceString* it =
        std::lower_bound(table->strings, end, id, [](const ResourceString& s, UINT key) { return s.id < key; });
    return (it != end && it->id == id) ? it : nullptr;
}

DWORD PackVersion(const WORD v[4], bool high) { return high ? MAKELONG(v[1], v[0]) : MAKELONG(v[3], v[2]); }

}  // namespace

void RegisterModuleResources(const ResourceTable* table)
{
    std::lock_guard guard(g_resourcesLock);
    Tables()[ImageOf(table)] = table;
}

void UnregisterModuleResources(const ResourceTable* table)
{
    std::lock_guard guard(g_resourcesLock);
    Tables().erase(ImageOf(table));
}

const ResourceTable* FindModuleResources(HMODULE module)
{
    const void* image = ModuleLinkMap(module);
    if (!image) return nullptr;
    std::lock_guard guard(g_resourcesLock);
    auto it = Tables().find(image);
    return it == Tables().end() ? nullptr : it->second;
}

}  // namespace platform

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size)
{
    const platform::ResourceString* s = platform::FindString(platform::FindModuleResources(instance), id);
    if (!s || !buffer) {
        SetLastError(s ? ERROR_INVALID_PARAMETER : ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = s->text;
        return static_cast<int>(s->length);
    }
    lstrcpynW(buffer, s->text, size);
    return std::min(static_cast<int>(s->length), size - 1);
}

BOOL GetModuleFixedVersion(HMODULE module, VS_FIXEDFILEINFO* info)
{
    const platform::ResourceTable* table = platform::FindModuleResources(module);
    if (!info || !table || !table->version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    const platform::ResourceVersion& v = *table->version;
    *info = {0xFEEF04BD,
             0x00010000,
             platform::PackVersion(v.fileVersion, true),
             platform::PackVersion(v.fileVersion, false),
             platform::PackVersion(v.productVersion, true),
             platform::PackVersion(v.productVersion, false)};
    return TRUE;
}

BOOL GetModuleVersionString(HMODULE module, LPCSTR name, LPWSTR buffer, DWORD size)
{
    const platform::ResourceTable* table = platform::FindModuleResources(module);
    if (!name || !buffer || size == 0 || !table || !table->version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    for (UINT i = 0; i < table->version->valueCount; ++i) {
        const platform::ResourceVersionValue& value = table->version->values[i];
        if (std::string_view(value.name) == name) {
            lstrcpynW(buffer, value.text, static_cast<int>(size));
            return TRUE;
        }
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
}
