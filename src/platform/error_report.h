// Telling the user that the engine could not be started.
#pragma once

#include <cstddef>

namespace cecp::platform {

// Windows: a message box with no owner, caption and text, and an OK button.
// Elsewhere: "caption: text" on standard error.
void ShowError(const char* caption, const char* text);

// The calling thread's last system error code (GetLastError, errno).
int LastErrorCode();

// The system's text for an error code, NUL-terminated and cut to size - 1
// characters; a code the system has no text for gives "error N".
void ErrorText(int code, char* out, std::size_t size);

}  // namespace cecp::platform
