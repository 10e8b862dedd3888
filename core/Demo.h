#pragma once

#include "core/Effect.h"
#include "core/GrowArray.h"
#include "core/Seek.h"
#include "core/Timer.h"
#include "platform/GlWindow.h"
#include "platform/Vec3.h"

#include <map>
#include <memory>
#include <string>

class OutlineFont;
class FullscreenPass;
class Image;
class TextFile;
class EbrMesh;
class Texture;
class CgProgramPair;

// Told around every effect the timeline renders (the capture tool's timings).
class EffectObserver {
public:
    virtual void beforeEffect(const Effect& effect) = 0;
    virtual void afterEffect(const Effect& effect) = 0;

protected:
    ~EffectObserver() = default;
};

// The demo: window, load list, timeline, clock, music settings, the 64 camera
// controllers and the resource caches. A production derives from it, sets its
// constants in its constructor and lays out its effects in buildTimeline().
class Demo {
public:
    static constexpr int controllerCount = 64;

    Demo();
    virtual ~Demo();

    virtual void buildTimeline() {}

    // Called by every Effect constructor: every effect is loaded once, in the
    // order of construction, also when it is constructed during another's load.
    void addEffect(Effect* effect);
    void addEntry(float start, float duration, Effect* effect);

    // Opens the window, loads every effect behind the loading screen, starts the
    // music and plays frames until the clock reaches length, ESC is down, the
    // window is closed or an effect sets quitRequested.
    void run();

    // The steps of run(), for programs that drive the same frames themselves
    // (the capture tool renders them one by one on a virtual clock).
    void openWindow();  // window, multisampling, font, shared copy program
    void loadEffects(); // buildTimeline(), then every load behind the loading screen
    // For a long load: how much of it is done (0 to 1). During the loading pass
    // the bar moves on from the loading effect's share towards the next one's,
    // redrawn at most 30 times a second; outside it nothing happens.
    void showLoadProgress(float done);
    void startMusic(); // init, open, play from clockStart, volume
    float readClock(); // the music position, or the timer plus clockStart
    // Sets time and frameDelta, fills the spectrum, clears and renders every
    // active entry in insertion order.
    void renderFrame(float time, float frameDelta);

    // Frames on a fixed grid, as the capture tool renders them and as the
    // player starts from a time. playFrame draws frame `frame` of the grid, with
    // the spectrum of the music at its time. seek brings everything a frame
    // inherits from the frames before it to what it is when the demo has played
    // every frame of the grid before `frame`, drawing as few of them as that
    // takes; a frame played after it is the one the demo shows there. Going on
    // along the grid costs nothing; anything else starts again from time 0.
    // `stop`, when given, is asked before every frame: a seek it stops returns
    // false and leaves the state of some earlier frame.
    bool seek(const FrameGrid& grid, long frame, bool (*stop)() = nullptr);
    // For a run that starts later than 0: everything the first frame inherits
    // as when the demo played up to it. run() does this for a clockStart above 0.
    void startFrom(float seconds);
    void playFrame(const FrameGrid& grid, long frame);
    void closeWindow();
    bool hasMusic() const;

    // Identity model-view, then a look-at from controller 0 to controller 1 with
    // controller 2 as the up vector.
    void applyCamera();

    // Resource caches: every file is read, decoded or compiled once and the same
    // object is returned to every caller for the rest of the run.
    Image* getImage(std::string fileName);
    TextFile* getTextFile(std::string fileName);
    EbrMesh* getEbrMesh(std::string fileName);
    Texture* getTexture(std::string fileName);
    Texture* getBumpTexture(std::string fileName);
    CgProgramPair* getProgramPair(std::string fileName, std::string vertexEntry,
                                  std::string fragmentEntry);

    GrowArray<Effect*> effects;
    GrowArray<TimelineEntry> timeline;
    Timer timer;
    GlWindow* window = nullptr;
    OutlineFont* font = nullptr;
    float clockStart = 0.0f;
    float length = 600.0f;
    float wrapLength = 500.0f;
    float volume = 1.0f;
    const char* musicFile = nullptr;
    // The picture's size as the demo was made, and the window's at that size.
    int width = 800;
    int height = 600;
    int fullscreen = 0;
    // A window of another size, or one that follows the desktop or the user:
    // the picture is then drawn at the window's resolution, same shape, centred.
    WindowLayout layout;
    // Multisample samples the window asks for: a build-time constant of each player.
    int samples = 0;
    bool quitRequested = false;
    float time = 0.0f;
    float frameDelta = 0.0f;
    float spectrum[512] = {};
    Vec3 controllerValues[controllerCount];
    std::string controllerNames[controllerCount];
    bool verbose = true;
    bool paused = false;
    // For a program that ends right after run: the window is hidden at the end
    // and left to the process's end. Deleting the context would make the driver
    // finish drawing the last frame, which is never shown (a whole frame's time
    // on a software rasteriser) before the program could end.
    bool windowEndsWithProcess = false;
    std::map<std::string, void*> fileCache;
    FullscreenPass* copyProgram = nullptr;
    std::map<std::string, void*> gpuCache;
    EffectObserver* effectObserver = nullptr;
    // What seeks have cost so far: the frames they drew and those they skipped.
    long seekFramesDrawn = 0;
    long seekFramesSkipped = 0;
    // The effect the loading pass is loading, -1 outside the pass.
    int loadingEffect = -1;

private:
    // Frame `frame` of the grid with everything but the drawing: every active
    // entry's effect skips it.
    void skipFrame(const FrameGrid& grid, long frame);
    void setFrameClock(const FrameGrid& grid, long frame);
    // The entry's effect with its start, duration, local time and fraction set
    // for this frame, when the entry's slot holds the current time; else null.
    Effect* enter(const TimelineEntry& entry);
    void renderActiveEntries();
    // Back to the state before the first frame: controllers at zero, every
    // effect rewound.
    void rewind();

    double lastLoadProgress = 0.0;
    std::unique_ptr<SeekPlan> seekPlan;
    // The last frame played or skipped on a grid; none after a frame off grid.
    bool onGrid = false;
    FrameGrid playedGrid;
    long playedFrame = 0;
    std::unique_ptr<GlWindow> ownedWindow;
    std::unique_ptr<OutlineFont> ownedFont;
};
