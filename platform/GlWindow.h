#pragma once

#include <memory>

struct SDL_Window;
class ShaderContext;

// The one window of the program with its double-buffered OpenGL compatibility
// context (always with a sample buffer, optionally with float pixels), shown
// fullscreen at its size or as a normal window. Also holds the shader context
// that programs compile into. The most recently created window is currentWindow.
class GlWindow {
public:
    // samples 0 asks for the driver's smallest multisample format (a context
    // without one where the driver has none); a negative count, for tools that
    // render offline, asks for no sample buffer. fullscreen and floatPixels count
    // as set only when equal to 1. A context that cannot be had with these attributes
    // is fatal.
    GlWindow(int width, int height, int depthBits, int stencilBits, int samples, int floatPixels,
             int fullscreen);
    ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    // Takes at most one pending event and presents the back buffer. Returns false,
    // without presenting, when the event taken was the quit request. First waits
    // until the frame presented by the previous call is drawn, so at most two
    // frames are ever in flight, whatever the driver does.
    bool update();

    // Takes the window off the screen (and the display back to its mode) at once.
    void hide();

    // 0 the SDL window, 1 the system's own window handle where one exists, 2 the
    // GL context, 3 the shader context; any other index null.
    void* nativeHandle(int index) const;

    const char* className = "Portico";
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    // The picture's size: what the engine renders, from the bottom-left corner of
    // the window's buffer.
    int width = 0;
    int height = 0;
    bool fullscreen = false;
    // Multisample samples the context was given (GL_SAMPLES).
    int samples = 0;
    // True when the display could not switch to width x height: the window covers
    // the desktop and every frame is scaled up to it with its aspect kept.
    bool scaledToDisplay = false;
    ShaderContext* shaderContext = nullptr;

private:
    void fillDisplay();
    bool makeScaler();
    void presentScaled(int screenWidth, int screenHeight);
    void waitForPresentedFrame();

    std::unique_ptr<ShaderContext> ownedShaderContext;
    // Sync objects bound the frames in flight; without them every frame is finished.
    bool fences = false;
    // The fence after the frame presented last.
    void* presentedFrame = nullptr;
    // The picture resolved from the window's samples, and what stretches it.
    bool scalerWorks = false;
    unsigned int scaleFramebuffer = 0;
    unsigned int scaleTexture = 0;
    int scaleWidth = 0;
    int scaleHeight = 0;
    unsigned int scaleProgram = 0;
    unsigned int scaleVertexArray = 0;
};

// The window most recently created; the GL helpers read its size from it.
extern GlWindow* currentWindow;

// ESC is down, or was pressed at any moment since the previous call: a tap that
// falls between two frames still counts. Reads the pending input first. Key
// presses are seen from the creation of the first window on.
bool escapePressed();
