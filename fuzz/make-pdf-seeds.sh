#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes small PDF seeds for the drawing fuzzer: text with a standard font, lines and a
# gradient, an inline and an XObject image, an annotation with a print appearance and a link,
# a hidden layer, a turned page with a CropBox, a three-page file with inherited attributes,
# then the same files as qpdf writes them with object streams, uncompressed and encrypted,
# and one cut short.
# Usage: fuzz/make-pdf-seeds.sh [folder]   (default: fuzz-corpus/pdf beside this script's folder)
set -eu
out=${1:-$(dirname "$0")/../fuzz-corpus/pdf}
mkdir -p "$out"
cd "$out"

# A file is begun, given numbered objects and finished; it has no cross-reference table,
# so qpdf rebuilds one and writes the file properly.
begin() { name=$1; printf '%%PDF-1.7\n' >"$name.raw"; }
obj() { printf '%s 0 obj\n%s\nendobj\n' "$1" "$2" >>"$name.raw"; }
finish() {
  printf 'trailer\n<< /Root 1 0 R /Size 20 >>\n%%%%EOF\n' >>"$name.raw"
  qpdf "$name.raw" "$name.pdf" 2>/dev/null || [ $? -eq 3 ] # 3: written, with warnings
  rm -f "$name.raw"
}

content() { # dictionary entries, data
  printf '<< %s /Length %d >> stream\n%s\nendstream' "$1" "${#2}" "$2"
}

begin text-lines
obj 1 '<< /Type /Catalog /Pages 2 0 R >>'
obj 2 '<< /Type /Pages /Kids [3 0 R] /Count 1 >>'
obj 3 '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>'
obj 4 "$(content "" "BT /F1 24 Tf 72 720 Td (Velmora seed) Tj ET 2 w 72 700 m 520 700 l S 0.2 0.4 0.8 rg 100 100 200 300 re f")"
obj 5 '<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>'
finish

begin shading-image
obj 1 '<< /Type /Catalog /Pages 2 0 R >>'
obj 2 '<< /Type /Pages /Kids [3 0 R] /Count 1 >>'
obj 3 '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << /Shading << /Sh1 5 0 R >> /XObject << /Im1 6 0 R >> >> /Group << /S /Transparency /CS /DeviceRGB >> >>'
obj 4 "$(content "" "q 0 0 150 200 re W n /Sh1 sh Q q 100 0 0 80 160 60 cm /Im1 Do Q q BI /W 2 /H 2 /CS /G /BPC 8 ID 0123 EI Q")"
obj 5 '<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 150 0] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>'
obj 6 "$(content "/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8" "abcdefghijkl")"
finish

begin annotations-layers
obj 1 '<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [7 0 R] /D << /OFF [7 0 R] >> >> >>'
obj 2 '<< /Type /Pages /Kids [3 0 R] /Count 1 >>'
obj 3 '<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 400] /Contents 4 0 R /Annots [5 0 R 8 0 R] /Resources << /Properties << /L1 7 0 R >> >> >>'
obj 4 "$(content "" "0 0 1 RG 4 w 20 20 m 380 380 l S /OC /L1 BDC 1 0 0 rg 50 50 100 100 re f EMC")"
obj 5 '<< /Type /Annot /Subtype /Square /Rect [200 50 300 150] /F 4 /AP << /N 6 0 R >> >>'
obj 6 "$(content "/Type /XObject /Subtype /Form /BBox [0 0 100 100]" "0 1 0 RG 3 w 5 5 90 90 re S")"
obj 7 '<< /Type /OCG /Name (hidden) >>'
obj 8 '<< /Type /Annot /Subtype /Link /Rect [20 300 120 340] /A << /S /URI /URI (https://example.org) >> >>'
finish

begin turned-cropped
obj 1 '<< /Type /Catalog /Pages 2 0 R >>'
obj 2 '<< /Type /Pages /Kids [3 0 R] /Count 1 /Rotate 90 /MediaBox [0 0 600 400] >>'
obj 3 '<< /Type /Page /Parent 2 0 R /CropBox [50 40 550 360] /UserUnit 2 /Contents 4 0 R >>'
obj 4 "$(content "" "1 0 0 rg 60 50 100 100 re f 0 0 1 rg 440 250 100 100 re f")"
finish

begin three-pages
obj 1 '<< /Type /Catalog /Pages 2 0 R >>'
obj 2 '<< /Type /Pages /Kids [3 0 R 9 0 R] /Count 3 /MediaBox [0 0 200 100] /Resources << >> >>'
obj 3 '<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>'
obj 9 '<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 /Rotate 270 >>'
obj 4 '<< /Type /Page /Parent 9 0 R /Contents [6 0 R 7 0 R] >>'
obj 5 '<< /Type /Page /Parent 9 0 R /MediaBox [0 0 100 300] /Contents 7 0 R >>'
obj 6 "$(content "" "0 0 0 RG 10 10 m 190 90 l S")"
obj 7 "$(content "" "0.5 g 20 20 60 60 re f")"
finish

for f in text-lines shading-image annotations-layers turned-cropped three-pages; do
  qpdf --object-streams=generate "$f.pdf" "$f-objstm.pdf"
  qpdf --stream-data=uncompress "$f.pdf" "$f-plain.pdf"
done
qpdf --encrypt "" owner 256 -- text-lines.pdf text-lines-owner.pdf
qpdf --encrypt user owner 256 -- text-lines.pdf text-lines-user.pdf
head -c 700 shading-image-objstm.pdf >shading-image-cut.pdf
