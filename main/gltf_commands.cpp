// The command panel's glTF items: the file and the unit scale asked for, the
// export or import run through the service object, and what it did, or why
// it did nothing, shown in a message box.
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "io/gltf_export.h"
#include "io/gltf_import.h"
#include "main/dlmain.h"
#include "platform/codepage.h"

namespace {

std::string Ansi(const char* utf8) { return quorvel::platform::Utf8ToAnsi(utf8); }

// A report box shows this many of the importer's notes, then how many more.
constexpr size_t kShownNotes = 10;

FILE_DIALOG_PARAM ExportFileDialog() {
  return FILE_DIALOG_PARAM{Ansi("glTF書き出し"),
                           {{Ansi("glTF バイナリ (*.glb)"), "*.glb"}, {Ansi("glTF (*.gltf)"), "*.gltf"}},
                           "glb"};
}

FILE_DIALOG_PARAM ImportFileDialog() {
  return FILE_DIALOG_PARAM{Ansi("glTF読み込み"),
                           {{Ansi("glTF (*.glb, *.gltf)"), "*.glb;*.gltf"},
                            {Ansi("glTF バイナリ (*.glb)"), "*.glb"},
                            {Ansi("glTF (*.gltf)"), "*.gltf"}},
                           "glb"};
}

// "label 5 / label 4 / ...", the labels given in UTF-8.
std::string Counts(std::initializer_list<std::pair<const char*, int>> counts) {
  std::string text;
  for (const auto& [label, value] : counts) {
    if (!text.empty()) text += " / ";
    text += Ansi(label) + " " + std::to_string(value);
  }
  return text;
}

std::string ExportReportText(const std::string& path, const quorvel::gltf::ExportReport& report) {
  return path + Ansi(" に書き出しました。\n") +
         Counts({{"オブジェクト", report.objects},
                 {"ジョイント", report.joints},
                 {"頂点", report.vertices},
                 {"モーフ", report.targets},
                 {"アニメーション", report.animations}});
}

std::string ImportReportText(const std::string& path, const quorvel::gltf::ImportReport& report) {
  std::string text = path + Ansi(" を読み込みました。\n") +
                     Counts({{"オブジェクト", report.objects},
                             {"ジョイント", report.joints},
                             {"頂点", report.vertices},
                             {"モーフ", report.targets},
                             {"ポーズ", report.poses}});
  if (report.notes.empty()) return text;
  text += Ansi("\n\n読み込みで失われたもの:");
  for (size_t i = 0; i < report.notes.size() && i < kShownNotes; ++i) {
    text += "\n" + Ansi(report.notes[i].c_str());
  }
  if (report.notes.size() > kShownNotes) {
    text += "\n" + Ansi("ほか ") + std::to_string(report.notes.size() - kShownNotes) + Ansi(" 件");
  }
  return text;
}

}  // namespace

bool DLMAIN::AskGltfFile(void* owner, bool save, std::string& path, float& unit_scale) {
  const std::string caption = Ansi(save ? "glTF書き出し" : "glTF読み込み");
  ++dialogcall_cnt;
  bool ok = save ? ui->AskSavePath(owner, ExportFileDialog(), path)
                 : ui->AskOpenPath(owner, ImportFileDialog(), path);
  unit_scale = gltf_unit_scale;
  ok = ok && ui->RunUnitScaleDialog(owner, service.get(), caption.c_str(), unit_scale);
  if (ok && !(std::isfinite(unit_scale) && unit_scale > 0.0f)) {
    // The dialog lets no such value through; whatever let it through is
    // not to write a file scaled by it.
    ui->ShowMessageBox(owner, Ansi("単位の長さは0より大きい数にしてください").c_str(), Ansi("エラー").c_str(),
                       kMessageBoxOk);
    ok = false;
  }
  --dialogcall_cnt;
  if (ok) gltf_unit_scale = unit_scale;
  return ok;
}

void DLMAIN::ShowGltfResult(void* owner, bool ok, const char* caption_utf8, const std::string& text) {
  ++dialogcall_cnt;
  ui->ShowMessageBox(owner, text.c_str(), Ansi(ok ? caption_utf8 : "エラー").c_str(), kMessageBoxOk);
  --dialogcall_cnt;
}

void DLMAIN::ExportGltfDialog(void* owner) {
  if (!CanEditDocument()) return;
  std::string path;
  float unit_scale = 0.0f;
  if (!AskGltfFile(owner, /*save=*/true, path, unit_scale)) return;
  quorvel::gltf::ExportReport report;
  std::string error;
  const bool ok = service->ExportGltf(path, unit_scale, &report, &error);
  ShowGltfResult(owner, ok, "glTF書き出し", ok ? ExportReportText(path, report) : error);
}

void DLMAIN::ImportGltfDialog(void* owner) {
  if (!CanEditDocument()) return;
  std::string path;
  float unit_scale = 0.0f;
  if (!AskGltfFile(owner, /*save=*/false, path, unit_scale)) return;
  quorvel::gltf::ImportReport report;
  std::string error;
  const bool ok = service->ImportGltf(path, unit_scale, &report, &error);
  ShowGltfResult(owner, ok, "glTF読み込み", ok ? ImportReportText(path, report) : error);
}
