#include "platform/module_path.h"

#include <windows.h>

namespace cecp::platform {

bool ModuleFilePath(char* out, std::size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModuleFilePath), &self)) {
        return false;
    }
    DWORD length = GetModuleFileNameA(self, out, static_cast<DWORD>(size));
    // A path that fills the buffer has been cut (and on older systems is not
    // even terminated): it must not be mistaken for a real path.
    if (length == 0 || length >= size) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace cecp::platform
