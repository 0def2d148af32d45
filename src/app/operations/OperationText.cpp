#include "operations/OperationText.h"

#include "core/Location.h"
#include "presentation/Localization.h"
#include "presentation/TextKey.h"

#include <QStringList>

#include <cctype>

#include <algorithm>

namespace dromel::OperationText {

namespace {

// "phase" + "needsReview" -> TextKey::phaseNeedsReview.
QString keyedText(std::string_view prefix, std::string_view caseName) {
    std::string raw(prefix);
    raw += caseName;
    raw[prefix.size()] = static_cast<char>(std::toupper(static_cast<unsigned char>(raw[prefix.size()])));
    if (const auto key = textKeyFromRawValue(raw))
        return Localization::current().text(*key);
    return QString::fromStdString(raw);
}

} // namespace

QString phase(OperationPhase value) {
    return keyedText("phase", rawValue(value));
}

QString phase(const FileOperationTask &task) {
    if (task.phase == OperationPhase::needsReview && task.cleanedUp)
        return Localization::current().text(TextKey::taskCleanedUp);
    return phase(task.phase);
}

QString outcome(ItemOutcome value) {
    return keyedText("outcome", rawValue(value));
}

QString problem(const OperationProblem &value) {
    QStringList parts{keyedText("problem", rawValue(value.code()))};
    if (!value.path().empty())
        parts << path(value.path());
    if (!value.detail().empty())
        parts << QString::fromStdString(value.detail());
    return parts.join('\n');
}

QString summary(const FileOperationTask &task) {
    qint64 succeeded = 0, skipped = 0, failed = 0;
    for (const FileOperationResult &result : task.results) {
        if (!result.source && !result.destination)
            continue; // the whole task's, not an item's
        if (result.outcome == ItemOutcome::succeeded)
            ++succeeded;
        else if (result.outcome == ItemOutcome::skipped)
            ++skipped;
        else if (result.outcome == ItemOutcome::failed)
            ++failed;
    }
    const qint64 total = std::max<qint64>(1, qint64(task.request.sources().size()));
    const qint64 remaining = std::max<qint64>(0, total - succeeded - skipped - failed);
    const Localization l10n = Localization::current();
    return l10n.format(TextKey::operationSummary, phase(task), l10n.count(TextKey::items, succeeded),
                       l10n.count(TextKey::items, skipped), l10n.count(TextKey::items, failed),
                       l10n.count(TextKey::items, remaining));
}

QString reviewCause(const FileOperationTask &task) {
    const FileOperationResult *first = nullptr;
    for (const FileOperationResult &result : task.results) {
        if (!result.problem)
            continue;
        if (!result.source)
            return problem(*result.problem);
        if (!first && result.outcome == ItemOutcome::failed)
            first = &result;
    }
    return first ? problem(*first->problem) : QString();
}

std::vector<std::string> leftovers(const FileOperationTask &task) {
    std::vector<std::string> paths;
    const auto add = [&paths](const std::vector<std::string> &more) {
        for (const std::string &path : more)
            if (std::find(paths.begin(), paths.end(), path) == paths.end())
                paths.push_back(path);
    };
    add(task.recoveryPaths);
    for (const FileOperationResult &result : task.results)
        if (result.outcome != ItemOutcome::succeeded)
            add(result.recoveryPaths);
    return paths;
}

QString label(const FileOperationTask &task) {
    const Localization l10n = Localization::current();
    if (task.unreadable)
        return l10n.text(TextKey::taskUnreadable);
    const FileOperationRequest &request = task.request;
    QString name;
    if (request.name())
        name = path(*request.name());
    else if (request.sources().empty())
        name = l10n.text(TextKey::newFolderName);
    else
        name = path(Location::lastComponent(request.sources().front()));
    if (!request.undo())
        return name;
    return l10n.format(request.redo() ? TextKey::redoTask : TextKey::undoTask, name);
}

QString path(const std::string &value) {
    const QString text = QString::fromUtf8(value.data(), qsizetype(value.size()));
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == '\n')
            shown += QStringLiteral("\\n");
        else if (code == '\t')
            shown += QStringLiteral("\\t");
        else if (code == '\r')
            shown += QStringLiteral("\\r");
        else if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) || code == 0x2028 ||
                 code == 0x2029)
            shown += QStringLiteral("\\x%1").arg(unsigned(code), code > 0xFF ? 4 : 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace dromel::OperationText
