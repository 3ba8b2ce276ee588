#pragma once

#include <QImage>

namespace artwork {

QImage MainIcon(int size);
QImage RowIdle();
QImage RowFailed();
QImage RowDownloading();

}  // namespace artwork
