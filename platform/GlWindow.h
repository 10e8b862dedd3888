#pragma once

#include <memory>

struct SDL_Window;
class ShaderContext;

// The one window of the program with its double-buffered OpenGL compatibility
// context (optionally multisampled, optionally with float pixels), shown
// fullscreen at its size or as a normal window. Also holds the shader context
// that programs compile into. The most recently created window is currentWindow.
class GlWindow {
public:
    // fullscreen and floatPixels count as set only when equal to 1. A context that
    // cannot be had with these attributes is fatal.
    GlWindow(int width, int height, int depthBits, int stencilBits, int samples, int floatPixels,
             int fullscreen);
    ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    // Takes at most one pending event and presents the back buffer. Returns false,
    // without presenting, when the event taken was the quit request.
    bool update();

    // 0 the SDL window, 1 the system's own window handle where one exists, 2 the
    // GL context, 3 the shader context; any other index null.
    void* nativeHandle(int index) const;

    const char* className = "Portico";
    SDL_Window* window = nullptr;
    void* glContext = nullptr;
    int width = 0;
    int height = 0;
    bool fullscreen = false;
    ShaderContext* shaderContext = nullptr;

private:
    std::unique_ptr<ShaderContext> ownedShaderContext;
};

// The window most recently created; the GL helpers read its size from it.
extern GlWindow* currentWindow;
