// SPDX-License-Identifier: GPL-3.0-or-later
#include "TwainDialogs.h"

#include "WaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kPollMs = 50;
constexpr int kBarSteps = 1000;
// The choice of how long to wait for a silent scanner, in seconds.
constexpr int kShortestWait = 10;
constexpr int kLongestWait = 3600;

// Keeps the clicks that were meant for a dialog from the window beneath it once it has gone:
// the second click of a double click on Cancel, or a click as the scan ended by itself.
class ClickShield : public QObject
{
public:
    ClickShield(QWidget* window, const QRect& area) : QObject(window), area_(area)
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(QApplication::doubleClickInterval(), this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            auto* widget = qobject_cast<QWidget*>(watched);
            const auto* mouse = static_cast<QMouseEvent*>(event);
            return widget && widget->window() == parent() &&
                   area_.contains(mouse->globalPosition().toPoint());
        }
        default:
            return false;
        }
    }

private:
    QRect area_;
};

// Not modal in the blocking sense: the progress dialog shows it from a timer, and a nested
// event loop there would let the next scan begin underneath it.
void ShowScanMessage(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning,
                                QCoreApplication::translate("TwainDialogs", "Scanner"), text,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("ScanMessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QDoubleSpinBox* AreaEdge(const char* name, QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

ScannerSelectDialog::ScannerSelectDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ScannerSelectDialog"));
    setWindowTitle(tr("Select scanner"));

    devices_ = new QTreeWidget(this);
    devices_->setObjectName(QStringLiteral("DeviceList"));
    devices_->setHeaderLabels({tr("Vendor"), tr("Model"), tr("Device")});
    devices_->setRootIsDecorated(false);
    devices_->setSelectionMode(QAbstractItemView::SingleSelection);
    devices_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLabel"));
    status_->setWordWrap(true);

    settings_ = new QGroupBox(tr("Settings"), this);
    settings_->setObjectName(QStringLiteral("SettingsBox"));
    mode_ = new QComboBox(settings_);
    mode_->setObjectName(QStringLiteral("ModeBox"));
    depth_ = new QComboBox(settings_);
    depth_->setObjectName(QStringLiteral("DepthBox"));
    resolution_ = new QDoubleSpinBox(settings_);
    resolution_->setObjectName(QStringLiteral("ResolutionBox"));
    resolution_->setSuffix(QStringLiteral(" dpi"));
    settingsForm_ = new QFormLayout(settings_);
    settingsForm_->addRow(tr("&Mode:"), mode_);
    settingsForm_->addRow(tr("&Bits per sample:"), depth_);
    settingsForm_->addRow(tr("&Resolution:"), resolution_);

    area_ = new QGroupBox(tr("Scan area"), this);
    area_->setObjectName(QStringLiteral("AreaBox"));
    left_ = AreaEdge("AreaLeft", area_);
    top_ = AreaEdge("AreaTop", area_);
    right_ = AreaEdge("AreaRight", area_);
    bottom_ = AreaEdge("AreaBottom", area_);
    auto* areaGrid = new QGridLayout(area_);
    areaGrid->addWidget(new QLabel(tr("Left:"), area_), 0, 0);
    areaGrid->addWidget(left_, 0, 1);
    areaGrid->addWidget(new QLabel(tr("Top:"), area_), 0, 2);
    areaGrid->addWidget(top_, 0, 3);
    areaGrid->addWidget(new QLabel(tr("Right:"), area_), 1, 0);
    areaGrid->addWidget(right_, 1, 1);
    areaGrid->addWidget(new QLabel(tr("Bottom:"), area_), 1, 2);
    areaGrid->addWidget(bottom_, 1, 3);

    searchAgain_ = new QPushButton(tr("Search &again"), this);
    searchAgain_->setObjectName(QStringLiteral("SearchAgainButton"));
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->setObjectName(QStringLiteral("Buttons"));
    buttons_->addButton(searchAgain_, QDialogButtonBox::ActionRole);

    wait_ = new QSpinBox(this);
    wait_->setObjectName(QStringLiteral("WaitBox"));
    wait_->setRange(kShortestWait, kLongestWait);
    wait_->setSuffix(QStringLiteral(" s"));
    wait_->setValue(
        int(std::chrono::duration_cast<std::chrono::seconds>(ScannerTimeout()).count()));
    wait_->setToolTip(tr("How long the scanner may say nothing before a scan is "
                         "given up: longer for a slow lamp or a network scanner."));
    auto* waitForm = new QFormLayout;
    waitForm->addRow(tr("&Wait for the scanner:"), wait_);

    auto* scanners = new QLabel(tr("&Scanners:"), this);
    scanners->setBuddy(devices_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scanners);
    layout->addWidget(devices_);
    layout->addWidget(status_);
    layout->addWidget(settings_);
    layout->addWidget(area_);
    layout->addLayout(waitForm);
    layout->addWidget(buttons_);

    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(searchAgain_, &QPushButton::clicked, this, &ScannerSelectDialog::SearchAgain);
    connect(devices_, &QTreeWidget::itemSelectionChanged, this,
            &ScannerSelectDialog::DeviceChanged);

    SearchAgain();
}

void ScannerSelectDialog::ShowProblem(const QString& text)
{
    caps_ = ScannerCapabilities{};
    status_->setText(text);
    settings_->setEnabled(false);
    area_->setEnabled(false);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void ScannerSelectDialog::SearchAgain()
{
    const WaitCursor wait;
    QSignalBlocker blocker(devices_);
    devices_->clear();
    QString error;
    const QList<ScannerDevice> found = ListScanners(&error);
    if (found.isEmpty()) {
        ShowProblem(error);
        return;
    }
    const QString remembered = ScannerChoice().device;
    QTreeWidgetItem* chosen = nullptr;
    for (const ScannerDevice& device : found) {
        auto* item = new QTreeWidgetItem(devices_, {device.vendor, device.model, device.name});
        item->setData(0, Qt::UserRole, device.name);
        if (!chosen || device.name == remembered)
            chosen = item;
    }
    devices_->setCurrentItem(chosen);
    blocker.unblock();
    DeviceChanged();
}

void ScannerSelectDialog::DeviceChanged()
{
    QTreeWidgetItem* item = devices_->currentItem();
    if (!item)
        return;
    const QString name = item->data(0, Qt::UserRole).toString();
    ScannerCapabilities caps;
    QString error;
    const WaitCursor wait;
    if (!QueryScanner(name, &caps, &error)) {
        ShowProblem(error);
        return;
    }
    status_->clear();
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(true);
    const ScanRequest remembered = ScannerChoice();
    ShowCapabilities(caps, remembered.device == name ? remembered : ScanRequest{});
}

void ScannerSelectDialog::ShowCapabilities(const ScannerCapabilities& caps,
                                           const ScanRequest& remembered)
{
    caps_ = caps;
    settings_->setEnabled(true);

    mode_->clear();
    mode_->addItems(caps.modes);
    const QString mode = remembered.mode.isEmpty() ? caps.mode : remembered.mode;
    mode_->setCurrentIndex(std::max(0, mode_->findText(mode)));
    settingsForm_->setRowVisible(mode_, !caps.modes.isEmpty());

    depth_->clear();
    for (int depth : caps.depths)
        depth_->addItem(QString::number(depth), depth);
    const int depth = remembered.depth > 0 ? remembered.depth : caps.depth;
    depth_->setCurrentIndex(std::max(0, depth_->findData(depth)));
    settingsForm_->setRowVisible(depth_, !caps.depths.isEmpty());

    const double step = caps.resolutionStep > 0 ? caps.resolutionStep : 1;
    resolution_->setDecimals(step < 1 ? 2 : 0);
    resolution_->setRange(caps.resolutionMin, caps.resolutionMax);
    resolution_->setSingleStep(step);
    resolution_->setValue(remembered.resolution > 0 ? remembered.resolution : caps.resolution);
    settingsForm_->setRowVisible(resolution_, caps.hasResolution);

    area_->setVisible(caps.hasArea);
    area_->setEnabled(caps.hasArea);
    const ScanArea area = remembered.area ? *remembered.area : caps.area;
    const QString unit = caps.areaInPixels ? QStringLiteral(" px") : QStringLiteral(" mm");
    for (QDoubleSpinBox* box : {left_, right_}) {
        box->setRange(caps.xMin, caps.xMax);
        box->setSuffix(unit);
        box->setDecimals(caps.areaInPixels ? 0 : 1);
    }
    for (QDoubleSpinBox* box : {top_, bottom_}) {
        box->setRange(caps.yMin, caps.yMax);
        box->setSuffix(unit);
        box->setDecimals(caps.areaInPixels ? 0 : 1);
    }
    left_->setValue(area.left);
    top_->setValue(area.top);
    right_->setValue(area.right);
    bottom_->setValue(area.bottom);
}

std::chrono::seconds ScannerSelectDialog::Wait() const
{
    return std::chrono::seconds(wait_->value());
}

ScanRequest ScannerSelectDialog::Choice() const
{
    ScanRequest choice;
    const QTreeWidgetItem* item = devices_->currentItem();
    if (!item)
        return choice;
    choice.device = item->data(0, Qt::UserRole).toString();
    if (!caps_.modes.isEmpty())
        choice.mode = mode_->currentText();
    if (!caps_.depths.isEmpty())
        choice.depth = depth_->currentData().toInt();
    if (caps_.hasResolution)
        choice.resolution = resolution_->value();
    if (caps_.hasArea)
        choice.area = ScanArea{left_->value(), top_->value(), right_->value(), bottom_->value()};
    return choice;
}

void TWAIN_SelectScanner(QWidget* mainWindow)
{
    ScannerSelectDialog dialog(mainWindow);
    if (dialog.exec() == QDialog::Accepted) {
        SetScannerChoice(dialog.Choice());
        SetScannerTimeout(dialog.Wait());
    }
}

ScanProgressDialog::ScanProgressDialog(uint32_t value, QWidget* parent)
    : QProgressDialog(parent), value_(value)
{
    setObjectName(QStringLiteral("ScanProgressDialog"));
    setWindowTitle(tr("Scanning"));
    // Finding and opening a scanner can take seconds before the first line comes.
    setLabelText(tr("Looking for the scanner..."));
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    setCancelButton(cancel);
    // Replacing the cancel button leaves the old button's Escape shortcut beside the new one's,
    // and two shortcuts on one key cancel each other out. Both are put out of action (the
    // dialog owns them), and Escape reaches reject() instead.
    for (QShortcut* shortcut : findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(QKeySequence::Cancel))
            shortcut->setEnabled(false);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setRange(0, 0);
    // The dialog stays until the scan has ended, so that nothing is clicked beneath it meanwhile.
    disconnect(this, &QProgressDialog::canceled, this, nullptr);
    connect(this, &QProgressDialog::canceled, this, &ScanProgressDialog::CancelPressed);
    timer_ = new QTimer(this);
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &ScanProgressDialog::Poll);
    timer_->start();
}

void ScanProgressDialog::CancelPressed()
{
    if (cancelled_)
        return;
    cancelled_ = true;
    setLabelText(tr("Cancelling the scan..."));
    if (QPushButton* cancel = findChild<QPushButton*>(QStringLiteral("CancelButton")))
        cancel->setEnabled(false);
    CancelScan(value_);
}

void ScanProgressDialog::reject()
{
    // Escape, as the Cancel button, while the scan runs; the scan over, the dialog goes.
    if (ended_)
        QProgressDialog::reject();
    else
        CancelPressed();
}

void ScanProgressDialog::closeEvent(QCloseEvent* event)
{
    // Closed by the window manager while scanning: cancel, and close once the scan has ended.
    if (!ended_) {
        CancelPressed();
        event->ignore();
        return;
    }
    QProgressDialog::closeEvent(event);
}

void ScanProgressDialog::Poll()
{
    const ScanProgress progress = ScanProgressOf(value_);
    if (progress.running) {
        if (progress.receiving && !cancelled_ && !scanning_) {
            scanning_ = true;
            setLabelText(tr("Scanning the picture..."));
        }
        if (progress.bytesExpected > 0) {
            if (maximum() != kBarSteps)
                setRange(0, kBarSteps);
            setValue(int(progress.bytesDone * kBarSteps / progress.bytesExpected));
        } else if (maximum() != 0) {
            setRange(0, 0);
        }
        return;
    }
    timer_->stop();
    ended_ = true;
    // Read before closing: closing a progress dialog counts as pressing Cancel.
    const QString error = cancelled_ ? QString() : ScanErrorText(value_);
    QWidget* owner = parentWidget();
    if (owner && isVisible())
        new ClickShield(owner->window(), frameGeometry());
    close();
    if (!error.isEmpty())
        ShowScanMessage(owner, error);
}

void TWAIN_ScanImage(QWidget* mainWindow)
{
    QString error;
    const uint32_t value = StartScan(ScannerChoice(), mainWindow, &error);
    if (!value) {
        ShowScanMessage(mainWindow, error);
        return;
    }
    auto* dialog = new ScanProgressDialog(value, mainWindow);
    dialog->show();
}

bool ScanInProgress(const QWidget* mainWindow)
{
    for (const ScanProgressDialog* dialog : mainWindow->findChildren<ScanProgressDialog*>())
        if (dialog->isVisible())
            return true;
    return false;
}
