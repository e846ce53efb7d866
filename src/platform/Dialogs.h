#pragma once
// Everything the windows ask the user goes through this port: message boxes, the input
// box, the file and folder choosers and the busy cursor. The program installs the Qt
// implementation; tests install ScriptedDialogs and answer each dialog in advance.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class tMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum class tMsgDlgBtn : std::uint8_t { mbYes, mbNo, mbOK, mbCancel };
using tMsgDlgButtons = std::vector<tMsgDlgBtn>;

enum class tModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

enum class tCursor { crArrow, crHourGlass };

// A file chooser's filter in the "Text|pattern;pattern|Text|pattern" form the windows
// use; FilterIndex counts from 1.
struct tOpenDialogParams {
  std::string Title;
  std::string Filter;
  std::string InitialDir;
  bool AllowMultiSelect = false;
};

struct tSaveDialogParams {
  std::string Title;
  std::string InitialDir;
  std::string FileName;
  std::string Filter;
  std::string DefaultExt;
  int FilterIndex = 1;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A plain message with an OK button, titled with the application's title.
  virtual void ShowMessage(const std::string& Text) = 0;
  // A message of the given type with the given buttons; the button pressed.
  virtual tModalResult MessageDlg(const std::string& Text, tMsgDlgType DlgType, const tMsgDlgButtons& Buttons) = 0;
  // The typed answer, or Default when the box is cancelled.
  virtual std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) = 0;
  // The chosen files (full names), or nothing when cancelled.
  virtual std::optional<std::vector<std::string>> OpenFiles(const tOpenDialogParams& Params) = 0;
  // The chosen file name (full name), or nothing when cancelled.
  virtual std::optional<std::string> SaveFile(const tSaveDialogParams& Params) = 0;
  // The chosen folder, or nothing when cancelled. The chooser may create folders.
  virtual std::optional<std::string> SelectDirectory(const std::string& Caption, const std::string& InitialDir) = 0;
  // The application's box for an error that ended a command.
  virtual void ShowException(const std::string& Message) = 0;
  virtual void SetCursor(tCursor Cursor) = 0;
};

// The hourglass while something is waited for; the arrow again however that ends.
class TBusyCursor {
 public:
  explicit TBusyCursor(Dialogs& Port) : port_(Port) { port_.SetCursor(tCursor::crHourGlass); }
  ~TBusyCursor() { port_.SetCursor(tCursor::crArrow); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

 private:
  Dialogs& port_;
};

}  // namespace platform
