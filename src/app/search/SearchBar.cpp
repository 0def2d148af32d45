#include "search/SearchBar.h"

#include "presentation/Localization.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

namespace dromel {

namespace {

constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kMegabyte = 1 << 20;
constexpr std::int64_t kAges[] = {0, kDay, 7 * kDay, 31 * kDay, 366 * kDay};
constexpr SearchType kTypes[] = {SearchType::any,    SearchType::folder, SearchType::document,
                                 SearchType::image,  SearchType::audio,  SearchType::video,
                                 SearchType::archive};

QString text(TextKey key) {
    return Localization::current().text(key);
}

QComboBox *makeCombo(QWidget *parent, TextKey name, std::initializer_list<TextKey> items) {
    auto *combo = new QComboBox(parent);
    combo->setAccessibleName(text(name));
    combo->setToolTip(text(name));
    for (TextKey item : items)
        combo->addItem(text(item));
    return combo;
}

QSpinBox *makeSize(QWidget *parent, TextKey name) {
    auto *spin = new QSpinBox(parent);
    spin->setRange(0, 1 << 20);
    spin->setPrefix(text(name) + QStringLiteral(" "));
    spin->setSpecialValueText(text(name) + QStringLiteral(" \u2014"));
    spin->setAccessibleName(text(name));
    // The spin box sizes itself by its value text and forgets the special one.
    const QFontMetrics metrics(spin->font());
    spin->setMinimumWidth(std::max(metrics.horizontalAdvance(spin->specialValueText()),
                                   metrics.horizontalAdvance(spin->prefix() + "9999")) +
                          30);
    return spin;
}

} // namespace

SearchBar::SearchBar(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("searchBar"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setSpacing(6);

    m_query = new QLineEdit(this);
    m_query->setClearButtonEnabled(true);
    m_query->setAccessibleName(text(TextKey::search));
    m_query->setPlaceholderText(text(TextKey::searchPlaceholder));
    m_query->setMinimumWidth(180);
    connect(m_query, &QLineEdit::returnPressed, this, &SearchBar::submitted);
    m_query->installEventFilter(this);

    m_start = makeCombo(this, TextKey::searchStart,
                        {TextKey::searchThisFolder, TextKey::searchHome, TextKey::searchThisVolume});
    m_mode = makeCombo(this, TextKey::searchMode, {TextKey::searchNames, TextKey::searchContents});
    m_type = makeCombo(this, TextKey::searchType,
                       {TextKey::searchAnyType, TextKey::searchTypeFolder, TextKey::searchTypeDocument,
                        TextKey::searchTypeImage, TextKey::searchTypeAudio, TextKey::searchTypeVideo,
                        TextKey::searchTypeArchive});
    m_modified = makeCombo(this, TextKey::searchModified,
                           {TextKey::searchAnyTime, TextKey::searchPastDay, TextKey::searchPastWeek,
                            TextKey::searchPastMonth, TextKey::searchPastYear});
    m_above = makeSize(this, TextKey::searchSizeAbove);
    m_below = makeSize(this, TextKey::searchSizeBelow);
    m_otherVolumes = new QCheckBox(text(TextKey::searchOtherVolumes), this);
    m_otherVolumes->setAccessibleName(text(TextKey::searchOtherVolumes));
    m_unreadable = new QLabel(text(TextKey::searchUnreadable), this);
    m_unreadable->setAccessibleName(text(TextKey::searchUnreadable));
    QPalette warning = m_unreadable->palette();
    warning.setColor(QPalette::WindowText, QColor(0xd0, 0x2c, 0x2c));
    m_unreadable->setPalette(warning);
    m_unreadable->hide();
    m_close = new QToolButton(this);
    m_close->setText(QStringLiteral("\u2715"));
    m_close->setToolTip(text(TextKey::searchClose));
    m_close->setAccessibleName(text(TextKey::searchClose));
    m_close->setAutoRaise(true);
    connect(m_close, &QToolButton::clicked, this, &SearchBar::closeRequested);

    // Changing where or how to search runs it again at once, as a filter would.
    for (QComboBox *combo : {m_start, m_mode, m_type, m_modified})
        connect(combo, &QComboBox::activated, this, [this] {
            if (!m_query->text().isEmpty())
                emit submitted();
        });
    connect(m_mode, &QComboBox::currentIndexChanged, this, &SearchBar::modeChanged);
    connect(m_otherVolumes, &QCheckBox::toggled, this, [this] {
        if (!m_query->text().isEmpty())
            emit submitted();
    });
    for (QSpinBox *spin : {m_above, m_below})
        connect(spin, &QSpinBox::editingFinished, this, [this] {
            if (!m_query->text().isEmpty())
                emit submitted();
        });

    layout->addWidget(m_query, 1);
    for (QWidget *widget : std::initializer_list<QWidget *>{m_start, m_mode, m_type, m_modified, m_above,
                                                            m_below, m_otherVolumes, m_close})
        layout->addWidget(widget);
}

bool SearchBar::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_query && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down) {
            emit resultsRequested();
            return true;
        }
        if (key == Qt::Key_Escape) {
            emit closeRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::modeChanged() {
    m_query->setPlaceholderText(
        text(m_mode->currentIndex() == 1 ? TextKey::searchContentPlaceholder : TextKey::searchPlaceholder));
}

SearchQuery SearchBar::query(const std::string &startFolder) const {
    SearchQuery query;
    query.text = m_query->text().toStdString();
    query.mode = m_mode->currentIndex() == 1 ? SearchMode::content : SearchMode::name;
    query.startFolder = startFolder;
    query.crossVolumes = m_otherVolumes->isChecked();
    query.type = kTypes[std::max(0, m_type->currentIndex())];
    if (const std::int64_t age = kAges[std::max(0, m_modified->currentIndex())]; age > 0)
        query.modifiedWithinSeconds = age;
    if (m_above->value() > 0)
        query.sizeAbove = m_above->value() * kMegabyte;
    if (m_below->value() > 0)
        query.sizeBelow = m_below->value() * kMegabyte;
    return query;
}

SearchBar::Start SearchBar::start() const {
    return static_cast<Start>(std::max(0, m_start->currentIndex()));
}

void SearchBar::present(const SearchQuery &query, Start start) {
    const QSignalBlocker blockQuery(m_query);
    m_query->setText(QString::fromUtf8(query.text.data(), static_cast<qsizetype>(query.text.size())));
    m_start->setCurrentIndex(static_cast<int>(start));
    m_mode->setCurrentIndex(query.mode == SearchMode::content ? 1 : 0);
    m_type->setCurrentIndex(
        static_cast<int>(std::find(std::begin(kTypes), std::end(kTypes), query.type) - std::begin(kTypes)));
    int age = 0;
    for (int i = 0; i < static_cast<int>(std::size(kAges)); ++i)
        if (query.modifiedWithinSeconds && kAges[i] == *query.modifiedWithinSeconds)
            age = i;
    m_modified->setCurrentIndex(age);
    m_above->setValue(query.sizeAbove ? static_cast<int>(*query.sizeAbove / kMegabyte) : 0);
    m_below->setValue(query.sizeBelow ? static_cast<int>(*query.sizeBelow / kMegabyte) : 0);
    const QSignalBlocker blockVolumes(m_otherVolumes);
    m_otherVolumes->setChecked(query.crossVolumes);
    show();
}

void SearchBar::setUnreadable(const QStringList &folders) {
    m_unreadable->setVisible(!folders.isEmpty());
    m_unreadable->setToolTip(folders.join(QLatin1Char('\n')));
}

void SearchBar::focusQuery() {
    m_query->setFocus(Qt::ShortcutFocusReason);
    m_query->selectAll();
}

} // namespace dromel
