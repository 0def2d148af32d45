#pragma once

#include "core/SearchQuery.h"

#include <QStringList>
#include <QWidget>

#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace dromel {

// The row above the file list while a tab searches: the query, where to
// start, names or contents, and the optional narrowing (type, age, size,
// other volumes). It only gathers a query; the controller runs it.
class SearchBar : public QWidget {
    Q_OBJECT
public:
    enum class Start { thisFolder, home, thisVolume };

    explicit SearchBar(QWidget *parent = nullptr);

    // The query as the fields say, starting from the folder `start` names.
    SearchQuery query(const std::string &startFolder) const;
    Start start() const;
    // Shows `query` in the fields (a restored or switched-to tab's search).
    void present(const SearchQuery &query, Start start);
    void focusQuery();
    // Folders the search could not read (none hides the notice).
    void setUnreadable(const QStringList &folders);
    QLineEdit *queryField() const { return m_query; }

signals:
    void submitted();
    void closeRequested();
    // Down in the query field: the user moves on to the results.
    void resultsRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void modeChanged();

    QLineEdit *m_query;
    QComboBox *m_start;
    QComboBox *m_mode;
    QComboBox *m_type;
    QComboBox *m_modified;
    QSpinBox *m_above;
    QSpinBox *m_below;
    QCheckBox *m_otherVolumes;
    QLabel *m_unreadable;
    QToolButton *m_close;
};

} // namespace dromel
