// The host's side of a module's notifications: every Func3 call is routed to
// the handler of its info block. Modules are loaded through module_api.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "module_api.h"

namespace enghost {

// Makes Func3 reach this program: on Windows it loads the stand-in host
// library Kalvo32.dll built for enghost, which the modules import Func3 from.
bool PrepareHostLibrary(std::string* error);

// Whether the file at module loads as an engine module and has every export
// the host calls; false, and why, when not.
bool CheckModule(const std::filesystem::path& module, std::string* problem);

// Notifications for infoBlock go to handler (called on the module's threads)
// until the block is released.
void RouteNotifications(void* infoBlock, std::function<void(std::uint32_t code)> handler);
void ReleaseNotifications(void* infoBlock);
// Called by Func3.
void DispatchNotification(std::uint32_t code, void* infoBlock);

using cecp::host_side::ProgramFolder;

}  // namespace enghost
