#include "resources/cg/Cg.h"

namespace cg {

bool operator==(const Type& a, const Type& b) {
    return a.base == b.base && a.cols == b.cols && a.rows == b.rows && a.record == b.record &&
           a.arrayLength == b.arrayLength;
}

std::string cgTypeName(const Type& type) {
    std::string name;
    switch (type.base) {
    case Base::Void:
        name = "void";
        break;
    case Base::Bool:
        name = "bool";
        break;
    case Base::Int:
        name = "int";
        break;
    case Base::Float:
        name = "float";
        break;
    case Base::Sampler:
        name = "sampler";
        break;
    case Base::Sampler1D:
        name = "sampler1D";
        break;
    case Base::Sampler2D:
        name = "sampler2D";
        break;
    case Base::Sampler3D:
        name = "sampler3D";
        break;
    case Base::SamplerCube:
        name = "samplerCUBE";
        break;
    case Base::SamplerRect:
        name = "samplerRECT";
        break;
    case Base::Struct:
        name = type.record != nullptr ? type.record->name : "struct";
        break;
    }
    if (type.base == Base::Bool || type.base == Base::Int || type.base == Base::Float) {
        if (type.rows > 0) {
            name += std::to_string(type.rows) + "x" + std::to_string(type.cols);
        } else if (type.cols > 1) {
            name += std::to_string(type.cols);
        }
    }
    if (type.arrayLength > 0) {
        name += "[" + std::to_string(type.arrayLength) + "]";
    }
    return name;
}

const Member* StructDef::find(const std::string& memberName) const {
    for (const Member& m : members) {
        if (m.name == memberName) {
            return &m;
        }
    }
    return nullptr;
}

} // namespace cg
