#pragma once

// The Cg translator's shared structures: tokens, types, nodes and symbols, and
// the stages that pass them on: tokenize -> preprocess -> parse (which types
// every expression) -> writeGlsl. Nothing here touches OpenGL, so the
// translator runs alone (the command-line tool, the fuzzer, the benchmark).

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace cg {

enum class Stage { Vertex, Fragment };

// ---- Diagnostics ----------------------------------------------------------

// A place in the sources is one int: the line, plus the file's index times
// linesPerFile for text an #include brought in. The GLSL's #line marks carry the
// same numbers, so a driver's message can be traced back to its file.
constexpr int linesPerFile = 1000000;
constexpr int maxSourceFiles = 256;
inline int fileOf(int location) {
    return location / linesPerFile;
}
inline int lineOf(int location) {
    return location % linesPerFile;
}

// Collects the listing; an error ends the translation by throwing CompileError.
struct Diagnostics {
    // The translated text first, then every file #include read, by index.
    std::vector<std::string> files;
    std::string listing;
    int errorCount = 0;

    // "FILE(LINE)" for a location.
    std::string where(int location) const;
    [[noreturn]] void error(int location, const std::string& message);
    void warning(int location, const std::string& message);
    // Ends the translation with listing lines written earlier (an error put
    // aside until it was known to matter).
    [[noreturn]] void fail(const std::string& lines);
};

struct CompileError : std::runtime_error {
    CompileError() : std::runtime_error("Cg compile error") {}
};

// ---- Tokens ----------------------------------------------------------------

enum class TokenKind { Identifier, Number, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    int line = 0;
    bool atLineStart = false;
    bool spaceBefore = false;
    // Names a macro may not expand again inside its own expansion.
    std::shared_ptr<std::set<std::string>> hideSet;
};

// file is the index of the text in Diagnostics::files.
std::vector<Token> tokenize(const std::string& source, Diagnostics& diag, int file = 0);

// The binary operators from the loosest binding level to the tightest, as C has
// them; the parser and the preprocessor's #if arithmetic climb the same table.
extern const std::vector<std::vector<const char*>> binaryOperatorLevels;

// What the compiler's command line adds to the text: -D macros and -I folders.
struct SourceOptions {
    // "NAME" (defined as 1) or "NAME=VALUE".
    std::vector<std::string> defines;
    // Searched in order after the folder of the file holding the #include.
    std::vector<std::string> includeFolders;
    // Reads an included file into text; false when it cannot, with the reason.
    // Without one, every #include fails.
    std::function<bool(const std::string& path, std::string& text, std::string& reason)> readFile;
};

std::vector<Token> preprocess(const std::vector<Token>& tokens, Diagnostics& diag,
                              const SourceOptions& options = SourceOptions());

// ---- Types -----------------------------------------------------------------

enum class Base {
    Void,
    Bool,
    Int,
    Float,
    Sampler, // untyped: the lookups that read it decide
    Sampler1D,
    Sampler2D,
    Sampler3D,
    SamplerCube,
    SamplerRect,
    Struct,
};

struct StructDef;

// A scalar has cols 1 and rows 0; a vector cols 2..4 and rows 0; a Cg matrix
// floatRxC has rows R and cols C. arrayLength > 0 makes it an array of that.
struct Type {
    Base base = Base::Void;
    int cols = 1;
    int rows = 0;
    const StructDef* record = nullptr;
    int arrayLength = 0;

    static Type scalar(Base base) { return Type{base, 1, 0, nullptr, 0}; }
    static Type vector(Base base, int n) { return Type{base, n, 0, nullptr, 0}; }
    static Type matrix(int rows, int cols) { return Type{Base::Float, cols, rows, nullptr, 0}; }

    bool isArray() const { return arrayLength > 0; }
    bool isMatrix() const { return rows > 0 && !isArray(); }
    bool isScalar() const { return isNumeric() && cols == 1 && rows == 0; }
    bool isVector() const { return isNumeric() && cols > 1 && rows == 0; }
    bool isNumeric() const {
        return !isArray() && (base == Base::Bool || base == Base::Int || base == Base::Float);
    }
    bool isSampler() const {
        return !isArray() && base >= Base::Sampler && base <= Base::SamplerRect;
    }
    bool isStruct() const { return !isArray() && base == Base::Struct; }
    bool isVoid() const { return !isArray() && base == Base::Void; }
    // Components of a scalar or vector; rows x cols of a matrix.
    int components() const { return rows > 0 ? rows * cols : cols; }
    Type element() const {
        Type e = *this;
        e.arrayLength = 0;
        return e;
    }
    Type withBase(Base b) const {
        Type t = *this;
        t.base = b;
        return t;
    }
};

bool operator==(const Type& a, const Type& b);
inline bool operator!=(const Type& a, const Type& b) {
    return !(a == b);
}

// The type as a Cg author writes it, for messages ("float4", "float3x3").
std::string cgTypeName(const Type& type);

struct Member {
    std::string name;
    std::string glslName;
    Type type;
    std::string semantic;
    int line = 0;
};

struct StructDef {
    std::string name;
    std::string glslName;
    std::vector<Member> members;
    int line = 0;
    const Member* find(const std::string& name) const;
};

// ---- Symbols ---------------------------------------------------------------

struct Node;
struct Function;

enum class Storage { Local, Parameter, Global, Static };
enum class ParamMode { In, Out, InOut };

struct Variable {
    std::string name;
    std::string glslName;
    Type type;
    Storage storage = Storage::Local;
    ParamMode mode = ParamMode::In;
    bool uniform = false; // a program parameter (global or uniform entry parameter)
    bool isConst = false;
    std::string semantic;
    // A uniform bound to tracked GL state (": state.matrix.mvp"): the GLSL
    // built-in it reads; it is no program parameter then.
    std::string trackedState;
    Node* init = nullptr;
    int line = 0;
    // What the initializer reaches, for emitting only what the entry needs.
    std::set<Function*> calls;
    std::set<Variable*> globals;
    // Warnings of the initializer, listed when an entry reaches the variable.
    std::string warnings;
};

// ---- Nodes -----------------------------------------------------------------

enum class NodeKind {
    // expressions
    Literal,     // text is GLSL-ready
    VarRef,      // var
    Call,        // fn, kids = arguments
    Intrinsic,   // text = Cg name, kids = arguments (already converted)
    Construct,   // type, kids = arguments
    Convert,     // type, kids[0]
    Member,      // kids[0], member
    Swizzle,     // kids[0], swizzle indices in text ("0213"); matrix: pairs
    Index,       // kids[0][kids[1]]
    Unary,       // text = "-", "!", "~", "+"
    Binary,      // text = operator, kids[0], kids[1]
    Assign,      // text = "=", "+=", ... kids[0] lvalue, kids[1]
    IncDec,      // text = "++"/"--", flag = prefix
    Conditional, // kids = cond, then, else
    Comma,       // kids[0], kids[1]
    GlState,     // text = GLSL built-in
    InitList,    // kids = elements, type = the declared type
    // statements
    Block,
    Declaration, // vars with their init
    ExprStmt,
    If,
    For, // kids = init, cond, step, body (any may be null except body)
    While,
    DoWhile,
    Return,
    Break,
    Continue,
    Discard,
    Empty,
};

struct Node {
    NodeKind kind = NodeKind::Empty;
    int line = 0;
    Type type;
    std::string text;
    std::vector<Node*> kids;
    Variable* var = nullptr;
    std::vector<Variable*> vars;
    Function* fn = nullptr;
    const Member* member = nullptr;
    bool flag = false;
    int depth = 1; // of the expression tree below, kept small for the writer's recursion
    // A texture lookup: the sampler type it reads (kids[0] may be an untyped sampler).
    Base lookup = Base::Void;
};

struct Function {
    std::string name;
    std::string glslName;
    Type returnType;
    std::string returnSemantic;
    std::vector<Variable*> params;
    Node* body = nullptr;
    int line = 0;
    std::set<Function*> calls;
    std::set<Variable*> globals;
    // First line using something only a fragment program can do (0: none).
    int fragmentOnlyLine = 0;
    std::string fragmentOnlyWhat;
    std::set<std::string> helpers;
    // Checked only when an entry reaches the function: the listing lines of the
    // error that stopped its body (empty: none) and of its warnings.
    std::string error;
    std::string warnings;
};

// Everything the parser read; owns nodes and symbols.
struct Program {
    std::vector<std::unique_ptr<Node>> nodes;
    std::vector<std::unique_ptr<Variable>> variables;
    std::vector<std::unique_ptr<Function>> functions;
    std::vector<std::unique_ptr<StructDef>> structs;
    std::vector<Variable*> globals; // declaration order
    std::vector<Function*> functionOrder;
};

void parse(const std::vector<Token>& tokens, Program& program, Diagnostics& diag);

// ---- Output ----------------------------------------------------------------

struct Parameter {
    std::string cgName;
    std::string glslName;
    Type type;
    int samplerUnit = -1;
};

struct Output {
    std::string glsl;
    std::vector<Parameter> parameters;
    // Generic vertex attributes the program reads (ATTRn): name and index.
    std::vector<std::pair<std::string, int>> attributes;
};

void writeGlsl(const Program& program, const std::string& entry, Stage stage, Diagnostics& diag,
               Output& output);

// A GLSL-safe name for a Cg identifier (keywords, built-ins and reserved
// spellings are renamed); the same name always maps to the same result.
std::string glslIdentifier(const std::string& name);

} // namespace cg
