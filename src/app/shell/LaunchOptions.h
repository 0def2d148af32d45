#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dromel {

// What the command line and the fixture environment ask of one launch. A pure
// reading of its inputs: nothing is checked against the file system.
//
// Switches: "--directory PATH" (start folder; ignored as the last argument),
// "--isolated" (fixture mode), "--session-file PATH" (fixture mode only, and
// only for an absolute path). Environment: "DromelFixtureDirectory" (fixture
// mode and start folder, before "--directory"), "DromelFixtureSessionFile"
// (session file when no "--session-file"), "DromelFixtureLanguage",
// "DromelFixtureCompact", "DromelFixtureDesktopBus" and
// "DromelFixtureSingleInstance" (fixture mode only).
// Empty variables count as unset.
struct LaunchOptions {
    using Environment = std::function<std::optional<std::string>(const char *name)>;

    // Absolute and standardized; a relative "--directory" is taken against `workingFolder`.
    std::optional<std::string> startFolder;
    bool fixtureMode = false;
    // The session file an isolated run uses; never set outside fixture mode.
    std::optional<std::string> sessionFile;
    // A fixture run's language raw value ("en", "zh-Hans", "system"); absent in normal mode.
    std::optional<std::string> fixtureLanguage;
    bool compact = false;
    // Offer the file-manager service and send notifications on the session
    // bus: always in a normal run, in a fixture run only when asked.
    bool desktopBus = false;
    // Hand the folders to a running Dromel and end, or become the one that
    // others hand theirs to: always in a normal run, in a fixture run only
    // when "DromelFixtureSingleInstance" asks (it must never reach the
    // user's own instance).
    bool singleInstance = false;

    // `arguments` excludes the program name. Paths stay raw bytes.
    static LaunchOptions parse(const std::vector<std::string> &arguments, const Environment &environment,
                               const std::string &workingFolder);
    // The process environment.
    static Environment processEnvironment();
};

} // namespace dromel
