#include "dialogs/HelpWindow.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tx {

THelpWindow::THelpWindow(const QString& helpFile, QWidget* parent)
    : QWidget(parent, Qt::Window),
      helpFile_(helpFile.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/Help/Trova.html")
                                   : helpFile) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Trovamix Help"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->setAccessibleName(QStringLiteral("Help text"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(browser_);
    resize(640, 560);
}

QString THelpWindow::CurrentTopic() const { return topic_; }

void THelpWindow::ShowTopic(const QString& anchor) {
    const QString topic = anchor.isEmpty() ? QStringLiteral("contents") : anchor;
    topic_ = topic;
    if (!QFileInfo::exists(helpFile_)) {
        browser_->setHtml(QStringLiteral("<h2>Help is missing</h2><p>The help file <code>%1</code> was not found. "
                                         "It belongs beside the program in the folder <code>Help</code>.</p>")
                              .arg(helpFile_.toHtmlEscaped()));
    } else {
        QUrl url = QUrl::fromLocalFile(helpFile_);
        url.setFragment(topic);
        browser_->setSource(url);  // loads the page once; later topics only scroll
        loaded_ = true;
    }
    show();
    raise();
    activateWindow();
}

}  // namespace tx
