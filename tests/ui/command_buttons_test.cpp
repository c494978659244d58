// The command buttons run their sections of a real settings file: the save
// prompt each one shows, the arguments its tool receives, what the output area
// shows; rebuild-then-sign, the signer type, nested runs and edited sections.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "form_fixture.h"
#include "shown_filters.h"
#include "support/recording_tool.h"
#include "support/scoped_environment.h"

namespace velmora::test {
namespace {

using Arguments = std::vector<std::string>;

// A save prompt as the window showed it.
struct SeenPrompt {
  QString title;
  QStringList filters;  // as shown
  QString proposed;     // the name in the name field
};

// Section `name` of a settings file with `keys`, commented with its own name so
// that its banners tell which section ran.
std::string Section(std::string_view name, std::string_view keys) {
  return "[" + std::string(name) + "]\nComments=" + std::string(name) + "\n" + std::string(keys);
}

// What the output area shows of one run under `comment` that took less than a
// second and whose tool wrote the line `between`.
QString Banners(std::string_view comment, std::string_view between) {
  return QString::fromStdString("------" + std::string(comment) + " 开始------\n" +
                                std::string(between) + "\n------" + std::string(comment) +
                                " 结束------用时：0秒------");
}

class CommandButtons : public FormTest {
 protected:
  CommandButtons() { std::filesystem::create_directory(work / "out"); }

  // The output area's text with every end banner's seconds as 0: these runs
  // take well under a second, except on a machine loaded by other work, and
  // the seconds are the pipeline's tests' business.
  QString ShownWithElapsedZero() const {
    static const QRegularExpression kSeconds(QStringLiteral("用时：\\d+秒"));
    return MemoText().replace(kSeconds, QStringLiteral("用时：0秒"));
  }

  // Answers every save prompt with the proposed name in work/out (nothing:
  // cancel), recording the prompts.
  void AnswerPrompts(bool confirm = true) {
    AnswerFileDialogsWith([this, confirm](QFileDialog& dialog) -> std::optional<QString> {
      const QString proposed = QFileInfo(dialog.selectedFiles().value(0)).fileName();
      prompts.push_back({dialog.windowTitle(), ShownFilterNames(dialog), proposed});
      if (!confirm) return std::nullopt;
      return QString::fromStdString(work / "out/") + proposed;
    });
  }

  // Section `name` running the recording tool, which writes "ran " + its first
  // argument, with the section's name, the source and the destination.
  std::string Command(std::string_view name, std::string_view sourceType,
                      std::string_view destinationType) const {
    return Section(name, "SourceFileType=" + std::string(sourceType) +
                             "\nDestFileType=" + std::string(destinationType) +
                             "\nCommand=" + tool + "\nCommandLine=" + std::string(name) +
                             " \"%SourceFile%\" \"%DestFile%\"\n");
  }

  void TypeSource(const std::string& path) {
    Find<QLineEdit>("EditSourceFile").setText(QString::fromStdString(path));
  }

  TempDir work;
  std::string tool = WriteRecordingTool(work, "tool", "echo \"ran $1\"");
  std::vector<SeenPrompt> prompts;
};

// One built-in button: the section it runs, how that section is configured,
// its source in the work folder, and the prompt it shows (none without a
// proposed name).
struct ButtonCase {
  const char* button;
  const char* section;
  const char* sourceType;
  const char* destinationType;
  const char* source;
  const char* proposed;
  const char* title;
  QStringList filters;
};

void PrintTo(const ButtonCase& button, std::ostream* out) {
  *out << button.button;
}

const QStringList kFolderFilters{QStringLiteral("选择目录"), QStringLiteral("所有文件 (*.*)")};
QStringList FileFilters(const char* extension) {
  return {QStringLiteral("%1 文件 (*.%1)").arg(QLatin1String(extension)),
          QStringLiteral("所有文件 (*.*)")};
}

const ButtonCase kButtons[] = {
    {"BtnDecompile", "Decompile", "", "directory", "demo.apk", "demo", "选择目录", kFolderFilters},
    {"BtnCompile", "Compile", "directory", "", "demo", "demo_mod.apk", "另存为",
     FileFilters("apk")},
    {"BtnSigner", "Signer", "", "", "demo.apk", "demo_signed.apk", "另存为", FileFilters("apk")},
    {"BtnZipAlign", "ZipAlign", "", "", "demo.apk", "demo_zipalign.apk", "另存为",
     FileFilters("apk")},
    {"BtnInstallFramework",
     "InstallFramework",
     "",
     "none",
     "framework-res.apk",
     nullptr,
     nullptr,
     {}},
    {"BtnEmptyFramework", "EmptyFramework", "none", "none", nullptr, nullptr, nullptr, {}},
    {"Btndex2jar", "dex2jar", "", "", "classes.dex", "classes.jar", "另存为", FileFilters("jar")},
    {"BtnOpenJar", "OpenJar", "", "none", "classes.jar", nullptr, nullptr, {}},
    {"Btnjar2dex", "jar2dex", "", "", "classes.jar", "classes.dex", "另存为", FileFilters("dex")},
    {"Btndex2smali", "dex2smali", "", "directory", "classes.dex", "classes", "选择目录",
     kFolderFilters},
    {"Btnsmali2dex", "smali2dex", "directory", "", "smali", "smali_mod.dex", "另存为",
     FileFilters("dex")},
    {"Btnodex2smali", "odex2smali", "", "directory", "app.odex", "app", "选择目录", kFolderFilters},
};

class BuiltInButton : public CommandButtons, public ::testing::WithParamInterface<ButtonCase> {
 protected:
  // Every built-in section in one settings file, so that a button running
  // another button's section would show.
  void WriteEverySection() {
    std::string contents;
    for (const ButtonCase& button : kButtons) {
      contents += Command(button.section, button.sourceType, button.destinationType);
    }
    WriteSettings(contents);
  }

  // The button's source, created as its section expects it.
  std::string CreateSource() const {
    const ButtonCase& button = GetParam();
    if (button.source == nullptr) return "";
    if (std::string_view(button.sourceType) == "directory") {
      std::filesystem::create_directory(work / button.source);
      return work / button.source;
    }
    return work.Write(button.source, "");
  }
};

TEST_P(BuiltInButton, runs_its_section_on_the_source_into_the_confirmed_destination) {
  const ButtonCase& button = GetParam();
  WriteEverySection();
  ShowForm();
  const std::string source = CreateSource();
  TypeSource(source.empty() ? work / "unused" : source);
  AnswerPrompts();

  Click(button.button);

  const std::string destination = button.proposed ? work / "out/" + button.proposed : "";
  EXPECT_EQ(RecordedArguments(tool), (Arguments{button.section, source, destination}));
  EXPECT_EQ(ShownWithElapsedZero(), Banners(button.section, "ran " + std::string(button.section)));
  if (button.proposed == nullptr) {
    EXPECT_TRUE(prompts.empty());
    return;
  }
  ASSERT_EQ(prompts.size(), 1U);
  EXPECT_EQ(prompts[0].proposed, QString::fromUtf8(button.proposed));
  EXPECT_EQ(prompts[0].title, QString::fromUtf8(button.title));
  EXPECT_EQ(prompts[0].filters, button.filters);
}

INSTANTIATE_TEST_SUITE_P(Buttons, BuiltInButton, ::testing::ValuesIn(kButtons),
                         [](const auto& info) { return std::string(info.param.button); });

TEST_F(CommandButtons, a_cancelled_prompt_runs_nothing_and_leaves_the_output_cleared) {
  WriteSettings(Command("Signer", "", ""));
  ShowForm();
  TypeSource(work.Write("demo.apk", ""));
  AnswerPrompts(false);
  Click("BtnSigner");
  EXPECT_EQ(prompts.size(), 1U);
  EXPECT_TRUE(RecordedArguments(tool).empty());
  EXPECT_EQ(ShownWithElapsedZero(), QString());
}

TEST_F(CommandButtons, a_user_defined_button_proposes_its_sections_name_and_extension) {
  WriteSettings(Command("UserDefine7", "", "") +
                "Enabled=true\nDestFileName=aligned\nDestFileExt=.apk\n");
  ShowForm();
  const std::string source = work.Write("demo.apk", "");
  TypeSource(source);
  AnswerPrompts();

  Click("BtnUserDefine7");

  ASSERT_EQ(prompts.size(), 1U);
  EXPECT_EQ(prompts[0].proposed, QStringLiteral("demo_aligned.apk"));
  EXPECT_EQ(prompts[0].title, QStringLiteral("另存为"));
  EXPECT_EQ(prompts[0].filters, FileFilters("apk"));
  EXPECT_EQ(RecordedArguments(tool),
            (Arguments{"UserDefine7", source, work / "out/demo_aligned.apk"}));
  EXPECT_EQ(ShownWithElapsedZero(), Banners("UserDefine7", "ran UserDefine7"));
}

TEST_F(CommandButtons, a_destination_that_is_the_source_itself_is_refused_and_nothing_runs) {
  WriteSettings(Command("ZipAlign", "", ""));
  ShowForm();
  const std::string source = work.Write("demo.apk", "package bytes");
  const std::string link = work / "out/link.apk";
  std::filesystem::create_symlink(source, link);
  TypeSource(source);
  AnswerFileDialogsWith(
      [&link](QFileDialog&) { return std::optional(QString::fromStdString(link)); });

  Click("BtnZipAlign");

  EXPECT_EQ(ShownWithElapsedZero(), QString::fromStdString("目标 " + link + " 与源文件 " + source +
                                                           " 是同一个文件，请检查"));
  EXPECT_TRUE(RecordedArguments(tool).empty());
  EXPECT_EQ(TempDir::ReadFile(source), "package bytes");
}

TEST_F(CommandButtons, a_tool_finds_the_keystore_passwords_in_its_environment) {
  const std::string showing =
      WriteRecordingTool(work, "showing", "echo \"$VELMORA_STOREPASS|$VELMORA_KEYPASS\"");
  WriteSettings("[KeystoreFile]\nstorepass=\nkeypass=key %alias%\nalias=a\n" +
                Section("UserDefine1",
                        "Enabled=true\nSourceFileType=none\nDestFileType=none\n"
                        "Command=" +
                            showing + "\n"));
  const ScopedEnvironment exported("VELMORA_STOREPASS", "exported");
  ShowForm();

  Click("BtnUserDefine1");

  EXPECT_EQ(ShownWithElapsedZero(), Banners("UserDefine1", "exported|key a"));
}

TEST_F(CommandButtons, each_user_defined_button_runs_the_section_of_its_tag) {
  std::string contents;
  for (int number = 1; number <= 13; ++number) {
    contents += Command("UserDefine" + std::to_string(number), "none", "none") + "Enabled=true\n";
  }
  WriteSettings(contents);
  ShowForm();
  for (int number = 1; number <= 13; ++number) {
    const std::string section = "UserDefine" + std::to_string(number);
    Click(("BtnUserDefine" + std::to_string(number)).c_str());
    EXPECT_EQ(RecordedArguments(tool), (Arguments{section, "", ""}));
    EXPECT_EQ(ShownWithElapsedZero(), Banners(section, "ran " + section));
  }
}

TEST_F(CommandButtons, an_edited_section_takes_effect_at_the_next_click) {
  const std::string source = work.Write("demo.apk", "");
  WriteSettings(Command("UserDefine2", "", "") + "Enabled=true\nDestFileName=first\n");
  ShowForm();
  TypeSource(source);
  AnswerPrompts();
  Click("BtnUserDefine2");

  WriteSettings(Section("UserDefine2",
                        "Enabled=true\nDestFileName=second\nDestFileExt=zip\n"
                        "Command=" +
                            tool + "\nCommandLine=edited \"%DestFile%\"\n"));
  Click("BtnUserDefine2");

  ASSERT_EQ(prompts.size(), 2U);
  EXPECT_EQ(prompts[0].proposed, QStringLiteral("demo_first"));
  EXPECT_EQ(prompts[1].proposed, QStringLiteral("demo_second.zip"));
  EXPECT_EQ(RecordedArguments(tool), (Arguments{"edited", work / "out/demo_second.zip"}));
  EXPECT_EQ(ShownWithElapsedZero(), Banners("UserDefine2", "ran edited"));
}

// The three signer types, chosen in the radio group, and the section and
// arguments a signing run then uses.
struct SignerCase {
  const char* name;
  const char* item;
  const char* comment;
  Arguments arguments;  // before the source and destination
};

void PrintTo(const SignerCase& signer, std::ostream* out) {
  *out << signer.name;
}

class SignerType : public CommandButtons, public ::testing::WithParamInterface<SignerCase> {};

TEST_P(SignerType, chooses_the_section_of_the_signing_run) {
  WriteSettings(Command("Signer", "", "") + Section("Signer_JDK", "Command=" + tool +
                                                                      "\nCommandLine=jdk "
                                                                      "\"%SourceFile%\" "
                                                                      "\"%DestFile%\"\n"
                                                                      "CommandLine_1=-tsa "
                                                                      "stamp\n"));
  ShowForm();
  const std::string source = work.Write("demo.apk", "");
  TypeSource(source);
  AnswerPrompts();

  Click(GetParam().item);
  Click("BtnSigner");

  Arguments expected = GetParam().arguments;
  expected.insert(expected.begin() + 1, {source, work / "out/demo_signed.apk"});
  EXPECT_EQ(RecordedArguments(tool), expected);
  ASSERT_EQ(prompts.size(), 1U);
  EXPECT_EQ(prompts[0].proposed, QStringLiteral("demo_signed.apk"));
  EXPECT_TRUE(ShownWithElapsedZero().startsWith(
      QString::fromStdString("------" + std::string(GetParam().comment) + " 开始------\n")));
}

const SignerCase kSigners[] = {
    {"apktool", "rgSignerTypeSetupItem0", "Signer", {"Signer"}},
    {"jdk_without_time_stamp", "rgSignerTypeSetupItem1", "Signer_JDK", {"jdk"}},
    {"jdk_with_time_stamp", "rgSignerTypeSetupItem2", "Signer_JDK", {"jdk", "-tsa", "stamp"}},
};

INSTANTIATE_TEST_SUITE_P(Types, SignerType, ::testing::ValuesIn(kSigners),
                         [](const auto& info) { return std::string(info.param.name); });

class RebuildThenSign : public CommandButtons {
 protected:
  RebuildThenSign() {
    WriteSettings(Section("Compile", "SourceFileType=directory\nCommand=" + builder +
                                         "\nCommandLine=build \"%SourceFile%\" \"%DestFile%\"\n") +
                  Section("Signer", "Command=" + signer +
                                        "\nCommandLine=sign \"%SourceFile%\" \"%DestFile%\"\n"));
    ShowForm();
    std::filesystem::create_directory(work / "app");
    TypeSource(work / "app");
  }

  std::string builder = WriteRecordingTool(work, "builder", "echo built; echo >\"$3\"");
  std::string signer = WriteRecordingTool(work, "signer", "echo signed");
};

TEST_F(RebuildThenSign, with_the_prompt_cancelled_runs_nothing) {
  AnswerPrompts(false);
  Click("BtnCompileSigner");
  ASSERT_EQ(prompts.size(), 1U);
  EXPECT_EQ(prompts[0].proposed, QStringLiteral("app_mod_signed.apk"));
  EXPECT_TRUE(RecordedArguments(builder).empty());
  EXPECT_TRUE(RecordedArguments(signer).empty());
  EXPECT_EQ(ShownWithElapsedZero(), QString());
}

TEST_F(RebuildThenSign, signs_the_built_package_in_place_after_an_empty_line) {
  AnswerPrompts();
  Click("BtnCompileSigner");
  const std::string built = work / "out/app_mod_signed.apk";
  EXPECT_EQ(prompts.size(), 1U);
  EXPECT_EQ(RecordedArguments(builder), (Arguments{"build", work / "app", built}));
  EXPECT_EQ(RecordedArguments(signer), (Arguments{"sign", built, built}));
  EXPECT_EQ(ShownWithElapsedZero(),
            Banners("Compile", "built") + QStringLiteral("\n\n") + Banners("Signer", "signed"));
}

// A button pressed while another button's tool runs.
class ButtonDuringRun : public CommandButtons {
 protected:
  ButtonDuringRun() {
    WriteSettings(Section("Decompile", "SourceFileType=none\nDestFileType=none\nCommand=" +
                                           kSignalFile + "\nCommandLine=wait " + flag + "\n") +
                  Section("UserDefine1",
                          "Enabled=true\nSourceFileType=none\nDestFileType=none\n"
                          "Command=" +
                              kSignalFile + "\nCommandLine=create " + flag + "\n"));
    ShowForm();
  }

  std::string flag = work / "flag";
};

TEST_F(ButtonDuringRun, runs_inside_the_first_run_which_then_ends) {
  // The second run clears the output as every button does.
  WhenShown(QStringLiteral("waiting"), [this] { Click("BtnUserDefine1"); });
  Click("BtnDecompile");
  EXPECT_EQ(ShownWithElapsedZero(),
            Banners("UserDefine1", "created") + QStringLiteral("\ndone\n") +
                QStringLiteral("------Decompile 结束------用时：0秒------"));
}

TEST_F(ButtonDuringRun, pressed_again_while_its_tool_runs_starts_no_second_tool) {
  WhenShown(QStringLiteral("waiting"), [this] {
    Click("BtnDecompile");
    std::ofstream(flag).put('x');
  });
  Click("BtnDecompile");
  EXPECT_EQ(ShownWithElapsedZero(),
            QStringLiteral("------Decompile 开始------\nwaiting\n该命令正在运行，请等待其结束\n"
                           "done\n------Decompile 结束------用时：0秒------"));
}

TEST_F(ButtonDuringRun, a_close_meanwhile_waits_for_the_run_to_end) {
  bool shownAfterClose = false;
  WhenShown(QStringLiteral("waiting"), [&] {
    form->close();
    shownAfterClose = form->isVisible();
    std::ofstream(flag).put('x');
  });
  Click("BtnDecompile");
  EXPECT_TRUE(shownAfterClose);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(ShownWithElapsedZero().endsWith(
      QStringLiteral("waiting\n程序正在运行，窗口将在程序结束后关闭；按Esc键可立即停止运行\n"
                     "done\n------Decompile 结束------用时：0秒------")));
}

}  // namespace
}  // namespace velmora::test
