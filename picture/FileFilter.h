// The load page's file types and the places it offers for browsing.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Pairs of description and ';'-separated masks, separated by '|'.
inline constexpr const char* kLoadFilter =
    "All pictures|*.BMP;*.DIB;*.RLE;*.IFF;*.LBM;*.JPG;*.JIF;*.GIF;*.PCX;*.TGA;*.TIF|BMP;DIB;RLE|*."
    "BMP;*.DIB;*.RLE|IFF;LBM|*.IFF;*.LBM|JPG;JIF|*.JPG;*.JIF|GIF|*.GIF|PCX|*.PCX|TGA|*.TGA|TIF|*."
    "TIF|All files (*.*)|*.*";

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

// The root, the home folder and the removable media found in a mount table's text.
std::vector<DriveEntry> DrivesFromMounts(const QString& mountsText, const QString& homePath);

// The same for this machine.
std::vector<DriveEntry> ListDrives();
