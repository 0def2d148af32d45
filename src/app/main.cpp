// Command-line demo (stands in until the window exists): reads a folder with
// the background reader, orders it like the file list would, prints it, and
// with --watch prints it again whenever the folder changes.
#include "core/FileSort.h"
#include "core/PathInput.h"
#include "core/StatePaths.h"
#include "core/Version.h"
#include "directory/DirectoryMonitor.h"
#include "directory/ListingOrderer.h"
#include "directory/LocalDirectoryReader.h"
#include "directory/LocalVolumeReader.h"
#include "runtime/MainThread.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

using namespace dromel;

namespace {

void print(const std::string &folder, const std::vector<FileEntry> &entries) {
    std::printf("\n%s — %zu items\n", folder.c_str(), entries.size());
    for (const FileEntry &entry : entries) {
        const std::string size = entry.size() ? std::to_string(*entry.size()) : "--";
        std::printf("  %s%-48s %12s  %s\n", entry.isNavigable() ? "▸ " : "  ", entry.name().c_str(),
                    size.c_str(), entry.kind().c_str());
    }
    std::fflush(stdout);
}

class Demo {
public:
    Demo(std::string folder, bool showHidden) : m_folder(std::move(folder)), m_showHidden(showHidden) {}

    void load(std::function<void()> done) {
        m_read = m_reader.read(
            m_folder, m_showHidden, [this, done](std::error_code error, const FileEntryList &entries) {
                if (error) {
                    std::fprintf(stderr, "dromel: %s: %s\n", m_folder.c_str(), error.message().c_str());
                    done();
                    return;
                }
                m_ticket =
                    m_orderer.order(entries, FileSort{}, [this, done](std::optional<FileEntryList> ordered) {
                        if (ordered)
                            print(m_folder, ordered->toVector());
                        done();
                    });
            });
    }

private:
    std::string m_folder;
    bool m_showHidden;
    LocalDirectoryReader m_reader;
    ListingOrderer m_orderer;
    std::unique_ptr<DirectoryRead> m_read;
    std::shared_ptr<OrderingTicket> m_ticket;
};

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

    Demo demo(folder, parser.isSet("hidden"));
    const bool watch = parser.isSet("watch");
    std::unique_ptr<DirectoryMonitor> monitor;
    demo.load([watch] {
        if (!watch)
            QCoreApplication::quit();
    });
    if (watch) {
        monitor = std::make_unique<DirectoryMonitor>(true, [&demo](const std::set<std::string> &) {
            MainThread::post([&demo] { demo.load([] {}); });
        });
        monitor->watch({folder});
    }
    return application.exec();
}
