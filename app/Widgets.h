// Small widgets with the behaviour the window relies on: a radio group with an
// item index (-1 = none), a status bar with one simple text, a picture that can
// be drawn on, a tab page born with the window's font.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QImage>
#include <QList>
#include <QStatusBar>
#include <QStringList>
#include <QWidget>
#include <functional>

class QButtonGroup;
class QLabel;
class QRadioButton;

// Radio group: ItemIndex -1 means no selection. Assignment clamps (below -1 ->
// -1, past the end -> last item). OnClick runs whenever the index changes to an
// item, by the user or by code; never for the same index or for -1.
// The window's .ui sets the properties below as dynamic ones (columns before
// items, items before the index and the spoken names).
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(int columns READ columns WRITE setColumns)
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(
        QStringList itemAccessibleNames READ itemAccessibleNames WRITE SetItemAccessibleNames)
public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    TRadioGroup(const QString& caption, const QStringList& items, int columns,
                QWidget* parent = nullptr);

    int ItemIndex() const { return m_itemIndex; }
    void SetItemIndex(int index);
    int Count() const;
    QRadioButton* Button(int index) const;
    int columns() const { return m_columns; }
    void setColumns(int columns);
    QStringList items() const;
    void setItems(const QStringList& items); // replaces the buttons; no item is selected
    QStringList itemAccessibleNames() const;
    // Names a screen reader speaks for the items, in item order.
    void SetItemAccessibleNames(const QStringList& names);
    // The item buttons in order, for setting the window's tab order.
    QList<QWidget*> tabChain() const;
    // The item that Tab (and the group's mnemonic) moves the focus to.
    QRadioButton* tabStop() const;

    std::function<void(QObject* Sender)> OnClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void userSelected(int index);
    void updateTabStop();
    void syncButtons();  // checks exactly the item of m_itemIndex
    void placeButtons(); // column by column, as a radio group with columns reads

    QButtonGroup* m_group = nullptr;
    bool m_syncing = false;
    QList<QRadioButton*> m_buttons;
    int m_itemIndex = -1;
    int m_columns = 1;
};

namespace tessaro {

// A result label read by a screen reader as its caption followed by the value
// it shows ("Distance 427.5 km"), whatever code writes the value.
void captionForScreenReaders(QLabel* result, const QString& caption);

} // namespace tessaro

// Status line with one simple text panel. The detail text (e.g. the system's
// description of a serial error) is shown as the tooltip.
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);
    QString SimpleText() const;
    void SetSimpleText(const QString& text);
    void SetDetail(const QString& detail);

private:
    QLabel* m_label = nullptr;
};

namespace tessaro {
// `family`, or its metric-compatible stand-in where only that is installed.
QString installedFamily(const QString& family);
// The PNG `file`; where it cannot be read, a white picture of `fallbackSize`.
QImage readPicture(const QString& file, const QSize& fallbackSize);
// The window's font, in pixels so that the layout is the same at every screen
// resolution (Designer knows point sizes only).
QFont windowFont();
} // namespace tessaro

// A tab page. The layout builds each page alone and only then puts it into the
// tab widget; born with the window's font, its controls lay their texts out
// once, not first in the system's font and again in the window's.
class TPage : public QWidget {
    Q_OBJECT
public:
    explicit TPage(QWidget* parent = nullptr);
};

// Picture with pixels that handlers draw into (the car picture and its pointer).
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    QImage& Picture() {
        readPendingFile();
        return m_picture;
    }
    const QImage& Picture() const {
        readPendingFile();
        return m_picture;
    }
    void SetPicture(const QImage& picture); // converts to Format_RGB32, resizes the widget
    // The PNG `file` (a resource), read when first painted or drawn on: a
    // picture on a page not shown at the start costs nothing before the
    // window is on the screen. The widget takes its size from the file's header
    // now, or `fallbackSize` (filled white) where the file cannot be read.
    void SetPictureFile(const QString& file, const QSize& fallbackSize);
    void Changed() { update(); } // call after drawing into Picture()

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void readPendingFile() const;

    mutable QImage m_picture;
    mutable QString m_file; // still to be read into m_picture
    QSize m_fallbackSize;
};
