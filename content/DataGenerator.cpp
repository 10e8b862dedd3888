#include "content/DataGenerator.h"

#include "content/ContentGroups.h"
#include "content/OutputFolder.h"

namespace {

struct Group {
    const char* name;
    void (*write)(OutputFolder&);
};

// The opening scene's files come first.
const Group kGroups[] = {
    {"sea and sky", writeSeaAndSky},
    {"lens flare", writeLensFlare},
    {"typography", writeTypography},
    {"shader files", writeShaderFiles},
    {"camera bank", writeCameraBank},
    {"city", writeCity},
    {"sprites", writeSprites},
    {"flower pictures", writeFlowerPictures},
    {"flower meshes", writeFlowerMeshes},
    {"greetings pictures", writeGreetingsPictures},
    {"greetings ring", writeGreetingsMeshes},
    {"planet", writePlanet},
    {"metaball pictures", writeMetaballPictures},
    {"metaball city", writeMetaballMeshes},
    {"soundtrack", writeSoundtrack},
};

} // namespace

void generateDataFolder(const std::string& root, std::ostream& progress) {
    OutputFolder folder(root);
    for (const Group& group : kGroups) {
        const int before = folder.filesWritten();
        group.write(folder);
        progress << "datagen: " << group.name << ": " << folder.filesWritten() - before << " files"
                 << std::endl;
    }
}
