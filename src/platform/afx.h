// A small dialog framework in the manner of the classic Windows application framework: an
// application object, modal dialogs with message maps, windows, menus, painting and a string
// class, with that framework's names. It is written over Win32 window functions only
// (DialogBoxParamA with a dialog procedure that dispatches the message map), so the same source
// runs on the real window system and on the simulated one. Only what dialog programs of this
// kind need is here.
//
// On Windows, <windows.h> maps names such as MessageBox and GetWindowText to their ANSI forms
// (MessageBoxA, GetWindowTextA); the members below are renamed with them, consistently.
#ifndef RINGWARD_AFX_H
#define RINGWARD_AFX_H

#include "platform/platform.h"

#ifdef _WIN32
#include <commctrl.h>
#endif

#include <string>
#include <type_traits>

#define afx_msg
#define ID_HELP 0xE146 // the framework's Help command
#define CN_COMMAND 0   // a command from a menu, an accelerator or a button

class CCmdTarget;
class CWnd;

// ---- Message maps ---------------------------------------------------------------------------

// Calls one handler of target with the message's parameters; returns the message's result.
typedef LRESULT (*AFX_MSG_THUNK)(CCmdTarget *target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode; // notification code of WM_COMMAND
    UINT nID;   // first and last command id of WM_COMMAND
    UINT nLastID;
    AFX_MSG_THUNK pfn; // null ends the map
};

struct AFX_MSGMAP {
    const AFX_MSGMAP *(*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY *lpEntries;
};

namespace afx {
template <typename M> struct MemberOf;
template <typename C, typename R, typename... A> struct MemberOf<R (C::*)(A...)> {
    using Class = C;
};
template <auto F> using HandlerClass = typename MemberOf<decltype(F)>::Class;

template <auto F> LRESULT VoidThunk(CCmdTarget *target, WPARAM, LPARAM) {
    using C = HandlerClass<F>;
    static_assert(std::is_same<decltype(F), void (C::*)()>::value,
                  "this handler takes no arguments and returns nothing");
    (static_cast<C *>(target)->*F)();
    return 0;
}
template <auto F> LRESULT SysCommandThunk(CCmdTarget *target, WPARAM wParam, LPARAM lParam) {
    using C = HandlerClass<F>;
    static_assert(std::is_same<decltype(F), void (C::*)(UINT, LPARAM)>::value,
                  "OnSysCommand takes (UINT nID, LPARAM lParam)");
    (static_cast<C *>(target)->*F)((UINT)wParam, lParam);
    return 0;
}
template <auto F> LRESULT QueryDragIconThunk(CCmdTarget *target, WPARAM, LPARAM) {
    using C = HandlerClass<F>;
    static_assert(std::is_same<decltype(F), HCURSOR (C::*)()>::value,
                  "OnQueryDragIcon takes nothing and returns HCURSOR");
    return (LRESULT)(static_cast<C *>(target)->*F)();
}
} // namespace afx

#define DECLARE_MESSAGE_MAP()                                                                      \
  protected:                                                                                       \
    static const AFX_MSGMAP *GetThisMessageMap();                                                  \
    const AFX_MSGMAP *GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP *theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP *theClass::GetThisMessageMap() {                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, 0, 0, nullptr }                                                                        \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]};   \
    return &messageMap;                                                                            \
    }

#define ON_WM_SYSCOMMAND()                                                                         \
    {WM_SYSCOMMAND, 0, 0, 0, &afx::SysCommandThunk<&ThisClass::OnSysCommand>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx::VoidThunk<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, 0, 0, &afx::QueryDragIconThunk<&ThisClass::OnQueryDragIcon>},
#define ON_COMMAND(id, memberFxn)                                                                  \
    {WM_COMMAND, CN_COMMAND, (UINT)(WORD)(id), (UINT)(WORD)(id), &afx::VoidThunk<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn)                                                               \
    {WM_COMMAND, BN_CLICKED, (UINT)(WORD)(id), (UINT)(WORD)(id), &afx::VoidThunk<memberFxn>},

// ---- Classes --------------------------------------------------------------------------------

// Whatever can receive messages through a message map.
class CCmdTarget {
  public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget &) = delete;
    CCmdTarget &operator=(const CCmdTarget &) = delete;
    virtual ~CCmdTarget() = default;
    // Finds the handler of the message in this object's map and its bases' maps and calls it.
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result);

  protected:
    static const AFX_MSGMAP *GetThisMessageMap();
    virtual const AFX_MSGMAP *GetMessageMap() const;
};

// A string that can be loaded from the module's string resources.
class CString {
  public:
    CString() = default;
    CString(const char *text) : text_(text ? text : "") {}
    BOOL LoadString(UINT nID);
    BOOL IsEmpty() const { return text_.empty(); }
    int GetLength() const { return (int)text_.size(); }
    operator LPCSTR() const { return text_.c_str(); }

  private:
    std::string text_;
};

class CRect : public RECT {
  public:
    CRect() : RECT{0, 0, 0, 0} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CMenu {
  public:
    HMENU m_hMenu = nullptr;
    // The menu object for hMenu, kept for the life of the process; null for a null handle.
    static CMenu *FromHandle(HMENU hMenu);
    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr);
};

class CWnd : public CCmdTarget {
  public:
    HWND m_hWnd = nullptr;

    // The object of a window: the dialog object while it runs, or an object made for the
    // handle and kept for the life of the process; null for a null handle.
    static CWnd *FromHandle(HWND hWnd);
    HWND GetSafeHwnd() const { return m_hWnd; }

    CWnd *GetDlgItem(int nID) const;
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
    void SetWindowText(LPCSTR lpszString);
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL IsIconic() const;
    CMenu *GetSystemMenu(BOOL bRevert) const;
    void GetClientRect(LPRECT lpRect) const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);

    // Called by the dialog procedure for each message of this window.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT *result);

  protected:
    // The window system's default handling of the message being handled.
    LRESULT Default();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    DECLARE_MESSAGE_MAP()
};

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT nIDTemplate, CWnd *pParentWnd = nullptr);
    ~CDialog() override;
    // Runs the dialog until EndDialog; its result, or -1 when it cannot be created.
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);

  protected:
    virtual void OnOK();
    virtual void OnCancel();
    UINT m_nIDTemplate;
    CWnd *m_pParentWnd;
    DECLARE_MESSAGE_MAP()
};

class CPaintDC {
  public:
    explicit CPaintDC(CWnd *pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC &) = delete;
    CPaintDC &operator=(const CPaintDC &) = delete;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon);
    HDC m_hDC;
    PAINTSTRUCT m_ps;

  private:
    HWND m_hWnd;
};

class CWinApp : public CCmdTarget {
  public:
    // Becomes the process's application object.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    HICON LoadIcon(UINT nIDResource) const;
    // The default Help command: there is no help content to show.
    afx_msg void OnHelp();

    CWnd *m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPCSTR m_pszAppName;
    LPCSTR m_pszRegistryKey = nullptr;

  protected:
    // Names the registry key under which profile settings would be kept.
    void SetRegistryKey(LPCSTR lpszRegistryKey);
    DECLARE_MESSAGE_MAP()

  private:
    std::string registryKey_;
};

CWinApp *AfxGetApp();
CWnd *AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The module that holds the named resource: the program's own.
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);

// The framework's main entry: initialises the application object and runs its InitInstance.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#endif
