#include "core/Demo.h"
#include "platform/Lifetime.h"

#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"
#include "resources/Image.h"
#include "resources/TextFile.h"

// Every request looks its key up (inserting an empty entry when absent) and loads
// only when the entry is empty, so an entry a load left empty loads again.
namespace {

template <typename T, typename Load>
T* cached(std::map<std::string, void*>& cache, const std::string& key, Load load) {
    void*& entry = cache[key];
    if (entry == nullptr) {
        entry = load();
        // Cached objects live until the process ends, past the Demo and its maps.
        keepForLifetime(entry);
    }
    return static_cast<T*>(entry);
}

} // namespace

Image* Demo::getImage(std::string fileName) {
    return cached<Image>(fileCache, fileName, [&] { return new Image(fileName); });
}

TextFile* Demo::getTextFile(std::string fileName) {
    return cached<TextFile>(fileCache, fileName, [&] { return new TextFile(fileName); });
}

EbrMesh* Demo::getEbrMesh(std::string fileName) {
    return cached<EbrMesh>(fileCache, fileName, [&] {
        return new EbrMesh(fileName, BufferUsage::Client, BufferUsage::Client);
    });
}

Texture* Demo::getTexture(std::string fileName) {
    return cached<Texture>(gpuCache, fileName, [&] {
        return new Texture(*getImage(fileName), TextureFilter::Mipmapped);
    });
}

// The conversion rewrites the cached image, so a later getTexture of the same
// file that is not cached yet uploads the normal map.
Texture* Demo::getBumpTexture(std::string fileName) {
    return cached<Texture>(gpuCache, fileName + ".bump", [&] {
        Image* image = getImage(fileName);
        makeNormalMap(*image);
        return new Texture(*image, TextureFilter::Mipmapped);
    });
}

// The text of a Cg file is read once however many entry pairs are compiled from it.
CgProgramPair* Demo::getProgramPair(std::string fileName, std::string vertexEntry,
                                    std::string fragmentEntry) {
    return cached<CgProgramPair>(gpuCache, fileName + vertexEntry + fragmentEntry, [&] {
        TextFile* text = getTextFile(fileName);
        return new CgProgramPair(text->text(), vertexEntry.c_str(), fragmentEntry.c_str(),
                                 fileName.c_str());
    });
}
