// Writes the seed inputs of every fuzz target into FOLDER/<target>/.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/targets/FuzzTargets.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_fuzz_seeds FOLDER\n");
        return 1;
    }
    namespace fs = std::filesystem;
    for (const auto& target : ambro::fuzz::targets()) {
        const fs::path folder = fs::path(argv[1]) / target.name;
        fs::create_directories(folder);
        int n = 0;
        for (const auto& seed : target.seeds()) {
            char name[32];
            std::snprintf(name, sizeof name, "seed-%03d", n++);
            std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
        }
        std::printf("%s: %d seeds\n", target.name, n);
    }
    return 0;
}
