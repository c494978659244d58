// Choosing a source by dialog and a destination by the save prompt: what the
// dialogs show, what they return, and where they open next time.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>

#include "form_fixture.h"
#include "shown_filters.h"
#include "ui/dialogs.h"

namespace velmora::test {
namespace {

// How a dialog looked when the window showed it.
struct SeenDialog {
  QString title;
  QStringList filters;  // as shown
  QString defaultSuffix;
  QString directory;
  QString proposed;
  QFileDialog::FileMode fileMode;
  QFileDialog::AcceptMode acceptMode;
  bool dirsOnly;
};

class Dialogs : public FormTest {
 protected:
  // Answers the next dialogs with `answer` (nothing: cancel) and records them.
  void Answer(std::optional<QString> answer) {
    AnswerFileDialogsWith([this, answer](QFileDialog& dialog) {
      seen.push_back({dialog.windowTitle(), ShownFilterNames(dialog), dialog.defaultSuffix(),
                      dialog.directory().absolutePath(), dialog.selectedFiles().value(0),
                      dialog.fileMode(), dialog.acceptMode(),
                      dialog.testOption(QFileDialog::ShowDirsOnly)});
      return answer;
    });
  }

  QString Path(const std::string& path) const { return QString::fromStdString(path); }
  QString Field() const { return Find<QLineEdit>("EditSourceFile").text(); }

  std::vector<SeenDialog> seen;
  TempDir work;
};

const SavePrompt kFilePrompt{"demo_signed.apk", "apk 文件 (*.apk)|*.apk|所有文件 (*.*)|*.*", ".apk",
                             "另存为", false};
const SavePrompt kFolderPrompt{
    "demo", "选择目录|*.$$$DefaultDirectoryExtName$$$|所有文件 (*.*)|*.*", "", "选择目录", true};

// The texts of every button `dialog` shows, shortcut marks removed.
QStringList ButtonTexts(const QWidget& dialog) {
  QStringList texts;
  for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->isVisible() && !button->text().isEmpty()) {
      texts << button->text().remove(QLatin1Char('&'));
    }
  }
  texts.sort();
  return texts;
}

// As the overwrite question and the error boxes do, being Qt's own.
TEST_F(Dialogs, label_their_buttons_in_chinese) {
  WriteSettings("");
  ShowForm();
  auto& save = Find<QFileDialog>("SaveDialog");
  ApplySavePrompt(save, kFilePrompt);
  save.show();
  auto& open = Find<QFileDialog>("OpenDialog");
  open.show();
  QMessageBox box(QMessageBox::Question, QStringLiteral("Velmora"), QStringLiteral("?"),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
  box.show();
  EXPECT_EQ(ButtonTexts(save), (QStringList{QStringLiteral("保存(S)"), QStringLiteral("取消")}));
  EXPECT_EQ(ButtonTexts(open), (QStringList{QStringLiteral("取消"), QStringLiteral("打开(O)")}));
  EXPECT_EQ(ButtonTexts(box), (QStringList{QStringLiteral("取消"), QStringLiteral("否(N)"),
                                           QStringLiteral("是(Y)"), QStringLiteral("确定")}));
  save.hide();
  open.hide();
}

TEST_F(Dialogs, open_file_puts_the_chosen_file_into_the_path_field) {
  WriteSettings("");
  ShowForm();
  const std::string chosen = work.Write("in/demo.apk", "");
  Answer(Path(chosen));
  Find<QAbstractButton>("BtnOpenFile").click();
  EXPECT_EQ(Field(), Path(chosen));
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].title, QStringLiteral("选择文件"));
  EXPECT_EQ(seen[0].directory, Path(programDir.path()));
  EXPECT_EQ(seen[0].fileMode, QFileDialog::ExistingFile);
}

TEST_F(Dialogs, open_file_opens_next_where_the_last_file_was_chosen) {
  WriteSettings("");
  ShowForm();
  Answer(Path(work.Write("in/demo.apk", "")));
  Find<QAbstractButton>("BtnOpenFile").click();
  Answer(std::nullopt);
  Find<QAbstractButton>("BtnOpenFile").click();
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].directory, Path(work / "in"));
}

TEST_F(Dialogs, cancelled_open_file_changes_neither_field_nor_directory) {
  WriteSettings("");
  ShowForm();
  Find<QLineEdit>("EditSourceFile").setText(QStringLiteral("typed"));
  Answer(std::nullopt);
  Find<QAbstractButton>("BtnOpenFile").click();
  Find<QAbstractButton>("BtnOpenFile").click();
  EXPECT_EQ(Field(), QStringLiteral("typed"));
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].directory, Path(programDir.path()));
}

TEST_F(Dialogs, without_settings_file_the_dialogs_open_in_the_working_directory) {
  ShowForm();
  Answer(std::nullopt);
  Find<QAbstractButton>("BtnOpenFile").click();
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].directory, QDir::currentPath());
}

TEST_F(Dialogs, folder_browser_shows_folders_from_the_desktop_and_fills_the_path_field) {
  ShowForm();
  Answer(Path(work.path()));
  Find<QAbstractButton>("BtnOpenDir").click();
  EXPECT_EQ(Field(), Path(work.path()));
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].title, QStringLiteral("选择目录"));
  EXPECT_EQ(seen[0].fileMode, QFileDialog::Directory);
  EXPECT_TRUE(seen[0].dirsOnly);
  const QDir desktop(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
  EXPECT_EQ(seen[0].directory, desktop.exists() ? desktop.absolutePath() : QDir::homePath());
}

TEST_F(Dialogs, cancelled_folder_browser_leaves_the_path_field) {
  ShowForm();
  Find<QLineEdit>("EditSourceFile").setText(QStringLiteral("typed"));
  Answer(std::nullopt);
  Find<QAbstractButton>("BtnOpenDir").click();
  EXPECT_EQ(Field(), QStringLiteral("typed"));
}

TEST_F(Dialogs, save_prompt_proposes_the_name_with_its_filters_and_extension) {
  WriteSettings("");
  ShowForm();
  const std::string chosen = work / "demo_signed.apk";
  Answer(Path(chosen));
  EXPECT_EQ(form->AskDestination(kFilePrompt), chosen);
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].title, QStringLiteral("另存为"));
  EXPECT_EQ(seen[0].filters,
            (QStringList{QStringLiteral("apk 文件 (*.apk)"), QStringLiteral("所有文件 (*.*)")}));
  EXPECT_EQ(seen[0].defaultSuffix, QStringLiteral("apk"));
  EXPECT_EQ(seen[0].acceptMode, QFileDialog::AcceptSave);
  // The proposal carries no directory: it opens in the remembered one.
  EXPECT_EQ(seen[0].directory, Path(programDir.path()));
  EXPECT_EQ(seen[0].proposed, Path(programDir / "demo_signed.apk"));
}

TEST_F(Dialogs, save_prompt_opens_next_where_the_last_destination_was_chosen) {
  WriteSettings("");
  ShowForm();
  std::filesystem::create_directories(work / "out");
  Answer(Path(work / "out/demo_signed.apk"));
  form->AskDestination(kFilePrompt);
  form->AskDestination(kFolderPrompt);
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].directory, Path(work / "out"));
  EXPECT_EQ(seen[1].proposed, Path(work / "out/demo"));
}

TEST_F(Dialogs, folder_save_prompt_shows_only_folders_and_returns_the_directory_to_produce) {
  WriteSettings("");
  ShowForm();
  Answer(Path(work / "demo"));
  EXPECT_EQ(form->AskDestination(kFolderPrompt), work / "demo");
  ASSERT_EQ(seen.size(), 1U);
  EXPECT_EQ(seen[0].title, QStringLiteral("选择目录"));
  EXPECT_EQ(seen[0].filters,
            (QStringList{QStringLiteral("选择目录"), QStringLiteral("所有文件 (*.*)")}));
  EXPECT_EQ(seen[0].defaultSuffix, QString());
  EXPECT_EQ(seen[0].proposed, Path(programDir / "demo"));
}

TEST_F(Dialogs, cancelled_save_prompt_returns_nothing_and_keeps_the_directory) {
  WriteSettings("");
  ShowForm();
  Answer(std::nullopt);
  EXPECT_EQ(form->AskDestination(kFilePrompt), std::nullopt);
  form->AskDestination(kFilePrompt);
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].directory, Path(programDir.path()));
}

TEST_F(Dialogs, save_prompt_with_an_empty_extension_sets_no_default_suffix) {
  WriteSettings("");
  ShowForm();
  Answer(std::nullopt);
  form->AskDestination(kFilePrompt);
  form->AskDestination(SavePrompt{"demo", "所有文件 (*.*)|*.*", "", "另存为", false});
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[1].defaultSuffix, QString());
  EXPECT_EQ(seen[1].filters, QStringList{QStringLiteral("所有文件 (*.*)")});
}

}  // namespace
}  // namespace velmora::test
