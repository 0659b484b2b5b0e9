// SPDX-License-Identifier: GPL-3.0-or-later
// The operations on the current picture, and scanning.
#include "MainForm.h"
#include "ui_HKUnit.h"
#include "ui_MainForm.h"

#include "DibFileFormats.h"
#include "DrawingSource.h"
#include "FileFilter.h"
#include "FileName.h"
#include "HKUnit.h"
#include "HeldPicture.h"
#include "Messages.h"
#include "PdfDocument.h"
#include "PictureFacts.h"
#include "PictureOps.h"
#include "TwainDialogs.h"
#include "TwainIO2.h"
#include "VectorPage.h"
#include "WaitCursor.h"

#include <QFile>
#include <QFileDialog>

#include <cmath>

namespace {

// The save dialog's name filters from the library's "description|patterns|..." text, one entry
// per file type in the library's order. Patterns are offered in both cases: the folders here
// tell "x.BMP" from "x.bmp".
QStringList SaveNameFilters(const char* libraryFilter)
{
    QStringList filters;
    for (const FilterEntry& entry : ParseFilter(QString::fromLatin1(libraryFilter))) {
        QStringList patterns;
        for (const QString& p : entry.masks)
            patterns << p.toLower() << p;
        patterns.removeDuplicates();
        filters << QStringLiteral("%1 (%2)").arg(entry.description, patterns.join(u' '));
    }
    return filters;
}

} // namespace

void TMainForm::ShowPictureFacts()
{
    const PictureFacts facts = PictureFactsOf(CurrentPicture);
    // A drawing's fields hold its rendering's pixels, and the size on its page's paper beside.
    const DrawingSource* drawing = CurrentSource.drawing();
    const auto withPaper = [drawing](const QString& pixels, int32_t count) {
        if (!drawing)
            return pixels;
        return QStringLiteral("%1 (%2 mm)")
            .arg(pixels)
            .arg(std::lround(count * MillimetresPerPixel(*drawing)));
    };
    ui->Breit->setText(withPaper(facts.width, DIBWidth(CurrentPicture)));
    ui->Hoch->setText(withPaper(facts.height, DIBHeight(CurrentPicture)));
    // "Page N of M" of a PDF file of several pages.
    const int pages = drawing ? drawing->page->pageCount() : 1;
    {
        const QSignalBlocker quiet(ui->PdfPageEd);
        ui->PdfPageEd->setMaximum(pages);
        ui->PdfPageEd->setSuffix(tr(" of %1").arg(pages));
        ui->PdfPageEd->setValue(drawing ? drawing->page->pageIndex() + 1 : 1);
    }
    ui->PdfPageEd->setVisible(pages > 1);
    ui->Tief->setText(facts.colours);
}

PictureSurroundings TMainForm::Surroundings() const
{
    PictureSurroundings s;
    s.source = CurrentSource;
    s.view = View;
    s.geometry = Geometry;
    s.widthPages = ui->BreitEd->value();
    s.heightPages = ui->HochEd->value();
    return s;
}

void TMainForm::RememberForUndo(const std::optional<PictureEdit>& undoneBy)
{
    // Not kept when memory is short: the operation still happens, without undo. An edit that
    // loses nothing is kept as the edit that takes it back, without a copy of the picture.
    if (undoneBy) {
        History.KeepUndoneBy(*undoneBy, Surroundings());
        deldib(CurrentPicture);
    } else {
        History.Keep({CurrentPicture, Surroundings()});
    }
    CurrentPicture = PictureRecord();
}

void TMainForm::RestoreStep(PictureHistory<PictureSurroundings>::Step& step)
{
    CurrentPicture = step.picture;
    step.picture = PictureRecord();
    CurrentSource = step.extra.source;
    View = step.extra.view;
    ShowPictureFacts();
    // The size edits as they were, without their handlers sizing the poster anew.
    Geometry.SizeUpdateGuard = true;
    ui->BreitEd->setValue(step.extra.widthPages);
    ui->HochEd->setValue(step.extra.heightPages);
    Geometry = step.extra.geometry;
    Geometry.SizeUpdateGuard = false;
    ShowFinishedSize();
    ui->PaintBox1->repaint();
    ui->PaintBox2->update();
    ui->VorschauBox->repaint();
}

void TMainForm::UndoPicture()
{
    if (JobRunning)
        return;
    PictureHistory<PictureSurroundings>::Step current{CurrentPicture, Surroundings()};
    if (History.Undo(current))
        RestoreStep(current);
}

void TMainForm::RedoPicture()
{
    if (JobRunning)
        return;
    PictureHistory<PictureSurroundings>::Step current{CurrentPicture, Surroundings()};
    if (History.Redo(current))
        RestoreStep(current);
}

bool TMainForm::TakeOverPicture(const PictureRecord& fresh,
                                const std::optional<PictureEdit>& undoneBy)
{
    if (!fresh.Bits)
        return false;
    RememberForUndo(undoneBy);
    CurrentPicture = fresh;
    CurrentSource = PosterSource();
    ShowPictureFacts();
    SelectWholePicture(View, DIBWidth(CurrentPicture), DIBHeight(CurrentPicture));
    SpinSizeEdits edits = SizeEditsOfWindow();
    FitNewPicture(Geometry, CurrentSizeInputs(), edits);
    ui->VorschauBox->repaint();
    return true;
}

bool TMainForm::KeepSizeWith(const PictureRecord& fresh, const std::optional<PictureEdit>& undoneBy)
{
    if (!fresh.Bits)
        return false;
    RememberForUndo(undoneBy);
    CurrentPicture = fresh;
    CurrentSource = PosterSource();
    return true;
}

void TMainForm::HellpBtnClick()
{
    if (!HKForm)
        return;
    Ui::HKForm& dialog = HKForm->Form();
    dialog.TrackBar1->setValue(0);
    dialog.TrackBar2->setValue(100);
    PictureRecord backup;
    {
        WaitCursor wait;
        backup = CopyPicture(CurrentPicture);
    }
    if (!backup.Bits) {
        ShowMessage(this, tr("Error: Couldn't create picture (low memory?)!"),
                    QMessageBox::Critical);
        return;
    }
    HKForm->MainForm = this;
    HKForm->BackupPicture = backup;
    const PictureSurroundings before = Surroundings();
    const bool kept = HKForm->exec() == QDialog::Accepted;
    if (kept) {
        // The untouched copy is the picture before the change.
        History.Keep({HKForm->BackupPicture, before});
        const PosterSource was = CurrentSource;
        CurrentSource = PosterSource(); // the colours are no longer the file's
        if (const DrawingSource* drawing = was.drawing())
            SharpenDrawingPixels(*drawing, dialog.TrackBar1->value(), dialog.TrackBar2->value());
    } else {
        deldib(CurrentPicture);
        CurrentPicture = HKForm->BackupPicture;
    }
    HKForm->BackupPicture = PictureRecord();
    ui->PaintBox2->update();
}

void TMainForm::SharpenDrawingPixels(const DrawingSource& drawing, int32_t brightness,
                                     int32_t contrast)
{
    // The dialog showed its change on the window's rendering; the poster prints from one at
    // 300 ppi of its finished size, of the same proportions, so that the poster keeps its size.
    const double inchesWide = CurrentFinishedSize().widthInches;
    const double scale =
        DrawingScaleFor(drawing, inchesWide, kDrawingPixelsPpi, MemoryForPictures());
    QString error;
    PictureRecord sharp;
    {
        WaitCursor wait;
        sharp = RenderShownDrawing(drawing, scale, &error);
        if (sharp.Bits)
            ApplyBrightnessContrast(sharp, brightness, contrast); // as the dialog made them
    }
    if (!sharp.Bits) {
        ShowPictureFacts();
        ShowFinishedSize();
        ShowMessage(this, tr("Brightness and contrast make the drawing pixels: it "
                             "prints from the window's rendering, as a sharper one "
                             "could not be made (%1).")
                              .arg(error));
        return;
    }
    deldib(CurrentPicture);
    CurrentPicture = sharp;
    ShowPictureFacts();
    SelectWholePicture(View, DIBWidth(CurrentPicture), DIBHeight(CurrentPicture));
    ShowFinishedSize();
    // The tool's words.
    ShowMessage(this,
                tr("Brightness and contrast make the drawing pixels: it prints "
                   "from a rendering of %1 x %2 pixels, %3 ppi on the poster.")
                    .arg(DIBWidth(CurrentPicture))
                    .arg(DIBHeight(CurrentPicture))
                    .arg(inchesWide > 0 ? std::lround(DIBWidth(CurrentPicture) / inchesWide) : 0));
}

void TMainForm::Helligkeit(int32_t Offset)
{
    AdjustBrightness(CurrentPicture, Offset);
}

void TMainForm::Kontrast(int32_t Factor)
{
    AdjustContrast(CurrentPicture, Factor);
}

void TMainForm::MakeEdit(const PictureEdit& edit)
{
    const PosterSource source = CurrentSource.Edited(edit);
    PictureRecord made;
    RunAsJob([&] { made = EditedPicture(CurrentPicture, edit); });
    // A turn or cut changes the picture's size, and the poster is sized anew.
    const bool sameSize =
        edit.kind == PictureEdit::Kind::Mirror || edit.kind == PictureEdit::Kind::Flip;
    const std::optional<PictureEdit> back = InverseOf(edit);
    if (sameSize ? KeepSizeWith(made, back) : TakeOverPicture(made, back)) {
        CurrentSource = source;
        ShowPictureFacts();
        ShowFinishedSize();
    }
    ui->PaintBox2->update();
}

void TMainForm::RotLeftBtnClick()
{
    MakeEdit({PictureEdit::Kind::TurnLeft});
}

void TMainForm::RotRightBtnClick()
{
    MakeEdit({PictureEdit::Kind::TurnRight});
}

void TMainForm::FlipHBtnClick()
{
    MakeEdit({PictureEdit::Kind::Mirror});
}

void TMainForm::FlipVBtnClick()
{
    MakeEdit({PictureEdit::Kind::Flip});
}

void TMainForm::SchnittBtnClick()
{
    if (View.SelRight == View.SelLeft || View.SelTop == View.SelBottom) {
        ShowMessage(this, tr("Make a selection with the mouse first!"), QMessageBox::Critical);
        return;
    }
    MakeEdit(PictureEdit::Cut(View.SelLeft, View.SelTop, View.SelRight, View.SelBottom));
}

void TMainForm::SaveBtnClick()
{
    if (!SaveDialog1) {
        // Kept for the whole run, so that the last name and type are offered again. The
        // program's own dialog, so it looks the same on every desktop; no question before a file
        // is replaced and no extension added to the name typed.
        SaveDialog1 = new QFileDialog(this);
        SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
        SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog1->setFileMode(QFileDialog::AnyFile);
        SaveDialog1->setOptions(QFileDialog::DontUseNativeDialog |
                                QFileDialog::DontConfirmOverwrite);
    }
    QStringList filters = SaveNameFilters(GetDIBSaveFilter());
    // A drawing may also be saved as it is: a PDF page, still vectors.
    const QString pdfFilter = QStringLiteral("PDF (*.pdf *.PDF)");
    const DrawingSource* drawing = CurrentSource.drawing();
    if (drawing)
        filters << pdfFilter;
    const QString lastFilter = SaveDialog1->selectedNameFilter();
    SaveDialog1->setNameFilters(filters);
    if (filters.contains(lastFilter))
        SaveDialog1->selectNameFilter(lastFilter);
    // After the filter, which would give the name that filter's extension.
    if (!lastSaveName.isEmpty())
        SaveDialog1->selectFile(lastSaveName);
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    const QString name = SaveDialog1->selectedFiles().constFirst();
    lastSaveName = name;
    const QByteArray fileName = FileNameBytes(name);
    // A typed extension of a type Velmora writes wins over the type left chosen in the list, and
    // is the type offered next time.
    const bool asPdf = drawing && (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) ||
                                   (SaveDialog1->selectedNameFilter() == pdfFilter &&
                                    SaveCodeForFileName(fileName.constData()) == 0));
    const int32_t formatCode =
        asPdf ? 0
              : SaveCodeForDialog(fileName.constData(),
                                  int32_t(filters.indexOf(SaveDialog1->selectedNameFilter())) + 1 +
                                      2);
    SaveDialog1->selectNameFilter(asPdf ? pdfFilter : filters.value(formatCode - 1 - 2));
    bool saved = false;
    // A large picture takes seconds to write: as a job, the window drawing meanwhile.
    if (!asPdf && !drawing) {
        RunAsJob([&] { saved = SaveDib(CurrentPicture, fileName.constData(), formatCode); });
    } else {
        WaitCursor wait;
        if (asPdf) {
            QString error;
            saved = SaveDrawingPdf(*drawing, fileName, {}, &error);
        } else if (drawing) {
            // A drawing is saved at 300 dpi of its page's size, not at the window's rendering.
            QString error;
            const HeldPicture sharp(RenderShownDrawing(
                *drawing, DrawingScaleForPage(*drawing, kDrawingPixelsPpi, MemoryForPictures()),
                &error));
            saved = sharp.get().Bits && SaveDib(sharp.get(), fileName.constData(), formatCode);
        }
    }
    // A picture that did not reach the disk must not pass in silence.
    if (!saved)
        ShowMessage(this, tr("Couldn't save file!"), QMessageBox::Critical);
}

void TMainForm::SelectButtonClick()
{
    TWAIN_SelectScanner(this);
}

void TMainForm::ScanButtonClick()
{
    ui->ScanResultLabel->clear();
    TWAIN_ScanImage(this);
}

// The load preview shows the scanned picture when it is painted next, not at once. The page
// says how the scan ended, where the user started it.
void TMainForm::WMUser2(uint32_t WParam)
{
    const PictureRecord scanned = GetScanedDib(WParam);
    if (scanned.Bits)
        ui->ScanResultLabel->setText(
            tr("Scanned: %1 x %2 pixels.").arg(DIBWidth(scanned)).arg(DIBHeight(scanned)));
    else if (const QString why = ScanErrorText(WParam); !why.isEmpty())
        ui->ScanResultLabel->setText(tr("No picture: %1").arg(why));
    if (TakeOverPicture(scanned))
        ui->PaintBox2->update();
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == ScanCompleteEvent::EventType()) {
        const uint32_t value = static_cast<ScanCompleteEvent*>(event)->value();
        // A picture does not change under a running job: the scan comes in after it.
        if (JobRunning)
            AfterJob.push_back([this, value] { WMUser2(value); });
        else
            WMUser2(value);
        return true;
    }
    return QWidget::event(event);
}
