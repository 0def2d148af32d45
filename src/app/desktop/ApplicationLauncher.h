#pragma once

#include "desktop/DesktopApplication.h"
#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"

#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace dromel {

// The desktop's application database and launches, off the main thread: GIO
// reads desktop entries, the MIME database and the items themselves, and
// starting a program forks. Call from the main thread; every answer arrives
// there later, and not at all once the launcher is gone.
class ApplicationLauncher : public QObject {
    Q_OBJECT
public:
    using Applications = std::function<void(std::vector<DesktopApplication>)>;
    using Outcome = std::function<void(bool succeeded, std::string error)>;

    explicit ApplicationLauncher(QObject *parent = nullptr);
    ~ApplicationLauncher() override;

    // The items grouped by type, each with its applications (default first).
    void plan(std::vector<std::string> paths, std::function<void(std::vector<OpenGroup>)> done);
    // The applications every item's type shares: those of the first type when
    // all items have one type, none otherwise; with that type.
    void applicationsFor(std::vector<std::string> paths,
                         std::function<void(std::string mimeType, std::vector<DesktopApplication>)> done);
    void allApplications(Applications done);
    void launch(std::string applicationId, std::vector<std::string> paths, Outcome done);
    // Launches the type's default application; fails when the type has none.
    void launchDefault(std::string mimeType, std::vector<std::string> paths, Outcome done);
    void setDefault(std::string applicationId, std::string mimeType, Outcome done);
    // Starts a program or script itself, in its folder.
    static bool run(const std::string &path);
    void describe(std::string mimeType, std::function<void(std::string)> done);

    bool waitForIdleForTesting(int timeoutMilliseconds) { return m_queue.waitForIdle(timeoutMilliseconds); }

private:
    template <typename Result> void answer(std::function<Result()> work, std::function<void(Result)> done);

    WorkQueue m_queue;
    Lifetime m_lifetime;
};

} // namespace dromel
