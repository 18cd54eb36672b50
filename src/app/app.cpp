// The application object: the one process-wide CQuorvelApp, and InitInstance, which runs the
// main dialog and, should the dialog ever come back, ends the program.
#include "app/app.h"

BEGIN_MESSAGE_MAP(CQuorvelApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// No application name of its own; the framework's restart support stays off.
CQuorvelApp::CQuorvelApp() {}

CQuorvelApp theApp;

BOOL CQuorvelApp::InitInstance() {
    InitCommonControls();
    CWinApp::InitInstance();
    // Profile settings would go under this key; the program keeps none.
    SetRegistryKey("Local AppWizard-Generated Applications");
    {
        CQuorvelDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal(); // its result says nothing: every way out ends the process inside
        m_pMainWnd = nullptr;
    } // the dialog's destructor ends the program here at the latest
    return FALSE;
}
