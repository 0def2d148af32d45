#pragma once

// The desktop's application database of a test process: hand-made desktop
// entries and a mimeapps.list in XDG folders of its own, set before main
// because GLib reads them once per process. The applications are a recorder
// script that writes one line per launch: its label and its arguments.
#include "support/TempTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace dromel::test {

inline void write(const std::string &path, const std::string &content, mode_t mode = 0644) {
    std::ofstream(path) << content;
    ::chmod(path.c_str(), mode);
}

inline std::string entry(const std::string &name, const std::string &exec, const std::string &types) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=" + types +
           "\n";
}

// Applications only from the data home, the MIME database borrowed from the
// system, nothing from the user's real configuration.
struct DesktopHome {
    std::string root;
    std::string record;

    DesktopHome() {
        char pattern[] = "/tmp/dromel-desktop-XXXXXX";
        root = ::mkdtemp(pattern);
        record = root + "/launches";
        for (const char *folder : {"/data", "/data/applications", "/config", "/system", "/etc", "/templates"})
            ::mkdir((root + folder).c_str(), 0755);
        [[maybe_unused]] int linked = ::symlink("/usr/share/mime", (root + "/system/mime").c_str());
        ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (root + "/system").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (root + "/etc").c_str(), 1);
        ::unsetenv("XDG_CURRENT_DESKTOP");

        const std::string recorder = root + "/record.sh";
        write(recorder,
              "#!/bin/sh\nlabel=$1; shift\nline=$label\nfor a in \"$@\"; do line=\"$line|$a\"; done\n"
              "echo \"$line\" >> '" +
                  record + "'\n",
              0755);
        const std::string applications = root + "/data/applications/";
        write(applications + "recorder-list.desktop",
              entry("Recorder List", recorder + " list %F", "text/plain;text/x-dromel-sample;"));
        write(applications + "recorder-single.desktop",
              entry("Recorder Single", recorder + " single %f", "text/x-dromel-sample;"));
        write(applications + "recorder-removed.desktop",
              entry("Recorder Removed", recorder + " removed %F", "text/x-dromel-sample;"));
        // GIO reads the types of desktop entries from the cache the desktop's
        // packages keep up to date.
        [[maybe_unused]] const int indexed =
            std::system(("update-desktop-database '" + applications + "'").c_str());
        write(root + "/config/mimeapps.list",
              "[Default Applications]\ntext/plain=recorder-list.desktop\n"
              "text/x-dromel-sample=recorder-single.desktop\n"
              "[Removed Associations]\ntext/x-dromel-sample=recorder-removed.desktop\n");
    }
    // The user's templates (user-dirs.dirs), here with one text document.
    void addTemplates() const {
        write(root + "/config/user-dirs.dirs", "XDG_TEMPLATES_DIR=\"" + root + "/templates\"\n");
        write(root + "/templates/Text Document.txt", "template\n");
    }
    ~DesktopHome() { TempTree::removeAll(root); }

    std::vector<std::string> launches() const {
        std::ifstream in(record);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void forgetLaunches() const { ::unlink(record.c_str()); }
};

} // namespace dromel::test
