#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPoint>
#include <functional>

namespace tarvane {

class UrlLauncher;

// Static text that behaves like a web link: link, visited and hover colours, a hand cursor, an
// optional underline and a tooltip with the address. A click either opens the address through the
// launcher or, with notifyParent, emits linkLabelClicked(controlId) for the parent (the stand-in for
// the registered message "WM_LINKLABEL_CLICKED"), or both.
class CLinkLabel : public QLabel {
    Q_OBJECT

public:
    static constexpr int kHoverCheckMs = 100;

    // Takes the label over the way a dialog template would hand it: `text` and `geometry` as laid
    // out, the parent's font. An empty text shows the address once one is set; a label whose
    // address is empty takes its text as the address.
    CLinkLabel(const QString& text, const QRect& geometry, int controlId, UrlLauncher& launcher,
               QWidget* parent = nullptr);
    ~CLinkLabel() override;

    int controlId() const { return controlId_; }

    void SetLinkUrl(const QString& url);
    const QString& linkUrl() const { return url_; }

    // An invalid `hover` colour stands for the system highlight colour.
    void SetLinkColors(const QColor& link, const QColor& visited, const QColor& hover);
    QColor linkColor() const { return linkColor_; }
    QColor visitedColor() const { return visitedColor_; }
    QColor hoverColor() const { return hoverColor_; }

    // An invalid colour means no background: the parent shows through.
    void SetBackColor(const QColor& color);
    QColor backColor() const { return backColor_; }

    void SetVisited(bool visited);
    bool isVisited() const { return isVisited_; }
    bool isOver() const { return isOver_; }

    // -1 underlined only while the mouse is over the label, 0 never, 1 always.
    void SetUnderlineMode(int mode);
    int underlineMode() const { return underlineMode_; }
    bool IsUnderlined() const { return font().underline(); }

    // A null text is ignored; otherwise shows `text` and refits the label.
    void SetLinkText(const QString& text);

    // Resizes the label to its text (measured underlined), keeping the edge or centre its
    // alignment names. Does nothing when fitToText is off.
    void FitToText();

    // Colour the text is drawn in now.
    QColor TextColor() const;

    // The hover check the timer runs; public so the leave logic can be driven directly.
    void CheckHover();
    // Where the cursor is, in global coordinates; tests replace it.
    void SetCursorSource(std::function<QPoint()> source);
    bool HoverTimerActive() const { return timerId_ != 0; }

    // Performs a click as the mouse would.
    void Click();

    bool openUrlOnClick = true;
    bool notifyParent = false;
    bool openInNewWindow = false;
    bool fitToText = true;
    bool showTooltip = true;

signals:
    void linkLabelClicked(int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void StartHover();

    int controlId_;
    UrlLauncher& launcher_;
    std::function<QPoint()> cursorSource_;
    QString url_;
    QColor linkColor_{0, 0, 238};
    QColor visitedColor_{85, 26, 139};
    QColor hoverColor_{255, 0, 0};
    QColor backColor_;
    bool isOver_ = false;
    bool isVisited_ = false;
    bool pressed_ = false;
    int underlineMode_ = -1;
    int timerId_ = 0;
    QFont plainFont_;
    QFont underlineFont_;
};

}  // namespace tarvane
