#include "FileFilter.h"

#include <gtest/gtest.h>

namespace {

TEST(FileFilter, TheLoadFilterHasNineEntries)
{
    const auto entries = ParseFilter(QString::fromLatin1(kLoadFilter));
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[0].description, "All pictures");
    EXPECT_EQ(entries[0].masks.size(), 11);
    EXPECT_EQ(entries[1].description, "BMP;DIB;RLE");
    EXPECT_EQ(entries[1].masks, QStringList({"*.BMP", "*.DIB", "*.RLE"}));
    EXPECT_EQ(entries[8].description, "All files (*.*)");
    EXPECT_EQ(entries[8].masks, QStringList({"*.*"}));
    EXPECT_EQ(ParseFilter("A|*.X|dangling").size(), 1u);
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

TEST(FileFilter, DrivesFromTheMountTable)
{
    const QString mounts = "/dev/sda1 / ext4 rw 0 0\n"
                           "proc /proc proc rw 0 0\n"
                           "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
                           "/dev/sdc1 /run/media/ann/CAM vfat rw 0 0\n"
                           "/dev/sdd1 /mnt ext4 rw 0 0\n";
    const auto drives = DrivesFromMounts(mounts, "/home/ann");
    const std::vector<DriveEntry> expected = {{"/", "/"},
                                              {"Home", "/home/ann"},
                                              {"usb stick", "/media/usb stick"},
                                              {"CAM", "/run/media/ann/CAM"}};
    EXPECT_EQ(drives, expected);
    EXPECT_FALSE(ListDrives().empty());
}

} // namespace
