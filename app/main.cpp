#include "AboutBoxUnit.h"
#include "HKUnit.h"
#include "MainForm.h"
#include "VelmoraApplication.h"

int main(int argc, char** argv)
{
    VelmoraApplication app(argc, argv);

    // The main window first: closing it ends the program. The dialogs follow, hidden, and stay
    // until the end.
    TMainForm MainForm;
    TAboutBox AboutBox;
    THKForm HKForm;
    MainForm.AboutBox = &AboutBox;
    MainForm.HKForm = &HKForm;

    MainForm.show();
    return app.exec();
}
