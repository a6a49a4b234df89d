#include "Main.h"

#include "InstallFolder.h"
#include "Texts.h"
#include "platform/Application.h"

using platform::TAnchors;
using platform::TButtonRole;
using platform::TLabelLayout;
using platform::TShowAccelChar;

TForm1* Form1 = nullptr;

namespace {

const platform::TFormDesign kDesign{
    L"TForm1", texts::kFormCaption, 451, 214, texts::kFormFontName, -12,
};

}  // namespace

TForm1::TForm1()
    : TForm(kDesign),
      Label1(*this, {8, 54, 408, 25}, texts::kExplanation, TLabelLayout::WordWrap, TAnchors::LeftTopRight),
      Button1(*this, {286, 180, 75, 25}, texts::kRun, TButtonRole::Default),
      Button2(*this, {368, 180, 75, 25}, texts::kCancel, TButtonRole::Cancel),
      Label2(*this, {8, 16, 365, 12}, texts::kHeadline, TLabelLayout::AutoSize),
      // A folder name is shown as it is: an "&" in it is no accelerator.
      PathLabel(*this, {8, 96, 435, 33}, texts::kPathLabelDesign, TLabelLayout::WordWrap, TAnchors::LeftTopRight,
                TShowAccelChar::No),
      Bevel1(*this, {6, 82, 437, 1}),
      ProgressBar1(*this, {8, 136, 433, 17}, 0, 20, 1),
      Label3(*this, {8, 156, 423, 12}, texts::kFileNameDesign, TLabelLayout::SingleLine, TAnchors::LeftTopRight)
{
    OnCreate = [this] { FormCreate(); };
    OnShow = [this] { FormShow(); };
    Button1.OnClick = [this] { Button1Click(); };
    Button2.OnClick = [this] { Button2Click(); };
    CreateControls({&Label1, &Label2, &PathLabel, &Bevel1, &Label3, &Button1, &Button2, &ProgressBar1});
}

void TForm1::FormCreate()
{
    ProgressBar1.Hide();
    Label3.Hide();
}

void TForm1::FormShow()
{
    try {
        InstallPath = update::FindInstallPath();
    } catch (...) {
        // The error still reaches the error box, but a window left with its
        // design texts would offer a run into the root of the drive.
        EnterNotInstalledState();
        throw;
    }
    if (update::IsProductInstalled(InstallPath))
        EnterReadyState();
    else
        EnterNotInstalledState();
}

void TForm1::Button1Click()
{
    if (Button1.Caption() == texts::kClose) {
        Close();
        return;
    }
    EnterRunningState();
    update::UpdateFiles(InstallPath, *this);
    EnterFinishedState();
}

void TForm1::Button2Click()
{
    if (Button1.Caption() != texts::kRunning)
        Close();
}

void TForm1::EnterReadyState()
{
    PathLabel.SetCaption(InstallPath);
    Button1.SetCaption(texts::kRun);
    Button1.SetEnabled(true);
    Button2.SetCaption(texts::kCancel);
    Button2.SetEnabled(true);
}

void TForm1::EnterNotInstalledState()
{
    Label1.SetCaption(texts::kNotInstalled);
    PathLabel.SetCaption(texts::kInstallFirst);
    Button1.Hide();
    Button2.SetCaption(texts::kClose);
    Button2.SetEnabled(true);
}

void TForm1::EnterRunningState()
{
    Label3.SetCaption({});
    Label3.Show();
    Button1.SetEnabled(false);
    Button1.SetCaption(texts::kRunning);
    Button2.SetEnabled(false);
    ProgressBar1.SetMax(update::kUpdateFileCount);
    ProgressBar1.SetPosition(0);
    ProgressBar1.Show();
}

void TForm1::EnterFinishedState()
{
    Label3.SetCaption(ResultMessage(ProgressBar1.Position()));
    Button1.SetCaption(texts::kClose);
    Button1.SetEnabled(true);
}

std::string TForm1::ResultMessage(int copied) const
{
    if (copied >= update::kUpdateFileCount)
        return texts::kCompleted;
    return std::to_string(update::kUpdateFileCount) + texts::kCountOf +
           std::to_string(update::kUpdateFileCount - copied) + texts::kCouldNotUpdate;
}

void TForm1::ShowFile(const std::string& destination) { Label3.SetCaption(destination); }

void TForm1::ProcessMessages() { platform::Application.ProcessMessages(); }

void TForm1::CountCopiedFile() { ProgressBar1.StepIt(); }

bool TForm1::StopRequested() { return Button1.Caption() == texts::kStop; }
