#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace tarvane {

// An image button cut from one strip of three equal images side by side: normal, pressed,
// mouse over. The button takes the size of one image.
class CHoverButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit CHoverButton(QWidget* parent = nullptr);

    // Loads the strip (a resource path such as those in resources/artwork.h) and resizes the
    // button to one image, keeping its position. False when the image cannot be read or is
    // narrower than three pixels; the button then keeps its previous strip.
    bool LoadStateBitmap(const QString& path);
    bool LoadStateBitmap(const QPixmap& strip);

    int imageWidth() const { return imageWidth_; }
    int imageHeight() const { return imageHeight_; }
    bool hover() const { return hover_; }

    // Left edge in the strip of the image the button shows now: pressed beats hover, and a
    // disabled button shows the normal image.
    int SourceX() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap stateBitmap_;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    bool hover_ = false;
};

}  // namespace tarvane
