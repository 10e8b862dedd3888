#include "resources/cg/Cg.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>

namespace cg {

namespace {

struct Macro {
    bool functionLike = false;
    std::vector<std::string> params;
    std::vector<Token> body;
};

// A hostile text can make macros grow without end; no shader needs this many.
constexpr size_t maxExpandedTokens = 2000000;
constexpr int maxExpansionDepth = 200;
// Nor does a shader include this deep or this often (a file including another
// twice, down a chain, would otherwise read it exponentially often).
constexpr size_t maxIncludeDepth = 32;
constexpr int maxIncludes = 10000;

class Preprocessor {
public:
    Preprocessor(Diagnostics& diag, const SourceOptions& options) : diag(diag), options(options) {}

    std::vector<Token> run(const std::vector<Token>& tokens);

private:
    struct Conditional {
        bool active;     // this branch's tokens are kept
        bool taken;      // some branch of this #if was active
        bool parentLive; // the enclosing text is kept
        bool sawElse;
        int line;
    };

    void commandLineDefines();
    void file(const std::vector<Token>& tokens, int index);
    std::vector<Token> lineFrom(size_t& pos);
    void directive(const std::vector<Token>& line);
    void define(const std::vector<Token>& line);
    void include(const std::vector<Token>& line);
    bool live() const { return conditionals.empty() || conditionals.back().active; }
    long long evaluate(const std::vector<Token>& line, size_t first);
    void expand(std::vector<Token> tokens, std::vector<Token>& out, int depth);
    std::vector<std::vector<Token>> collectArguments(std::deque<Token>& input, const Token& name,
                                                     size_t count);

    Diagnostics& diag;
    const SourceOptions& options;
    std::map<std::string, Macro> macros;
    std::vector<Conditional> conditionals;
    std::vector<Token> out;
    size_t produced = 0;

    // The file being read: its tokens, its index, and where its conditionals start.
    const std::vector<Token>* in = nullptr;
    int current = 0;
    size_t conditionalBase = 0;
    // Files by their normal path: the index given, the include guard found,
    // whether #pragma once marked it; and the chain of files being read.
    std::map<std::string, int> fileIndex;
    std::map<int, std::string> guards;
    std::set<int> onceOnly;
    std::vector<int> reading;
    int includes = 0;
};

// The tokens of one logical line starting at pos.
std::vector<Token> Preprocessor::lineFrom(size_t& pos) {
    const std::vector<Token>& tokens = *in;
    std::vector<Token> line;
    line.push_back(tokens[pos++]);
    while (tokens[pos].kind != TokenKind::End && !tokens[pos].atLineStart) {
        line.push_back(tokens[pos++]);
    }
    return line;
}

std::vector<Token> Preprocessor::run(const std::vector<Token>& tokens) {
    if (diag.files.empty()) {
        diag.files.push_back("");
    }
    fileIndex[std::filesystem::path(diag.files[0]).lexically_normal().string()] = 0;
    commandLineDefines();
    file(tokens, 0);
    out.push_back(tokens.back());
    return out;
}

// -DNAME and -DNAME=VALUE, as if #defined before the first line.
void Preprocessor::commandLineDefines() {
    for (const std::string& d : options.defines) {
        size_t equals = d.find('=');
        std::string name = d.substr(0, equals);
        std::vector<Token> words = tokenize(name, diag, 0);
        if (words.size() != 2 || words[0].kind != TokenKind::Identifier) {
            diag.error(0, "-D" + d + ": a macro name must come first");
        }
        Macro macro;
        macro.body = tokenize(equals == std::string::npos ? "1" : d.substr(equals + 1), diag, 0);
        macro.body.pop_back();
        for (Token& t : macro.body) {
            t.line = 0;
            t.atLineStart = false;
        }
        macros[name] = std::move(macro);
    }
}

// The name of the macro guarding a whole file ("#ifndef X", "#define X", and
// the #endif matching the first line is the last), or "" when there is none.
std::string includeGuard(const std::vector<Token>& tokens) {
    auto directiveAt = [&](size_t i, const char* name) {
        return i + 1 < tokens.size() && tokens[i].atLineStart && tokens[i].text == "#" &&
               tokens[i + 1].text == name;
    };
    if (tokens.size() < 7 || !directiveAt(0, "ifndef") || !directiveAt(3, "define") ||
        tokens[2].kind != TokenKind::Identifier || tokens[5].text != tokens[2].text ||
        !tokens[6].atLineStart) {
        return "";
    }
    int depth = 0;
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (!tokens[i].atLineStart || tokens[i].text != "#") {
            continue;
        }
        const std::string& word = tokens[i + 1].text;
        if (word == "if" || word == "ifdef" || word == "ifndef") {
            ++depth;
        } else if (word == "endif" && --depth == 0) {
            size_t next = i + 2;
            while (tokens[next].kind != TokenKind::End && !tokens[next].atLineStart) {
                ++next;
            }
            return tokens[next].kind == TokenKind::End ? tokens[2].text : "";
        }
    }
    return "";
}

void Preprocessor::file(const std::vector<Token>& tokens, int index) {
    const std::vector<Token>* outerTokens = in;
    int outerFile = current;
    size_t outerBase = conditionalBase;
    in = &tokens;
    current = index;
    conditionalBase = conditionals.size();
    reading.push_back(index);

    std::vector<Token> segment;
    size_t pos = 0;
    while (tokens[pos].kind != TokenKind::End) {
        if (tokens[pos].atLineStart && tokens[pos].kind == TokenKind::Punct &&
            tokens[pos].text == "#") {
            expand(std::move(segment), out, 0);
            segment.clear();
            directive(lineFrom(pos));
            continue;
        }
        if (live()) {
            segment.push_back(tokens[pos]);
        }
        ++pos;
    }
    expand(std::move(segment), out, 0);
    if (conditionals.size() > conditionalBase) {
        diag.error(conditionals.back().line, "#if without #endif");
    }

    reading.pop_back();
    in = outerTokens;
    current = outerFile;
    conditionalBase = outerBase;
}

void Preprocessor::include(const std::vector<Token>& line) {
    int at = line[0].line;
    std::vector<Token> rest(line.begin() + 2, line.end());
    if (!rest.empty() && rest[0].text[0] != '"' && rest[0].text != "<") {
        std::vector<Token> expanded;
        expand(std::move(rest), expanded, 0);
        rest = std::move(expanded);
    }
    std::string name;
    bool quoted = false;
    size_t used = 1;
    if (!rest.empty() && rest[0].text.size() >= 2 && rest[0].text[0] == '"') {
        name = rest[0].text.substr(1, rest[0].text.size() - 2);
        quoted = true;
    } else if (!rest.empty() && rest[0].text == "<") {
        while (used < rest.size() && rest[used].text != ">") {
            name += (name.empty() || !rest[used].spaceBefore ? "" : " ") + rest[used].text;
            ++used;
        }
        if (used == rest.size()) {
            diag.error(at, "#include <" + name + " lacks its '>'");
        }
        ++used;
    }
    if (name.empty()) {
        diag.error(at, "#include needs a \"file\" or <file>");
    }
    if (used != rest.size()) {
        diag.error(at, "unexpected '" + rest[used].text + "' after #include");
    }
    std::string shown = quoted ? "\"" + name + "\"" : "<" + name + ">";
    if (reading.size() >= maxIncludeDepth) {
        diag.error(at, "#include " + shown + " nests too deeply");
    }
    if (++includes > maxIncludes) {
        diag.error(at, "too many #include lines are read");
    }

    // A quoted name is looked for beside the file holding the #include first,
    // then, like <name>, along the include folders.
    std::vector<std::filesystem::path> candidates;
    std::filesystem::path wanted(name);
    if (wanted.is_absolute()) {
        candidates.push_back(wanted);
    } else {
        if (quoted) {
            candidates.push_back(
                std::filesystem::path(diag.files[static_cast<size_t>(current)]).parent_path() /
                wanted);
        }
        for (const std::string& folder : options.includeFolders) {
            candidates.push_back(std::filesystem::path(folder) / wanted);
        }
    }
    std::string text;
    std::string path;
    std::string reason = "no include folder holds it";
    for (const std::filesystem::path& candidate : candidates) {
        std::string why;
        if (options.readFile && options.readFile(candidate.string(), text, why)) {
            path = candidate.lexically_normal().string();
            break;
        }
        if (!options.readFile) {
            why = "files cannot be included here";
        }
        if (candidate == candidates.front()) {
            reason = why;
        }
    }
    if (path.empty()) {
        diag.error(at, "cannot open #include " + shown + ": " + reason);
    }

    auto known = fileIndex.find(path);
    int index = known != fileIndex.end() ? known->second : static_cast<int>(diag.files.size());
    if (known != fileIndex.end()) {
        auto guard = guards.find(index);
        if (onceOnly.count(index) != 0 ||
            (guard != guards.end() && macros.count(guard->second) != 0)) {
            return;
        }
        for (int open : reading) {
            if (open == index) {
                std::string chain = diag.files[static_cast<size_t>(reading[0])];
                for (size_t r = 1; r <= reading.size(); ++r) {
                    chain += r == 1 ? " includes " : ", which includes ";
                    chain +=
                        r < reading.size() ? diag.files[static_cast<size_t>(reading[r])] : path;
                }
                diag.error(at, "#include " + shown + " is a cycle: " + chain);
            }
        }
    } else {
        if (index >= maxSourceFiles) {
            diag.error(at, "too many files are included");
        }
        fileIndex[path] = index;
        diag.files.push_back(path);
    }
    std::vector<Token> tokens = tokenize(text, diag, index);
    std::string guard = includeGuard(tokens);
    if (!guard.empty()) {
        guards[index] = guard;
    }
    file(tokens, index);
}

void Preprocessor::directive(const std::vector<Token>& line) {
    int at = line[0].line;
    if (line.size() == 1) {
        return;
    }
    const std::string& name = line[1].text;
    if (name == "ifdef" || name == "ifndef" || name == "if") {
        bool parentLive = live();
        bool value = false;
        if (parentLive) {
            if (name == "if") {
                value = evaluate(line, 2) != 0;
            } else {
                if (line.size() < 3 || line[2].kind != TokenKind::Identifier) {
                    diag.error(at, "#" + name + " needs a macro name");
                }
                value = (macros.count(line[2].text) != 0) == (name == "ifdef");
            }
        }
        conditionals.push_back({parentLive && value, value, parentLive, false, at});
        return;
    }
    if (name == "elif" || name == "else") {
        if (conditionals.size() <= conditionalBase) {
            diag.error(at, "#" + name + " without #if");
        }
        Conditional& c = conditionals.back();
        if (c.sawElse) {
            diag.error(at, "#" + name + " after #else");
        }
        bool value = false;
        if (!c.taken && c.parentLive) {
            value = name == "else" ? true : evaluate(line, 2) != 0;
        }
        c.sawElse = name == "else";
        c.active = c.parentLive && !c.taken && value;
        c.taken = c.taken || value;
        return;
    }
    if (name == "endif") {
        if (conditionals.size() <= conditionalBase) {
            diag.error(at, "#endif without #if");
        }
        conditionals.pop_back();
        return;
    }
    if (!live()) {
        return;
    }
    if (name == "define") {
        define(line);
    } else if (name == "undef") {
        if (line.size() < 3 || line[2].kind != TokenKind::Identifier) {
            diag.error(at, "#undef needs a macro name");
        }
        macros.erase(line[2].text);
    } else if (name == "error") {
        std::string text;
        for (size_t i = 2; i < line.size(); ++i) {
            text += (i > 2 ? " " : "") + line[i].text;
        }
        diag.error(at, "#error " + text);
    } else if (name == "include") {
        include(line);
    } else if (name == "pragma" && line.size() == 3 && line[2].text == "once") {
        onceOnly.insert(current);
    } else if (name == "pragma" || name == "line") {
        // Pragmas steer compilers we do not have; #line would only renumber the listing.
    } else {
        diag.error(at, "unknown preprocessor directive #" + name);
    }
}

void Preprocessor::define(const std::vector<Token>& line) {
    int at = line[0].line;
    if (line.size() < 3 || line[2].kind != TokenKind::Identifier) {
        diag.error(at, "#define needs a macro name");
    }
    Macro macro;
    size_t i = 3;
    if (i < line.size() && line[i].text == "(" && !line[i].spaceBefore) {
        macro.functionLike = true;
        ++i;
        while (true) {
            if (i >= line.size()) {
                diag.error(at, "unterminated macro parameter list");
            }
            if (line[i].text == ")" && macro.params.empty()) {
                ++i;
                break;
            }
            if (line[i].kind != TokenKind::Identifier) {
                diag.error(at, "macro parameter name expected, found '" + line[i].text + "'");
            }
            macro.params.push_back(line[i].text);
            ++i;
            if (i < line.size() && line[i].text == ",") {
                ++i;
                continue;
            }
            if (i < line.size() && line[i].text == ")") {
                ++i;
                break;
            }
            diag.error(at, "',' or ')' expected in macro parameter list");
        }
    }
    macro.body.assign(line.begin() + static_cast<long>(i), line.end());
    for (Token& t : macro.body) {
        t.atLineStart = false;
    }
    macros[line[2].text] = std::move(macro);
}

std::vector<std::vector<Token>> Preprocessor::collectArguments(std::deque<Token>& input,
                                                               const Token& name, size_t count) {
    std::vector<std::vector<Token>> args(1);
    input.pop_front(); // "("
    int depth = 0;
    while (true) {
        if (input.empty()) {
            diag.error(name.line, "unterminated call of macro '" + name.text + "'");
        }
        Token t = std::move(input.front());
        input.pop_front();
        if (t.text == "(") {
            ++depth;
        } else if (t.text == ")") {
            if (depth == 0) {
                break;
            }
            --depth;
        } else if (t.text == "," && depth == 0) {
            args.emplace_back();
            continue;
        }
        args.back().push_back(std::move(t));
    }
    if (count == 0 && args.size() == 1 && args[0].empty()) {
        args.clear();
    }
    if (args.size() != count) {
        diag.error(name.line, "macro '" + name.text + "' takes " + std::to_string(count) +
                                  " arguments, " + std::to_string(args.size()) + " given");
    }
    return args;
}

void Preprocessor::expand(std::vector<Token> tokens, std::vector<Token>& out, int depth) {
    if (depth > maxExpansionDepth) {
        diag.error(tokens.empty() ? 0 : tokens[0].line, "macro expansion nests too deeply");
    }
    std::deque<Token> input(std::make_move_iterator(tokens.begin()),
                            std::make_move_iterator(tokens.end()));
    while (!input.empty()) {
        Token t = std::move(input.front());
        input.pop_front();
        auto found = t.kind == TokenKind::Identifier ? macros.find(t.text) : macros.end();
        if (found == macros.end() || (t.hideSet && t.hideSet->count(t.text) != 0) ||
            (found->second.functionLike && (input.empty() || input.front().text != "("))) {
            if (++produced > maxExpandedTokens) {
                diag.error(t.line, "macro expansion too large");
            }
            out.push_back(std::move(t));
            continue;
        }
        const Macro& macro = found->second;
        auto hide = std::make_shared<std::set<std::string>>();
        if (t.hideSet) {
            *hide = *t.hideSet;
        }
        hide->insert(t.text);
        std::vector<Token> result;
        if (!macro.functionLike) {
            result = macro.body;
        } else {
            std::vector<std::vector<Token>> args = collectArguments(input, t, macro.params.size());
            std::vector<std::vector<Token>> expanded(args.size());
            for (size_t a = 0; a < args.size(); ++a) {
                expand(args[a], expanded[a], depth + 1);
            }
            auto paramIndex = [&](const Token& b) -> int {
                if (b.kind != TokenKind::Identifier) {
                    return -1;
                }
                for (size_t p = 0; p < macro.params.size(); ++p) {
                    if (macro.params[p] == b.text) {
                        return static_cast<int>(p);
                    }
                }
                return -1;
            };
            const std::vector<Token>& body = macro.body;
            for (size_t b = 0; b < body.size(); ++b) {
                bool pasteNext = b + 1 < body.size() && body[b + 1].text == "##";
                bool pastePrev = b > 0 && body[b - 1].text == "##";
                if (body[b].text == "##") {
                    continue;
                }
                if (body[b].text == "#" && b + 1 < body.size() && paramIndex(body[b + 1]) >= 0) {
                    std::string text = "\"";
                    for (const Token& a : args[static_cast<size_t>(paramIndex(body[b + 1]))]) {
                        text += (text.size() > 1 && a.spaceBefore ? " " : "") + a.text;
                    }
                    Token s = body[b];
                    s.text = text + "\"";
                    result.push_back(s);
                    ++b;
                    continue;
                }
                int p = paramIndex(body[b]);
                std::vector<Token> piece;
                if (p >= 0) {
                    piece = (pasteNext || pastePrev) ? args[static_cast<size_t>(p)]
                                                     : expanded[static_cast<size_t>(p)];
                } else {
                    piece.push_back(body[b]);
                }
                if (pastePrev && !result.empty() && !piece.empty()) {
                    Token& left = result.back();
                    left.text += piece[0].text;
                    left.kind = isdigit(static_cast<unsigned char>(left.text[0]))
                                    ? TokenKind::Number
                                    : left.kind;
                    piece.erase(piece.begin());
                }
                for (Token& pt : piece) {
                    result.push_back(pt);
                }
            }
        }
        for (Token& r : result) {
            r.line = t.line;
            r.atLineStart = false;
            auto merged = std::make_shared<std::set<std::string>>(*hide);
            if (r.hideSet) {
                merged->insert(r.hideSet->begin(), r.hideSet->end());
            }
            r.hideSet = merged;
        }
        if (input.size() + result.size() > maxExpandedTokens) {
            diag.error(t.line, "macro expansion too large");
        }
        input.insert(input.begin(), std::make_move_iterator(result.begin()),
                     std::make_move_iterator(result.end()));
    }
}

// #if arithmetic over the line's tokens after macro expansion; unknown names are 0.
class ConditionEvaluator {
public:
    ConditionEvaluator(const std::vector<Token>& tokens, int line, Diagnostics& diag)
        : tokens(tokens), line(line), diag(diag) {}

    long long run() {
        long long value = conditional();
        if (pos != tokens.size()) {
            diag.error(line, "unexpected '" + tokens[pos].text + "' in #if");
        }
        return value;
    }

private:
    bool accept(const char* text) {
        if (pos < tokens.size() && tokens[pos].text == text) {
            ++pos;
            return true;
        }
        return false;
    }
    long long conditional() {
        long long c = binary(0);
        if (accept("?")) {
            long long a = conditional();
            if (!accept(":")) {
                diag.error(line, "':' expected in #if");
            }
            long long b = conditional();
            return c ? a : b;
        }
        return c;
    }
    long long binary(int level) {
        const auto& levels = binaryOperatorLevels;
        if (level == static_cast<int>(levels.size())) {
            return unary();
        }
        long long left = binary(level + 1);
        while (pos < tokens.size()) {
            std::string op;
            for (const char* o : levels[static_cast<size_t>(level)]) {
                if (tokens[pos].text == o) {
                    op = o;
                }
            }
            if (op.empty()) {
                break;
            }
            ++pos;
            long long right = binary(level + 1);
            unsigned long long ul = static_cast<unsigned long long>(left);
            unsigned long long ur = static_cast<unsigned long long>(right);
            if (op == "||")
                left = left || right;
            else if (op == "&&")
                left = left && right;
            else if (op == "|")
                left = left | right;
            else if (op == "^")
                left = left ^ right;
            else if (op == "&")
                left = left & right;
            else if (op == "==")
                left = left == right;
            else if (op == "!=")
                left = left != right;
            else if (op == "<")
                left = left < right;
            else if (op == ">")
                left = left > right;
            else if (op == "<=")
                left = left <= right;
            else if (op == ">=")
                left = left >= right;
            else if (op == "<<")
                left = static_cast<long long>(ul << (ur & 63));
            else if (op == ">>")
                left = static_cast<long long>(ul >> (ur & 63));
            else if (op == "+")
                left = static_cast<long long>(ul + ur);
            else if (op == "-")
                left = static_cast<long long>(ul - ur);
            else if (op == "*")
                left = static_cast<long long>(ul * ur);
            else {
                if (right == 0 || (left == INT64_MIN && right == -1)) {
                    diag.error(line, "division by zero in #if");
                }
                left = op == "/" ? left / right : left % right;
            }
        }
        return left;
    }
    long long unary() {
        if (accept("-"))
            return static_cast<long long>(0ULL - static_cast<unsigned long long>(unary()));
        if (accept("+"))
            return unary();
        if (accept("!"))
            return !unary();
        if (accept("~"))
            return ~unary();
        if (accept("(")) {
            long long v = conditional();
            if (!accept(")")) {
                diag.error(line, "')' expected in #if");
            }
            return v;
        }
        if (pos >= tokens.size()) {
            diag.error(line, "#if expression ends early");
        }
        const Token& t = tokens[pos++];
        if (t.kind == TokenKind::Identifier) {
            return t.text == "true" ? 1 : 0;
        }
        if (t.kind == TokenKind::Number) {
            std::string digits = t.text;
            while (!digits.empty() && (digits.back() == 'u' || digits.back() == 'U' ||
                                       digits.back() == 'l' || digits.back() == 'L')) {
                digits.pop_back();
            }
            try {
                size_t used = 0;
                long long v = static_cast<long long>(std::stoull(digits, &used, 0));
                if (used == digits.size()) {
                    return v;
                }
            } catch (const std::exception&) {
            }
        }
        diag.error(line, "'" + t.text + "' is not an integer in #if");
    }

    const std::vector<Token>& tokens;
    size_t pos = 0;
    int line;
    Diagnostics& diag;
};

long long Preprocessor::evaluate(const std::vector<Token>& line, size_t first) {
    int at = line[0].line;
    std::vector<Token> resolved;
    for (size_t i = first; i < line.size(); ++i) {
        if (line[i].text == "defined") {
            bool paren = i + 1 < line.size() && line[i + 1].text == "(";
            size_t nameAt = i + (paren ? 2 : 1);
            if (nameAt >= line.size() || line[nameAt].kind != TokenKind::Identifier ||
                (paren && (nameAt + 1 >= line.size() || line[nameAt + 1].text != ")"))) {
                diag.error(at, "defined needs a macro name");
            }
            Token value = line[i];
            value.kind = TokenKind::Number;
            value.text = macros.count(line[nameAt].text) != 0 ? "1" : "0";
            resolved.push_back(value);
            i = nameAt + (paren ? 1 : 0);
            continue;
        }
        resolved.push_back(line[i]);
    }
    if (resolved.empty()) {
        diag.error(at, "#if with no expression");
    }
    std::vector<Token> expanded;
    expand(std::move(resolved), expanded, 0);
    return ConditionEvaluator(expanded, at, diag).run();
}

} // namespace

std::vector<Token> preprocess(const std::vector<Token>& tokens, Diagnostics& diag,
                              const SourceOptions& options) {
    return Preprocessor(diag, options).run(tokens);
}

} // namespace cg
