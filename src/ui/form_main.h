#pragma once

#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "exec/window_operations.h"
#include "ui/output_area.h"
#include "ui/qt_run_events.h"

class QAbstractButton;
class QButtonGroup;
class QFileDialog;

namespace Ui {
class TFormMain;
}

namespace velmora {

// The program's one window. Its layout is form_main.ui; its handlers are named
// after the control and the event. It also is what the command pipeline sees
// of the window.
class TFormMain : public QWidget, public WindowOperations {
  Q_OBJECT

 public:
  // `settings` is read at the first showing and by the handlers; it must
  // outlive the window.
  explicit TFormMain(const Settings& settings, QWidget* parent = nullptr);
  ~TFormMain() override;

  // WindowOperations
  void AppendLine(std::string_view line) override;
  void AppendToolText(std::string_view text) override;
  void ShowResultsPage() override;
  void ClearOutput() override;
  std::string SourcePathField() override;
  int SignerTypeIndex() override;
  std::optional<std::string> AskDestination(const SavePrompt& prompt) override;
  RunEvents& Events() override;

  // Runs one command of the window (a tool run, which may wait in a nested
  // event loop). An exception leaving it is shown as an error box. A close
  // asked for meanwhile is carried out once the outermost command has ended.
  void RunCommand(const std::function<void()>& command);

  // Puts `path` into the path field as a drop of that file or folder on the
  // window would: how the program opens what it was started with.
  void OpenPath(const QString& path);
  // Stops the innermost run going on (Esc, or "停止运行" in the output
  // area's context menu); nothing happens when there is none.
  void StopInnermostRun();
  // Stops every run and closes the window once they have ended: the program
  // is being ended.
  void StopRunsAndClose();

  // The output area, for whoever must see appended lines at once.
  OutputArea& Output() { return output_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormShow();
  void BtnOpenFileClick();
  void BtnOpenDirClick();
  void BtnDecompileClick();
  void BtnCompileClick();
  void BtnSignerClick();
  void BtnZipAlignClick();
  void BtnCompileSignerClick();
  void BtnInstallFrameworkClick();
  void BtnEmptyFrameworkClick();
  void Btndex2jarClick();
  void BtnOpenJarClick();
  void Btnjar2dexClick();
  void Btndex2smaliClick();
  void Btnsmali2dexClick();
  void Btnodex2smaliClick();
  // All thirteen user-defined buttons; `sender` is the one pressed.
  void BtnUserDefine1Click(const QObject& sender);
  void rgSignerTypeSetupClick();
  void FormDropFiles(const QString& path);

  QAbstractButton* UserDefinedButton(int number) const;
  void ConnectHandlers();
  void ConnectCommandButtons();
  void DispatchOnClick(QAbstractButton* button, void (TFormMain::*handler)());
  void RunCommandOnClick(QAbstractButton* button, const std::function<void()>& handler);
  void RunButtonCommand(QAbstractButton* button, const std::function<void()>& handler);
  void AddStopAction();
  void ShowOutputContextMenu(const QPoint& position);
  void RunButtonSection(std::string_view section);
  void LoadUserDefinedButtons(const SettingsReading& reading);
  // Whether the value is cut; a line says so when it is.
  bool ReportedCut(const SettingsReading& reading, std::string_view section, std::string_view key);
  void SelectSignerType(int index);
  void ReportMissingJava();

  const Settings& settings_;
  std::unique_ptr<Ui::TFormMain> ui_;
  QButtonGroup* signerTypes_;
  QFileDialog* openDialog_;
  QFileDialog* saveDialog_;
  QString openInitialDirectory_;
  QString saveInitialDirectory_;
  OutputArea output_;
  QtRunEvents events_;
  bool shown_ = false;
  int runDepth_ = 0;
  bool closeRequested_ = false;
  // The buttons whose command is going on now.
  QSet<const QAbstractButton*> buttonsRunning_;
};

}  // namespace velmora
