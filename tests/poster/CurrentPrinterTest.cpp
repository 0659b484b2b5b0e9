// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurrentPrinter.h"

#include "PaperFormat.h"

#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

void ExpectPdfA4(const CurrentPrinter& p)
{
    EXPECT_TRUE(p.isUsable());
    EXPECT_TRUE(p.isPdfFile());
    // The tests' home has no documents folder, so the file goes to the home folder.
    EXPECT_EQ(p.printer().outputFileName(),
              QDir(testsupport::TestDir()).filePath("Kantelberg Poster.pdf"));
    EXPECT_EQ(p.description(),
              "PDF file: " + QDir(testsupport::TestDir()).filePath("Kantelberg Poster.pdf"));
    const PrinterMetrics m = p.metrics();
    ASSERT_TRUE(m.isValid());
    EXPECT_EQ(m.dpiX, p.printer().resolution());
    EXPECT_EQ(m.dpiY, p.printer().resolution());
    EXPECT_GE(m.dpiX, 300);
    // A4 is 210 x 297 mm.
    EXPECT_NEAR(m.paperWidth * 25.4 / m.dpiX, 210.0, 0.5);
    EXPECT_NEAR(m.paperHeight * 25.4 / m.dpiY, 297.0, 0.5);
    EXPECT_GT(m.pageWidth, 0);
    EXPECT_LE(m.offsetX + m.pageWidth, m.paperWidth);
    EXPECT_LE(m.offsetY + m.pageHeight, m.paperHeight);
    EXPECT_FALSE(PaperFormatOf(m, 5, 5).paperSize.isEmpty());
}

TEST(CurrentPrinter, FallsBackToPdfFileWithoutSystemPrinter)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "this machine has a printer";
    CurrentPrinter p;
    ExpectPdfA4(p);
}

TEST(CurrentPrinter, PdfFileOnRequestAndInDocumentsWhenThere)
{
    CurrentPrinter p(CurrentPrinter::Start::PdfFile);
    ExpectPdfA4(p);

    ASSERT_TRUE(QDir(testsupport::TestDir()).mkpath("Documents"));
    EXPECT_EQ(CurrentPrinter::DefaultPdfPath(),
              QDir(testsupport::TestDir()).filePath("Documents/Kantelberg Poster.pdf"));
}

TEST(CurrentPrinter, MetricsFollowTheLandscapeSetting)
{
    CurrentPrinter p(CurrentPrinter::Start::PdfFile);
    const PrinterMetrics portrait = p.metrics();
    p.printer().setPageOrientation(QPageLayout::Landscape);
    const PrinterMetrics landscape = p.metrics();
    EXPECT_EQ(landscape.paperWidth, portrait.paperHeight);
    EXPECT_EQ(landscape.paperHeight, portrait.paperWidth);
}

} // namespace
