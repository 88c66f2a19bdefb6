// Writes the bits archive anew: bits_archive tests/bits/archive.txt (make bits-archive).
#include <cstdio>
#include <string>

#include "BitsCorpus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bits_archive FILE\n");
        return 2;
    }
    const std::string text = bits::ArchiveText(bits::Compute());
    std::FILE* f = std::fopen(argv[1], "wb");
    const bool written = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f == nullptr || std::fclose(f) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
