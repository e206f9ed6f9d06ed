# Turns a text file into a C++ source that defines one static string_view of
# Kilnsmith, so that the text is kept, read and tested as its own file.
# Run with -DINPUT=<file> -DOUTPUT=<source> -DMEMBER=<name> at build time.
file(READ "${INPUT}" text)
set(delimiter "bundlekiln_text")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter )${delimiter}\"")
endif()
string(REGEX REPLACE "\n$" "" text "${text}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new"
  "// Generated from ${name} at build time; edit that file instead.\n"
  "#include \"kilnsmith.h\"\n\n"
  "namespace bundlekiln {\n\n"
  "const std::string_view Kilnsmith::${MEMBER} = R\"${delimiter}(${text})${delimiter}\";\n\n"
  "} // namespace bundlekiln\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
