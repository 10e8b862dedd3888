# Writes a C++ source holding text files as string literals, so a program
# carries them with it: cmake -DOUTPUT=FILE -DROOT=FOLDER -DFILES="a;b" -P EmbedTexts.cmake
set(source "// Made by the build from the files under content/shaders; edit those.\n")
string(APPEND source "#include \"content/ShaderTexts.h\"\n\nconst ShaderText shaderTexts[] = {\n")
list(LENGTH FILES count)
foreach(file IN LISTS FILES)
    file(READ "${ROOT}/${file}" text)
    string(APPEND source "    {\"${file}\", R\"cgtext(${text})cgtext\"},\n")
endforeach()
string(APPEND source "};\nconst int shaderTextCount = ${count};\n")
file(WRITE "${OUTPUT}.new" "${source}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
