#include "Widgets.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QPainter>
#include <QRadioButton>
#include <algorithm>
#include <memory>
#include <utility>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) {
    m_group = new QButtonGroup(this);
    // Exclusive by hand: an exclusive group cannot show "nothing selected"
    // without a hidden extra item, which screen readers would still list.
    m_group->setExclusive(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(0);
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (m_syncing) {
            return;
        }
        if (checked) {
            userSelected(id);
        } else {
            // A click on the selected item leaves it selected.
            syncButtons();
        }
    });
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : TRadioGroup(parent) {
    setTitle(caption);
    setColumns(columns);
    setItems(items);
}

void TRadioGroup::setColumns(int columns) {
    m_columns = std::max(1, columns);
    placeButtons();
}

QStringList TRadioGroup::items() const {
    QStringList texts;
    for (const QRadioButton* button : m_buttons) {
        texts.append(button->text());
    }
    return texts;
}

void TRadioGroup::setItems(const QStringList& items) {
    qDeleteAll(m_buttons);
    m_buttons.clear();
    m_itemIndex = -1;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        button->installEventFilter(this);
        m_group->addButton(button, i);
        m_buttons.append(button);
    }
    placeButtons();
    updateTabStop();
}

void TRadioGroup::placeButtons() {
    auto* grid = static_cast<QGridLayout*>(layout());
    const int perColumn = std::max(1, (Count() + m_columns - 1) / m_columns);
    for (int i = 0; i < Count(); ++i) {
        grid->removeWidget(m_buttons.at(i));
        grid->addWidget(m_buttons.at(i), i % perColumn, i / perColumn);
    }
}

QStringList TRadioGroup::itemAccessibleNames() const {
    QStringList names;
    for (const QRadioButton* button : m_buttons) {
        names.append(button->accessibleName());
    }
    return names;
}

int TRadioGroup::Count() const {
    return static_cast<int>(m_buttons.size());
}

QRadioButton* TRadioGroup::Button(int index) const {
    return index >= 0 && index < Count() ? m_buttons.at(index) : nullptr;
}

void TRadioGroup::SetItemIndex(int index) {
    index = std::clamp(index, -1, Count() - 1);
    if (index == m_itemIndex) {
        return;
    }
    m_itemIndex = index;
    syncButtons();
    updateTabStop();
    if (index >= 0 && OnClick) {
        OnClick(this);
    }
}

void TRadioGroup::SetItemAccessibleNames(const QStringList& names) {
    for (int i = 0; i < Count() && i < names.size(); ++i) {
        m_buttons.at(i)->setAccessibleName(names.at(i));
    }
}

QList<QWidget*> TRadioGroup::tabChain() const {
    QList<QWidget*> chain;
    for (QRadioButton* button : m_buttons) {
        chain.append(button);
    }
    return chain;
}

QRadioButton* TRadioGroup::tabStop() const {
    return Button(std::max(0, m_itemIndex));
}

void TRadioGroup::syncButtons() {
    m_syncing = true;
    for (int i = 0; i < Count(); ++i) {
        m_buttons.at(i)->setChecked(i == m_itemIndex);
    }
    m_syncing = false;
}

void TRadioGroup::userSelected(int index) {
    if (index != m_itemIndex) {
        SetItemIndex(index);
    }
}

// The group is one stop in the tab order: the selected item, or the first
// when none is selected. The arrow keys move within the group.
void TRadioGroup::updateTabStop() {
    const int stop = std::max(0, m_itemIndex);
    for (int i = 0; i < Count(); ++i) {
        m_buttons.at(i)->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

bool TRadioGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QGroupBox::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    int step = 0;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Right:
        step = 1;
        break;
    default:
        return QGroupBox::eventFilter(watched, event);
    }
    const int from = static_cast<int>(m_buttons.indexOf(static_cast<QRadioButton*>(watched)));
    if (from < 0 || Count() == 0) {
        return QGroupBox::eventFilter(watched, event);
    }
    // Wraps around and skips disabled items, like the system's radio groups.
    for (int n = 1; n <= Count(); ++n) {
        const int next = ((from + step * n) % Count() + Count()) % Count();
        QRadioButton* button = m_buttons.at(next);
        if (button->isEnabled()) {
            button->setFocus(Qt::TabFocusReason);
            userSelected(next);
            break;
        }
    }
    return true;
}

namespace tessaro {
namespace {

const char* const kCaptionProperty = "screenReaderCaption";

// The name is built when a reader asks, so it always carries the shown value;
// QLabel::setText announces each change as a name change.
class ResultAccessible : public QAccessibleWidget {
public:
    explicit ResultAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) {
            return QAccessibleWidget::text(t);
        }
        const auto* label = static_cast<const QLabel*>(widget());
        const QString caption = label->property(kCaptionProperty).toString();
        return label->text().isEmpty() ? caption : caption + QLatin1Char(' ') + label->text();
    }
};

QAccessibleInterface* resultInterface(const QString&, QObject* object) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label != nullptr && label->property(kCaptionProperty).isValid()) {
        return new ResultAccessible(label);
    }
    return nullptr;
}

} // namespace

void captionForScreenReaders(QLabel* result, const QString& caption) {
    static const bool installed = [] {
        QAccessible::installFactory(&resultInterface);
        return true;
    }();
    (void)installed;
    result->setProperty(kCaptionProperty, caption);
    // A label built with a text may already have Qt's own interface (its
    // construction announces the text): replace it.
    QAccessibleInterface* existing = QAccessible::queryAccessibleInterface(result);
    if (dynamic_cast<ResultAccessible*>(existing) == nullptr && existing != nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
    }
}

} // namespace tessaro

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(false);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("sbText"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(m_label, 1);
}

QString TStatusBar::SimpleText() const {
    return m_label->text();
}

void TStatusBar::SetSimpleText(const QString& text) {
    m_label->setText(text);
}

void TStatusBar::SetDetail(const QString& detail) {
    m_label->setToolTip(detail);
}

QString tessaro::installedFamily(const QString& family) {
    // Metric-compatible stand-ins keep the layout where the named fonts are
    // absent. Named directly, not as substitutes: for a substitute Qt works
    // out the fallback fonts of the missing family and of its stand-in both.
    static const QStringList installed = QFontDatabase::families();
    static const QMap<QString, QString> standIns = {
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}};
    const QString standIn = standIns.value(family);
    if (!installed.contains(family) && !standIn.isEmpty() && installed.contains(standIn)) {
        return standIn;
    }
    return family;
}

QFont tessaro::windowFont() {
    QFont font(installedFamily(QStringLiteral("Arial")));
    font.setPixelSize(14);
    return font;
}

TPage::TPage(QWidget* parent) : QWidget(parent) {
    setFont(tessaro::windowFont());
}

namespace {

// The pictures are PNGs: said so, Qt reads them itself instead of first
// loading every image format plugin on the system to ask whether it can.
std::unique_ptr<QImageReader> pngReader(const QString& file) {
    auto reader = std::make_unique<QImageReader>(file, "png");
    reader->setAutoDetectImageFormat(false);
    return reader;
}

} // namespace

QImage tessaro::readPicture(const QString& file, const QSize& fallbackSize) {
    QImage picture = pngReader(file)->read();
    if (picture.isNull()) {
        // Without the resource library the window still starts, with a blank picture.
        picture = QImage(fallbackSize, QImage::Format_RGB32);
        picture.fill(Qt::white);
    }
    return picture;
}

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::readPendingFile() const {
    if (!m_file.isEmpty()) {
        m_picture = tessaro::readPicture(std::exchange(m_file, QString()), m_fallbackSize)
                        .convertToFormat(QImage::Format_RGB32);
    }
}

void TImage::SetPicture(const QImage& picture) {
    m_file.clear();
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    setFixedSize(m_picture.size());
    update();
}

void TImage::SetPictureFile(const QString& file, const QSize& fallbackSize) {
    const QSize size = pngReader(file)->size(); // the header only
    m_file = file;
    m_fallbackSize = size.isValid() ? size : fallbackSize;
    m_picture = QImage();
    setFixedSize(m_fallbackSize);
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Picture());
}
