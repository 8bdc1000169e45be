#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace tx {

// The program's help: "Help/Trova.html" beside the program, shown in a
// browser window; topics are the page's anchors ("contents",
// "settings-wav", ...). Window thread only.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    // `helpFile` empty: "Help/Trova.html" in the program's folder.
    explicit THelpWindow(const QString& helpFile = {}, QWidget* parent = nullptr);

    const QString& HelpFile() const { return helpFile_; }
    QString CurrentTopic() const;
    QTextBrowser* Browser() const { return browser_; }

public slots:
    void ShowTopic(const QString& anchor);

private:
    QString helpFile_;
    QTextBrowser* browser_ = nullptr;
    bool loaded_ = false;
    QString topic_;  // the last asked for, also while the help file is missing
};

}  // namespace tx
