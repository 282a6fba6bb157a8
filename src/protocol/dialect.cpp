#include "protocol/dialect.h"

#include "engine/engine_config.h"
#include "protocol/search_state.h"

namespace cecp {

extern const Dialect kClassicDialect;
extern const Dialect kProtocol2Dialect;
extern const Dialect kUciDialect;

const Dialect* DialectNamed(const char* value) {
    DialectKind kind;
    if (!ReadDialectSetting(value, &kind)) return nullptr;
    switch (kind) {
    case DialectKind::kProtocol2: return &kProtocol2Dialect;
    case DialectKind::kUci: return &kUciDialect;
    case DialectKind::kClassic: break;
    }
    return &kClassicDialect;
}

const Dialect& OpenDialect() {
    const Dialect* dialect = g_search.dialect.load();
    return dialect != nullptr ? *dialect : kClassicDialect;
}

}  // namespace cecp
