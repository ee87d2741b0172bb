# cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DNAMESPACE=ns -DSYMBOL=kName -P EmbedText.cmake
# Writes FILE.cpp defining `extern const unsigned char ns::kName[]`, the bytes of FILE
# followed by a NUL, so a text resource is compiled into the library.
file(READ "${INPUT}" bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${INPUT}; do not edit.\nnamespace ${NAMESPACE} {\nextern const unsigned char ${SYMBOL}[];\n"
     "const unsigned char ${SYMBOL}[] = {\n${bytes}0x00};\n}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
