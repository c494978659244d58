#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "apk/zip_writer.h"
#include "support/child_program.h"
#include "support/temp_dir.h"

namespace velmora::test {

// A small app built with Debian's aapt2: a base and config splits for two
// languages and two densities (aapt2 link --split), a CPU-type split put
// together by hand around a stored native library, and the same app built
// whole. Its base manifest carries every split declaration a store adds.
class SplitApp {
 public:
  static constexpr const char* kFramework = "/usr/share/android-framework-res/framework-res.apk";
  static constexpr const char* kLibrary = "lib/arm64-v8a/libdemo.so";

  // Builds into `dir`; Error() says what went wrong.
  explicit SplitApp(const TempDir& dir) : dir_(dir) {
    WriteSources();
    Run({"aapt2", "compile", "--dir", dir_ / "res", "-o", dir_ / "res.zip"});
    Run({"aapt2", "link", "-o", dir_ / "whole.apk", "--manifest", dir_ / "AndroidManifest.xml",
         "-I", kFramework, dir_ / "res.zip"});
    Run({"aapt2", "link", "-o", dir_ / "base.apk", "--manifest", dir_ / "AndroidManifest.xml", "-I",
         kFramework, "--split", dir_ / "config.fr.apk:fr", "--split", dir_ / "config.de.apk:de",
         "--split", dir_ / "config.hdpi.apk:hdpi", "--split", dir_ / "config.xhdpi.apk:xhdpi",
         dir_ / "res.zip"});
    ManifestOnlySplit("config.arm64_v8a", "7", "");
    if (error_.empty()) {
      AddToArchive(dir_ / "config.arm64_v8a.apk", {{kLibrary, LibraryBytes()}}, 0);
    }
  }

  const std::string& Error() const { return error_; }
  std::string Whole() const { return dir_ / "whole.apk"; }

  // The APKs of the set, by file name.
  std::map<std::string, std::string> SetFiles() const {
    std::map<std::string, std::string> files;
    for (const char* name : {"base.apk", "config.fr.apk", "config.de.apk", "config.hdpi.apk",
                             "config.xhdpi.apk", "config.arm64_v8a.apk"}) {
      files[name] = dir_ / name;
    }
    return files;
  }

  // An APK that holds only a manifest with `split` and the extra attributes,
  // of version `versionCode`, as `<split>.apk` beside the others.
  std::string ManifestOnlySplit(const std::string& split, const std::string& versionCode,
                                const std::string& attributes) {
    const std::string manifest =
        dir_.Write(split + ".xml",
                   "<manifest xmlns:android=\"http://schemas.android.com/apk/res/android\" "
                   "package=\"org.velmora.splitdemo\" android:versionCode=\"" +
                       versionCode + "\" split=\"" + split + "\" " + attributes +
                       "><application android:hasCode=\"false\"/></manifest>");
    Run({"aapt2", "link", "-o", dir_ / (split + ".apk"), "--manifest", manifest, "-I", kFramework});
    return dir_ / (split + ".apk");
  }

  static std::string LibraryBytes() {
    std::string bytes =
        "\x7f"
        "ELF";
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>(i % 7));
    return bytes;
  }

  // Writes an archive at `path` holding `entries` (name to bytes), each
  // compressed with `method`.
  static void WriteArchive(const std::string& path,
                           const std::map<std::string, std::string>& entries, int method) {
    auto created = apk::ZipWriter::Create(path);
    auto& writer = std::get<apk::ZipWriter>(created);
    for (const auto& [name, bytes] : entries) writer.Add(name, bytes, method, 315532800);
    writer.Commit();
  }

  // Adds `entries` to the archive at `path`, each compressed with `method`.
  static void AddToArchive(const std::string& path,
                           const std::map<std::string, std::string>& entries, int method) {
    const std::string grown = path + ".grown";
    {
      auto created = apk::ZipWriter::Create(grown);
      auto& writer = std::get<apk::ZipWriter>(created);
      auto opened = apk::ZipReader::OpenFile(path, path);
      const auto& reader = std::get<apk::ZipReader>(opened);
      for (const apk::ZipEntry& entry : reader.Entries()) writer.Copy(reader, entry);
      for (const auto& [name, bytes] : entries) writer.Add(name, bytes, method, 315532800);
      writer.Commit();
    }
    std::filesystem::rename(grown, path);
  }

 private:
  void Run(const std::vector<std::string>& argv) {
    if (!error_.empty()) return;
    const FinishedProgram run = RunToEnd(argv);
    if (run.exitStatus != 0) error_ = argv[0] + " " + argv[1] + ": " + run.out + run.err;
  }

  void WriteSources() {
    dir_.Write("AndroidManifest.xml",
               R"(<manifest xmlns:android="http://schemas.android.com/apk/res/android"
    package="org.velmora.splitdemo" android:versionCode="7" android:versionName="1.7"
    android:isolatedSplits="false">
  <uses-split android:name="feature_extra"/>
  <application android:label="@string/app_name" android:icon="@drawable/icon"
      android:theme="@style/Theme.Demo" android:isSplitRequired="true">
    <meta-data android:name="com.android.vending.splits.required" android:value="true"/>
    <meta-data android:name="com.android.stamp.source" android:value="https://play.example"/>
    <meta-data android:name="com.android.stamp.type" android:value="STAMP_TYPE_STANDALONE_APK"/>
    <meta-data android:name="org.velmora.kept" android:value="yes"/>
  </application>
</manifest>
)");
    dir_.Write("res/values/values.xml", R"(<resources>
  <string name="app_name">Demo</string>
  <string name="greeting"><b>Hello</b> world</string>
  <string name="farewell">Bye</string>
  <color name="accent">#ff0000</color>
  <style name="Theme.Demo" parent="@android:style/Theme.Material">
    <item name="android:colorAccent">@color/accent</item>
  </style>
</resources>
)");
    dir_.Write("res/values-fr/values.xml", R"(<resources>
  <string name="app_name">Démo</string>
  <string name="greeting"><i>Bonjour</i> le monde</string>
  <string name="farewell">@string/app_name</string>
</resources>
)");
    dir_.Write("res/values-de/values.xml",
               "<resources><string name=\"app_name\">Demo DE</string></resources>\n");
    int width = 0;
    for (const char* density : {"mdpi", "hdpi", "xhdpi"}) {
      dir_.Write(std::string("res/drawable-") + density + "/icon.xml",
                 "<shape xmlns:android=\"http://schemas.android.com/apk/res/android\">"
                 "<solid android:color=\"@color/accent\"/><size android:width=\"" +
                     std::to_string(++width) + "dp\"/></shape>\n");
    }
  }

  const TempDir& dir_;
  std::string error_;
};

}  // namespace velmora::test
