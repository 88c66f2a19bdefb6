// The bits of every public routine, and of the object layer's members that give a routine's
// bits, against the archive that an earlier build wrote (tests/bits/archive.txt).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BitsCorpus.h"

extern const char* const kBitsArchive[];

namespace {

// The archive's lines: the payload by key (the first three words).
std::map<std::string, std::string> Archive() {
    std::string text;
    for (const char* const* part = kBitsArchive; *part != nullptr; ++part) text += *part;
    std::map<std::string, std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::size_t end = 0;
        for (int word = 0; word < 3 && end != std::string::npos; ++word) end = line.find(' ', end + 1);
        if (end == std::string::npos) continue;
        lines[line.substr(0, end)] = line.substr(end + 1);
    }
    return lines;
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Where this build's result differs from the archive's: the element, and both bits where the
// archive holds them; for a matrix written as digests, the elements in the rows and columns
// whose digests differ, with this build's bits.
std::string Difference(const bits::Result& r, const std::string& archived) {
    const std::vector<std::string> here = Words(r.payload), there = Words(archived);
    std::ostringstream out;
    out << r.key << " (" << r.via << ") differs from the archive";
    const std::uint32_t n = r.order;
    const auto element = [&](std::size_t k) {
        std::ostringstream at;
        if (n > 0)
            at << "element (" << k / n << ", " << k % n << ")";
        else
            at << "element " << k;
        return at.str() + " (counted from 0)";
    };
    if (here.size() == there.size() && here[0] == "rows" && there[0] == "rows") {
        int shown = 0;
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j)
                if (here[1 + i] != there[1 + i] && here[2 + n + j] != there[2 + n + j] && shown++ < 8)
                    out << "\n  " << element(std::size_t{i} * n + j) << ": here "
                        << bits::Hex(r.values[std::size_t{i} * n + j]);
        if (shown == 0) out << "\n  here: " << r.payload << "\n  archive: " << archived;
        return out.str();
    }
    if (here.size() == there.size() && here[0] == "digests" && there[0] == "digests") {
        int shown = 0;
        for (std::size_t k = 1; k < here.size(); ++k)
            if (here[k] != there[k] && shown++ < 8)
                out << "\n  " << element(k - 1) << ": here " << bits::Hex(r.values[k - 1]);
        return out.str();
    }
    if (here.size() == there.size() && here[0] == "=" && there[0] == "=") {
        int shown = 0;
        for (std::size_t k = 1; k < here.size(); ++k)
            if (here[k] != there[k] && shown++ < 8)
                out << "\n  " << (r.values.empty() ? "word " + std::to_string(k) : element(k - 1))
                    << ": here " << here[k] << ", archive " << there[k];
        return out.str();
    }
    out << "\n  here: " << r.payload.substr(0, 300) << "\n  archive: " << archived.substr(0, 300);
    return out.str();
}

// A change of bits fails here until the archive is written anew in the same commit (make
// bits-archive), with the reason in the commit message.
TEST(BitsArchive, EveryResultHasTheArchivedBits) {
    const std::map<std::string, std::string> archive = Archive();
    ASSERT_GT(archive.size(), 9000u) << "the archive is missing or cut short";
    std::set<std::string> computed;
    int differ = 0, unknown = 0, checked = 0;
    for (const bits::Result& r : bits::Compute()) {
        ++checked;
        computed.insert(r.key);
        const auto it = archive.find(r.key);
        if (it == archive.end()) {
            if (++unknown <= 20) ADD_FAILURE() << r.key << " (" << r.via << ") is not in the archive";
        } else if (it->second != r.payload && ++differ <= 50) {
            ADD_FAILURE() << Difference(r, it->second);
        }
    }
    int gone = 0;
    for (const auto& [key, payload] : archive)
        if (computed.count(key) == 0 && ++gone <= 20)
            ADD_FAILURE() << key << " is in the archive, but nothing gives it any more";
    EXPECT_EQ(differ + unknown + gone, 0)
        << differ << " of " << checked << " results differ from the archive, " << unknown
        << " are not in it and " << gone << " of its lines are no longer given. Where the change is "
        << "meant, write the archive anew (make bits-archive) in the same commit and say why the "
        << "bits changed in its message.";
}

}  // namespace
