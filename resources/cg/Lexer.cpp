#include "resources/cg/Cg.h"

#include <cctype>
#include <cstring>

namespace cg {

const std::vector<std::vector<const char*>> binaryOperatorLevels = {
    {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
    {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};

std::string Diagnostics::where(int location) const {
    size_t file = static_cast<size_t>(fileOf(location));
    std::string name = file < files.size() ? files[file] : "";
    return name + "(" + std::to_string(lineOf(location)) + ")";
}

void Diagnostics::error(int location, const std::string& message) {
    fail(where(location) + " : error: " + message + "\n");
}

void Diagnostics::warning(int location, const std::string& message) {
    listing += where(location) + " : warning: " + message + "\n";
}

void Diagnostics::fail(const std::string& lines) {
    listing += lines;
    ++errorCount;
    throw CompileError();
}

namespace {

bool isIdentStart(char c) {
    return isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isIdentChar(char c) {
    return isalnum(static_cast<unsigned char>(c)) || c == '_';
}

const char* const puncts[] = {
    "<<=", ">>=", "...", "##", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||",
    "++",  "--",  "+=",  "-=", "*=", "/=", "%=", "&=", "|=", "^=", "::", "->"};

} // namespace

std::vector<Token> tokenize(const std::string& source, Diagnostics& diag, int file) {
    std::vector<Token> tokens;
    size_t i = 0;
    const size_t n = source.size();
    int line = file * linesPerFile + 1;
    const int lastLine = file * linesPerFile + linesPerFile - 1;
    bool atLineStart = true;
    bool space = false;
    auto push = [&](TokenKind kind, size_t start, size_t end) {
        Token token;
        token.kind = kind;
        token.text = source.substr(start, end - start);
        token.line = line;
        token.atLineStart = atLineStart;
        token.spaceBefore = space;
        tokens.push_back(std::move(token));
        atLineStart = false;
        space = false;
    };
    while (i < n) {
        char c = source[i];
        if (line >= lastLine) {
            diag.error(line, "the text has too many lines");
        }
        if (c == '\n') {
            ++line;
            ++i;
            atLineStart = true;
            space = true;
            continue;
        }
        if (c == '\\' && i + 1 < n && (source[i + 1] == '\n' || source[i + 1] == '\r')) {
            // A continued line stays one logical line for the preprocessor.
            i += source[i + 1] == '\r' && i + 2 < n && source[i + 2] == '\n' ? 3 : 2;
            ++line;
            space = true;
            continue;
        }
        if (isspace(static_cast<unsigned char>(c)) || c == '\0') {
            ++i;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && source[i + 1] == '/') {
            while (i < n && source[i] != '\n') {
                ++i;
            }
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && source[i + 1] == '*') {
            int startLine = line;
            i += 2;
            while (i < n && !(source[i] == '*' && i + 1 < n && source[i + 1] == '/')) {
                if (source[i] == '\n' && ++line >= lastLine) {
                    diag.error(startLine, "the text has too many lines");
                }
                ++i;
            }
            if (i >= n) {
                diag.error(startLine, "unterminated comment");
            }
            i += 2;
            space = true;
            continue;
        }
        size_t start = i;
        if (isdigit(static_cast<unsigned char>(c)) ||
            (c == '.' && i + 1 < n && isdigit(static_cast<unsigned char>(source[i + 1])))) {
            // A pp-number: digits, letters, dots and exponent signs; checked by the parser.
            while (i < n) {
                char d = source[i];
                if ((d == '+' || d == '-') && (source[i - 1] == 'e' || source[i - 1] == 'E') &&
                    !(i - start >= 2 && (source[start + 1] == 'x' || source[start + 1] == 'X'))) {
                    ++i;
                } else if (isIdentChar(d) || d == '.') {
                    ++i;
                } else {
                    break;
                }
            }
            push(TokenKind::Number, start, i);
            continue;
        }
        if (isIdentStart(c)) {
            while (i < n && isIdentChar(source[i])) {
                ++i;
            }
            push(TokenKind::Identifier, start, i);
            continue;
        }
        if (c == '"') {
            ++i;
            while (i < n && source[i] != '"' && source[i] != '\n') {
                ++i;
            }
            if (i >= n || source[i] != '"') {
                diag.error(line, "unterminated string");
            }
            ++i;
            push(TokenKind::Punct, start, i);
            continue;
        }
        bool matched = false;
        for (const char* p : puncts) {
            if (p[0] != c) {
                continue;
            }
            size_t len = strlen(p);
            if (source.compare(i, len, p) == 0) {
                i += len;
                push(TokenKind::Punct, start, i);
                matched = true;
                break;
            }
        }
        if (matched) {
            continue;
        }
        if (strchr("+-*/%<>=!&|^~?:;,.()[]{}#", c) != nullptr) {
            ++i;
            push(TokenKind::Punct, start, i);
            continue;
        }
        std::string shown = isprint(static_cast<unsigned char>(c))
                                ? std::string("'") + c + "'"
                                : "byte " + std::to_string(static_cast<unsigned char>(c));
        diag.error(line, "unexpected character " + shown);
    }
    Token end;
    end.kind = TokenKind::End;
    end.line = line;
    end.atLineStart = true;
    tokens.push_back(end);
    return tokens;
}

} // namespace cg
