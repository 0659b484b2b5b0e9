// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library against SANE's virtual "test" backend: devices, the picture of each frame
// layout, failures, cancelling, refusal while busy, and the hand-over of the scanned picture.
#include "SaneTestConfig.h"

#include "HeldPicture.h"
#include "ScanSamples.h"
#include "Translation.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace {

int Red(int32_t pixel)
{
    return (pixel >> 16) & 0xFF;
}
int Green(int32_t pixel)
{
    return (pixel >> 8) & 0xFF;
}
int Blue(int32_t pixel)
{
    return pixel & 0xFF;
}

int BitCount(const PictureRecord& picture)
{
    return picture.Info->bmiHeader.biBitCount;
}

bool SameColour(const RGBQUAD& c, int r, int g, int b)
{
    return c.rgbRed == r && c.rgbGreen == g && c.rgbBlue == b;
}

// 100 dpi over 200 x 200 mm in colour, 787 x 787 pixels, 1.9 MB: about six seconds with the
// backend's longest delay per buffer, long enough to be caught running.
ScanRequest SlowScan()
{
    ScanRequest request = SmallScan(QStringLiteral("Color"), 8);
    request.resolution = 100;
    request.area = ScanArea{0, 0, 200, 200};
    return request;
}
const QStringList kSlow = {QStringLiteral("read-delay true"),
                           QStringLiteral("read-delay-duration 200000")};

} // namespace

TEST(ScanLibrary, ListsTheVirtualDevicesAndWhatTheyOffer)
{
    const SaneTestConfig config({QStringLiteral("number_of_devices 2")});
    QString error = QStringLiteral("unchanged");
    const QList<ScannerDevice> devices = ListScanners(&error);
    ASSERT_EQ(devices.size(), 2) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(devices[0].name, "test:0");
    EXPECT_EQ(devices[1].name, "test:1");
    EXPECT_EQ(devices[1].vendor, "Noname");
    EXPECT_EQ(devices[1].model, "frontend-tester");
    EXPECT_EQ(devices[1].type, "virtual device");

    // Its mode list, depth list, resolution range and area in millimetres, and their values.
    ScannerCapabilities caps;
    ASSERT_TRUE(QueryScanner(QStringLiteral("test:1"), &caps, &error)) << error.toStdString();
    EXPECT_EQ(caps.modes, QStringList({QStringLiteral("Gray"), QStringLiteral("Color")}));
    EXPECT_EQ(caps.mode, "Gray");
    EXPECT_EQ(caps.depths, QList<int>({1, 8, 16}));
    EXPECT_EQ(caps.depth, 8);
    EXPECT_TRUE(caps.hasResolution && caps.hasArea && !caps.areaInPixels);
    EXPECT_EQ(QList<double>({caps.resolutionMin, caps.resolutionMax, caps.resolution}),
              QList<double>({1, 1200, 25}));
    EXPECT_EQ(QList<double>({caps.xMax, caps.yMax, caps.area.right, caps.area.bottom}),
              QList<double>({200, 200, 80, 100}));

    EXPECT_FALSE(QueryScanner(QStringLiteral("test:5"), &caps, &error));
    EXPECT_EQ(error, "The scanner \"test:5\" was not found.");
}

TEST(ScanLibrary, WithoutAnyDeviceItSaysNoScannerFound)
{
    // No backend at all. (The test backend itself can't be asked for no devices: with
    // number_of_devices 0 its sane_init dereferences a null pointer.)
    const SaneTestConfig config({}, SaneTestConfig::NoBackend);
    QString error;
    EXPECT_TRUE(ListScanners(&error).isEmpty());
    EXPECT_EQ(error, "No scanner found");
    ScannerCapabilities caps;
    EXPECT_FALSE(QueryScanner(QString(), &caps, &error));
    EXPECT_EQ(error, "No scanner found");
    const PictureRecord picture = ScanToPicture(ScanRequest{}, &error);
    EXPECT_EQ(picture.Bits, nullptr);
    EXPECT_EQ(error, "No scanner found");
}

TEST(ScanLibrary, ColourScanArrivesByEventRightWayUpAndOnlyOnce)
{
    const SaneTestConfig config({QStringLiteral("test-picture \"Color pattern\"")});
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(SmallScan(QStringLiteral("Color"), 8), &receiver, &error);
    ASSERT_NE(value, 0u) << error.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return !receiver.values.empty(); }));
    EXPECT_EQ(receiver.values, std::vector<uint32_t>{value});

    const HeldPicture picture(GetScanedDib(value));
    ASSERT_NE(picture->Bits, nullptr) << ScanErrorText(value).toStdString();
    EXPECT_EQ(DIBWidth(*picture), 78);
    EXPECT_EQ(DIBHeight(*picture), 98);
    EXPECT_EQ(BitCount(*picture), 24);
    // The pattern's bands from the top: red, then blue, then green; near the bottom a dark red.
    const int32_t red = getpixel(*picture, 8, 7);
    const int32_t blue = getpixel(*picture, 8, 28);
    const int32_t green = getpixel(*picture, 8, 49);
    EXPECT_TRUE(Red(red) > 200 && Green(red) == 0 && Blue(red) == 0) << std::hex << red;
    EXPECT_TRUE(Blue(blue) > 200 && Red(blue) == 0 && Green(blue) == 0) << std::hex << blue;
    EXPECT_TRUE(Green(green) > 200 && Red(green) == 0 && Blue(green) == 0) << std::hex << green;
    EXPECT_LT(Red(getpixel(*picture, 8, 91)), 20);

    // Handed out once: a second call, or an unknown value, gives no picture.
    EXPECT_EQ(GetScanedDib(value).Bits, nullptr);
    EXPECT_EQ(GetScanedDib(0).Bits, nullptr);
    EXPECT_EQ(GetScanedDib(value + 1000).Bits, nullptr);
    EXPECT_TRUE(ScanErrorText(value).isEmpty());

    // Pixels lost at the line ends: lines keep their byte length, the picture gets narrower.
    ScanRequest lossy = SmallScan(QStringLiteral("Color"), 8);
    lossy.deviceOptions = {{QStringLiteral("ppl-loss"), QStringLiteral("3")}};
    const HeldPicture narrow(ScanToPicture(lossy, &error));
    ASSERT_NE(narrow->Bits, nullptr) << error.toStdString();
    EXPECT_EQ(DIBWidth(*narrow), 75);
    int differing = 0;
    for (int y = 0; y < 98; ++y)
        for (int x = 0; x < 75; ++x)
            differing += getpixel(*narrow, x, y) != getpixel(*picture, x, y);
    EXPECT_EQ(differing, 0);
}

TEST(ScanLibrary, GreyAndLineArtScans)
{
    // The grid's squares are 10 mm, about 10 pixels at 25 dpi, white at the top-left corner.
    const SaneTestConfig config({QStringLiteral("test-picture \"Grid\"")});
    QString error;
    const HeldPicture grey(ScanToPicture(SmallScan(QStringLiteral("Gray"), 8), &error));
    ASSERT_NE(grey->Bits, nullptr) << error.toStdString();
    EXPECT_EQ(DIBWidth(*grey), 78);
    EXPECT_EQ(DIBHeight(*grey), 98);
    EXPECT_EQ(BitCount(*grey), 8);
    EXPECT_EQ(grey->HasPalette, 1);
    for (int i : {0, 77, 128, 255})
        EXPECT_TRUE(SameColour(grey->Info->bmiColors[i], i, i, i)) << i;
    EXPECT_EQ(getpixel(*grey, 0, 0), 255);
    EXPECT_EQ(getpixel(*grey, 12, 0), 0);
    EXPECT_EQ(getpixel(*grey, 0, 12), 0);
    EXPECT_EQ(getpixel(*grey, 12, 12), 255);

    const HeldPicture art(ScanToPicture(SmallScan(QStringLiteral("Gray"), 1), &error));
    ASSERT_NE(art->Bits, nullptr) << error.toStdString();
    EXPECT_EQ(DIBWidth(*art), 78); // not a whole number of bytes: the last byte is partly used
    EXPECT_EQ(DIBHeight(*art), 98);
    EXPECT_EQ(BitCount(*art), 1);
    EXPECT_TRUE(SameColour(art->Info->bmiColors[0], 0, 0, 0));
    EXPECT_TRUE(SameColour(art->Info->bmiColors[1], 255, 255, 255));
    int differing = 0;
    for (int y = 0; y < 98; ++y)
        for (int x = 0; x < 78; ++x)
            differing += getpixel(*art, x, y) != (getpixel(*grey, x, y) == 255 ? 1 : 0);
    EXPECT_EQ(differing, 0);
}

TEST(ScanLibrary, SixteenBitSamplesKeepTheirHighByte)
{
    // In 16 bits the pattern's ramps rise with x in the high byte and with y in the low byte:
    // 1283 (0x0503) at (9, 7), 17411 (0x4403) at (72, 7), 17495 (0x4457) at (72, 91).
    const SaneTestConfig config({QStringLiteral("test-picture \"Color pattern\"")});
    QString error;
    const HeldPicture grey(ScanToPicture(SmallScan(QStringLiteral("Gray"), 16), &error));
    ASSERT_NE(grey->Bits, nullptr) << error.toStdString();
    EXPECT_EQ(BitCount(*grey), 8);
    EXPECT_EQ(DIBWidth(*grey), 78);
    EXPECT_EQ(getpixel(*grey, 0, 0), 0x55);
    EXPECT_EQ(getpixel(*grey, 9, 7), 0x05);
    EXPECT_EQ(getpixel(*grey, 72, 7), 0x44);
    EXPECT_EQ(getpixel(*grey, 72, 91), 0x44);

    const HeldPicture colour(ScanToPicture(SmallScan(QStringLiteral("Color"), 16), &error));
    ASSERT_NE(colour->Bits, nullptr) << error.toStdString();
    EXPECT_EQ(BitCount(*colour), 24);
    EXPECT_EQ(getpixel(*colour, 72, 7), 0x440000);
}

TEST(ScanLibrary, HandScannerFrameOfUnknownLengthGrowsAsItArrives)
{
    // A hand-held scanner is 110 mm wide and, on this backend, stops after 170 mm.
    const SaneTestConfig config({QStringLiteral("hand-scanner true"),
                                 QStringLiteral("read-delay true"),
                                 QStringLiteral("read-delay-duration 30000")});
    ScanRequest request = SmallScan(QStringLiteral("Gray"), 8);
    request.resolution = 100;
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(request, &receiver, &error);
    ASSERT_NE(value, 0u) << error.toStdString();
    bool sawUnknownLength = false;
    bool sawKnownLength = false;
    ASSERT_TRUE(WaitUntil([&] {
        const ScanProgress progress = ScanProgressOf(value);
        sawUnknownLength |=
            progress.running && progress.bytesDone > 0 && progress.bytesExpected == -1;
        sawKnownLength |= progress.running && progress.bytesExpected != -1;
        return !receiver.values.empty();
    }));
    EXPECT_TRUE(sawUnknownLength);
    EXPECT_FALSE(sawKnownLength);
    const HeldPicture picture(GetScanedDib(value));
    ASSERT_NE(picture->Bits, nullptr) << ScanErrorText(value).toStdString();
    EXPECT_EQ(DIBWidth(*picture), 433);
    EXPECT_EQ(DIBHeight(*picture), 669);
}

TEST(ScanLibrary, ThreePassFramesMakeTheSamePictureAsOnePass)
{
    const SaneTestConfig config({QStringLiteral("test-picture \"Color pattern\"")});
    QString error;
    const HeldPicture onePass(ScanToPicture(SmallScan(QStringLiteral("Color"), 8), &error));
    ASSERT_NE(onePass->Bits, nullptr) << error.toStdString();
    ScanRequest request = SmallScan(QStringLiteral("Color"), 8);
    // Blue first: a frontend that put frames in order of arrival would swap red and blue.
    request.deviceOptions = {{QStringLiteral("three-pass"), QStringLiteral("yes")},
                             {QStringLiteral("three-pass-order"), QStringLiteral("BGR")}};
    const HeldPicture threePass(ScanToPicture(request, &error));
    ASSERT_NE(threePass->Bits, nullptr) << error.toStdString();
    ASSERT_EQ(DIBWidth(*threePass), DIBWidth(*onePass));
    ASSERT_EQ(DIBHeight(*threePass), DIBHeight(*onePass));
    EXPECT_EQ(std::memcmp(threePass->Bits, onePass->Bits, onePass->Info->bmiHeader.biSizeImage), 0);
}

TEST(ScanLibrary, FailuresGiveNoPictureAndSayWhy)
{
    const SaneTestConfig config;
    for (const char* status : {"SANE_STATUS_IO_ERROR", "SANE_STATUS_JAMMED", "SANE_STATUS_NO_DOCS",
                               "SANE_STATUS_DEVICE_BUSY", "SANE_STATUS_EOF"}) {
        ScanRequest request = SmallScan(QStringLiteral("Gray"), 8);
        request.deviceOptions = {
            {QStringLiteral("read-return-value"), QString::fromLatin1(status)}};
        QString error;
        EXPECT_EQ(ScanToPicture(request, &error).Bits, nullptr) << status;
        EXPECT_EQ(error, testsupport::SaneFailureText(status));
    }

    // Through the event, the failure reaches the receiver too, and its text stays readable.
    ScanRequest jammed = SmallScan(QStringLiteral("Gray"), 8);
    jammed.deviceOptions = {
        {QStringLiteral("read-return-value"), QStringLiteral("SANE_STATUS_JAMMED")}};
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(jammed, &receiver, &error);
    ASSERT_NE(value, 0u);
    ASSERT_TRUE(WaitUntil([&] { return !receiver.values.empty(); }));
    EXPECT_EQ(GetScanedDib(value).Bits, nullptr);
    EXPECT_EQ(ScanErrorText(value), "The scanner is jammed.");

    // Settings and devices that are not there.
    ScanRequest badMode = SmallScan(QStringLiteral("Lineart"), 0);
    EXPECT_EQ(ScanToPicture(badMode, &error).Bits, nullptr);
    EXPECT_EQ(error, "The scanner does not offer \"Lineart\" for \"mode\".");
    ScanRequest badOption = SmallScan(QStringLiteral("Gray"), 8);
    badOption.deviceOptions = {{QStringLiteral("lamp-colour"), QStringLiteral("blue")}};
    EXPECT_EQ(ScanToPicture(badOption, &error).Bits, nullptr);
    EXPECT_EQ(error, "The scanner has no setting \"lamp-colour\".");
    ScanRequest gone = SmallScan(QStringLiteral("Gray"), 8);
    gone.device = QStringLiteral("test:7");
    EXPECT_EQ(ScanToPicture(gone, &error).Bits, nullptr);
    EXPECT_EQ(error, "The scanner \"test:7\" was not found.");

    // The device keeps its settings from one scan to the next, as real ones do, so the failure
    // is switched off again from here on.
    const std::pair<QString, QString> noFailure{QStringLiteral("read-return-value"),
                                                QStringLiteral("Default")};
    // One-bit colour, whose bit layout backends don't agree on, is refused, not guessed at.
    ScanRequest colourBits = SmallScan(QStringLiteral("Color"), 1);
    colourBits.deviceOptions = {noFailure};
    EXPECT_EQ(ScanToPicture(colourBits, &error).Bits, nullptr);
    EXPECT_EQ(error, "The scanner sent a picture in a form this program can't read.");

    // None of these left the device open or the library busy.
    ScanRequest fine = SmallScan(QStringLiteral("Gray"), 8);
    fine.deviceOptions = {noFailure};
    const HeldPicture picture(ScanToPicture(fine, &error));
    EXPECT_NE(picture->Bits, nullptr) << error.toStdString();
}

// The helper says what went wrong by a code with its details; the program says it in the user's
// language, the details in their places.
TEST(ScanLibrary, TheHelpersFailuresInTheUsersLanguage)
{
    const SaneTestConfig config;
    ASSERT_TRUE(InstallTranslations(QLocale(QLocale::German, QLocale::Germany),
                                    {QStringLiteral(VELMORA_TRANSLATIONS)}));
    QString error;
    EXPECT_EQ(ScanToPicture(SmallScan(QStringLiteral("Lineart"), 0), &error).Bits, nullptr);
    EXPECT_EQ(error, QStringLiteral("Der Scanner bietet „Lineart“ für „mode“ nicht an."));
    ScanRequest gone = SmallScan(QStringLiteral("Gray"), 8);
    gone.device = QStringLiteral("test:7");
    EXPECT_EQ(ScanToPicture(gone, &error).Bits, nullptr);
    EXPECT_EQ(error, QStringLiteral("Der Scanner „test:7“ wurde nicht gefunden."));
    RemoveTranslations();
    EXPECT_EQ(ScanToPicture(gone, &error).Bits, nullptr);
    EXPECT_EQ(error, QStringLiteral("The scanner \"test:7\" was not found."));
}

TEST(ScanLibrary, WhileAScanRunsOthersAreRefusedAndCancelEndsItPromptly)
{
    const SaneTestConfig config(kSlow);
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(SlowScan(), &receiver, &error);
    ASSERT_NE(value, 0u) << error.toStdString();

    const QString busy = QStringLiteral("A scan is already running.");
    EXPECT_EQ(StartScan(SmallScan(QStringLiteral("Gray"), 8), &receiver, &error), 0u);
    EXPECT_EQ(error, busy);
    EXPECT_EQ(ScanToPicture(SmallScan(QStringLiteral("Gray"), 8), &error).Bits, nullptr);
    EXPECT_EQ(error, busy);
    EXPECT_TRUE(ListScanners(&error).isEmpty());
    EXPECT_EQ(error, busy);
    ScannerCapabilities caps;
    EXPECT_FALSE(QueryScanner(QStringLiteral("test:0"), &caps, &error));
    EXPECT_EQ(error, busy);

    ScanProgress progress;
    ASSERT_TRUE(WaitUntil([&] {
        progress = ScanProgressOf(value);
        return progress.bytesDone > 0;
    }));
    EXPECT_TRUE(progress.running);
    EXPECT_EQ(progress.bytesExpected, int64_t(787) * 787 * 3);
    EXPECT_LT(progress.bytesDone, progress.bytesExpected);

    QElapsedTimer clock;
    clock.start();
    CancelScan(value);
    ASSERT_TRUE(WaitUntil([&] { return !receiver.values.empty(); }));
    // A second is promised; the bound leaves room for a loaded machine, and the rest of the
    // scan would take five seconds more.
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(receiver.values, std::vector<uint32_t>{value}); // the refused ones send nothing
    EXPECT_FALSE(ScanProgressOf(value).running);
    EXPECT_EQ(GetScanedDib(value).Bits, nullptr);
    EXPECT_EQ(ScanErrorText(value), "The scan was cancelled.");

    const HeldPicture picture(ScanToPicture(SmallScan(QStringLiteral("Gray"), 8), &error));
    EXPECT_NE(picture->Bits, nullptr) << error.toStdString();
}

TEST(ScanLibrary, ACancelOrShutdownThatMeetsTheEndOfAScanDoesNotBreakTheNextListing)
{
    const SaneTestConfig config;
    for (int round = 0; round < 40; ++round) {
        ScanReceiver receiver;
        QString error;
        const uint32_t value = StartScan(SmallScan(QStringLiteral("Gray"), 8), &receiver, &error);
        ASSERT_NE(value, 0u) << error.toStdString();
        // Late cancels and a shutdown while the helper settles, as a closing dialog sends them.
        ASSERT_TRUE(WaitUntil([&] {
            CancelScan(value);
            return !ScanProgressOf(value).running;
        }));
        ShutdownScanner();
        const QList<ScannerDevice> devices = ListScanners(&error);
        ASSERT_EQ(devices.size(), 1) << "round " << round << ": " << error.toStdString();
    }
}

TEST(ScanLibrary, AReceiverDestroyedMidScanGetsNothingAndThePictureIsReleased)
{
    // One buffer of a small grey scan, held back 0.2 s.
    const SaneTestConfig config(kSlow);
    auto* receiver = new ScanReceiver;
    QString error;
    const uint32_t value = StartScan(SmallScan(QStringLiteral("Gray"), 8), receiver, &error);
    ASSERT_NE(value, 0u) << error.toStdString();
    delete receiver;
    ASSERT_TRUE(WaitUntil([&] { return !ScanProgressOf(value).running; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(ScanErrorText(value).isEmpty()); // it did scan
    EXPECT_EQ(GetScanedDib(value).Bits, nullptr);
}

TEST(ScanLibrary, ShutdownDuringAScanEndsItWithoutWaitingForTheDevice)
{
    const SaneTestConfig config(kSlow);
    ScanReceiver receiver;
    QString error;
    const uint32_t value = StartScan(SlowScan(), &receiver, &error);
    ASSERT_NE(value, 0u) << error.toStdString();
    ASSERT_TRUE(WaitUntil([&] { return ScanProgressOf(value).bytesDone > 0; }));
    QElapsedTimer clock;
    clock.start();
    ShutdownScanner();
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_TRUE(WaitUntil([&] { return !receiver.values.empty(); }));
    EXPECT_EQ(GetScanedDib(value).Bits, nullptr);

    // SANE starts again for the next scan.
    const HeldPicture picture(ScanToPicture(SmallScan(QStringLiteral("Gray"), 8), &error));
    EXPECT_NE(picture->Bits, nullptr) << error.toStdString();
}
