#pragma once
// The main window as the program starts it, in a temporary home, with the
// scripted prompter answering for the operator. Only for suites that link
// the widgets.

#include "app/workspace.h"
#include "base/settingsstore.h"
#include "gui/frmmain.h"
#include "scriptedprompter.h"
#include "temphome.h"

namespace telvaro::test {

struct WindowFixture {
    TempHome home;
    ScriptedPrompter prompter;
    SettingsStore settings;
    Workspace ws{prompter};
    frmMain window{ws, settings};

    WindowFixture()
    {
        window.Form_Load();
        window.show();
    }
};

} // namespace telvaro::test
