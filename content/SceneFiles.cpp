#include "content/City.h"
#include "content/ContentGroups.h"
#include "content/MeshFiles.h"
#include "content/Models.h"
#include "content/OutputFolder.h"
#include "content/Planet.h"

void writeGreetingsMeshes(OutputFolder& folder) {
    // An EBR file under the ending the greetings ask for.
    folder.write("data/ring.nmd", ebrBytes("data/ring.nmd", {{"ring", Models::ring()}}));
}

void writeFlowerMeshes(OutputFolder& folder) {
    folder.write("data/leaf.ebr", ebrBytes("data/leaf.ebr", {{"leaf", Models::leaf()}}));
    folder.write("data/flowerhead.ebr",
                 ebrBytes("data/flowerhead.ebr", {{"flowerhead", Models::flowerHead()}}));
}

void writeMetaballMeshes(OutputFolder& folder) {
    // The second part serves the tunnel's look into the drums' open ends.
    folder.write("data/cylcity.nmd",
                 ebrBytes("data/cylcity.nmd", {{"cylcity", Models::cylinderCity()},
                                               {"cylcity inside", Models::cylinderCityInside()}}));
}

void writePlanet(OutputFolder& folder) {
    Planet::surfacePicture().writeJpeg(folder, "data/planetsurface.jpg");
    Planet::moonPicture().writeJpeg(folder, "data/moon.jpg");
    // Map names as an authoring tool stores them; the scene keeps the file name
    // and looks for it in data/.
    std::vector<NmdSceneMaterial> materials = {
        {"planetSurface", "maps\\planetsurface.jpg", {1, 1, 1}},
        {"moon", "maps\\moon.jpg", {0.8f, 0.8f, 0.8f}}};
    std::vector<NmdSceneNode> nodes(2);
    nodes[0].name = "planet";
    nodes[0].material = "planetSurface";
    nodes[0].mesh = Planet::surface();
    nodes[1].name = "moon";
    nodes[1].material = "moon";
    nodes[1].mesh = Planet::moon();
    folder.write("data/planet.nmd", nmdBytes("data/planet.nmd", materials, nodes));

    // The sea shader shades the water sphere from its positions and normals.
    std::vector<NmdSceneNode> water(1);
    water[0].name = "water";
    water[0].mesh = Planet::water();
    water[0].withTexture = false;
    folder.write("data/watersphere.nmd", nmdBytes("data/watersphere.nmd", {}, water));
}

void writeCity(OutputFolder& folder) {
    const City::Layout city = City::build();
    // Map names as an authoring tool stores them; the scene looks in data/citymaps/.
    std::vector<NmdSceneMaterial> materials;
    for (const City::Material& material : city.materials) {
        material.picture.writeJpeg(folder, "data/citymaps/" + material.file);
        materials.push_back({material.name, "maps/" + material.file, {1, 1, 1}});
    }
    std::vector<NmdSceneNode> nodes;
    for (const City::Piece& piece : city.pieces) {
        NmdSceneNode node;
        node.name = piece.name;
        node.material = piece.material;
        node.mesh = piece.mesh;
        nodes.push_back(std::move(node));
    }
    for (const City::Mover& mover : city.movers) {
        NmdSceneNode node;
        node.name = mover.name;
        node.material = mover.material;
        node.mesh = mover.mesh;
        node.positionKeys = mover.positionKeys;
        node.turnKeys = mover.turnKeys;
        nodes.push_back(std::move(node));
    }
    folder.write("data/citymaps/city.nmd", nmdBytes("data/citymaps/city.nmd", materials, nodes));
}
