#pragma once
// The dialogs port for tests: every dialog must be answered in advance, in order. A
// dialog that comes without a scripted answer, or of another kind than the next answer,
// is reported to the failure handler (by default: a message on stderr and abort), and so
// is an answer still waiting when the object ends. Every dialog shown is recorded.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace platform {

enum class tDialogKind { Message, MessageDlg, InputBox, OpenFiles, SaveFile, SelectDirectory, Exception };

std::string DialogKindName(tDialogKind Kind);

// One dialog as it was shown.
struct tDialogCall {
  tDialogKind Kind = tDialogKind::Message;
  std::string Caption = {};  // input box caption, chooser title
  std::string Text = {};     // message text, input box prompt
  std::string Default = {};  // input box proposal
  tMsgDlgType DlgType = tMsgDlgType::mtInformation;
  tMsgDlgButtons Buttons = {};
  tOpenDialogParams Open = {};
  tSaveDialogParams Save = {};
};

struct tScriptedAnswer {
  tDialogKind Kind = tDialogKind::Message;
  // MessageDlg: the button pressed. InputBox and the choosers: mrCancel cancels.
  tModalResult Result = tModalResult::mrOk;
  std::string Text;                // input box answer, saved file name, chosen folder
  std::vector<std::string> Files;  // files chosen in the open dialog
  // Runs while the dialog is "open", as the modal loop would run timers and notifications.
  std::function<void(const tDialogCall&)> WhileOpen;
};

class ScriptedDialogs : public Dialogs {
 public:
  ScriptedDialogs();
  ~ScriptedDialogs() override;
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  void Expect(tScriptedAnswer Answer);
  // Shorthands for the common answers.
  ScriptedDialogs& Message();
  ScriptedDialogs& Button(tModalResult Result);
  ScriptedDialogs& Input(std::string Answer);
  ScriptedDialogs& InputCancelled();
  ScriptedDialogs& OpenChosen(std::vector<std::string> Files);
  ScriptedDialogs& SaveChosen(std::string FileName);
  ScriptedDialogs& FolderChosen(std::string Folder);
  ScriptedDialogs& Cancelled(tDialogKind Kind);
  ScriptedDialogs& ExceptionShown();

  void SetFailureHandler(std::function<void(const std::string&)> Handler);
  std::size_t Pending() const { return answers_.size(); }
  const std::vector<tDialogCall>& Calls() const { return calls_; }
  const std::vector<tCursor>& Cursors() const { return cursors_; }
  // Forgets the record of shown dialogs (the queue of answers stays).
  void ClearCalls() { calls_.clear(); }

  void ShowMessage(const std::string& Text) override;
  tModalResult MessageDlg(const std::string& Text, tMsgDlgType DlgType, const tMsgDlgButtons& Buttons) override;
  std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) override;
  std::optional<std::vector<std::string>> OpenFiles(const tOpenDialogParams& Params) override;
  std::optional<std::string> SaveFile(const tSaveDialogParams& Params) override;
  std::optional<std::string> SelectDirectory(const std::string& Caption, const std::string& InitialDir) override;
  void ShowException(const std::string& Message) override;
  void SetCursor(tCursor Cursor) override;

 private:
  // Records the call and hands back the answer scripted for it, or none.
  std::optional<tScriptedAnswer> Take(const tDialogCall& Call);
  // The answer of a dialog that was confirmed; nothing when cancelled or unscripted.
  std::optional<tScriptedAnswer> Confirmed(const tDialogCall& Call);
  void Fail(const std::string& What) const;

  std::deque<tScriptedAnswer> answers_;
  std::vector<tDialogCall> calls_;
  std::vector<tCursor> cursors_;
  std::function<void(const std::string&)> onFailure_;
};

}  // namespace platform
