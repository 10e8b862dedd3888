#include "core/LoadingScreen.h"

#include "core/Demo.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/OutlineFont.h"

#include "platform/Gl.h"

namespace {

void drawProgress(Demo& demo, float progress) {
    const float right = progress * 1.6f - 0.8f;
    disableFragmentPrograms();
    disableVertexPrograms();
    clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, true);
    modelviewIdentity();
    projectionIdentity();
    glDisable(GL_DEPTH_TEST);

    glBegin(GL_QUADS);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    glVertex4f(-0.8f, 0.0f, 0.0f, 1.0f);
    glVertex4f(0.8f, 0.0f, 0.0f, 1.0f);
    glVertex4f(0.8f, 0.2f, 0.0f, 1.0f);
    glVertex4f(-0.8f, 0.2f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glVertex4f(-0.8f, 0.0f, 0.0f, 1.0f);
    glVertex4f(right, 0.0f, 0.0f, 1.0f);
    glVertex4f(right, 0.2f, 0.0f, 1.0f);
    glVertex4f(-0.8f, 0.2f, 0.0f, 1.0f);
    glEnd();

    glEnable(GL_DEPTH_TEST);
    if (demo.font != nullptr) {
        drawText(demo.font, 275, 250, "Brimvale Lumora - Loading Demo 'Meridian'");
    }
}

} // namespace

void showProgress(Demo& demo, float progress, GlWindow& window) {
    for (int repeat = 0; repeat < 10; ++repeat) {
        drawProgress(demo, progress);
        // The loading screen does not end the program: a quit request is dropped.
        window.update();
    }
}

void showProgressOnce(Demo& demo, float progress, GlWindow& window) {
    drawProgress(demo, progress);
    window.update();
}
