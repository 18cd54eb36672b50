// The program's user interface: the application object, the main dialog with its Start/Stop
// and Exit buttons, and the About box. These are the program's only classes.
#ifndef RINGWARD_APP_H
#define RINGWARD_APP_H

#include "app/resource.h"
#include "platform/afx.h"

class CQuorvelApp : public CWinApp {
  public:
    CQuorvelApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CQuorvelApp theApp;

class CQuorvelDlg : public CDialog {
  public:
    explicit CQuorvelDlg(CWnd *pParent = nullptr);
    ~CQuorvelDlg() override; // ends the program through ShutdownAndExit

    enum { IDD = IDD_QUORVEL_DIALOG };

  protected:
    HICON hIcon;

    BOOL OnInitDialog() override;
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnBnClickedOk();
    afx_msg void OnStartStop();
    afx_msg void OnExit();

    DECLARE_MESSAGE_MAP()
};

class CAboutDlg : public CDialog {
  public:
    CAboutDlg();

    enum { IDD = IDD_ABOUTBOX };

  protected:
    DECLARE_MESSAGE_MAP()
};

#endif
