# Writes OUTPUT, a C++ source holding every .anm file of MODELS_DIR as a string,
# so the service can seed its models folder without any file installed beside it.
file(GLOB _models RELATIVE ${MODELS_DIR} ${MODELS_DIR}/*.anm)
list(SORT _models)
set(_text "// Generated from service/models by EmbedModels.cmake; do not edit.\n")
string(APPEND _text "#include \"SeedModels.h\"\n\nconst SeedModel seedModels[] = {\n")
set(_count 0)
foreach(_name IN LISTS _models)
  file(READ ${MODELS_DIR}/${_name} _content HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" _escaped "${_content}")
  # Split the literal so no escape swallows the following characters.
  string(REGEX REPLACE "(\\\\x[0-9a-f][0-9a-f])" "\\1\"\"" _escaped "${_escaped}")
  string(APPEND _text "    {\"${_name}\", \"${_escaped}\"},\n")
  math(EXPR _count "${_count} + 1")
endforeach()
string(APPEND _text "};\n\nconst std::size_t seedModelCount = ${_count};\n")
file(WRITE ${OUTPUT}.tmp "${_text}")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
