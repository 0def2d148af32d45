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
    return l10n.format(TextKey::operationSummary, phase(task.phase), l10n.count(TextKey::items, succeeded),
                       l10n.count(TextKey::items, skipped), l10n.count(TextKey::items, failed),
                       l10n.count(TextKey::items, remaining));
}

QString label(const FileOperationTask &task) {
    const Localization l10n = Localization::current();
    const FileOperationRequest &request = task.request;
    QString name;
    if (request.name())
        name = path(*request.name());
    else if (request.sources().empty())
        name = l10n.text(TextKey::newFolderName);
    else
        name = path(Location::lastComponent(request.sources().front()));
    return request.undo() ? l10n.format(TextKey::undoTask, name) : name;
}

QString path(const std::string &value) {
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

} // namespace dromel::OperationText
