// SPDX-License-Identifier: GPL-3.0-or-later
#include "DotScreen.h"

#include "HeldPicture.h"
#include "PageCanvas.h"
#include "TestSupport.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

HeldPicture Grey(int width, int height, int level)
{
    HeldPicture p(newdib(width, height, 24, nullptr, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(p.get(), x, y, 0x010101 * level);
    return p;
}

// The share of the picture's columns x0..x1-1 drawn on the same place of the page as the
// whole picture would be, 10 device pixels a picture pixel, into a white page.
void DrawShare(QImage& page, const PictureRecord& picture, const DotGrid& grid, int x0, int x1)
{
    StretchRects r;
    r.srcX = x0;
    r.srcWidth = x1 - x0;
    r.srcHeight = DIBHeight(picture);
    r.destX = 10 * x0;
    r.destWidth = 10 * (x1 - x0);
    r.destHeight = 10 * DIBHeight(picture);
    QPainter painter(&page);
    PainterCanvas canvas(painter);
    canvas.FillDots(ShareDots(picture, r, grid),
                    QRect(r.destX, r.destY, r.destWidth, r.destHeight));
}

double Ink(const QImage& page)
{
    double ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            ink += 1 - qGray(page.pixel(x, y)) / 255.0;
    return ink / (double(page.width()) * page.height());
}

} // namespace

// On an even grey, the dots cover as much of the page as the grey is dark, also where they
// meet over the cells' corners.
TEST(DotScreen, DotsCoverAsMuchAsThePictureIsDark)
{
    for (const int level : {230, 178, 128, 77, 26, 0}) {
        SCOPED_TRACE(level);
        const HeldPicture grey = Grey(40, 30, level);
        QImage page(400, 300, QImage::Format_RGB32);
        page.fill(Qt::white);
        DrawShare(page, grey.get(), DotGrid{4, 4, false}, 0, 40);
        EXPECT_NEAR(Ink(page), 1 - level / 255.0, 0.02);
    }
    EXPECT_NEAR(CellCoverage(DotRadiusFor(0.9)), 0.9, 1e-9);
}

// Two sheets each drawing their share put the dots where one sheet drawing the whole would:
// a dot cut by a sheet's edge goes on on the next.
TEST(DotScreen, SharesOfTheGridJoinAsTheWholeGrid)
{
    HeldPicture ramp(newdib(30, 20, 24, nullptr, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            setpixel(ramp.get(), x, y, 0x010101 * (8 * x));
    const DotGrid grid{3.5, 3.5, false};
    QImage whole(300, 200, QImage::Format_RGB32), joined(300, 200, QImage::Format_RGB32);
    whole.fill(Qt::white);
    joined.fill(Qt::white);
    DrawShare(whole, ramp.get(), grid, 0, 30);
    DrawShare(joined, ramp.get(), grid, 0, 13);
    DrawShare(joined, ramp.get(), grid, 13, 30);
    EXPECT_LT(testsupport::MeanDifference(whole, joined), 0.5);
    EXPECT_GT(Ink(whole), 0.2);
}
