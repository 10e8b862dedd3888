#pragma once

#include "platform/Gl.h"

// The two profiles programs are compiled for, by their historical numbers.
namespace ShaderProfile {
constexpr int Vertex = 6150;   // arbvp1
constexpr int Fragment = 7000; // arbfp1
} // namespace ShaderProfile

// Stands for the shader runtime's context: one program pipeline object whose two
// stages play the vertex and fragment profiles. A stage runs its bound program
// only while its profile is enabled; a stage without one falls back to the
// fixed-function pipeline. Programs are separable program objects.
class ShaderContext {
public:
    ShaderContext();
    ~ShaderContext();
    ShaderContext(const ShaderContext&) = delete;
    ShaderContext& operator=(const ShaderContext&) = delete;

    void enableProfile(int profile);
    void disableProfile(int profile);
    void bindProgram(int profile, GLuint program);
    void unbindProgram(int profile);

    bool profileEnabled(int profile) const;
    GLuint boundProgram(int profile) const;
    // The program that runs in the profile's stage now: 0 means fixed function.
    GLuint activeProgram(int profile) const;

    // The shader context of currentWindow.
    static ShaderContext* current();

private:
    struct Stage {
        bool enabled = false;
        GLuint bound = 0;
        GLuint active = 0;
    };
    Stage& stage(int profile);
    const Stage& stage(int profile) const;
    void apply();

    GLuint pipeline = 0;
    Stage vertex;
    Stage fragment;
};
