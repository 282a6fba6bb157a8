// Telling the user that the engine could not be started.
#pragma once

namespace cecp::platform {

// Windows: a message box with no owner, caption and text, and an OK button.
// Elsewhere: "caption: text" on standard error.
void ShowError(const char* caption, const char* text);

}  // namespace cecp::platform
