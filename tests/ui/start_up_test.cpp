// What the window does when it is first shown: the missing settings file, the
// user-defined buttons, the signer type, and the Java check.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QRadioButton>
#include <QTabWidget>

#include "config/ini_text.h"
#include "form_fixture.h"

namespace velmora::test {
namespace {

class StartUp : public FormTest {
 protected:
  // A settings file whose Java home holds bin/java, so start-up has nothing
  // to say about Java unless a test wants it to.
  std::string WithJava(std::string_view rest) const {
    javaHome.Write("bin/java", "");
    return "[General]\nJAVA_HOME=" + javaHome.path() + "\n" + std::string(rest);
  }

  bool UserButtonShown(int number) const {
    return !Find(("BtnUserDefine" + std::to_string(number)).c_str()).isHidden();
  }
  QString UserButtonCaption(int number) const {
    return Find<QAbstractButton>(("BtnUserDefine" + std::to_string(number)).c_str()).text();
  }

  TempDir javaHome;
};

TEST_F(StartUp, without_settings_file_reports_it_and_keeps_the_layout_defaults) {
  // Even a Java home without java is not looked at then.
  ShowForm();
  EXPECT_EQ(MemoText(), kNotice + QStringLiteral("\n配置文件Velmora.ini不存在，请检查"));
  for (int number = 1; number <= 13; ++number) {
    EXPECT_TRUE(UserButtonShown(number)) << number;
    EXPECT_EQ(UserButtonCaption(number), QStringLiteral("自定义%1").arg(number));
  }
  EXPECT_EQ(form->SignerTypeIndex(), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(programDir / "Velmora.ini"));
}

TEST_F(StartUp, refuses_a_settings_file_over_the_limit_unread_and_keeps_the_layout_defaults) {
  WriteSettings(WithJava("SignerType=2\n[UserDefine1]\nEnabled=false\n"));
  const std::uintmax_t size = std::uintmax_t{4} << 30;
  std::filesystem::resize_file(settings.IniPath(), size);
  ShowForm();
  EXPECT_EQ(
      MemoText(),
      kNotice + QStringLiteral("\n配置文件%1超过16 MiB（16777216字节）的大小上限，未读取，请检查")
                    .arg(QString::fromStdString(settings.IniPath())));
  EXPECT_TRUE(UserButtonShown(1));
  EXPECT_EQ(form->SignerTypeIndex(), 0);
  EXPECT_EQ(std::filesystem::file_size(settings.IniPath()), size);
}

// What shows would not be what the user wrote: "true" followed by blanks
// beyond the cut reads as "true", and zeros beyond it turn 1 into 0.
TEST_F(StartUp, names_each_cut_value_hides_its_button_and_writes_no_signer_type) {
  const std::string beyondTheCut(kMaxValueBytes, ' ');
  WriteSettings(WithJava("SignerType=0" + std::string(kMaxValueBytes, '0') + "1\n" +
                         "[UserDefine1]\nEnabled=true\nCaption=" + std::string(3000, 'c') +
                         "\n[UserDefine2]\nEnabled=true" + beyondTheCut +
                         "x\nCaption=ok\n"
                         "[UserDefine3]\nEnabled=true\n"));
  const std::string before = SettingsText();
  ShowForm();
  EXPECT_EQ(MemoText(),
            kNotice + QStringLiteral("\n配置项 [UserDefine1] Caption 超过2047字节被截断，请检查"
                                     "\n配置项 [UserDefine2] Enabled 超过2047字节被截断，请检查"
                                     "\n配置项 [General] SignerType 超过2047字节被截断，请检查"));
  EXPECT_FALSE(UserButtonShown(1));
  EXPECT_FALSE(UserButtonShown(2));
  EXPECT_TRUE(UserButtonShown(3));
  EXPECT_EQ(form->SignerTypeIndex(), 0);
  EXPECT_EQ(SettingsText(), before);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(StartUp, brings_the_results_page_to_the_front) {
  form = std::make_unique<TFormMain>(settings);
  Find<QTabWidget>("PageControl").setCurrentIndex(2);
  form->show();
  EXPECT_EQ(Find<QTabWidget>("PageControl").currentWidget(), &Find("TabSheetResult"));
}

TEST_F(StartUp, shows_exactly_the_user_buttons_whose_section_enables_them) {
  WriteSettings(
      WithJava("[UserDefine2]\nEnabled= TRUE \nCaption=我的命令\n"
               "[UserDefine5]\nEnabled=True\n"
               "[UserDefine7]\nEnabled=yes\nCaption=Seven\n"
               "[userdefine13]\nenabled=true\ncaption=Last\n"));
  ShowForm();
  for (int number = 1; number <= 13; ++number) {
    EXPECT_EQ(UserButtonShown(number), number == 2 || number == 5 || number == 13) << number;
  }
  EXPECT_EQ(UserButtonCaption(2), QStringLiteral("我的命令"));
  EXPECT_EQ(UserButtonCaption(5), QString());
  EXPECT_EQ(UserButtonCaption(7), QStringLiteral("Seven"));
  EXPECT_EQ(UserButtonCaption(13), QStringLiteral("Last"));
  EXPECT_EQ(UserButtonCaption(1), QString());
  EXPECT_EQ(MemoText(), kNotice);
}

TEST_F(StartUp, opens_both_dialogs_in_the_program_directory_when_settings_exist) {
  WriteSettings(WithJava(""));
  ShowForm();
  QString openedIn;
  AnswerFileDialogsWith([&](QFileDialog& dialog) {
    openedIn = dialog.directory().absolutePath();
    return std::optional<QString>();
  });
  Find<QAbstractButton>("BtnOpenFile").click();
  EXPECT_EQ(openedIn, QString::fromStdString(programDir.path()));
  openedIn.clear();
  EXPECT_FALSE(form->AskDestination(SavePrompt{"demo", "所有文件 (*.*)|*.*", "", "另存为", false}));
  EXPECT_EQ(openedIn, QString::fromStdString(programDir.path()));
}

TEST_F(StartUp, reports_a_java_home_without_bin_java) {
  WriteSettings("[General]\nJAVA_HOME=" + javaHome.path() + "/\n");
  ShowForm();
  EXPECT_EQ(MemoText(), kNotice + QStringLiteral("\n没有找到JDK或JRE环境，请检查"));
}

TEST_F(StartUp, takes_a_folder_named_java_for_missing_java) {
  std::filesystem::create_directories(javaHome / "bin/java");
  WriteSettings("[General]\nJAVA_HOME=" + javaHome.path() + "\n");
  ShowForm();
  EXPECT_EQ(MemoText(), kNotice + QStringLiteral("\n没有找到JDK或JRE环境，请检查"));
}

TEST_F(StartUp, says_nothing_about_a_java_home_that_holds_bin_java) {
  WriteSettings(WithJava(""));
  ShowForm();
  EXPECT_EQ(MemoText(), kNotice);
}

// A stored signer type and what start-up makes of it.
struct SignerCase {
  const char* name;
  const char* stored;       // the SignerType line's value
  int selected;             // the radio group's index afterwards
  const char* writtenBack;  // the value in the file afterwards
};

void PrintTo(const SignerCase& signer, std::ostream* out) {
  *out << signer.name;
}

class SignerTypeAtStartUp : public StartUp, public ::testing::WithParamInterface<SignerCase> {};

TEST_P(SignerTypeAtStartUp, selects_the_clamped_item_and_writes_back_only_a_change) {
  const SignerCase& signer = GetParam();
  WriteSettings(WithJava(std::string("SignerType=") + signer.stored + "\n"));
  ShowForm();
  EXPECT_EQ(form->SignerTypeIndex(), signer.selected);
  EXPECT_NE(SettingsText().find(std::string("SignerType=") + signer.writtenBack + "\n"),
            std::string::npos)
      << SettingsText();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(MemoText(), kNotice);
}

const SignerCase kSignerCases[] = {
    {"zero_stays_and_is_not_rewritten", "0", 0, "0"},
    {"one_selects_the_second_item", "1", 1, "1"},
    {"two_selects_the_third_item", "2", 2, "2"},
    {"five_selects_the_last_item_and_writes_two", "5", 2, "2"},
    {"hexadecimal_after_dollar", "$1", 1, "1"},
    {"minus_three_clears_the_selection_and_writes_nothing", "-3", -1, "-3"},
    {"minus_one_clears_the_selection", "-1", -1, "-1"},
};

INSTANTIATE_TEST_SUITE_P(StoredValues, SignerTypeAtStartUp, ::testing::ValuesIn(kSignerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUp, leaves_the_file_untouched_when_the_stored_type_is_already_selected) {
  WriteSettings(WithJava("SignerType=0\n"));
  ::chmod((programDir / "Velmora.ini").c_str(), 0444);
  ShowForm();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(MemoText(), kNotice);
}

TEST_F(StartUp, missing_signer_type_means_the_first_item) {
  WriteSettings(WithJava(""));
  ShowForm();
  EXPECT_EQ(form->SignerTypeIndex(), 0);
  EXPECT_EQ(SettingsText().find("SignerType"), std::string::npos);
}

// A signer type that cannot be used stops start-up with an error box.
struct FailingSignerCase {
  const char* name;
  const char* stored;
  const char* message;
};

void PrintTo(const FailingSignerCase& signer, std::ostream* out) {
  *out << signer.name;
}

class UnusableSignerType : public StartUp,
                           public ::testing::WithParamInterface<FailingSignerCase> {};

TEST_P(UnusableSignerType, shows_an_error_box_and_skips_the_java_check) {
  const FailingSignerCase& signer = GetParam();
  // No bin/java: the Java message would appear had start-up gone on.
  WriteSettings("[General]\nJAVA_HOME=" + javaHome.path() + "\nSignerType=" + signer.stored + "\n");
  ShowForm();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes.front().text, QString::fromUtf8(signer.message));
  EXPECT_EQ(boxes.front().caption, QStringLiteral("Velmora"));
  EXPECT_EQ(boxes.front().icon, QMessageBox::Critical);
  EXPECT_EQ(MemoText(), kNotice);
  EXPECT_TRUE(form->isVisible());
}

const FailingSignerCase kFailingSignerCases[] = {
    {"letters", "abc", "'abc' is not a valid integer value."},
    {"empty_value", "", "'' is not a valid integer value."},
    {"beyond_32_bits", "2147483648", "'2147483648' is not a valid integer value."},
};

INSTANTIATE_TEST_SUITE_P(StoredValues, UnusableSignerType, ::testing::ValuesIn(kFailingSignerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StartUp, read_only_settings_file_shows_unable_to_write_and_skips_the_java_check) {
  WriteSettings("[General]\nJAVA_HOME=" + javaHome.path() + "\nSignerType=2\n");
  ::chmod((programDir / "Velmora.ini").c_str(), 0444);
  ShowForm();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(
      boxes.front().text,
      QStringLiteral("Unable to write to %1.").arg(QString::fromStdString(settings.IniPath())));
  // The selection stays changed although it could not be stored.
  EXPECT_EQ(form->SignerTypeIndex(), 2);
  EXPECT_EQ(MemoText(), kNotice);
}

using SignerTypeClick = StartUp;

TEST_F(SignerTypeClick, writes_the_chosen_item_to_the_settings_file) {
  WriteSettings(WithJava("SignerType=0\n"));
  ShowForm();
  Find<QRadioButton>("rgSignerTypeSetupItem1").click();
  EXPECT_NE(SettingsText().find("SignerType=1\n"), std::string::npos);
  Find<QRadioButton>("rgSignerTypeSetupItem2").click();
  EXPECT_NE(SettingsText().find("SignerType=2\n"), std::string::npos);
  EXPECT_EQ(form->SignerTypeIndex(), 2);
}

TEST_F(SignerTypeClick, creates_the_settings_file_when_there_is_none) {
  ShowForm();
  Find<QRadioButton>("rgSignerTypeSetupItem2").click();
  EXPECT_EQ(SettingsText(), "[General]\nSignerType=2\n");
}

TEST_F(SignerTypeClick, on_the_selected_item_writes_nothing) {
  WriteSettings(WithJava("SignerType=0\n"));
  ShowForm();
  ::chmod((programDir / "Velmora.ini").c_str(), 0444);
  Find<QRadioButton>("rgSignerTypeSetupItem0").click();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SignerTypeClick, on_a_read_only_file_shows_the_error_and_keeps_the_selection) {
  WriteSettings(WithJava("SignerType=0\n"));
  ShowForm();
  ::chmod((programDir / "Velmora.ini").c_str(), 0444);
  Find<QRadioButton>("rgSignerTypeSetupItem1").click();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(
      boxes.front().text,
      QStringLiteral("Unable to write to %1.").arg(QString::fromStdString(settings.IniPath())));
  EXPECT_EQ(form->SignerTypeIndex(), 1);
  EXPECT_NE(SettingsText().find("SignerType=0\n"), std::string::npos);
}

}  // namespace
}  // namespace velmora::test
