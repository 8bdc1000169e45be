#include "window/TitleForm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include "desktop/StartupPaths.h"
#include "window/JpegImage.h"

namespace tx {

namespace {
QPointer<TTitleForm> current;
}

TTitleForm::TTitleForm(QImage image)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), image_(std::move(image)) {
    setObjectName(QStringLiteral("TitleForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(ClientWidth, ClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

TTitleForm::~TTitleForm() {
    if (current == this) current = nullptr;
}

TTitleForm* TTitleForm::ShowSplash(const std::string& programFolder) {
    QImage image = LoadJpegFile(programFolder + TitleImageName);
    if (image.isNull()) return nullptr;
    if (current) current->close();
    auto* form = new TTitleForm(std::move(image));
    current = form;
    form->show();
    form->raise();
    form->activateWindow();
    // Painted now: the rest of start-up keeps the event loop busy for a while.
    form->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return form;
}

TTitleForm* TTitleForm::Current() { return current; }

void TTitleForm::CloseOnActivation() {
    if (current) current->close();
}

void TTitleForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

void TTitleForm::keyPressEvent(QKeyEvent*) { close(); }

// The reference goes at once; the window itself is deleted later.
void TTitleForm::closeEvent(QCloseEvent* event) {
    if (current == this) current = nullptr;
    QWidget::closeEvent(event);
}

}  // namespace tx
