// Starting the program with a file or folder to open (velmora FILE_OR_FOLDER,
// as the file manager's "Open With" does).

#include <gtest/gtest.h>

#include <QLineEdit>
#include <ostream>

#include "form_fixture.h"
#include "ui/window_start.h"

namespace velmora::test {
namespace {

// "@" in an argument or a path stands for the working directory.
struct OpenCase {
  const char* name;
  QStringList arguments;
  std::optional<QString> path;
};

void PrintTo(const OpenCase& open, std::ostream* out) {
  *out << open.name;
}

class PathToOpenFrom : public ::testing::TestWithParam<OpenCase> {
 protected:
  PathToOpenFrom() {
    work.Write("demo.apk", "");
    work.Write("我的 包.apk", "");
    work.Write("demo/AndroidManifest.xml", "");
  }
  QString InWork(QString text) const {
    return text.replace(QLatin1Char('@'), QString::fromStdString(work.path()));
  }
  TempDir work;
};

TEST_P(PathToOpenFrom, takes_the_first_existing_file_or_folder_as_a_drop_would) {
  QStringList arguments;
  for (const QString& argument : GetParam().arguments) arguments.append(InWork(argument));
  const std::optional<QString> expected =
      GetParam().path ? std::optional(InWork(*GetParam().path)) : std::nullopt;
  EXPECT_EQ(PathToOpen(arguments, QDir(QString::fromStdString(work.path()))), expected);
}

const OpenCase kOpens[] = {
    {"absolute_file", {QStringLiteral("@/demo.apk")}, QStringLiteral("@/demo.apk")},
    {"folder", {QStringLiteral("@/demo/")}, QStringLiteral("@/demo")},
    {"relative_to_the_working_directory",
     {QStringLiteral("demo.apk")},
     QStringLiteral("@/demo.apk")},
    {"dot_segments", {QStringLiteral("./demo/../demo.apk")}, QStringLiteral("@/demo.apk")},
    {"blank_and_chinese", {QStringLiteral("我的 包.apk")}, QStringLiteral("@/我的 包.apk")},
    {"first_existing_of_several",
     {QStringLiteral("missing.apk"), QString(), QStringLiteral("demo"), QStringLiteral("demo.apk")},
     QStringLiteral("@/demo")},
    {"missing_only", {QStringLiteral("@/missing.apk")}, std::nullopt},
    {"none", {}, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Arguments, PathToOpenFrom, ::testing::ValuesIn(kOpens),
                         [](const auto& info) { return std::string(info.param.name); });

class OpenWith : public FormTest {
 protected:
  QString Field() const { return Find<QLineEdit>("EditSourceFile").text(); }
};

TEST_F(OpenWith, a_package_starts_the_window_with_it_in_the_path_field) {
  const QString package = QString::fromStdString(programDir.Write("应用 demo.apk", ""));
  form = ShowMainWindow(settings, {QStringLiteral("velmora"), package});
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Field(), package);
}

TEST_F(OpenWith, a_missing_path_or_none_leaves_the_path_field_empty) {
  for (const QStringList& arguments :
       {QStringList{QStringLiteral("velmora"), QString::fromStdString(programDir / "no.apk")},
        QStringList{QStringLiteral("velmora")}}) {
    form = ShowMainWindow(settings, arguments);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(Field(), QString()) << arguments.join(QLatin1Char(' ')).toStdString();
  }
}

}  // namespace
}  // namespace velmora::test
