#include "platform/GlState.h"

#include "platform/EngineError.h"
#include "platform/GlWindow.h"
#include "platform/ShaderContext.h"

#include "platform/Gl.h"

#include <string>

namespace {

[[noreturn]] void unknownCode(const char* table, int code) {
    throw EngineError(std::string("unknown ") + table + " code " + std::to_string(code));
}

// GL capability of a StateCap code; 0 for codes that name none.
GLenum glCapability(int cap) {
    static const GLenum table[] = {GL_BLEND,     GL_DEPTH_TEST, GL_ALPHA_TEST,  GL_STENCIL_TEST, 0,
                                   GL_CULL_FACE, GL_NORMALIZE,  GL_LINE_SMOOTH, GL_POINT_SMOOTH};
    if (cap < 0 || cap >= static_cast<int>(sizeof(table) / sizeof(table[0]))) {
        return 0;
    }
    return table[cap];
}

} // namespace

unsigned int glBlendFactor(int code) {
    static const GLenum table[] = {GL_ZERO,      GL_ONE,
                                   GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                   GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR,
                                   GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                   GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA};
    if (code < 0 || code > 9) {
        unknownCode("blend factor", code);
    }
    return table[code];
}

unsigned int glCompareFunc(int code) {
    static const GLenum table[] = {GL_ALWAYS, GL_LESS,    GL_LEQUAL, GL_EQUAL,
                                   GL_GEQUAL, GL_GREATER, GL_NEVER};
    if (code < 0 || code > 6) {
        unknownCode("compare function", code);
    }
    return table[code];
}

unsigned int glStencilAction(int code) {
    static const GLenum table[] = {GL_ZERO, GL_KEEP, GL_REPLACE, GL_INCR, GL_DECR};
    if (code < 0 || code > 4) {
        unknownCode("stencil action", code);
    }
    return table[code];
}

unsigned int glPrimitive(int code) {
    static const GLenum table[] = {GL_POINTS, GL_LINES, GL_TRIANGLES, GL_QUADS};
    if (code < 0 || code > 3) {
        unknownCode("primitive", code);
    }
    return table[code];
}

void enableState(int cap) {
    if (GLenum capability = glCapability(cap)) {
        glEnable(capability);
    }
}

void disableState(int cap) {
    if (GLenum capability = glCapability(cap)) {
        glDisable(capability);
    }
}

void blendFunction(int source, int destination) {
    glBlendFunc(glBlendFactor(source), glBlendFactor(destination));
}

void depthFunction(int compare) {
    glDepthFunc(glCompareFunc(compare));
}
void alphaFunction(int compare, float reference) {
    glAlphaFunc(glCompareFunc(compare), reference);
}
void depthMask(bool write) {
    glDepthMask(write ? GL_TRUE : GL_FALSE);
}
namespace {

float pictureScale() {
    return currentWindow != nullptr ? currentWindow->pictureScale() : 1.0f;
}

} // namespace

void lineWidth(float width) {
    glLineWidth(width * pictureScale());
}

void cullFace(int code) {
    if (code >= 0 && code <= 2) {
        glCullFace(GL_FRONT);
    }
}

void modelviewIdentity() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void projectionIdentity() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
}

void translate(float x, float y, float z) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(x, y, z);
}

void rotate(float degrees, float x, float y, float z) {
    glMatrixMode(GL_MODELVIEW);
    glRotatef(degrees, x, y, z);
}

void scale(float x, float y, float z) {
    glMatrixMode(GL_MODELVIEW);
    glScalef(x, y, z);
}

void pushMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

void popMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void perspective(float fovyDegrees, float aspect, float nearPlane, float farPlane) {
    projectionIdentity();
    gluPerspective(fovyDegrees, aspect, nearPlane, farPlane);
}

void lookAt(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
            float upX, float upY, float upZ) {
    modelviewIdentity();
    gluLookAt(eyeX, eyeY, eyeZ, targetX, targetY, targetZ, upX, upY, upZ);
}

void viewport(int x, int y, int width, int height) {
    glViewport(x, y, width, height);
}

void clear(float red, float green, float blue, float alpha, bool colour, bool depth, bool stencil) {
    glClearColor(red, green, blue, alpha);
    GLbitfield buffers = (colour ? GL_COLOR_BUFFER_BIT : 0) | (depth ? GL_DEPTH_BUFFER_BIT : 0) |
                         (stencil ? GL_STENCIL_BUFFER_BIT : 0);
    glClear(buffers);
}

void disableFragmentPrograms() {
    if (ShaderContext* context = ShaderContext::current()) {
        context->disableProfile(ShaderProfile::Fragment);
    }
}

void disableVertexPrograms() {
    if (ShaderContext* context = ShaderContext::current()) {
        context->disableProfile(ShaderProfile::Vertex);
    }
}

void beginPrimitive(int primitive) {
    glBegin(glPrimitive(primitive));
}
void endPrimitive() {
    glEnd();
}

void vertexAttribute(int code, const float* values) {
    if (code == AttributeCode::Position) {
        glVertex4fv(values);
    } else if (code == AttributeCode::TexCoord) {
        glTexCoord4fv(values);
    } else if (code >= 2 && code <= 9) {
        glMultiTexCoord4fv(GL_TEXTURE0 + (code - 2), values);
    } else if (code == AttributeCode::Normal) {
        glNormal3fv(values);
    } else if (code == AttributeCode::Color) {
        glColor4fv(values);
    } else if (code >= 100 && code <= 115) {
        glVertexAttrib4fv(code - 100, values);
    }
}

void vertexAttribute(int code, float a, float b, float c, float d) {
    const float values[4] = {a, b, c, d};
    vertexAttribute(code, values);
}

void bindWindowTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    pictureViewport();
}

void pictureViewport() {
    if (currentWindow != nullptr) {
        glViewport(currentWindow->x, currentWindow->y, currentWindow->width, currentWindow->height);
    }
}

void resetState() {
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_NORMALIZE);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_LESS, 0.5f);
    glStencilFunc(GL_LESS, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glPointSize(pictureScale());
    glLineWidth(pictureScale());
    glCullFace(GL_FRONT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void billboardQuad(float x, float y, float z, float s) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float rx = m[0], ry = m[4], rz = m[8];
    const float ux = m[1], uy = m[5], uz = m[9];
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(x + s * (-rx - ux), y + s * (-ry - uy), z + s * (-rz - uz));
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(x + s * (rx - ux), y + s * (ry - uy), z + s * (rz - uz));
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(x + s * (rx + ux), y + s * (ry + uy), z + s * (rz + uz));
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(x + s * (-rx + ux), y + s * (-ry + uy), z + s * (-rz + uz));
    glEnd();
}
