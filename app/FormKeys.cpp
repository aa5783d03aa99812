// TForm1 and the keyboard: where the focus goes when a page is shown, Enter on
// a page, Alt+letter when a tab and a control of the shown page share it, the
// selection after a calculation, and the arrow keys in the GPS use choice.
#include "Form1.h"

#include "Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QValidator>
#include <algorithm>

namespace {

QString mnemonicText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->buddy() != nullptr ? label->text() : QString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    return {};
}

// Where the mnemonic of `owner` puts the focus: a label's buddy, a radio
// group's selected item, a button itself.
QWidget* mnemonicTarget(QWidget* owner) {
    if (auto* label = qobject_cast<QLabel*>(owner)) {
        return label->buddy();
    }
    if (auto* group = qobject_cast<TRadioGroup*>(owner)) {
        return group->tabStop();
    }
    return qobject_cast<QAbstractButton*>(owner);
}

// Blanks around a typed or pasted locator are not part of it; without them
// a pasted " IO91wm" would be refused as a wrong length.
class WithoutBlanksAround : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override {
        qsizetype leading = 0;
        while (leading < input.size() && input.at(leading).isSpace()) {
            ++leading;
        }
        const QString trimmed = input.trimmed();
        if (trimmed.size() != input.size()) {
            position =
                static_cast<int>(std::clamp<qsizetype>(position - leading, 0, trimmed.size()));
            input = trimmed;
        }
        return Acceptable;
    }
};

} // namespace

void TForm1::watchEditing() {
    for (QLineEdit* locator : {edFmQth, edToQTH}) {
        locator->setValidator(new WithoutBlanksAround(locator));
    }
    // After the page's own handler (bound earlier): the field that keeps the
    // focus is selected as a whole, so that the next input is typed over it.
    for (QPushButton* calculate : {BitBtn1, CalcQTHtoGeo, btEnterCurrHead}) {
        connect(calculate, &QPushButton::clicked, this, [this] {
            auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            if (field != nullptr && PageControl1->currentWidget()->isAncestorOf(field)) {
                field->selectAll();
            }
        });
    }
    for (QWidget* item : rgGpsTarget->tabChain()) {
        item->installEventFilter(this);
    }
}

QPushButton* TForm1::pageDefaultButton() const {
    switch (PageControl1->currentIndex()) {
    case 0:
        return BitBtn1;
    case 1:
        return CalcQTHtoGeo;
    case 5:
        return btEnterCurrHead;
    default:
        return nullptr;
    }
}

void TForm1::keyPressEvent(QKeyEvent* e) {
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        // The shown page's default button; a disabled or hidden one does nothing.
        QPushButton* button = pageDefaultButton();
        if (button != nullptr && button->isEnabled() && button->isVisible()) {
            button->click();
        }
        e->accept();
        return;
    }
    const bool pageKey = e->key() == Qt::Key_PageDown || e->key() == Qt::Key_PageUp;
    if (pageKey && e->modifiers() == Qt::ControlModifier) {
        // The next or previous page, as Ctrl+Tab and Ctrl+Shift+Tab (the tab
        // widget's own keys) do.
        const int count = PageControl1->count();
        const int step = e->key() == Qt::Key_PageDown ? 1 : count - 1;
        PageControl1->setCurrentIndex((PageControl1->currentIndex() + step) % count);
        e->accept();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

QList<QWidget*> TForm1::pageTabOrder() const {
    QWidget* page = PageControl1->currentWidget();
    // The Lat/Long page's order starts at the destination (setLatLongTabOrder);
    // elsewhere the chain order of the page's widgets is their tab order.
    QWidget* head = page == PageControl1->widget(0) ? rgToLat->tabChain().constFirst() : page;
    QList<QWidget*> order;
    QWidget* widget = head;
    do {
        if (page->isAncestorOf(widget)) {
            order.append(widget);
        }
        widget = widget->nextInFocusChain();
    } while (widget != head);
    return order;
}

// The page's first control that Tab can reach. On Lat/Long that is the
// destination's degrees field rather than its N/S item before it, so that the
// user can type at once. With nothing to take it (the hidden Car content, all
// inputs locked by GPS), the tab row takes the focus: never Exit.
void TForm1::focusPageStart() {
    QWidget* page = PageControl1->currentWidget();
    QList<QWidget*> order = pageTabOrder();
    if (page == PageControl1->widget(0)) {
        std::rotate(order.begin(), std::find(order.begin(), order.end(), edToLatDeg), order.end());
    }
    const auto canTakeFocus = [page](const QWidget* widget) {
        return widget->isEnabled() && widget->isVisibleTo(page) &&
               (widget->focusPolicy() & Qt::TabFocus) != 0;
    };
    // On a page that calculates, an edit field first (with GPS feeding one
    // point, the other point's), its whole text selected: the focus may have
    // been there already, moved by the tab widget, and then no focus event
    // selects it. The Setup page starts at its first choice.
    for (QWidget* widget : order) {
        auto* field = qobject_cast<QLineEdit*>(widget);
        if (pageDefaultButton() != nullptr && field != nullptr && canTakeFocus(field)) {
            field->setFocus(Qt::TabFocusReason);
            field->selectAll();
            return;
        }
    }
    for (QWidget* widget : order) {
        if (canTakeFocus(widget)) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    PageControl1->tabBar()->setFocus(Qt::OtherFocusReason);
}

void TForm1::watchMnemonics() {
    PageControl1->tabBar()->installEventFilter(this);
    for (QWidget* widget : PageControl1->findChildren<QWidget*>()) {
        if (!QKeySequence::mnemonic(mnemonicText(widget)).isEmpty()) {
            widget->installEventFilter(this);
        }
    }
}

// In the GPS use choice the arrow keys move the focus only (a screen reader
// reads each item) and Space chooses: passing "as dest." on the way from
// "Off" to "as start" must not let a fix overwrite the destination.
bool TForm1::gpsChoiceArrow(QObject* watched, const QKeyEvent* key) {
    const QList<QWidget*> items = rgGpsTarget->tabChain();
    const auto from = items.indexOf(qobject_cast<QWidget*>(watched));
    int step = 0;
    if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Left) {
        step = -1;
    } else if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Right) {
        step = 1;
    }
    if (from < 0 || step == 0) {
        return false;
    }
    const auto count = items.size();
    for (qsizetype n = 1; n < count; ++n) {
        QWidget* item = items.at(((from + step * n) % count + count) % count);
        if (item->isEnabled()) {
            item->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        gpsChoiceArrow(watched, static_cast<QKeyEvent*>(event))) {
        return true;
    }
    if (event->type() == QEvent::Shortcut &&
        pageMnemonic(static_cast<QShortcutEvent*>(event)->key())) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Qt hands a letter that several visible widgets carry to each in turn, the
// tab included; every one of them lands here, and a control of the shown page
// wins. One control: it acts as if clicked (a label focuses its buddy, a group
// its selected item). Several: each press moves the focus to the next of them
// in tab order, as Windows does; Space or the arrows then choose a radio item.
// A disabled control keeps its letter from the tab. Returns false when no
// control of the page carries the letter: the tab's own.
bool TForm1::pageMnemonic(const QKeySequence& key) {
    QWidget* page = PageControl1->currentWidget();
    const QList<QWidget*> order = pageTabOrder();
    const auto position = [&order](QWidget* widget) { return order.indexOf(widget); };
    QList<QWidget*> owners;
    bool reserved = false;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(page) || QKeySequence::mnemonic(mnemonicText(widget)) != key) {
            continue;
        }
        reserved = true;
        QWidget* target = mnemonicTarget(widget);
        if (target != nullptr && target->isEnabled() && widget->isEnabled()) {
            owners.append(widget);
        }
    }
    std::sort(owners.begin(), owners.end(), [&](QWidget* a, QWidget* b) {
        return position(mnemonicTarget(a)) < position(mnemonicTarget(b));
    });
    if (owners.size() == 1) {
        QWidget* owner = owners.constFirst();
        auto* button = qobject_cast<QAbstractButton*>(owner);
        if (button == nullptr || button->isCheckable()) {
            mnemonicTarget(owner)->setFocus(Qt::ShortcutFocusReason);
        }
        if (button != nullptr) {
            button->click();
        }
    } else if (!owners.isEmpty()) {
        const int focus = position(QApplication::focusWidget());
        const auto next = std::find_if(owners.begin(), owners.end(), [&](QWidget* owner) {
            return position(mnemonicTarget(owner)) > focus;
        });
        mnemonicTarget(next != owners.end() ? *next : owners.constFirst())
            ->setFocus(Qt::ShortcutFocusReason);
    }
    return reserved;
}
