// The updater's one window.
#pragma once

#include "CopyRun.h"
#include "platform/Forms.h"

#include <string>

class TForm1 : public platform::TForm, private update::CopyRunHost {
public:
    TForm1();

    platform::TLabel Label1;
    platform::TButton Button1;
    platform::TButton Button2;
    platform::TLabel Label2;
    platform::TLabel PathLabel;
    platform::TBevel Bevel1;
    platform::TProgressBar ProgressBar1;
    platform::TLabel Label3;

    void FormCreate();
    void FormShow();
    void Button1Click();
    void Button2Click();

private:
    std::string InstallPath;

    void EnterReadyState();
    void EnterNotInstalledState();
    void EnterRunningState();
    void EnterFinishedState();
    std::string ResultMessage(int copied) const;

    // The copy run's view of the window.
    void ShowFile(const std::string& destination) override;
    void ProcessMessages() override;
    void CountCopiedFile() override;
    bool StopRequested() override;
};

extern TForm1* Form1;
