#include "trash/TrashPlace.h"

#include "core/FileEntry.h"
#include "presentation/Localization.h"
#include "trash/TrashReader.h"

#include <QAction>
#include <QMenu>

namespace dromel {

namespace {

QString shown(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TrashPlace::TrashPlace(const TrashReader &reader) : m_reader(reader) {}

QIcon TrashPlace::icon(const FileEntry &entry) {
    if (entry.isDirectory())
        return m_icons.forEntry(entry);
    // The row's kind text is where it came from: the icon cache is keyed by
    // the MIME type of the name instead.
    const QMimeType type = m_mimeTypes.mimeTypeForFile(shown(entry.name()), QMimeDatabase::MatchExtension);
    const FileEntry probe(entry.id(), entry.url(), entry.name(), false, false, entry.isSymbolicLink(),
                          std::nullopt, std::nullopt, "trash:" + type.name().toStdString());
    return m_icons.forEntry(probe);
}

QString TrashPlace::toolTip(const FileEntry &entry) const {
    const TrashedItem *item = m_reader.item(entry.url());
    if (item && item->state == TrashedItem::State::restorable)
        return shown(*item->originalPath);
    return shown(entry.kind());
}

void TrashPlace::extendMenu(QMenu *menu, const std::vector<FileEntry> &selected,
                            const Commands &commands) const {
    std::vector<std::string> restorable;
    std::vector<std::string> chosen;
    for (const FileEntry &entry : selected) {
        const TrashedItem *item = m_reader.item(entry.url());
        if (!item || item->state == TrashedItem::State::missingItem)
            continue;
        chosen.push_back(entry.url());
        if (item->state == TrashedItem::State::restorable)
            restorable.push_back(entry.url());
    }
    // Emptied, the Trash keeps no record whose item is gone either.
    std::vector<std::string> everything = m_reader.itemPaths();
    for (std::string &record : m_reader.orphanRecords())
        everything.push_back(std::move(record));
    const Localization texts = Localization::current();
    QAction *first = menu->actions().isEmpty() ? nullptr : menu->actions().front();
    const auto add = [&](TextKey key, bool enabled, std::function<void()> run) {
        auto *action = new QAction(texts.text(key), menu);
        action->setEnabled(enabled && run);
        QObject::connect(action, &QAction::triggered, menu, std::move(run));
        menu->insertAction(first, action);
    };
    add(TextKey::trashRestore, !restorable.empty() && commands.restore,
        [restorable, restore = commands.restore] { restore(restorable); });
    add(TextKey::trashDeletePermanently, !chosen.empty() && commands.erase,
        [chosen, erase = commands.erase] { erase(chosen, false); });
    add(TextKey::trashEmpty, !everything.empty() && commands.erase,
        [everything, erase = commands.erase] { erase(everything, true); });
    if (first)
        menu->insertSeparator(first);
}

} // namespace dromel
