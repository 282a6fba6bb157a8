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

struct ProfileCase {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    std::size_t size;
    const char* expected;
};

void PrintTo(const ProfileCase& c, std::ostream* out) { *out << c.name; }

class ProfileReader : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileReader, AnswersAsTheWin32Reader) {
    const ProfileCase& c = GetParam();
    test::ScratchFolder folder;
    auto path = folder.path() / "engine.init";
    test::WriteFile(path, c.file);
    char out[1024];
    std::memset(out, 'X', sizeof out);
    std::size_t length = platform::ReadProfileString(path.string().c_str(), c.section, c.key, out, c.size);
    EXPECT_EQ(std::string(out), c.expected);
    EXPECT_EQ(length, std::string(c.expected).size());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileReader,
    ::testing::Values(
        ProfileCase{"plain", "[Support]\nAnalyzeMode=true\n", "Support", "AnalyzeMode", 510, "true"},
        ProfileCase{"crlf_lines", "[Support]\r\nAnalyzeMode=true\r\nPonderMode=false\r\n", "Support",
                    "PonderMode", 510, "false"},
        ProfileCase{"section_and_key_ignore_case", "[SUPPORT]\nanalyzemode=yes\n", "Support", "AnalyzeMode",
                    510, "yes"},
        ProfileCase{"blanks_around_key_and_value", "  [Parameter]  \n  Author   =   Jane Doe   \n",
                    "Parameter", "Author", 126, "Jane Doe"},
        ProfileCase{"blanks_inside_brackets_are_dropped", "[ Parameter ]\nAuthor=x\n", "Parameter",
                    "Author", 126, "x"},
        ProfileCase{"quoted_value_one_longer_than_the_buffer", "[Parameter]\nEngine=\"abcd\"\n",
                    "Parameter", "Engine", 5, "abc"},
        ProfileCase{"quoted_value_filling_the_buffer", "[Parameter]\nEngine=\"abcd\"\n", "Parameter",
                    "Engine", 6, "abcd"},
        ProfileCase{"empty_quotes_give_the_empty_text", "[Parameter]\nEngine=\"\"\n", "Parameter", "Engine",
                    126, ""},
        ProfileCase{"empty_quotes_into_a_single_byte", "[Parameter]\nEngine=''\n", "Parameter", "Engine", 1, ""},
        ProfileCase{"ctrl_z_is_a_blank", "[Parameter]\nEngine=x\x1a\n\x1a", "Parameter", "Engine", 126,
                    "x"},
        ProfileCase{"lone_cr_ends_a_line", "[Parameter]\rEngine=cr\r", "Parameter", "Engine", 126, "cr"},
        ProfileCase{"first_key_wins", "[Parameter]\nEngine=first\nEngine=second\n", "Parameter", "Engine",
                    126, "first"},
        ProfileCase{"only_first_section_of_a_name_is_searched",
                    "[Parameter]\nAuthor=a\n[Support]\n[Parameter]\nEngine=late\n", "Parameter", "Engine",
                    126, ""},
        ProfileCase{"keys_before_any_section_belong_to_none", "Engine=nobody\n[Parameter]\n", "Parameter",
                    "Engine", 126, ""},
        ProfileCase{"comment_lines_are_not_keys", "[Parameter]\n;Engine=commented\nEngine=real\n",
                    "Parameter", "Engine", 126, "real"},
        ProfileCase{"key_without_equals_has_no_value", "[Parameter]\nEngine\nEngine=later\n", "Parameter",
                    "Engine", 126, ""},
        ProfileCase{"empty_value", "[Parameter]\nEngine=\n", "Parameter", "Engine", 126, ""},
        ProfileCase{"missing_section", "[Support]\nEngine=x\n", "Parameter", "Engine", 126, ""},
        ProfileCase{"missing_key", "[Parameter]\nAuthor=x\n", "Parameter", "Engine", 126, ""},
        ProfileCase{"value_keeps_inner_equals_and_case", "[Parameter]\nCommandLine=--hash=64 -X Y\n",
                    "Parameter", "CommandLine", 510, "--hash=64 -X Y"},
        ProfileCase{"double_quotes_are_removed", "[Parameter]\nCommandLine=\"-a b\"\n", "Parameter",
                    "CommandLine", 510, "-a b"},
        ProfileCase{"single_quotes_are_removed", "[Parameter]\nEngine='Name'\n", "Parameter", "Engine", 126,
                    "Name"},
        ProfileCase{"unpaired_quote_stays", "[Parameter]\nEngine=\"Name\n", "Parameter", "Engine", 126,
                    "\"Name"},
        ProfileCase{"inner_quotes_stay", "[Parameter]\nCommandLine=-x \"a b\"\n", "Parameter", "CommandLine",
                    510, "-x \"a b\""},
        ProfileCase{"value_cut_to_buffer", "[Parameter]\nEngine=abcdefghij\n", "Parameter", "Engine", 6,
                    "abcde"},
        ProfileCase{"bracket_without_close_is_a_key", "[Parameter]\n[Engine=odd\nEngine=x\n", "Parameter",
                    "Engine", 126, "x"},
        ProfileCase{"section_name_up_to_last_bracket", "[Para]meter]\nEngine=x\n", "Para]meter", "Engine",
                    126, "x"},
        ProfileCase{"tabs_are_blanks", "[Parameter]\n\tEngine\t=\tTabbed\t\n", "Parameter", "Engine", 126,
                    "Tabbed"},
        ProfileCase{"blank_lines_between", "\n\n[Parameter]\n\n\nEngine=x\n\n", "Parameter", "Engine", 126,
                    "x"},
        ProfileCase{"no_final_line_feed", "[Parameter]\nEngine=last", "Parameter", "Engine", 126, "last"},
        ProfileCase{"utf8_byte_order_mark", "\xEF\xBB\xBF[Parameter]\nEngine=x\n", "Parameter", "Engine",
                    126, "x"}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

// A section's entries as one list: "KEY=VALUE" texts, each NUL-ended.
struct SectionCase {
    const char* name;
    const char* file;
    std::size_t size;
    std::string expected;  // the list, its NULs written as '|'
};

void PrintTo(const SectionCase& c, std::ostream* out) { *out << c.name; }

class ProfileSection : public ::testing::TestWithParam<SectionCase> {};

TEST_P(ProfileSection, ListsTheEntriesAsTheWin32Reader) {
    const SectionCase& c = GetParam();
    test::ScratchFolder folder;
    auto path = folder.path() / "engine.init";
    test::WriteFile(path, c.file);
    char out[256];
    std::memset(out, 'X', sizeof out);
    std::size_t length = platform::ReadProfileSection(path.string().c_str(), "Options", out, c.size);
    std::string list;
    for (std::size_t i = 0; i < length; ++i) list += out[i] == '\0' ? '|' : out[i];
    EXPECT_EQ(list, c.expected);
    EXPECT_EQ(out[length], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileSection,
    ::testing::Values(
        SectionCase{"entries_in_order", "[Options]\nHash=64\nThreads=2\n", 256, "Hash=64|Threads=2|"},
        SectionCase{"blanks_around_name_and_value_dropped", "[Options]\n  Skill Level  =  5  \n", 256,
                    "Skill Level=5|"},
        SectionCase{"section_matched_without_case_and_first_wins",
                    "[OPTIONS]\nA=1\n[Other]\nB=2\n[options]\nC=3\n", 256, "A=1|"},
        SectionCase{"comments_and_blank_lines_left_out", "[Options]\n; a comment\n\nA=1\n", 256, "A=1|"},
        SectionCase{"line_without_equals_kept_as_key", "[Options]\nLonely\nA=1\n", 256, "Lonely|A=1|"},
        SectionCase{"value_keeps_its_inner_equals_and_quotes", "[Options]\nPath=\"a=b c\"\n", 256,
                    "Path=\"a=b c\"|"},
        SectionCase{"missing_section_gives_the_empty_list", "[Support]\nA=1\n", 256, ""},
        SectionCase{"empty_section", "[Options]\n[Support]\nA=1\n", 256, ""},
        SectionCase{"cut_within_the_second_entry", "[Options]\nA=1\nB=23456789\n", 10, "A=1|B=23"},
        SectionCase{"cut_within_the_first_entry", "[Options]\nAbcdefghijkl=1\n", 8, "Abcdef"},
        SectionCase{"an_entry_that_fills_the_buffer_counts_as_cut", "[Options]\nAbc\nB=1\n", 5, "Abc"},
        SectionCase{"a_last_entry_that_fills_the_buffer_counts_as_cut", "[Options]\nAbc\n", 5, "Abc"}),
    [](const ::testing::TestParamInfo<SectionCase>& info) { return std::string(info.param.name); });

TEST(ProfileReaderLimits, CutsALongValueToTheBuffer) {
    test::ScratchFolder folder;
    auto path = folder.path() / "engine.init";
    test::WriteFile(path, "[Support]\nAnalyzeMode=" + std::string(600, 'v') + "\n");
    char out[510];
    EXPECT_EQ(platform::ReadProfileString(path.string().c_str(), "Support", "AnalyzeMode", out, sizeof out),
              509u);
    EXPECT_EQ(std::string(out), std::string(509, 'v'));
}

TEST(ProfileReaderLimits, MissingFileGivesTheEmptyText) {
    test::ScratchFolder folder;
    char out[16] = "unchanged";
    EXPECT_EQ(platform::ReadProfileString((folder.path() / "none.init").string().c_str(), "Support",
                                          "AnalyzeMode", out, sizeof out),
              0u);
    EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace cecp
