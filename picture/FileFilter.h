// SPDX-License-Identifier: GPL-3.0-or-later
// The load page's file types and the places it offers for browsing.
#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

#include <vector>

// Pairs of description and ';'-separated masks, separated by '|'.
// "All pictures" takes every name the readers take, the first eleven masks as they always were;
// the types added later have their own lines before "All files (*.*)".
inline constexpr const char* kLoadFilter =
    "All pictures|*.BMP;*.DIB;*.RLE;*.IFF;*.LBM;*.JPG;*.JIF;*.GIF;*.PCX;*.TGA;*.TIF;*.PNG;*.JPEG;*."
    "JPE;*.TIFF;*.WEBP;*.QOI;*.PBM;*.PGM;*.PPM;*.PNM;*.PDF;*.SVG;*.SVGZ|BMP;DIB;RLE|*.BMP;*.DIB;*."
    "RLE|IFF;LBM|*.IFF;*.LBM|JPG;JIF|*.JPG;*.JIF|GIF|*.GIF|PCX|*.PCX|TGA|*.TGA|TIF|*.TIF|PNG|*."
    "PNG|JPEG;JPE|*.JPEG;*.JPE|TIFF|*.TIFF|WEBP|*.WEBP|QOI|*.QOI|PBM;PGM;PPM;PNM|*.PBM;*.PGM;*."
    "PPM;*.PNM|PDF|*.PDF|SVG;SVGZ|*.SVG;*.SVGZ|All files "
    "(*.*)|*."
    "*";

struct FilterEntry
{
    QString description;
    QStringList masks;
};

// A description without masks at the end of the text is dropped.
std::vector<FilterEntry> ParseFilter(const QString& filter);

// Whether a plain file name matches any of the masks ('*' and '?'), ignoring case. "*.*" matches
// every name, also one without a dot.
bool MatchesMasks(const QString& fileName, const QStringList& masks);

struct DriveEntry
{
    QString name;
    QString path;
    bool operator==(const DriveEntry&) const = default;
};

// The volumes a user can pick in a mount table's text: the root, then every other file system
// on a device or a network share, named by where it is mounted. The system's own mounts (under
// /proc, /sys, /dev, /run, /boot and the like) are left out, removable media under /run/media
// are kept.
std::vector<DriveEntry> DrivesFromMounts(const QString& mountsText);

// The same for this machine, only folders.
std::vector<DriveEntry> ListDrives();

// The volume that holds an absolute path: the one mounted deepest on the way to it; -1 when
// none does.
int VolumeHolding(const std::vector<DriveEntry>& drives, const QString& path);

// One line of the directory list.
struct DirectoryLine
{
    QString name;      // shown: the volume's root path, a folder's name
    QString path;      // absolute
    int indent = 0;    // steps in from the left
    bool open = false; // on the way to the current directory, or the current one itself

    bool operator==(const DirectoryLine&) const = default;
};

// The directory list for the current directory: the way from the root of its volume down to
// it, one step further in on each level and shown open, then its subfolders one step further in
// than the current one. The subfolders are given by name, in the order to show.
std::vector<DirectoryLine> DirectoryLines(const QString& volumeRoot, const QString& directory,
                                          const QStringList& subfolders);

// The file a drop names, when it is one the window can load: the first of the dropped URLs,
// if that is a local file (not a folder). Empty for anything else: remote URLs, text, folders.
QString FileFromDrop(const QMimeData& data);
