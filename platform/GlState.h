#pragma once

// The engine's thin layer over OpenGL state: effects pass small integer codes
// instead of GL enumerants. enableState and disableState ignore unknown codes;
// every other table raises an EngineError for a code outside it.

namespace StateCap {
constexpr int Blend = 0, DepthTest = 1, AlphaTest = 2, StencilTest = 3, None = 4, CullFace = 5,
              Normalize = 6, LineSmooth = 7, PointSmooth = 8;
}
namespace BlendFactor {
constexpr int Zero = 0, One = 1, SrcColor = 2, OneMinusSrcColor = 3, DstColor = 4,
              OneMinusDstColor = 5, SrcAlpha = 6, OneMinusSrcAlpha = 7, DstAlpha = 8,
              OneMinusDstAlpha = 9;
}
namespace CompareFunc {
constexpr int Always = 0, Less = 1, LessEqual = 2, Equal = 3, GreaterEqual = 4, Greater = 5,
              Never = 6;
}
namespace StencilAction {
constexpr int Zero = 0, Keep = 1, Replace = 2, Increment = 3, Decrement = 4;
}
namespace PrimitiveCode {
constexpr int Points = 0, Lines = 1, Triangles = 2, Quads = 3;
}
namespace AttributeCode {
constexpr int Position = 0, TexCoord = 1, TexCoordUnit0 = 2, Normal = 10, Color = 11,
              Generic0 = 100;
}

// The GL enumerants behind the codes; each raises an EngineError for an unknown code.
unsigned int glBlendFactor(int code);
unsigned int glCompareFunc(int code);
unsigned int glStencilAction(int code);
unsigned int glPrimitive(int code);

void enableState(int cap);
void disableState(int cap);
void blendFunction(int source, int destination);
void depthFunction(int compare);
void alphaFunction(int compare, float reference);
void depthMask(bool write);
// In pixels of the picture as the demo was made: wider on a larger picture.
void lineWidth(float width);
// Every code 0, 1 or 2 culls GL_FRONT (code 1 does not select GL_BACK, and the
// effects were tuned with that); other codes change nothing.
void cullFace(int code);

// The matrix helpers leave the matrix mode they selected current.
void modelviewIdentity();
void projectionIdentity();
void translate(float x, float y, float z);
void rotate(float degrees, float x, float y, float z);
void scale(float x, float y, float z);
void pushMatrix();
void popMatrix();
void perspective(float fovyDegrees, float aspect, float nearPlane, float farPlane);
void lookAt(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
            float upX, float upY, float upZ);
void viewport(int x, int y, int width, int height);
// The viewport over the window's picture, wherever it lies in the window.
void pictureViewport();
void clear(float red, float green, float blue, float alpha, bool colour, bool depth, bool stencil);

void disableFragmentPrograms();
void disableVertexPrograms();

void beginPrimitive(int primitive);
void endPrimitive();
// Immediate-mode vertex data, always four floats (AttributeCode table).
void vertexAttribute(int code, const float* values);
void vertexAttribute(int code, float a, float b, float c, float d);

// Binds the window's framebuffer and sets the viewport to the window's picture.
void bindWindowTarget();
// Puts the engine's default state back.
void resetState();
// One camera-facing quad of half size s around (x, y, z), from the current modelview.
void billboardQuad(float x, float y, float z, float s);
