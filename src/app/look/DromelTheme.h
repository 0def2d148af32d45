#pragma once

#include "presentation/SkinID.h"

#include <QFont>
#include <QLabel>
#include <QObject>

namespace dromel {

// Shared presentation state of the shell: the skin, the desktop's
// reduce-transparency preference and the three text sizes. Main thread only.
//
// The fonts follow the desktop's general font, so a user's font size (or an
// accessibility setting) keeps working; control and caption are that font
// scaled down by the same ratios as 12 and 11 to 13.
class DromelTheme : public QObject {
    Q_OBJECT
public:
    static DromelTheme *instance();

    // `glass` until launch sets it from the settings. Setting it emits
    // didChange() even when the value is the same, so launch can announce it.
    static SkinID skin();
    static void setSkin(SkinID skin);

    // Off unless the desktop says otherwise; Qt reports no such preference on
    // Linux desktops today, so only an explicit call turns it on.
    static bool reduceTransparency();
    static void setReduceTransparency(bool reduce);

    static QFont body();
    static QFont control();
    static QFont caption();

    // A read-only label, elided in the middle when narrow: caption style uses
    // the caption font and the palette's secondary text colour, otherwise
    // the body font and the normal text colour.
    static QLabel *label(const QString &text, bool caption, QWidget *parent = nullptr);

    // A plain-text label that shortens its text in the middle instead of
    // clipping it; text() keeps the whole text.
    class Label : public QLabel {
    public:
        explicit Label(const QString &text, QWidget *parent = nullptr);
        QSize minimumSizeHint() const override;
        // The text as it is painted at the current width.
        QString shownText() const;

    protected:
        void paintEvent(QPaintEvent *event) override;
    };

signals:
    void didChange();
    void accessibilityChanged();

private:
    DromelTheme() = default;

    SkinID m_skin = SkinID::glass;
    bool m_reduceTransparency = false;
};

} // namespace dromel
