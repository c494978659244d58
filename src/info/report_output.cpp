#include "info/report_output.h"

#include <cstdio>

namespace velmora::info {
namespace {

constexpr const char* kNone = "（无）";

std::string Line(std::string_view label, std::string_view value) {
  return std::string(label) + "：" + std::string(value) + "\n";
}

std::string ShownText(const ShownValue& value) {
  if (value.number) return std::to_string(*value.number);
  return value.text.value_or(kNone);
}

Json ShownJson(const ShownValue& value) {
  if (value.number) return Json(*value.number);
  return Json::Maybe(value.text);
}

std::string ListLines(std::string_view label, const std::vector<std::string>& items) {
  if (items.empty()) return Line(label, kNone);
  std::string text = std::string(label) + "（" + std::to_string(items.size()) + " 项）：\n";
  for (const std::string& item : items) text += "  " + item + "\n";
  return text;
}

std::string SizeText(std::uint64_t bytes) {
  char megabytes[32];
  std::snprintf(megabytes, sizeof megabytes, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return std::to_string(bytes) + " 字节（" + megabytes + "）";
}

std::string SchemesText(const SignatureReport& signature) {
  if (signature.schemes.empty()) return "（无，未签名）";
  std::string text;
  for (const std::string& scheme : signature.schemes) {
    text += (text.empty() ? "" : " ") + scheme;
    if (scheme == "v3" && signature.v31) text += " v3.1";
  }
  return text;
}

std::string SignatureText(const SignatureReport& signature) {
  std::string text = Line("签名方案", SchemesText(signature));
  text += Line("签名校验", signature.verified ? "通过" : "未通过：" + signature.problem);
  for (std::size_t i = 0; i < signature.signers.size(); ++i) {
    const apk::CertificateFacts& signer = signature.signers[i];
    text += "签名者 " + std::to_string(i + 1) + "：\n";
    text += "  " + Line("证书 SHA-256", signer.sha256);
    text += "  " + Line("主体", signer.subject);
    text += "  " + Line("有效期自", signer.notBefore);
    text += "  " + Line("有效期至", signer.notAfter);
    text += "  " + Line("密钥", signer.keyAlgorithm + " " + std::to_string(signer.keyBits) + " 位");
  }
  return text;
}

std::string ApkText(const ApkReport& apk) {
  std::string text = Line("文件", apk.file);
  text += Line("包名", apk.package.empty() ? kNone : apk.package);
  text += Line("版本号", apk.versionCode ? std::to_string(*apk.versionCode) : kNone);
  text += Line("版本名", apk.versionName.value_or(kNone));
  text += Line("应用名称", apk.label.value_or(kNone));
  text += Line("最低 SDK", ShownText(apk.minSdk));
  text += Line("目标 SDK", ShownText(apk.targetSdk));
  text += Line("编译 SDK", ShownText(apk.compileSdk));
  text += Line("分包", apk.split.empty() ? "（基础包）" : apk.split);
  text += Line("启动 Activity", apk.launchActivity.value_or(kNone));
  text += ListLines("权限", apk.permissions);
  text += ListLines("CPU 类型", apk.abis);
  text += Line("dex 文件数", std::to_string(apk.dexFiles));
  text += Line("大小", SizeText(apk.size));
  return text + SignatureText(apk.signature);
}

Json SignerJson(const apk::CertificateFacts& signer) {
  return Json::Object{{"sha256", signer.sha256},
                      {"subject", signer.subject},
                      {"notBefore", signer.notBefore},
                      {"notAfter", signer.notAfter},
                      {"keyAlgorithm", signer.keyAlgorithm},
                      {"keyBits", std::int64_t{signer.keyBits}}};
}

Json ApkJson(const ApkReport& apk) {
  Json::Array signers;
  for (const apk::CertificateFacts& signer : apk.signature.signers) {
    signers.push_back(SignerJson(signer));
  }
  return Json::Object{
      {"file", apk.file},
      {"package", apk.package.empty() ? Json() : Json(apk.package)},
      {"versionCode", Json::Maybe(apk.versionCode)},
      {"versionName", Json::Maybe(apk.versionName)},
      {"label", Json::Maybe(apk.label)},
      {"minSdk", ShownJson(apk.minSdk)},
      {"targetSdk", ShownJson(apk.targetSdk)},
      {"compileSdk", ShownJson(apk.compileSdk)},
      {"split", apk.split},
      {"launchActivity", Json::Maybe(apk.launchActivity)},
      {"permissions", Json::Strings(apk.permissions)},
      {"abis", Json::Strings(apk.abis)},
      {"dexFiles", std::int64_t{apk.dexFiles}},
      {"size", static_cast<std::int64_t>(apk.size)},
      {"signature", Json::Object{{"verified", apk.signature.verified},
                                 {"schemes", Json::Strings(apk.signature.schemes)},
                                 {"signers", Json::Array(std::move(signers))}}},
  };
}

}  // namespace

std::string ReportText(const PathReport& report) {
  if (!report.set) return ApkText(report.apks.front());
  const ApkReport& base = report.apks.front();
  std::string text = Line("安装包组", report.path);
  text += Line("包名", base.package.empty() ? kNone : base.package);
  text += Line("版本号", base.versionCode ? std::to_string(*base.versionCode) : kNone);
  text += Line("APK 数", std::to_string(report.apks.size()));
  for (const ApkReport& apk : report.apks) text += "\n" + ApkText(apk);
  return text;
}

Json ReportJson(const PathReport& report) {
  if (!report.set) return ApkJson(report.apks.front());
  const ApkReport& base = report.apks.front();
  Json::Array apks;
  for (const ApkReport& apk : report.apks) apks.push_back(ApkJson(apk));
  return Json::Object{{"package", base.package.empty() ? Json() : Json(base.package)},
                      {"versionCode", Json::Maybe(base.versionCode)},
                      {"apks", Json::Array(std::move(apks))}};
}

}  // namespace velmora::info
