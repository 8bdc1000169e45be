#include "controls/BuiltinImages.h"

#include <QPainter>
#include <QPixmap>

#ifdef TROVAMIX_HAVE_EMBEDDED_STYLE
#include "skin/EmbeddedStyle.h"
#endif

namespace tx {
namespace {

QImage DrawKnob(int w, int h) {
    // Two frames side by side: enabled and disabled.
    QImage image(w * 2, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    for (int f = 0; f < 2; ++f) {
        const QRect r(f * w, 0, w - 1, h - 1);
        p.fillRect(r.adjusted(1, 1, 0, 0), f == 0 ? QColor(200, 200, 200) : QColor(150, 150, 150));
        p.setPen(Qt::white);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(QColor(64, 64, 64));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(QColor(96, 96, 96));
        if (w > h)
            p.drawLine(r.center().x() - 3, r.center().y(), r.center().x() + 3, r.center().y());
        else
            p.drawLine(r.center().x(), r.center().y() - 3, r.center().x(), r.center().y() + 3);
    }
    return image;
}

QImage DrawArrows() {
    // Two 7x4 black arrows on white: up, then down.
    QImage image(14, 4, QImage::Format_ARGB32);
    image.fill(Qt::white);
    for (int row = 0; row < 4; ++row)
        for (int x = 3 - row; x <= 3 + row; ++x) {
            image.setPixel(x, row, qRgb(0, 0, 0));
            image.setPixel(7 + x, 3 - row, qRgb(0, 0, 0));
        }
    return image;
}

}  // namespace

QImage BuiltinImage(const QString& name) {
#ifdef TROVAMIX_HAVE_EMBEDDED_STYLE
    if (const TEmbeddedFile* file = FindEmbeddedResource(name.toStdString())) {
        QImage image;
        if (image.loadFromData(file->Data, int(file->Size))) return image;
    }
#endif
    if (name == "SKnob") return DrawKnob(20, 9);
    if (name == "SKnobH") return DrawKnob(9, 16);
    if (name == "ZavoUpDown") return DrawArrows();
    return {};
}

QCursor ProgramCursor(const QString& name) {
    const QImage image = BuiltinImage(name);
    if (image.isNull()) return QCursor(Qt::ArrowCursor);
    return QCursor(QPixmap::fromImage(image), 1, 1);
}

QIcon ProgramIcon() {
    // Decoded once: the program and its main window both ask at start-up.
    static const QIcon icon = [] {
        QIcon built;
        for (const char* size : {"18", "48", "128", "256"}) {
            const QImage image = BuiltinImage(QString("Icon%1").arg(size));
            if (!image.isNull()) built.addPixmap(QPixmap::fromImage(image));
        }
        return built;
    }();
    return icon;
}

}  // namespace tx
