#include "desktop/ApplicationLauncher.h"

#include "core/Location.h"
#include "desktop/ApplicationDatabase.h"
#include "runtime/MainThread.h"

#include <QProcess>

#include <utility>

namespace dromel {

ApplicationLauncher::ApplicationLauncher(QObject *parent)
    : QObject(parent),
      m_queue({QueueNames::identified("desktop-applications"), 1, QueuePriority::userInitiated}) {}

// The queue's destructor waits for a running job; its answer then finds the
// lifetime gone and is dropped.
ApplicationLauncher::~ApplicationLauncher() = default;

template <typename Result>
void ApplicationLauncher::answer(std::function<Result()> work, std::function<void(Result)> done) {
    m_queue.async([work = std::move(work), done = m_lifetime.guard(std::move(done))]() mutable {
        MainThread::post([result = work(), done = std::move(done)]() mutable { done(std::move(result)); });
    });
}

void ApplicationLauncher::plan(std::vector<std::string> paths,
                               std::function<void(std::vector<OpenGroup>)> done) {
    answer<std::vector<OpenGroup>>([paths = std::move(paths)] { return ApplicationDatabase::plan(paths); },
                                   std::move(done));
}

void ApplicationLauncher::applicationsFor(
    std::vector<std::string> paths,
    std::function<void(std::string mimeType, std::vector<DesktopApplication>)> done) {
    using Found = std::pair<std::string, std::vector<DesktopApplication>>;
    answer<Found>(
        [paths = std::move(paths)]() -> Found {
            std::string shared;
            for (const std::string &path : paths) {
                const std::string type = ApplicationDatabase::mimeTypeOf(path);
                if (!shared.empty() && type != shared)
                    return {};
                shared = type;
            }
            if (shared.empty())
                return {};
            return {shared, ApplicationDatabase::applicationsFor(shared)};
        },
        [done = std::move(done)](Found found) { done(std::move(found.first), std::move(found.second)); });
}

void ApplicationLauncher::allApplications(Applications done) {
    answer<std::vector<DesktopApplication>>([] { return ApplicationDatabase::all(); }, std::move(done));
}

namespace {
using Result = std::pair<bool, std::string>;
} // namespace

void ApplicationLauncher::launch(std::string applicationId, std::vector<std::string> paths, Outcome done) {
    answer<Result>(
        [applicationId = std::move(applicationId), paths = std::move(paths)] {
            std::string error;
            const bool launched = ApplicationDatabase::launch(applicationId, paths, &error);
            return Result{launched, error};
        },
        [done = std::move(done)](Result result) {
            if (done)
                done(result.first, result.second);
        });
}

void ApplicationLauncher::launchDefault(std::string mimeType, std::vector<std::string> paths, Outcome done) {
    answer<Result>(
        [mimeType = std::move(mimeType), paths = std::move(paths)] {
            const std::optional<DesktopApplication> application = ApplicationDatabase::defaultFor(mimeType);
            if (!application)
                return Result{false, "no application for " + mimeType};
            std::string error;
            const bool launched = ApplicationDatabase::launch(application->id, paths, &error);
            return Result{launched, error};
        },
        [done = std::move(done)](Result result) {
            if (done)
                done(result.first, result.second);
        });
}

void ApplicationLauncher::setDefault(std::string applicationId, std::string mimeType, Outcome done) {
    answer<Result>(
        [applicationId = std::move(applicationId), mimeType = std::move(mimeType)] {
            std::string error;
            const bool written = ApplicationDatabase::setDefault(applicationId, mimeType, &error);
            return Result{written, error};
        },
        [done = std::move(done)](Result result) {
            if (done)
                done(result.first, result.second);
        });
}

bool ApplicationLauncher::run(const std::string &path) {
    // Only a fork and an exec of an absolute path: nothing here reads the disk.
    return QProcess::startDetached(QString::fromLocal8Bit(path), {},
                                   QString::fromLocal8Bit(Location::parent(path)));
}

void ApplicationLauncher::describe(std::string mimeType, std::function<void(std::string)> done) {
    answer<std::string>([mimeType = std::move(mimeType)] { return ApplicationDatabase::describe(mimeType); },
                        std::move(done));
}

} // namespace dromel
