# Writes a C++ source that holds the text of the resource script and of its header of ids, so
# that the simulated module can read the same resources the resource compiler builds into the
# Windows executable. Run as: cmake -DSCRIPT=... -DHEADER=... -DOUT=... -P embed_resources.cmake
file(READ "${SCRIPT}" script_text)
file(READ "${HEADER}" header_text)
set(delim "rwrc")
file(WRITE "${OUT}.tmp"
  "// Generated at build time from ${SCRIPT} and ${HEADER}: do not edit.\n"
  "namespace sim {\n"
  "extern const char kModuleResourceScript[] = R\"${delim}(${script_text})${delim}\";\n"
  "extern const char kModuleResourceHeader[] = R\"${delim}(${header_text})${delim}\";\n"
  "} // namespace sim\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
