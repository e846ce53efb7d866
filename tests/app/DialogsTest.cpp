#include <gtest/gtest.h>

#include "platform/fakes/ScriptedDialogs.h"
#include "platform/qt/QtDialogs.h"

using namespace platform;

TEST(ScriptedDialogs, AnswersInOrderAndRecordsEachDialog) {
  ScriptedDialogs d;
  std::vector<std::string> failures;
  d.SetFailureHandler([&](const std::string& what) { failures.push_back(what); });
  d.Message().Input("stt").InputCancelled().Button(tModalResult::mrNo).SaveChosen("/x/TASK-1.txt");
  d.Cancelled(tDialogKind::OpenFiles);

  d.ShowMessage("This is a fresh install.");
  EXPECT_EQ(d.InputBox("Fresh install...", "Set your unit.", ""), "stt");
  EXPECT_EQ(d.InputBox("Fresh install...", "again", "proposal"), "proposal");  // cancelled
  EXPECT_EQ(d.MessageDlg("overwrite?", tMsgDlgType::mtInformation, {tMsgDlgBtn::mbYes, tMsgDlgBtn::mbNo}),
            tModalResult::mrNo);
  EXPECT_EQ(d.SaveFile({"Save your text file", "/x", "TASK-1.txt", "Task file|TASK-*.txt", "txt", 1}),
            std::optional<std::string>("/x/TASK-1.txt"));
  EXPECT_FALSE(d.OpenFiles({}).has_value());

  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(d.Pending(), 0u);
  ASSERT_EQ(d.Calls().size(), 6u);
  EXPECT_EQ(d.Calls()[0].Text, "This is a fresh install.");
  EXPECT_EQ(d.Calls()[1].Caption, "Fresh install...");
  EXPECT_EQ(d.Calls()[3].Buttons.size(), 2u);
  EXPECT_EQ(d.Calls()[4].Save.FileName, "TASK-1.txt");
}

TEST(ScriptedDialogs, UnscriptedWrongKindAndUnusedAnswersFail) {
  std::vector<std::string> failures;
  {
    ScriptedDialogs d;
    d.SetFailureHandler([&](const std::string& what) { failures.push_back(what); });
    d.ShowMessage("nobody expected this");
    d.Input("x");
    EXPECT_EQ(d.MessageDlg("a question", tMsgDlgType::mtConfirmation, {}), tModalResult::mrCancel);
    d.Message();
  }  // the last answer was never used
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_NE(failures[0].find("unscripted message \"nobody expected this\""), std::string::npos);
  EXPECT_NE(failures[1].find("expected a input box"), std::string::npos);
  EXPECT_NE(failures[2].find("never used"), std::string::npos);
}

TEST(ScriptedDialogs, WhileOpenRunsDuringTheDialog) {
  ScriptedDialogs d;
  d.SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  std::string seen;
  tScriptedAnswer a;
  a.Kind = tDialogKind::InputBox;
  a.Text = "abc";
  a.WhileOpen = [&](const tDialogCall& call) { seen = call.Text; };
  d.Expect(a);
  EXPECT_EQ(d.InputBox("c", "the prompt", ""), "abc");
  EXPECT_EQ(seen, "the prompt");
}

TEST(QtNameFilters, PipeFiltersBecomeQtFilters) {
  EXPECT_EQ(QtNameFilters("Task sheets (Task-*.pdf)|TASK-*.PDF|All Files|*.*"),
            (QStringList{"Task sheets (Task-*.pdf) (TASK-*.PDF)", "All Files (*.*)"}));
  EXPECT_EQ(QtNameFilters("Task file|TASK-*.txt"), QStringList{"Task file (TASK-*.txt)"});
  EXPECT_EQ(QtNameFilters("Pictures|*.png;*.jpg|Odd"), (QStringList{"Pictures (*.png *.jpg)", "Odd (*)"}));
}
