// The Win32 home of the telephony service inside the DLL: a hidden message-only window on the
// thread that registered with the API, whose window procedure hands each line message to the
// application's callback, and a timer on it that runs the service's timeline. This is how the
// real service delivers messages with its hidden-window option: from the application's own
// message loop, one at a time, also inside message boxes and dialogs.
#ifndef RINGWARD_TAPIDLL_WINDOW_HOST_H
#define RINGWARD_TAPIDLL_WINDOW_HOST_H

#include "platform/sim/line_service.h"

#include <deque>
#include <functional>
#include <map>
#include <set>

namespace tapidll {

class WindowHost : public sim::LineHost {
  public:
    // Creates the window on the calling thread; false when the system refuses.
    bool Start(HINSTANCE module, sim::LineService *service);

    uint64_t NowMs() override;
    void Deliver(LINECALLBACK callback, DWORD hDevice, DWORD msg, DWORD_PTR instance,
                 DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3) override;
    void WakeAt(uint64_t ms) override;
    void Note(const std::string &text) override;

    // Runs action from the message loop once the clock reaches ms.
    void At(uint64_t ms, std::function<void()> action);
    // Runs action once the file at path exists, looking for it every few tenths of a second.
    void WhenFileExists(const std::string &path, std::function<void()> action);

  private:
    struct Message {
        LINECALLBACK callback;
        DWORD hDevice;
        DWORD msg;
        DWORD_PTR instance;
        DWORD_PTR params[3];
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DeliverNext();
    void RunDue();
    void CheckFile();
    void Arm();

    HWND window = nullptr;
    sim::LineService *service = nullptr;
    std::deque<Message> waiting;
    std::multimap<uint64_t, std::function<void()>> actions;
    std::multiset<uint64_t> wakes; // when the service asked to run its timeline
    uint64_t armedFor = UINT64_MAX;
    std::string watchedFile;
    std::function<void()> fileAction;
};

} // namespace tapidll

#endif
