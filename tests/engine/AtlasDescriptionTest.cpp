#include "engine/AtlasDescription.h"

#include <gtest/gtest.h>

#include <limits>
#include <locale>
#include <sstream>

using namespace velmora;

namespace {

struct Search {
    bool found = false;
    AtlasEntry entry;
    std::string errors;
};

Search search(const std::string& text, const std::string& fileName) {
    std::istringstream description(text);
    std::ostringstream errors;
    Search result;
    result.found = findAtlasEntry(description, fileName, result.entry, errors);
    result.errors = errors.str();
    return result;
}

TEST(AtlasLine, ReadsANameAndFourNumbers) {
    AtlasEntry entry;
    ASSERT_TRUE(parseAtlasLine("Bussi5.png 0.1 0.2 0.3 0.4", entry));
    EXPECT_EQ(entry.name, "Bussi5.png");
    EXPECT_FLOAT_EQ(entry.x, 0.1f);
    EXPECT_FLOAT_EQ(entry.y, 0.2f);
    EXPECT_FLOAT_EQ(entry.w, 0.3f);
    EXPECT_FLOAT_EQ(entry.h, 0.4f);

    // Runs of spaces and tabs, leading white space, signs and exponents.
    ASSERT_TRUE(parseAtlasLine(" \t a.png\t\t-1.5e-1   +2 3E0 .25", entry));
    EXPECT_EQ(entry.name, "a.png");
    EXPECT_FLOAT_EQ(entry.x, -0.15f);
    EXPECT_FLOAT_EQ(entry.y, 2.0f);
    EXPECT_FLOAT_EQ(entry.w, 3.0f);
    EXPECT_FLOAT_EQ(entry.h, 0.25f);
}

TEST(AtlasLine, IgnoresWhatFollowsTheFifthFieldAndATrailingCarriageReturn) {
    AtlasEntry entry;
    ASSERT_TRUE(parseAtlasLine("six.png 1 2 3 4 extra words 5", entry));
    EXPECT_FLOAT_EQ(entry.h, 4.0f);
    ASSERT_TRUE(parseAtlasLine("cr.png 0.5 0.25 0.125 0.0625\r", entry));
    EXPECT_EQ(entry.name, "cr.png");
    EXPECT_FLOAT_EQ(entry.h, 0.0625f);
}

TEST(AtlasLine, RejectsMissingNonNumericAndNonFiniteFields) {
    AtlasEntry entry;
    entry.name = "untouched";
    for (const char* bad : {"", "   ", "four.png 1 2 3", "word.png 1 two 3 4", "a.png 1,5 2 3 4x",
                            "nan.png nan 1 1 1", "inf.png 1 inf 1 1", "huge.png 1 1 1e39 1",
                            "neg.png 1 1 1 -1e39", "only.png"}) {
        EXPECT_FALSE(parseAtlasLine(bad, entry)) << '"' << bad << '"';
    }
    EXPECT_EQ(entry.name, "untouched");
}

TEST(AtlasLine, ReadsNumbersTheSameWhateverTheGlobalLocale) {
    std::locale previous;
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        // No such locale on this machine: the classic one is what we test then.
    }
    AtlasEntry entry;
    const bool parsed = parseAtlasLine("p.png 1.5 2 3 4", entry);
    std::locale::global(previous);
    ASSERT_TRUE(parsed);
    EXPECT_FLOAT_EQ(entry.x, 1.5f);
}

TEST(AtlasSearch, TheLinesNameMustOccurWithinTheRequestedName) {
    const std::string text = "Bussi5.png 0.1 0.2 0.3 0.4\n_full.png 0.5 0.5 0.1 0.1\n";
    Search plain = search(text, "Bussi5.png");
    ASSERT_TRUE(plain.found);
    EXPECT_EQ(plain.entry.name, "Bussi5.png");

    Search full = search(text, "Bussi5_full.png");
    ASSERT_TRUE(full.found);
    EXPECT_EQ(full.entry.name, "_full.png");
    EXPECT_FLOAT_EQ(full.entry.x, 0.5f);

    EXPECT_FALSE(search("Bussi5.png 0.1 0.2 0.3 0.4\n", "Bussi5_full.png").found);
    EXPECT_FALSE(search("", "anything.png").found);
}

TEST(AtlasSearch, TheFirstMatchingLineWinsAndLaterLinesAreNotRead) {
    Search result = search("title.png 0 0 1 1\ntitle.png 0.5 0.5 0.5 0.5\nbroken\n", "title.png");
    ASSERT_TRUE(result.found);
    EXPECT_FLOAT_EQ(result.entry.w, 1.0f);
    EXPECT_EQ(result.errors, ""); // the bad line after the match is never reached
}

TEST(AtlasSearch, ReportsAndSkipsEachLineThatDoesNotParse) {
    const std::string text = "four.png 0.1 0.2 0.3\n"
                             "word.png 0.1 zero 0.3 0.4\n"
                             "\n"
                             "target.png 0.1 0.2 0.3 0.4\n";
    Search result = search(text, "target.png");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.entry.name, "target.png");
    EXPECT_EQ(result.errors, "Error parsing line: four.png 0.1 0.2 0.3\n"
                             "Error parsing line: word.png 0.1 zero 0.3 0.4\n"
                             "Error parsing line: \n");
}

TEST(AtlasSearch, CarriageReturnLinesAndALastLineWithoutLineFeedParse) {
    Search crlf = search("a.png 0 0 1 1\r\nb.png 0.5 0 0.5 1\r\n", "b.png");
    ASSERT_TRUE(crlf.found);
    EXPECT_FLOAT_EQ(crlf.entry.h, 1.0f);
    EXPECT_EQ(crlf.errors, "");
    Search last = search("a.png 0 0 1 1\nb.png 0.5 0 0.5 0.75", "b.png");
    ASSERT_TRUE(last.found);
    EXPECT_FLOAT_EQ(last.entry.h, 0.75f);
}

TEST(AtlasSearch, SurvivesHostileText) {
    std::string longLine(1 << 20, 'x');
    std::string withNul = std::string("nul\0name.png 1 1 1 1\n", 21);
    Search result = search(longLine + "\n" + withNul + "\xff\xfe 1 2 3 4\n", "zzz");
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.errors.rfind("Error parsing line: xxx", 0), 0u);
    // The name with a NUL byte in it is a name like any other.
    Search nul = search(withNul, std::string("a nul\0name.png b", 16));
    EXPECT_TRUE(nul.found);
}

} // namespace
