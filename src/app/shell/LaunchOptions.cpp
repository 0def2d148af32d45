#include "shell/LaunchOptions.h"

#include "core/Location.h"

#include <algorithm>
#include <cstdlib>

namespace dromel {

namespace {

std::string absolute(const std::string &path, const std::string &workingFolder) {
    if (Location::isAbsolute(path))
        return Location::standardized(path);
    return Location::standardized(workingFolder + "/" + path);
}

std::optional<std::string> followingValue(const std::vector<std::string> &arguments, const char *option) {
    const auto found = std::find(arguments.begin(), arguments.end(), option);
    if (found == arguments.end() || std::next(found) == arguments.end())
        return std::nullopt;
    return *std::next(found);
}

} // namespace

LaunchOptions LaunchOptions::parse(const std::vector<std::string> &arguments, const Environment &lookup,
                                   const std::string &workingFolder) {
    const auto environment = [&lookup](const char *name) -> std::optional<std::string> {
        std::optional<std::string> value = lookup(name);
        if (value && value->empty())
            return std::nullopt;
        return value;
    };
    LaunchOptions options;
    options.desktopBus = true;
    options.singleInstance = true;
    if (const auto fixtureFolder = environment("DromelFixtureDirectory")) {
        options.fixtureMode = true;
        options.startFolder = absolute(*fixtureFolder, workingFolder);
    } else {
        if (const auto directory = followingValue(arguments, "--directory"))
            options.startFolder = absolute(*directory, workingFolder);
        options.fixtureMode = std::find(arguments.begin(), arguments.end(), "--isolated") != arguments.end();
    }
    if (!options.fixtureMode)
        return options;

    std::optional<std::string> sessionFile = followingValue(arguments, "--session-file");
    if (!sessionFile)
        sessionFile = environment("DromelFixtureSessionFile");
    // A relative session file would depend on where the run was started.
    if (sessionFile && Location::isAbsolute(*sessionFile))
        options.sessionFile = Location::standardized(*sessionFile);

    options.fixtureLanguage = environment("DromelFixtureLanguage").value_or("zh-Hans");
    const std::string compact = environment("DromelFixtureCompact").value_or("");
    options.compact = compact == "1" || compact == "true";
    const std::string bus = environment("DromelFixtureDesktopBus").value_or("");
    options.desktopBus = bus == "1" || bus == "true";
    const std::string single = environment("DromelFixtureSingleInstance").value_or("");
    options.singleInstance = single == "1" || single == "true";
    return options;
}

LaunchOptions::Environment LaunchOptions::processEnvironment() {
    return [](const char *name) -> std::optional<std::string> {
        const char *value = std::getenv(name);
        if (!value)
            return std::nullopt;
        return std::string(value);
    };
}

} // namespace dromel
