// COptionsParser: the "name = value ;" grammar of option files and the
// process-wide cache of parsed lists.
//
// Files are read in binary mode and line ends are handled here: CR LF reads
// as one LF, a lone CR is whitespace. Tokens and line comments have fixed
// limits (2047 characters) so that no input, however long or binary, can
// overrun a buffer; a longer token makes the file invalid, a longer line
// comment makes the reading fail. A block comment left open makes the file
// invalid too: it would silently swallow every statement after it.
//
// An invalid file is logged once with the line where reading stopped and
// the reason. After start-up, WarnUnreadKeys names the keys that had no
// effect: never asked for, refused for their type, or written with a value
// that is no value.
//
// Deliberately not done: no escapes in quoted text, no nested comments, no
// locking (single-threaded by design).
#include "config/OptionsParser.h"

#include <cstdarg>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/Log.h"
#include "config/ValueConversion.h"

namespace
{
constexpr size_t MAX_TOKEN_LENGTH = 2047;         // opening quote included
constexpr size_t MAX_LINE_COMMENT_LENGTH = 2047;  // between "//" and the LF

// Reasons an option file is invalid, as logged (Latin-1).
const char* const CUT_BY_END = "instruction inachev\xE9" "e \xE0 la fin du fichier";
const char* const WORD_TOO_LONG = "mot de plus de 2047 caract\xE8res";
const char* const COMMENT_TOO_LONG = "commentaire // de plus de 2047 caract\xE8res";
const char* const COMMENT_LEFT_OPEN = "commentaire /* jamais ferm\xE9";
const char* const READ_ERROR = "erreur de lecture";

std::string Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Formatted(const char* format, ...)
{
    char text[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// Byte-at-a-time reader with one character of put-back, counting lines
// (LF, CR LF and a lone CR each end one). Once the input has ended every
// further Get finds nothing. A failed read (an over-long line comment, an
// unclosed block comment, an I/O error) also ends the input but is
// remembered with its line and reason, so that it is never mistaken for a
// clean end of file. Only the first failure is kept.
class CharReader
{
public:
    explicit CharReader(std::FILE* file) : file(file) {}

    int Get()
    {
        if (pending != EOF)
        {
            int c = pending;
            pending = EOF;
            return c;
        }
        if (ended)
            return EOF;
        int c = fgetc(file);
        if (c == EOF)
            return EndInput();
        if (c == '\r')
        {
            int next = fgetc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                ungetc(next, file);
        }
        if (c == '\n' || c == '\r')
            ++line;
        return c;
    }

    void PutBack(int c) { pending = c; }
    void Fail(int where, std::string why)
    {
        if (!failed)
            error = {where, std::move(why)};
        failed = true;
        ended = true;
    }
    bool AtEnd() const { return ended && pending == EOF; }
    bool Failed() const { return failed; }
    int Line() const { return line; }
    const COptionsParser::SyntaxError& Error() const { return error; }

private:
    int EndInput()
    {
        ended = true;
        if (ferror(file))
            Fail(line, READ_ERROR);
        return EOF;
    }

    std::FILE* file;
    int pending = EOF;
    int line = 1;
    bool ended = false;
    bool failed = false;
    COptionsParser::SyntaxError error;
};

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void SkipLineComment(CharReader& in)
{
    const int start = in.Line();
    size_t length = 0;
    for (int c = in.Get(); c != EOF && c != '\n'; c = in.Get())
        if (++length > MAX_LINE_COMMENT_LENGTH)
            return in.Fail(start, COMMENT_TOO_LONG);
}

// Runs to the first "*/" after the opening "/*". An unclosed comment fails
// the reading at the line where it opened.
void SkipBlockComment(CharReader& in)
{
    const int start = in.Line();
    int previous = EOF;
    for (int c = in.Get(); c != EOF; c = in.Get())
    {
        if (previous == '*' && c == '/')
            return;
        previous = c;
    }
    in.Fail(start, COMMENT_LEFT_OPEN);
}

// Whitespace and comments before a token. A '/' followed by anything but
// '/' or '*' is dropped together with that character.
void SkipSpaceAndComments(CharReader& in)
{
    for (;;)
    {
        int c = in.Get();
        if (c == EOF)
            return;
        if (IsSpace(c))
            continue;
        if (c != '/')
            return in.PutBack(c);
        int next = in.Get();
        if (next == '/')
            SkipLineComment(in);
        else if (next == '*')
            SkipBlockComment(in);
        else
            return;
    }
}

struct Token
{
    char text[MAX_TOKEN_LENGTH + 1];  // NUL-terminated; may hold NUL bytes
    size_t length = 0;
    int line = 0;  // of its first character

    bool Is(char c) const { return length == 1 && text[0] == c; }
};

enum class TokenEnd
{
    Complete,  // ended by its own syntax
    HitEnd,    // the input ended while reading it
    TooLong,
};

bool Append(Token& token, int c)
{
    if (token.length == MAX_TOKEN_LENGTH)
        return false;
    token.text[token.length++] = static_cast<char>(c);
    token.text[token.length] = '\0';
    return true;
}

// A quoted token keeps its opening quote and drops the closing one.
TokenEnd ReadQuotedRest(CharReader& in, Token& token)
{
    for (int c = in.Get(); c != EOF; c = in.Get())
    {
        if (c == '"')
            return TokenEnd::Complete;
        if (!Append(token, c))
            return TokenEnd::TooLong;
    }
    return TokenEnd::HitEnd;
}

// A word ends at whitespace (consumed) or before '=' or ';' (put back).
TokenEnd ReadWordRest(CharReader& in, Token& token)
{
    for (int c = in.Get(); c != EOF; c = in.Get())
    {
        if (IsSpace(c))
            return TokenEnd::Complete;
        if (c == '=' || c == ';')
        {
            in.PutBack(c);
            return TokenEnd::Complete;
        }
        if (!Append(token, c))
            return TokenEnd::TooLong;
    }
    return TokenEnd::HitEnd;
}

TokenEnd ReadToken(CharReader& in, Token& token)
{
    token.length = 0;
    token.text[0] = '\0';
    token.line = in.Line();
    int first = in.Get();
    if (first == EOF)
        return TokenEnd::HitEnd;
    Append(token, first);
    if (first == '"')
        return ReadQuotedRest(in, token);
    if (first == '=' || first == ';')
        return TokenEnd::Complete;
    return ReadWordRest(in, token);
}

// Skip, then read a token; the end of the input counts as HitEnd.
TokenEnd ReadNextToken(CharReader& in, Token& token)
{
    SkipSpaceAndComments(in);
    return in.AtEnd() ? TokenEnd::HitEnd : ReadToken(in, token);
}

// A value that converts to nothing leaves the statement without an entry;
// its name is kept for the warnings.
void StoreValue(COptionList& list, const Token& name, const Token& value)
{
    COptionEntry entry;
    if (!OptionValues::ConvertFileValue(value.text, entry))
    {
        list.unreadValues.emplace_back(name.text, name.length);
        return;
    }
    entry.name.assign(name.text, name.length);
    list.entries.push_back(std::move(entry));
}

enum class StatementEnd
{
    Next,     // a ';' ended it; another statement may follow
    Valid,    // the input ended where the file may end
    Invalid,
};

// Records why the file is invalid, at `line`.
StatementEnd Refuse(CharReader& in, int line, std::string why)
{
    in.Fail(line, std::move(why));
    return StatementEnd::Invalid;
}

// A token that did not end by its own syntax.
StatementEnd RefuseIncomplete(CharReader& in, int start, const Token& token, TokenEnd end)
{
    return end == TokenEnd::TooLong ? Refuse(in, token.line, WORD_TOO_LONG)
                                    : Refuse(in, start, CUT_BY_END);
}

StatementEnd ReadStatement(CharReader& in, COptionList& list)
{
    SkipSpaceAndComments(in);
    if (in.AtEnd())
        return in.Failed() ? StatementEnd::Invalid : StatementEnd::Valid;

    const int start = in.Line();
    Token name, equals, value, terminator;
    TokenEnd end = ReadToken(in, name);
    if (end != TokenEnd::Complete)
        return RefuseIncomplete(in, start, name, end);
    end = ReadNextToken(in, equals);
    if (end != TokenEnd::Complete)
        return RefuseIncomplete(in, start, equals, end);
    if (!equals.Is('='))
        return name.Is(';') ? Refuse(in, name.line, "';' isol\xE9")
                            : Refuse(in, equals.line,
                                     Formatted("'=' attendu apr\xE8s %.64s", name.text));
    end = ReadNextToken(in, value);
    if (end != TokenEnd::Complete)
        return RefuseIncomplete(in, start, value, end);
    StoreValue(list, name, value);

    SkipSpaceAndComments(in);
    if (in.AtEnd())
        return RefuseIncomplete(in, start, terminator, TokenEnd::HitEnd);
    // A token cut off by the end of the file is not looked at: the file
    // ends there and is valid.
    end = ReadToken(in, terminator);
    if (end == TokenEnd::HitEnd)
        return in.Failed() ? StatementEnd::Invalid : StatementEnd::Valid;
    if (end == TokenEnd::TooLong)
        return Refuse(in, terminator.line, WORD_TOO_LONG);
    if (!terminator.Is(';'))
        return Refuse(in, terminator.line,
                      Formatted("';' attendu apr\xE8s la valeur de %.64s", name.text));
    return StatementEnd::Next;
}

// File names compare with ASCII letters folded to lower case, every byte
// as an unsigned value.
struct CaseInsensitiveLess
{
    static unsigned char Fold(unsigned char c)
    {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    }

    bool operator()(const std::string& a, const std::string& b) const
    {
        size_t common = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < common; ++i)
        {
            unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
            unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca < cb;
        }
        return a.size() < b.size();
    }
};

struct ListCache
{
    std::map<std::string, std::unique_ptr<COptionList>, CaseInsensitiveLess> lists;
    // Lists replaced by a reload stay alive, so texts handed out from them
    // never dangle.
    std::vector<std::unique_ptr<COptionList>> retired;
};

ListCache& Cache()
{
    static ListCache cache;
    return cache;
}

// What a refusing lookup wanted, as the warning says it.
const char* Wanted(OptionLookup lookup)
{
    switch (lookup)
    {
    case OptionLookup::Int: return "un entier";
    case OptionLookup::Double: return "un nombre";
    case OptionLookup::Float: return "un nombre avec un point d\xE9" "cimal";
    case OptionLookup::Bool: return "true ou false";
    default: return "un texte entre guillemets";
    }
}

// Enough lines to show a mistake; a file of thousands of unread keys (a
// misspelt event count, say) gets one more line with how many were left out.
constexpr int MAX_WARNINGS_PER_FILE = 20;

void WarnUnreadKeysOf(const std::string& fileName, const COptionList& list)
{
    int warnings = 0;
    auto warn = [&](const std::string& name, const std::string& what) {
        if (++warnings <= MAX_WARNINGS_PER_FILE)
            CLog::Write("COptionsParser::WarnUnreadKeys -- Avertissement : cl\xE9 %.64s du fichier "
                        "%s %s", name.c_str(), fileName.c_str(), what.c_str());
    };
    for (const std::string& name : list.unreadValues)
        warn(name, "ignor\xE9" "e, valeur ni nombre, ni true ou false, ni texte entre guillemets");
    std::unordered_set<std::string_view> seen;
    for (const COptionEntry& entry : list.entries)
    {
        if (!seen.insert(entry.name).second)
            warn(entry.name, "\xE9" "crite plusieurs fois, seule la premi\xE8re compte");
        else if (!entry.asked)
            warn(entry.name, "jamais lue (nom inconnu, ou sans effet dans ce cas)");
        else if (entry.refusedBy != OptionLookup::None)
            warn(entry.name,
                 std::string("ignor\xE9" "e, valeur par d\xE9" "faut utilis\xE9" "e : il faut ") +
                     Wanted(entry.refusedBy));
    }
    if (warnings > MAX_WARNINGS_PER_FILE)
        CLog::Write("COptionsParser::WarnUnreadKeys -- Avertissement : %d autres cl\xE9s "
                    "du fichier %s sans effet", warnings - MAX_WARNINGS_PER_FILE,
                    fileName.c_str());
}
}  // namespace

COptionList* COptionsParser::ParseFile(const char* fileName, bool reload)
{
    if (fileName == nullptr)
        fileName = "";
    ListCache& cache = Cache();
    auto cached = cache.lists.find(fileName);
    if (cached != cache.lists.end())
    {
        if (!reload)
            return cached->second.get();
        cache.retired.push_back(std::move(cached->second));
        cache.lists.erase(cached);
    }

    std::FILE* file = fopen(fileName, "rb");
    if (file == nullptr)
    {
        CLog::Write("COptionsParser::ParseFile -- Erreur ! Impossible d'ouvrir le fichier %s",
                    fileName);
        return nullptr;
    }
    auto list = std::make_unique<COptionList>();
    SyntaxError error;
    bool valid = ParseFileForVariable(file, list.get(), &error);
    fclose(file);
    if (!valid)
    {
        CLog::Write("COptionsParser::ParseFile -- Erreur ! Fichier %s mal form\xE9, ligne %d : %s",
                    fileName, error.line, error.reason.c_str());
        return nullptr;
    }
    COptionList* result = list.get();
    cache.lists.emplace(fileName, std::move(list));
    return result;
}

bool COptionsParser::ParseFileForVariable(std::FILE* file, COptionList* list,
                                          SyntaxError* error)
{
    if (file == nullptr || list == nullptr)
    {
        CLog::Write("COptionsParser::ParseFileForVariable -- Erreur : fichier invalide.");
        return false;
    }
    CharReader in(file);
    StatementEnd end;
    do
        end = ReadStatement(in, *list);
    while (end == StatementEnd::Next);
    if (end == StatementEnd::Invalid && error != nullptr)
        *error = in.Error();
    return end == StatementEnd::Valid;
}

void COptionsParser::WarnUnreadKeys()
{
    for (const auto& [fileName, list] : Cache().lists)
        WarnUnreadKeysOf(fileName, *list);
}

void COptionsParser::WarnUnreadKeys(const char* fileName)
{
    auto cached = Cache().lists.find(fileName == nullptr ? "" : fileName);
    if (cached != Cache().lists.end())
        WarnUnreadKeysOf(cached->first, *cached->second);
}

void COptionsParser::ClearCache()
{
    Cache().lists.clear();
    Cache().retired.clear();
}
