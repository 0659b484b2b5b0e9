// SPDX-License-Identifier: GPL-3.0-or-later
// The scanner library's own dialogs: choosing the scanner and its settings, and following a
// scan. The work is done in TwainIO2.h; these only show it. Errors are told here, in the
// library's own message boxes; the main window learns of a scan only by its ScanCompleteEvent.
#pragma once

#include "TwainIO2.h"

#include <QDialog>
#include <QProgressDialog>

#include <chrono>

class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

// Lets the user choose the device and its settings for the later scans of this run.
void TWAIN_SelectScanner(QWidget* mainWindow);

// Starts a scan from the chosen device (or the first one) with a progress dialog; when it has
// ended, a ScanCompleteEvent is posted to mainWindow.
void TWAIN_ScanImage(QWidget* mainWindow);

// Whether a scan started from the window is still being followed.
bool ScanInProgress(const QWidget* mainWindow);

class ScannerSelectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ScannerSelectDialog(QWidget* parent = nullptr);

    // The device and settings the controls show.
    ScanRequest Choice() const;
    // How long a silent scanner is waited for.
    std::chrono::seconds Wait() const;

    // Lists the devices again, for one plugged in while the dialog is open.
    void SearchAgain();

private:
    void DeviceChanged();
    void ShowCapabilities(const ScannerCapabilities& caps, const ScanRequest& remembered);
    void ShowProblem(const QString& text);

    QTreeWidget* devices_;
    QLabel* status_;
    QGroupBox* settings_;
    QFormLayout* settingsForm_;
    QComboBox* mode_;
    QComboBox* depth_;
    QDoubleSpinBox* resolution_;
    QGroupBox* area_;
    QDoubleSpinBox* left_;
    QDoubleSpinBox* top_;
    QDoubleSpinBox* right_;
    QDoubleSpinBox* bottom_;
    QSpinBox* wait_;
    QPushButton* searchAgain_;
    QDialogButtonBox* buttons_;
    ScannerCapabilities caps_;
};

// Follows one scan: a bar when the length is known, a busy indicator when it is not, and Cancel
// (or Escape). It closes itself when the scan has ended, a cancelled one too, and then tells of
// a failure.
class ScanProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    ScanProgressDialog(uint32_t value, QWidget* parent);
    // The scan it follows (QProgressDialog::value() is the bar's).
    uint32_t scanValue() const { return value_; }

protected:
    // Escape cancels the scan; the dialog closes once the scan has ended.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Poll();
    void CancelPressed();

    uint32_t value_;
    bool cancelled_ = false;
    bool ended_ = false;
    bool scanning_ = false; // the label says the picture comes
    QTimer* timer_;
};
