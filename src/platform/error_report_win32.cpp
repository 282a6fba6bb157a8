#include "platform/error_report.h"

#include <windows.h>

namespace cecp::platform {

void ShowError(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace cecp::platform
