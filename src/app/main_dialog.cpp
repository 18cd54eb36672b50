// The main dialog: the start-up sequence (logs, lists, voice modem), the Start/Stop switch of
// screening, Exit only while screening is off, the About entry of the system menu, and the icon
// drawn while the window is minimised.
#include "app/app.h"

#include "common/state.h"
#include "diag/errhan.h"
#include "lists/lists.h"
#include "screening/screening.h"

#include <string.h>

namespace {

enum : int { kCaptionSize = 32 }; // the Start/Stop caption: at most 31 characters

const UINT kBoxStyle = MB_ICONERROR | MB_SETFOREGROUND;
const UINT kSysCommandMask = 0xFFF0; // the system's own low bits of a command id
const char kStartCaption[] = "Start screening calls";
const char kStopCaption[] = "Stop screening calls";
const char kLogMode[] = "a+c"; // append, and every flush commits to disk

} // namespace

BEGIN_MESSAGE_MAP(CQuorvelDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDOK, &CQuorvelDlg::OnBnClickedOk)
ON_BN_CLICKED(IDC_STARTSTOP, &CQuorvelDlg::OnStartStop)
ON_BN_CLICKED(IDCANCEL, &CQuorvelDlg::OnExit)
ON_BN_CLICKED(IDC_EXIT, &CQuorvelDlg::OnExit)
END_MESSAGE_MAP()

CQuorvelDlg::CQuorvelDlg(CWnd *pParent) : CDialog(IDD_QUORVEL_DIALOG, pParent) {
    hIcon = LoadIconW(AfxFindResourceHandle(MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON),
                      MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CQuorvelDlg::~CQuorvelDlg() {
    ShutdownAndExit();
}

BOOL CQuorvelDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu *sysMenu = GetSystemMenu(FALSE);
    if (sysMenu) {
        CString aboutText;
        aboutText.LoadString(IDS_ABOUTBOX);
        if (!aboutText.IsEmpty()) {
            sysMenu->AppendMenu(MF_SEPARATOR);
            sysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }

    SetIcon(hIcon, TRUE);
    SetIcon(hIcon, FALSE);

    g_state.startStopButton = GetDlgItem(IDC_STARTSTOP);
    g_state.mainWindow = m_hWnd;
    g_state.screening = 0;
    g_state.shutdownStarted = 0;
    g_state.messageFile[0] = '\0';

    g_state.eventLog = fopen(kEventLogName, kLogMode);
    if (!g_state.eventLog) {
        MessageBox("Error opening event log file.  Shutting down.", kDisplayName, kBoxStyle);
        ShutdownAndExit();
        return TRUE;
    }
    g_state.callsLog = fopen(kCallsLogName, kLogMode);
    if (!g_state.callsLog) {
        MessageBox("Error opening calls received file.  Shutting down.", kDisplayName, kBoxStyle);
        ShutdownAndExit();
        return TRUE;
    }

    LoadAcceptList();
    if (LoadBlockList() != 0) { // already reported under "OID 300"
        ShutdownAndExit();
        return TRUE;
    }

    LONG result = InitVoiceModem();
    if (ErrHan(&result, cond::Z, "OID 320", "F - Voice modem initialization failed."))
        ShutdownAndExit();
    return TRUE;
}

void CQuorvelDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & kSysCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

// Minimised, the window shows the program's icon in the middle of its client area.
void CQuorvelDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, hIcon);
}

HCURSOR CQuorvelDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(hIcon);
}

// Enter with no push button to press: the dialog stays, nothing changes.
void CQuorvelDlg::OnBnClickedOk() {}

void CQuorvelDlg::OnStartStop() {
    CWnd *button = g_state.startStopButton;
    if (!button)
        return;
    char caption[kCaptionSize] = "";
    button->GetWindowText(caption, kCaptionSize);
    caption[kCaptionSize - 1] = '\0';
    TrimWhitespace(caption);

    if (strcmp(caption, kStartCaption) == 0) {
        button->SetWindowText(kStopCaption);
        __time64_t now = _time64(NULL);
        const char *timeText = _ctime64(&now);
        WriteLogEntry(EVENT_LOG, "OSS 300", "\nStarting screening calls at %s",
                      timeText ? timeText : "\n");
        g_state.screening = 1;
        ReportLogFailures(); // screening is on whether or not the line reached the log
    } else {
        g_state.screening = 0;
        button->SetWindowText(kStartCaption);
    }
}

void CQuorvelDlg::OnExit() {
    if (g_state.screening) {
        MessageBox("Please stop screening calls first.", kDisplayName, kBoxStyle);
        return;
    }
    ShutdownAndExit();
}
