#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace dromel::bench {

constexpr int kEntryCount = 100'000;

// A folder of 100,000 one-byte files with mixed extensions under the temporary
// folder, made once and kept for later runs (a marker says it is whole).
inline const std::string &hundredThousandFolder() {
    static const std::string path = [] {
        const std::string root = std::filesystem::temp_directory_path().string() + "/dromel-bench-100k";
        const std::string marker = root + "/.complete";
        if (!std::filesystem::exists(marker)) {
            std::filesystem::create_directories(root);
            const char *extensions[] = {".txt", ".jpg", ".pdf", ".mp3", "", ".tar.gz", ".md", ".cpp"};
            for (int i = 0; i < kEntryCount; ++i) {
                const std::string name = root + "/item " + std::to_string(i) + extensions[i % 8];
                std::ofstream(name).put('x');
            }
            std::ofstream(marker).put('x');
        }
        return root;
    }();
    return path;
}

} // namespace dromel::bench
