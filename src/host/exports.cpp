// The exports that answer the host's simple questions.
#include "host/exports.h"

#include <cstring>

#include "host/adapter_state.h"
#include "host/fixed_text.h"

using cecp::g_state;

namespace {

constexpr char kDefaultAuthor[] = "Tervalund GmbH";
constexpr std::int32_t kEngineStrength = 2400;
constexpr std::uint32_t kModuleCapabilities = 0x4002010;
constexpr std::size_t kModuleExtensionLength = 4;  // ".eng"

}  // namespace

extern "C" {

std::int32_t CECP_CALL Eng4() { return g_state.thinking; }

std::int32_t CECP_CALL Eng5() { return g_state.engineOpen; }

// The default stays until the next open refills the field from the settings.
const char* CECP_CALL Eng6() {
    if (g_state.authorName[0] == '\0') cecp::CopyText(g_state.authorName, kDefaultAuthor);
    return g_state.authorName;
}

// Without a display name in the settings, the module's file name less its
// extension (a name shorter than an extension is kept whole).
const char* CECP_CALL Eng7() {
    if (g_state.engineName[0] == '\0') {
        cecp::CopyText(g_state.engineName, g_state.engineFileName);
        std::size_t length = std::strlen(g_state.engineName);
        if (length >= kModuleExtensionLength) g_state.engineName[length - kModuleExtensionLength] = '\0';
    }
    return g_state.engineName;
}

std::int32_t CECP_CALL Eng8() { return kEngineStrength; }

void CECP_CALL Eng11() {}

std::uint32_t CECP_CALL Eng12() { return kModuleCapabilities; }

}  // extern "C"
