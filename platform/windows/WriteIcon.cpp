// Writes the window's icon as the icon file the Windows programs carry (make icon).
#include <cstdio>
#include <fstream>

#include "Glyphs.h"
#include "IconFile.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.ico\n", argv[0]);
        return 2;
    }
    std::ofstream file(argv[1], std::ios::binary);
    file << IconFile(QuilIcon());
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
