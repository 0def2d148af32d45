#pragma once

#include "core/PermissionChange.h"
#include "presentation/TextKey.h"
#include "properties/FolderTally.h"
#include "properties/ItemFacts.h"
#include "runtime/Lifetime.h"
#include "runtime/WorkQueue.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QPushButton;
class QFormLayout;
class QLabel;

namespace dromel {

class ApplicationLauncher;

// The properties of one item or the totals of several: read off the main
// thread when the window opens; a folder's items are counted in the
// background and the figures grow as the count goes on, until it ends or the
// window closes (which stops it). Window-modal, opened with open(), deletes
// itself when closed.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    static PropertiesDialog *show(QWidget *window, std::vector<std::string> paths);
    ~PropertiesDialog() override;

    // The contents figure ("10,001 items, 12.3 MB"), for tests.
    QLabel *contentsLabel() const { return m_contents; }
    const FolderTally::Tally &tally() const { return m_tally; }
    // The owner/group/others × read/write/execute boxes, owner read first.
    const std::vector<QCheckBox *> &permissionBoxes() const { return m_permissions; }
    bool factsShown() const { return m_factsShown; }
    // "Change…" beside the default application (one file only).
    QPushButton *changeApplicationButton() const { return m_changeApplication; }
    QLabel *applicationLabel() const { return m_application; }
    // "Apply to enclosed items" (folders only) and the permissions' Apply.
    QCheckBox *enclosedBox() const { return m_enclosed; }
    QPushButton *applyPermissionsButton() const { return m_applyPermissions; }

    // Asked to change the item's permissions; the boxes are editable where
    // the user owns the item and it is no link.
    std::function<void(std::vector<std::string> paths, PermissionChange change)> onChangePermissions;

private:
    PropertiesDialog(QWidget *window, std::vector<std::string> paths);

    void showFacts(std::vector<ItemFacts> facts);
    void showTally(const FolderTally::Tally &tally);
    void addApplicationRow(const ItemFacts &item);
    void addRow(QFormLayout *form, TextKey key, const QString &value);
    void addPermissions(const ItemFacts &item);
    void applyPermissions();

    std::vector<std::string> m_paths;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    FolderTally::Tally m_tally;
    bool m_factsShown = false;
    QFormLayout *m_form = nullptr;
    QLabel *m_contents = nullptr;
    QLabel *m_onDisk = nullptr;
    // One item that is not a folder: its size alone, without a count.
    bool m_singleFile = false;
    std::vector<QCheckBox *> m_permissions;
    unsigned m_mode = 0; // as last shown or applied
    QCheckBox *m_enclosed = nullptr;
    QPushButton *m_applyPermissions = nullptr;
    ApplicationLauncher *m_launcher;
    QLabel *m_application = nullptr;
    QPushButton *m_changeApplication = nullptr;
    WorkQueue m_queue;
    Lifetime m_lifetime;
};

} // namespace dromel
