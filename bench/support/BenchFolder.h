#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace dromel::bench {

constexpr int kEntryCount = 100'000;

// The process's resident memory, for the bytes a listing of the folder costs.
inline long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

// A folder of 100,000 one-byte files with mixed extensions under the temporary
// folder, named `name`, made once and kept for later runs (a marker says it is
// whole). Programs that write into their folder use their own.
inline std::string entryFolder(const std::string &name) {
    const std::string root = std::filesystem::temp_directory_path().string() + "/" + name;
    const std::string marker = root + "/.complete";
    if (!std::filesystem::exists(marker)) {
        std::filesystem::create_directories(root);
        const char *extensions[] = {".txt", ".jpg", ".pdf", ".mp3", "", ".tar.gz", ".md", ".cpp"};
        for (int i = 0; i < kEntryCount; ++i) {
            const std::string path = root + "/item " + std::to_string(i) + extensions[i % 8];
            std::ofstream(path).put('x');
        }
        std::ofstream(marker).put('x');
    }
    return root;
}

// The folder every reading benchmark shares; nothing writes into it.
inline const std::string &hundredThousandFolder() {
    static const std::string path = entryFolder("dromel-bench-100k");
    return path;
}

} // namespace dromel::bench
