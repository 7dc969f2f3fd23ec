#pragma once
// Puts a function of the test's own in place of one a module imports, for as long as it lives: the
// module's import address table entry is swapped, so every call the module makes through it arrives
// here. Tests see what really reaches a system function (and can keep a modal box or a launch away),
// without a seam in the code under test. A module that does not import the function is not hooked.
#include <windows.h>

#include <cstring>

class ImportHook {
public:
    template <typename F> ImportHook(HMODULE module, const char* dll, const char* function, F replacement) {
        if (void** entry = findEntry(module, dll, function)) {
            slot = entry;
            previous = *entry;
            write(reinterpret_cast<void*>(replacement));
        }
    }
    ~ImportHook() {
        if (slot)
            write(previous);
    }
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool installed() const { return slot != nullptr; }
    // The function the module called before: the hook's way on to the system.
    template <typename F> F original() const { return reinterpret_cast<F>(previous); }

private:
    static void** findEntry(HMODULE module, const char* dll, const char* function) {
        auto* base = reinterpret_cast<BYTE*>(module);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress)
            return nullptr;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name;
             ++d) {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 ||
                !d->OriginalFirstThunk)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++addresses) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&addresses->u1.Function);
            }
        }
        return nullptr;
    }
    void write(void* value) {
        DWORD protection = 0;
        ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
        *slot = value;
        ::VirtualProtect(slot, sizeof(void*), protection, &protection);
    }

    void** slot = nullptr;
    void* previous = nullptr;
};
