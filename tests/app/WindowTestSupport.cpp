#include "WindowTestSupport.h"

#include "VelmoraApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

namespace {
constexpr int kPollMs = 10;
constexpr int kGiveUpMs = 5000;

void PollForModal(std::function<void(QWidget*)> action, std::shared_ptr<QElapsedTimer> clock)
{
    QTimer::singleShot(kPollMs, [action, clock] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            action(modal);
            return;
        }
        if (clock->elapsed() < kGiveUpMs)
            PollForModal(action, clock);
    });
}
} // namespace

StartedProgram::StartedProgram()
{
    SetupApplication();
    window = std::make_unique<TMainForm>();
    about = std::make_unique<TAboutBox>();
    hk = std::make_unique<THKForm>();
    window->AboutBox = about.get();
    window->HKForm = hk.get();
    window->show();
    SettleEvents();
}

StartedProgram::~StartedProgram()
{
    hk.reset();
    about.reset();
    window.reset();
}

void HandleNextModal(std::function<void(QWidget*)> action)
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    PollForModal(std::move(action), clock);
}

std::shared_ptr<SeenBox> AnswerNextMessageBox(QMessageBox::StandardButton answer)
{
    auto seen = std::make_shared<SeenBox>();
    HandleNextModal([seen, answer](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            modal->close();
            return;
        }
        seen->seen = true;
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            seen->buttons |= box->standardButton(b);
        if (answer == QMessageBox::Escape) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        } else if (QAbstractButton* b = box->button(answer))
            b->click();
        else
            box->reject();
    });
    return seen;
}

void SettleEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
