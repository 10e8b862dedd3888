#include "platform/GlWindow.h"

#include "platform/Fatal.h"
#include "resources/ShaderContext.h"

#include "platform/Gl.h"
#include <SDL.h>
#include <SDL_syswm.h>

#include <string>

GlWindow* currentWindow = nullptr;

namespace {

const char* const windowTitle = "Brimvale Portico 0.8";

[[noreturn]] void pixelFormatError() {
    fatalError("Portico", std::string("PORTICO ERROR: Pixel format/type not supported (") +
                              SDL_GetError() + ")");
}

} // namespace

GlWindow::GlWindow(int width_, int height_, int depthBits, int stencilBits, int samples,
                   int floatPixels, int fullscreen_)
    : width(width_), height(height_), fullscreen(fullscreen_ == 1) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        pixelFormatError();
    }

    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 0 ? samples : 0);
    SDL_GL_SetAttribute(SDL_GL_FLOATBUFFERS, floatPixels == 1 ? 1 : 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    if (fullscreen) {
        // A real display-mode switch to width x height, as the production asks.
        flags |= SDL_WINDOW_FULLSCREEN;
    }
    window = SDL_CreateWindow(windowTitle, 0, 0, width, height, flags);
    if (window == nullptr) {
        pixelFormatError();
    }
    glContext = SDL_GL_CreateContext(window);
    if (glContext == nullptr) {
        pixelFormatError();
    }
    SDL_GL_MakeCurrent(window, glContext);

    // The format must hold at least the samples asked for, as the pixel-format
    // request of the original did.
    int gotSamples = 0;
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &gotSamples);
    if (samples > 0 && gotSamples < samples) {
        SDL_SetError("%d samples requested, the context has %d", samples, gotSamples);
        pixelFormatError();
    }

    if (fullscreen) {
        SDL_ShowCursor(SDL_DISABLE);
    }
    // The screen saver and monitor power-down stay off while the demo runs.
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(window);
    glViewport(0, 0, width, height);

    currentWindow = this;
    ownedShaderContext = std::make_unique<ShaderContext>();
    shaderContext = ownedShaderContext.get();
}

GlWindow::~GlWindow() {
    ownedShaderContext.reset();
    shaderContext = nullptr;
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(glContext);
    SDL_DestroyWindow(window);
    if (currentWindow == this) {
        currentWindow = nullptr;
    }
}

bool GlWindow::update() {
    SDL_Event event;
    if (SDL_PollEvent(&event) && event.type == SDL_QUIT) {
        return false;
    }
    SDL_GL_SwapWindow(window);
    return true;
}

void* GlWindow::nativeHandle(int index) const {
    switch (index) {
    case 0:
        return window;
    case 1: {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE) {
#if defined(SDL_VIDEO_DRIVER_X11)
            if (info.subsystem == SDL_SYSWM_X11) {
                return reinterpret_cast<void*>(info.info.x11.window);
            }
#endif
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
            if (info.subsystem == SDL_SYSWM_WAYLAND) {
                return info.info.wl.surface;
            }
#endif
        }
        return nullptr;
    }
    case 2:
        return glContext;
    case 3:
        return shaderContext;
    default:
        return nullptr;
    }
}
