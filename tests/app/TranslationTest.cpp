// SPDX-License-Identifier: GPL-3.0-or-later
// The German translation: whole, faithful to each text's placeholders and shortcut, and what the
// window shows in German.
#include "WindowTestSupport.h"
#include "ui_MainForm.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTextBrowser>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

namespace {

// Every text of the three windows a user reads, by the control that shows it.
std::map<QString, QString> ShownTexts()
{
    std::map<QString, QString> texts;
    StartedProgram program;
    for (QWidget* root : std::initializer_list<QWidget*>{program.window.get(), program.about.get(),
                                                         program.hk.get()}) {
        const QString window = root->objectName() + QLatin1Char('/');
        texts[window + QStringLiteral("title")] = root->windowTitle();
        for (QWidget* w : root->findChildren<QWidget*>()) {
            const QString name = window + w->objectName();
            texts[name + QStringLiteral(".toolTip")] = w->toolTip();
            if (auto* label = qobject_cast<QLabel*>(w))
                texts[name + QStringLiteral(".text")] = label->text();
            else if (auto* button = qobject_cast<QAbstractButton*>(w))
                texts[name + QStringLiteral(".text")] = button->text();
            else if (auto* group = qobject_cast<QGroupBox*>(w))
                texts[name + QStringLiteral(".title")] = group->title();
            else if (auto* combo = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < combo->count(); ++i)
                    texts[name + QStringLiteral(".item%1").arg(i)] = combo->itemText(i);
            else if (auto* tabs = qobject_cast<QTabWidget*>(w))
                for (int i = 0; i < tabs->count(); ++i)
                    texts[name + QStringLiteral(".tab%1").arg(i)] = tabs->tabText(i);
        }
    }
    return texts;
}

} // namespace

// A text left out of the translation, or shown without going through it, stays English in a
// German window. Only these read the same in both languages.
TEST(Translation, GermanWindowLeavesNoTextEnglish)
{
    const QSet<QString> sameInGerman = {QStringLiteral("OK"),      QStringLiteral("Info"),
                                        QStringLiteral("Zoom:"),   QStringLiteral("Papierformat"),
                                        QStringLiteral("Velmora"), QStringLiteral("Velmora V2.0b"),
                                        QStringLiteral("cm")};
    // The load page's types are named by their extensions.
    const QRegularExpression typeNames(QStringLiteral("^[A-Z]{3,4}(;[A-Z]{3,4})*$"));
    const std::map<QString, QString> english = ShownTexts();
    std::map<QString, QString> german;
    {
        const ProgramLanguage language("de_DE");
        ASSERT_TRUE(language.installed());
        german = ShownTexts();
    }
    ASSERT_EQ(german.size(), english.size());
    const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (const auto& [where, text] : english) {
        if (!text.contains(word) || sameInGerman.contains(text) || text.contains(typeNames))
            continue;
        EXPECT_NE(german.at(where).toStdString(), text.toStdString()) << where.toStdString();
    }
    // The words the window is known by.
    const auto shown = [&](const char* englishText) {
        for (const auto& [where, text] : english)
            if (text == QLatin1String(englishText))
                return german.at(where);
        return QStringLiteral("(no control shows it)");
    };
    EXPECT_EQ(shown("Width in pages:"), QStringLiteral("Breite in Seiten:"));
    EXPECT_EQ(shown("Height in pages:"), QStringLiteral("Höhe in Seiten:"));
    EXPECT_EQ(shown("Print size"), QStringLiteral("Druckgröße"));
    EXPECT_EQ(shown("&Quit"), QStringLiteral("&Beenden"));
    EXPECT_EQ(shown("Papierformat"), QStringLiteral("Papierformat"));
    // The window speaks English again once the translation is gone.
    EXPECT_EQ(ShownTexts(), english);
}

// A key that two controls in sight share presses only one of them: on each page, with the
// buttons under the pages, every German shortcut is a key of its own.
TEST(Translation, GermanShortcutsDoNotClash)
{
    const ProgramLanguage language("de_DE");
    ASSERT_TRUE(language.installed());
    StartedProgram program;
    Ui::MainForm& f = program.window->Form();
    const QRegularExpression shortcut(QStringLiteral("&([^& ])"));
    const auto key = [&](const QString& text) {
        return shortcut.match(text).captured(1).toLower();
    };
    QStringList always;
    for (QAbstractButton* button : {f.AboutBitBtn, f.HelpBtn, f.QuitBtn})
        always << key(button->text());
    for (int i = 0; i < f.PageControl1->count(); ++i) {
        QStringList keys = always;
        for (QWidget* w : f.PageControl1->widget(i)->findChildren<QWidget*>()) {
            if (auto* button = qobject_cast<QAbstractButton*>(w))
                keys << key(button->text());
            else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
                keys << key(label->text());
        }
        keys.removeAll(QString());
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size())
            << f.PageControl1->tabText(i).toStdString() << ": " << keys.join(u' ').toStdString();
    }
}

// The side pictures' titles are words too: each is written in the window's language.
TEST(Translation, SidePictureTitlesInTheWindowsLanguage)
{
    const auto titles = [] {
        StartedProgram program;
        Ui::MainForm& f = program.window->Form();
        QList<QImage> bands;
        for (QLabel* side : {f.Image2, f.Image3, f.Image4})
            bands << side->pixmap().toImage().copy(0, 10, side->width(), 30);
        return bands;
    };
    const QList<QImage> english = titles();
    QList<QImage> german;
    {
        const ProgramLanguage language("de_DE");
        ASSERT_TRUE(language.installed());
        german = titles();
    }
    ASSERT_EQ(english.size(), 3);
    for (qsizetype i = 0; i < english.size(); ++i) {
        ASSERT_FALSE(english[i].isNull());
        EXPECT_NE(english[i], german[i]) << i;
        // The title is there, in its maroon red.
        bool red = false;
        for (int y = 0; y < english[i].height() && !red; ++y)
            for (int x = 0; x < english[i].width() && !red; ++x)
                red = QColor(english[i].pixel(x, y)) == QColor(0xc0, 0x00, 0x00);
        EXPECT_TRUE(red) << i;
    }
}

// The help is a document of its own in each language, and opens in the window's.
TEST(Translation, HelpInTheWindowsLanguage)
{
    const ProgramLanguage language("de_DE");
    ASSERT_TRUE(language.installed());
    StartedProgram program;
    program.window->Form().HelpBtn->click();
    ASSERT_NE(program.window->HelpWindow(), nullptr);
    EXPECT_EQ(program.window->HelpWindow()->windowTitle(), QStringLiteral("Velmora-Hilfe"));
    auto* browser = program.window->HelpWindow()->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    const QString text = browser->toPlainText();
    for (const char* topic : {"Schritt für Schritt", "Bild laden", "Druckgröße", "Schnittlinie",
                              "Klebelinie", "Kleberand", "Breite in Seiten"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(topic))) << topic;
}

// Every text of the sources has its German, which carries the same placeholders (a lost %2 would
// drop a file name from a message), the same one shortcut (a lost & leaves a control without its
// key) and the same blanks at its ends (the texts put together from pieces need them).
TEST(Translation, EveryTextHasItsGermanWithItsPlaceholdersAndShortcut)
{
    QFile file(QStringLiteral(VELMORA_TS_FILE));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    const QRegularExpression shortcut(QStringLiteral("&(?=[^& ])"));
    const auto placeholders = [&](const QString& text) {
        QStringList found;
        for (const QRegularExpressionMatch& m : placeholder.globalMatch(text))
            found << m.captured();
        found.sort();
        return found;
    };
    const auto ends = [](const QString& text) {
        return std::pair(!text.isEmpty() && text.front().isSpace(),
                         !text.isEmpty() && text.back().isSpace());
    };
    int messages = 0;
    QString context, source;
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QStringLiteral("type")).toString();
            const QString german = xml.readElementText();
            const std::string what = (context + QStringLiteral(": ") + source).toStdString();
            ++messages;
            EXPECT_TRUE(type.isEmpty()) << type.toStdString() << " " << what;
            EXPECT_FALSE(german.isEmpty()) << what;
            EXPECT_EQ(placeholders(german), placeholders(source)) << what;
            EXPECT_EQ(german.count(shortcut), source.count(shortcut)) << what;
            EXPECT_EQ(ends(german), ends(source)) << what;
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(messages, 300);
}
