#pragma once

#include <string>
#include <vector>

namespace dromel {

// An installed application as the desktop's menus know it: one desktop entry.
struct DesktopApplication {
    // The desktop file id ("org.example.Viewer.desktop"), the key of every lookup.
    std::string id;
    std::string name;
    // A themed icon name, or an absolute path to an image.
    std::string icon;
    // The command takes a list of files (%F or %U): several items open in one launch.
    bool takesList = false;

    bool operator==(const DesktopApplication &) const = default;
};

// Items of one type, with what the desktop would open them with.
struct OpenGroup {
    std::string mimeType;
    std::vector<std::string> paths;
    std::vector<DesktopApplication> applications; // the default first; empty when none
    // An executable program or script: the user chooses to run it or open it.
    bool executable = false;
};

} // namespace dromel
