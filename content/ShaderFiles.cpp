#include "content/ContentGroups.h"
#include "content/OutputFolder.h"
#include "content/ShaderTexts.h"

void writeShaderFiles(OutputFolder& folder) {
    for (int i = 0; i < shaderTextCount; ++i) {
        folder.write(shaderTexts[i].file, shaderTexts[i].text);
    }
}
