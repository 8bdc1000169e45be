#include "dialogs/SongInfoForms.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QVBoxLayout>

#include "desktop/SongInfo.h"
#include "dialogs/RichTextDocument.h"

namespace tx {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The image buttons' glyph: a light tick on a dark round plate.
QIcon TickIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 160, 110), 1.5));
    p.setBrush(QColor(38, 44, 52));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    p.setPen(QPen(QColor(214, 236, 214), size / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const double s = size;
    p.drawPolyline(QPolygonF({{s * 0.28, s * 0.52}, {s * 0.44, s * 0.68}, {s * 0.73, s * 0.34}}));
    return QIcon(pm);
}

void CentreOnScreen(QWidget& w) {
    const QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
}

constexpr int SetInfoWidth = 407, SetInfoHeight = 343;
constexpr int InfoWidth = 387, InfoHeight = 240;
constexpr int CaptionBand = 16;
constexpr int FrameWidth = 2;  // the dialog frame drawn around the borderless window

}  // namespace

// --- the note edit

TRichNoteEdit::TRichNoteEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);  // Tab leaves the note, so the window is usable from the keyboard
}

void TRichNoteEdit::InsertPicture(const QImage& image) {
    if (image.isNull()) return;
    const QUrl name(QStringLiteral("notepicture:%1").arg(++pictures_));
    document()->addResource(QTextDocument::ImageResource, name, image);
    QTextImageFormat f;
    f.setName(name.toString());
    f.setWidth(image.width());
    f.setHeight(image.height());
    textCursor().insertImage(f);
}

namespace {

const char* const RtfTypes[] = {"text/rtf", "application/rtf", "text/richtext"};

QByteArray RtfOf(const QMimeData* source) {
    for (const char* type : RtfTypes)
        if (source->hasFormat(QLatin1String(type))) return source->data(QLatin1String(type));
    return {};
}

}  // namespace

bool TRichNoteEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasImage() || !RtfOf(source).isEmpty() || QTextEdit::canInsertFromMimeData(source);
}

void TRichNoteEdit::insertFromMimeData(const QMimeData* source) {
    if (source->hasImage()) {
        InsertPicture(qvariant_cast<QImage>(source->imageData()));
        return;
    }
    const QByteArray rtf = RtfOf(source);
    if (rtf.isEmpty()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    // Through the program's own reader: paragraphs, formats and pictures,
    // each picture given a name of this document.
    QTextDocument pasted;
    FillTextDocument(pasted, ReadRtf(std::string_view(rtf.constData(), size_t(rtf.size()))));
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next()) {
        if (block != pasted.begin()) cursor.insertBlock();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isImageFormat()) {
                cursor.insertText(fragment.text(), format);
                continue;
            }
            QTextImageFormat image = format.toImageFormat();
            const QImage picture = pasted.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull()) continue;
            const QUrl name(QStringLiteral("notepicture:%1").arg(++pictures_));
            document()->addResource(QTextDocument::ImageResource, name, picture);
            image.setName(name.toString());
            cursor.insertImage(image);
        }
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void ShowNote(QTextDocument& target, const TSongInfo& info) {
    if (!info.InfoRich.empty()) {
        FillTextDocument(target, ReadRtf(info.InfoRich));
    } else {
        target.clear();
        target.setPlainText(q(info.InfoPlain));
    }
}

// --- "Loop info"

TSetInfoForm::TSetInfoForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SetInfoForm"));
    setWindowTitle(QStringLiteral("Loop info"));
    setWindowFlag(Qt::Tool);
    setModal(true);
    setFixedSize(SetInfoWidth, SetInfoHeight);

    auto label = [this](const char* text, QWidget* buddy) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setBuddy(buddy);
        return l;
    };
    TitleEdit = new QLineEdit(this);
    TitleEdit->setObjectName(QStringLiteral("TitleEdit"));
    TitleEdit->setAccessibleName(QStringLiteral("Title"));
    InfoEdit = new TRichNoteEdit(this);
    InfoEdit->setObjectName(QStringLiteral("InfoEdit"));
    InfoEdit->setAccessibleName(QStringLiteral("Info"));
    InfoEdit->setAccessibleDescription(QStringLiteral("You can paste any RTF data (like bitmaps) too"));
    URLEdit = new QLineEdit(this);
    URLEdit->setObjectName(QStringLiteral("URLEdit"));
    URLEdit->setAccessibleName(QStringLiteral("URL"));
    ShowInfoBox = new QCheckBox(QStringLiteral("Show it on open"), this);
    ShowInfoBox->setObjectName(QStringLiteral("ShowInfoBox"));
    TransparentButton1 = new QPushButton(this);
    TransparentButton1->setObjectName(QStringLiteral("TransparentButton1"));
    TransparentButton1->setIcon(TickIcon(22));
    TransparentButton1->setIconSize(QSize(22, 22));
    TransparentButton1->setFlat(true);
    TransparentButton1->setAccessibleName(QStringLiteral("Close"));
    TransparentButton1->setToolTip(QStringLiteral("Close"));
    connect(TransparentButton1, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    layout->addWidget(label("Title", TitleEdit));
    layout->addWidget(TitleEdit);
    layout->addSpacing(4);
    layout->addWidget(label("Info (you can paste any RTF data (like bitmaps) too)", InfoEdit));
    layout->addWidget(InfoEdit, 1);
    layout->addSpacing(4);
    layout->addWidget(label("URL", URLEdit));
    layout->addWidget(URLEdit);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ShowInfoBox);
    bottom->addStretch(1);
    bottom->addWidget(TransparentButton1);
    layout->addLayout(bottom);
    setTabOrder(TitleEdit, InfoEdit);
    setTabOrder(InfoEdit, URLEdit);
    setTabOrder(URLEdit, ShowInfoBox);
    setTabOrder(ShowInfoBox, TransparentButton1);

    connect(TitleEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (TitleEdited) TitleEdited(text);
    });
    CentreOnScreen(*this);
}

void TSetInfoForm::Load(const TSongInfo& info) {
    loaded_ = info;
    const QSignalBlocker quiet(TitleEdit);  // loading is no edit of the caption
    TitleEdit->setText(q(info.Title));
    URLEdit->setText(q(info.URL));
    ShowInfoBox->setChecked(info.ShowInfo);
    ShowNote(*InfoEdit->document(), info);
    baseline_ = ReadTextDocument(*InfoEdit->document());
    InfoEdit->document()->setModified(false);
    InfoEdit->moveCursor(QTextCursor::Start);
    TitleEdit->setFocus();
}

TSongInfo TSetInfoForm::Result() const {
    TSongInfo r = loaded_;
    r.Title = TitleEdit->text().toStdString();
    r.URL = URLEdit->text().toStdString();
    r.ShowInfo = ShowInfoBox->isChecked();
    if (InfoEdit->document()->isModified()) {
        // Typed and typed back is no change: the note is compared as the
        // edit shows it, not by its bytes.
        const TRichDocument now = ReadTextDocument(*InfoEdit->document());
        if (!(now == baseline_)) {
            r.InfoRich = now.Paragraphs.empty() ? std::string() : WriteRtf(now);
            r.InfoPlain.clear();
        }
    }
    return r;
}

void TSetInfoForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (HelpRequested) HelpRequested(QStringLiteral("loop-info"));
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- the display window

TInfoForm::TInfoForm(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("InfoForm"));
    setWindowTitle(QStringLiteral("Loop info"));
    setFixedSize(InfoWidth + 2 * FrameWidth, InfoHeight + 2 * FrameWidth);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(30, 33, 38));
    pal.setColor(QPalette::WindowText, QColor(224, 226, 230));
    pal.setColor(QPalette::Base, QColor(30, 33, 38));
    pal.setColor(QPalette::Text, QColor(224, 226, 230));
    setPalette(pal);

    CaptionBack = new QWidget(this);
    CaptionBack->setObjectName(QStringLiteral("CaptionBack"));
    CaptionBack->setGeometry(FrameWidth, FrameWidth, InfoWidth, CaptionBand);
    CaptionBack->setAutoFillBackground(true);
    QPalette band = CaptionBack->palette();
    band.setColor(QPalette::Window, QColor(52, 74, 104));
    band.setColor(QPalette::WindowText, QColor(240, 242, 246));
    CaptionBack->setPalette(band);
    NewCaption = new QLabel(CaptionBack);
    NewCaption->setObjectName(QStringLiteral("NewCaption"));
    NewCaption->setGeometry(4, 0, InfoWidth - 8, CaptionBand);
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(12);
    bold.setBold(true);
    NewCaption->setFont(bold);
    NewCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    InfoEdit = new QTextBrowser(this);
    InfoEdit->setObjectName(QStringLiteral("InfoEdit"));
    InfoEdit->setAccessibleName(QStringLiteral("Info"));
    InfoEdit->setFrameShape(QFrame::NoFrame);
    InfoEdit->setReadOnly(true);
    InfoEdit->setOpenLinks(false);  // the one way out to a browser is the URL label
    InfoEdit->setTabChangesFocus(true);
    InfoEdit->setGeometry(FrameWidth + 6, FrameWidth + CaptionBand + 6, InfoWidth - 12, InfoHeight - CaptionBand - 46);

    URLEdit = new QPushButton(this);
    URLEdit->setObjectName(QStringLiteral("URLEdit"));
    URLEdit->setFlat(true);
    URLEdit->setCursor(Qt::PointingHandCursor);
    URLEdit->setStyleSheet(
        QStringLiteral("QPushButton { color: #9a9da3; font-weight: bold; text-align: left;"
                       " border: none; padding: 0 2px; }"
                       "QPushButton:focus { text-decoration: underline; }"));
    URLEdit->setGeometry(FrameWidth + 6, FrameWidth + InfoHeight - 32, InfoWidth - 60, 24);
    connect(URLEdit, &QPushButton::clicked, this, [this] { OpenShownUrl(); });

    OkBtn = new QPushButton(this);
    OkBtn->setObjectName(QStringLiteral("OkBtn"));
    OkBtn->setIcon(TickIcon(24));
    OkBtn->setIconSize(QSize(24, 24));
    OkBtn->setFlat(true);
    OkBtn->setAccessibleName(QStringLiteral("OK"));
    OkBtn->setGeometry(FrameWidth + InfoWidth - 38, FrameWidth + InfoHeight - 34, 32, 30);
    connect(OkBtn, &QPushButton::clicked, this, &QWidget::close);

    for (QWidget* w : {CaptionBack, static_cast<QWidget*>(NewCaption)}) w->installEventFilter(this);
    if (mainWindow_) mainWindow_->installEventFilter(this);
    setTabOrder(InfoEdit, URLEdit);
    setTabOrder(URLEdit, OkBtn);
}

void TInfoForm::ShowInfo(const TSongInfo& info) {
    NewCaption->setText(q(info.Title));
    setWindowTitle(info.Title.empty() ? QStringLiteral("Loop info") : q(info.Title));
    setAccessibleName(windowTitle());
    ShowNote(*InfoEdit->document(), info);
    InfoEdit->verticalScrollBar()->setValue(0);
    url_ = q(info.URL);
    URLEdit->setText(url_);
    URLEdit->setAccessibleName(url_);
    URLEdit->setVisible(!url_.isEmpty());
    const bool web = !BrowsableUrl(info.URL).empty();
    URLEdit->setCursor(web ? Qt::PointingHandCursor : Qt::ArrowCursor);
    URLEdit->setAccessibleDescription(web ? QStringLiteral("Opens the address in the web browser")
                                          : QStringLiteral("Not a web address: it is not opened"));
    beenActive_ = false;
    CentreOnScreen(*this);
    show();
    raise();
    activateWindow();
    // The window is active but no control holds the focus.
    if (QWidget* f = focusWidget()) f->clearFocus();
    setFocus();
}

bool TInfoForm::OpenShownUrl() {
    const std::string address = BrowsableUrl(url_.toStdString());
    if (address.empty()) return false;
    const QUrl url(q(address), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) return false;
    if (OpenUrl)
        OpenUrl(url);
    else
        QDesktopServices::openUrl(url);
    return true;
}

bool TInfoForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) beenActive_ = true;
    return QWidget::event(e);
}

bool TInfoForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == mainWindow_) {
        // Back in the main window after this one was looked at: it goes. An
        // activation that only finishes a closing dialog comes before this
        // window was ever active, and leaves it.
        if (e->type() == QEvent::WindowActivate && isVisible() && beenActive_) hide();
        return false;
    }
    if (e->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void TInfoForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Window));
    // A raised dialog frame: light top and left, dark bottom and right.
    p.setPen(QColor(96, 104, 116));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(QColor(10, 11, 13));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(QColor(64, 70, 80));
    p.drawRect(r.adjusted(1, 1, -2, -2));
}

void TInfoForm::mousePressEvent(QMouseEvent* event) {
    // A press on the frame closes at once, as the frame of a dialog takes no click.
    const QRect inner = rect().adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
    if (!inner.contains(event->position().toPoint())) {
        close();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TInfoForm::mouseReleaseEvent(QMouseEvent* event) {
    close();
    QWidget::mouseReleaseEvent(event);
}

void TInfoForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_F1:
            if (HelpRequested) HelpRequested(QStringLiteral("info-window"));
            return;
        case Qt::Key_Escape:
            close();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace tx
