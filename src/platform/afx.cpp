// The dialog framework over Win32: the message-map search, the dialog procedure that hands
// each message to its dialog object, the objects kept for window and menu handles, and the
// application object with its entry.
#include "platform/afx.h"

#include <map>
#include <memory>

namespace {

enum : int { kStringChunk = 256 }; // string resources are read in steps of this size

CWinApp *currentApp = nullptr;
HINSTANCE resourceHandle = nullptr;

// Dialogs while they run, by window; objects made for other handles, kept for good.
std::map<HWND, CWnd *> &RunningDialogs() {
    static std::map<HWND, CWnd *> dialogs;
    return dialogs;
}
std::map<HWND, std::unique_ptr<CWnd>> &WindowObjects() {
    static std::map<HWND, std::unique_ptr<CWnd>> objects;
    return objects;
}
std::map<HMENU, std::unique_ptr<CMenu>> &MenuObjects() {
    static std::map<HMENU, std::unique_ptr<CMenu>> objects;
    return objects;
}

// The message being handled, for Default(); handlers nest when a box or dialog runs a loop.
struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
CurrentMessage current = {nullptr, 0, 0, 0};

const AFX_MSGMAP_ENTRY *FindEntry(const AFX_MSGMAP *map, UINT message, UINT code, UINT id) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY *e = map->lpEntries; e && e->pfn; e++) {
            if (e->nMessage != message)
                continue;
            if (message != WM_COMMAND || (e->nCode == code && id >= e->nID && id <= e->nLastID))
                return e;
        }
    }
    return nullptr;
}

// Hands every message of a dialog to its object; the object is known from WM_INITDIALOG on.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CDialog *dialog = reinterpret_cast<CDialog *>(lParam);
        dialog->m_hWnd = hWnd;
        RunningDialogs()[hWnd] = dialog;
        return dialog->OnInitDialog();
    }
    auto it = RunningDialogs().find(hWnd);
    if (it == RunningDialogs().end())
        return FALSE;
    LRESULT result = 0;
    if (!it->second->HandleMessage(message, wParam, lParam, &result))
        return FALSE;
    // A dialog procedure returns these results itself; for the rest it says "handled".
    if (message == WM_QUERYDRAGICON)
        return (INT_PTR)result;
    return TRUE;
}

} // namespace

// ---- Message maps ----

const AFX_MSGMAP *CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY none[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &none[0]};
    return &map;
}

const AFX_MSGMAP *CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result) {
    UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
    UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
    const AFX_MSGMAP_ENTRY *entry = FindEntry(GetMessageMap(), message, code, id);
    if (!entry)
        return false;
    *result = entry->pfn(this, wParam, lParam);
    return true;
}

// ---- CString ----

BOOL CString::LoadString(UINT nID) {
    std::string buffer;
    for (int size = kStringChunk;; size *= 2) {
        buffer.assign((size_t)size, '\0');
        int length =
            ::LoadStringA(AfxFindResourceHandle(MAKEINTRESOURCEA((nID >> 4) + 1), RT_STRING), nID,
                          &buffer[0], size);
        if (length <= 0) {
            text_.clear();
            return FALSE;
        }
        if (length < size - 1) { // a string that fills the buffer may have been cut
            text_.assign(buffer.c_str(), (size_t)length);
            return TRUE;
        }
    }
}

// ---- CMenu ----

CMenu *CMenu::FromHandle(HMENU hMenu) {
    if (!hMenu)
        return nullptr;
    std::unique_ptr<CMenu> &menu = MenuObjects()[hMenu];
    if (!menu) {
        menu.reset(new CMenu);
        menu->m_hMenu = hMenu;
    }
    return menu.get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCSTR lpszNewItem) {
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

// ---- CWnd ----

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd *CWnd::FromHandle(HWND hWnd) {
    if (!hWnd)
        return nullptr;
    auto running = RunningDialogs().find(hWnd);
    if (running != RunningDialogs().end())
        return running->second;
    std::unique_ptr<CWnd> &object = WindowObjects()[hWnd];
    if (!object) {
        object.reset(new CWnd);
        object->m_hWnd = hWnd;
    }
    return object.get();
}

CWnd *CWnd::GetDlgItem(int nID) const {
    return FromHandle(::GetDlgItem(m_hWnd, nID));
}

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

void CWnd::SetWindowText(LPCSTR lpszString) {
    ::SetWindowTextA(m_hWnd, lpszString);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    if (!lpszCaption && currentApp)
        lpszCaption = currentApp->m_pszAppName;
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

CMenu *CWnd::GetSystemMenu(BOOL bRevert) const {
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return (HICON)SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, (LPARAM)hIcon);
}

bool CWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result) {
    CurrentMessage saved = current;
    current = CurrentMessage{m_hWnd, message, wParam, lParam};
    bool handled = DispatchMessageMap(message, wParam, lParam, result);
    // Commands nobody in the dialog takes go on to the application, as menus' commands do.
    if (!handled && message == WM_COMMAND && currentApp)
        handled = currentApp->DispatchMessageMap(message, wParam, lParam, result);
    current = saved;
    return handled;
}

LRESULT CWnd::Default() {
    if (current.hWnd != m_hWnd || !m_hWnd)
        return 0;
    return ::DefWindowProcA(m_hWnd, current.message, current.wParam, current.lParam);
}

void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CWnd::OnPaint() {
    Default();
}

HCURSOR CWnd::OnQueryDragIcon() {
    return (HCURSOR)Default();
}

// ---- CDialog ----

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd *pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd)
        RunningDialogs().erase(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    // Without a parent a dialog is owned by the main window, when that is another one.
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    CWnd *mainWnd = AfxGetMainWnd();
    if (!owner && mainWnd && mainWnd != this)
        owner = mainWnd->m_hWnd;
    LPCSTR name = MAKEINTRESOURCEA(m_nIDTemplate);
    INT_PTR result = ::DialogBoxParamA(AfxFindResourceHandle(name, RT_DIALOG), name, owner,
                                       AfxDlgProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd)
        RunningDialogs().erase(m_hWnd);
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    return TRUE; // the dialog manager puts the focus on the first control
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

// ---- CPaintDC ----

CPaintDC::CPaintDC(CWnd *pWnd) : m_hWnd(pWnd->m_hWnd) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON hIcon) {
    return ::DrawIcon(m_hDC, x, y, hIcon);
}

// ---- CWinApp ----

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName) {
    currentApp = this;
}

CWinApp::~CWinApp() {
    if (currentApp == this)
        currentApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconW(AfxFindResourceHandle(MAKEINTRESOURCEA(nIDResource), RT_GROUP_ICON),
                       MAKEINTRESOURCEW(nIDResource));
}

void CWinApp::OnHelp() {}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
    registryKey_ = lpszRegistryKey ? lpszRegistryKey : "";
    m_pszRegistryKey = registryKey_.c_str();
}

// ---- Globals and the entry ----

CWinApp *AfxGetApp() {
    return currentApp;
}

CWnd *AfxGetMainWnd() {
    return currentApp ? currentApp->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
    if (currentApp && currentApp->m_hInstance)
        return currentApp->m_hInstance;
    return AfxGetResourceHandle();
}

HINSTANCE AfxGetResourceHandle() {
    if (!resourceHandle)
        resourceHandle = ::GetModuleHandleA(nullptr);
    return resourceHandle;
}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
    return AfxGetResourceHandle();
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp *app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = hInstance ? hInstance : AfxGetResourceHandle();
    resourceHandle = app->m_hInstance;
    // A dialog program does all its work in InitInstance: no message loop of the framework's.
    app->InitInstance();
    return app->ExitInstance();
}
