# Turns a text file into a C++ source defining `std::string_view NAME()` that
# returns its bytes, so data such as the language table ships inside the
# program. Run as: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P EmbedText.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
# Line breaks every 16 bytes keep the generated file readable in a debugger.
string(REGEX REPLACE "(('[^']+',){16})" "\\1\n    " bytes "${bytes}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${source} by cmake/EmbedText.cmake; edit that file instead.
#include <string_view>

namespace {
constexpr char kBytes[] = {
    ${bytes}'\\0'};
} // namespace

std::string_view ${NAME}() { return {kBytes, sizeof kBytes - 1}; }
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
