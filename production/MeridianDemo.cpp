#include "production/MeridianDemo.h"

#include "camera/Camrig.h"
#include "effects/City.h"
#include "effects/Clouds.h"
#include "effects/Greetings.h"
#include "effects/MetaStuff.h"
#include "effects/Ocean.h"
#include "effects/Ocean2.h"
#include "effects/Ravize.h"

MeridianDemo::MeridianDemo(bool cameraEditor_) : cameraEditor(cameraEditor_) {
    length = 189.9f;
    wrapLength = 189.9f;
    volume = 1.0f;
    musicFile = "data/music.mp3";
    width = 800;
    height = 600;
    fullscreen = cameraEditor ? 0 : 1;
    clockStart = 0.0f;
}

void MeridianDemo::buildTimeline() {
    // Scenes are constructed in the order they play: their loads draw from the
    // process-wide generator in that order, and the random layouts rely on it.
    addEntry(0.0f, 25.55f, new Ocean(this, false));
    addEntry(25.55f, 24.23f, new City(this));

    // The second sea draws the clouds' flower and runs its clock.
    Clouds* clouds = new Clouds(this);
    addEntry(49.78f, 32.77f, clouds);
    addEntry(82.55f, 24.0f, new Ocean2(this, clouds->flower));

    addEntry(106.55f, 24.0f, new Greetings(this));
    addEntry(130.55f, 24.0f, new Ravize(this));
    addEntry(154.55f, 24.0f, new MetaStuff(this));

    // The closing sea overlaps the metaballs' last half second and clears their
    // picture at the start of its frame.
    addEntry(178.0f, 13.0f, new Ocean(this, true));

    // The camera comes last: it writes the controllers after every scene of the
    // frame has rendered, so the scenes see the camera of the previous frame.
    Camrig* camrig = new Camrig(this, !cameraEditor);
    camrig->readStartBank("data/tracks/1.crg");
    addEntry(0.0f, 1000.0f, camrig);
}
