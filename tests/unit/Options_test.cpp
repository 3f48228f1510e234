// Option files: the grammar as one table of texts and what they give (the
// entries, or the line and exact reason of the refusal), the typed lookups,
// the cache, and the warnings about keys that had no effect.
#include <gtest/gtest.h>

#include <clocale>
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
    ParseResult r;
    r.valid = testfiles::ReadFromBytes(testfiles::Bytes(bytes.begin(), bytes.end()), [&](std::FILE* f) {
        return COptionsParser::ParseFileForVariable(f, &r.list, &r.error);
    });
    return r;
}

// The entries of a valid text ("iX=I8 dY=D1.5 b=B1 s=S'text'"), or "!line
// reason" for an invalid one.
std::string Outcome(const std::string& text)
{
    ParseResult r = ParseText(text);
    if (r.valid)
        return testfiles::DescribeEntries(r.list);
    return std::string("!").append(std::to_string(r.error.line)).append(" ").append(r.error.reason);
}

struct Row
{
    const char* label;
    std::string text, outcome;
};

void RunTable(const std::vector<Row>& rows)
{
    for (const Row& row : rows)
        EXPECT_EQ(Outcome(row.text), row.outcome) << row.label;
}

const std::string CUT = "instruction inachev\xE9" "e \xE0 la fin du fichier";
const std::string OPEN = "commentaire /* jamais ferm\xE9";
const std::string LONG_WORD = "mot de plus de 2047 caract\xE8res";
const std::string LONG_COMMENT = "commentaire // de plus de 2047 caract\xE8res";
std::string NoEquals(const char* name) { return std::string("'=' attendu apr\xE8s ") + name; }
std::string NoSemicolon(const char* name)
{
    return std::string("';' attendu apr\xE8s la valeur de ") + name;
}
}  // namespace

TEST(OptionGrammar, NumbersReadLikeScanf)
{
    RunTable({
        {"octal", "iX = 010;", "iX=I8"},
        {"hexadecimal", "iX = 0x10; iY = 0X1f; iZ = 0xA;", "iX=I16 iY=I31 iZ=I10"},
        {"8 is no octal digit", "iX = 08;", "iX=I0"},
        {"exponent without point is an int", "iX = 1e5;", "iX=I1"},
        {"exponents with point", "dX = 1.5e3; dY = 1.5e+3; dZ = 2.5E-1;", "dX=D1500 dY=D1500 dZ=D0.25"},
        {"negative double", "dX = -2.25;", "dX=D-2.25"},
        {"point without decimals", "dX = 1.;", "dX=D1"},
        {"trailing junk ignored", "dX = 1.5abc; iX = 12ab;", "dX=D1.5 iX=I12"},
        {"incomplete exponent", "dX = 2.5e; dY = 2.5e+x;", "dX=D2.5 dY=D2.5"},
        {"negative hex", "iX = -0x10;", "iX=I-16"},
        {"integer without point stays Int", "dX = 5;", "dX=I5"},
        {"32-bit bounds", "a = 2147483647; b = -2147483648;", "a=I2147483647 b=I-2147483648"},
        {"beyond 32 bits clamps", "a = 2147483648; b = 99999999999; c = -99999999999;",
         "a=I2147483647 b=I2147483647 c=I-2147483648"},
        {"only decimal floats", "dX = 0x1.8p1;", "dX=D0"},
        {"bools in any case", "a = TRUE; b = False; c = true;", "a=B1 b=B0 c=B1"},
        {"1 is an Int, not a Bool", "bX = 1;", "bX=I1"},
        {"quoted text keeps ; = and //", "s = \"a b;c=d // e\";", "s=S'a b;c=d // e'"},
        {"empty quoted text", "s = \"\";", "s=S''"},
        {"quoted text spans lines", "s = \"a\r\nb\";", "s=S'a\nb'"},
        // Values that are no value store nothing; later statements are read.
        {"no value", "w = abc; f = .5; p = +5; m = -; x = -x; d = -.; y = yes; t = truex; iY = 2;",
         "iY=I2"},
    });
}

TEST(OptionGrammar, StatementsCommentsAndLineEnds)
{
    RunTable({
        {"empty file", "", ""},
        {"whitespace only", " \t\n \r\n ", ""},
        {"comments only", "// one\n/* two */ // three", ""},
        {"no spaces needed", "iScreenWidth=800;", "iScreenWidth=I800"},
        {"statement over lines with comments",
         "iScreenWidth // name\n = /* equals */\n 800 // value\n ;", "iScreenWidth=I800"},
        {"several on one line", "a=1;b=2; c = 3 ;", "a=I1 b=I2 c=I3"},
        {"names are kept exactly", "a/b = 1; \"q n\" = 2;", "a/b=I1 \"q n=I2"},
        {"line break after the last ;", "iX = 1;\n", "iX=I1"},
        {"word cut off by the end is not looked at", "iX = 1 junk", "iX=I1"},
        {"CR LF line ends", "iX = 1;\r\niY = 2;\r\n", "iX=I1 iY=I2"},
        {"lone CR is whitespace", "iX\r=\r3;\r", "iX=I3"},
        {"CR only", "\r\r\r", ""},
        {"line comment after CR LF", "iX = 1;//c\r\niY = 2;", "iX=I1 iY=I2"},
        {"line comment at the end without LF", "iX = 1; // end", "iX=I1"},
        {"several stars close", "/* x **/ iX = 1;", "iX=I1"},
        {"/*/ does not close", "/*/ iX = 1; */ iY = 2;", "iY=I2"},
        {"slash and another byte are dropped", "/xiX = 1;", "iX=I1"},
        {"slash as the last byte", "iX = 1; /", "iX=I1"},
        {"slash inside a word", "iX = 1/2;", "iX=I1"},
        {"missing ; between statements", "iX = 1\r\n\r\niY = 2;", "!3 " + NoSemicolon("iX")},
        {"lone CR splits a word", "iX = 1\r2;", "!2 " + NoSemicolon("iX")},
        {"missing final ;", "iX = 1", "!1 " + CUT},
        {"missing final ; before space", "\niX = 1 \n", "!2 " + CUT},
        {"stray ; between statements", "iX = 1;\n ; iY = 2;", "!2 ';' isol\xE9"},
        {"missing =", "iX\n1;", "!2 " + NoEquals("iX")},
        {"another separator", "iX : 1;", "!1 " + NoEquals("iX")},
        {"name alone", "iX", "!1 " + CUT},
        {"cut after =", "iX =", "!1 " + CUT},
        {"cut inside value", "\niX = \"abc\n\n", "!2 " + CUT},
        {"open block comment between statements", "iX = 1;\r/* open\n", "!2 " + OPEN},
        {"open block comment inside a statement", "iX = /* open", "!1 " + OPEN},
        {"comments do not nest", "/* /* */ iX = 1; */", "!1 " + CUT},
    });
}

TEST(OptionGrammar, LengthLimits)
{
    const std::string name2047 = std::string(2047, 'n');
    const std::string text2046 = std::string(2046, 't');
    RunTable({
        {"2047-character name", name2047 + " = 1;", name2047 + "=I1"},
        {"2048-character name", std::string(2048, 'n') + " = 1;", "!1 " + LONG_WORD},
        {"quote and 2046 characters", "s = \"" + text2046 + "\";", "s=S'" + text2046 + "'"},
        {"quote and 2047 characters", "s = \"" + std::string(2047, 't') + "\";", "!1 " + LONG_WORD},
        {"64 KiB of spaces before a statement", std::string(65536, ' ') + "iX = 1;", "iX=I1"},
        {"2047-character line comment", "//" + std::string(2047, 'c') + "\niX = 1;", "iX=I1"},
        // A failed read must not pass for a clean end of file that silently
        // drops the statements after it.
        {"2048-character line comment", "\n//" + std::string(2048, 'c') + "\niX = 1;", "!2 " + LONG_COMMENT},
        {"long comment after a statement", "iX = 1; //" + std::string(5000, 'c') + "\n", "!1 " + LONG_COMMENT},
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
    EXPECT_EQ(testfiles::DescribeEntries(result.list), "dX=D1.5 dY=D22.5");
}

// The five typed answers for one key, each through the out pointer too:
// "i5 d5 f- b- s-" ('-': the default, the very pointer for a string).
std::string Answers(const COptionList& list, const char* key)
{
    int i = 0;
    double d = 0;
    float f = 0;
    bool b = false;
    const char *dflt = "(default)", *s = nullptr;
    const int ri = list.GetInt(key, -7, &i);
    const double rd = list.GetDouble(key, -7, &d);
    const float rf = list.GetFloat(key, -7, &f);
    const bool rb = list.GetBool(key, false, &b);
    const char* rs = list.GetString(key, dflt, &s);
    if (ri != i || rd != d || rf != f || rb != b || rs != s)
        return "an out pointer differs";
    auto value = [](double v) { return v == -7 ? std::string("-") : testing::PrintToString(v); };
    return "i" + value(i) + " d" + value(d) + " f" + value(f) + " b" +
           (rb == list.GetBool(key, true) ? std::to_string(rb) : "-") + " s" + (s == dflt ? "-" : s);
}

TEST(OptionLookups, TypesDecideAndTheFirstEntryOfANameWins)
{
    ParseResult r = ParseText("iX = 1.5; iX = 2; dInt = 5; dTenth = 0.1; bX = TRUE; bOff = false;"
                              "bOne = 1; sX = \"text\"; sNum = 3;");
    ASSERT_TRUE(r.valid);
    const std::pair<const char*, const char*> rows[] = {
        {"iX", "i- d1.5 f1.5 b- s-"},   // the first iX, a Double
        {"dInt", "i5 d5 f- b- s-"},      // GetFloat wants a decimal point
        {"dTenth", "i- d0.1 f0.1 b- s-"},
        {"bX", "i- d- f- b1 s-"},
        {"bOff", "i- d- f- b0 s-"},
        {"bOne", "i1 d1 f- b- s-"},      // 1 is no Bool
        {"sX", "i- d- f- b- stext"},
        {"sNum", "i3 d3 f- b- s-"},
        {"ix", "i- d- f- b- s-"},        // names are case-sensitive
    };
    for (const auto& [key, answers] : rows)
        EXPECT_EQ(Answers(r.list, key), answers) << key;
}

class OptionFiles : public ::testing::Test
{
protected:
    void SetUp() override { COptionsParser::ClearCache(); }
    void TearDown() override { COptionsParser::ClearCache(); }

    std::string Write(const std::string& name, const std::string& text)
    {
        std::ofstream(tmp.Path(name), std::ios::binary) << text;
        return tmp.Path(name);
    }

    testfiles::TempDir tmp;
};

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

TEST_F(OptionFiles, MissingAndInvalidFilesAreLoggedAndNotCached)
{
    const std::string missing = tmp.Path("graphics.opt");
    EXPECT_EQ(COptionsParser::ParseFile(missing.c_str(), false), nullptr);
    EXPECT_EQ(COptionsParser::ParseFile(missing.c_str(), false), nullptr);
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
    const std::string open = "COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier " + missing;
    EXPECT_EQ(tmp.Messages(),
              (std::vector<std::string>{
                  open, open,
                  "COptionsParser::ParseFile -- Erreur ! Fichier " + path + " mal form\xE9, ligne 2 : " +
                      NoSemicolon("iX"),
                  "COptionsParser::ParseFile -- Erreur ! Fichier " + tmp.Path("dir.opt") +
                      " mal form\xE9, ligne 1 : erreur de lecture",
                  "COptionsParser::ParseFileForVariable -- Erreur : fichier invalide."}));
}

// After start-up every cached file names its keys that had no effect: at
// most 20 lines a file, then how many more.
TEST_F(OptionFiles, KeysWithoutEffectAreWarnedAbout)
{
    std::string many;
    for (int k = 0; k < 22; ++k)
        many += "iUnused" + std::to_string(k) + " = 1;";
    const std::string a = Write("a.opt", "iRead = 1; iTwice = 1; iTwice = 2; dInt = 10; iFloat = 1.5;"
                                         "bWord = yes; sNumber = 3; iUnknown = 4;");
    const std::string b = Write("b.opt", many);
    COptionList* list = COptionsParser::ParseFile(a.c_str(), false);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(COptionsParser::ParseFile(b.c_str(), false), nullptr);
    list->GetInt("iRead", 0);
    list->GetInt("iTwice", 0);
    list->GetFloat("dInt", 0.0f);
    list->GetInt("dInt", 0);
    list->GetInt("iFloat", 0);
    list->GetString("sNumber", "");
    list->GetFloat("sNumber", 0.0f);  // the first refusal is the one named
    COptionsParser::WarnUnreadKeys();
    std::vector<std::string> messages = tmp.Messages();
    ASSERT_EQ(messages.size(), 6u + 21u) << testing::PrintToString(messages);
    const std::string w = "COptionsParser::WarnUnreadKeys -- Avertissement : cl\xE9 ";
    const std::string ignored = " ignor\xE9" "e, valeur par d\xE9" "faut utilis\xE9" "e : il faut ";
    const std::string inA = " du fichier " + a, inB = " du fichier " + b;
    const std::vector<std::string> forA = {
        w + "bWord" + inA + " ignor\xE9" "e, valeur ni nombre, ni true ou false, ni texte entre guillemets",
        w + "iTwice" + inA + " \xE9" "crite plusieurs fois, seule la premi\xE8re compte",
        w + "dInt" + inA + ignored + "un nombre avec un point d\xE9" "cimal",
        w + "iFloat" + inA + ignored + "un entier",
        w + "sNumber" + inA + ignored + "un texte entre guillemets",
        w + "iUnknown" + inA + " jamais lue (nom inconnu, ou sans effet dans ce cas)",
    };
    // The files come in the cache's order, whichever that is.
    const bool aFirst = messages[0].find(inA) != std::string::npos;
    EXPECT_EQ(std::vector<std::string>(messages.begin() + (aFirst ? 0 : 21),
                                       messages.begin() + (aFirst ? 6 : 27)), forA);
    const size_t bAt = aFirst ? 6 : 0;
    EXPECT_EQ(messages[bAt], w + "iUnused0" + inB + " jamais lue (nom inconnu, ou sans effet dans ce cas)");
    EXPECT_EQ(messages[bAt + 19].substr(0, w.size() + 9), w + "iUnused19");
    EXPECT_EQ(messages[bAt + 20], "COptionsParser::WarnUnreadKeys -- Avertissement : 2 autres cl\xE9s" + inB +
                                      " sans effet");
}
