// Every function the host calls. Each does what the host asked through the
// layers below; none keeps state of its own.
#include "module/exports.h"

#include <cstring>

#include "engine/engine_settings.h"
#include "host/fixed_text.h"
#include "host/host_link.h"
#include "host/reporting.h"
#include "platform/error_report.h"
#include "protocol/conversation.h"
#include "protocol/dialect.h"
#include "protocol/search_driver.h"
#include "protocol/search_state.h"

using cecp::g_host;
using cecp::g_search;
using cecp::g_settings;

namespace {

constexpr char kDefaultAuthor[] = "Tervalund GmbH";
constexpr std::int32_t kEngineStrength = 2400;
constexpr std::uint32_t kModuleCapabilities = 0x4002010;
constexpr std::size_t kModuleExtensionLength = 4;  // ".eng"
constexpr std::size_t kProblemSize = 512;

}  // namespace

extern "C" {

std::int32_t CECP_CALL Eng1(void* infoBlock, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                            std::uint32_t openParam) {
    if (infoBlock == nullptr) return 1;
    if (g_search.engineOpen || cecp::SearchRunning() || g_host.infoBlock.load() != nullptr) return 1;
    if (g_search.engineOpen.exchange(1) != 0) return 1;  // another thread has just opened

    g_host.infoBlock = infoBlock;
    cecp::StoreField<std::uint32_t>(infoBlock, cecp::info_block::kOpenParam, openParam);
    char problem[kProblemSize] = "";
    if (!cecp::OpenEngine(problem, sizeof problem)) {
        g_host.infoBlock = nullptr;
        g_search.engineOpen.exchange(0);
        if (problem[0] != '\0') cecp::platform::ShowError(g_settings.engineFileName, problem);
        return 9;
    }
    return 0;
}

std::int32_t CECP_CALL Eng2() {
    if (g_search.engineOpen == 0) return 0;
    cecp::CloseEngine();
    g_host.infoBlock = nullptr;
    return g_search.engineOpen.exchange(0);
}

void CECP_CALL Eng3() { cecp::StopSearch(); }

std::int32_t CECP_CALL Eng4() { return cecp::SearchRunning() ? 1 : 0; }

std::int32_t CECP_CALL Eng5() { return g_search.engineOpen; }

// The default stays until the next open refills the field from the settings.
const char* CECP_CALL Eng6() {
    if (g_settings.authorName[0] == '\0') cecp::CopyText(g_settings.authorName, kDefaultAuthor);
    return g_settings.authorName;
}

// Without a display name in the settings, the module's file name less its
// extension (a name shorter than an extension is kept whole).
const char* CECP_CALL Eng7() {
    if (g_settings.engineName[0] == '\0') {
        cecp::CopyText(g_settings.engineName, g_settings.engineFileName);
        std::size_t length = std::strlen(g_settings.engineName);
        if (length >= kModuleExtensionLength) g_settings.engineName[length - kModuleExtensionLength] = '\0';
    }
    return g_settings.engineName;
}

std::int32_t CECP_CALL Eng8() { return kEngineStrength; }

void CECP_CALL Eng9(void* record) {
    if (record != nullptr) cecp::RunSearch(record);
}

void CECP_CALL Eng10() { cecp::PonderReplyPlayed(); }

void CECP_CALL Eng11() {}

std::uint32_t CECP_CALL Eng12() { return kModuleCapabilities; }

void CECP_CALL Eng15() {
    cecp::DialectUse use;
    if (use) use.dialect().reset(use.state());
}

void CECP_CALL ShowNodes(std::int64_t nodes) { cecp::ReportNodes(nodes); }

void CECP_CALL ShowDepth(std::int32_t depth, std::int16_t depthExtra) { cecp::ReportDepth(depth, depthExtra); }

void CECP_CALL ShowMove(cecp::MoveWord move, std::int16_t number, std::int16_t count) {
    cecp::ReportCurrentMove(move, number, count);
}

void CECP_CALL ShowMainline(const cecp::MoveWord* moves, std::int32_t count, std::int16_t score) {
    cecp::ReportMainLineMoves(moves, count, score);
}

}  // extern "C"
