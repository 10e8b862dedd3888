#pragma once

#include <memory>

struct SDL_Window;
class ShaderContext;

// How a window beyond the one the demo was made for is laid out: the picture is
// then drawn at the window's own resolution, whatever its size, with the shape of
// the size asked for, centred, and black bars where the window's shape differs.
struct WindowLayout {
    // The window's size; 0 takes the picture's.
    int width = 0;
    int height = 0;
    // Fullscreen at the desktop's own resolution, without switching the display.
    bool native = false;
    // A normal window the user may resize; the picture follows.
    bool resizable = false;
    // The picture follows the size of the window's buffer (always so with any of
    // the above). Without it the picture is drawn at the size asked for and,
    // where the display has no such mode, scaled up to the screen.
    bool follow = false;
    // The picture's place and size are laid out for a buffer this many times
    // smaller, then multiplied: a frame rendered large and reduced by this
    // factor has its bars and picture on whole pixels.
    int grain = 1;
};

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
    // is fatal. width x height is the picture's size and shape as the demo was
    // made; layout says how a window of another size shows it.
    GlWindow(int width, int height, int depthBits, int stencilBits, int samples, int floatPixels,
             int fullscreen, const WindowLayout& layout = WindowLayout());
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

    // Where the picture lies now in the window's buffer, for a window whose
    // picture follows its size: the largest rectangle of the asked shape, centred.
    // Called by update; a change moves the viewport to the new picture.
    void layOut();
    // Clears what lies outside the picture to black, leaving every GL state as it
    // was: what the frame drew over the bars goes.
    void clearBars();
    // How many of the window's pixels one pixel of the picture as made is.
    float pictureScale() const { return static_cast<float>(height) / baseHeight; }

    // 0 the SDL window, 1 the system's own window handle where one exists, 2 the
    // GL context, 3 the shader context; any other index null.
    void* nativeHandle(int index) const;

    const char* className = "Portico";
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    // The picture's place and size in the window's buffer: what the engine
    // renders, from (x, y) counted from the bottom-left corner.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    // The size the picture was made for: its shape, and what sizes given in
    // pixels (lines, text positions) are measured in.
    int baseWidth = 0;
    int baseHeight = 0;
    // The window's buffer.
    int bufferWidth = 0;
    int bufferHeight = 0;
    bool followsWindow = false;
    int grain = 1;
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
