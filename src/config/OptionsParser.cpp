// COptionsParser: the "name = value ;" grammar of option files and the
// process-wide cache of parsed lists.
//
// Files are read in binary mode and line ends are handled here: CR LF reads
// as one LF, a lone CR is whitespace. Tokens and line comments have fixed
// limits (2047 characters) so that no input, however long or binary, can
// overrun a buffer; a longer token makes the file invalid, a longer line
// comment makes the reading fail.
//
// Deliberately not done: no escapes in quoted text, no nested comments, no
// error messages for syntax errors (the caller reports its own failure), no
// locking (single-threaded by design).
#include "config/OptionsParser.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Log.h"
#include "config/ValueConversion.h"

namespace
{
constexpr size_t MAX_TOKEN_LENGTH = 2047;         // opening quote included
constexpr size_t MAX_LINE_COMMENT_LENGTH = 2047;  // between "//" and the LF

// Byte-at-a-time reader with one character of put-back. Once the input has
// ended every further Get finds nothing. A failed read (an over-long line
// comment, an I/O error) also ends the input but is remembered, so that it
// is never mistaken for a clean end of file.
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
                return '\n';
            if (next != EOF)
                ungetc(next, file);
        }
        return c;
    }

    void PutBack(int c) { pending = c; }
    void Fail()
    {
        failed = true;
        ended = true;
    }
    bool AtEnd() const { return ended && pending == EOF; }
    bool Failed() const { return failed; }

private:
    int EndInput()
    {
        ended = true;
        if (ferror(file))
            failed = true;
        return EOF;
    }

    std::FILE* file;
    int pending = EOF;
    bool ended = false;
    bool failed = false;
};

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void SkipLineComment(CharReader& in)
{
    size_t length = 0;
    for (int c = in.Get(); c != EOF && c != '\n'; c = in.Get())
        if (++length > MAX_LINE_COMMENT_LENGTH)
            return in.Fail();
}

// Runs to the first "*/" after the opening "/*"; an unclosed comment runs
// to the end of the input.
void SkipBlockComment(CharReader& in)
{
    int previous = EOF;
    for (int c = in.Get(); c != EOF; c = in.Get())
    {
        if (previous == '*' && c == '/')
            return;
        previous = c;
    }
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

// Skip, then read a token that must be complete.
bool ReadNextToken(CharReader& in, Token& token)
{
    SkipSpaceAndComments(in);
    return !in.AtEnd() && ReadToken(in, token) == TokenEnd::Complete;
}

// A value that converts to nothing leaves the statement without an entry.
void StoreValue(COptionList& list, const Token& name, const Token& value)
{
    COptionEntry entry;
    if (!OptionValues::ConvertFileValue(value.text, entry))
        return;
    entry.name.assign(name.text, name.length);
    list.entries.push_back(std::move(entry));
}

enum class StatementEnd
{
    Next,     // a ';' ended it; another statement may follow
    Valid,    // the input ended where the file may end
    Invalid,
};

StatementEnd ReadStatement(CharReader& in, COptionList& list)
{
    SkipSpaceAndComments(in);
    if (in.AtEnd())
        return in.Failed() ? StatementEnd::Invalid : StatementEnd::Valid;

    Token name, equals, value, terminator;
    if (ReadToken(in, name) != TokenEnd::Complete)
        return StatementEnd::Invalid;
    if (!ReadNextToken(in, equals) || !equals.Is('='))
        return StatementEnd::Invalid;
    if (!ReadNextToken(in, value))
        return StatementEnd::Invalid;
    StoreValue(list, name, value);

    SkipSpaceAndComments(in);
    if (in.AtEnd())
        return StatementEnd::Invalid;
    // A token cut off by the end of the file is not looked at: the file
    // ends there and is valid.
    TokenEnd end = ReadToken(in, terminator);
    if (end == TokenEnd::HitEnd)
        return in.Failed() ? StatementEnd::Invalid : StatementEnd::Valid;
    if (end == TokenEnd::TooLong || !terminator.Is(';'))
        return StatementEnd::Invalid;
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
    bool valid = ParseFileForVariable(file, list.get());
    fclose(file);
    if (!valid)
        return nullptr;
    COptionList* result = list.get();
    cache.lists.emplace(fileName, std::move(list));
    return result;
}

bool COptionsParser::ParseFileForVariable(std::FILE* file, COptionList* list)
{
    if (file == nullptr || list == nullptr)
    {
        CLog::Write("COptionsParser::ParseFileForVariable -- Erreur : fichier invalide.");
        return false;
    }
    CharReader in(file);
    for (;;)
    {
        StatementEnd end = ReadStatement(in, *list);
        if (end != StatementEnd::Next)
            return end == StatementEnd::Valid;
    }
}

void COptionsParser::ClearCache()
{
    Cache().lists.clear();
    Cache().retired.clear();
}
