# Writes OUT, a C++ source holding every .shd file of DIR as bytes, with
# host::render::BuiltinEffect to find them by file name.
file(GLOB inputs "${DIR}/*.shd")
list(SORT inputs)
set(arrays "")
set(entries "")
set(i 0)
foreach(input IN LISTS inputs)
  get_filename_component(name "${input}" NAME)
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(b "0x[0-9a-f][0-9a-f],")
  string(REGEX REPLACE "(${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b}${b})" "\\1\n" bytes "${bytes}")
  string(LENGTH "${hex}" length)
  math(EXPR length "${length} / 2")
  string(APPEND arrays "const unsigned char kEffect${i}[] = {\n${bytes}\n};\n")
  string(APPEND entries "    {\"${name}\", kEffect${i}, ${length}},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE "${OUT}.tmp" "// Generated from host/render/effects/*.shd by Embed.cmake.
#include \"host/render/Render.h\"

namespace host::render {
namespace {
${arrays}
struct Embedded {
    const char* name;
    const unsigned char* bytes;
    size_t size;
};
const Embedded kEmbedded[] = {
${entries}};
}  // namespace

std::string_view BuiltinEffect(std::string_view name) {
    for (const Embedded& e : kEmbedded)
        if (name == e.name) return {reinterpret_cast<const char*>(e.bytes), e.size};
    return {};
}

}  // namespace host::render
")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
