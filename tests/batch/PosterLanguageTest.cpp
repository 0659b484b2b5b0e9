// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-poster in the user's language: its help and messages, and the texts it prints on the
// sheets, German under a German locale and English under C.
#include "TestSupport.h"
#include "ToolRun.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QString kGerman = QStringLiteral("de_DE.UTF-8");
const QString kEnglish = QStringLiteral("C.UTF-8");

QSet<QString> OptionNames(const QString& help)
{
    QSet<QString> names;
    const QRegularExpression option(QStringLiteral("^ +(?:-[a-z], )?(--[a-z-]+)"),
                                    QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& m : option.globalMatch(help))
        names << m.captured(1);
    return names;
}

// The text of one page of a PDF file as pdftotext reads it, lines joined by blanks.
QString PageText(const QString& pdf, int page)
{
    const QString out = QStringLiteral("page%1.txt").arg(page);
    if (!testsupport::Run(
            QStringLiteral("pdftotext -f %1 -l %1 '%2' '%3'").arg(page).arg(pdf, out)))
        return {};
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).simplified();
}

} // namespace

TEST(batch_tool, HelpAndMessagesInTheUsersLanguage)
{
    const ToolRun german = RunToolInLocale(kGerman, {QStringLiteral("--help")});
    const ToolRun english = RunToolInLocale(kEnglish, {QStringLiteral("--help")});
    ASSERT_EQ(german.status, 0) << german.err.toStdString();
    ASSERT_EQ(english.status, 0) << english.err.toStdString();
    EXPECT_TRUE(german.out.startsWith(QStringLiteral("Aufruf: velmora-poster ")))
        << german.out.toStdString();
    EXPECT_TRUE(german.out.contains(QStringLiteral("„Breite in Seiten:“ (0.1 bis 100)")));
    EXPECT_TRUE(german.out.contains(QStringLiteral("Ein: „Schnittlinien“ (Vorgabe).")));
    EXPECT_FALSE(german.out.contains(QStringLiteral("Width in pages")));
    EXPECT_TRUE(english.out.startsWith(QStringLiteral("Usage: velmora-poster ")));
    EXPECT_TRUE(english.out.contains(QStringLiteral("\"Width in pages:\" (0.1 to 100)")));
    EXPECT_FALSE(english.out.contains(QStringLiteral("Breite")));
    // The options themselves are the same words in every language, as scripts and the shell
    // completion type them.
    EXPECT_EQ(OptionNames(german.out), OptionNames(english.out));
    EXPECT_GT(OptionNames(english.out).size(), 40);

    const QStringList wrong = {QStringLiteral("photo.png"), QStringLiteral("--width"),
                               QStringLiteral("lots")};
    EXPECT_EQ(RunToolInLocale(kGerman, wrong).err.toStdString(),
              "velmora-poster: --width erwartet eine Seitenzahl von 0.1 bis 100 oder eine Länge "
              "in mm, cm, m oder in, nicht „lots“\n");
    EXPECT_EQ(RunToolInLocale(kEnglish, wrong).err.toStdString(),
              "velmora-poster: --width wants a number of pages from 0.1 to 100, or a length in "
              "mm, cm, m or in, not \"lots\"\n");
}

// The language is the first of the user's that the program speaks, English among them, as the
// system's own programs choose; the C locale is English whatever LANGUAGE says.
TEST(batch_tool, TheFirstOfTheUsersLanguagesThatItSpeaks)
{
    const struct
    {
        const char* lang;
        const char* language;
        const char* usage;
    } cases[] = {
        {"en_US.UTF-8", "fr:de", "Aufruf: "}, {"fr_FR.UTF-8", "", "Usage: "},
        {"de_AT.UTF-8", "", "Aufruf: "},      {"de_DE.UTF-8", "en:de", "Usage: "},
        {"C.UTF-8", "de", "Usage: "},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunToolInLocale(QString::fromLatin1(c.lang), {QStringLiteral("--help")},
                                            QString::fromLatin1(c.language));
        EXPECT_TRUE(run.out.startsWith(QString::fromLatin1(c.usage)))
            << c.lang << " " << c.language << ": " << FirstLines(run.out, 1).toStdString();
    }
}

// The labels, the assembly sheet and the test page are set in the PDF's standard Helvetica:
// the German letters must reach the page as themselves.
TEST(batch_tool, PrintedTextsInTheUsersLanguage)
{
    if (!testsupport::HaveProgram(QStringLiteral("pdftotext")))
        GTEST_SKIP() << "poppler-utils missing";
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(QStringLiteral("photo.png")));
    const QStringList poster = {QStringLiteral("photo.png"),
                                QStringLiteral("--width"),
                                QStringLiteral("2"),
                                QStringLiteral("--labels"),
                                QStringLiteral("--assembly-sheet"),
                                QStringLiteral("--off"),
                                QStringLiteral("1,0"),
                                QStringLiteral("-o")};
    const QStringList testPage = {QStringLiteral("--test-page"), QStringLiteral("-o")};

    // The report too, in the same words as the window.
    const ToolRun dry = RunToolInLocale(
        kGerman, poster + QStringList{QStringLiteral("de.pdf"), QStringLiteral("--dry-run")});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    const auto report = ReportLines(dry.out);
    EXPECT_EQ(report.count(QStringLiteral("Seiten nebeneinander")), 1u) << dry.out.toStdString();
    EXPECT_EQ(report.count(QStringLiteral("Zu druckende Seiten")), 1u) << dry.out.toStdString();
    EXPECT_TRUE(dry.out.contains(QStringLiteral("Optionen: Schnittlinien, ")))
        << dry.out.toStdString();
    ASSERT_EQ(RunToolInLocale(kGerman, poster + QStringList{QStringLiteral("de.pdf")}).status, 0);
    ASSERT_EQ(
        RunToolInLocale(kGerman, testPage + QStringList{QStringLiteral("de-test.pdf")}).status, 0);
    const QString sheet = PageText(QStringLiteral("de.pdf"), 1);
    EXPECT_TRUE(sheet.startsWith(QStringLiteral("Zusammenbau: 2 x 2 Seiten, ")))
        << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("Ausgelassen: B1"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("ausgelassen"))) << sheet.toStdString();
    const QString label = PageText(QStringLiteral("de.pdf"), 2);
    EXPECT_TRUE(label.contains(QStringLiteral("A1 Seite 1 von 3"))) << label.toStdString();
    const QString check = PageText(QStringLiteral("de-test.pdf"), 1);
    EXPECT_TRUE(check.contains(QStringLiteral("Velmora-Testseite"))) << check.toStdString();
    EXPECT_TRUE(check.contains(QStringLiteral("die Ränder außerhalb bleiben leer")))
        << check.toStdString();

    ASSERT_EQ(RunToolInLocale(kEnglish, poster + QStringList{QStringLiteral("en.pdf")}).status, 0);
    EXPECT_TRUE(PageText(QStringLiteral("en.pdf"), 1)
                    .startsWith(QStringLiteral("Assembly: 2 x 2 pages, ")));
    EXPECT_TRUE(PageText(QStringLiteral("en.pdf"), 2).contains(QStringLiteral("A1 page 1 of 3")));
}
