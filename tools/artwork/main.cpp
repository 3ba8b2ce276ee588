// Writes tarvane's artwork into the folder given as the first argument, and the program icon in the
// sizes of the desktop's icon theme into the second, when given.
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "icons.h"
#include "theme.h"
#include "window_art.h"

namespace {

bool Save(const QDir& folder, const char* name, const QImage& image) {
    const QString path = folder.filePath(QString::fromUtf8(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_artwork OUTPUT_FOLDER [ICON_FOLDER]\n");
        return 2;
    }
    if (!QFontDatabase::families().contains(QString::fromUtf8(artwork::kFontFamily))) {
        std::fprintf(stderr, "make_artwork: font %s is missing (fonts-wqy-microhei)\n", artwork::kFontFamily);
        return 1;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    using artwork::Glyph;
    const QColor badge = artwork::kOrange;
    bool ok = true;
    ok &= Save(folder, "background.png", artwork::Background());
    ok &= Save(folder, "toolbar_new.png", artwork::ToolbarStrip(Glyph::Plus, QString::fromUtf8("新建"), badge));
    ok &= Save(folder, "toolbar_start.png", artwork::ToolbarStrip(Glyph::Play, QString::fromUtf8("开始"), badge));
    ok &= Save(folder, "toolbar_pause.png", artwork::ToolbarStrip(Glyph::Pause, QString::fromUtf8("暂停"), badge));
    ok &= Save(folder, "toolbar_delete.png",
               artwork::ToolbarStrip(Glyph::Cross, QString::fromUtf8("删除"), artwork::kRed));
    ok &= Save(folder, "toolbar_options.png", artwork::ToolbarStrip(Glyph::Gear, QString::fromUtf8("配置"), badge));
    ok &= Save(folder, "toolbar_help.png", artwork::ToolbarStrip(Glyph::Question, QString::fromUtf8("帮助"), badge));
    ok &= Save(folder, "toolbar_about.png", artwork::ToolbarStrip(Glyph::Info, QString::fromUtf8("关于"), badge));
    ok &= Save(folder, "close.png", artwork::CaptionStrip(Glyph::Cross, QColor(226, 60, 40)));
    ok &= Save(folder, "minimise.png", artwork::CaptionStrip(Glyph::Minus, artwork::kOrangeLight));
    ok &= Save(folder, "main_icon.png", artwork::MainIcon(256));
    ok &= Save(folder, "row_idle.png", artwork::RowIdle());
    ok &= Save(folder, "row_failed.png", artwork::RowFailed());
    ok &= Save(folder, "row_downloading.png", artwork::RowDownloading());
    if (argc == 3) {
        const QDir icons(QString::fromLocal8Bit(argv[2]));
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            ok &= Save(icons, QString("tarvane-%1.png").arg(size).toUtf8().constData(), artwork::MainIcon(size));
        }
    }
    return ok ? 0 : 1;
}
