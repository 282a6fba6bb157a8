#include "platform/module_path.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

namespace cecp::platform {

bool ModuleFilePath(char* out, std::size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    const char* name = info.dli_fname;
    std::size_t used = 0;
    // A module opened by a relative path is anchored at the working directory
    // of the moment, so that the engine's paths stay valid later. Symbolic
    // links are kept: the engines folder is the one the module was found in.
    if (name[0] != '/') {
        if (getcwd(out, size) == nullptr) {
            out[0] = '\0';
            return false;
        }
        used = std::strlen(out);
        if (used + 1 >= size) {
            out[0] = '\0';
            return false;
        }
        if (used == 0 || out[used - 1] != '/') out[used++] = '/';
        while (name[0] == '.' && name[1] == '/') name += 2;
    }
    std::size_t length = std::strlen(name);
    if (used + length + 1 > size) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out + used, name, length + 1);
    return true;
}

}  // namespace cecp::platform
