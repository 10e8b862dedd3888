#include "resources/cg/Translator.h"

CgTranslation translateCg(const std::string& source, const std::string& entry, int profile,
                          const std::string& sourceName) {
    CgTranslation result;
    cg::Diagnostics diag;
    diag.fileName = sourceName;
    try {
        if (profile != 6150 && profile != 7000) {
            diag.error(0, "unknown profile " + std::to_string(profile) +
                              " (arbvp1 is 6150, arbfp1 7000)");
        }
        cg::Stage stage = profile == 6150 ? cg::Stage::Vertex : cg::Stage::Fragment;
        std::vector<cg::Token> tokens = cg::preprocess(cg::tokenize(source, diag), diag);
        cg::Program program;
        cg::parse(tokens, program, diag);
        cg::Output output;
        cg::writeGlsl(program, entry, stage, diag, output);
        result.ok = true;
        result.glsl = std::move(output.glsl);
        result.parameters = std::move(output.parameters);
        result.attributes = std::move(output.attributes);
    } catch (const cg::CompileError&) {
        result.ok = false;
    }
    result.listing = diag.listing;
    return result;
}
