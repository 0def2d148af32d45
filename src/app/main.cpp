// Command-line demo (stands in until the window exists): opens a folder in a
// browser store with the real reader, orderer and monitor, prints the ordered
// listing, and with --watch prints it again whenever the store reloads it.
#include "browser/BrowserStore.h"
#include "core/PathInput.h"
#include "core/StatePaths.h"
#include "core/Version.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "directory/LocalVolumeReader.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace dromel;

namespace {

void print(const BrowserTab &tab) {
    std::printf("\n%s — %zu items\n", tab.url().c_str(), tab.visibleEntries().size());
    for (const FileEntry &entry : tab.visibleEntries()) {
        const std::string size = entry.size() ? std::to_string(*entry.size()) : "--";
        std::printf("  %s%-48s %12s  %s\n", entry.isNavigable() ? "▸ " : "  ", entry.name().c_str(),
                    size.c_str(), entry.kind().c_str());
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(kApplicationName);
    QCommandLineParser parser;
    parser.setApplicationDescription("Dromel command-line demo: lists a folder as the file list orders it.");
    parser.addHelpOption();
    parser.addOption({"directory", "The folder to list (default: home).", "path"});
    parser.addOption({"hidden", "Show hidden items."});
    parser.addOption({"watch", "Keep running and list again when the folder changes."});
    parser.addOption({"volumes", "Print the mounted volumes first."});
    parser.process(application);

    const std::string home = StatePaths::homeFolder();
    std::string folder = home;
    if (parser.isSet("directory")) {
        try {
            folder = PathInput::resolve(parser.value("directory").toStdString(), home);
        } catch (const PathInput::PathError &error) {
            std::fprintf(stderr, "dromel: %s\n", error.what());
            return 2;
        }
    }
    if (parser.isSet("volumes"))
        for (const MountedVolume &volume : LocalVolumeReader::currentVolumes())
            std::printf("volume %-24s %s\n", volume.name.c_str(), volume.url.c_str());

    LocalDirectoryReader reader;
    ListingOrderer orderer;
    BrowserStore store({folder}, 0, reader, orderer);
    const bool watch = parser.isSet("watch");
    std::optional<Uuid> printed; // listing version last printed
    int status = 0;
    store.onChange = [&](BrowserStore::Change change) {
        const BrowserTab &tab = store.current();
        if (tab.loading)
            return;
        if (const auto *failure =
                tab.error ? std::get_if<BrowserIssue::DirectoryRead>(&tab.error->value) : nullptr) {
            std::fprintf(stderr, "dromel: %s: %s\n", failure->path.c_str(), failure->detail.c_str());
            status = 1;
        } else if (!printed || (change == BrowserStore::Change::content && printed != tab.listingVersion())) {
            printed = tab.listingVersion();
            print(tab);
        }
        if (!watch)
            QCoreApplication::exit(status);
    };
    if (watch)
        store.startMonitoring();
    if (parser.isSet("hidden"))
        store.setShowHidden(true); // reads the folder with hidden items
    else
        store.refresh();
    return application.exec();
}
