# Compiles the catalogs of po/ with msgfmt (checking their formats and header) and
# writes them into one C++ source as byte arrays, for the programs to carry.
#   cmake -DMSGFMT=... -DOUTPUT=file.cpp -DWORK=dir -DPO_FILES="a.po;b.po" -P EmbedCatalogs.cmake
set(entries "")
set(arrays "")
set(count 0)
foreach(po IN LISTS PO_FILES)
  get_filename_component(language ${po} NAME_WE)
  set(mo ${WORK}/${language}.mo)
  execute_process(COMMAND ${MSGFMT} --check -o ${mo} ${po} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "msgfmt --check ${po} failed")
  endif()
  file(READ ${mo} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Lines of 16 bytes.
  string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const unsigned char k_${language}[] = {\n    ${bytes}\n};\n")
  string(APPEND entries "    {\"${language}\", k_${language}, ${size}},\n")
  math(EXPR count "${count} + 1")
endforeach()
file(WRITE ${OUTPUT}
"// Generated from po/*.po at build time; do not edit.
#include \"BuiltInCatalogs.h\"

namespace hc12 {
namespace {
${arrays}}  // namespace

const BuiltInCatalog kBuiltInCatalogs[] = {
${entries}    {nullptr, nullptr, 0},
};
const size_t kBuiltInCatalogCount = ${count};

}  // namespace hc12
")
