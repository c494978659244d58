// velmora FILE_OR_FOLDER, as the file manager's "Open With" starts it.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "form_fixture.h"
#include "ui/window_start.h"

namespace velmora::test {
namespace {

class OpenWith : public FormTest {
 protected:
  QString FieldAfterStartingWith(const QStringList& arguments) {
    form = ShowMainWindow(settings, QStringList{QStringLiteral("velmora")} + arguments);
    EXPECT_TRUE(form->isVisible());
    return Find<QLineEdit>("EditSourceFile").text();
  }
};

TEST_F(OpenWith, an_existing_package_or_folder_goes_into_the_path_field_as_an_absolute_path) {
  const QString package = QString::fromStdString(programDir.Write("应用 demo.apk", ""));
  const QString folder = QString::fromStdString(programDir.path());
  EXPECT_EQ(FieldAfterStartingWith({package}), package);
  EXPECT_EQ(FieldAfterStartingWith({folder + QStringLiteral("/./")}), folder);
  // Relative to the working directory, after arguments that name nothing.
  EXPECT_EQ(FieldAfterStartingWith(
                {QStringLiteral("no.apk"), QString(), QDir::current().relativeFilePath(package)}),
            package);
}

TEST_F(OpenWith, a_missing_path_or_none_leaves_the_path_field_empty) {
  EXPECT_EQ(FieldAfterStartingWith({QString::fromStdString(programDir / "no.apk")}), QString());
  EXPECT_EQ(FieldAfterStartingWith({}), QString());
}

}  // namespace
}  // namespace velmora::test
