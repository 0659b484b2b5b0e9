// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTestSupport.h"

#include "DrawingRender.h"
#include "Translation.h"
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
} // namespace

struct ModalHand::Waiting
{
    std::function<void(QWidget*)> action;
    QTimer poll;
    QElapsedTimer clock;
};

ModalHand::ModalHand(std::function<void(QWidget*)> action) : waiting_(std::make_unique<Waiting>())
{
    Waiting* w = waiting_.get();
    w->action = std::move(action);
    w->poll.setInterval(kPollMs);
    QObject::connect(&w->poll, &QTimer::timeout, &w->poll, [w] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            // Stopped first: the action may run event loops of its own, which must not hand
            // the window (or the next one) to it a second time.
            w->poll.stop();
            w->action(modal);
        } else if (w->clock.hasExpired(kGiveUpMs)) {
            w->poll.stop();
        }
    });
    w->clock.start();
    w->poll.start();
}

// The timer goes with the hand, and with it every poll still to come.
ModalHand::~ModalHand() = default;
ModalHand::ModalHand(ModalHand&&) noexcept = default;
ModalHand& ModalHand::operator=(ModalHand&&) noexcept = default;

ProgramLanguage::ProgramLanguage(const char* name)
{
    const QLocale locale(QString::fromLatin1(name));
    installed_ = InstallTranslations(locale, {QStringLiteral(VELMORA_TRANSLATIONS)});
}

ProgramLanguage::~ProgramLanguage()
{
    RemoveTranslations();
}

StartedProgram::StartedProgram()
{
    SetupApplication();
    SetRenderHelperProgram(QStringLiteral(VELMORA_RENDER_HELPER));
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

ModalHand HandleNextModal(std::function<void(QWidget*)> action)
{
    return ModalHand(std::move(action));
}

namespace {
std::function<void(QWidget*)> Answer(std::shared_ptr<SeenBox> seen,
                                     QMessageBox::StandardButton answer)
{
    return [seen, answer](QWidget* modal) {
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
    };
}
} // namespace

BoxAnswer::BoxAnswer(QMessageBox::StandardButton answer)
    : seen_(std::make_shared<SeenBox>()), hand_(Answer(seen_, answer))
{
}

BoxAnswer AnswerNextMessageBox(QMessageBox::StandardButton answer)
{
    return BoxAnswer(answer);
}

void SettleEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
