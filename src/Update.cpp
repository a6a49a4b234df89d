// The updater's entry: name the application, create its window, run.
#include "Main.h"
#include "Texts.h"
#include "platform/Application.h"

int main()
{
    platform::Application.SetTitle(texts::kApplicationTitle);
    Form1 = &platform::Application.CreateForm<TForm1>();
    platform::Application.Run();
    return 0;
}
