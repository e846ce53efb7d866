#include "app/Program.h"

int main(int argc, char** argv) { return MainForm::RunCorvanControl(argc, argv); }
