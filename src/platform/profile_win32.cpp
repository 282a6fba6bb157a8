#include "platform/profile.h"

#include <windows.h>

namespace cecp::platform {

std::size_t ReadProfileString(const char* path, const char* section, const char* key, char* out,
                              std::size_t size) {
    if (size == 0) return 0;
    return GetPrivateProfileStringA(section, key, "", out, static_cast<DWORD>(size), path);
}

std::size_t ReadProfileSection(const char* path, const char* section, char* out, std::size_t size) {
    if (size == 0) return 0;
    return GetPrivateProfileSectionA(section, out, static_cast<DWORD>(size), path);
}

}  // namespace cecp::platform
