#pragma once
// The shape of a results-directory-like tree, decided in advance in walk order so that a
// timed build does nothing but fill a store: names of realistic length, about one folder in
// eleven nodes, folders nested up to twelve deep. Shared by the tree benchmarks.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace parelix::bench {

// Small deterministic generator, so that every run builds the same tree.
struct Rng {
    std::uint64_t s;
    std::uint32_t next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 11);
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }
};

const char* const kWords[] = {
    "photo", "Vacances", "rapport", "annuel", "facture", "IMG", "DSC", "scan", "projet", "Notes",
    "copie", "final", "brouillon", "été", "réunion", "budget", "Musique", "piste", "chapitre", "Thèse",
    "export", "backup", "data", "config", "readme", "Lettre", "contrat", "devis", "plan", "Résumé",
};
const char* const kExts[] = {".jpg", ".JPG", ".png", ".pdf", ".docx", ".txt", ".mp3", ".xlsx", ".cpp", ".h",
                             ".html", ".zip", ".odt", ".csv", ".mkv", ".json"};

// A file or folder name of realistic length (most between 8 and 40 bytes).
inline std::string makeName(Rng& rng, bool folder) {
    std::string name;
    switch (rng.range(0, 3)) {
    case 0: {   // camera style
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s_%04u%04u_%06u", rng.range(0, 1) ? "IMG" : "DSC",
                      2000 + rng.next() % 25, rng.next() % 1231, rng.next() % 240000);
        name = buf;
        break;
    }
    default: {  // words with separators and a number now and then
        const int words = rng.range(1, 4);
        for (int w = 0; w < words; ++w) {
            if (w) name += rng.range(0, 2) == 0 ? "_" : (rng.range(0, 1) ? " " : "-");
            name += kWords[rng.range(0, static_cast<int>(std::size(kWords)) - 1)];
        }
        if (rng.range(0, 2) == 0) name += " (" + std::to_string(rng.range(1, 40)) + ")";
        break;
    }
    }
    if (!folder) name += kExts[rng.range(0, static_cast<int>(std::size(kExts)) - 1)];
    return name;
}

struct Plan {
    // One entry per node in creation order: parent's plan index (-1: root), folder flag, name.
    std::vector<std::string> names;
    std::vector<std::uint8_t> folder;
    std::vector<std::uint32_t> childCount;   // for folders: how many children its listing holds
};

// Appends the children of the last planned node (a folder), recursively.
inline void plan(Plan& p, Rng& rng, std::size_t target, int depth) {
    const std::size_t self = p.names.size() - 1;
    const int children = rng.range(10, 50);
    p.childCount[self] = static_cast<std::uint32_t>(children);
    for (int i = 0; i < children; ++i) {
        const bool folder = depth < 12 && p.names.size() < target && rng.range(0, 99) < 9;
        p.names.push_back(folder ? "--> " + makeName(rng, true) : makeName(rng, false));
        p.folder.push_back(folder);
        p.childCount.push_back(0);
        if (folder && p.names.size() < target) plan(p, rng, target, depth + 1);
    }
}

}  // namespace parelix::bench
