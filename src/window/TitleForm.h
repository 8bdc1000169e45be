#pragma once
#include <QImage>
#include <QWidget>
#include <string>

namespace tx {

// The splash window: "Title.JPG" on a borderless, stay-on-top window centred
// on the screen. A key press closes it, and so does the main window's first
// activation. Closing deletes it later and clears Current(). Window thread only.
class TTitleForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 299;
    static constexpr int ClientHeight = 390;

    // Shows and paints the splash at once; nullptr (and nothing shown) when
    // the image is missing or cannot be decoded, so start-up simply goes on.
    static TTitleForm* ShowSplash(const std::string& programFolder);
    // The splash still showing, or nullptr.
    static TTitleForm* Current();
    // For the main window's activation handler: closes the splash if any.
    static void CloseOnActivation();

    explicit TTitleForm(QImage image);
    ~TTitleForm() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage image_;
};

}  // namespace tx
