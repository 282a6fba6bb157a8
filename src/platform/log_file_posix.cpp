#include <fcntl.h>
#include <unistd.h>

#include "platform/descriptor_posix.h"
#include "platform/log_file.h"
#include "platform/pipe.h"

namespace cecp::platform {

Handle CreateLogFile(const char* path) {
    int fd = KeepDescriptor(open(path, O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
    return fd < 0 ? kNoFile : fd;
}

// The console is the host's standard error, which may well be a pipe.
void WriteBytes(Handle file, const void* data, std::size_t size) {
    if (file != kNoFile) WritePipe(file, data, size);
}

void CloseLogFile(Handle file) {
    if (file != kNoFile) close(static_cast<int>(file));
}

}  // namespace cecp::platform
