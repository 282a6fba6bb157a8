#include "host/info_block.h"

namespace cecp {

void SendNotification(void* infoBlock, Notification code) {
    Func3(code, LoadField<std::uint32_t>(infoBlock, info_block::kNotifyParam1),
          LoadField<std::uint32_t>(infoBlock, info_block::kNotifyParam2), infoBlock);
}

}  // namespace cecp
