// Resource ids of the program's dialogs, strings and icon, shared by the resource script and the
// code. Plain #define lines only: the resource compiler and the simulated module both read them.
#ifndef RINGWARD_RESOURCE_H
#define RINGWARD_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QUORVEL_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_STARTSTOP 1000
#define IDC_EXIT 1001

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The system menu's About entry; the system keeps the low four bits of a command id.
#define IDM_ABOUTBOX 0x0010

#endif
