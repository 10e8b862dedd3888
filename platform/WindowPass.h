#pragma once

// Passes over the window's frame that are not the demo's own: stretching a
// small picture over the screen, reducing a supersampled frame. The demo's
// frames inherit every GL state the frames before them left, so such a pass
// puts back all it touches.

// The state a pass changes, kept while it lives and put back after it: the
// attribute stack, the framebuffers, the program, the vertex array and the
// texture of unit 0.
class KeptGlState {
public:
    KeptGlState();
    ~KeptGlState();
    KeptGlState(const KeptGlState&) = delete;
    KeptGlState& operator=(const KeptGlState&) = delete;

private:
    int readBound = 0, drawBound = 0, program = 0, vertexArray = 0, activeTexture = 0, texture = 0;
};

// Every test and mode that would change what a pass writes, off.
void plainPassState();

// A program drawing four vertices as a strip over the viewport, which the
// fragment shader (GLSL 1.30) sees as `in vec2 place` from (0, 0) at the
// bottom left to (1, 1); its texture is read from unit 0. 0 when the driver
// cannot compile or link it.
unsigned int linkPassProgram(const char* fragmentShader);
