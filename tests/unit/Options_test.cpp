// Option files: the grammar (table of texts and the entries they give),
// value conversion, the typed lookups, the cache, and hostile input.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "TestFiles.h"
#include "config/OptionsParser.h"

namespace
{
struct ParseResult
{
    bool valid = false;
    COptionList list;
    COptionsParser::SyntaxError error;
};

// Feeds raw bytes (NULs included) through a real stream.
ParseResult ParseText(const std::string& bytes)
{
    ParseResult result;
    std::FILE* file = tmpfile();  // fmemopen may refuse an empty buffer
    if (file == nullptr)
        ADD_FAILURE() << "tmpfile failed";
    if (file == nullptr)
        return result;
    fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);
    result.valid = COptionsParser::ParseFileForVariable(file, &result.list, &result.error);
    fclose(file);
    return result;
}

using testfiles::DescribeEntries;

struct GrammarCase
{
    const char* label;
    std::string text;
    bool valid;
    std::string entries;  // DescribeEntries() of the list when valid
    int errorLine = 0;    // when invalid and not 0: the line reported
};

void RunTable(const std::vector<GrammarCase>& cases)
{
    for (const GrammarCase& c : cases)
    {
        ParseResult result = ParseText(c.text);
        EXPECT_EQ(result.valid, c.valid) << c.label;
        if (c.valid && result.valid)
        {
            EXPECT_EQ(DescribeEntries(result.list), c.entries) << c.label;
        }
        if (c.errorLine != 0)
        {
            EXPECT_EQ(result.error.line, c.errorLine) << c.label;
        }
    }
}

std::string Repeat(char c, size_t count) { return std::string(count, c); }

class OptionFiles : public ::testing::Test
{
protected:
    void SetUp() override { COptionsParser::ClearCache(); }
    void TearDown() override { COptionsParser::ClearCache(); }

    // Writes the file and returns its path.
    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(tmp.Path(name), std::ios::binary) << text;
        return tmp.Path(name);
    }

    testfiles::TempDir tmp;
};
}  // namespace

TEST(OptionGrammar, NumbersReadLikeScanf)
{
    RunTable({
        {"octal", "iX = 010;", true, "iX=I8"},
        {"hexadecimal", "iX = 0x10; iY = 0X1f;", true, "iX=I16 iY=I31"},
        {"8 is no octal digit", "iX = 08;", true, "iX=I0"},
        {"exponent without point is an int", "iX = 1e5;", true, "iX=I1"},
        {"exponent with point", "dX = 1.5e3;", true, "dX=D1500"},
        {"negative double", "dX = -2.25;", true, "dX=D-2.25"},
        {"point without decimals", "dX = 1.;", true, "dX=D1"},
        {"trailing junk ignored", "dX = 1.5abc; iX = 12ab;", true, "dX=D1.5 iX=I12"},
        {"incomplete exponent", "dX = 2.5e; dY = 2.5e+x;", true, "dX=D2.5 dY=D2.5"},
        {"negative hex", "iX = -0x10;", true, "iX=I-16"},
        {"integer without point stays Int", "dX = 5;", true, "dX=I5"},
        {"32-bit bounds", "a = 2147483647; b = -2147483648;", true,
         "a=I2147483647 b=I-2147483648"},
        {"beyond 32 bits clamps", "a = 2147483648; b = 99999999999; c = -99999999999;", true,
         "a=I2147483647 b=I2147483647 c=I-2147483648"},
        {"only decimal floats", "dX = 0x1.8p1;", true, "dX=D0"},
    });
}

TEST(OptionGrammar, BoolsStringsAndValuesThatStoreNothing)
{
    RunTable({
        {"bools in any case", "a = TRUE; b = False; c = true;", true, "a=B1 b=B0 c=B1"},
        {"1 is an Int, not a Bool", "bX = 1;", true, "bX=I1"},
        {"quoted text keeps ; = and //", "s = \"a b;c=d // e\";", true, "s=S'a b;c=d // e'"},
        {"empty quoted text", "s = \"\";", true, "s=S''"},
        {"quoted text spans lines", "s = \"a\r\nb\";", true, "s=S'a\nb'"},
        {"unquoted word", "strX = abc;", true, ""},
        {"leading point", "fX = .5;", true, ""},
        {"plus sign", "iX = +5;", true, ""},
        {"lone minus", "iX = -;", true, ""},
        {"minus and letter", "iX = -x;", true, ""},
        {"minus and point", "dX = -.;", true, ""},
        {"yes is no bool", "bX = yes; bY = on;", true, ""},
        {"nothing stored, later statements read", "s = abc; iY = 2;", true, "iY=I2"},
    });
}

TEST(OptionGrammar, StatementsAndSeparators)
{
    RunTable({
        {"empty file", "", true, ""},
        {"whitespace only", " \t\n \r\n ", true, ""},
        {"comments only", "// one\n/* two */ // three", true, ""},
        {"no spaces needed", "iScreenWidth=800;", true, "iScreenWidth=I800"},
        {"statement over lines with comments",
         "iScreenWidth // name\n = /* equals */\n 800 // value\n ;", true, "iScreenWidth=I800"},
        {"several on one line", "a=1;b=2; c = 3 ;", true, "a=I1 b=I2 c=I3"},
        {"names are kept exactly", "a/b = 1; \"q n\" = 2;", true, "a/b=I1 \"q n=I2"},
        {"last ; is the last byte", "iX = 1;", true, "iX=I1"},
        {"line break after the last ;", "iX = 1;\n", true, "iX=I1"},
        {"missing ; between statements", "iX = 1\r\n\r\niY = 2;", false, "", 3},
        {"missing final ;", "iX = 1", false, ""},
        {"missing final ; before space", "iX = 1 \n", false, ""},
        {"stray ; between statements", "iX = 1; ; iY = 2;", false, ""},
        {"lone ;", ";", false, ""},
        {"missing =", "iX 1;", false, ""},
        {"name alone", "iX", false, ""},
        {"cut after =", "iX =", false, ""},
        {"cut inside value", "\niX = \"abc\n\n", false, "", 2},
        {"word cut off by the end is not looked at", "iX = 1 junk", true, "iX=I1"},
    });
}

TEST(OptionGrammar, CommentsAndLineEnds)
{
    RunTable({
        {"CR LF line ends", "iX = 1;\r\niY = 2;\r\n", true, "iX=I1 iY=I2"},
        {"lone CR is whitespace", "iX\r=\r3;\r", true, "iX=I3"},
        {"lone CR splits a word", "iX = 1\r2;", false, ""},
        {"CR only", "\r\r\r", true, ""},
        {"line comment after CR LF", "iX = 1;//c\r\niY = 2;", true, "iX=I1 iY=I2"},
        {"line comment at the end without LF", "iX = 1; // end", true, "iX=I1"},
        {"open block comment between statements", "iX = 1;\r/* open\n", false, "", 2},
        {"open block comment inside a statement", "iX = /* open", false, ""},
        {"several stars close", "/* x **/ iX = 1;", true, "iX=I1"},
        {"/*/ does not close", "/*/ iX = 1; */ iY = 2;", true, "iY=I2"},
        {"comments do not nest", "/* /* */ iX = 1; */", false, ""},
        {"slash and another byte are dropped", "/xiX = 1;", true, "iX=I1"},
        {"slash as the last byte", "iX = 1; /", true, "iX=I1"},
        {"slash inside a word", "iX = 1/2;", true, "iX=I1"},
    });
}

TEST(OptionGrammar, LengthLimits)
{
    const std::string name2047 = Repeat('n', 2047);
    const std::string text2046 = Repeat('t', 2046);
    RunTable({
        {"2047-character name", name2047 + " = 1;", true, name2047 + "=I1"},
        {"2048-character name", Repeat('n', 2048) + " = 1;", false, ""},
        {"quote and 2046 characters", "s = \"" + text2046 + "\";", true,
         "s=S'" + text2046 + "'"},
        {"quote and 2047 characters", "s = \"" + Repeat('t', 2047) + "\";", false, ""},
        {"64 KiB quoted value", "s = \"" + Repeat('a', 65536) + "\";", false, ""},
        {"64 KiB of spaces before a statement", Repeat(' ', 65536) + "iX = 1;", true, "iX=I1"},
        {"2047-character line comment", "//" + Repeat('c', 2047) + "\niX = 1;", true, "iX=I1"},
        // A failed read must not pass for a clean end of file that silently
        // drops the statements after it.
        {"2048-character line comment", "//" + Repeat('c', 2048) + "\niX = 1;", false, ""},
        {"long comment after a statement", "iX = 1; //" + Repeat('c', 5000) + "\n", false, ""},
    });
}

TEST(OptionGrammar, NulBytesNeverMatchAName)
{
    ParseResult result = ParseText(std::string("i\0X = 1; s = \"a\0b\"; iY = 2;", 27));
    ASSERT_TRUE(result.valid);
    EXPECT_EQ(result.list.entries.size(), 3u);
    EXPECT_EQ(result.list.GetInt("i", -1), -1);
    EXPECT_EQ(result.list.GetInt("iX", -1), -1);
    EXPECT_STREQ(result.list.GetString("s", "none"), "a");
    EXPECT_EQ(result.list.GetInt("iY", -1), 2);
}

TEST(OptionGrammar, DecimalPointIgnoresTheLocale)
{
    const char* chosen = setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    if (chosen == nullptr)
        chosen = setlocale(LC_NUMERIC, "de_DE.UTF-8");
    testfiles::TempDir generated;
    if (chosen == nullptr && access("/usr/share/i18n/locales/de_DE", R_OK) == 0 &&
        system(("localedef -c -i de_DE -f UTF-8 '" + generated.Path("de_DE.UTF-8") +
                "' >/dev/null 2>&1").c_str()) == 0)
    {
        // No comma locale installed: one compiled into a private directory.
        setenv("LOCPATH", generated.dir.c_str(), 1);
        chosen = setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    if (chosen == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma available";

    char printed[16];
    snprintf(printed, sizeof printed, "%.1f", 1.5);
    const std::string comma = printed;
    ParseResult result = ParseText("dX = 1.5; dY = 2.25e1;");
    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");

    EXPECT_EQ(comma, "1,5") << "the locale does not use a decimal comma";
    ASSERT_TRUE(result.valid);
    EXPECT_EQ(DescribeEntries(result.list), "dX=D1.5 dY=D22.5");
}

TEST(OptionLookups, TypesDecideTheFirstEntryWinsAndOutPointersGetTheResult)
{
    ParseResult result = ParseText(
        "iX = 1.5; iX = 2; dInt = 5; dTenth = 0.1; bX = TRUE; bOne = 1;"
        "sX = \"text\"; sNum = 3; iScreenWidth = 800; iY = 3; bN = false;");
    ASSERT_TRUE(result.valid);
    const COptionList& list = result.list;

    EXPECT_EQ(list.GetInt("iX", 7), 7) << "only the first iX, a Double, is consulted";
    EXPECT_DOUBLE_EQ(list.GetDouble("iX", 7.0), 1.5);
    EXPECT_EQ(list.GetDouble("dInt", -1.0), 5.0);
    EXPECT_EQ(list.GetFloat("dInt", -1.0f), -1.0f) << "GetFloat wants a decimal point";
    EXPECT_EQ(list.GetFloat("dTenth", -1.0f), 0.1f);
    EXPECT_EQ(list.GetInt("dTenth", -1), -1);
    EXPECT_TRUE(list.GetBool("bX", false));
    EXPECT_FALSE(list.GetBool("bOne", false));
    EXPECT_STREQ(list.GetString("sX", "none"), "text");
    EXPECT_EQ(list.GetInt("iscreenwidth", -1), -1) << "names are case-sensitive";
    EXPECT_EQ(list.GetInt("iScreenWidth", -1), 800);
    EXPECT_EQ(list.GetInt("missing", 42), 42);
    const char* fallback = "fallback";
    EXPECT_EQ(list.GetString("sNum", fallback), fallback) << "the default pointer itself";
    EXPECT_EQ(list.GetString("missing", fallback), fallback);

    int i = 0, iDefault = 0;
    double d = 0;
    float f = 0, fDefault = 0;
    bool b = true;
    const char* s = nullptr;
    list.GetInt("iY", 9, &i);
    list.GetDouble("dTenth", 9, &d);
    list.GetFloat("dTenth", 9, &f);
    list.GetBool("bN", true, &b);
    list.GetString("sX", "d", &s);
    list.GetInt("none", 9, &iDefault);
    list.GetFloat("iY", 4.5f, &fDefault);
    EXPECT_EQ(i, 3);
    EXPECT_EQ(d, 0.1);
    EXPECT_EQ(f, 0.1f);
    EXPECT_FALSE(b);
    EXPECT_STREQ(s, "text");
    EXPECT_EQ(iDefault, 9);
    EXPECT_EQ(fDefault, 4.5f);
}

TEST_F(OptionFiles, CacheIsCaseInsensitiveAndReloadReplacesTheList)
{
    const std::string path = Write("scene.opt", "sX = \"old\";");
    COptionList* first = COptionsParser::ParseFile(path.c_str(), false);
    ASSERT_NE(first, nullptr);
    const char* oldText = first->GetString("sX", "");
    Write("scene.opt", "sX = \"new\";");
    EXPECT_EQ(COptionsParser::ParseFile(path.c_str(), false), first);
    EXPECT_EQ(COptionsParser::ParseFile(tmp.Path("Scene.OPT").c_str(), false), first);
    EXPECT_STREQ(first->GetString("sX", ""), "old") << "changes after the first read are not seen";

    COptionList* second = COptionsParser::ParseFile(path.c_str(), true);
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetString("sX", ""), "new");
    EXPECT_EQ(COptionsParser::ParseFile(tmp.Path("SCENE.opt").c_str(), false), second);
    EXPECT_STREQ(oldText, "old") << "texts of a replaced list stay valid";
    EXPECT_TRUE(tmp.Messages().empty());
}

TEST_F(OptionFiles, MissingFileIsLoggedEveryTimeAndInvalidOnesAreNotCached)
{
    const std::string missing = tmp.Path("graphics.opt");
    EXPECT_EQ(COptionsParser::ParseFile(missing.c_str(), false), nullptr);
    EXPECT_EQ(COptionsParser::ParseFile(missing.c_str(), false), nullptr);
    const std::string expected =
        "COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier " + missing;
    EXPECT_EQ(tmp.Messages(), (std::vector<std::string>{expected, expected}));

    const std::string path = Write("b.opt", "iX = 1\niY = 2;");
    EXPECT_EQ(COptionsParser::ParseFile(path.c_str(), false), nullptr);
    Write("b.opt", "iX = 1;\niY = 2;");
    COptionList* list = COptionsParser::ParseFile(path.c_str(), false);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetInt("iY", 0), 2);

    ASSERT_EQ(mkdir(tmp.Path("dir.opt").c_str(), 0700), 0);
    EXPECT_EQ(COptionsParser::ParseFile(tmp.Path("dir.opt").c_str(), false), nullptr);
    COptionList unused;
    EXPECT_FALSE(COptionsParser::ParseFileForVariable(nullptr, &unused));
    EXPECT_EQ(tmp.Messages().back(), "COptionsParser::ParseFileForVariable -- Erreur : fichier invalide.");
    EXPECT_EQ(tmp.Messages().size(), 5u) << "the invalid file and the directory are logged once";
}
