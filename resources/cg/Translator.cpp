#include "resources/cg/Translator.h"

#include "resources/WholeFile.h"

#include <cerrno>
#include <cstring>

namespace {

bool readIncludedFile(const std::string& path, std::string& text, std::string& reason) {
    if (readTextFile(path, text, reason)) {
        return true;
    }
    // The preprocessor's listing line names the file already.
    if (reason == std::string("cannot open: ") + strerror(ENOENT)) {
        reason = "no such file";
    }
    return false;
}

} // namespace

cg::SourceOptions cgFileOptions() {
    cg::SourceOptions options;
    options.readFile = readIncludedFile;
    return options;
}

bool addCgArguments(const std::vector<std::string>& arguments, cg::SourceOptions& options,
                    std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.size() < 2 || a[0] != '-' || (a[1] != 'D' && a[1] != 'I')) {
            error = "unknown compiler argument '" + a + "'";
            return false;
        }
        std::string value = a.substr(2);
        if (value.empty()) {
            if (i + 1 == arguments.size()) {
                error = a + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (a[1] == 'I') {
            options.includeFolders.push_back(value);
            continue;
        }
        std::string name = value.substr(0, value.find('='));
        bool identifier = !name.empty() && !isdigit(static_cast<unsigned char>(name[0]));
        for (char c : name) {
            identifier = identifier && (isalnum(static_cast<unsigned char>(c)) || c == '_');
        }
        if (!identifier) {
            error = "-D" + value + ": '" + name + "' is not a macro name";
            return false;
        }
        options.defines.push_back(value);
    }
    return true;
}

CgTranslation translateCg(const std::string& source, const std::string& entry, int profile,
                          const std::string& sourceName, const cg::SourceOptions& options) {
    CgTranslation result;
    cg::Diagnostics diag;
    diag.files.push_back(sourceName);
    try {
        if (profile != 6150 && profile != 7000) {
            diag.error(0, "unknown profile " + std::to_string(profile) +
                              " (arbvp1 is 6150, arbfp1 7000)");
        }
        cg::Stage stage = profile == 6150 ? cg::Stage::Vertex : cg::Stage::Fragment;
        std::vector<cg::Token> tokens = cg::preprocess(cg::tokenize(source, diag), diag, options);
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
    result.files = diag.files;
    return result;
}
