# Writes the bits archive (ARCHIVE) into a C++ source (OUT) as kBitsArchive, a list of string
# literals each short enough for every compiler, so that the test reads it on every target
# without a file system (Wine, Node.js, an emulator).
file(READ ${ARCHIVE} text)
string(LENGTH "${text}" length)
set(source "// Written by tests/bits/embed_archive.cmake from tests/bits/archive.txt.\n")
string(APPEND source "extern const char* const kBitsArchive[];\nconst char* const kBitsArchive[] = {\n")
set(chunk 60000)
set(at 0)
while(at LESS length)
    string(SUBSTRING "${text}" ${at} ${chunk} part)
    string(APPEND source "R\"quil(${part})quil\",\n")
    math(EXPR at "${at} + ${chunk}")
endwhile()
string(APPEND source "nullptr};\n")
file(WRITE ${OUT}.new "${source}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
