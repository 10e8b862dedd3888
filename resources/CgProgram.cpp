#include "resources/CgProgram.h"

#include "platform/EngineError.h"
#include "platform/Fatal.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "resources/cg/Translator.h"

#include <cctype>
#include <vector>

namespace {

constexpr const char* errorCaption = "Portico::CGerror";
constexpr const char* compileErrorString = "The compile returned an error.";
constexpr const char* linkErrorString = "The program could not load.";
// The report never grows past the size the original message buffer had.
constexpr size_t maxReport = 65536;

[[noreturn]] void reportCgError(const std::string& errorString, const std::string& listing) {
    std::string report = errorString + "\n" + listing + "\n\n";
    if (report.size() > maxReport - 1) {
        report.resize(maxReport - 1);
    }
    fatalError(errorCaption, report);
}

} // namespace

// Mesa writes "0:LINE(COLUMN): error: text"; the GLSL carries #line marks, so
// LINE is the Cg line (with the included file's number above cg::linesPerFile)
// and the message can be given as a listing line.
std::string driverListing(const std::string& log, const std::vector<std::string>& files) {
    const std::string& sourceName = files.empty() ? std::string() : files[0];
    std::string listing;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        std::string line = log.substr(start, end - start);
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        size_t colon = line.find(':');
        size_t open = line.find('(');
        size_t close = line.find("): ");
        bool shaped = colon != std::string::npos && open != std::string::npos &&
                      close != std::string::npos && colon < open && open < close;
        std::string number = shaped ? line.substr(colon + 1, open - colon - 1) : "";
        shaped = shaped && !number.empty() &&
                 number.find_first_not_of("0123456789") == std::string::npos;
        if (shaped && number.size() <= 9) {
            int location = std::stoi(number);
            size_t file = static_cast<size_t>(cg::fileOf(location));
            listing += (file < files.size() ? files[file] : sourceName) + "(" +
                       std::to_string(cg::lineOf(location)) + ") : " + line.substr(close + 3) +
                       "\n";
        } else {
            bool tagged = line.compare(0, 6, "error:") == 0 || line.compare(0, 8, "warning:") == 0;
            listing += sourceName + "(0) : " + (tagged ? "" : "error: ") + line + "\n";
        }
    }
    return listing;
}

std::string driverListing(const std::string& log, const std::string& sourceName) {
    return driverListing(log, std::vector<std::string>{sourceName});
}

namespace {

std::string shaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

std::string programLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

GLenum samplerTarget(cg::Base base) {
    switch (base) {
    case cg::Base::Sampler1D:
        return GL_TEXTURE_1D;
    case cg::Base::Sampler3D:
        return GL_TEXTURE_3D;
    case cg::Base::SamplerCube:
        return GL_TEXTURE_CUBE_MAP;
    case cg::Base::SamplerRect:
        return GL_TEXTURE_RECTANGLE;
    default:
        return GL_TEXTURE_2D;
    }
}

ShaderContext& context() {
    ShaderContext* shaders = ShaderContext::current();
    if (shaders == nullptr) {
        throw EngineError("a Cg program needs a window with its shader context");
    }
    return *shaders;
}

} // namespace

CgProgram::CgProgram(const char* source, const char* entry, int profile, const char* sourceName,
                     const char* const* args)
    : profile(profile) {
    cg::SourceOptions options = cgFileOptions();
    std::vector<std::string> arguments;
    for (const char* const* a = args; a != nullptr && *a != nullptr; ++a) {
        arguments.push_back(*a);
    }
    std::string wrong;
    if (!addCgArguments(arguments, options, wrong)) {
        reportCgError(compileErrorString, std::string(sourceName) + "(0) : error: " + wrong + "\n");
    }
    CgTranslation translation = translateCg(source, entry, profile, sourceName, options);
    if (!translation.ok) {
        reportCgError(compileErrorString, translation.listing);
    }
    if (ShaderContext::current() == nullptr) {
        throw EngineError("a Cg program needs a window with its shader context");
    }

    GLuint shader =
        glCreateShader(profile == ShaderProfile::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text = translation.glsl.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        reportCgError(compileErrorString,
                      translation.listing + driverListing(shaderLog(shader), translation.files));
    }

    // What glCreateShaderProgramv does, with attribute locations bound before linking.
    program = glCreateProgram();
    glProgramParameteri(program, GL_PROGRAM_SEPARABLE, GL_TRUE);
    glAttachShader(program, shader);
    for (const auto& [name, index] : translation.attributes) {
        glBindAttribLocation(program, static_cast<GLuint>(index), name.c_str());
    }
    glLinkProgram(program);
    glDetachShader(program, shader);
    glDeleteShader(shader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        reportCgError(linkErrorString,
                      translation.listing + driverListing(programLog(program), translation.files));
    }

    for (const cg::Parameter& p : translation.parameters) {
        Parameter parameter;
        parameter.location = glGetUniformLocation(program, p.glslName.c_str());
        if (p.type.isSampler()) {
            parameter.samplerUnit = p.samplerUnit;
            parameter.samplerTarget = samplerTarget(p.type.base);
            if (parameter.location >= 0) {
                glProgramUniform1i(program, parameter.location, p.samplerUnit);
            }
        } else if (p.type.isNumeric() && !p.type.isMatrix()) {
            parameter.components = p.type.cols;
            parameter.integer = p.type.base != cg::Base::Float;
        }
        parameters[p.cgName] = parameter;
    }
}

CgProgram::~CgProgram() {
    ShaderContext* shaders = ShaderContext::current();
    if (program == 0 || shaders == nullptr) {
        return;
    }
    if (shaders->boundProgram(profile) == program) {
        shaders->unbindProgram(profile);
    }
    glDeleteProgram(program);
}

const CgProgram::Parameter* CgProgram::find(const char* name) {
    auto found = parameters.find(name);
    if (found == parameters.end() || found->second.location < 0) {
        return nullptr;
    }
    return &found->second;
}

void CgProgram::bind() {
    ShaderContext& shaders = context();
    shaders.unbindProgram(profile);
    shaders.enableProfile(profile);
    shaders.bindProgram(profile, program);
}

void CgProgram::unbind() {
    context().unbindProgram(profile);
}

bool CgProgram::set1f(const char* name, float value) {
    const Parameter* p = find(name);
    if (p == nullptr || p->components != 1) {
        return false;
    }
    if (p->integer) {
        glProgramUniform1i(program, p->location, static_cast<GLint>(value));
    } else {
        glProgramUniform1f(program, p->location, value);
    }
    return true;
}

bool CgProgram::set4fv(const char* name, const float* values) {
    const Parameter* p = find(name);
    if (p == nullptr || p->components == 0) {
        return false;
    }
    if (p->integer) {
        GLint ints[4];
        for (int i = 0; i < 4; ++i) {
            ints[i] = static_cast<GLint>(values[i]);
        }
        switch (p->components) {
        case 1:
            glProgramUniform1iv(program, p->location, 1, ints);
            break;
        case 2:
            glProgramUniform2iv(program, p->location, 1, ints);
            break;
        case 3:
            glProgramUniform3iv(program, p->location, 1, ints);
            break;
        default:
            glProgramUniform4iv(program, p->location, 1, ints);
            break;
        }
        return true;
    }
    switch (p->components) {
    case 1:
        glProgramUniform1fv(program, p->location, 1, values);
        break;
    case 2:
        glProgramUniform2fv(program, p->location, 1, values);
        break;
    case 3:
        glProgramUniform3fv(program, p->location, 1, values);
        break;
    default:
        glProgramUniform4fv(program, p->location, 1, values);
        break;
    }
    return true;
}

bool CgProgram::setTexture(const char* name, const Texture* texture) {
    if (profile != ShaderProfile::Fragment) {
        return false;
    }
    const Parameter* p = find(name);
    if (p == nullptr || p->samplerUnit < 0) {
        return false;
    }
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + p->samplerUnit));
    glBindTexture(p->samplerTarget, texture != nullptr ? texture->textureName : 0);
    glActiveTexture(static_cast<GLenum>(active));
    return true;
}

void CgProgram::disableTexture(const char* name) {
    if (profile != ShaderProfile::Fragment) {
        return;
    }
    const Parameter* p = find(name);
    if (p == nullptr || p->samplerUnit < 0) {
        return;
    }
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + p->samplerUnit));
    glBindTexture(p->samplerTarget, 0);
    glActiveTexture(static_cast<GLenum>(active));
}

CgProgramPair::CgProgramPair(const char* source, const char* vertexEntry, const char* fragmentEntry,
                             const char* sourceName, const char* const* args)
    : vertex(new CgProgram(source, vertexEntry, ShaderProfile::Vertex, sourceName, args)),
      fragment(new CgProgram(source, fragmentEntry, ShaderProfile::Fragment, sourceName, args)) {}

CgProgramPair::~CgProgramPair() {
    delete fragment;
    delete vertex;
}

void CgProgramPair::bind() {
    vertex->bind();
    fragment->bind();
}

void CgProgramPair::unbind() {
    vertex->unbind();
    fragment->unbind();
}

void CgProgramPair::set1f(const char* name, float value) {
    vertex->set1f(name, value);
    fragment->set1f(name, value);
}

void CgProgramPair::set4fv(const char* name, const float* values) {
    vertex->set4fv(name, values);
    fragment->set4fv(name, values);
}

void CgProgramPair::setTexture(const char* name, const Texture* texture) {
    vertex->setTexture(name, texture);
    fragment->setTexture(name, texture);
}

void CgProgramPair::disableTexture(const char* name) {
    vertex->disableTexture(name);
    fragment->disableTexture(name);
}
