#include "platform/GlWindow.h"

#include "platform/Fatal.h"
#include "platform/ShaderContext.h"
#include "platform/WindowPass.h"

#include "platform/Gl.h"
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <atomic>
#include <string>

GlWindow* currentWindow = nullptr;

namespace {

const char* const windowTitle = "Brimvale Portico 0.8";

std::atomic<bool> escapeSeen{false};

[[noreturn]] void pixelFormatError() {
    fatalError("Portico", std::string("PORTICO ERROR: Pixel format/type not supported (") +
                              SDL_GetError() + ")");
}

// Runs for every event before it is queued. The main loop takes one event per
// frame and only looks for the quit request; everything it would have to wade
// through before reaching it stays off the queue. Keys are read from the
// keyboard state, which SDL updates before this runs, so key events are dropped
// here after ESC presses are noted: a held key's repeats would otherwise pile up.
int SDLCALL filterEvent(void*, SDL_Event* event) {
    if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
        if (event->type == SDL_KEYDOWN && event->key.keysym.scancode == SDL_SCANCODE_ESCAPE) {
            escapeSeen = true;
        }
        return 0;
    }
    return 1;
}

// Events the program never reads from the queue. SDL does not merge mouse
// motion, so a mouse moved over the window would queue hundreds of events a
// second in front of a close request. The camera editor reads its gamepad's
// state directly. Window events are acted on inside SDL as they arrive, and a
// window's close sends the quit request itself: queued, the close would cost a
// frame before the quit request behind it is taken.
void ignoreUnusedEvents() {
    const Uint32 unused[] = {SDL_WINDOWEVENT,
                             SDL_MOUSEMOTION,
                             SDL_MOUSEBUTTONDOWN,
                             SDL_MOUSEBUTTONUP,
                             SDL_MOUSEWHEEL,
                             SDL_FINGERDOWN,
                             SDL_FINGERUP,
                             SDL_FINGERMOTION,
                             SDL_MULTIGESTURE,
                             SDL_DOLLARGESTURE,
                             SDL_JOYAXISMOTION,
                             SDL_JOYBALLMOTION,
                             SDL_JOYHATMOTION,
                             SDL_JOYBUTTONDOWN,
                             SDL_JOYBUTTONUP,
                             SDL_CONTROLLERAXISMOTION,
                             SDL_CONTROLLERBUTTONDOWN,
                             SDL_CONTROLLERBUTTONUP,
                             SDL_CONTROLLERTOUCHPADDOWN,
                             SDL_CONTROLLERTOUCHPADMOTION,
                             SDL_CONTROLLERTOUCHPADUP,
                             SDL_CONTROLLERSENSORUPDATE,
                             SDL_SENSORUPDATE};
    for (Uint32 type : unused) {
        SDL_EventState(type, SDL_IGNORE);
    }
    // No text is typed into the demo; this also turns the text events off.
    SDL_StopTextInput();
    SDL_SetEventFilter(filterEvent, nullptr);
}

void setAttributes(int depthBits, int stencilBits, int sampleBuffers, int samples,
                   int floatPixels) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, sampleBuffers);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
    SDL_GL_SetAttribute(SDL_GL_FLOATBUFFERS, floatPixels == 1 ? 1 : 0);
}

// Whether the display can switch to exactly width x height.
bool displayHasMode(int width, int height) {
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode closest{};
    return SDL_GetClosestDisplayMode(0, &wanted, &closest) != nullptr && closest.w == width &&
           closest.h == height;
}

} // namespace

GlWindow::GlWindow(int width_, int height_, int depthBits, int stencilBits, int samples_,
                   int floatPixels, int fullscreen_, const WindowLayout& layout)
    : width(width_), height(height_), baseWidth(width_), baseHeight(height_),
      followsWindow(layout.follow || layout.native || layout.resizable || layout.width > 0 ||
                    layout.height > 0),
      grain(layout.grain > 1 ? layout.grain : 1), fullscreen(fullscreen_ == 1) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        pixelFormatError();
    }

    // Fullscreen is a real display switch to the window's size where the display
    // has that mode. Where it has not (an X server without it, a desktop that
    // refuses to switch), the window covers the desktop instead: a picture that
    // follows the window is drawn at the desktop's resolution, one of fixed size
    // is scaled up to it, so the picture fills the screen rather than sitting in
    // a corner.
    int left = 0, top = 0;
    int windowWidth = layout.width > 0 ? layout.width : width;
    int windowHeight = layout.height > 0 ? layout.height : height;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    if (followsWindow) {
        flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    }
    SDL_Rect desktop{0, 0, windowWidth, windowHeight};
    if (fullscreen && layout.native) {
        if (SDL_GetDisplayBounds(0, &desktop) == 0) {
            windowWidth = desktop.w;
            windowHeight = desktop.h;
        }
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    } else if (fullscreen) {
        if (displayHasMode(windowWidth, windowHeight)) {
            flags |= SDL_WINDOW_FULLSCREEN;
        } else if (SDL_GetDisplayBounds(0, &desktop) == 0) {
            // Placed and sized by hand as well: without a window manager nothing
            // would act on the fullscreen request.
            flags |= SDL_WINDOW_BORDERLESS;
            left = desktop.x;
            top = desktop.y;
            windowWidth = desktop.w;
            windowHeight = desktop.h;
            scaledToDisplay = !followsWindow;
        }
    } else if (layout.resizable) {
        flags |= SDL_WINDOW_RESIZABLE;
        left = top = SDL_WINDOWPOS_CENTERED;
    }

    // A sample buffer is always asked for: with 0 samples the driver gives its
    // smallest multisample format. A driver without any keeps the plain format.
    auto openWith = [&](int sampleBuffers) {
        setAttributes(depthBits, stencilBits, sampleBuffers, sampleBuffers == 1 ? samples_ : 0,
                      floatPixels);
        window = SDL_CreateWindow(windowTitle, left, top, windowWidth, windowHeight, flags);
        if (window != nullptr) {
            glContext = SDL_GL_CreateContext(window);
            if (glContext == nullptr) {
                SDL_DestroyWindow(window);
                window = nullptr;
            }
        }
        return window != nullptr;
    };
    if (!(samples_ >= 0 && openWith(1)) && !(samples_ <= 0 && openWith(0))) {
        pixelFormatError();
    }
    SDL_GL_MakeCurrent(window, glContext);

    // The format must hold at least the samples asked for, as the pixel-format
    // request of the original did.
    GLint gotSamples = 0;
    glGetIntegerv(GL_SAMPLES, &gotSamples);
    samples = gotSamples;
    if (samples_ > 0 && samples < samples_) {
        SDL_SetError("%d samples requested, the context has %d", samples_, samples);
        pixelFormatError();
    }
    fences = epoxy_gl_version() >= 32 || epoxy_has_gl_extension("GL_ARB_sync");

    if (fullscreen) {
        if (scaledToDisplay || (followsWindow && (flags & SDL_WINDOW_BORDERLESS) != 0)) {
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else if ((flags & SDL_WINDOW_FULLSCREEN) == SDL_WINDOW_FULLSCREEN) {
            SDL_DisplayMode now{};
            if (SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &now) == 0 &&
                (now.w != windowWidth || now.h != windowHeight)) {
                // The display has the mode but did not switch to it.
                fillDisplay();
            }
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    ignoreUnusedEvents();
    // The screen saver and monitor power-down stay off while the demo runs.
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(window);
    layOut();
    glViewport(x, y, width, height);

    currentWindow = this;
    ownedShaderContext = std::make_unique<ShaderContext>();
    shaderContext = ownedShaderContext.get();
}

GlWindow::~GlWindow() {
    // Gone from the screen at once: deleting the context below waits while the
    // driver finishes the last frame drawn.
    hide();
    // The objects below belong to this window's context, whichever is current.
    SDL_GL_MakeCurrent(window, glContext);
    ownedShaderContext.reset();
    shaderContext = nullptr;
    if (presentedFrame != nullptr) {
        glDeleteSync(static_cast<GLsync>(presentedFrame));
    }
    if (scaleFramebuffer != 0) {
        glDeleteFramebuffers(1, &scaleFramebuffer);
        glDeleteTextures(1, &scaleTexture);
        glDeleteProgram(scaleProgram);
        glDeleteVertexArrays(1, &scaleVertexArray);
    }
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(glContext);
    SDL_DestroyWindow(window);
    if (currentWindow == this) {
        currentWindow = nullptr;
    }
}

void GlWindow::hide() {
    SDL_HideWindow(window);
}

void GlWindow::fillDisplay() {
    SDL_Rect desktop;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &desktop) != 0) {
        return;
    }
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, desktop.x, desktop.y);
    SDL_SetWindowSize(window, desktop.w, desktop.h);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    scaledToDisplay = !followsWindow;
}

void GlWindow::layOut() {
    int drawableWidth = bufferWidth, drawableHeight = bufferHeight;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    if (drawableWidth == bufferWidth && drawableHeight == bufferHeight) {
        return;
    }
    bufferWidth = drawableWidth;
    bufferHeight = drawableHeight;
    if (!followsWindow || bufferWidth <= 0 || bufferHeight <= 0) {
        return;
    }
    // The largest picture of the asked shape, rounded to whole pixels (of the
    // grain).
    const long wide = bufferWidth / grain, high = bufferHeight / grain;
    long pictureWidth = wide;
    long pictureHeight = (wide * baseHeight + baseWidth / 2) / baseWidth;
    if (pictureHeight > high) {
        pictureHeight = high;
        pictureWidth = (high * baseWidth + baseHeight / 2) / baseHeight;
    }
    pictureWidth = std::max(1L, pictureWidth);
    pictureHeight = std::max(1L, pictureHeight);
    // Centred to an even pixel: shaders work on squares of 2 x 2 pixels, and
    // on the same squares the picture comes out as in a window of its own size.
    x = static_cast<int>((wide - pictureWidth) / 2 & ~1L) * grain;
    y = static_cast<int>((high - pictureHeight) / 2 & ~1L) * grain;
    width = static_cast<int>(pictureWidth) * grain;
    height = static_cast<int>(pictureHeight) * grain;
    glViewport(x, y, width, height);
}

void GlWindow::clearBars() {
    if (!followsWindow || (width == bufferWidth && height == bufferHeight)) {
        return;
    }
    GLint drawBound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBound);
    glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    const int right = x + width, above = y + height;
    const int bars[4][4] = {{0, 0, x, bufferHeight},
                            {right, 0, bufferWidth - right, bufferHeight},
                            {x, 0, width, y},
                            {x, above, width, bufferHeight - above}};
    for (const auto& bar : bars) {
        if (bar[2] > 0 && bar[3] > 0) {
            glScissor(bar[0], bar[1], bar[2], bar[3]);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    glPopAttrib();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBound));
}

bool GlWindow::update() {
    // Before the events: a close request that came while waiting is taken now.
    waitForPresentedFrame();
    SDL_Event event;
    if (SDL_PollEvent(&event) && event.type == SDL_QUIT) {
        return false;
    }
    if (followsWindow) {
        clearBars();
    } else {
        int screenWidth = width, screenHeight = height;
        SDL_GL_GetDrawableSize(window, &screenWidth, &screenHeight);
        if (screenWidth != width || screenHeight != height) {
            presentScaled(screenWidth, screenHeight);
        }
    }
    SDL_GL_SwapWindow(window);
    if (fences) {
        presentedFrame = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    } else {
        glFinish();
    }
    // A window resized meanwhile: the next frame is drawn at its new size.
    if (followsWindow) {
        layOut();
    }
    return true;
}

// Some drivers (llvmpipe without a display server) return from a swap at once
// and let the frames queue up without bound: memory grows by hundreds of
// megabytes a second, the picture falls seconds behind the music and a close
// waits for the whole queue. Waiting here for the frame presented last keeps
// two frames in flight at most: that one while the next is drawn.
void GlWindow::waitForPresentedFrame() {
    if (presentedFrame == nullptr) {
        return;
    }
    GLsync fence = static_cast<GLsync>(presentedFrame);
    GLenum waited;
    do {
        waited = glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, 100000000);
    } while (waited == GL_TIMEOUT_EXPIRED);
    glDeleteSync(fence);
    presentedFrame = nullptr;
}

// Stretches the resolved picture over the viewport.
const char* const scaleFragmentShader = R"(#version 130
uniform sampler2D picture;
in vec2 place;
void main() {
    gl_FragColor = vec4(texture(picture, place).rgb, 1.0);
}
)";

bool GlWindow::makeScaler() {
    if (epoxy_gl_version() < 30) {
        return false;
    }
    glGenTextures(1, &scaleTexture);
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glBindTexture(GL_TEXTURE_2D, scaleTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    scaleWidth = width;
    scaleHeight = height;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));

    GLint boundFramebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &boundFramebuffer);
    glGenFramebuffers(1, &scaleFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scaleFramebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, scaleTexture,
                           0);
    const bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(boundFramebuffer));

    // The sampler reads unit 0, its default.
    scaleProgram = linkPassProgram(scaleFragmentShader);
    glGenVertexArrays(1, &scaleVertexArray);
    return complete && scaleProgram != 0;
}

// The picture lies in the bottom-left width x height of a larger buffer: resolve
// its samples into a texture, clear the buffer to black and stretch the picture
// over the middle with its aspect kept. (The window's buffer may be multisampled,
// and a blit into it is refused, hence the draw.) The engine's state is put back
// as it was.
void GlWindow::presentScaled(int screenWidth, int screenHeight) {
    if (scaleFramebuffer == 0 && scaleTexture == 0) {
        scalerWorks = makeScaler();
    }
    if (!scalerWorks) {
        return;
    }
    const double scale = std::min(static_cast<double>(screenWidth) / width,
                                  static_cast<double>(screenHeight) / height);
    const int shownWidth = static_cast<int>(width * scale + 0.5);
    const int shownHeight = static_cast<int>(height * scale + 0.5);

    KeptGlState kept;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, scaleTexture);
    if (scaleWidth != width || scaleHeight != height) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        scaleWidth = width;
        scaleHeight = height;
    }

    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scaleFramebuffer);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    plainPassState();
    glViewport(0, 0, screenWidth, screenHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    glViewport((screenWidth - shownWidth) / 2, (screenHeight - shownHeight) / 2, shownWidth,
               shownHeight);
    glUseProgram(scaleProgram);
    glBindVertexArray(scaleVertexArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
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

bool escapePressed() {
    // Read now, as the system's asynchronous key state would be, not as the last
    // update left it: a frame can pass between the two.
    SDL_PumpEvents();
    const bool pressed = escapeSeen.exchange(false);
    return pressed || SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE] != 0;
}
