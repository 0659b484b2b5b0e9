// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileFilter.h"
#include "GrafikRW.h"
#include "HeldPicture.h"

#include <QImage>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

TEST(FileFilter, TheLoadFilterKeepsItsEntriesAndAddsTheOtherTypes)
{
    const auto entries = ParseFilter(QString::fromLatin1(kLoadFilter));
    ASSERT_EQ(entries.size(), 17u);
    EXPECT_EQ(entries[0].description, "All pictures");
    EXPECT_EQ(entries[0].masks.mid(0, 11),
              QStringList({"*.BMP", "*.DIB", "*.RLE", "*.IFF", "*.LBM", "*.JPG", "*.JIF", "*.GIF",
                           "*.PCX", "*.TGA", "*.TIF"}));
    EXPECT_EQ(entries[1].description, "BMP;DIB;RLE");
    EXPECT_EQ(entries[1].masks, QStringList({"*.BMP", "*.DIB", "*.RLE"}));
    EXPECT_EQ(entries[7].description, "TIF");
    EXPECT_EQ(entries[8].description, "PNG");
    EXPECT_EQ(entries[14].description, "PDF");
    EXPECT_EQ(entries[15].masks, QStringList({"*.SVG", "*.SVGZ"}));
    EXPECT_EQ(entries[16].description, "All files (*.*)");
    EXPECT_EQ(entries[16].masks, QStringList({"*.*"}));
    EXPECT_EQ(ParseFilter("A|*.X|dangling").size(), 1u);
}

TEST(FileFilter, AllPicturesListsEveryFileThePictureReaderTakes)
{
    const QStringList all = ParseFilter(QString::fromLatin1(kLoadFilter)).front().masks;
    const std::vector<std::pair<const char*, const char*>> files = {
        {"a.png", "PNG"},  {"b.PNG", "PNG"},   {"c.jpeg", "JPEG"}, {"d.jpe", "JPEG"},
        {"e.JPG", "JPEG"}, {"f.tiff", "TIFF"}, {"g.tif", "TIFF"},  {"h.webp", "WEBP"},
        {"i.ppm", "PPM"},  {"j.pgm", "PGM"},   {"k.pbm", "PBM"},   {"l.Bmp", "BMP"},
        {"m.gif", "GIF"}};
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    for (const auto& [name, format] : files) {
        SCOPED_TRACE(name);
        if (!picture.save(QString::fromLatin1(name), format))
            continue; // no writer for it on this machine
        const HeldPicture read(OpenDib(name, 0));
        ASSERT_NE(read->Bits, nullptr) << "Velmora reads it";
        EXPECT_TRUE(MatchesMasks(QString::fromLatin1(name), all)) << "so the list shows it";
    }
}

TEST(FileFilter, MatchingIgnoresCase)
{
    struct Case
    {
        const char* name;
        QStringList masks;
        bool match;
    };
    const Case cases[] = {
        {"photo.jpg", {"*.JPG"}, true},      {"PHOTO.Jpg", {"*.JPG"}, true},
        {"photo.jpeg", {"*.JPG"}, false},    {"jpg", {"*.JPG"}, false},
        {"a.b.tif", {"*.TIF"}, true},        {"README", {"*.*"}, true},
        {"x.gif", {"*.BMP", "*.GIF"}, true}, {"x.gif", {}, false},
        {"a1.pcx", {"a?.PCX"}, true},        {"a12.pcx", {"a?.PCX"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMasks(c.name, c.masks), c.match) << c.name;
}

TEST(FileFilter, DrivesAreTheVolumesOfTheMountTable)
{
    const QString mounts = "/dev/sda1 / ext4 rw 0 0\n"
                           "proc /proc proc rw 0 0\n"
                           "tmpfs /tmp tmpfs rw 0 0\n"
                           "/dev/sda2 /boot/efi vfat rw 0 0\n"
                           "/dev/sda3 /home ext4 rw 0 0\n"
                           "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                           "/dev/sdc1 /run/media/ann/CAM vfat rw 0 0\n"
                           "/dev/sda1 /etc/hosts ext4 rw 0 0\n"
                           "server:/photos /net/photos nfs4 rw 0 0\n"
                           "/dev/sda3 /home ext4 rw 0 0\n";
    const std::vector<DriveEntry> expected = {{"/", "/"},
                                              {"/home", "/home"},
                                              {"/media/usb stick", "/media/usb stick"},
                                              {"/run/media/ann/CAM", "/run/media/ann/CAM"},
                                              {"/net/photos", "/net/photos"}};
    EXPECT_EQ(DrivesFromMounts(mounts), expected);
    // This machine has at least its root, and only folders.
    const auto here = ListDrives();
    ASSERT_FALSE(here.empty());
    EXPECT_EQ(here.front().path, "/");
}

TEST(FileFilter, TheVolumeHoldingAPathIsTheDeepestMount)
{
    const std::vector<DriveEntry> drives = {
        {"/", "/"}, {"/home", "/home"}, {"/home/ann/stick", "/home/ann/stick"}};
    EXPECT_EQ(VolumeHolding(drives, "/"), 0);
    EXPECT_EQ(VolumeHolding(drives, "/usr/share"), 0);
    EXPECT_EQ(VolumeHolding(drives, "/home"), 1);
    EXPECT_EQ(VolumeHolding(drives, "/home/ann"), 1);
    EXPECT_EQ(VolumeHolding(drives, "/homes"), 0); // a name that only begins alike
    EXPECT_EQ(VolumeHolding(drives, "/home/ann/stick/dcim"), 2);
    EXPECT_EQ(VolumeHolding({}, "/home"), -1);
}

TEST(FileFilter, DirectoryListShowsTheWayDownAndTheSubfolders)
{
    const std::vector<DirectoryLine> deep = DirectoryLines("/", "/home/ann", {"Music", "Photos"});
    const std::vector<DirectoryLine> expected = {{"/", "/", 0, true},
                                                 {"home", "/home", 1, true},
                                                 {"ann", "/home/ann", 2, true},
                                                 {"Music", "/home/ann/Music", 3, false},
                                                 {"Photos", "/home/ann/Photos", 3, false}};
    EXPECT_EQ(deep, expected);

    // At the root of a volume mounted below the root, the way starts at that volume.
    const std::vector<DirectoryLine> stick =
        DirectoryLines("/media/stick", "/media/stick/dcim", {});
    const std::vector<DirectoryLine> onStick = {{"/media/stick", "/media/stick", 0, true},
                                                {"dcim", "/media/stick/dcim", 1, true}};
    EXPECT_EQ(stick, onStick);

    const std::vector<DirectoryLine> root = DirectoryLines("/", "/", {"etc"});
    const std::vector<DirectoryLine> atRoot = {{"/", "/", 0, true}, {"etc", "/etc", 1, false}};
    EXPECT_EQ(root, atRoot);
}

} // namespace
