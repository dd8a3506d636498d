// Modules are shared libraries. The table of loaded modules lives here, once per process,
// so that a module's entry point sees one attach and one detach however many callers load it.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/errors.h"
#include "platform/module.h"
#include "platform/wstring.h"

struct ModuleRecord {
    void* dl;
    const link_map* map;
    std::string path;
    long references;
};

namespace {

std::recursive_mutex g_modulesLock;

std::map<const link_map*, std::unique_ptr<ModuleRecord>>& Modules()
{
    static auto* modules = new std::map<const link_map*, std::unique_ptr<ModuleRecord>>;
    return *modules;
}

const link_map* MapOf(void* dl)
{
    link_map* map = nullptr;
    return dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

std::string ResolvedPath(const char* path)
{
    char buffer[PATH_MAX];
    return realpath(path, buffer) ? std::string(buffer) : std::string(path);
}

// The record behind a handle, or null for a handle that is not (or no longer) loaded, so that
// a stale handle gets an error instead of touching freed memory.
ModuleRecord* FindRecord(HMODULE module)
{
    if (!module) return nullptr;
    for (auto& [map, record] : Modules())
        if (record.get() == module) return record.get();
    return nullptr;
}

DWORD CopyPath(const std::string& path, LPWSTR buffer, DWORD size)
{
    const std::u16string wide = platform::Widen(path);
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    lstrcpynW(buffer, wide.c_str(), static_cast<int>(size));
    if (wide.size() >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(wide.size());
}

}  // namespace

HMODULE LoadLibraryW(LPCWSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string file = platform::Narrow(path);
    std::lock_guard guard(g_modulesLock);
    void* dl = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        SetLastError(access(file.c_str(), F_OK) == 0 ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const link_map* map = MapOf(dl);
    auto& modules = Modules();
    if (auto it = modules.find(map); it != modules.end()) {
        dlclose(dl);  // the table's own reference is enough
        ++it->second->references;
        return it->second.get();
    }
    auto record = std::make_unique<ModuleRecord>(ModuleRecord{dl, map, ResolvedPath(map->l_name), 1});
    HMODULE module = record.get();
    modules.emplace(map, std::move(record));
    if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"))) {
        if (!entry(module, DLL_PROCESS_ATTACH, nullptr)) {
            modules.erase(map);
            dlclose(dl);
            SetLastError(ERROR_DLL_INIT_FAILED);
            return nullptr;
        }
    }
    return module;
}

BOOL FreeLibrary(HMODULE module)
{
    std::lock_guard guard(g_modulesLock);
    if (!FindRecord(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--module->references > 0) return TRUE;
    void* dl = module->dl;
    if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"))) entry(module, DLL_PROCESS_DETACH, nullptr);
    Modules().erase(module->map);
    dlclose(dl);
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    std::lock_guard guard(g_modulesLock);
    ModuleRecord* record = FindRecord(module);
    void* symbol = (record && name) ? dlsym(record->dl, name) : nullptr;
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    if (!module) return CopyPath(ResolvedPath("/proc/self/exe"), buffer, size);
    std::lock_guard guard(g_modulesLock);
    ModuleRecord* record = FindRecord(module);
    if (!record) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return CopyPath(record->path, buffer, size);
}

HMODULE GetModuleHandleFromAddress(const void* address)
{
    Dl_info info;
    link_map* map = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) || !map) return nullptr;
    std::lock_guard guard(g_modulesLock);
    auto it = Modules().find(map);
    return it == Modules().end() ? nullptr : it->second.get();
}

namespace platform {

// The link map of a module (null: the running program), for the resource table lookup.
const void* ModuleLinkMap(HMODULE module)
{
    static const link_map* program = MapOf(dlopen(nullptr, RTLD_NOW));
    if (!module) return program;
    std::lock_guard guard(g_modulesLock);
    ModuleRecord* record = FindRecord(module);
    return record ? record->map : nullptr;
}

}  // namespace platform
