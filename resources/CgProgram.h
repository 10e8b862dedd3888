#pragma once

#include "platform/Gl.h"

#include <string>
#include <unordered_map>
#include <vector>

class Texture;

// One program compiled from Cg source for one profile (ShaderProfile::Vertex or
// ShaderProfile::Fragment). Parameters are set by their Cg names; a name the
// program does not have is skipped silently. Any translation, compile or link
// error is fatal, with the listing.
class CgProgram {
public:
    // sourceName names the text in the listing ("data/meridian.cg"); its folder
    // is where a quoted #include is looked for first. args, when given, are
    // compiler arguments ("-DNAME", "-DNAME=VALUE", "-IDIR") ending in a null.
    CgProgram(const char* source, const char* entry, int profile,
              const char* sourceName = "program", const char* const* args = nullptr);
    ~CgProgram();
    CgProgram(const CgProgram&) = delete;
    CgProgram& operator=(const CgProgram&) = delete;

    // Unbind the profile's program, enable the profile, bind this program.
    void bind();
    // Unbind the profile's program; the profile stays enabled.
    void unbind();

    // The setters say whether the program has the parameter (and so took the value).
    bool set1f(const char* name, float value);
    // Four floats fill a float, float2, float3 or float4 parameter from the front.
    bool set4fv(const char* name, const float* values);
    // Fragment programs only: binds the texture to the sampler's own unit.
    bool setTexture(const char* name, const Texture* texture);
    void disableTexture(const char* name);

    int profile = 0;
    GLuint program = 0;

private:
    struct Parameter {
        GLint location = -1;
        int components = 0;   // 1..4 for scalars and vectors, 0 for anything else
        bool integer = false; // int and bool parameters take integers
        int samplerUnit = -1;
        GLenum samplerTarget = 0;
    };
    const Parameter* find(const char* name);
    std::unordered_map<std::string, Parameter> parameters;
};

// A driver's compile or link log as listing lines "FILE(LINE) : MESSAGE";
// files are the translated text and what it included, as the translation
// numbers them.
std::string driverListing(const std::string& log, const std::vector<std::string>& files);
std::string driverListing(const std::string& log, const std::string& sourceName);

// A vertex and a fragment program compiled from one source text.
class CgProgramPair {
public:
    CgProgramPair(const char* source, const char* vertexEntry, const char* fragmentEntry,
                  const char* sourceName = "program", const char* const* args = nullptr);
    ~CgProgramPair();
    CgProgramPair(const CgProgramPair&) = delete;
    CgProgramPair& operator=(const CgProgramPair&) = delete;

    void bind();
    void unbind();
    void set1f(const char* name, float value);
    void set4fv(const char* name, const float* values);
    void setTexture(const char* name, const Texture* texture);
    void disableTexture(const char* name);

    CgProgram* vertex = nullptr;
    CgProgram* fragment = nullptr;
};
