// The application object: its title and taskbar entry, the forms it owns,
// the message loop, and the error box shown for an error that leaves an
// event handler.
#pragma once

#include "platform/Exceptions.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

struct HWND__;
struct tagMSG;

namespace platform {

class TForm;

class TApplication {
public:
    TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    // The text of the taskbar entry and the caption of error boxes.
    void SetTitle(const std::string& title);

    // The first form created becomes the main form.
    template <typename TFormClass>
    TFormClass& CreateForm()
    {
        auto form = std::make_unique<TFormClass>();
        TFormClass& created = *form;
        Adopt(std::move(form));
        return created;
    }

    // Shows the main form, then handles messages until a quit request.
    void Run();

    // Handles every waiting message and returns without waiting. A quit
    // request found here only marks the application as ending.
    void ProcessMessages();

    // Asks the message loop to end.
    void Terminate();

    // Runs an event handler; an error leaving it is shown in the error box
    // and the program carries on.
    template <typename Handler>
    void Guard(Handler&& handler) noexcept
    {
        try {
            handler();
        } catch (const Exception& error) {
            ShowException(error.Message());
        } catch (const std::exception& error) {
            ShowException(error.what());
        }
    }

    // The message, with "." added when its last character sorts after ".",
    // under the title, with an OK button and the stop icon, modal for the
    // whole application.
    void ShowException(const std::string& message);

private:
    friend class TForm;
    friend struct ApplicationWindowProcedure;

    HWND__* Handle();
    void Adopt(std::unique_ptr<TForm> form);
    void Dispatch(tagMSG& message);
    void OnRestored();
    void OnActivate();

    struct Window;
    std::unique_ptr<Window> window_;
    std::string title_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
};

extern TApplication Application;

}  // namespace platform
