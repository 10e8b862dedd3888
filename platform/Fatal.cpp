#include "platform/Fatal.h"

#include "platform/EngineError.h"
#include "platform/GlWindow.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

// A message box needs a real display; the offscreen and dummy drivers have none,
// and a box nobody can close would hang a headless run.
bool canShowMessageBox() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        driver = getenv("SDL_VIDEODRIVER");
    }
    if (driver != nullptr && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0)) {
        return false;
    }
    return getenv("DISPLAY") != nullptr || getenv("WAYLAND_DISPLAY") != nullptr;
}

} // namespace

void showMessage(const std::string& caption, const std::string& message, void* owner) {
    fprintf(stderr, "%s: %s\n", caption.c_str(), message.c_str());
    fflush(stderr);
    if (canShowMessageBox()) {
        // A box without an owner can open behind a fullscreen window and block
        // there unseen.
        if (owner == nullptr && currentWindow != nullptr) {
            owner = currentWindow->window;
        }
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), message.c_str(),
                                 static_cast<SDL_Window*>(owner));
    }
}

void fatalError(const std::string& caption, const std::string& message) {
    showMessage(caption, message);
    fflush(stdout);
    _Exit(1);
}

int runGuarded(const char* programName, int (*body)(int, char**), int argc, char** argv) {
    try {
        return body(argc, argv);
    } catch (const EngineError& error) {
        fatalError(programName, std::string("engine error: ") + error.what());
    } catch (const std::exception& error) {
        fatalError(programName, std::string("unexpected error: ") + error.what());
    } catch (...) {
        fatalError(programName, "unexpected error of unknown kind");
    }
}
