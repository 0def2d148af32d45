#pragma once

#include <QListView>

namespace dromel {

class FileTable;
class ThumbnailLoader;

// The icon view beside the list: the same rows (the list's model and its
// selection model, so the store hears one selection), drawn as a grid of
// thumbnails or type icons with the names wrapped under them. Keys, the
// context menu, type-ahead and opening are the list's own (FileTable::run,
// ListKeys); the filter and the sort are the store's, so both views show the
// same. Ctrl+plus, Ctrl+minus and Ctrl+wheel zoom. Main thread only; the
// table must outlive the view.
class FileIconView : public QListView {
    Q_OBJECT
public:
    static constexpr int kSmallestIcon = 48;
    static constexpr int kLargestIcon = 256;
    static constexpr int kDefaultIcon = 96;

    FileIconView(FileTable &table, QWidget *parent = nullptr);

    int zoom() const { return m_iconSide; }
    // Clamped to the sizes above; the thumbnails follow the size.
    void setZoom(int iconSide);
    void zoomBy(int steps);
    // Thumbnails at the view's size; null for type icons only.
    void setThumbnails(ThumbnailLoader *thumbnails);

signals:
    void zoomChanged(int iconSide);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyboardSearch(const QString &search) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void keepVisibleThumbnails();
    void fitThumbnails();

    FileTable &m_table;
    ThumbnailLoader *m_thumbnails = nullptr;
    int m_iconSide = kDefaultIcon;
};

} // namespace dromel
