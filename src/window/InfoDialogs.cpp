#include "window/InfoDialogs.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "dialogs/RichTextDocument.h"

namespace tx {

const std::vector<QString>& Tips() {
    static const std::vector<QString> tips = {
        "Check the help file and click anywhere on the screen capture to learn Trovamix...",
        "Use the left numeric keyboard keys to quickly mute/unmute the first ten channels (CTRL key for solo)...",
        "Press the CTRL key while setting a dot volume to adjust the whole line volumes...",
        "Use the 'line' mode on the piano keyboard to transpose...",
        "Right click any wheel to move it more accurately...",
        "You can easily drop WAV files from Sonelo or the explorer/Windows Commander to any of the channel buttons...",
        "Dropping a WAV file anywhere but on a channel button will create a new channel...",
        "The space bar starts the loop while the L key toggles the loop led...",
        "So MIDI and samples can't be used together? No. Just select the 'MIDI only' or 'WAV only' menu option when "
        "you want to switch between them...",
        "Use the 'Collect Samples' menu option to copy all the WAV samples you used in one directory when you want to "
        "share your own loops with somebody else...",
        "The 'Collect Samples' menu option is just grayed when your loop doesn't contain any sample to collect...",
        "Almost every panel on the main window is detachable (right click)...",
        "Double click anywhere on the main window to minimize/maximize it...",
        "Use the SHIFT key to quickly show the graph edit window. V and P keys show the wheels while K shows the "
        "piano keyboard...",
        "Use the right mouse button on the graph edit window to draw 'fading' lines...",
        "Any question or problem? Use the Trovamix web site message board...",
        "Tips of the day can damage your brain...",
    };
    return tips;
}

void ShowTips(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setWindowTitle("And now for some annoying tips...");
    auto* layout = new QVBoxLayout(&dialog);
    auto* header = new QLabel("Welcome at ...");
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    auto* text = new QLabel(Tips().front());
    text->setWordWrap(true);
    text->setMinimumSize(320, 60);
    auto* annoy = new QCheckBox("Annoy me next time");
    annoy->setChecked(true);
    auto* next = new QPushButton("&Next");
    auto* closeButton = new QPushButton("&Close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(annoy);
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(closeButton);
    layout->addWidget(header);
    layout->addWidget(text);
    layout->addLayout(buttons);
    size_t index = 0;
    QObject::connect(next, &QPushButton::clicked, &dialog, [&] {
        index = (index + 1) % Tips().size();
        text->setText(Tips()[index]);
    });
    QObject::connect(closeButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
}

void ShowProductsInfo() {
    auto* view = new QTextBrowser;
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setObjectName("ProductsInfo");
    view->setWindowTitle("Products info");
    view->setReadOnly(true);
    if (!LoadRtfFile(*view->document(), QCoreApplication::applicationDirPath() + "/InfoTxt.rtf") ||
        view->document()->isEmpty())
        view->setPlainText("Trovamix");
    view->resize(420, 320);
    view->show();
}

void ShowAbout(QWidget* parent) {
    QMessageBox::about(
        parent, "About Trovamix",
        QString("Trovamix %1\nA loop-based drum machine and step sequencer.").arg(TROVAMIX_VERSION_TEXT));
}

}  // namespace tx
