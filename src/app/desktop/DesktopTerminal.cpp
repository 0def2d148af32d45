#include "desktop/DesktopTerminal.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace dromel {

namespace {
// In the order Debian's desktops install them; xterm last, as the fallback
// of every X session.
constexpr const char *kCommonTerminals[] = {
    "gnome-terminal", "konsole", "xfce4-terminal", "mate-terminal", "qterminal", "lxterminal",
    "terminator",     "tilix",   "kitty",          "alacritty",     "foot",      "xterm",
};

std::optional<std::string> installed(const QString &program) {
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return std::nullopt;
    return found.toStdString();
}
} // namespace

std::optional<std::vector<std::string>> DesktopTerminal::command(const Environment &environment) {
    if (const std::optional<std::string> chosen = environment("TERMINAL"); chosen && !chosen->empty()) {
        // The variable may carry arguments ("kitty --single-instance").
        QStringList words = QProcess::splitCommand(QString::fromStdString(*chosen));
        if (!words.isEmpty())
            if (std::optional<std::string> program = installed(words.takeFirst())) {
                std::vector<std::string> result{*program};
                for (const QString &word : words)
                    result.push_back(word.toStdString());
                return result;
            }
    }
    if (std::optional<std::string> alternative = installed(QStringLiteral("x-terminal-emulator")))
        return std::vector<std::string>{*alternative};
    for (const char *name : kCommonTerminals)
        if (std::optional<std::string> program = installed(QString::fromLatin1(name)))
            return std::vector<std::string>{*program};
    return std::nullopt;
}

bool DesktopTerminal::start(const std::vector<std::string> &command, const std::string &folder) {
    if (command.empty())
        return false;
    QStringList arguments;
    for (auto word = command.begin() + 1; word != command.end(); ++word)
        arguments << QString::fromStdString(*word);
    return QProcess::startDetached(QString::fromStdString(command.front()), arguments,
                                   QString::fromLocal8Bit(folder));
}

} // namespace dromel
