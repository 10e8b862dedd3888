#include "resources/cg/Cg.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace cg {

namespace {

// Recursive input must not exhaust the stack: no real shader nests this deep.
constexpr int maxNesting = 200;
constexpr int maxExpressionDepth = 400;
constexpr int maxChain = 1000;

struct Scope {
    std::map<std::string, Variable*> variables;
};

class Parser {
public:
    Parser(const std::vector<Token>& tokens, Program& program, Diagnostics& diag)
        : tokens(tokens), program(program), diag(diag) {}

    void run();

private:
    // ---- tokens
    const Token& peek(size_t ahead = 0) const {
        size_t at = pos + ahead;
        return at < tokens.size() ? tokens[at] : tokens.back();
    }
    const Token& next() {
        const Token& t = peek();
        if (pos < tokens.size() - 1) {
            ++pos;
        }
        return t;
    }
    bool is(const char* text) const { return peek().kind != TokenKind::End && peek().text == text; }
    bool accept(const char* text) {
        if (is(text)) {
            next();
            return true;
        }
        return false;
    }
    void expect(const char* text) {
        if (!accept(text)) {
            unexpected(std::string("'") + text + "'");
        }
    }
    [[noreturn]] void unexpected(const std::string& wanted) {
        const Token& t = peek();
        fatal = true;
        std::string found = t.kind == TokenKind::End ? "end of file" : "'" + t.text + "'";
        diag.error(t.line, "syntax error: " + wanted + " expected, found " + found);
    }
    std::string identifier(const char* what) {
        if (peek().kind != TokenKind::Identifier || isKeyword(peek().text)) {
            unexpected(what);
        }
        return next().text;
    }
    static bool isKeyword(const std::string& word);

    // ---- building
    Node* make(NodeKind kind, int line, const Type& type = Type{}) {
        program.nodes.push_back(std::make_unique<Node>());
        Node* n = program.nodes.back().get();
        n->kind = kind;
        n->line = line;
        n->type = type;
        unmeasured.push_back(n);
        return n;
    }
    // Kids are made before their parents, so depths settle in creation order.
    void measure() {
        for (Node* n : unmeasured) {
            for (const Node* k : n->kids) {
                if (k != nullptr && k->depth + 1 > n->depth) {
                    n->depth = k->depth + 1;
                }
            }
            if (n->depth > maxExpressionDepth) {
                diag.error(n->line, "expression nests too deeply");
            }
        }
        unmeasured.clear();
    }
    Node* literal(const std::string& text, const Type& type, int line) {
        Node* n = make(NodeKind::Literal, line, type);
        n->text = text;
        return n;
    }
    Variable* newVariable(const std::string& name, const Type& type, Storage storage, int line) {
        program.variables.push_back(std::make_unique<Variable>());
        Variable* v = program.variables.back().get();
        v->name = name;
        v->glslName = glslIdentifier(name);
        v->type = type;
        v->storage = storage;
        v->line = line;
        return v;
    }
    void enter() {
        if (++depth > maxNesting) {
            diag.error(peek().line, "program nests too deeply");
        }
    }
    void leave() { --depth; }

    // ---- declarations
    bool startsType(size_t ahead = 0) const;
    bool builtinType(const std::string& word, Type& type, int line) const;
    Type parseType(bool allowVoid);
    Type arraySuffix(Type type);
    void topLevel();
    void structDefinition();
    void function(const Type& returnType, const std::string& name, int line);
    void functionBody(Function* fn, const std::string& name, int line);
    void otherStageFunction(const std::string& kind, int line);
    bool primitiveQualifier(size_t ahead) const;
    bool geometryParameters(size_t ahead) const;
    size_t closingBrace() const;
    size_t declarationEnd(size_t open) const;
    void failedFunction(const std::string& name, int line, const std::string& error);
    void skipDeclarator();
    void skipDeclarators(const std::string& error);
    void globalDeclarators(Type type, bool isStatic, bool isConst, bool isUniform);
    void globalDeclarator(const Type& base, const std::string& name, int line, bool isStatic,
                          bool isConst, bool isUniform);
    std::string semantic();
    std::string statePath();
    void bindTrackedState(Variable* v);
    static bool varyingSemantic(const std::string& semantic);
    void declare(Variable* v);
    Variable* lookup(const std::string& name) const;

    // ---- statements
    Node* statement();
    Node* block();
    Node* declaration();
    Node* condition(Node* e);

    // ---- expressions
    Node* expression();
    Node* assignment();
    Node* conditional();
    Node* binary(int level);
    Node* unary();
    Node* postfix(Node* e);
    Node* primary();
    Node* glstate(int line);
    Node* glstateVector(const std::string& group, int line);
    std::string matrixState(std::string form, int index, const std::string& modifier,
                            const std::string& spelled, int line);
    std::string vectorState(const std::string& group, int index, const std::string& field,
                            const std::string& spelled, int line);

    // ---- initializers
    // An initializer as written: an expression, or (value null) a brace list.
    struct InitItem {
        Node* value = nullptr;
        std::vector<InitItem> list;
        int line = 0;
    };
    InitItem readInitializer();
    Node* initializer(const Type& type, int line);
    Node* initialize(const Type& type, const InitItem& item);
    Node* fillElement(const Type& type, const std::vector<InitItem>& list, size_t& next);
    Node* zero(const Type& type, int line);
    Node* callFunction(const std::string& name, std::vector<Node*> args, int line);
    Node* intrinsic(const std::string& name, std::vector<Node*> args, int line);
    Node* construct(const Type& type, std::vector<Node*> args, int line);
    Node* cast(const Type& type, Node* e, int line);
    Node* member(Node* e, const std::string& name, int line);
    Node* makeBinary(const std::string& op, Node* a, Node* b, int line);
    Node* makeAssign(const std::string& op, Node* target, Node* value, int line);

    // ---- typing
    Node* convert(Node* e, const Type& to, int line, const std::string& context);
    Node* retype(Node* e, const Type& to);
    Type common(const Type& a, const Type& b, int line, const std::string& op);
    void requireLvalue(Node* e, int line);
    bool pure(const Node* e) const;
    Node* floatShape(Node* e, int line, const std::string& fn);
    void fragmentOnly(int line, const std::string& what);
    void useHelper(const std::string& key);

    const std::vector<Token>& tokens;
    Program& program;
    Diagnostics& diag;
    size_t pos = 0;
    int depth = 0;

    std::vector<Scope> scopes;
    std::map<std::string, StructDef*> structs;
    std::map<std::string, Type> typedefs;
    std::map<std::string, std::vector<Function*>> functions;
    // Globals whose declaration failed, with the listing line saying why.
    std::map<std::string, std::string> failedGlobals;

    std::vector<Node*> unmeasured;
    std::vector<int> operatorLevels;
    // The error being raised ends the translation wherever it stands: a syntax
    // error, or a name defined twice.
    bool fatal = false;
    bool shortInitializer = false;
    Function* current = nullptr;
    bool returned = false;
    std::set<Function*>* reachCalls = nullptr;
    std::set<Variable*>* reachGlobals = nullptr;
};

bool Parser::isKeyword(const std::string& word) {
    static const std::set<std::string> words = {
        "struct",  "typedef", "static",  "const",    "uniform", "in",     "out",      "inout",
        "return",  "if",      "else",    "for",      "while",   "do",     "break",    "continue",
        "discard", "true",    "false",   "register", "extern",  "inline", "varying",  "packed",
        "switch",  "case",    "default", "goto",     "sizeof",  "asm",    "interface"};
    return words.count(word) != 0;
}

// ---- types -----------------------------------------------------------------

bool Parser::builtinType(const std::string& word, Type& type, int line) const {
    static const std::map<std::string, Base> samplers = {
        {"sampler", Base::Sampler},         {"sampler1D", Base::Sampler1D},
        {"sampler2D", Base::Sampler2D},     {"sampler3D", Base::Sampler3D},
        {"samplerCUBE", Base::SamplerCube}, {"samplerRECT", Base::SamplerRect}};
    auto s = samplers.find(word);
    if (s != samplers.end()) {
        type = Type::scalar(s->second);
        return true;
    }
    if (word == "void") {
        type = Type{};
        return true;
    }
    static const std::pair<const char*, Base> scalars[] = {
        {"float", Base::Float},  {"half", Base::Float}, {"fixed", Base::Float},
        {"double", Base::Float}, {"int", Base::Int},    {"bool", Base::Bool}};
    for (const auto& [prefix, base] : scalars) {
        size_t len = std::string(prefix).size();
        if (word.compare(0, len, prefix) != 0) {
            continue;
        }
        std::string rest = word.substr(len);
        if (rest.empty()) {
            type = Type::scalar(base);
            return true;
        }
        if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            type = Type::vector(base, rest[0] - '0');
            return true;
        }
        if (rest.size() == 3 && rest[0] >= '1' && rest[0] <= '4' && rest[1] == 'x' &&
            rest[2] >= '1' && rest[2] <= '4') {
            int rows = rest[0] - '0';
            int cols = rest[2] - '0';
            if (base != Base::Float) {
                diag.error(line, word + ": only float matrices are supported");
            }
            if (rows == 1 || cols == 1) {
                diag.error(line, word + ": matrices with one row or column are not supported");
            }
            type = Type::matrix(rows, cols);
            return true;
        }
    }
    return false;
}

bool Parser::startsType(size_t ahead) const {
    const Token& t = peek(ahead);
    if (t.kind != TokenKind::Identifier) {
        return false;
    }
    if (structs.count(t.text) != 0 || typedefs.count(t.text) != 0 || t.text == "struct") {
        return lookup(t.text) == nullptr;
    }
    if (t.text == "sampler") {
        return true;
    }
    static const std::set<std::string> prefixes = {
        "float", "half",      "fixed",     "double",    "int",         "bool",
        "void",  "sampler1D", "sampler2D", "sampler3D", "samplerCUBE", "samplerRECT"};
    for (const std::string& p : prefixes) {
        if (t.text.compare(0, p.size(), p) == 0) {
            std::string rest = t.text.substr(p.size());
            if (rest.empty() ||
                (isdigit(static_cast<unsigned char>(rest[0])) && rest.size() <= 3)) {
                return true;
            }
        }
    }
    return false;
}

Type Parser::parseType(bool allowVoid) {
    int line = peek().line;
    accept("struct");
    std::string word = identifier("type name");
    Type type;
    auto s = structs.find(word);
    auto d = typedefs.find(word);
    if (s != structs.end()) {
        type.base = Base::Struct;
        type.record = s->second;
    } else if (d != typedefs.end()) {
        type = d->second;
    } else if (!builtinType(word, type, line)) {
        diag.error(line, "unknown type '" + word + "'");
    }
    if (type.isVoid() && !allowVoid) {
        diag.error(line, "void is not a type for a value");
    }
    return type;
}

Type Parser::arraySuffix(Type type) {
    if (!is("[")) {
        return type;
    }
    int line = peek().line;
    next();
    if (type.isArray()) {
        diag.error(line, "arrays of arrays are not supported");
    }
    if (accept("]")) {
        type.arrayLength = -1; // sized by the initializer
    } else {
        const Token& t = next();
        char* end = nullptr;
        long n = t.kind == TokenKind::Number ? strtol(t.text.c_str(), &end, 0) : 0;
        if (t.kind != TokenKind::Number || *end != '\0' || n <= 0 || n > 65536) {
            diag.error(t.line, "array size must be a positive integer constant");
        }
        type.arrayLength = static_cast<int>(n);
        expect("]");
    }
    if (is("[")) {
        diag.error(line, "arrays of arrays are not supported");
    }
    if (type.isVoid()) {
        diag.error(line, "array of void");
    }
    return type;
}

std::string Parser::semantic() {
    if (!accept(":")) {
        return "";
    }
    if (is("state") && peek(1).text == ".") {
        return statePath();
    }
    if (accept("register")) {
        // Register bindings come from an older runtime; units and slots are ours.
        expect("(");
        while (!is(")") && peek().kind != TokenKind::End) {
            next();
        }
        expect(")");
        return "";
    }
    std::string name = identifier("semantic");
    if (accept("(")) {
        while (!is(")") && peek().kind != TokenKind::End) {
            next();
        }
        expect(")");
    }
    std::string upper;
    for (char c : name) {
        upper += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

// "state.matrix.mvp.inverse", "state.light[0].diffuse": the tracked GL state a
// uniform is bound to, spelled as written.
std::string Parser::statePath() {
    std::string path = next().text;
    while (true) {
        if (accept(".")) {
            path += "." + identifier("state name");
        } else if (accept("[")) {
            const Token& t = next();
            if (t.kind != TokenKind::Number) {
                diag.error(t.line, "a state index must be a number");
            }
            expect("]");
            path += "[" + t.text + "]";
        } else {
            return path;
        }
    }
}

// A uniform with a state.* semantic reads that GL state wherever it is used.
void Parser::bindTrackedState(Variable* v) {
    if (v->semantic.compare(0, 6, "state.") != 0) {
        return;
    }
    int line = v->line;
    const std::string& path = v->semantic;
    // Split into names, each with its index (-1: none).
    std::vector<std::pair<std::string, int>> parts;
    size_t at = 6;
    while (at < path.size()) {
        size_t end = path.find_first_of(".[", at);
        std::string name = path.substr(at, end == std::string::npos ? end : end - at);
        int index = -1;
        at = end;
        if (at != std::string::npos && path[at] == '[') {
            size_t close = path.find(']', at);
            std::string digits = path.substr(at + 1, close - at - 1);
            if (digits.empty() || digits.size() > 2 ||
                digits.find_first_not_of("0123456789") != std::string::npos) {
                diag.error(line, path + ": the index must be a small number");
            }
            index = std::stoi(digits);
            at = close + 1;
        }
        parts.emplace_back(name, index);
        if (at != std::string::npos && at < path.size()) {
            ++at; // the '.'
        }
    }
    Type stateType;
    if (parts[0].first == "matrix" && parts.size() >= 2 && parts.size() <= 3 &&
        parts[0].second < 0) {
        std::string modifier = parts.size() == 3 ? parts[2].first : "";
        if (parts.size() == 3 && parts[2].second >= 0) {
            diag.error(line, path + " is not supported");
        }
        v->trackedState = matrixState(parts[1].first, parts[1].second, modifier, path, line);
        stateType = Type::matrix(4, 4);
    } else if (parts.size() == 2 || (parts.size() == 3 && parts[2].first == "direction")) {
        std::string field = parts[1].first + (parts.size() == 3 ? ".direction" : "");
        if (parts[1].second >= 0) {
            diag.error(line, path + " is not supported");
        }
        v->trackedState = vectorState(parts[0].first, parts[0].second, field, path, line);
        stateType = Type::vector(Base::Float, 4);
    } else {
        diag.error(line, path + " is not supported");
    }
    // The parameter may take fewer rows, columns or components than the state has.
    bool fits = v->type.base == Base::Float &&
                (stateType.isMatrix() ? v->type.isMatrix() : !v->type.isMatrix()) &&
                !v->type.isArray();
    if (!fits) {
        diag.error(line, "'" + v->name + "' of type " + cgTypeName(v->type) +
                             " cannot be bound to " + path + ", a " + cgTypeName(stateType));
    }
}

// A semantic naming vertex or fragment data; any other on a parameter is only
// a label for the application (WORLDVIEWPROJECTION, TEXUNIT0).
bool Parser::varyingSemantic(const std::string& semantic) {
    static const std::set<std::string> kinds = {
        "POSITION", "HPOS",     "NORMAL",   "COLOR", "COL",         "DIFFUSE",
        "SPECULAR", "TEXCOORD", "TEX",      "ATTR",  "FOG",         "FOGC",
        "FOGCOORD", "PSIZE",    "PSIZ",     "WPOS",  "DEPTH",       "DEPR",
        "BCOL",     "TANGENT",  "BINORMAL", "FACE",  "BLENDWEIGHT", "BLENDINDICES"};
    size_t digits = semantic.find_first_of("0123456789");
    return kinds.count(semantic.substr(0, digits)) != 0;
}

void Parser::declare(Variable* v) {
    auto& vars = scopes.back().variables;
    if (vars.count(v->name) != 0) {
        diag.error(v->line, "redefinition of '" + v->name + "'");
    }
    vars[v->name] = v;
}

Variable* Parser::lookup(const std::string& name) const {
    for (auto s = scopes.rbegin(); s != scopes.rend(); ++s) {
        auto found = s->variables.find(name);
        if (found != s->variables.end()) {
            return found->second;
        }
    }
    return nullptr;
}

// ---- top level -------------------------------------------------------------

void Parser::run() {
    // Each token's binding level as a binary operator, looked up once: the
    // expression parser asks at every level for every operand.
    operatorLevels.assign(tokens.size(), -1);
    for (size_t i = 0; i < tokens.size(); ++i) {
        for (size_t level = 0;
             tokens[i].kind == TokenKind::Punct && level < binaryOperatorLevels.size(); ++level) {
            for (const char* o : binaryOperatorLevels[level]) {
                if (tokens[i].text == o) {
                    operatorLevels[i] = static_cast<int>(level);
                }
            }
        }
    }
    scopes.emplace_back();
    while (peek().kind != TokenKind::End) {
        topLevel();
    }
}

void Parser::topLevel() {
    if (accept(";")) {
        return;
    }
    int line = peek().line;
    if (is("struct") && peek(1).kind == TokenKind::Identifier &&
        (peek(2).text == "{" || peek(2).text == ";")) {
        std::string name = peek(1).text;
        structDefinition();
        if (accept(";")) {
            return;
        }
        // "struct S { ... } s;": declarators follow the definition.
        Type type;
        type.base = Base::Struct;
        type.record = structs[name];
        globalDeclarators(type, false, false, false);
        return;
    }
    if (accept("typedef")) {
        Type type = parseType(false);
        std::string name = identifier("typedef name");
        type = arraySuffix(type);
        if (type.arrayLength < 0) {
            diag.error(line, "typedef of an unsized array");
        }
        typedefs[name] = type;
        expect(";");
        return;
    }
    // A geometry program ("TRIANGLE void gsMain(AttribArray<float4> p : POSITION)")
    // may share the text; it only has to be skipped whole.
    if (primitiveQualifier(0)) {
        next();
        otherStageFunction("geometry", line);
        return;
    }
    bool isStatic = false;
    bool isConst = false;
    bool isUniform = false;
    while (true) {
        if (accept("static")) {
            isStatic = true;
        } else if (accept("const")) {
            isConst = true;
        } else if (accept("uniform")) {
            isUniform = true;
        } else if (accept("extern") || accept("inline")) {
        } else if (is("varying") || is("in") || is("out") || is("inout")) {
            diag.error(peek().line, "global varying variables are not supported; use "
                                    "entry parameters with semantics");
        } else {
            break;
        }
    }
    if (!startsType()) {
        unexpected("declaration");
    }
    // The primitive may also stand before a parameter of a geometry program
    // ("void gsMain(TRIANGLE AttribArray<float4> p : POSITION)").
    if (geometryParameters(0)) {
        otherStageFunction("geometry", line);
        return;
    }
    Type type;
    size_t listed = diag.listing.size();
    fatal = false;
    try {
        type = parseType(true);
    } catch (const CompileError&) {
        // A type these profiles lack: the declaration waits for a use.
        if (fatal || peek().kind != TokenKind::Identifier) {
            throw;
        }
        std::string error = diag.listing.substr(listed);
        diag.listing.resize(listed);
        --diag.errorCount;
        if (peek(1).text == "(") {
            std::string name = next().text;
            size_t end = declarationEnd(pos);
            if (end == 0) {
                diag.fail(error);
            }
            pos = end + 1;
            failedFunction(name, line, error);
            return;
        }
        skipDeclarators(error);
        return;
    }
    if (peek().kind == TokenKind::Identifier && peek(1).text == "(") {
        std::string name = identifier("name");
        size_t open = pos;
        size_t openScopes = scopes.size();
        fatal = false;
        try {
            function(type, name, line);
        } catch (const CompileError&) {
            // What the signature gets wrong waits, as a body's errors do.
            size_t end = declarationEnd(open);
            if (fatal || end == 0) {
                throw;
            }
            std::string error = diag.listing.substr(listed);
            diag.listing.resize(listed);
            --diag.errorCount;
            scopes.resize(openScopes);
            unmeasured.clear();
            pos = end + 1;
            failedFunction(name, line, error);
        }
        return;
    }
    if (type.isVoid()) {
        diag.error(line, "void is not a type for a variable");
    }
    globalDeclarators(type, isStatic, isConst, isUniform);
}

void Parser::structDefinition() {
    int line = peek().line;
    expect("struct");
    std::string name = identifier("struct name");
    if (accept(";")) {
        diag.error(line, "struct '" + name + "' is declared but never defined");
    }
    if (structs.count(name) != 0) {
        diag.error(line, "redefinition of struct '" + name + "'");
    }
    program.structs.push_back(std::make_unique<StructDef>());
    StructDef* def = program.structs.back().get();
    def->name = name;
    def->glslName = glslIdentifier(name);
    def->line = line;
    expect("{");
    while (!accept("}")) {
        accept("const");
        Type type = parseType(false);
        do {
            Member m;
            m.line = peek().line;
            m.name = identifier("member name");
            m.glslName = glslIdentifier(m.name);
            m.type = arraySuffix(type);
            if (m.type.arrayLength < 0) {
                diag.error(m.line, "struct member '" + m.name + "' needs an array size");
            }
            if (m.type.isSampler() || (m.type.isStruct() && m.type.record == def)) {
                diag.error(m.line, "struct member '" + m.name + "' of type " + cgTypeName(m.type) +
                                       " is not supported");
            }
            m.semantic = semantic();
            if (def->find(m.name) != nullptr) {
                diag.error(m.line, "duplicate member '" + m.name + "'");
            }
            def->members.push_back(m);
        } while (accept(","));
        expect(";");
    }
    if (def->members.empty()) {
        diag.error(line, "struct '" + name + "' has no members");
    }
    structs[name] = def;
}

void Parser::globalDeclarators(Type base, bool isStatic, bool isConst, bool isUniform) {
    do {
        int line = peek().line;
        std::string name = identifier("variable name");
        if (scopes.back().variables.count(name) != 0) {
            diag.error(line, "redefinition of '" + name + "'");
        }
        size_t listed = diag.listing.size();
        size_t start = pos;
        int openDepth = depth;
        fatal = false;
        try {
            globalDeclarator(base, name, line, isStatic, isConst, isUniform);
        } catch (const CompileError&) {
            // A global no entry uses may be wrong for these profiles; a
            // function that uses it meets the error.
            if (fatal) {
                throw;
            }
            failedGlobals[name] = diag.listing.substr(listed);
            diag.listing.resize(listed);
            --diag.errorCount;
            depth = openDepth;
            unmeasured.clear();
            reachCalls = nullptr;
            reachGlobals = nullptr;
            pos = start;
            skipDeclarator();
        }
    } while (accept(","));
    expect(";");
}

void Parser::globalDeclarator(const Type& base, const std::string& name, int line, bool isStatic,
                              bool isConst, bool isUniform) {
    Type type = arraySuffix(base);
    Variable* v = newVariable(
        name, type, isStatic || (isConst && !isUniform) ? Storage::Static : Storage::Global, line);
    v->isConst = isConst;
    v->uniform = v->storage == Storage::Global;
    v->semantic = semantic();
    if (accept("<")) {
        diag.error(line, "annotations are not supported");
    }
    if (accept("=")) {
        // Warnings of an initial value matter only to an entry that uses it.
        size_t listed = diag.listing.size();
        reachCalls = &v->calls;
        reachGlobals = &v->globals;
        v->init = initializer(type, line);
        reachCalls = nullptr;
        reachGlobals = nullptr;
        v->type = v->init->type;
        v->warnings = diag.listing.substr(listed);
        diag.listing.resize(listed);
    }
    if (v->uniform) {
        bindTrackedState(v);
    }
    if (v->type.arrayLength < 0) {
        diag.error(line, "array '" + name + "' needs a size");
    }
    if (v->uniform && varyingSemantic(v->semantic)) {
        diag.error(line, "global '" + name + "' with semantic " + v->semantic +
                             " is not supported; use an entry parameter");
    }
    if (v->type.isSampler() && !v->uniform) {
        diag.error(line, "sampler '" + name + "' must be a parameter");
    }
    declare(v);
    program.globals.push_back(v);
}

void Parser::function(const Type& returnType, const std::string& name, int line) {
    program.functions.push_back(std::make_unique<Function>());
    Function* fn = program.functions.back().get();
    fn->name = name;
    fn->glslName = glslIdentifier(name);
    fn->returnType = returnType;
    fn->line = line;
    if (returnType.isSampler()) {
        diag.error(line, "a function cannot return a sampler");
    }
    expect("(");
    scopes.emplace_back();
    if (is("void") && peek(1).text == ")") {
        next();
    }
    while (!accept(")")) {
        if (!fn->params.empty()) {
            expect(",");
        }
        int pline = peek().line;
        ParamMode mode = ParamMode::In;
        bool uniform = false;
        while (true) {
            if (accept("in") || accept("const")) {
            } else if (accept("out")) {
                mode = ParamMode::Out;
            } else if (accept("inout")) {
                mode = ParamMode::InOut;
            } else if (accept("uniform")) {
                uniform = true;
            } else {
                break;
            }
        }
        Type type = parseType(false);
        std::string pname = identifier("parameter name");
        type = arraySuffix(type);
        if (type.arrayLength < 0) {
            diag.error(pline, "parameter '" + pname + "' needs an array size");
        }
        Variable* p = newVariable(pname, type, Storage::Parameter, pline);
        p->mode = mode;
        p->uniform = uniform;
        p->semantic = semantic();
        if (uniform) {
            bindTrackedState(p);
        } else if (p->semantic.compare(0, 6, "state.") == 0) {
            diag.error(pline, "'" + pname + "' is bound to " + p->semantic + " but not uniform");
        }
        if (accept("=")) {
            diag.error(pline, "default parameter values are not supported");
        }
        if (type.isSampler() && mode != ParamMode::In) {
            diag.error(pline, "sampler parameter '" + pname + "' cannot be out or inout");
        }
        declare(p);
        fn->params.push_back(p);
    }
    fn->returnSemantic = semantic();

    // A prototype and its definition are one function.
    Function* existing = nullptr;
    for (Function* other : functions[name]) {
        bool same = other->params.size() == fn->params.size() &&
                    !(other->body == nullptr && !other->error.empty());
        for (size_t i = 0; same && i < fn->params.size(); ++i) {
            same = other->params[i]->type == fn->params[i]->type;
        }
        if (same) {
            existing = other;
        }
    }
    if (existing != nullptr && existing->returnType != returnType) {
        fatal = true;
        diag.error(line, "'" + name + "' redeclared with another return type");
    }
    if (accept(";")) {
        scopes.pop_back();
        if (existing == nullptr) {
            functions[name].push_back(fn);
            program.functionOrder.push_back(fn);
        }
        return;
    }
    if (existing != nullptr && existing->body != nullptr) {
        fatal = true;
        diag.error(line, "redefinition of function '" + name + "'");
    }
    Function* target = existing != nullptr ? existing : fn;
    if (existing != nullptr) {
        existing->params = fn->params;
        existing->returnSemantic = fn->returnSemantic;
        existing->line = line;
    } else {
        functions[name].push_back(fn);
        program.functionOrder.push_back(fn);
    }
    if (!is("{")) {
        unexpected("'{'");
    }
    functionBody(target, name, line);
    scopes.pop_back();
}

// A function whose declaration failed (it has no body then): calls of it, or
// translating it as the entry, give its error.
void Parser::failedFunction(const std::string& name, int line, const std::string& error) {
    program.functions.push_back(std::make_unique<Function>());
    Function* fn = program.functions.back().get();
    fn->name = name;
    fn->glslName = glslIdentifier(name);
    fn->line = line;
    fn->error = error;
    functions[name].push_back(fn);
    program.functionOrder.push_back(fn);
}

// Skips the rest of a global declarator after an error, up to the ',' or ';'
// ending it.
void Parser::skipDeclarator() {
    int nested = 0;
    while (peek().kind != TokenKind::End && !(nested == 0 && (is(",") || is(";")))) {
        const std::string& t = next().text;
        nested += t == "(" || t == "{" || t == "[" ? 1 : t == ")" || t == "}" || t == "]" ? -1 : 0;
    }
}

// The declarators of a global whose type failed, each name remembered with the error.
void Parser::skipDeclarators(const std::string& error) {
    do {
        failedGlobals[identifier("variable name")] = error;
        skipDeclarator();
    } while (accept(","));
    expect(";");
}

// The last token of the function declared from the '(' at open on: its ';' or
// the '}' closing its body (0: none).
size_t Parser::declarationEnd(size_t open) const {
    int parens = 0;
    size_t at = open;
    for (; at < tokens.size() && tokens[at].kind != TokenKind::End; ++at) {
        parens += tokens[at].text == "(" ? 1 : tokens[at].text == ")" ? -1 : 0;
        if (parens == 0) {
            break;
        }
    }
    for (; at < tokens.size() && tokens[at].kind != TokenKind::End; ++at) {
        if (tokens[at].text == ";") {
            return at;
        }
        if (tokens[at].text == "{") {
            int braces = 0;
            for (; at < tokens.size() && tokens[at].kind != TokenKind::End; ++at) {
                braces += tokens[at].text == "{" ? 1 : tokens[at].text == "}" ? -1 : 0;
                if (braces == 0) {
                    return at;
                }
            }
            return 0;
        }
    }
    return 0;
}

// The index of the '}' closing the block that starts here (0: none).
size_t Parser::closingBrace() const {
    int open = 0;
    for (size_t at = pos; at < tokens.size() && tokens[at].kind != TokenKind::End; ++at) {
        if (tokens[at].text == "{") {
            ++open;
        } else if (tokens[at].text == "}" && --open == 0) {
            return at;
        }
    }
    return 0;
}

// A body is checked as it is read, but what it gets wrong (other than its
// syntax) is put aside on the function: a text may hold functions for other
// profiles or stages, and only the ones an entry reaches must translate. Its
// warnings wait the same way.
void Parser::functionBody(Function* fn, const std::string& name, int line) {
    size_t end = closingBrace();
    size_t listed = diag.listing.size();
    size_t openScopes = scopes.size();
    int openDepth = depth;
    current = fn;
    reachCalls = &fn->calls;
    reachGlobals = &fn->globals;
    returned = false;
    fatal = false;
    try {
        fn->body = block();
        if (!returned && !fn->returnType.isVoid()) {
            diag.error(line, "function '" + name + "' returns " + cgTypeName(fn->returnType) +
                                 " but has no return statement");
        }
        fn->warnings = diag.listing.substr(listed);
    } catch (const CompileError&) {
        if (fatal || end == 0) {
            throw;
        }
        // The error is the last line of the listing; warnings stand before it.
        std::string lines = diag.listing.substr(listed);
        size_t last = lines.rfind('\n', lines.size() - 2);
        last = last == std::string::npos ? 0 : last + 1;
        fn->warnings = lines.substr(0, last);
        fn->error = lines.substr(last);
        --diag.errorCount;
        scopes.resize(openScopes);
        depth = openDepth;
        unmeasured.clear();
        pos = end + 1;
        fn->body = make(NodeKind::Block, line);
    }
    diag.listing.resize(listed);
    current = nullptr;
    reachCalls = nullptr;
    reachGlobals = nullptr;
}

// The input primitive of a geometry program, in either case, where it qualifies
// what follows: a type, another qualifier or the program's attribute arrays. A
// variable or a type of the same name is followed by something else.
bool Parser::primitiveQualifier(size_t ahead) const {
    static const std::set<std::string> primitives = {
        "POINT", "LINE", "LINE_ADJ", "TRIANGLE", "TRIANGLE_ADJ",
        "point", "line", "line_adj", "triangle", "triangle_adj"};
    static const std::set<std::string> qualified = {"in",    "out",     "inout",
                                                    "const", "uniform", "AttribArray"};
    if (peek(ahead).kind != TokenKind::Identifier || primitives.count(peek(ahead).text) == 0) {
        return false;
    }
    const Token& after = peek(ahead + 1);
    return startsType(ahead + 1) ||
           (after.kind == TokenKind::Identifier && qualified.count(after.text) != 0);
}

// Whether the declaration at `ahead` is a function with a primitive among the
// qualifiers of one of its parameters: a return type, a name, then "(".
bool Parser::geometryParameters(size_t ahead) const {
    static const std::set<std::string> qualifiers = {"in", "out", "inout", "const", "uniform"};
    size_t i = ahead;
    while (peek(i).kind == TokenKind::Identifier && peek(i + 1).text != "(") {
        ++i;
    }
    if (peek(i).kind != TokenKind::Identifier) {
        return false;
    }
    int depth = 0;
    bool parameterStart = false;
    for (i += 1; peek(i).kind != TokenKind::End; ++i) {
        const std::string& t = peek(i).text;
        if (t == "(") {
            parameterStart = ++depth == 1;
            continue;
        }
        if (t == ")" && --depth == 0) {
            return false;
        }
        if (depth != 1) {
            continue;
        }
        if (parameterStart && primitiveQualifier(i)) {
            return true;
        }
        parameterStart = t == "," || (parameterStart && qualifiers.count(t) != 0);
    }
    return false;
}

// A function for a stage these profiles do not have: its signature and body
// are skipped with their brackets balanced, and it stands as a function no
// entry can reach.
void Parser::otherStageFunction(const std::string& kind, int line) {
    parseType(true);
    std::string name = identifier("function name");
    if (!is("(")) {
        unexpected("'('");
    }
    int open = 0;
    while (peek().kind != TokenKind::End) {
        const std::string& t = next().text;
        open += t == "(" ? 1 : t == ")" ? -1 : 0;
        if (open == 0) {
            break;
        }
    }
    semantic();
    if (!is("{")) {
        unexpected("'{'");
    }
    size_t end = closingBrace();
    if (end == 0) {
        unexpected("'}'");
    }
    pos = end + 1;
    program.functions.push_back(std::make_unique<Function>());
    Function* fn = program.functions.back().get();
    fn->name = name;
    fn->glslName = glslIdentifier(name);
    fn->line = line;
    fn->error = diag.where(line) + " : error: '" + name + "' is a " + kind +
                " program, which arbvp1 and arbfp1 cannot run\n";
    functions[name].push_back(fn);
    program.functionOrder.push_back(fn);
}

// ---- statements ------------------------------------------------------------

Node* Parser::block() {
    Node* n = make(NodeKind::Block, peek().line);
    expect("{");
    scopes.emplace_back();
    enter();
    while (!accept("}")) {
        if (peek().kind == TokenKind::End) {
            unexpected("'}'");
        }
        n->kids.push_back(statement());
    }
    leave();
    scopes.pop_back();
    return n;
}

Node* Parser::condition(Node* e) {
    if (e->type.isScalar()) {
        return e->type.base == Base::Bool ? e : retype(e, Type::scalar(Base::Bool));
    }
    diag.error(e->line, "condition must be a scalar, not " + cgTypeName(e->type));
}

Node* Parser::statement() {
    int line = peek().line;
    if (is("{")) {
        return block();
    }
    if (accept(";")) {
        return make(NodeKind::Empty, line);
    }
    if (accept("if")) {
        Node* n = make(NodeKind::If, line);
        expect("(");
        n->kids.push_back(condition(expression()));
        expect(")");
        enter();
        n->kids.push_back(statement());
        if (accept("else")) {
            n->kids.push_back(statement());
        }
        leave();
        return n;
    }
    if (accept("while")) {
        Node* n = make(NodeKind::While, line);
        expect("(");
        n->kids.push_back(condition(expression()));
        expect(")");
        enter();
        n->kids.push_back(statement());
        leave();
        return n;
    }
    if (accept("do")) {
        Node* n = make(NodeKind::DoWhile, line);
        enter();
        Node* body = statement();
        leave();
        expect("while");
        expect("(");
        n->kids.push_back(body);
        n->kids.push_back(condition(expression()));
        expect(")");
        expect(";");
        return n;
    }
    if (accept("for")) {
        Node* n = make(NodeKind::For, line);
        expect("(");
        scopes.emplace_back();
        Node* init = nullptr;
        if (!accept(";")) {
            init = startsType() || is("const") ? declaration() : nullptr;
            if (init == nullptr) {
                init = make(NodeKind::ExprStmt, line);
                init->kids.push_back(expression());
                expect(";");
            }
        }
        Node* cond = is(";") ? nullptr : condition(expression());
        expect(";");
        Node* step = is(")") ? nullptr : expression();
        expect(")");
        enter();
        Node* body = statement();
        leave();
        scopes.pop_back();
        n->kids = {init, cond, step, body};
        return n;
    }
    if (accept("return")) {
        returned = true;
        Node* n = make(NodeKind::Return, line);
        if (!accept(";")) {
            Node* e = expression();
            if (current->returnType.isVoid()) {
                diag.error(line, "return with a value in a void function");
            }
            n->kids.push_back(convert(e, current->returnType, line, "return value"));
            expect(";");
        } else if (!current->returnType.isVoid()) {
            diag.error(line, "return without a value in a function returning " +
                                 cgTypeName(current->returnType));
        }
        return n;
    }
    if (accept("break")) {
        expect(";");
        return make(NodeKind::Break, line);
    }
    if (accept("continue")) {
        expect(";");
        return make(NodeKind::Continue, line);
    }
    if (accept("discard")) {
        expect(";");
        fragmentOnly(line, "discard");
        return make(NodeKind::Discard, line);
    }
    if (is("switch") || is("goto") || is("case")) {
        diag.error(line, "'" + peek().text + "' is not supported");
    }
    if (is("static") || is("const") || is("uniform") ||
        (startsType() && peek(1).kind == TokenKind::Identifier)) {
        return declaration();
    }
    Node* n = make(NodeKind::ExprStmt, line);
    n->kids.push_back(expression());
    expect(";");
    return n;
}

Node* Parser::declaration() {
    int line = peek().line;
    bool isConst = false;
    while (true) {
        if (accept("const")) {
            isConst = true;
        } else if (accept("static") || accept("uniform")) {
            // A static local is one value for the whole run in Cg; nothing
            // keeps state between invocations, so it is an ordinary local here.
        } else {
            break;
        }
    }
    Type base = parseType(false);
    Node* n = make(NodeKind::Declaration, line);
    do {
        int vline = peek().line;
        std::string name = identifier("variable name");
        Type type = arraySuffix(base);
        semantic();
        Variable* v = newVariable(name, type, Storage::Local, vline);
        v->isConst = isConst;
        if (type.isSampler()) {
            diag.error(vline, "sampler '" + name + "' cannot be a local variable");
        }
        if (accept("=")) {
            v->init = initializer(type, vline);
            v->type = v->init->type;
        }
        if (v->type.arrayLength < 0) {
            diag.error(vline, "array '" + name + "' needs a size");
        }
        declare(v);
        n->vars.push_back(v);
    } while (accept(","));
    expect(";");
    return n;
}

Parser::InitItem Parser::readInitializer() {
    InitItem item;
    item.line = peek().line;
    if (!accept("{")) {
        item.value = assignment();
        return item;
    }
    enter();
    while (!is("}")) {
        item.list.push_back(readInitializer());
        if (!accept(",")) {
            break;
        }
    }
    expect("}");
    leave();
    return item;
}

// An initial value of the given type. A brace list fills an array or struct
// element after element as C does, braces around an element being optional
// ("float2 o[2] = { 1, 2, 3, 4 }"); what a short list leaves out is zero.
Node* Parser::initializer(const Type& type, int line) {
    InitItem item = readInitializer();
    shortInitializer = false;
    Node* value = initialize(type, item);
    if (shortInitializer) {
        diag.warning(line, "the initializer of this " + cgTypeName(value->type) +
                               " is short; the values it leaves out are zero");
    }
    return value;
}

Node* Parser::initialize(const Type& type, const InitItem& item) {
    int line = item.line;
    if (item.value != nullptr) {
        return convert(item.value, type.arrayLength < 0 ? Type{} : type, line, "initializer");
    }
    const std::vector<InitItem>& list = item.list;
    size_t next = 0;
    std::vector<Node*> items;
    Type listType = type;
    if (type.isArray() || type.arrayLength < 0) {
        Type element = type.element();
        while (next < list.size()) {
            if (type.arrayLength > 0 && static_cast<int>(items.size()) == type.arrayLength) {
                diag.error(line,
                           "the initializer has more values than " + cgTypeName(type) + " holds");
            }
            items.push_back(fillElement(element, list, next));
        }
        if (items.empty()) {
            diag.error(line, "empty initializer");
        }
        while (static_cast<int>(items.size()) < type.arrayLength) {
            items.push_back(zero(element, line));
            shortInitializer = true;
        }
        listType.arrayLength = static_cast<int>(items.size());
    } else if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            if (next < list.size()) {
                items.push_back(fillElement(m.type, list, next));
            } else {
                items.push_back(zero(m.type, line));
                shortInitializer = true;
            }
        }
        if (next < list.size()) {
            diag.error(line, "the initializer has more values than struct " + type.record->name +
                                 " holds");
        }
    } else if (type.isNumeric()) {
        // Braces around scalars, vectors and matrices list components in row order.
        int count = 0;
        for (const InitItem& i : list) {
            Node* e =
                i.value != nullptr
                    ? i.value
                    : initialize(type.isMatrix() ? Type::vector(Base::Float, type.cols) : type, i);
            if (!e->type.isNumeric()) {
                diag.error(line, "initializer element of type " + cgTypeName(e->type));
            }
            count += e->type.components();
            items.push_back(e);
        }
        if (count != type.components()) {
            diag.error(line, "initializer has " + std::to_string(count) + " components for " +
                                 cgTypeName(type));
        }
        return construct(type, items, line);
    } else {
        diag.error(line, "a brace initializer cannot give a " + cgTypeName(type));
    }
    Node* init = make(NodeKind::InitList, line, listType);
    init->kids = items;
    return init;
}

// One element of an array or struct from a brace list, starting at list[next]:
// a braced item, a value of the element's whole shape, or as many values as
// the element has components.
Node* Parser::fillElement(const Type& type, const std::vector<InitItem>& list, size_t& next) {
    const InitItem& first = list[next];
    int line = first.line;
    if (first.value == nullptr) {
        ++next;
        return initialize(type, first);
    }
    const Type& given = first.value->type;
    bool whole = type.isScalar() || given == type || (type.isArray() && given.isArray()) ||
                 (type.isStruct() && given.isStruct()) ||
                 (given.isNumeric() && !given.isScalar() &&
                  given.components() >= type.components() && given.isMatrix() == type.isMatrix());
    if (whole || !(type.isNumeric() || type.isStruct() || type.isArray())) {
        ++next;
        return convert(first.value, type, line, "initializer");
    }
    if (type.isStruct() || type.isArray()) {
        std::vector<Node*> parts;
        if (type.isStruct()) {
            for (const Member& m : type.record->members) {
                bool more = next < list.size() && list[next].value != nullptr;
                parts.push_back(more ? fillElement(m.type, list, next) : zero(m.type, line));
                shortInitializer = shortInitializer || !more;
            }
        } else {
            for (int i = 0; i < type.arrayLength; ++i) {
                bool more = next < list.size() && list[next].value != nullptr;
                parts.push_back(more ? fillElement(type.element(), list, next)
                                     : zero(type.element(), line));
                shortInitializer = shortInitializer || !more;
            }
        }
        Node* init = make(NodeKind::InitList, line, type);
        init->kids = parts;
        return init;
    }
    std::vector<Node*> parts;
    int count = 0;
    while (count < type.components() && next < list.size() && list[next].value != nullptr) {
        Node* e = list[next].value;
        if (!e->type.isNumeric() || e->type.isMatrix()) {
            diag.error(line, "initializer element of type " + cgTypeName(e->type) + " for " +
                                 cgTypeName(type));
        }
        count += e->type.components();
        parts.push_back(e);
        ++next;
    }
    if (count > type.components()) {
        diag.error(line, "initializer values cross the end of a " + cgTypeName(type));
    }
    if (count < type.components() && next < list.size()) {
        diag.error(line, "a brace list cannot complete a " + cgTypeName(type));
    }
    for (; count < type.components(); ++count) {
        parts.push_back(literal("0.0", Type::scalar(Base::Float), line));
        shortInitializer = true;
    }
    return construct(type, parts, line);
}

Node* Parser::zero(const Type& type, int line) {
    if (type.isNumeric()) {
        return cast(type, literal("0.0", Type::scalar(Base::Float), line), line);
    }
    if (!type.isStruct() && !type.isArray()) {
        diag.error(line, "a " + cgTypeName(type) + " cannot be left out of an initializer");
    }
    Node* init = make(NodeKind::InitList, line, type);
    if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            init->kids.push_back(zero(m.type, line));
        }
    } else {
        for (int i = 0; i < type.arrayLength; ++i) {
            init->kids.push_back(zero(type.element(), line));
        }
    }
    return init;
}

// ---- expressions -----------------------------------------------------------

Node* Parser::expression() {
    Node* e = assignment();
    while (is(",")) {
        int line = next().line;
        Node* c = make(NodeKind::Comma, line);
        c->kids = {e, assignment()};
        c->type = c->kids[1]->type;
        e = c;
    }
    return e;
}

Node* Parser::assignment() {
    enter();
    Node* left = conditional();
    static const char* ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};
    for (const char* op : ops) {
        if (is(op)) {
            int line = next().line;
            Node* right = assignment();
            leave();
            Node* result = makeAssign(op, left, right, line);
            measure();
            return result;
        }
    }
    leave();
    measure();
    return left;
}

Node* Parser::makeAssign(const std::string& op, Node* target, Node* value, int line) {
    requireLvalue(target, line);
    const Type& t = target->type;
    Node* n = make(NodeKind::Assign, line, t);
    if (op == "=") {
        n->text = "=";
        n->kids = {target, convert(value, t, line, "assignment")};
        return n;
    }
    std::string binop = op.substr(0, op.size() - 1);
    if (!t.isNumeric() || !value->type.isNumeric()) {
        diag.error(line, "'" + op + "' needs numeric operands");
    }
    Node* combined = makeBinary(binop, target, value, line);
    bool simple = binop != "%" && combined->type == t &&
                  !(binop == "*" && t.isMatrix() && value->type.isMatrix());
    if (simple) {
        n->text = op;
        Node* right = value->type.isScalar() ? retype(value, Type::scalar(t.base))
                                             : retype(combined->kids[1], t);
        n->kids = {target, right};
        return n;
    }
    // Forms GLSL has no compound spelling for are written out in full, which
    // evaluates the target twice: only safe when reading it has no effect.
    if (!pure(target)) {
        diag.error(line, "'" + op + "' on this target is not supported; write it out");
    }
    n->text = "=";
    n->kids = {target, convert(combined, t, line, "assignment")};
    return n;
}

Node* Parser::conditional() {
    Node* c = binary(0);
    if (!is("?")) {
        return c;
    }
    int line = next().line;
    Node* a = assignment();
    expect(":");
    Node* b = conditional();
    Node* n = make(NodeKind::Conditional, line);
    if (a->type.isNumeric() && b->type.isNumeric()) {
        Type t = common(a->type, b->type, line, "?:");
        if (c->type.isVector()) {
            // A vector condition selects per component.
            int cols = c->type.cols;
            if (t.isMatrix()) {
                diag.error(line, "?: with a vector condition cannot select matrices");
            }
            if (t.cols > 1 && t.cols != cols) {
                diag.error(line, "?: condition and values differ in size");
            }
            t.cols = cols;
            n->kids = {retype(c, Type::vector(Base::Bool, cols)), retype(a, t), retype(b, t)};
            n->type = t;
            n->flag = true;
            std::string key = "cgh_select ";
            key += (t.base == Base::Float ? "vec" : t.base == Base::Int ? "ivec" : "bvec");
            key += std::to_string(cols);
            useHelper(key);
            return n;
        }
        n->kids = {condition(c), retype(a, t), retype(b, t)};
        n->type = t;
        return n;
    }
    if (a->type != b->type || a->type.isSampler()) {
        diag.error(line, "?: values have different types " + cgTypeName(a->type) + " and " +
                             cgTypeName(b->type));
    }
    n->kids = {condition(c), a, b};
    n->type = a->type;
    return n;
}

Node* Parser::binary(int level) {
    const auto& levels = binaryOperatorLevels;
    if (level == static_cast<int>(levels.size())) {
        return unary();
    }
    Node* left = binary(level + 1);
    for (int chain = 0;; ++chain) {
        if (chain > maxChain) {
            diag.error(peek().line, "expression is too long");
        }
        if (operatorLevels[pos] != level) {
            return left;
        }
        std::string op = peek().text;
        int line = next().line;
        Node* right = binary(level + 1);
        left = makeBinary(op, left, right, line);
    }
}

Node* Parser::makeBinary(const std::string& op, Node* a, Node* b, int line) {
    if (op == "|" || op == "&" || op == "^" || op == "<<" || op == ">>") {
        diag.error(line, "bitwise operator '" + op + "' is not supported by this profile");
    }
    if (!a->type.isNumeric() || !b->type.isNumeric()) {
        diag.error(line, "operator '" + op + "' cannot take " + cgTypeName(a->type) + " and " +
                             cgTypeName(b->type));
    }
    Node* n = make(NodeKind::Binary, line);
    n->text = op;
    Type t = common(a->type, b->type, line, op);
    if (op == "&&" || op == "||") {
        if (t.isMatrix()) {
            diag.error(line, "'" + op + "' cannot take matrices");
        }
        t.base = Base::Bool;
        n->kids = {retype(a, t), retype(b, t)};
        n->type = t;
        return n;
    }
    if (op == "==" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        if (t.isMatrix()) {
            diag.error(line, "'" + op + "' cannot compare matrices");
        }
        if (t.base == Base::Bool && op != "==" && op != "!=") {
            t.base = Base::Int;
        }
        n->kids = {retype(a, t), retype(b, t)};
        n->type = t.withBase(Base::Bool);
        return n;
    }
    if (t.base == Base::Bool) {
        t.base = Base::Int;
    }
    auto fit = [&](Node* e) {
        return e->type.isScalar() ? retype(e, Type::scalar(t.base)) : retype(e, t);
    };
    if (op == "%") {
        // Cg's % keeps the dividend's sign, as C's fmod does; GLSL's mod does not.
        Type ft = t.withBase(Base::Float);
        Node* call = make(NodeKind::Intrinsic, line, ft);
        call->text = "cgh_fmod";
        call->kids = {retype(a, ft), retype(b, ft)};
        useHelper("cgh_fmod");
        return t.base == Base::Int ? retype(call, t) : call;
    }
    n->kids = {fit(a), fit(b)};
    n->type = t;
    if (op == "*" && a->type.isMatrix() && b->type.isMatrix()) {
        n->text = "matrixCompMult";
    }
    return n;
}

Node* Parser::unary() {
    int line = peek().line;
    enter();
    Node* result = nullptr;
    if (is("-") || is("+")) {
        bool minus = next().text == "-";
        Node* e = unary();
        if (!e->type.isNumeric()) {
            diag.error(line, "unary operator needs a number, not " + cgTypeName(e->type));
        }
        if (e->type.base == Base::Bool) {
            e = retype(e, e->type.withBase(Base::Int));
        }
        if (!minus) {
            result = e;
        } else if (e->kind == NodeKind::Literal && e->text[0] != '-') {
            result = literal("-" + e->text, e->type, line);
        } else {
            result = make(NodeKind::Unary, line, e->type);
            result->text = "-";
            result->kids.push_back(e);
        }
    } else if (accept("!")) {
        Node* e = unary();
        if (!e->type.isNumeric() || e->type.isMatrix()) {
            diag.error(line, "'!' needs a scalar or vector, not " + cgTypeName(e->type));
        }
        result = make(NodeKind::Unary, line, e->type.withBase(Base::Bool));
        result->text = "!";
        result->kids.push_back(retype(e, e->type.withBase(Base::Bool)));
    } else if (accept("~")) {
        diag.error(line, "bitwise operator '~' is not supported by this profile");
    } else if (is("++") || is("--")) {
        std::string op = next().text;
        Node* e = unary();
        requireLvalue(e, line);
        if (!e->type.isNumeric() || e->type.base == Base::Bool) {
            diag.error(line, "'" + op + "' needs a number");
        }
        result = make(NodeKind::IncDec, line, e->type);
        result->text = op;
        result->flag = true;
        result->kids.push_back(e);
    } else if (is("(") && startsType(1)) {
        size_t save = pos;
        next();
        Type type = parseType(false);
        if (accept(")")) {
            result = cast(type, unary(), line);
        } else {
            pos = save;
            result = postfix(primary());
        }
    } else {
        result = postfix(primary());
    }
    leave();
    return result;
}

Node* Parser::postfix(Node* e) {
    for (int chain = 0;; ++chain) {
        int line = peek().line;
        if (chain > maxChain) {
            diag.error(line, "expression is too long");
        }
        if (accept("[")) {
            Node* index = expression();
            expect("]");
            if (!index->type.isScalar()) {
                diag.error(line, "index must be a scalar");
            }
            index = retype(index, Type::scalar(Base::Int));
            Type t;
            if (e->type.isArray()) {
                t = e->type.element();
            } else if (e->type.isMatrix()) {
                t = Type::vector(Base::Float, e->type.cols);
            } else if (e->type.isVector()) {
                t = Type::scalar(e->type.base);
            } else {
                diag.error(line, "cannot index a " + cgTypeName(e->type));
            }
            if (index->kind == NodeKind::Literal) {
                long i = strtol(index->text.c_str(), nullptr, 10);
                long limit = e->type.isArray()    ? e->type.arrayLength
                             : e->type.isMatrix() ? e->type.rows
                                                  : e->type.cols;
                if (i < 0 || i >= limit) {
                    diag.error(line, "index " + index->text + " is out of range");
                }
            }
            Node* n = make(NodeKind::Index, line, t);
            n->kids = {e, index};
            e = n;
        } else if (accept(".")) {
            e = member(e, identifier("member name"), line);
        } else if (is("++") || is("--")) {
            std::string op = next().text;
            requireLvalue(e, line);
            if (!e->type.isNumeric() || e->type.base == Base::Bool) {
                diag.error(line, "'" + op + "' needs a number");
            }
            Node* n = make(NodeKind::IncDec, line, e->type);
            n->text = op;
            n->kids.push_back(e);
            e = n;
        } else {
            return e;
        }
    }
}

Node* Parser::member(Node* e, const std::string& name, int line) {
    const Type& t = e->type;
    if (t.isStruct()) {
        const Member* m = t.record->find(name);
        if (m == nullptr) {
            diag.error(line, "'" + name + "' is not a member of struct " + t.record->name);
        }
        Node* n = make(NodeKind::Member, line, m->type);
        n->member = m;
        n->kids.push_back(e);
        return n;
    }
    if (t.isMatrix()) {
        // _m00 (zero-based) and _11 (one-based) pick elements.
        std::string picks;
        size_t i = 0;
        while (i < name.size()) {
            if (name[i] != '_') {
                break;
            }
            bool zeroBased = i + 1 < name.size() && name[i + 1] == 'm';
            size_t at = i + (zeroBased ? 2 : 1);
            if (at + 1 >= name.size() || !isdigit(static_cast<unsigned char>(name[at])) ||
                !isdigit(static_cast<unsigned char>(name[at + 1]))) {
                break;
            }
            int r = name[at] - '0' - (zeroBased ? 0 : 1);
            int c = name[at + 1] - '0' - (zeroBased ? 0 : 1);
            if (r < 0 || c < 0 || r >= t.rows || c >= t.cols) {
                diag.error(line, "matrix element '" + name + "' is out of range");
            }
            picks += static_cast<char>('0' + r);
            picks += static_cast<char>('0' + c);
            i = at + 2;
        }
        if (i != name.size() || picks.empty() || picks.size() > 8) {
            diag.error(line, "'" + name + "' is not a matrix element");
        }
        int count = static_cast<int>(picks.size() / 2);
        if (count > 1 && !pure(e)) {
            diag.error(line, "several matrix elements of this expression are not supported");
        }
        Node* n = make(NodeKind::Swizzle, line,
                       count == 1 ? Type::scalar(Base::Float) : Type::vector(Base::Float, count));
        n->text = picks;
        n->flag = true;
        n->kids.push_back(e);
        return n;
    }
    if (t.isNumeric()) {
        static const std::string sets[] = {"xyzw", "rgba"};
        for (const std::string& set : sets) {
            std::string picks;
            for (char c : name) {
                size_t k = set.find(c);
                if (k == std::string::npos) {
                    picks.clear();
                    break;
                }
                if (static_cast<int>(k) >= t.cols) {
                    diag.error(line, "swizzle '" + name + "' reaches past a " + cgTypeName(t));
                }
                picks += static_cast<char>('0' + k);
            }
            if (!picks.empty() && picks.size() <= 4) {
                int count = static_cast<int>(picks.size());
                Node* n = make(NodeKind::Swizzle, line,
                               count == 1 ? Type::scalar(t.base) : Type::vector(t.base, count));
                n->text = picks;
                n->kids.push_back(e);
                return n;
            }
        }
        diag.error(line, "'" + name + "' is not a swizzle of " + cgTypeName(t));
    }
    diag.error(line, "a " + cgTypeName(t) + " has no member '" + name + "'");
}

Node* Parser::primary() {
    const Token& t = peek();
    int line = t.line;
    if (t.kind == TokenKind::Number) {
        next();
        std::string text = t.text;
        char last = static_cast<char>(tolower(static_cast<unsigned char>(text.back())));
        bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        bool isFloat = !hex && (text.find('.') != std::string::npos ||
                                text.find_first_of("eE") != std::string::npos || last == 'f' ||
                                last == 'h' || last == 'x');
        if (isFloat) {
            if (last == 'f' || last == 'h' || last == 'x') {
                text.pop_back();
            }
            char* end = nullptr;
            double v = strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || text.find_first_of("xXpP") != std::string::npos) {
                diag.error(line, "invalid number '" + t.text + "'");
            }
            if (!std::isfinite(v) || std::fabs(v) > 3.4e38) {
                diag.error(line, "number '" + t.text + "' is out of range");
            }
            char buffer[64];
            snprintf(buffer, sizeof buffer, "%.9g", v);
            std::string out = buffer;
            if (out.find_first_of(".e") == std::string::npos) {
                out += ".0";
            }
            return literal(out, Type::scalar(Base::Float), line);
        }
        while (!text.empty() && (tolower(static_cast<unsigned char>(text.back())) == 'u' ||
                                 tolower(static_cast<unsigned char>(text.back())) == 'l')) {
            text.pop_back();
        }
        char* end = nullptr;
        errno = 0;
        unsigned long long v = strtoull(text.c_str(), &end, 0);
        if (text.empty() || *end != '\0' || errno != 0) {
            diag.error(line, "invalid number '" + t.text + "'");
        }
        if (v > 2147483647ULL) {
            diag.error(line, "integer '" + t.text + "' is too large");
        }
        return literal(std::to_string(v), Type::scalar(Base::Int), line);
    }
    if (accept("(")) {
        Node* e = expression();
        expect(")");
        return e;
    }
    if (accept("true") || accept("false")) {
        return literal(tokens[pos - 1].text, Type::scalar(Base::Bool), line);
    }
    if (t.kind != TokenKind::Identifier || isKeyword(t.text)) {
        unexpected("expression");
    }
    if (startsType() && peek(1).text == "(") {
        Type type = parseType(false);
        expect("(");
        std::vector<Node*> args;
        while (!accept(")")) {
            if (!args.empty()) {
                expect(",");
            }
            args.push_back(assignment());
        }
        return construct(type, args, line);
    }
    std::string name = next().text;
    if (name == "glstate" && lookup(name) == nullptr) {
        return glstate(line);
    }
    if (accept("(")) {
        std::vector<Node*> args;
        bool semantics = false;
        while (!accept(")")) {
            if (!args.empty()) {
                expect(",");
            }
            args.push_back(assignment());
            // A geometry program's emitVertex(p : POSITION) names where each value goes.
            if (accept(":")) {
                identifier("semantic");
                semantics = true;
            }
        }
        if (functions.count(name) == 0 && (name == "emitVertex" || name == "restartStrip")) {
            diag.error(line, name + " is only available in geometry programs");
        }
        if (semantics) {
            diag.error(line, "only emitVertex takes semantics with its arguments");
        }
        return callFunction(name, args, line);
    }
    Variable* v = lookup(name);
    if (v == nullptr && failedGlobals.count(name) != 0) {
        diag.fail(failedGlobals[name]);
    }
    if (v == nullptr) {
        diag.error(line, "undeclared identifier '" + name + "'");
    }
    if (!v->trackedState.empty()) {
        Node* state = make(NodeKind::GlState, line,
                           v->type.isMatrix() ? Type::matrix(4, 4) : Type::vector(Base::Float, 4));
        state->text = v->trackedState;
        return cast(v->type, state, line);
    }
    if ((v->storage == Storage::Global || v->storage == Storage::Static) && reachGlobals) {
        reachGlobals->insert(v);
    }
    Node* n = make(NodeKind::VarRef, line, v->type);
    n->var = v;
    return n;
}

Node* Parser::glstate(int line) {
    expect(".");
    std::string group = identifier("glstate member");
    if (group != "matrix") {
        return glstateVector(group, line);
    }
    expect(".");
    std::string form = identifier("matrix name");
    std::string modifier;
    if (form == "inverse" || form == "transpose" || form == "invtrans") {
        modifier = form;
        expect(".");
        form = identifier("matrix name");
    }
    int index = -1;
    if (form == "modelview" || form == "texture") {
        expect("[");
        const Token& t = next();
        if (t.kind != TokenKind::Number || t.text.size() != 1 || !isdigit(t.text[0])) {
            diag.error(line, "glstate.matrix." + form + " needs a constant index");
        }
        expect("]");
        index = t.text[0] - '0';
    }
    Node* n = make(NodeKind::GlState, line, Type::matrix(4, 4));
    n->text = matrixState(
        form, index, modifier,
        "glstate.matrix." + form + (index >= 0 ? "[" + std::to_string(index) + "]" : ""), line);
    return n;
}

// The GLSL built-in for a tracked matrix (index -1: none given) with its
// modifier ("", "inverse", "transpose", "invtrans"), as a Cg row-major matrix.
std::string Parser::matrixState(std::string form, int index, const std::string& modifier,
                                const std::string& spelled, int line) {
    std::string suffix = "Transpose"; // Cg rows are GLSL columns
    if (modifier == "inverse") {
        suffix = "InverseTranspose";
    } else if (modifier == "transpose") {
        suffix = "";
    } else if (modifier == "invtrans") {
        suffix = "Inverse";
    } else if (!modifier.empty()) {
        diag.error(line, spelled + "." + modifier + " is not supported");
    }
    if (form == "mvp" && index < 0) {
        return "gl_ModelViewProjectionMatrix" + suffix;
    }
    if (form == "projection" && index < 0) {
        return "gl_ProjectionMatrix" + suffix;
    }
    if (form == "modelview" && index <= 0) {
        return "gl_ModelViewMatrix" + suffix;
    }
    if (form == "modelview") {
        diag.error(line, spelled + ": only modelview[0] exists here");
    }
    if (form == "texture" && index < 8) {
        return "gl_TextureMatrix" + suffix + "[" + std::to_string(index < 0 ? 0 : index) + "]";
    }
    diag.error(line, spelled + " is not supported");
}

// The lighting, material and fog state, as the ARB programs saw it: four floats each.
Node* Parser::glstateVector(const std::string& group, int line) {
    int index = -1;
    auto indexFor = [&](int limit) {
        expect("[");
        const Token& t = next();
        if (t.kind != TokenKind::Number || t.text.size() != 1 || t.text[0] < '0' ||
            t.text[0] >= '0' + limit) {
            diag.error(line, "glstate." + group + " needs a constant index below " +
                                 std::to_string(limit));
        }
        expect("]");
        index = t.text[0] - '0';
    };
    std::string field;
    if (group == "light") {
        indexFor(8);
        expect(".");
        field = identifier("light field");
        if (field == "spot") {
            expect(".");
            field += "." + identifier("spot field");
        }
    } else if (group == "clip") {
        indexFor(6);
        expect(".");
        field = identifier("clip field");
    } else if (group == "material" || group == "lightmodel" || group == "fog") {
        expect(".");
        field = identifier("field name");
    }
    std::string spelled =
        "glstate." + group + (index >= 0 ? "[" + std::to_string(index) + "]" : "");
    Node* n = make(NodeKind::GlState, line, Type::vector(Base::Float, 4));
    n->text = vectorState(group, index, field, spelled, line);
    return n;
}

std::string Parser::vectorState(const std::string& group, int index, const std::string& field,
                                const std::string& spelled, int line) {
    auto unsupported = [&]() {
        diag.error(line, spelled + (field.empty() ? "" : "." + field) + " is not supported");
    };
    if (group == "light" && index >= 0 && index < 8) {
        std::string light = "gl_LightSource[" + std::to_string(index) + "]";
        static const std::map<std::string, std::string> fields = {{"ambient", ".ambient"},
                                                                  {"diffuse", ".diffuse"},
                                                                  {"specular", ".specular"},
                                                                  {"position", ".position"},
                                                                  {"half", ".halfVector"}};
        auto f = fields.find(field);
        if (f != fields.end()) {
            return light + f->second;
        }
        if (field == "attenuation") {
            return "vec4(" + light + ".constantAttenuation, " + light + ".linearAttenuation, " +
                   light + ".quadraticAttenuation, " + light + ".spotExponent)";
        }
        if (field == "spot.direction") {
            return "vec4(" + light + ".spotDirection, " + light + ".spotCosCutoff)";
        }
        unsupported();
    }
    if (group == "material" && index < 0) {
        if (field == "ambient" || field == "diffuse" || field == "specular" ||
            field == "emission") {
            return "gl_FrontMaterial." + field;
        }
        if (field == "shininess") {
            return "vec4(gl_FrontMaterial.shininess, 0.0, 0.0, 1.0)";
        }
        unsupported();
    }
    if (group == "lightmodel" && index < 0 && field == "ambient") {
        return "gl_LightModel.ambient";
    }
    if (group == "fog" && index < 0 && field == "color") {
        return "gl_Fog.color";
    }
    if (group == "fog" && index < 0 && field == "params") {
        return "vec4(gl_Fog.density, gl_Fog.start, gl_Fog.end, gl_Fog.scale)";
    }
    if (group == "clip" && index >= 0 && index < 6 && field == "plane") {
        return "gl_ClipPlane[" + std::to_string(index) + "]";
    }
    diag.error(line, spelled + (field.empty() ? "" : "." + field) + " is not supported");
}

Node* Parser::callFunction(const std::string& name, std::vector<Node*> args, int line) {
    if (lookup(name) != nullptr && functions.count(name) == 0) {
        diag.error(line, "'" + name + "' is not a function");
    }
    auto found = functions.find(name);
    if (found == functions.end()) {
        return intrinsic(name, std::move(args), line);
    }
    // Overloads: the candidate needing the fewest conversions wins.
    Function* best = nullptr;
    int bestCost = 1 << 30;
    for (Function* fn : found->second) {
        if (fn->params.size() != args.size()) {
            continue;
        }
        int cost = 0;
        for (size_t i = 0; i < args.size() && cost >= 0; ++i) {
            const Type& from = args[i]->type;
            const Type& to = fn->params[i]->type;
            if (from == to) {
                continue;
            }
            if (from.isSampler() && to.isSampler() &&
                (from.base == Base::Sampler || to.base == Base::Sampler)) {
                cost += 1; // an untyped sampler takes the type it is read as
                continue;
            }
            if (fn->params[i]->mode != ParamMode::In || !from.isNumeric() || !to.isNumeric()) {
                cost = -1;
            } else if (from.isMatrix() != to.isMatrix() && !from.isScalar()) {
                cost = -1;
            } else if (from.components() == to.components() || from.isScalar()) {
                cost += from.isScalar() && !to.isScalar() ? 3 : 1;
            } else if (from.components() > to.components()) {
                cost += 10;
            } else {
                cost = -1;
            }
        }
        if (cost >= 0 && cost < bestCost) {
            best = fn;
            bestCost = cost;
        }
    }
    // A function whose declaration failed stands without parameters or body.
    for (const Function* fn : found->second) {
        if ((best == nullptr || best == fn) && fn->body == nullptr && !fn->error.empty()) {
            diag.fail(fn->error);
        }
    }
    if (best == nullptr) {
        std::string types;
        for (Node* a : args) {
            types += (types.empty() ? "" : ", ") + cgTypeName(a->type);
        }
        diag.error(line, "no overload of '" + name + "' takes (" + types + ")");
    }
    Node* n = make(NodeKind::Call, line, best->returnType);
    n->fn = best;
    for (size_t i = 0; i < args.size(); ++i) {
        Variable* p = best->params[i];
        if (p->mode != ParamMode::In) {
            requireLvalue(args[i], line);
            n->kids.push_back(args[i]);
        } else if (p->type.isSampler()) {
            n->kids.push_back(args[i]);
        } else {
            n->kids.push_back(convert(args[i], p->type, line, "argument " + std::to_string(i + 1)));
        }
    }
    if (reachCalls != nullptr) {
        reachCalls->insert(best);
    }
    return n;
}

Node* Parser::construct(const Type& type, std::vector<Node*> args, int line) {
    if (!type.isNumeric()) {
        diag.error(line, "cannot construct a " + cgTypeName(type));
    }
    if (args.size() == 1 && args[0]->type.isNumeric() &&
        (args[0]->type.isScalar() || (type.isMatrix() && args[0]->type.isMatrix()))) {
        return cast(type, args[0], line);
    }
    int count = 0;
    for (Node* a : args) {
        if (!a->type.isNumeric() || a->type.isMatrix()) {
            diag.error(line, "constructor argument of type " + cgTypeName(a->type) + " for " +
                                 cgTypeName(type));
        }
        count += a->type.components();
    }
    if (count != type.components()) {
        diag.error(line, "constructor " + cgTypeName(type) + " needs " +
                             std::to_string(type.components()) + " components, " +
                             std::to_string(count) + " given");
    }
    if (args.size() == 1 && args[0]->type.components() == type.components() && !type.isMatrix()) {
        return retype(args[0], type);
    }
    Node* n = make(NodeKind::Construct, line, type);
    n->kids = args;
    return n;
}

Node* Parser::cast(const Type& type, Node* e, int line) {
    const Type& from = e->type;
    if (from == type) {
        return e;
    }
    if (type.isNumeric() && from.isNumeric()) {
        bool ok = from.isScalar() ||
                  (!type.isMatrix() && !from.isMatrix() && type.cols <= from.cols) ||
                  (type.isMatrix() && from.isMatrix() && type.rows <= from.rows &&
                   type.cols <= from.cols);
        if (ok) {
            return retype(e, type);
        }
    }
    diag.error(line, "cannot cast " + cgTypeName(from) + " to " + cgTypeName(type));
}

// ---- typing helpers --------------------------------------------------------

Node* Parser::retype(Node* e, const Type& to) {
    if (e->type == to) {
        return e;
    }
    if (e->kind == NodeKind::Literal && e->type.isScalar() && to.isScalar()) {
        if (e->type.base == Base::Int && to.base == Base::Float) {
            return literal(e->text + ".0", to, e->line);
        }
        if (e->type.base == Base::Bool && to.base != Base::Bool) {
            return literal(e->text == "true" ? (to.base == Base::Float ? "1.0" : "1")
                                             : (to.base == Base::Float ? "0.0" : "0"),
                           to, e->line);
        }
    }
    if (to.isMatrix() && e->type.isScalar() && e->kind != NodeKind::Literal) {
        // A matrix filled with a computed scalar needs it several times.
        if (!pure(e)) {
            diag.error(e->line, "filling a matrix from this expression is not supported");
        }
    }
    Node* n = make(NodeKind::Convert, e->line, to);
    n->kids.push_back(e);
    return n;
}

Node* Parser::convert(Node* e, const Type& to, int line, const std::string& context) {
    const Type& from = e->type;
    if (to.isVoid() && to.arrayLength == 0) {
        return e; // unsized array: takes the value's type
    }
    if (from == to) {
        return e;
    }
    if (to.arrayLength < 0 && from.isArray() && from.element() == to.element()) {
        return e;
    }
    if (to.isNumeric() && from.isNumeric()) {
        if (from.isScalar()) {
            return retype(e, to);
        }
        if (!to.isMatrix() && !from.isMatrix()) {
            if (to.cols < from.cols) {
                diag.warning(line, context + ": implicit cast from " + cgTypeName(from) + " to " +
                                       cgTypeName(to) + " truncates");
                return retype(e, to);
            }
            if (to.cols == from.cols) {
                return retype(e, to);
            }
        }
        if (to.isMatrix() && from.isMatrix() && to.rows <= from.rows && to.cols <= from.cols) {
            diag.warning(line, context + ": implicit cast from " + cgTypeName(from) + " to " +
                                   cgTypeName(to) + " truncates");
            return retype(e, to);
        }
    }
    diag.error(line, context + ": cannot convert " + cgTypeName(from) + " to " + cgTypeName(to));
}

Type Parser::common(const Type& a, const Type& b, int line, const std::string& op) {
    Base base = a.base == Base::Float || b.base == Base::Float ? Base::Float
                : a.base == Base::Int || b.base == Base::Int   ? Base::Int
                                                               : Base::Bool;
    Type t;
    if (a.isScalar()) {
        t = b;
    } else if (b.isScalar()) {
        t = a;
    } else if (a.isMatrix() || b.isMatrix()) {
        if (a.rows != b.rows || a.cols != b.cols) {
            diag.error(line, "operator '" + op + "' cannot take " + cgTypeName(a) + " and " +
                                 cgTypeName(b));
        }
        t = a;
    } else {
        t = a.cols <= b.cols ? a : b;
        if (a.cols != b.cols) {
            diag.warning(line, "operator '" + op + "': " + cgTypeName(a) + " and " + cgTypeName(b) +
                                   " differ in size; the longer is truncated");
        }
    }
    t.base = base;
    return t;
}

void Parser::requireLvalue(Node* e, int line) {
    switch (e->kind) {
    case NodeKind::VarRef:
        if (e->var->storage == Storage::Global) {
            diag.error(line, "cannot assign to program parameter '" + e->var->name + "'");
        }
        if (e->var->isConst) {
            diag.error(line, "cannot assign to constant '" + e->var->name + "'");
        }
        return;
    case NodeKind::Member:
    case NodeKind::Index:
        requireLvalue(e->kids[0], line);
        return;
    case NodeKind::Swizzle: {
        if (e->flag && e->text.size() > 2) {
            diag.error(line, "cannot assign to several matrix elements at once");
        }
        if (!e->flag && e->kids[0]->type.isScalar() && e->text.size() > 1) {
            diag.error(line, "cannot assign to a swizzle of a scalar");
        }
        std::set<char> seen(e->text.begin(), e->text.end());
        if (!e->flag && seen.size() != e->text.size()) {
            diag.error(line, "write mask repeats a component");
        }
        requireLvalue(e->kids[0], line);
        return;
    }
    default:
        diag.error(line, "expression cannot be assigned to");
    }
}

bool Parser::pure(const Node* e) const {
    switch (e->kind) {
    case NodeKind::Literal:
    case NodeKind::VarRef:
    case NodeKind::GlState:
        return true;
    case NodeKind::Member:
    case NodeKind::Swizzle:
    case NodeKind::Convert:
        return pure(e->kids[0]);
    case NodeKind::Index:
        return pure(e->kids[0]) && pure(e->kids[1]);
    default:
        return false;
    }
}

void Parser::fragmentOnly(int line, const std::string& what) {
    if (current != nullptr && current->fragmentOnlyLine == 0) {
        current->fragmentOnlyLine = line;
        current->fragmentOnlyWhat = what;
    }
}

void Parser::useHelper(const std::string& key) {
    if (current != nullptr) {
        current->helpers.insert(key);
    } else {
        diag.error(peek().line, "this expression is not supported in an initial value");
    }
}

// A float scalar or vector made from a numeric scalar or vector argument.
Node* Parser::floatShape(Node* e, int line, const std::string& fn) {
    if (!e->type.isNumeric() || e->type.isMatrix()) {
        diag.error(line, fn + " cannot take a " + cgTypeName(e->type));
    }
    return retype(e, e->type.withBase(Base::Float));
}

Node* Parser::intrinsic(const std::string& name, std::vector<Node*> args, int line) {
    struct Rule {
        const char* glsl;
        int arity;
        enum { Same, Float1, Vector3, Bool1, BoolSame } result;
        bool fragmentOnly;
        const char* helper;
    };
    static const std::map<std::string, Rule> rules = {
        {"abs", {"abs", 1, Rule::Same, false, nullptr}},
        {"acos", {"acos", 1, Rule::Same, false, nullptr}},
        {"asin", {"asin", 1, Rule::Same, false, nullptr}},
        {"atan", {"atan", 1, Rule::Same, false, nullptr}},
        {"ceil", {"ceil", 1, Rule::Same, false, nullptr}},
        {"cos", {"cos", 1, Rule::Same, false, nullptr}},
        {"cosh", {"cgh_cosh", 1, Rule::Same, false, "cgh_hyperbolic"}},
        {"sinh", {"cgh_sinh", 1, Rule::Same, false, "cgh_hyperbolic"}},
        {"tanh", {"cgh_tanh", 1, Rule::Same, false, "cgh_hyperbolic"}},
        {"degrees", {"degrees", 1, Rule::Same, false, nullptr}},
        {"radians", {"radians", 1, Rule::Same, false, nullptr}},
        {"exp", {"exp", 1, Rule::Same, false, nullptr}},
        {"exp2", {"exp2", 1, Rule::Same, false, nullptr}},
        {"floor", {"floor", 1, Rule::Same, false, nullptr}},
        {"frac", {"fract", 1, Rule::Same, false, nullptr}},
        {"log", {"log", 1, Rule::Same, false, nullptr}},
        {"log2", {"log2", 1, Rule::Same, false, nullptr}},
        {"log10", {"cgh_log10", 1, Rule::Same, false, "cgh_log10"}},
        {"round", {"cgh_round", 1, Rule::Same, false, "cgh_round"}},
        {"trunc", {"cgh_trunc", 1, Rule::Same, false, "cgh_trunc"}},
        {"isnan", {"cgh_isnan", 1, Rule::BoolSame, false, "cgh_isnan"}},
        {"isinf", {"cgh_isinf", 1, Rule::BoolSame, false, "cgh_isnan"}},
        {"isfinite", {"cgh_isfinite", 1, Rule::BoolSame, false, "cgh_isnan"}},
        {"rsqrt", {"inversesqrt", 1, Rule::Same, false, nullptr}},
        {"sign", {"sign", 1, Rule::Same, false, nullptr}},
        {"sin", {"sin", 1, Rule::Same, false, nullptr}},
        {"sqrt", {"sqrt", 1, Rule::Same, false, nullptr}},
        {"tan", {"tan", 1, Rule::Same, false, nullptr}},
        {"normalize", {"normalize", 1, Rule::Same, false, nullptr}},
        {"ddx", {"dFdx", 1, Rule::Same, true, nullptr}},
        {"ddy", {"dFdy", 1, Rule::Same, true, nullptr}},
        {"fwidth", {"fwidth", 1, Rule::Same, true, nullptr}},
        {"saturate", {"clamp", 1, Rule::Same, false, nullptr}},
        {"atan2", {"atan", 2, Rule::Same, false, nullptr}},
        {"fmod", {"cgh_fmod", 2, Rule::Same, false, "cgh_fmod"}},
        {"ldexp", {"cgh_ldexp", 2, Rule::Same, false, "cgh_ldexp"}},
        {"pow", {"pow", 2, Rule::Same, false, nullptr}},
        {"step", {"step", 2, Rule::Same, false, nullptr}},
        {"min", {"min", 2, Rule::Same, false, nullptr}},
        {"max", {"max", 2, Rule::Same, false, nullptr}},
        {"reflect", {"reflect", 2, Rule::Same, false, nullptr}},
        {"lerp", {"mix", 3, Rule::Same, false, nullptr}},
        {"clamp", {"clamp", 3, Rule::Same, false, nullptr}},
        {"smoothstep", {"smoothstep", 3, Rule::Same, false, nullptr}},
        {"faceforward", {"faceforward", 3, Rule::Same, false, nullptr}},
        {"dot", {"dot", 2, Rule::Float1, false, nullptr}},
        {"distance", {"distance", 2, Rule::Float1, false, nullptr}},
        {"length", {"length", 1, Rule::Float1, false, nullptr}},
        {"cross", {"cross", 2, Rule::Vector3, false, nullptr}},
        {"any", {"any", 1, Rule::Bool1, false, nullptr}},
        {"all", {"all", 1, Rule::Bool1, false, nullptr}},
    };
    auto wrongArity = [&](size_t n) {
        if (args.size() != n) {
            diag.error(line, "'" + name + "' takes " + std::to_string(n) + " argument" +
                                 (n == 1 ? "" : "s") + ", " + std::to_string(args.size()) +
                                 " given");
        }
    };
    Node* n = make(NodeKind::Intrinsic, line);
    auto rule = rules.find(name);
    if (rule != rules.end()) {
        const Rule& r = rule->second;
        wrongArity(static_cast<size_t>(r.arity));
        if (r.fragmentOnly) {
            fragmentOnly(line, name);
        }
        if (r.helper != nullptr) {
            useHelper(r.helper);
        }
        n->text = r.glsl;
        if (r.result == Rule::Bool1) {
            Node* a = args[0];
            if (!a->type.isNumeric() || a->type.isMatrix()) {
                diag.error(line, name + " cannot take a " + cgTypeName(a->type));
            }
            if (a->type.isScalar()) {
                return retype(a, Type::scalar(Base::Bool));
            }
            n->kids.push_back(retype(a, a->type.withBase(Base::Bool)));
            n->type = Type::scalar(Base::Bool);
            return n;
        }
        // Arguments share one float shape: scalars widen, longer vectors truncate.
        Type shape = Type::scalar(Base::Float);
        for (Node*& a : args) {
            a = floatShape(a, line, name);
            if (a->type.isVector()) {
                shape = shape.isScalar() ? a->type : common(shape, a->type, line, name);
            }
        }
        if (r.result == Rule::Vector3) {
            shape = Type::vector(Base::Float, 3);
        }
        for (Node*& a : args) {
            a = convert(a, shape, line, name + " argument");
        }
        n->kids = args;
        if (name == "saturate") {
            n->kids.push_back(literal("0.0", Type::scalar(Base::Float), line));
            n->kids.push_back(literal("1.0", Type::scalar(Base::Float), line));
        }
        n->type = r.result == Rule::BoolSame                            ? shape.withBase(Base::Bool)
                  : r.result == Rule::Same || r.result == Rule::Vector3 ? shape
                                                                        : Type::scalar(Base::Float);
        return n;
    }
    if (name == "mul") {
        wrongArity(2);
        Node* a = args[0];
        Node* b = args[1];
        const Type ta = a->type;
        const Type tb = b->type;
        if (!ta.isMatrix()) {
            a = floatShape(a, line, name);
        }
        if (!tb.isMatrix()) {
            b = floatShape(b, line, name);
        }
        auto sizesDiffer = [&]() {
            diag.error(line, "mul(" + cgTypeName(ta) + ", " + cgTypeName(tb) + "): sizes differ");
        };
        // Cg matrices are stored transposed (a Cg row is a GLSL column), so each
        // product is the GLSL product with its factors swapped.
        Node* product = make(NodeKind::Binary, line);
        product->text = "*";
        product->kids = {b, a};
        if (ta.isMatrix() && tb.isMatrix()) {
            if (ta.cols != tb.rows) {
                sizesDiffer();
            }
            product->type = Type::matrix(ta.rows, tb.cols);
        } else if (ta.isMatrix()) {
            if (!tb.isVector() || tb.cols != ta.cols) {
                sizesDiffer();
            }
            product->type = Type::vector(Base::Float, ta.rows);
        } else if (tb.isMatrix()) {
            if (!ta.isVector() || ta.cols != tb.rows) {
                sizesDiffer();
            }
            product->type = Type::vector(Base::Float, tb.cols);
        } else {
            Type t = common(a->type, b->type, line, name);
            if (ta.isVector() && tb.isVector()) {
                // The product of two vectors is their dot product.
                n->text = "dot";
                n->kids = {retype(a, t), retype(b, t)};
                n->type = Type::scalar(Base::Float);
                return n;
            }
            product->kids = {a, b};
            product->type = t;
        }
        return product;
    }
    if (name == "transpose") {
        wrongArity(1);
        if (!args[0]->type.isMatrix()) {
            diag.error(line, "transpose needs a matrix");
        }
        n->text = "transpose";
        n->kids = args;
        n->type = Type::matrix(args[0]->type.cols, args[0]->type.rows);
        return n;
    }
    if (name == "determinant") {
        wrongArity(1);
        const Type& m = args[0]->type;
        if (!m.isMatrix() || m.rows != m.cols) {
            diag.error(line, "determinant needs a square matrix");
        }
        useHelper("cgh_determinant");
        n->text = "cgh_determinant";
        n->kids = args;
        n->type = Type::scalar(Base::Float);
        return n;
    }
    if (name == "refract") {
        wrongArity(3);
        Node* i = floatShape(args[0], line, name);
        Node* nn = convert(floatShape(args[1], line, name), i->type, line, "refract argument");
        Node* eta = convert(floatShape(args[2], line, name), Type::scalar(Base::Float), line,
                            "refract argument");
        n->text = "refract";
        n->kids = {i, nn, eta};
        n->type = i->type;
        return n;
    }
    if (name == "lit") {
        wrongArity(3);
        for (Node*& a : args) {
            a = convert(floatShape(a, line, name), Type::scalar(Base::Float), line, "lit argument");
        }
        useHelper("cgh_lit");
        n->text = "cgh_lit";
        n->kids = args;
        n->type = Type::vector(Base::Float, 4);
        return n;
    }
    if (name == "clip") {
        wrongArity(1);
        fragmentOnly(line, name);
        useHelper("cgh_clip");
        n->text = "cgh_clip";
        n->kids = {floatShape(args[0], line, name)};
        n->type = Type{};
        return n;
    }
    if (name == "sincos") {
        wrongArity(3);
        Node* x = floatShape(args[0], line, name);
        for (int k = 1; k < 3; ++k) {
            requireLvalue(args[static_cast<size_t>(k)], line);
            if (args[static_cast<size_t>(k)]->type != x->type) {
                diag.error(line, "sincos outputs must have the type of its input");
            }
        }
        useHelper("cgh_sincos");
        n->text = "cgh_sincos";
        n->kids = {x, args[1], args[2]};
        n->type = Type{};
        return n;
    }
    if (name == "frexp") {
        wrongArity(2);
        Node* x = floatShape(args[0], line, name);
        requireLvalue(args[1], line);
        if (args[1]->type != x->type) {
            diag.error(line, "frexp's exponent must have the type of its input");
        }
        useHelper("cgh_frexp");
        n->text = "cgh_frexp";
        n->kids = {x, args[1]};
        n->type = x->type;
        return n;
    }
    if (name == "debug") {
        // Without the compiler's -debug option Cg drops debug() calls.
        wrongArity(1);
        useHelper("cgh_debug");
        n->text = "cgh_debug";
        n->kids = {convert(floatShape(args[0], line, name), Type::vector(Base::Float, 4), line,
                           "debug argument")};
        n->type = Type{};
        return n;
    }
    if (name == "modf") {
        wrongArity(2);
        Node* x = floatShape(args[0], line, name);
        requireLvalue(args[1], line);
        if (args[1]->type != x->type) {
            diag.error(line, "modf's whole part must have the type of its input");
        }
        useHelper("cgh_modf");
        n->text = "cgh_modf";
        n->kids = {x, args[1]};
        n->type = x->type;
        return n;
    }
    struct Lookup {
        const char* glsl;
        Base sampler;
        int coords;    // components the coordinate has
        int altCoords; // another accepted count (projective forms), 0 for none
        const char* helper;
    };
    static const std::map<std::string, Lookup> lookups = {
        {"tex1D", {"texture1D", Base::Sampler1D, 1, 0, nullptr}},
        {"tex2D", {"texture2D", Base::Sampler2D, 2, 0, nullptr}},
        {"tex3D", {"texture3D", Base::Sampler3D, 3, 0, nullptr}},
        {"texCUBE", {"textureCube", Base::SamplerCube, 3, 0, nullptr}},
        {"texRECT", {"texture2DRect", Base::SamplerRect, 2, 0, nullptr}},
        {"tex1Dproj", {"texture1DProj", Base::Sampler1D, 2, 0, nullptr}},
        {"tex2Dproj", {"texture2DProj", Base::Sampler2D, 4, 3, nullptr}},
        {"tex3Dproj", {"texture3DProj", Base::Sampler3D, 4, 0, nullptr}},
        {"texCUBEproj", {"cgh_texCUBEproj", Base::SamplerCube, 4, 0, "cgh_texCUBEproj"}},
        {"texRECTproj", {"texture2DRectProj", Base::SamplerRect, 4, 3, nullptr}},
        // The level-of-detail bias stands in the coordinate's w.
        {"tex1Dbias", {"cgh_tex1Dbias", Base::Sampler1D, 4, 0, "cgh_texbias"}},
        {"tex2Dbias", {"cgh_tex2Dbias", Base::Sampler2D, 4, 0, "cgh_texbias"}},
        {"tex3Dbias", {"cgh_tex3Dbias", Base::Sampler3D, 4, 0, "cgh_texbias"}},
        {"texCUBEbias", {"cgh_texCUBEbias", Base::SamplerCube, 4, 0, "cgh_texbias"}},
    };
    auto lk = lookups.find(name);
    if (lk != lookups.end()) {
        const Lookup& l = lk->second;
        if (args.size() != 2) {
            diag.error(line, args.size() == 4 ? name + " with derivatives is not supported"
                                              : "'" + name + "' takes 2 arguments, " +
                                                    std::to_string(args.size()) + " given");
        }
        fragmentOnly(line, name);
        if (args[0]->type != Type::scalar(l.sampler) &&
            args[0]->type != Type::scalar(Base::Sampler)) {
            diag.error(line, name + " needs a " + cgTypeName(Type::scalar(l.sampler)) + ", not " +
                                 cgTypeName(args[0]->type));
        }
        Node* c = floatShape(args[1], line, name);
        int have = c->type.cols;
        if (have == l.coords + 1 && l.altCoords == 0 && l.sampler != Base::Sampler3D &&
            l.helper == nullptr) {
            diag.error(line, name + " with a " + std::to_string(have) +
                                 "-component coordinate (a shadow-map comparison) is not "
                                 "supported");
        }
        if (have != l.coords && have != l.altCoords) {
            diag.error(line, name + " with a " + std::to_string(have) +
                                 "-component coordinate is not supported");
        }
        if (l.sampler == Base::SamplerRect) {
            useHelper("#extension GL_ARB_texture_rectangle");
        }
        if (l.helper != nullptr) {
            useHelper(l.helper);
        }
        n->text = l.glsl;
        n->kids = {args[0], c};
        n->type = Type::vector(Base::Float, 4);
        n->lookup = l.sampler;
        return n;
    }
    // What the library has only for later profiles, and what no profile runs.
    static const std::set<std::string> laterProfiles = {
        "tex1Dlod",          "tex2Dlod",        "tex3Dlod",        "texCUBElod",
        "texRECTlod",        "texRECTbias",     "tex1Dfetch",      "tex2Dfetch",
        "tex3Dfetch",        "texRECTfetch",    "tex1Dsize",       "tex2Dsize",
        "tex3Dsize",         "texCUBEsize",     "texRECTsize",     "tex1DARRAY",
        "tex2DARRAY",        "tex1DARRAYlod",   "tex2DARRAYlod",   "tex1DARRAYbias",
        "tex2DARRAYbias",    "tex1DARRAYfetch", "tex2DARRAYfetch", "tex1DARRAYsize",
        "tex2DARRAYsize",    "tex1DARRAYproj",  "tex2DARRAYproj",  "texBUFFER",
        "texBUFFERsize",     "tex1Dcmpbias",    "tex1Dcmplod",     "tex2Dcmpbias",
        "tex2Dcmplod",       "bitCount",        "bitfieldExtract", "bitfieldInsert",
        "bitfieldReverse",   "findLSB",         "findMSB",         "floatToIntBits",
        "floatToRawIntBits", "intBitsToFloat",  "pack_2half",      "unpack_2half",
        "pack_2ushort",      "unpack_2ushort",  "pack_4byte",      "unpack_4byte",
        "pack_4ubyte",       "unpack_4ubyte",   "texCUBEARRAY",    "texCUBEARRAYsize"};
    if (laterProfiles.count(name) != 0) {
        diag.error(line, name + " needs a later profile than arbvp1 and arbfp1");
    }
    if (name == "noise") {
        diag.error(line, "noise has no form arbvp1 and arbfp1 can run");
    }
    diag.error(line, "unknown function '" + name + "'");
}

} // namespace

void parse(const std::vector<Token>& tokens, Program& program, Diagnostics& diag) {
    Parser(tokens, program, diag).run();
}

} // namespace cg
