#include "protocol/dialect.h"

#include "engine/engine_config.h"
#include "platform/thread.h"
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

namespace {
// The uses held on this thread: a host that closes the engine from inside a
// notification of the search it runs holds one itself.
thread_local int t_usesHeld = 0;
}  // namespace

DialectUse::DialectUse() {
    ++t_usesHeld;
    g_search.dialectUsers.fetch_add(1);
    state_ = g_search.dialectState.load();
    dialect_ = g_search.dialect.load();
    if (dialect_ == nullptr) state_ = nullptr;
}

DialectUse::~DialectUse() {
    g_search.dialectUsers.fetch_sub(1);
    --t_usesHeld;
}

DialectState* SwapOpenDialect(const Dialect* dialect, DialectState* state) {
    if (state != nullptr) {
        g_search.dialect = dialect;
        return g_search.dialectState.exchange(state);
    }
    DialectState* old = g_search.dialectState.exchange(nullptr);
    while (g_search.dialectUsers.load() > t_usesHeld) platform::SleepMilliseconds(1);
    // Closed from inside an operation of this thread, which goes on with the
    // state when the close returns: it is left to the end of the process.
    if (t_usesHeld != 0) old = nullptr;
    g_search.dialect = nullptr;
    return old;
}

}  // namespace cecp
