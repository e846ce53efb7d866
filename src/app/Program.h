#pragma once
// The program entry: the application object, the four windows in their order, and the
// message loop until the main window is closed.
namespace MainForm {

int RunCorvanControl(int argc, char** argv);

}  // namespace MainForm
