#include "resources/cg/Cg.h"

#include <cstring>
#include <map>

namespace cg {

namespace {

bool unsafeName(const std::string& name) {
    static const std::set<std::string> reserved = {
        // GLSL keywords and reserved words of every version a driver may apply
        "attribute", "const", "uniform", "varying", "buffer", "shared", "coherent", "volatile",
        "restrict", "readonly", "writeonly", "atomic_uint", "layout", "centroid", "flat", "smooth",
        "noperspective", "patch", "sample", "break", "continue", "do", "for", "while", "switch",
        "case", "default", "if", "else", "subroutine", "in", "out", "inout", "float", "double",
        "int", "void", "bool", "true", "false", "invariant", "precise", "discard", "return", "mat2",
        "mat3", "mat4", "dmat2", "dmat3", "dmat4", "mat2x2", "mat2x3", "mat2x4", "mat3x2", "mat3x3",
        "mat3x4", "mat4x2", "mat4x3", "mat4x4", "vec2", "vec3", "vec4", "ivec2", "ivec3", "ivec4",
        "bvec2", "bvec3", "bvec4", "dvec2", "dvec3", "dvec4", "uint", "uvec2", "uvec3", "uvec4",
        "lowp", "mediump", "highp", "precision", "sampler1D", "sampler2D", "sampler3D",
        "samplerCube", "sampler1DShadow", "sampler2DShadow", "samplerCubeShadow", "sampler2DRect",
        "sampler2DRectShadow", "sampler1DArray", "sampler2DArray", "samplerBuffer", "sampler2DMS",
        "image1D", "image2D", "image3D", "struct", "common", "partition", "active", "asm", "class",
        "union", "enum", "typedef", "template", "this", "resource", "goto", "inline", "noinline",
        "public", "static", "extern", "external", "interface", "long", "short", "half", "fixed",
        "unsigned", "superp", "input", "output", "hvec2", "hvec3", "hvec4", "fvec2", "fvec3",
        "fvec4", "sampler3DRect", "filter", "sizeof", "cast", "namespace", "using", "main",
        "texture", "iimage1D", "uimage1D",
        // built-in functions the translation calls or a driver may not let a name hide
        "radians", "degrees", "sin", "cos", "tan", "asin", "acos", "atan", "sinh", "cosh", "tanh",
        "pow", "exp", "log", "exp2", "log2", "sqrt", "inversesqrt", "abs", "sign", "floor", "trunc",
        "round", "ceil", "fract", "mod", "min", "max", "clamp", "mix", "step", "smoothstep",
        "isnan", "isinf", "length", "distance", "dot", "cross", "normalize", "faceforward",
        "reflect", "refract", "matrixCompMult", "outerProduct", "transpose", "determinant",
        "inverse", "lessThan", "lessThanEqual", "greaterThan", "greaterThanEqual", "equal",
        "notEqual", "any", "all", "not", "texture1D", "texture1DProj", "texture1DLod", "texture2D",
        "texture2DProj", "texture2DLod", "texture3D", "texture3DProj", "textureCube",
        "textureCubeLod", "texture2DRect", "texture2DRectProj", "shadow1D", "shadow2D", "dFdx",
        "dFdy", "fwidth", "noise1", "noise2", "noise3", "noise4", "ftransform", "emit",
        "EmitVertex", "EndPrimitive", "barrier", "textureSize", "texelFetch", "textureLod",
        "textureProj", "textureGrad"};
    if (reserved.count(name) != 0) {
        return true;
    }
    // Sampler and image type families grow with every GLSL version.
    for (const char* family : {"sampler", "isampler", "usampler", "image", "iimage", "uimage"}) {
        if (name.compare(0, strlen(family), family) == 0) {
            return true;
        }
    }
    return name.compare(0, 3, "gl_") == 0 || name.compare(0, 2, "cg") == 0 ||
           name.find("__") != std::string::npos || name[0] == '_';
}

} // namespace

std::string glslIdentifier(const std::string& name) {
    if (!unsafeName(name)) {
        return name;
    }
    // "cgr" plus the name with every '_' written "_u": one-to-one, never "__",
    // and no safe name starts with "cg".
    std::string out = "cgr";
    for (char c : name) {
        out += c;
        if (c == '_') {
            out += 'u';
        }
    }
    return out;
}

namespace {

std::string glslType(const Type& t) {
    switch (t.base) {
    case Base::Void:
        return "void";
    case Base::Sampler: // an untyped sampler no lookup reads
    case Base::Sampler2D:
        return "sampler2D";
    case Base::Sampler1D:
        return "sampler1D";
    case Base::Sampler3D:
        return "sampler3D";
    case Base::SamplerCube:
        return "samplerCube";
    case Base::SamplerRect:
        return "sampler2DRect";
    case Base::Struct:
        return t.record->glslName;
    default:
        break;
    }
    if (t.rows > 0) {
        // A Cg floatRxC is kept as its transpose: R GLSL columns of C components.
        return t.rows == t.cols ? "mat" + std::to_string(t.rows)
                                : "mat" + std::to_string(t.rows) + "x" + std::to_string(t.cols);
    }
    const char* scalar = t.base == Base::Float ? "float" : t.base == Base::Int ? "int" : "bool";
    const char* vector = t.base == Base::Float ? "vec" : t.base == Base::Int ? "ivec" : "bvec";
    return t.cols == 1 ? scalar : vector + std::to_string(t.cols);
}

std::string declarator(const Type& t, const std::string& name) {
    std::string d = glslType(t.element()) + " " + name;
    if (t.isArray()) {
        d += "[" + std::to_string(t.arrayLength) + "]";
    }
    return d;
}

bool constant(const Node* e) {
    switch (e->kind) {
    case NodeKind::Literal:
        return true;
    case NodeKind::Construct:
    case NodeKind::Convert:
    case NodeKind::InitList:
    case NodeKind::Unary:
    case NodeKind::Binary:
        for (const Node* k : e->kids) {
            if (!constant(k)) {
                return false;
            }
        }
        return e->kind != NodeKind::Binary || e->text != "matrixCompMult";
    default:
        return false;
    }
}

// Helper functions the translation calls where GLSL has no equal, by key.
std::string helperText(const std::string& key) {
    static const char* const floats[] = {"float", "vec2", "vec3", "vec4"};
    std::string out;
    auto each = [&](const std::string& pattern) {
        for (const char* t : floats) {
            std::string line = pattern;
            for (size_t at; (at = line.find("T")) != std::string::npos;) {
                line.replace(at, 1, t);
            }
            out += line + "\n";
        }
    };
    if (key == "cgh_fmod") {
        // C's fmod: the result keeps the sign of x.
        each("T cgh_fmod(T x, T y) { T q = x / y; return x - y * (sign(q) * floor(abs(q))); }");
    } else if (key == "cgh_hyperbolic") {
        each("T cgh_cosh(T x) { return 0.5 * (exp(x) + exp(-x)); }");
        each("T cgh_sinh(T x) { return 0.5 * (exp(x) - exp(-x)); }");
        each("T cgh_tanh(T x) { T e = exp(2.0 * clamp(x, -40.0, 40.0)); return (e - 1.0) / (e + "
             "1.0); }");
    } else if (key == "cgh_log10") {
        each("T cgh_log10(T x) { return log2(x) * 0.301029995663981; }");
    } else if (key == "cgh_round") {
        // Halves go to the even neighbour, as Cg's own library rounds.
        each("T cgh_round(T a) { T x = a + 0.5; T f = floor(x); T odd = f - 2.0 * floor(f * 0.5); "
             "return f - odd * step(0.0, -abs(x - f)); }");
    } else if (key == "cgh_trunc") {
        each("T cgh_trunc(T x) { return sign(x) * floor(abs(x)); }");
    } else if (key == "cgh_isnan") { // isnan, isinf and isfinite
        // Written so that an optimiser turning a < b into !(a >= b) keeps NaN apart.
        out += "bool cgh_isnan(float x) { return x != x; }\n"
               "bool cgh_isinf(float x) { return !(x != x) && abs(x) > 3.402823466e38; }\n"
               "bool cgh_isfinite(float x) { return !(x != x) && abs(x) <= 3.402823466e38; }\n";
        for (int n = 2; n <= 4; ++n) {
            std::string v = "vec" + std::to_string(n);
            std::string b = "bvec" + std::to_string(n);
            out += b + " cgh_isnan(" + v + " x) { return notEqual(x, x); }\n";
            for (const char* f : {"cgh_isinf", "cgh_isfinite"}) {
                out += b + " " + f + "(" + v + " x) { return " + b + "(";
                for (int i = 0; i < n; ++i) {
                    out += std::string(i > 0 ? ", " : "") + f + "(x." + "xyzw"[i] + ")";
                }
                out += "); }\n";
            }
        }
    } else if (key == "cgh_frexp") {
        // x = m * 2^e with 0.5 <= |m| < 1, and zero for zero; log2 may miss by
        // one near powers of two, so the mantissa is set right afterwards.
        each("T cgh_frexp(T x, out T e) { T a = max(abs(x), 1.0e-37); T n = floor(log2(a)) + "
             "1.0; T m = a * exp2(-n); T over = step(1.0, m); T under = 1.0 - step(0.5, m); "
             "m *= exp2(under - over); n += over - under; T nonzero = step(1.0e-37, abs(x)); "
             "e = n * nonzero; return sign(x) * m * nonzero; }");
    } else if (key == "cgh_debug") {
        out += "void cgh_debug(vec4 x) {}\n";
    } else if (key == "cgh_texCUBEproj") {
        out += "vec4 cgh_texCUBEproj(samplerCube s, vec4 c) { return textureCube(s, c.xyz / c.w); "
               "}\n";
    } else if (key == "cgh_texbias") {
        out += "vec4 cgh_tex1Dbias(sampler1D s, vec4 c) { return texture1D(s, c.x, c.w); }\n"
               "vec4 cgh_tex2Dbias(sampler2D s, vec4 c) { return texture2D(s, c.xy, c.w); }\n"
               "vec4 cgh_tex3Dbias(sampler3D s, vec4 c) { return texture3D(s, c.xyz, c.w); }\n"
               "vec4 cgh_texCUBEbias(samplerCube s, vec4 c) { return textureCube(s, c.xyz, c.w); "
               "}\n";
    } else if (key == "cgh_ldexp") {
        each("T cgh_ldexp(T x, T e) { return x * exp2(e); }");
    } else if (key == "cgh_modf") {
        // The whole part rounds toward zero and both parts keep the sign of x.
        each("T cgh_modf(T x, out T i) { i = sign(x) * floor(abs(x)); return x - i; }");
    } else if (key == "cgh_sincos") {
        each("void cgh_sincos(T x, out T s, out T c) { s = sin(x); c = cos(x); }");
    } else if (key == "cgh_clip") {
        out += "void cgh_clip(float x) { if (x < 0.0) discard; }\n";
        for (int n = 2; n <= 4; ++n) {
            std::string v = "vec" + std::to_string(n);
            out +=
                "void cgh_clip(" + v + " x) { if (any(lessThan(x, " + v + "(0.0)))) discard; }\n";
        }
    } else if (key == "cgh_lit") {
        out += "vec4 cgh_lit(float l, float h, float m) { return vec4(1.0, max(l, 0.0), "
               "(l < 0.0 || h < 0.0) ? 0.0 : pow(h, m), 1.0); }\n";
    } else if (key == "cgh_determinant") {
        out += "float cgh_determinant(mat2 m) { return m[0][0] * m[1][1] - m[0][1] * m[1][0]; "
               "}\n"
               "float cgh_determinant(mat3 m) { return dot(m[0], cross(m[1], m[2])); }\n"
               "float cgh_determinant(mat4 m) {\n"
               "    float b00 = m[0][0] * m[1][1] - m[0][1] * m[1][0];\n"
               "    float b01 = m[0][0] * m[1][2] - m[0][2] * m[1][0];\n"
               "    float b02 = m[0][0] * m[1][3] - m[0][3] * m[1][0];\n"
               "    float b03 = m[0][1] * m[1][2] - m[0][2] * m[1][1];\n"
               "    float b04 = m[0][1] * m[1][3] - m[0][3] * m[1][1];\n"
               "    float b05 = m[0][2] * m[1][3] - m[0][3] * m[1][2];\n"
               "    float b06 = m[2][0] * m[3][1] - m[2][1] * m[3][0];\n"
               "    float b07 = m[2][0] * m[3][2] - m[2][2] * m[3][0];\n"
               "    float b08 = m[2][0] * m[3][3] - m[2][3] * m[3][0];\n"
               "    float b09 = m[2][1] * m[3][2] - m[2][2] * m[3][1];\n"
               "    float b10 = m[2][1] * m[3][3] - m[2][3] * m[3][1];\n"
               "    float b11 = m[2][2] * m[3][3] - m[2][3] * m[3][2];\n"
               "    return b00 * b11 - b01 * b10 + b02 * b09 + b03 * b08 - b04 * b07 + b05 * "
               "b06;\n"
               "}\n";
    } else if (key.compare(0, 11, "cgh_select ") == 0) {
        std::string t = key.substr(11);
        int n = t.back() - '0';
        out += t + " cgh_select(bvec" + std::to_string(n) + " c, " + t + " a, " + t +
               " b) { return " + t + "(";
        for (int i = 0; i < n; ++i) {
            char k = "xyzw"[i];
            out += std::string(i > 0 ? ", " : "") + "c." + k + " ? a." + k + " : b." + k;
        }
        out += "); }\n";
    }
    return out;
}

struct Semantic {
    std::string kind; // POSITION, NORMAL, COLOR, TEXCOORD, ATTR, PSIZE, FOG, WPOS, DEPTH...
    int index = 0;
};

Semantic splitSemantic(const std::string& raw) {
    static const std::map<std::string, std::string> aliases = {
        {"HPOS", "POSITION"},      {"COL", "COLOR"},       {"TEX", "TEXCOORD"},
        {"DIFFUSE", "COLOR0"},     {"SPECULAR", "COLOR1"}, {"FOGC", "FOG"},
        {"FOGCOORD", "FOG"},       {"PSIZ", "PSIZE"},      {"DEPR", "DEPTH"},
        {"TANGENT", "ATTR14"},     {"BINORMAL", "ATTR15"}, {"BLENDWEIGHT", "ATTR1"},
        {"BLENDINDICES", "ATTR7"}, {"BCOL", "BCOLOR"}};
    std::string name = raw;
    size_t digits = name.find_first_of("0123456789");
    std::string kind = name.substr(0, digits);
    std::string number = digits == std::string::npos ? "" : name.substr(digits);
    auto alias = aliases.find(kind);
    if (alias != aliases.end()) {
        std::string replaced = alias->second;
        size_t d = replaced.find_first_of("0123456789");
        if (d != std::string::npos) {
            if (!number.empty() && number != "0") {
                return {"?", 0};
            }
            number = replaced.substr(d);
            replaced = replaced.substr(0, d);
        }
        kind = replaced;
    }
    Semantic s;
    s.kind = kind;
    if (!number.empty()) {
        if (number.size() > 2 || number.find_first_not_of("0123456789") != std::string::npos) {
            return {"?", 0};
        }
        s.index = std::stoi(number);
    }
    return s;
}

class Writer {
public:
    Writer(const Program& program, Stage stage, Diagnostics& diag, Output& out)
        : program(program), stage(stage), diag(diag), out(out) {}

    void run(const std::string& entryName);

private:
    void reach(Function* fn, std::vector<Function*>& path);
    void reachGlobal(Variable* v);
    void listReached();
    void resolveSamplers(const Node* n);
    void samplerUse(const Variable* v, Base kind, int line);
    const Variable* samplerRoot(const Variable* v) const;
    Type typeOf(const Variable* v) const;
    void declareParameters();
    void addParameter(const std::string& cgName, const std::string& glslName, const Type& type,
                      int line);

    void function(const Function* fn);
    void statement(const Node* s, int indent);
    void body(const Node* s, int indent);
    void lineMark(int line);
    void emit(const std::string& text, int indent);
    std::string expr(const Node* e);
    std::string forPart(const Node* s);
    std::string statementExpr(const Node* e);

    void mainFunction();
    void bindInput(const std::string& target, const Type& type, const std::string& semantic,
                   int line, int indent);
    void bindOutput(const std::string& value, const Type& type, const std::string& semantic,
                    int line, int indent);
    void collectOutputs(const Type& type, const std::string& semantic);

    const Program& program;
    Stage stage;
    Diagnostics& diag;
    Output& out;

    Function* entry = nullptr;
    std::set<const Function*> functions;
    std::set<const Variable*> globals;
    std::set<std::string> helpers;
    std::map<const Variable*, std::string> entryUniformNames;
    std::string text;
    std::string attributeDecls;
    std::set<std::string> outputsWritten;
    int nextLine = 1;
    bool fragData = false;
    int samplerUnits = 0;
    // Untyped samplers: those read through one another share a root, and the
    // root holds the sampler type a lookup read it as.
    std::map<const Variable*, const Variable*> samplerLinks;
    std::map<const Variable*, Base> samplerKinds;
};

void Writer::reach(Function* fn, std::vector<Function*>& path) {
    for (Function* p : path) {
        if (p == fn) {
            diag.error(fn->line, "recursive call of '" + fn->name + "' is not supported");
        }
    }
    if (functions.count(fn) != 0) {
        return;
    }
    if (!fn->error.empty()) {
        functions.insert(fn); // its error is reported once all is reached
        return;
    }
    if (fn->body == nullptr) {
        diag.error(fn->line, "function '" + fn->name + "' is declared but never defined");
    }
    if (stage == Stage::Vertex && fn->fragmentOnlyLine != 0) {
        diag.error(fn->fragmentOnlyLine,
                   fn->fragmentOnlyWhat + " is only available in fragment programs (arbfp1)");
    }
    path.push_back(fn);
    for (Function* callee : fn->calls) {
        reach(callee, path);
    }
    path.pop_back();
    functions.insert(fn);
    helpers.insert(fn->helpers.begin(), fn->helpers.end());
    for (Variable* g : fn->globals) {
        reachGlobal(g);
    }
}

void Writer::reachGlobal(Variable* v) {
    if (!globals.insert(v).second) {
        return;
    }
    std::vector<Function*> path;
    for (Function* fn : v->calls) {
        reach(fn, path);
    }
    for (Variable* g : v->globals) {
        reachGlobal(g);
    }
}

// The warnings of what the entry reaches, then the first error put aside in it.
void Writer::listReached() {
    for (const Variable* g : program.globals) {
        if (globals.count(g) != 0) {
            diag.listing += g->warnings;
        }
    }
    for (const Function* fn : program.functionOrder) {
        if (functions.count(fn) != 0) {
            diag.listing += fn->warnings;
        }
    }
    for (const Function* fn : program.functionOrder) {
        if (functions.count(fn) != 0 && !fn->error.empty()) {
            diag.fail(fn->error);
        }
    }
}

const Variable* Writer::samplerRoot(const Variable* v) const {
    for (auto link = samplerLinks.find(v); link != samplerLinks.end();
         link = samplerLinks.find(v)) {
        v = link->second;
    }
    return v;
}

void Writer::samplerUse(const Variable* v, Base kind, int line) {
    const Variable* root = samplerRoot(v);
    auto known = samplerKinds.find(root);
    if (known != samplerKinds.end() && known->second != kind) {
        diag.error(line, "sampler '" + v->name + "' is read as " +
                             cgTypeName(Type::scalar(known->second)) + " and as " +
                             cgTypeName(Type::scalar(kind)));
    }
    samplerKinds[root] = kind;
}

// The sampler expression of a lookup or argument: a sampler variable.
const Variable* samplerVariable(const Node* e) {
    if (e->kind == NodeKind::VarRef) {
        return e->var;
    }
    if (e->kind == NodeKind::Comma) {
        return samplerVariable(e->kids[1]);
    }
    return nullptr;
}

// Gives every untyped sampler the type the lookups reading it need: directly,
// or through the sampler parameters of the functions it is handed to.
void Writer::resolveSamplers(const Node* n) {
    if (n == nullptr) {
        return;
    }
    if (n->kind == NodeKind::Intrinsic && n->lookup != Base::Void) {
        const Variable* v = samplerVariable(n->kids[0]);
        if (v != nullptr && v->type.base == Base::Sampler) {
            samplerUse(v, n->lookup, n->line);
        }
    }
    if (n->kind == NodeKind::Call) {
        for (size_t i = 0; i < n->kids.size(); ++i) {
            const Variable* param = n->fn->params[i];
            const Variable* arg = samplerVariable(n->kids[i]);
            if (!param->type.isSampler() || arg == nullptr) {
                continue;
            }
            bool paramUntyped = param->type.base == Base::Sampler;
            bool argUntyped = arg->type.base == Base::Sampler;
            if (paramUntyped && argUntyped) {
                const Variable* a = samplerRoot(arg);
                const Variable* b = samplerRoot(param);
                if (a != b) {
                    auto kind = samplerKinds.find(b);
                    samplerLinks[b] = a;
                    if (kind != samplerKinds.end()) {
                        samplerUse(a, kind->second, n->line);
                    }
                }
            } else if (paramUntyped) {
                samplerUse(param, arg->type.base, n->line);
            } else if (argUntyped) {
                samplerUse(arg, param->type.base, n->line);
            }
        }
    }
    for (const Node* k : n->kids) {
        resolveSamplers(k);
    }
    for (const Variable* v : n->vars) {
        resolveSamplers(v->init);
    }
}

Type Writer::typeOf(const Variable* v) const {
    if (v->type.base != Base::Sampler || v->type.isArray()) {
        return v->type;
    }
    auto kind = samplerKinds.find(samplerRoot(v));
    return Type::scalar(kind != samplerKinds.end() ? kind->second : Base::Sampler2D);
}

void Writer::addParameter(const std::string& cgName, const std::string& glslName, const Type& type,
                          int line) {
    Parameter p{cgName, glslName, type, -1};
    if (type.isSampler()) {
        p.samplerUnit = samplerUnits++;
    }
    if (type.isArray() && type.element().isSampler()) {
        diag.error(line, "sampler arrays are not supported");
    }
    out.parameters.push_back(p);
    if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            addParameter(cgName + "." + m.name, glslName + "." + m.glslName, m.type, line);
        }
    } else if (type.isArray() && type.arrayLength <= 256) {
        for (int i = 0; i < type.arrayLength; ++i) {
            std::string at = "[" + std::to_string(i) + "]";
            addParameter(cgName + at, glslName + at, type.element(), line);
        }
    }
}

void Writer::emit(const std::string& line, int indent) {
    text += std::string(static_cast<size_t>(indent) * 4, ' ') + line + "\n";
    ++nextLine;
}

// GLSL 1.20 numbers the line after "#line N" as N + 1.
void Writer::lineMark(int line) {
    if (line > 0 && line != nextLine) {
        text += "#line " + std::to_string(line - 1) + "\n";
        nextLine = line;
    }
}

void Writer::run(const std::string& entryName) {
    for (Function* fn : program.functionOrder) {
        if (fn->name == entryName && (fn->body != nullptr || !fn->error.empty()) &&
            entry == nullptr) {
            entry = fn;
        }
    }
    if (entry == nullptr) {
        diag.error(0, "entry function '" + entryName + "' not found");
    }
    std::vector<Function*> path;
    reach(entry, path);
    listReached();
    for (const Function* fn : program.functionOrder) {
        if (functions.count(fn) != 0) {
            resolveSamplers(fn->body);
        }
    }

    std::string head = "#version 120\n";
    for (const std::string& h : helpers) {
        if (h[0] == '#') {
            head += h + " : enable\n";
        }
    }

    // Parameters: the program's globals it reaches, then the entry's uniform parameters.
    std::set<std::string> globalNames;
    for (const Variable* g : program.globals) {
        if (globals.count(g) != 0) {
            globalNames.insert(g->glslName);
        }
    }
    for (const Function* fn : functions) {
        globalNames.insert(fn->glslName);
    }
    for (const Variable* g : program.globals) {
        if (globals.count(g) != 0 && g->uniform) {
            addParameter(g->name, g->glslName, typeOf(g), g->line);
        }
    }
    for (const Variable* p : entry->params) {
        if (p->uniform && !p->trackedState.empty()) {
            // Tracked state is read where it is used; the argument only fills the slot.
            entryUniformNames[p] = glslType(p->type) + "(" + p->trackedState + ")";
        } else if (p->uniform) {
            std::string name =
                globalNames.count(p->glslName) != 0 ? "cgu_" + p->glslName : p->glslName;
            globalNames.insert(name);
            entryUniformNames[p] = name;
            addParameter(p->name, name, typeOf(p), p->line);
        }
    }

    std::string decls;
    for (const auto& s : program.structs) {
        decls += "struct " + s->glslName + " {";
        for (const Member& m : s->members) {
            decls += " " + declarator(m.type, m.glslName) + ";";
        }
        decls += " };\n";
    }
    for (const Variable* g : program.globals) {
        if (globals.count(g) == 0) {
            continue;
        }
        if (g->uniform) {
            decls += "uniform " + declarator(typeOf(g), g->glslName);
            if (g->init != nullptr) {
                if (!constant(g->init)) {
                    diag.error(g->line, "the initial value of parameter '" + g->name +
                                            "' must be a constant");
                }
                decls += " = " + expr(g->init);
            }
            decls += ";\n";
        } else {
            decls += declarator(g->type, g->glslName);
            if (g->init != nullptr && constant(g->init)) {
                decls += " = " + expr(g->init);
            }
            decls += ";\n";
        }
    }
    for (const Variable* p : entry->params) {
        if (p->uniform && p->trackedState.empty()) {
            decls += "uniform " + declarator(typeOf(p), entryUniformNames[p]) + ";\n";
        }
    }
    for (const std::string& h : helpers) {
        decls += helperText(h);
    }
    for (const Function* fn : program.functionOrder) {
        if (functions.count(fn) == 0) {
            continue;
        }
        std::string proto = glslType(fn->returnType) + " " + fn->glslName + "(";
        for (size_t i = 0; i < fn->params.size(); ++i) {
            const Variable* p = fn->params[i];
            const char* mode = p->mode == ParamMode::Out     ? "out "
                               : p->mode == ParamMode::InOut ? "inout "
                                                             : "";
            proto += (i > 0 ? ", " : "") + std::string(mode) + declarator(typeOf(p), p->glslName);
        }
        decls += proto + ");\n";
    }

    // The first function always starts with a #line mark; what stands above
    // it keeps the driver's own numbering.
    text = decls;
    nextLine = -1;
    for (const Function* fn : program.functionOrder) {
        if (functions.count(fn) != 0) {
            function(fn);
        }
    }
    mainFunction();
    out.glsl = head + attributeDecls + text;
}

void Writer::function(const Function* fn) {
    lineMark(fn->line);
    std::string header = glslType(fn->returnType) + " " + fn->glslName + "(";
    for (size_t i = 0; i < fn->params.size(); ++i) {
        const Variable* p = fn->params[i];
        const char* mode = p->mode == ParamMode::Out     ? "out "
                           : p->mode == ParamMode::InOut ? "inout "
                                                         : "";
        header += (i > 0 ? ", " : "") + std::string(mode) + declarator(typeOf(p), p->glslName);
    }
    emit(header + ")", 0);
    statement(fn->body, 0);
}

// A statement as the body of if/for/while: always braced.
void Writer::body(const Node* s, int indent) {
    if (s->kind == NodeKind::Block) {
        statement(s, indent);
        return;
    }
    emit("{", indent);
    statement(s, indent + 1);
    emit("}", indent);
}

// An expression standing as a statement needs no outer parentheses.
std::string Writer::statementExpr(const Node* e) {
    std::string s = expr(e);
    if ((e->kind == NodeKind::Assign || e->kind == NodeKind::IncDec) && s.front() == '(') {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

std::string Writer::forPart(const Node* s) {
    if (s == nullptr) {
        return "";
    }
    if (s->kind == NodeKind::Declaration) {
        std::string d;
        for (size_t i = 0; i < s->vars.size(); ++i) {
            const Variable* v = s->vars[i];
            if (i == 0) {
                d += declarator(v->type, v->glslName);
            } else {
                d += ", " + v->glslName +
                     (v->type.isArray() ? "[" + std::to_string(v->type.arrayLength) + "]" : "");
            }
            if (v->init != nullptr) {
                d += " = " + expr(v->init);
            }
        }
        return d;
    }
    return statementExpr(s->kids[0]);
}

void Writer::statement(const Node* s, int indent) {
    if (s->kind != NodeKind::Block) {
        lineMark(s->line);
    }
    switch (s->kind) {
    case NodeKind::Block:
        emit("{", indent);
        for (const Node* k : s->kids) {
            statement(k, indent + 1);
        }
        emit("}", indent);
        return;
    case NodeKind::Declaration:
        for (const Variable* v : s->vars) {
            lineMark(v->line);
            std::string d = declarator(v->type, v->glslName);
            if (v->init != nullptr) {
                d += " = " + expr(v->init);
            }
            emit(d + ";", indent);
        }
        return;
    case NodeKind::ExprStmt:
        emit(statementExpr(s->kids[0]) + ";", indent);
        return;
    case NodeKind::If:
        emit("if (" + expr(s->kids[0]) + ")", indent);
        body(s->kids[1], indent);
        if (s->kids.size() > 2) {
            emit("else", indent);
            body(s->kids[2], indent);
        }
        return;
    case NodeKind::For: {
        std::string init = forPart(s->kids[0]);
        std::string cond = s->kids[1] != nullptr ? expr(s->kids[1]) : "";
        std::string step = s->kids[2] != nullptr ? statementExpr(s->kids[2]) : "";
        emit("for (" + init + "; " + cond + "; " + step + ")", indent);
        body(s->kids[3], indent);
        return;
    }
    case NodeKind::While:
        emit("while (" + expr(s->kids[0]) + ")", indent);
        body(s->kids[1], indent);
        return;
    case NodeKind::DoWhile:
        emit("do", indent);
        body(s->kids[0], indent);
        lineMark(s->kids[1]->line);
        emit("while (" + expr(s->kids[1]) + ");", indent);
        return;
    case NodeKind::Return:
        emit(s->kids.empty() ? "return;" : "return " + expr(s->kids[0]) + ";", indent);
        return;
    case NodeKind::Break:
        emit("break;", indent);
        return;
    case NodeKind::Continue:
        emit("continue;", indent);
        return;
    case NodeKind::Discard:
        emit("discard;", indent);
        return;
    case NodeKind::Empty:
        emit(";", indent);
        return;
    default:
        diag.error(s->line, "internal error: unexpected statement");
    }
}

std::string Writer::expr(const Node* e) {
    auto kid = [&](size_t i) { return expr(e->kids[i]); };
    auto args = [&]() {
        std::string a;
        for (size_t i = 0; i < e->kids.size(); ++i) {
            a += (i > 0 ? ", " : "") + kid(i);
        }
        return a;
    };
    switch (e->kind) {
    case NodeKind::Literal:
        return e->text[0] == '-' ? "(" + e->text + ")" : e->text;
    case NodeKind::VarRef:
        return e->var->glslName;
    case NodeKind::Call:
        return e->fn->glslName + "(" + args() + ")";
    case NodeKind::Intrinsic:
        return e->text + "(" + args() + ")";
    case NodeKind::Construct:
        return glslType(e->type) + "(" + args() + ")";
    case NodeKind::InitList:
        return (e->type.isArray()
                    ? glslType(e->type.element()) + "[" + std::to_string(e->type.arrayLength) + "]"
                    : glslType(e->type)) +
               "(" + args() + ")";
    case NodeKind::Convert: {
        const Type& from = e->kids[0]->type;
        if (e->type.isMatrix() && from.isScalar()) {
            // GLSL would make a diagonal matrix; Cg fills every element.
            std::string s = kid(0);
            std::string column = "vec" + std::to_string(e->type.cols) + "(" + s + ")";
            std::string m = glslType(e->type) + "(";
            for (int r = 0; r < e->type.rows; ++r) {
                m += (r > 0 ? ", " : "") + column;
            }
            return m + ")";
        }
        return glslType(e->type) + "(" + kid(0) + ")";
    }
    case NodeKind::Member:
        return kid(0) + "." + e->member->glslName;
    case NodeKind::Swizzle: {
        std::string base = kid(0);
        if (e->flag) {
            std::vector<std::string> elems;
            for (size_t i = 0; i + 1 < e->text.size(); i += 2) {
                elems.push_back(base + "[" + e->text[i] + "][" + e->text[i + 1] + "]");
            }
            if (elems.size() == 1) {
                return elems[0];
            }
            std::string v = glslType(e->type) + "(";
            for (size_t i = 0; i < elems.size(); ++i) {
                v += (i > 0 ? ", " : "") + elems[i];
            }
            return v + ")";
        }
        if (e->kids[0]->type.isScalar()) {
            return e->text.size() == 1 ? base : glslType(e->type) + "(" + base + ")";
        }
        std::string s = base + ".";
        for (char c : e->text) {
            s += "xyzw"[c - '0'];
        }
        return s;
    }
    case NodeKind::Index:
        return kid(0) + "[" + kid(1) + "]";
    case NodeKind::Unary:
        if (e->text == "!" && !e->type.isScalar()) {
            return "not(" + kid(0) + ")";
        }
        return "(" + e->text + kid(0) + ")";
    case NodeKind::Binary: {
        const std::string& op = e->text;
        if (op == "matrixCompMult") {
            return "matrixCompMult(" + kid(0) + ", " + kid(1) + ")";
        }
        const Type& operand = e->kids[0]->type;
        if (operand.isVector() && !e->kids[1]->type.isScalar()) {
            static const std::map<std::string, std::string> compare = {
                {"<", "lessThan"},          {"<=", "lessThanEqual"}, {">", "greaterThan"},
                {">=", "greaterThanEqual"}, {"==", "equal"},         {"!=", "notEqual"}};
            auto c = compare.find(op);
            if (c != compare.end()) {
                return c->second + "(" + kid(0) + ", " + kid(1) + ")";
            }
            if (op == "&&" || op == "||") {
                std::string n = std::to_string(operand.cols);
                std::string v = "vec" + n;
                return "bvec" + n + "(" + v + "(" + kid(0) + ")" + (op == "&&" ? " * " : " + ") +
                       v + "(" + kid(1) + "))";
            }
        }
        return "(" + kid(0) + " " + op + " " + kid(1) + ")";
    }
    case NodeKind::Assign:
        return "(" + kid(0) + " " + e->text + " " + kid(1) + ")";
    case NodeKind::IncDec:
        return e->flag ? "(" + e->text + kid(0) + ")" : "(" + kid(0) + e->text + ")";
    case NodeKind::Conditional:
        if (e->flag) {
            return "cgh_select(" + args() + ")";
        }
        return "(" + kid(0) + " ? " + kid(1) + " : " + kid(2) + ")";
    case NodeKind::Comma:
        return "(" + kid(0) + ", " + kid(1) + ")";
    case NodeKind::GlState:
        return e->text;
    default:
        diag.error(e->line, "internal error: unexpected expression");
    }
}

void Writer::bindInput(const std::string& target, const Type& type, const std::string& semantic,
                       int line, int indent) {
    if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            bindInput(target + "." + m.glslName, m.type, m.semantic, m.line, indent);
        }
        return;
    }
    if (semantic.empty()) {
        diag.error(line, "varying input '" + target + "' has no semantic");
    }
    if (!type.isNumeric() || type.isMatrix()) {
        diag.error(line, "input of type " + cgTypeName(type) + " cannot bind to " + semantic);
    }
    Semantic s = splitSemantic(semantic);
    std::string source;
    int available = 4;
    if (stage == Stage::Vertex) {
        if (s.kind == "POSITION" && s.index == 0) {
            source = "gl_Vertex";
        } else if (s.kind == "NORMAL" && s.index == 0) {
            // The fourth component of a normal reads 1, as in arbvp1.
            source = type.cols == 4 ? "vec4(gl_Normal, 1.0)" : "gl_Normal";
            available = type.cols == 4 ? 4 : 3;
        } else if (s.kind == "COLOR" && s.index <= 1) {
            source = s.index == 0 ? "gl_Color" : "gl_SecondaryColor";
        } else if (s.kind == "TEXCOORD" && s.index <= 7) {
            source = "gl_MultiTexCoord" + std::to_string(s.index);
        } else if (s.kind == "ATTR" && s.index <= 15) {
            if (s.index == 0) {
                source = "gl_Vertex";
            } else {
                source = "cga_" + std::to_string(s.index);
                bool known = false;
                for (const auto& a : out.attributes) {
                    known = known || a.second == s.index;
                }
                if (!known) {
                    out.attributes.emplace_back(source, s.index);
                    attributeDecls += "attribute vec4 " + source + ";\n";
                }
            }
        } else if (s.kind == "FOG" && s.index == 0) {
            source = "vec4(gl_FogCoord, 0.0, 0.0, 1.0)";
        }
    } else {
        if (s.kind == "COLOR" && s.index <= 1) {
            source = s.index == 0 ? "gl_Color" : "gl_SecondaryColor";
        } else if (s.kind == "TEXCOORD" && s.index <= 7) {
            source = "gl_TexCoord[" + std::to_string(s.index) + "]";
        } else if (s.kind == "WPOS" && s.index == 0) {
            source = "gl_FragCoord";
        } else if (s.kind == "POSITION" && s.index == 0) {
            // arbfp1 has no such input: the member is accepted and reads nothing.
            source = "vec4(0.0)";
        } else if (s.kind == "FOG" && s.index == 0) {
            source = "vec4(gl_FogFragCoord, 0.0, 0.0, 1.0)";
        }
    }
    if (source.empty()) {
        diag.error(line, "semantic " + semantic + " is not an input of " +
                             (stage == Stage::Vertex ? "vertex" : "fragment") + " programs");
    }
    int n = type.cols;
    if (n > available) {
        diag.error(line,
                   "input " + semantic + " has only " + std::to_string(available) + " components");
    }
    std::string value = source;
    if (n < available) {
        value += "." + std::string("xyzw").substr(0, static_cast<size_t>(n));
    }
    if (type.base != Base::Float) {
        value = glslType(type) + "(" + value + ")";
    }
    emit(target + " = " + value + ";", indent);
}

// A fragment program writing several colours writes them all as gl_FragData.
void Writer::collectOutputs(const Type& type, const std::string& semantic) {
    if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            collectOutputs(m.type, m.semantic);
        }
        return;
    }
    Semantic s = splitSemantic(semantic);
    if (stage == Stage::Fragment && s.kind == "COLOR" && s.index > 0) {
        fragData = true;
    }
}

void Writer::bindOutput(const std::string& value, const Type& type, const std::string& semantic,
                        int line, int indent) {
    if (type.isStruct()) {
        for (const Member& m : type.record->members) {
            bindOutput(value + "." + m.glslName, m.type, m.semantic, m.line, indent);
        }
        return;
    }
    if (semantic.empty()) {
        diag.error(line, "varying output has no semantic");
    }
    if (!type.isNumeric() || type.isMatrix()) {
        diag.error(line, "output of type " + cgTypeName(type) + " cannot bind to " + semantic);
    }
    Semantic s = splitSemantic(semantic);
    std::string target;
    bool scalarTarget = false;
    if (stage == Stage::Vertex) {
        if ((s.kind == "POSITION") && s.index == 0) {
            target = "gl_Position";
        } else if (s.kind == "COLOR" && s.index <= 1) {
            target = s.index == 0 ? "gl_FrontColor" : "gl_FrontSecondaryColor";
        } else if (s.kind == "BCOLOR" && s.index <= 1) {
            target = s.index == 0 ? "gl_BackColor" : "gl_BackSecondaryColor";
        } else if (s.kind == "TEXCOORD" && s.index <= 7) {
            target = "gl_TexCoord[" + std::to_string(s.index) + "]";
        } else if (s.kind == "PSIZE" && s.index == 0) {
            target = "gl_PointSize";
            scalarTarget = true;
        } else if (s.kind == "FOG" && s.index == 0) {
            target = "gl_FogFragCoord";
            scalarTarget = true;
        }
    } else {
        if (s.kind == "COLOR" && s.index <= 3) {
            target = fragData ? "gl_FragData[" + std::to_string(s.index) + "]" : "gl_FragColor";
        } else if (s.kind == "DEPTH" && s.index == 0) {
            target = "gl_FragDepth";
            scalarTarget = true;
        }
    }
    if (target.empty()) {
        diag.error(line, "semantic " + semantic + " is not an output of " +
                             (stage == Stage::Vertex ? "vertex" : "fragment") + " programs");
    }
    if (!outputsWritten.insert(target).second) {
        diag.error(line, "output semantic " + semantic + " is bound twice");
    }
    std::string v = value;
    if (scalarTarget) {
        v = "float(" + v + ")";
    } else {
        if (type.base != Base::Float) {
            v = glslType(type.withBase(Base::Float)) + "(" + v + ")";
        }
        // Missing components read as in the fixed pipeline: z 0, w 1.
        static const char* const fill[] = {"", ", 0.0, 0.0, 1.0", ", 0.0, 1.0", ", 1.0", ""};
        if (type.cols < 4) {
            v = "vec4(" + v + fill[type.cols] + ")";
        }
    }
    emit(target + " = " + v + ";", indent);
}

void Writer::mainFunction() {
    collectOutputs(entry->returnType, entry->returnSemantic);
    for (const Variable* p : entry->params) {
        if (!p->uniform && p->mode != ParamMode::In) {
            collectOutputs(p->type, p->semantic);
        }
    }
    lineMark(entry->line);
    emit("void main()", 0);
    emit("{", 0);
    for (const Variable* g : program.globals) {
        if (globals.count(g) != 0 && !g->uniform && g->init != nullptr && !constant(g->init)) {
            emit(g->glslName + " = " + expr(g->init) + ";", 1);
        }
    }
    std::string call = entry->glslName + "(";
    for (size_t i = 0; i < entry->params.size(); ++i) {
        const Variable* p = entry->params[i];
        std::string arg;
        if (p->uniform) {
            arg = entryUniformNames[p];
        } else {
            if (p->type.isSampler()) {
                diag.error(p->line, "sampler '" + p->name + "' must be a uniform parameter");
            }
            if (p->type.isArray()) {
                diag.error(p->line, "varying array '" + p->name + "' is not supported");
            }
            arg = "cgv_" + std::to_string(i);
            emit(declarator(p->type, arg) + ";", 1);
            if (p->mode != ParamMode::Out) {
                bindInput(arg, p->type, p->semantic, p->line, 1);
            }
        }
        call += (i > 0 ? ", " : "") + arg;
    }
    call += ")";
    if (entry->returnType.isVoid()) {
        emit(call + ";", 1);
    } else {
        if (!entry->returnType.isStruct() && entry->returnSemantic.empty()) {
            diag.error(entry->line,
                       "the value entry '" + entry->name + "' returns needs a semantic");
        }
        if (entry->returnType.isArray()) {
            diag.error(entry->line, "an entry cannot return an array");
        }
        emit(declarator(entry->returnType, "cgv_result") + " = " + call + ";", 1);
        bindOutput("cgv_result", entry->returnType, entry->returnSemantic, entry->line, 1);
    }
    for (size_t i = 0; i < entry->params.size(); ++i) {
        const Variable* p = entry->params[i];
        if (!p->uniform && p->mode != ParamMode::In) {
            bindOutput("cgv_" + std::to_string(i), p->type, p->semantic, p->line, 1);
        }
    }
    emit("}", 0);
}

} // namespace

void writeGlsl(const Program& program, const std::string& entry, Stage stage, Diagnostics& diag,
               Output& output) {
    Writer(program, stage, diag, output).run(entry);
}

} // namespace cg
