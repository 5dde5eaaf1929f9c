// The program's icon: the About page, the PNG files of every size and the SVG file show one design.
#include "app/identifiers.h"
#include "platform/program_icon.h"
#include "platform/window_system.h"
#include "tests/ui/support/harness.h"
#include "tests/ui/support/in_process.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

QImage Drawn(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    DrawProgramIcon(painter, size);
    return image;
}

// The largest difference of one colour or alpha channel between two pictures of one size.
int LargestDifference(const QImage& left, const QImage& right) {
    QImage a = left.convertToFormat(QImage::Format_ARGB32), b = right.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int y = 0; y < a.height(); y++) {
        for (int x = 0; x < a.width(); x++) {
            QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

// The sizes of the desktop's icon files.
constexpr int IconFileSizes[] = {16, 32, 48, 64, 128, 256};

} // namespace

TEST(ProgramIcon, TheAboutPageShowsTheDesignAtItsOwnSize) {
    ASSERT_EQ(StartProgram(MakeDevice(ShippedLanguageFile())), 0);
    Act("tab 3");
    QLabel* icon = nullptr;
    for (WindowRecord* record : AllWindowRecords())
        if (!record->destroyed && record->id == AboutIconId) icon = qobject_cast<QLabel*>(record->widget);
    ASSERT_NE(icon, nullptr);
    QImage shown = icon->pixmap().toImage();
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(LargestDifference(shown, Drawn(32)), 0);
    StopProgram();
}

TEST(ProgramIcon, TheBuiltFilesAreTheDesignAtEverySize) {
    std::string themeFolder = std::string(DIALDEX_BUILD_FOLDER) + "/icons/hicolor/";
    for (int size : IconFileSizes) {
        std::string name =
            std::to_string(size) + "x" + std::to_string(size) + "/apps/org.kestrel.dialdex.png";
        QImage file(QString::fromStdString(themeFolder + name));
        ASSERT_EQ(file.size(), QSize(size, size)) << name;
        EXPECT_EQ(LargestDifference(file, Drawn(size)), 0) << name;
    }
    EXPECT_EQ(ReadHostFile(themeFolder + "scalable/apps/org.kestrel.dialdex.svg"), ProgramIconSvg());
}

TEST(ProgramIcon, TheSvgDrawsWhatThePainterDraws) {
    QSvgRenderer svg(QByteArray::fromStdString(ProgramIconSvg()));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBox(), QRect(0, 0, ProgramIconGrid, ProgramIconGrid));
    for (int size : IconFileSizes) {
        QImage rendered(size, size, QImage::Format_ARGB32_Premultiplied);
        rendered.fill(Qt::transparent);
        QPainter painter(&rendered);
        svg.render(&painter);
        painter.end();
        // The two shade the edges a little differently (by up to 10 at 256 pixels); a shape out of place
        // by a quarter of a grid unit differs by 26 or more at every size.
        EXPECT_LE(LargestDifference(rendered, Drawn(size)), 12) << size;
    }
}
