#include "info/info_test_app.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/split_app.h"

namespace velmora::test {

std::string InfoTestApp::Build(const std::string& name, const AppShape& shape) {
  const std::string launcher = shape.launcherAlias ? R"(<activity android:name=".Main"/>
    <activity-alias android:name=".Launcher" android:targetActivity=".Main">)"
                                                   : R"(<activity android:name=".Main">)";
  const std::string end = shape.launcherAlias ? "</activity-alias>" : "</activity>";
  const std::string manifest =
      dir_.Write(name + "/AndroidManifest.xml",
                 std::string(R"(<manifest xmlns:android="http://schemas.android.com/apk/res/android"
    package=")") + kPackage +
                     R"(" android:versionCode="41" android:versionName=")" + shape.versionName +
                     R"(">
  <uses-sdk android:minSdkVersion=")" +
                     std::to_string(shape.minSdk) + "\" android:targetSdkVersion=\"" +
                     std::to_string(shape.targetSdk) + R"("/>
  <uses-permission android:name="android.permission.INTERNET"/>
  <uses-permission-sdk-23 android:name="android.permission.CAMERA"/>
  <uses-permission android:name="android.permission.VIBRATE" android:maxSdkVersion="28"/>
  <application android:label="@string/app_name">
    <activity android:name=".Settings"><intent-filter>
      <action android:name="android.intent.action.VIEW"/></intent-filter></activity>
    )" + launcher + R"(<intent-filter>
      <action android:name="android.intent.action.MAIN"/>
      <category android:name="android.intent.category.LAUNCHER"/></intent-filter>)" +
                     end + R"(
  </application>
</manifest>
)");
  dir_.Write(name + "/res/values/strings.xml",
             "<resources><string name=\"app_name\">信息 Demo</string>"
             "<string name=\"version\">4.1-beta</string></resources>\n");
  dir_.Write(name + "/res/values-fr/strings.xml",
             "<resources><string name=\"app_name\">Démo</string></resources>\n");
  const std::string apk = dir_ / (name + ".apk");
  Run({"aapt2", "compile", "--dir", dir_ / (name + "/res"), "-o", dir_ / (name + "/res.zip")});
  Run({"aapt2", "link", "-o", apk, "--manifest", manifest, "-I", SplitApp::kFramework,
       dir_ / (name + "/res.zip")});
  if (!error_.empty()) return {};
  SplitApp::AddToArchive(apk,
                         {{"classes.dex", std::string(400, 'd')},
                          {"classes2.dex", std::string(300, 'e')},
                          {"lib/arm64-v8a/libinfo.so", SplitApp::LibraryBytes()},
                          {"lib/x86_64/libinfo.so", SplitApp::LibraryBytes()}},
                         8);
  SplitApp::AddToArchive(apk, {{"assets/stored.bin", std::string(kMarker) + std::string(64, 'x')}},
                         0);
  return apk;
}

std::string InfoTestApp::Keystore(const std::string& name, const std::string& algorithm, int bits) {
  const std::string keystore = dir_ / (name + ".jks");
  Run({"keytool", "-genkeypair", "-keystore", keystore, "-storepass", "secret", "-keypass",
       "secret", "-alias", "key", "-keyalg", algorithm, "-keysize", std::to_string(bits),
       "-validity", "3650", "-dname", "CN=Info " + name + ", OU=Tests, O=Velmora, C=CN"});
  return keystore;
}

void InfoTestApp::SignWithApksigner(const std::string& apk, const std::string& keystore,
                                    const std::vector<std::string>& extra) {
  std::vector<std::string> argv{"apksigner", "sign", "--ks", keystore, "--ks-pass", "pass:secret"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(apk);
  Run(argv);
}

void InfoTestApp::SignWithJarsigner(const std::string& apk, const std::string& keystore) {
  Run({"jarsigner", "-keystore", keystore, "-storepass", "secret", apk, "key"});
}

void InfoTestApp::Run(const std::vector<std::string>& argv) {
  if (!error_.empty()) return;
  const FinishedProgram run = RunToEnd(argv);
  if (run.exitStatus != 0) error_ = argv[0] + " " + argv[1] + ": " + run.out + run.err;
}

std::vector<std::string> LinesAfter(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

std::string QuotedValue(const std::string& text, const std::string& key) {
  const std::size_t start = text.find(key + "='");
  if (start == std::string::npos) return {};
  const std::size_t from = start + key.size() + 2;
  return text.substr(from, text.find('\'', from) - from);
}

info::ApkReport ReportOf(const std::string& apk) {
  auto opened = apk::ZipReader::OpenFile(apk, apk);
  if (auto* failure = std::get_if<apk::FormatError>(&opened)) {
    ADD_FAILURE() << failure->message;
    return {};
  }
  auto report = info::ReportApk(std::get<apk::ZipReader>(opened), apk);
  if (auto* failure = std::get_if<apk::FormatError>(&report)) {
    ADD_FAILURE() << failure->message;
    return {};
  }
  return std::get<info::ApkReport>(report);
}

}  // namespace velmora::test
