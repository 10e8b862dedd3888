#pragma once

class OutputFolder;

// Each group writes the files of one part of the production into the folder.
// Every group seeds its own random numbers, so groups do not depend on each other.
void writeSeaAndSky(OutputFolder& folder);
void writeLensFlare(OutputFolder& folder);
void writeTypography(OutputFolder& folder);
void writeShaderFiles(OutputFolder& folder);
void writeSoundtrack(OutputFolder& folder);
void writeCameraBank(OutputFolder& folder);
void writeGreetingsPictures(OutputFolder& folder);
void writeSprites(OutputFolder& folder);
void writeFlowerPictures(OutputFolder& folder);
void writeMetaballPictures(OutputFolder& folder);
void writeGreetingsMeshes(OutputFolder& folder);
void writeFlowerMeshes(OutputFolder& folder);
void writeMetaballMeshes(OutputFolder& folder);
void writePlanet(OutputFolder& folder);
void writeCity(OutputFolder& folder);
