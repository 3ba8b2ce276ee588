#include "selvik/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

namespace selvik {

namespace {

// A globe with a download arrow: browsing and handing pages on for download.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QRectF globe(s * 0.04, s * 0.04, s * 0.78, s * 0.78);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2a, 0x7f, 0xd4));
    painter.drawEllipse(globe);
    painter.setPen(QPen(QColor(0xe8, 0xf2, 0xfc), qMax<qreal>(1.0, s / 24)));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(globe.adjusted(globe.width() * 0.3, 0, -globe.width() * 0.3, 0));
    painter.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
    painter.drawLine(QPointF(globe.center().x(), globe.top()), QPointF(globe.center().x(), globe.bottom()));

    QPainterPath arrow;
    arrow.moveTo(s * 0.64, s * 0.46);
    arrow.lineTo(s * 0.84, s * 0.46);
    arrow.lineTo(s * 0.84, s * 0.68);
    arrow.lineTo(s * 0.97, s * 0.68);
    arrow.lineTo(s * 0.74, s * 0.97);
    arrow.lineTo(s * 0.51, s * 0.68);
    arrow.lineTo(s * 0.64, s * 0.68);
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::white, qMax<qreal>(1.0, s / 32)));
    painter.setBrush(QColor(0xf0, 0x8c, 0x1e));
    painter.drawPath(arrow);
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(DrawIcon(size));
    }
    return icon;
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("关于 glimra"));
    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* text = new QLabel(QString::fromUtf8("glimra 1.0 版"), this);
    text->setObjectName(QStringLiteral("aboutText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

}  // namespace selvik
