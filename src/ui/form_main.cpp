#include "ui/form_main.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPalette>
#include <QScreen>
#include <QSignalBlocker>
#include <filesystem>
#include <utility>

#include "config/text.h"
#include "config/tool_locations.h"
#include "exec/button_requests.h"
#include "exec/command_pipeline.h"
#include "ui/dialogs.h"
#include "ui/dropped_paths.h"
#include "ui/handler_dispatch.h"
#include "ui/signer_type.h"
#include "ui/window_font.h"
#include "ui_form_main.h"

namespace velmora {
namespace {

constexpr int kUserDefinedButtons = 13;

constexpr std::string_view kClosesAfterRunLine =
    "程序正在运行，窗口将在程序结束后关闭；按Esc键可立即停止运行";
constexpr std::string_view kStillRunningLine = "该命令正在运行，请等待其结束";

std::unique_ptr<Ui::TFormMain> SetUpLayout(QWidget& form) {
  auto layout = std::make_unique<Ui::TFormMain>();
  layout->setupUi(&form);
  return layout;
}

// The tooltip background tells the output area apart from the window.
void PaintOnTooltipBackground(QWidget& widget) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
  widget.setPalette(palette);
}

}  // namespace

TFormMain::TFormMain(const Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      settings_(settings),
      ui_(SetUpLayout(*this)),
      signerTypes_(new QButtonGroup(this)),
      openDialog_(new QFileDialog(this)),
      saveDialog_(new QFileDialog(this)),
      output_(*ui_->MemoResult) {
  setFont(WindowFont());
  setFixedSize(size());
  PaintOnTooltipBackground(*ui_->MemoResult);
  openDialog_->setObjectName(QStringLiteral("OpenDialog"));
  ConfigureOpenDialog(*openDialog_);
  saveDialog_->setObjectName(QStringLiteral("SaveDialog"));
  ConfigureSaveDialog(*saveDialog_);
  signerTypes_->setObjectName(QStringLiteral("rgSignerTypeSetupItems"));
  signerTypes_->addButton(ui_->rgSignerTypeSetupItem0, 0);
  signerTypes_->addButton(ui_->rgSignerTypeSetupItem1, 1);
  signerTypes_->addButton(ui_->rgSignerTypeSetupItem2, 2);
  ConnectHandlers();
  AddStopAction();
  move(QGuiApplication::primaryScreen()->availableGeometry().center() - rect().center());
}

TFormMain::~TFormMain() = default;

QAbstractButton* TFormMain::UserDefinedButton(int number) const {
  return findChild<QAbstractButton*>(QStringLiteral("BtnUserDefine%1").arg(number));
}

void TFormMain::ConnectHandlers() {
  DispatchOnClick(ui_->BtnOpenFile, &TFormMain::BtnOpenFileClick);
  DispatchOnClick(ui_->BtnOpenDir, &TFormMain::BtnOpenDirClick);
  ConnectCommandButtons();
  // Only a change of item is a click of the radio group; a programmatic
  // change blocks this and calls the handler itself.
  connect(signerTypes_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) {
      DispatchHandler(this, [this] { rgSignerTypeSetupClick(); });
    }
  });
}

void TFormMain::ConnectCommandButtons() {
  const std::pair<QAbstractButton*, void (TFormMain::*)()> builtIn[] = {
      {ui_->BtnDecompile, &TFormMain::BtnDecompileClick},
      {ui_->BtnCompile, &TFormMain::BtnCompileClick},
      {ui_->BtnSigner, &TFormMain::BtnSignerClick},
      {ui_->BtnZipAlign, &TFormMain::BtnZipAlignClick},
      {ui_->BtnCompileSigner, &TFormMain::BtnCompileSignerClick},
      {ui_->BtnInstallFramework, &TFormMain::BtnInstallFrameworkClick},
      {ui_->BtnEmptyFramework, &TFormMain::BtnEmptyFrameworkClick},
      {ui_->Btndex2jar, &TFormMain::Btndex2jarClick},
      {ui_->BtnOpenJar, &TFormMain::BtnOpenJarClick},
      {ui_->Btnjar2dex, &TFormMain::Btnjar2dexClick},
      {ui_->Btndex2smali, &TFormMain::Btndex2smaliClick},
      {ui_->Btnsmali2dex, &TFormMain::Btnsmali2dexClick},
      {ui_->Btnodex2smali, &TFormMain::Btnodex2smaliClick},
  };
  for (const auto& [button, handler] : builtIn) {
    RunCommandOnClick(button, [this, handler] { (this->*handler)(); });
  }
  for (int number = 1; number <= kUserDefinedButtons; ++number) {
    QAbstractButton* button = UserDefinedButton(number);
    RunCommandOnClick(button, [this, button] { BtnUserDefine1Click(*button); });
  }
}

void TFormMain::DispatchOnClick(QAbstractButton* button, void (TFormMain::*handler)()) {
  connect(button, &QAbstractButton::clicked, this,
          [this, handler] { DispatchHandler(this, [this, handler] { (this->*handler)(); }); });
}

// A command button's handler may wait for its tool in a nested event loop.
void TFormMain::RunCommandOnClick(QAbstractButton* button, const std::function<void()>& handler) {
  connect(button, &QAbstractButton::clicked, this,
          [this, button, handler] { RunButtonCommand(button, handler); });
}

// Pressed again while its command runs (a double-click does that), a button
// would start the same tool a second time on the same files.
void TFormMain::RunButtonCommand(QAbstractButton* button, const std::function<void()>& handler) {
  if (buttonsRunning_.contains(button)) {
    AppendLine(kStillRunningLine);
    return;
  }
  buttonsRunning_.insert(button);
  RunCommand(handler);
  buttonsRunning_.remove(button);
}

// Esc stops a run with the focus anywhere in the window, and never closes it.
void TFormMain::AddStopAction() {
  auto* stop = new QAction(QStringLiteral("停止运行"), this);
  stop->setObjectName(QStringLiteral("ActionStopRun"));
  stop->setShortcut(QKeySequence(Qt::Key_Escape));
  stop->setShortcutContext(Qt::WindowShortcut);
  connect(stop, &QAction::triggered, this, &TFormMain::StopInnermostRun);
  addAction(stop);
  ui_->MemoResult->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ui_->MemoResult, &QWidget::customContextMenuRequested, this,
          &TFormMain::ShowOutputContextMenu);
}

void TFormMain::ShowOutputContextMenu(const QPoint& position) {
  QMenu* menu = ui_->MemoResult->createStandardContextMenu(position);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  // The Esc after a tab is shown as the item's shortcut; the window's own
  // action already takes the key.
  QAction* stop = menu->addAction(QStringLiteral("停止运行\tEsc"));
  stop->setObjectName(QStringLiteral("MenuStopRun"));
  stop->setEnabled(!events_.Tools().Empty());
  connect(stop, &QAction::triggered, this, &TFormMain::StopInnermostRun);
  menu->popup(ui_->MemoResult->mapToGlobal(position));
}

void TFormMain::StopInnermostRun() {
  events_.Tools().StopInnermost();
}

void TFormMain::StopRunsAndClose() {
  events_.Tools().StopAll();
  close();
}

void TFormMain::AppendLine(std::string_view line) {
  output_.AppendLine(line);
}

void TFormMain::AppendToolText(std::string_view text) {
  output_.AppendToolText(text);
}

void TFormMain::ShowResultsPage() {
  ui_->PageControl->setCurrentWidget(ui_->TabSheetResult);
}

void TFormMain::ClearOutput() {
  output_.Clear();
}

std::string TFormMain::SourcePathField() {
  return ui_->EditSourceFile->text().toStdString();
}

int TFormMain::SignerTypeIndex() {
  return signerTypes_->checkedId();
}

std::optional<std::string> TFormMain::AskDestination(const SavePrompt& prompt) {
  ApplySavePrompt(*saveDialog_, prompt);
  const std::optional<QString> chosen =
      AskRemembering(*saveDialog_, saveInitialDirectory_, QString::fromStdString(prompt.FileName));
  if (!chosen) {
    return std::nullopt;
  }
  return chosen->toStdString();
}

RunEvents& TFormMain::Events() {
  return events_;
}

void TFormMain::RunCommand(const std::function<void()>& command) {
  ++runDepth_;
  DispatchHandler(this, command);
  --runDepth_;
  if (runDepth_ == 0 && closeRequested_) {
    closeRequested_ = false;
    close();
  }
}

void TFormMain::OpenPath(const QString& path) {
  FormDropFiles(path);
}

void TFormMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) {
    shown_ = true;
    DispatchHandler(this, [this] { FormShow(); });
  }
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // A run waiting for its tool sits in a nested event loop; were the window
  // to go now, the run would go on unseen and the program could not end. It
  // stays until the run has shown its end banner.
  if (runDepth_ > 0) {
    if (!closeRequested_) {
      AppendLine(kClosesAfterRunLine);
    }
    closeRequested_ = true;
    event->ignore();
    return;
  }
  event->accept();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  if (FirstLocalPath(event->mimeData()->urls())) {
    event->acceptProposedAction();
  }
}

void TFormMain::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = FirstLocalPath(event->mimeData()->urls());
  if (!path) {
    return;
  }
  event->acceptProposedAction();
  DispatchHandler(this, [this, &path] { FormDropFiles(*path); });
}

void TFormMain::FormShow() {
  ShowResultsPage();
  if (!settings_.SettingsFileExists()) {
    AppendLine("配置文件Velmora.ini不存在，请检查");
    return;
  }
  const SettingsReading reading = settings_.ReadAll();
  if (reading.TooLarge()) {
    AppendLine(SettingsFileTooLargeMessage(settings_.IniPath()));
    return;
  }
  openInitialDirectory_ = QString::fromStdString(settings_.ResolveCurrentDir());
  saveInitialDirectory_ = openInitialDirectory_;
  LoadUserDefinedButtons(reading);
  // A cut number would be another signer type than the one stored: the
  // window keeps the one it shows and writes nothing back.
  if (!ReportedCut(reading, "General", "SignerType")) {
    SelectSignerType(SignerTypeIndexFromSetting(reading.ReadSetting("General", "SignerType", "0")));
  }
  ReportMissingJava();
}

bool TFormMain::ReportedCut(const SettingsReading& reading, std::string_view section,
                            std::string_view key) {
  if (!reading.IsCut(section, key)) {
    return false;
  }
  AppendLine(CutSettingMessage(section, key));
  return true;
}

// A button whose Enabled or Caption is cut stays hidden: what shows would not
// be what the user wrote.
void TFormMain::LoadUserDefinedButtons(const SettingsReading& reading) {
  for (int number = 1; number <= kUserDefinedButtons; ++number) {
    const std::string section = "UserDefine" + std::to_string(number);
    QAbstractButton* button = UserDefinedButton(number);
    const bool enabledCut = ReportedCut(reading, section, "Enabled");
    const bool captionCut = ReportedCut(reading, section, "Caption");
    button->setVisible(!enabledCut && !captionCut &&
                       LowerAscii(reading.ReadSetting(section, "Enabled", "")) == "true");
    button->setText(QString::fromStdString(reading.ReadSetting(section, "Caption", "")));
  }
}

void TFormMain::SelectSignerType(int index) {
  if (index == SignerTypeIndex()) {
    return;
  }
  {
    const QSignalBlocker blocker(signerTypes_);
    if (index < 0) {
      // An exclusive group refuses to uncheck its last checked button.
      signerTypes_->setExclusive(false);
      signerTypes_->checkedButton()->setChecked(false);
      signerTypes_->setExclusive(true);
    } else {
      signerTypes_->button(index)->setChecked(true);
    }
  }
  // Called here rather than through the signal, so that a failed write
  // also cuts start-up short.
  if (index >= 0) {
    rgSignerTypeSetupClick();
  }
}

void TFormMain::ReportMissingJava() {
  const std::filesystem::path java = ResolveJavaHome(settings_) + "/bin/java";
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(java, ignored)) {
    AppendLine("没有找到JDK或JRE环境，请检查");
  }
}

void TFormMain::BtnOpenFileClick() {
  if (const std::optional<QString> chosen = AskRemembering(*openDialog_, openInitialDirectory_)) {
    ui_->EditSourceFile->setText(*chosen);
  }
}

void TFormMain::BtnOpenDirClick() {
  if (const std::optional<QString> chosen = BrowseForFolder(this)) {
    ui_->EditSourceFile->setText(*chosen);
  }
}

void TFormMain::RunButtonSection(std::string_view section) {
  RunSection(ButtonRequestFor(section, settings_), settings_, *this);
}

void TFormMain::BtnDecompileClick() {
  RunButtonSection("Decompile");
}

void TFormMain::BtnCompileClick() {
  RunButtonSection("Compile");
}

void TFormMain::BtnSignerClick() {
  RunButtonSection("Signer");
}

void TFormMain::BtnZipAlignClick() {
  RunButtonSection("ZipAlign");
}

void TFormMain::BtnCompileSignerClick() {
  RebuildThenSign(settings_, *this);
}

void TFormMain::BtnInstallFrameworkClick() {
  RunButtonSection("InstallFramework");
}

void TFormMain::BtnEmptyFrameworkClick() {
  RunButtonSection("EmptyFramework");
}

void TFormMain::Btndex2jarClick() {
  RunButtonSection("dex2jar");
}

void TFormMain::BtnOpenJarClick() {
  RunButtonSection("OpenJar");
}

void TFormMain::Btnjar2dexClick() {
  RunButtonSection("jar2dex");
}

void TFormMain::Btndex2smaliClick() {
  RunButtonSection("dex2smali");
}

void TFormMain::Btnsmali2dexClick() {
  RunButtonSection("smali2dex");
}

void TFormMain::Btnodex2smaliClick() {
  RunButtonSection("odex2smali");
}

void TFormMain::BtnUserDefine1Click(const QObject& sender) {
  RunButtonSection("UserDefine" + std::to_string(sender.property("tag").toInt()));
}

void TFormMain::rgSignerTypeSetupClick() {
  settings_.WriteSetting("General", "SignerType", std::to_string(SignerTypeIndex()));
}

void TFormMain::FormDropFiles(const QString& path) {
  ui_->EditSourceFile->setText(path);
}

}  // namespace velmora
