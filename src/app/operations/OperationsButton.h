#pragma once

#include <QToolButton>

namespace dromel {

// The toolbar's way into the operations window, as the peers have it: a
// symbol the size of the toolbar's other buttons with a small count badge
// (tasks running, or failed tasks not yet seen) and the detail in its
// tooltip. Its size never depends on its state or language, so the toolbar
// never reflows and still fits at 800 px. Main thread only.
class OperationsButton : public QToolButton {
    Q_OBJECT

public:
    enum class Badge { none, running, failed };

    explicit OperationsButton(QWidget *parent = nullptr);

    // `detail` becomes the tooltip and the text a screen reader reads.
    void showState(Badge badge, int count, const QString &detail);
    Badge badge() const { return m_badge; }
    int badgeCount() const { return m_count; }
    // What the badge reads: counts past nine are "9+" so it stays small.
    QString badgeText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applySymbol();

    Badge m_badge = Badge::none;
    int m_count = 0;
};

} // namespace dromel
