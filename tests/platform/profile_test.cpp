// The profile reader. The same cases run against GetPrivateProfileStringA in
// the Windows build (under wine) and against the module's own reader on
// Linux, so the two must agree on every answer.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "module_loader.h"

namespace cecp {
namespace {

TEST(ProfileReader, AnswersAsTheWin32Reader) {
    struct Case {
        const char* name;
        const char* file;  // null: there is no file
        const char* section;
        const char* key;
        std::size_t size;
        const char* expected;
    };
    const Case cases[] = {
        {"crlf_lines", "[Support]\r\nAnalyzeMode=true\r\nPonderMode=false\r\n", "Support", "PonderMode", 510, "false"},
        {"section_and_key_ignore_case", "[SUPPORT]\nanalyzemode=yes\n", "Support", "AnalyzeMode", 510, "yes"},
        {"blanks_around_key_and_value", "  [Parameter]  \n  Author   =   Jane Doe   \n",
         "Parameter", "Author", 126, "Jane Doe"},
        {"blanks_inside_brackets_are_dropped", "[ Parameter ]\nAuthor=x\n", "Parameter", "Author", 126, "x"},
        {"tabs_are_blanks", "[Parameter]\n\tEngine\t=\tTabbed\t\n", "Parameter", "Engine", 126, "Tabbed"},
        {"ctrl_z_is_a_blank", "[Parameter]\nEngine=x\x1a\n\x1a", "Parameter", "Engine", 126, "x"},
        {"lone_cr_ends_a_line", "[Parameter]\rEngine=cr\r", "Parameter", "Engine", 126, "cr"},
        {"no_final_line_feed", "[Parameter]\nEngine=last", "Parameter", "Engine", 126, "last"},
        {"utf8_byte_order_mark", "\xEF\xBB\xBF[Parameter]\nEngine=x\n", "Parameter", "Engine", 126, "x"},
        {"double_quotes_are_removed", "[Parameter]\nCommandLine=\"-a b\"\n", "Parameter", "CommandLine", 510, "-a b"},
        {"single_quotes_are_removed", "[Parameter]\nEngine='Name'\n", "Parameter", "Engine", 126, "Name"},
        {"unpaired_quote_stays", "[Parameter]\nEngine=\"Name\n", "Parameter", "Engine", 126, "\"Name"},
        {"inner_quotes_stay", "[Parameter]\nCommandLine=-x \"a b\"\n", "Parameter", "CommandLine", 510, "-x \"a b\""},
        {"quoted_value_one_longer_than_the_buffer", "[Parameter]\nEngine=\"abcd\"\n", "Parameter", "Engine", 5, "abc"},
        {"quoted_value_filling_the_buffer", "[Parameter]\nEngine=\"abcd\"\n", "Parameter", "Engine", 6, "abcd"},
        {"empty_quotes_give_the_empty_text", "[Parameter]\nEngine=\"\"\n", "Parameter", "Engine", 126, ""},
        {"empty_quotes_into_a_single_byte", "[Parameter]\nEngine=''\n", "Parameter", "Engine", 1, ""},
        {"value_cut_to_buffer", "[Parameter]\nEngine=abcdefghij\n", "Parameter", "Engine", 6, "abcde"},
        {"value_keeps_inner_equals_and_case", "[Parameter]\nCommandLine=--hash=64 -X Y\n",
         "Parameter", "CommandLine", 510, "--hash=64 -X Y"},
        {"first_key_wins", "[Parameter]\nEngine=first\nEngine=second\n", "Parameter", "Engine", 126, "first"},
        {"only_first_section_of_a_name_is_searched", "[Parameter]\nAuthor=a\n[Support]\n[Parameter]\nEngine=late\n",
         "Parameter", "Engine", 126, ""},
        {"keys_before_any_section_belong_to_none", "Engine=nobody\n[Parameter]\n", "Parameter", "Engine", 126, ""},
        {"comment_lines_are_not_keys", "[Parameter]\n;Engine=commented\nEngine=real\n",
         "Parameter", "Engine", 126, "real"},
        {"key_without_equals_has_no_value", "[Parameter]\nEngine\nEngine=later\n", "Parameter", "Engine", 126, ""},
        {"empty_value", "[Parameter]\nEngine=\n", "Parameter", "Engine", 126, ""},
        {"bracket_without_close_is_a_key", "[Parameter]\n[Engine=odd\nEngine=x\n", "Parameter", "Engine", 126, "x"},
        {"section_name_up_to_last_bracket", "[Para]meter]\nEngine=x\n", "Para]meter", "Engine", 126, "x"},
        {"missing_section", "[Support]\nEngine=x\n", "Parameter", "Engine", 126, ""},
        {"missing_key", "[Parameter]\nAuthor=x\n", "Parameter", "Engine", 126, ""},
        {"missing_file", nullptr, "Support", "AnalyzeMode", 16, ""},
    };
    for (const Case& c : cases) {
        test::ScratchFolder folder;
        const auto path = folder.path() / "engine.init";
        if (c.file != nullptr) test::WriteFile(path, c.file);
        char out[1024];
        std::memset(out, 'X', sizeof out);
        const std::size_t length = platform::ReadProfileString(path.string().c_str(), c.section, c.key, out, c.size);
        EXPECT_EQ(std::string(out), c.expected) << c.name;
        EXPECT_EQ(length, std::string(c.expected).size()) << c.name;
    }
}

// A section's entries as one list: "KEY=VALUE" texts, each NUL-ended.
TEST(ProfileSection, ListsTheEntriesAsTheWin32Reader) {
    struct Case {
        const char* file;
        std::size_t size;
        std::string expected;  // the list, its NULs written as '|'
    };
    const Case cases[] = {
        {"[Options]\nHash=64\nThreads=2\n", 256, "Hash=64|Threads=2|"},
        {"[Options]\n  Skill Level  =  5  \n", 256, "Skill Level=5|"},
        {"[OPTIONS]\nA=1\n[Other]\nB=2\n[options]\nC=3\n", 256, "A=1|"},
        {"[Options]\n; a comment\n\nA=1\n", 256, "A=1|"},
        {"[Options]\nLonely\nA=1\n", 256, "Lonely|A=1|"},
        {"[Options]\nPath=\"a=b c\"\n", 256, "Path=\"a=b c\"|"},
        {"[Support]\nA=1\n", 256, ""},
        {"[Options]\n[Support]\nA=1\n", 256, ""},
        // Cut within an entry; an entry that fills the buffer counts as cut.
        {"[Options]\nA=1\nB=23456789\n", 10, "A=1|B=23"},
        {"[Options]\nAbcdefghijkl=1\n", 8, "Abcdef"},
        {"[Options]\nAbc\nB=1\n", 5, "Abc"},
        {"[Options]\nAbc\n", 5, "Abc"},
    };
    for (const Case& c : cases) {
        test::ScratchFolder folder;
        const auto path = folder.path() / "engine.init";
        test::WriteFile(path, c.file);
        char out[256];
        std::memset(out, 'X', sizeof out);
        const std::size_t length = platform::ReadProfileSection(path.string().c_str(), "Options", out, c.size);
        std::string list;
        for (std::size_t i = 0; i < length; ++i) list += out[i] == '\0' ? '|' : out[i];
        EXPECT_EQ(list, c.expected) << c.file;
        EXPECT_EQ(out[length], '\0') << c.file;
    }
}

}  // namespace
}  // namespace cecp
