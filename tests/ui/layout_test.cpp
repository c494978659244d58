// The window's controls against the layout table: name, kind, place, caption,
// tab order, and how the output area and the dialogs are set up.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <ostream>

#include "form_fixture.h"
#include "shown_filters.h"

namespace velmora::test {
namespace {

struct Control {
  const char* name;
  const char* kind;    // the Qt class
  const char* parent;  // the window or a page
  QRect geometry;      // (left, top, width, height) in the parent
  const char* caption;
  int tag = 0;  // the user-defined buttons' number
};

void PrintTo(const Control& control, std::ostream* out) {
  *out << control.name;
}

const Control kControls[] = {
    {"Label1", "QLabel", "FormMain", {12, 16, 36, 12}, "路径："},
    {"EditSourceFile", "QLineEdit", "FormMain", {48, 12, 385, 20}, ""},
    {"BtnOpenFile", "QPushButton", "FormMain", {440, 12, 65, 21}, "选择文件"},
    {"BtnOpenDir", "QPushButton", "FormMain", {512, 12, 65, 21}, "选择目录"},
    {"BtnDecompile", "QPushButton", "FormMain", {12, 68, 75, 25}, "反编译"},
    {"BtnCompileSigner", "QPushButton", "FormMain", {12, 108, 75, 25}, "回编译+签名"},
    {"BtnUserDefine1", "QPushButton", "FormMain", {12, 148, 75, 25}, "自定义1", 1},
    {"BtnUserDefine2", "QPushButton", "FormMain", {12, 188, 75, 25}, "自定义2", 2},
    {"BtnUserDefine3", "QPushButton", "FormMain", {12, 228, 75, 25}, "自定义3", 3},
    {"BtnCompile", "QPushButton", "FormMain", {12, 268, 75, 25}, "回编译"},
    {"BtnSigner", "QPushButton", "FormMain", {12, 308, 75, 25}, "签名"},
    {"BtnZipAlign", "QPushButton", "FormMain", {12, 348, 75, 25}, "zip对齐"},
    {"PageControl", "QTabWidget", "FormMain", {100, 44, 477, 333}, ""},
    {"BtnInstallFramework",
     "QPushButton",
     "TabSheetMoreCommands",
     {12, 16, 109, 25},
     "安装framework"},
    {"BtnEmptyFramework",
     "QPushButton",
     "TabSheetMoreCommands",
     {136, 16, 109, 25},
     "清除framework"},
    {"Btndex2jar", "QPushButton", "TabSheetMoreCommands", {12, 56, 75, 25}, "dex转jar"},
    {"BtnOpenJar", "QPushButton", "TabSheetMoreCommands", {104, 56, 75, 25}, "打开jar"},
    {"Btnjar2dex", "QPushButton", "TabSheetMoreCommands", {196, 56, 75, 25}, "jar转dex"},
    {"Btndex2smali", "QPushButton", "TabSheetMoreCommands", {12, 96, 75, 25}, "dex转smali"},
    {"Btnsmali2dex", "QPushButton", "TabSheetMoreCommands", {104, 96, 75, 25}, "smali转dex"},
    {"Btnodex2smali", "QPushButton", "TabSheetMoreCommands", {196, 96, 75, 25}, "odex转smali"},
    {"BtnUserDefine4", "QPushButton", "TabSheetMoreCommands", {12, 224, 75, 25}, "自定义4", 4},
    {"BtnUserDefine5", "QPushButton", "TabSheetMoreCommands", {104, 224, 75, 25}, "自定义5", 5},
    {"BtnUserDefine6", "QPushButton", "TabSheetMoreCommands", {196, 224, 75, 25}, "自定义6", 6},
    {"BtnUserDefine7", "QPushButton", "TabSheetMoreCommands", {288, 224, 75, 25}, "自定义7", 7},
    {"BtnUserDefine8", "QPushButton", "TabSheetMoreCommands", {380, 224, 75, 25}, "自定义8", 8},
    {"BtnUserDefine9", "QPushButton", "TabSheetMoreCommands", {12, 264, 75, 25}, "自定义9", 9},
    {"BtnUserDefine10", "QPushButton", "TabSheetMoreCommands", {104, 264, 75, 25}, "自定义10", 10},
    {"BtnUserDefine11", "QPushButton", "TabSheetMoreCommands", {196, 264, 75, 25}, "自定义11", 11},
    {"BtnUserDefine12", "QPushButton", "TabSheetMoreCommands", {288, 264, 75, 25}, "自定义12", 12},
    {"BtnUserDefine13", "QPushButton", "TabSheetMoreCommands", {380, 264, 75, 25}, "自定义13", 13},
    {"rgSignerTypeSetup", "QGroupBox", "TabSheetSetup", {12, 16, 197, 105}, "签名类型"},
};

QString CaptionOf(const QWidget& widget) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    return button->text();
  }
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    return label->text();
  }
  if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
    return group->title();
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
    return edit->text();
  }
  return {};
}

class ControlTable : public FormTest, public ::testing::WithParamInterface<Control> {};

TEST_P(ControlTable, control_has_its_kind_place_caption_and_tag) {
  // No settings file: the layout's own captions stay.
  ShowForm();
  const Control& expected = GetParam();
  const QWidget& widget = Find(expected.name);
  EXPECT_STREQ(widget.metaObject()->className(), expected.kind);
  EXPECT_EQ(widget.parentWidget()->objectName(), QString::fromLatin1(expected.parent));
  EXPECT_EQ(widget.geometry(), expected.geometry);
  EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(expected.caption));
  EXPECT_EQ(widget.property("tag").toInt(), expected.tag);
}

INSTANTIATE_TEST_SUITE_P(MainWindow, ControlTable, ::testing::ValuesIn(kControls),
                         [](const auto& info) { return std::string(info.param.name); });

using MainWindowLayout = FormTest;

TEST_F(MainWindowLayout, window_has_its_caption_and_a_fixed_client_area) {
  ShowForm();
  EXPECT_EQ(form->objectName(), QStringLiteral("FormMain"));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Velmora V1.1"));
  EXPECT_EQ(form->size(), QSize(589, 389));
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  const Qt::WindowFlags flags = form->windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(form->acceptDrops());
}

TEST_F(MainWindowLayout, window_grows_with_a_scaled_screen) {
  // CTest runs this once more with QT_SCALE_FACTOR=1.5, a 144 dpi screen.
  ShowForm();
  const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                          ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                          : 1.0;
  EXPECT_DOUBLE_EQ(form->devicePixelRatioF(), scale);
  EXPECT_EQ(form->grab().toImage().size(), QSize(qRound(589 * scale), qRound(389 * scale)));
  EXPECT_EQ(form->size(), QSize(589, 389));
}

TEST_F(MainWindowLayout, pages_come_in_order_with_the_results_page_active) {
  ShowForm();
  const auto& pages = Find<QTabWidget>("PageControl");
  ASSERT_EQ(pages.count(), 3);
  const QStringList names{QStringLiteral("TabSheetResult"), QStringLiteral("TabSheetMoreCommands"),
                          QStringLiteral("TabSheetSetup")};
  const QStringList captions{QStringLiteral("执行结果"), QStringLiteral("更多命令"),
                             QStringLiteral("系统设置")};
  for (int page = 0; page < pages.count(); ++page) {
    EXPECT_EQ(pages.widget(page)->objectName(), names.at(page));
    EXPECT_EQ(pages.tabText(page), captions.at(page));
  }
  EXPECT_EQ(pages.currentIndex(), 0);
}

TEST_F(MainWindowLayout, output_area_fills_its_page_read_only_and_wrapping) {
  ShowForm();
  const auto& memo = Find<QPlainTextEdit>("MemoResult");
  EXPECT_EQ(memo.geometry(), Find("TabSheetResult").rect());
  EXPECT_TRUE(memo.isReadOnly());
  EXPECT_EQ(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_FALSE(memo.tabChangesFocus());
  EXPECT_EQ(memo.palette().color(QPalette::Base), memo.palette().color(QPalette::ToolTipBase));
}

TEST_F(MainWindowLayout, output_area_holds_the_five_line_notice_before_start_up) {
  form = std::make_unique<TFormMain>(settings);
  const auto& memo = Find<QPlainTextEdit>("MemoResult");
  EXPECT_EQ(memo.toPlainText(), kNotice);
  EXPECT_EQ(memo.blockCount(), 5);
}

TEST_F(MainWindowLayout, signer_type_group_lists_three_items_in_one_column_first_selected) {
  ShowForm();
  const QStringList items{QStringLiteral("使用ApkTool签名"),
                          QStringLiteral("使用JDK签名（不加时间戳）"),
                          QStringLiteral("使用JDK签名（加上时间戳）")};
  Find<QTabWidget>("PageControl").setCurrentWidget(&Find("TabSheetSetup"));
  QCoreApplication::processEvents();
  const auto& group = Find<QGroupBox>("rgSignerTypeSetup");
  const QList<QRadioButton*> buttons = group.findChildren<QRadioButton*>();
  ASSERT_EQ(buttons.size(), 3);
  for (int item = 0; item < 3; ++item) {
    EXPECT_EQ(buttons.at(item)->text(), items.at(item));
    EXPECT_EQ(buttons.at(item)->isChecked(), item == 0);
    EXPECT_EQ(buttons.at(item)->x(), buttons.at(0)->x());
    EXPECT_TRUE(group.contentsRect().contains(buttons.at(item)->geometry()));
    if (item > 0) {
      EXPECT_GT(buttons.at(item)->y(), buttons.at(item - 1)->y());
    }
  }
  EXPECT_EQ(form->SignerTypeIndex(), 0);
}

TEST_F(MainWindowLayout, tab_order_follows_the_table_on_the_window_and_on_the_pages) {
  ShowForm();
  const QStringList expected{QStringLiteral("EditSourceFile"),
                             QStringLiteral("BtnOpenFile"),
                             QStringLiteral("BtnOpenDir"),
                             QStringLiteral("BtnDecompile"),
                             QStringLiteral("BtnCompileSigner"),
                             QStringLiteral("BtnUserDefine1"),
                             QStringLiteral("BtnUserDefine2"),
                             QStringLiteral("BtnUserDefine3"),
                             QStringLiteral("BtnCompile"),
                             QStringLiteral("BtnSigner"),
                             QStringLiteral("BtnZipAlign"),
                             QStringLiteral("PageControl"),
                             QStringLiteral("MemoResult"),
                             QStringLiteral("BtnInstallFramework"),
                             QStringLiteral("BtnEmptyFramework"),
                             QStringLiteral("Btndex2jar"),
                             QStringLiteral("BtnOpenJar"),
                             QStringLiteral("Btnjar2dex"),
                             QStringLiteral("Btndex2smali"),
                             QStringLiteral("Btnsmali2dex"),
                             QStringLiteral("Btnodex2smali"),
                             QStringLiteral("BtnUserDefine4"),
                             QStringLiteral("BtnUserDefine5"),
                             QStringLiteral("BtnUserDefine6"),
                             QStringLiteral("BtnUserDefine7"),
                             QStringLiteral("BtnUserDefine8"),
                             QStringLiteral("BtnUserDefine9"),
                             QStringLiteral("BtnUserDefine10"),
                             QStringLiteral("BtnUserDefine11"),
                             QStringLiteral("BtnUserDefine12"),
                             QStringLiteral("BtnUserDefine13"),
                             QStringLiteral("rgSignerTypeSetupItem0"),
                             QStringLiteral("rgSignerTypeSetupItem1"),
                             QStringLiteral("rgSignerTypeSetupItem2")};
  QStringList chain;
  QWidget* widget = &Find("EditSourceFile");
  do {
    if (expected.contains(widget->objectName()) && !chain.contains(widget->objectName())) {
      chain.append(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != &Find("EditSourceFile"));
  EXPECT_EQ(chain, expected);
}

TEST_F(MainWindowLayout, font_has_twelve_pixel_characters_and_shows_every_caption) {
  ShowForm();
  const QFont font = form->font();
  EXPECT_EQ(font.pixelSize(), 12);
  const QFontMetrics metrics(font);
  for (const QWidget* widget : form->findChildren<QWidget*>()) {
    // The file dialogs are windows of their own, in the desktop's font.
    if (widget->window() != form.get()) {
      continue;
    }
    for (const uint character : CaptionOf(*widget).toUcs4()) {
      EXPECT_TRUE(metrics.inFontUcs4(character))
          << widget->objectName().toStdString() << " U+" << std::hex << character;
    }
    EXPECT_EQ(widget->font().pixelSize(), 12) << widget->objectName().toStdString();
  }
}

TEST_F(MainWindowLayout, open_dialog_filters_packages_and_chooses_an_existing_file) {
  ShowForm();
  const auto& dialog = Find<QFileDialog>("OpenDialog");
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择文件"));
  EXPECT_EQ(ShownFilterNames(dialog),
            (QStringList{QStringLiteral("apk文件 (*.apk)"), QStringLiteral("dex文件 (*.dex)"),
                         QStringLiteral("jar文件 (*.jar)"), QStringLiteral("odex文件 (*.odex)"),
                         QStringLiteral("所有文件 (*.*)")}));
  EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_TRUE(dialog.isSizeGripEnabled());
}

TEST_F(MainWindowLayout, save_dialog_starts_without_filter_and_confirms_overwriting) {
  ShowForm();
  const auto& dialog = Find<QFileDialog>("SaveDialog");
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择目录"));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  // Qt's own "All Files", in Chinese like every label.
  EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("所有文件 (*)")});
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(dialog.isSizeGripEnabled());
}

}  // namespace
}  // namespace velmora::test
