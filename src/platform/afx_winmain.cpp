// The Windows executable's entry, as the framework supplies it: straight on to AfxWinMain. On
// other systems the program's own entry calls AfxWinMain.
#ifdef _WIN32
#include "platform/afx.h"

extern "C" int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                              int nCmdShow) {
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
#endif
