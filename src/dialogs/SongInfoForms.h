#pragma once
#include <QDialog>
#include <QTextEdit>
#include <QUrl>
#include <functional>

#include "desktop/RichText.h"
#include "model/SongInfo.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;

namespace tx {

// A rich-text edit that also takes pasted pictures and RTF, so a note can
// hold what another program copied. Window thread only.
class TRichNoteEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit TRichNoteEdit(QWidget* parent = nullptr);
    // Puts a picture in at the cursor, as a paste of one does.
    void InsertPicture(const QImage& image);
    // What a paste or a drop does (public for the tests that paste).
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int pictures_ = 0;
};

// Fills a read-only or editable document with a loop's note: the rich text
// when there is some, else the plain text of an older file.
void ShowNote(QTextDocument& target, const TSongInfo& info);

// "Loop info": title, note, URL and "Show it on open", edited modally. The
// caller puts Result() into the loop when the window closes. Window thread
// only.
class TSetInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetInfoForm(QWidget* parent = nullptr);

    void Load(const TSongInfo& info);
    // What the window holds now. A note nobody changed keeps the bytes it
    // came with, so an untouched loop is written back as it was read.
    TSongInfo Result() const;

    // Called with the title's text at every change, for the main window's caption.
    std::function<void(const QString& title)> TitleEdited;
    // F1: this window's help topic.
    std::function<void(const QString& topic)> HelpRequested;

    QLineEdit* TitleEdit = nullptr;
    TRichNoteEdit* InfoEdit = nullptr;
    QLineEdit* URLEdit = nullptr;
    QCheckBox* ShowInfoBox = nullptr;
    QPushButton* TransparentButton1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TSongInfo loaded_;
    TRichDocument baseline_;  // the note as the edit showed it before any change
};

// The song information shown after a loop with "Show it on open" was
// opened: title band, note, URL and OK. Any click on it closes it (the note
// scrolls and selects; the URL opens in the web browser). It hides when the
// main window is activated again after it had been active itself. Window
// thread only.
class TInfoForm : public QWidget {
    Q_OBJECT
public:
    // `mainWindow`: the window whose later activations hide this one.
    explicit TInfoForm(QWidget* mainWindow);

    // Fills the window and shows it without blocking; no control has the focus.
    void ShowInfo(const TSongInfo& info);
    // The browser call; unset: the desktop's. Only ever given http or https.
    std::function<void(const QUrl& url)> OpenUrl;
    std::function<void(const QString& topic)> HelpRequested;
    // The URL label's click: opens the address when it is a web address.
    // True when it was handed to the browser.
    bool OpenShownUrl();
    bool HasBeenActive() const { return beenActive_; }

    QWidget* CaptionBack = nullptr;
    QLabel* NewCaption = nullptr;
    QTextBrowser* InfoEdit = nullptr;
    QPushButton* URLEdit = nullptr;
    QPushButton* OkBtn = nullptr;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* mainWindow_;
    QString url_;
    bool beenActive_ = false;
};

}  // namespace tx
