// dialdex-icon-files: writes the desktop's icon files of the program's icon, drawn by the same code as the
// About page's icon. Run by the build; not installed.
//
//   dialdex-icon-files FOLDER NAME SIZE...
//
// writes FOLDER/hicolor/SIZExSIZE/apps/NAME.png for each SIZE and FOLDER/hicolor/scalable/apps/NAME.svg.
// Exit codes: 0 written, 1 a file could not be written, 2 wrong usage.
#include "platform/program_icon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <string>

// Makes the file's folder and writes the bytes. Returns 0, or 1 with the reason on standard error.
static int WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr, "dialdex-icon-files: %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}

// The icon drawn at size x size pixels as PNG bytes (empty on failure).
static QByteArray PngOf(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    DrawProgramIcon(painter, size);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) bytes.clear();
    return bytes;
}

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: dialdex-icon-files FOLDER NAME SIZE...\n", stderr);
        return 2;
    }
    QString themeFolder = QString::fromLocal8Bit(argv[1]) + "/hicolor/";
    QString name = QString::fromLocal8Bit(argv[2]);
    for (int index = 3; index < argc; index++) {
        char* end = nullptr;
        long size = std::strtol(argv[index], &end, 10);
        if (*end != 0 || size < 1 || size > 1024) {
            std::fprintf(stderr, "dialdex-icon-files: not a size: %s\n", argv[index]);
            return 2;
        }
        QByteArray png = PngOf(int(size));
        QString path = themeFolder + QString("%1x%1/apps/").arg(size) + name + ".png";
        if (png.isEmpty()) {
            std::fprintf(stderr, "dialdex-icon-files: %s: cannot encode PNG\n", qPrintable(path));
            return 1;
        }
        if (WriteFile(path, png) != 0) return 1;
    }
    return WriteFile(themeFolder + "scalable/apps/" + name + ".svg",
                     QByteArray::fromStdString(ProgramIconSvg()));
}
