#include "platform/fakes/ScriptedDialogs.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

std::string DialogKindName(tDialogKind Kind) {
  switch (Kind) {
    case tDialogKind::Message:
      return "message";
    case tDialogKind::MessageDlg:
      return "message with buttons";
    case tDialogKind::InputBox:
      return "input box";
    case tDialogKind::OpenFiles:
      return "open dialog";
    case tDialogKind::SaveFile:
      return "save dialog";
    case tDialogKind::SelectDirectory:
      return "folder chooser";
    case tDialogKind::Exception:
      return "error box";
  }
  return "dialog";
}

ScriptedDialogs::ScriptedDialogs()
    : onFailure_([](const std::string& what) {
        std::fprintf(stderr, "ScriptedDialogs: %s\n", what.c_str());
        std::abort();
      }) {}

ScriptedDialogs::~ScriptedDialogs() {
  if (!answers_.empty())
    Fail(std::to_string(answers_.size()) + " scripted answer(s) never used; the next was for a " +
         DialogKindName(answers_.front().Kind));
}

void ScriptedDialogs::SetFailureHandler(std::function<void(const std::string&)> Handler) {
  onFailure_ = std::move(Handler);
}

void ScriptedDialogs::Fail(const std::string& What) const {
  if (onFailure_) onFailure_(What);
}

void ScriptedDialogs::Expect(tScriptedAnswer Answer) { answers_.push_back(std::move(Answer)); }

ScriptedDialogs& ScriptedDialogs::Message() {
  Expect({tDialogKind::Message, tModalResult::mrOk, {}, {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::Button(tModalResult Result) {
  Expect({tDialogKind::MessageDlg, Result, {}, {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::Input(std::string Answer) {
  Expect({tDialogKind::InputBox, tModalResult::mrOk, std::move(Answer), {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::InputCancelled() { return Cancelled(tDialogKind::InputBox); }

ScriptedDialogs& ScriptedDialogs::OpenChosen(std::vector<std::string> Files) {
  Expect({tDialogKind::OpenFiles, tModalResult::mrOk, {}, std::move(Files), {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::SaveChosen(std::string FileName) {
  Expect({tDialogKind::SaveFile, tModalResult::mrOk, std::move(FileName), {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::FolderChosen(std::string Folder) {
  Expect({tDialogKind::SelectDirectory, tModalResult::mrOk, std::move(Folder), {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::Cancelled(tDialogKind Kind) {
  Expect({Kind, tModalResult::mrCancel, {}, {}, {}});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::ExceptionShown() {
  Expect({tDialogKind::Exception, tModalResult::mrOk, {}, {}, {}});
  return *this;
}

std::optional<tScriptedAnswer> ScriptedDialogs::Take(const tDialogCall& Call) {
  calls_.push_back(Call);
  const std::string shown = DialogKindName(Call.Kind) + " \"" + Call.Text + "\"";
  if (answers_.empty()) {
    Fail("unscripted " + shown);
    return std::nullopt;
  }
  tScriptedAnswer answer = std::move(answers_.front());
  answers_.pop_front();
  if (answer.Kind != Call.Kind) {
    Fail("expected a " + DialogKindName(answer.Kind) + " but got a " + shown);
    return std::nullopt;
  }
  if (answer.WhileOpen) answer.WhileOpen(Call);
  return answer;
}

std::optional<tScriptedAnswer> ScriptedDialogs::Confirmed(const tDialogCall& Call) {
  auto answer = Take(Call);
  if (!answer || answer->Result != tModalResult::mrOk) return std::nullopt;
  return answer;
}

void ScriptedDialogs::ShowMessage(const std::string& Text) {
  const tDialogCall call{.Kind = tDialogKind::Message, .Text = Text};
  Take(call);
}

tModalResult ScriptedDialogs::MessageDlg(const std::string& Text, tMsgDlgType DlgType, const tMsgDlgButtons& Buttons) {
  const tDialogCall call{.Kind = tDialogKind::MessageDlg, .Text = Text, .DlgType = DlgType, .Buttons = Buttons};
  const auto answer = Take(call);
  return answer ? answer->Result : tModalResult::mrCancel;
}

std::string ScriptedDialogs::InputBox(const std::string& Caption, const std::string& Prompt,
                                      const std::string& Default) {
  const tDialogCall call{.Kind = tDialogKind::InputBox, .Caption = Caption, .Text = Prompt, .Default = Default};
  const auto answer = Confirmed(call);
  return answer ? answer->Text : Default;
}

std::optional<std::vector<std::string>> ScriptedDialogs::OpenFiles(const tOpenDialogParams& Params) {
  const tDialogCall call{.Kind = tDialogKind::OpenFiles, .Caption = Params.Title, .Open = Params};
  if (const auto answer = Confirmed(call)) return answer->Files;
  return std::nullopt;
}

std::optional<std::string> ScriptedDialogs::SaveFile(const tSaveDialogParams& Params) {
  const tDialogCall call{.Kind = tDialogKind::SaveFile, .Caption = Params.Title, .Save = Params};
  if (const auto answer = Confirmed(call)) return answer->Text;
  return std::nullopt;
}

std::optional<std::string> ScriptedDialogs::SelectDirectory(const std::string& Caption, const std::string& InitialDir) {
  const tDialogCall call{.Kind = tDialogKind::SelectDirectory, .Caption = Caption, .Default = InitialDir};
  if (const auto answer = Confirmed(call)) return answer->Text;
  return std::nullopt;
}

void ScriptedDialogs::ShowException(const std::string& Message) {
  const tDialogCall call{.Kind = tDialogKind::Exception, .Text = Message};
  Take(call);
}

void ScriptedDialogs::SetCursor(tCursor Cursor) { cursors_.push_back(Cursor); }

}  // namespace platform
