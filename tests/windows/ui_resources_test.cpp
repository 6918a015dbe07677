// The module's dialogs, pop-up menus and icons, read back from quorvel.dll
// as the panels get them: captions as UTF-16, control kinds and styles, and
// layouts measured with the panel font.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ui/resources/resource.h"

namespace {

// ---------------------------------------------------------------- tables

enum class Kind {
  PushRadio,  // radio button drawn as a push button
  Radio,
  Check,
  Group,  // group box
  Push,
  Label,  // static text
  Text,   // single-line text edit
  Number, // numeric edit, wrapped by the panel in a spin box
  Combo,  // drop-down list
  List,
  Scroll,  // vertical scroll bar
  Area,    // static where the panel puts its self-drawn rows
  Swatch,  // static painted as a colour swatch
};

// A control without an identifier (IDC_STATIC) is found by kind and caption.
struct Control {
  int id;
  Kind kind;
  const wchar_t* text;
};

enum class Frame { Panel, SizablePanel, Property, Row };

struct Dialog {
  int id;
  const wchar_t* title;
  Frame frame;
  std::vector<Control> controls;
  std::vector<std::vector<int>> radio_groups;
};

const Control kOk{IDOK, Kind::Push, L"OK"};
const Control kCancel{IDCANCEL, Kind::Push, L"ｷｬﾝｾﾙ"};

// Identifiers and captions as the panels and their users expect them.
const std::vector<Dialog>& Dialogs() {
  static const std::vector<Dialog> dialogs = {
      {101, L"Quorvelコマンド", Frame::Panel,
       {{1061, Kind::Group, L"コマンド"},
        {1047, Kind::PushRadio, L"作成"},
        {1003, Kind::PushRadio, L"移動"},
        {1011, Kind::PushRadio, L"ポーズ"},
        {1012, Kind::PushRadio, L"ウェイト"},
        {1006, Kind::PushRadio, L"モーフ"},
        {1039, Kind::Push, L"その他"},
        {1041, Kind::Push, L"表示"},
        {1071, Kind::Label, L""}},
       {{1047, 1003, 1011, 1012, 1006}}},
      {107, L"オブジェオプション", Frame::Property,
       {{1133, Kind::Label, L""},
        {1104, Kind::Label, L"IKタイプ"},
        {1066, Kind::Combo, L""},
        {1105, Kind::Label, L"IKターゲット"},
        {1067, Kind::Combo, L""},
        {1052, Kind::Check, L"移動有効"},
        {1053, Kind::Check, L"回転有効"},
        {1054, Kind::Check, L"スケール有効"},
        {1055, Kind::Check, L"ボーン表示"},
        {IDC_STATIC, Kind::Group, L"角度制限"},
        {IDC_STATIC, Kind::Label, L"X"},
        {1135, Kind::Number, L""},
        {1139, Kind::Number, L""},
        {1070, Kind::Push, L"N"},
        {1071, Kind::Push, L"A"},
        {IDC_STATIC, Kind::Label, L"Y"},
        {1140, Kind::Number, L""},
        {1141, Kind::Number, L""},
        {1072, Kind::Push, L"N"},
        {1073, Kind::Push, L"A"},
        {IDC_STATIC, Kind::Label, L"Z"},
        {1142, Kind::Number, L""},
        {1143, Kind::Number, L""},
        {1074, Kind::Push, L"N"},
        {1075, Kind::Push, L"A"},
        {1110, Kind::Check, L"ウェイト表示"},
        {1020, Kind::Label, L"ウェイト色"},
        {1111, Kind::Swatch, L""},
        kOk,
        kCancel},
       {}},
      {191, L"整列", Frame::Property,
       {{IDC_STATIC, Kind::Group, L"軸"},
        {1023, Kind::Radio, L"X軸"},
        {1024, Kind::Radio, L"Y軸"},
        {1025, Kind::Radio, L"Z軸"},
        {1026, Kind::Check, L"Pivot"},
        {IDC_STATIC, Kind::Group, L"位置"},
        {IDC_STATIC, Kind::Label, L"X"},
        {1029, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"Y"},
        {1030, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"Z"},
        {1031, Kind::Number, L""},
        {1053, Kind::Check, L"ボーンを参照"},
        {IDC_STATIC, Kind::Label, L"ボーン"},
        {1033, Kind::Combo, L""},
        {IDC_STATIC, Kind::Group, L"表示"},
        {1027, Kind::Check, L"Pivot"},
        {1028, Kind::Check, L"Roll"},
        kOk,
        kCancel},
       {{1023, 1024, 1025}}},
      {193, L"移動", Frame::Panel,
       {{IDC_STATIC, Kind::Group, L"移動"},
        {1010, Kind::Radio, L"平行"},
        {1011, Kind::Radio, L"回転"},
        {1012, Kind::Radio, L"スケール"},
        {IDC_STATIC, Kind::Group, L"マスク"},
        {1007, Kind::Check, L"Pivot"},
        {1069, Kind::Check, L"Body"},
        {1009, Kind::Check, L"Roll"},
        {IDC_STATIC, Kind::Group, L"移動タイプ"},
        {1008, Kind::Check, L"IK"},
        {IDC_STATIC, Kind::Group, L"頂点移動"},
        {1013, Kind::Radio, L"なし"},
        {1014, Kind::Radio, L"ローカル"},
        {1015, Kind::Radio, L"回転"},
        {1016, Kind::Radio, L"Zスケール"},
        {1017, Kind::Radio, L"スケール"},
        {IDC_STATIC, Kind::Group, L"その他"},
        {1108, Kind::Push, L"その他"}},
       {{1010, 1011, 1012}, {1013, 1014, 1015, 1016, 1017}}},
      {194, L"作成", Frame::Panel,
       {{1000, Kind::PushRadio, L"子供作成"}, {1001, Kind::PushRadio, L"兄弟作成"}},
       {{1000, 1001}}},
      {198, L"ポーズリスト", Frame::SizablePanel,
       {{1121, Kind::Push, L"新規"},
        {1122, Kind::Push, L"削除"},
        {1124, Kind::Push, L"設定"},
        {1125, Kind::Push, L"他"},
        {1123, Kind::List, L""}},
       {}},
      {214, L"モーフ", Frame::SizablePanel,
       {{1103, Kind::Label, L""},
        {1106, Kind::Push, L"新規"},
        {1107, Kind::Push, L"削除"},
        {1105, Kind::Push, L"設定"},
        {1104, Kind::Push, L"他"},
        {1286, Kind::Area, L""},
        {IDC_MORPH_SCROLL, Kind::Scroll, L""}},
       {}},
      {216, L"モーフターゲット", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"名前:"},
        {1000, Kind::Text, L""},
        {IDC_STATIC, Kind::Label, L"Index"},
        {1106, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"グループ"},
        {1110, Kind::Text, L""},
        kOk,
        kCancel},
       {}},
      {217, L"ポーズプロパティ", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"名前:"}, {1159, Kind::Text, L""}, kOk, kCancel},
       {}},
      {219, L"頂点ウェイトプロパティ", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"名前:"},
        {1050, Kind::Label, L""},
        {1057, Kind::Check, L"ウェイト表示"},
        {1020, Kind::Label, L"ウェイト色"},
        {1083, Kind::Swatch, L""},
        kOk,
        kCancel},
       {}},
      {220, L"ウェイトペン", Frame::Panel,
       {{1018, Kind::PushRadio, L"ペン0"},
        {1023, Kind::PushRadio, L"ペン1"},
        {1024, Kind::PushRadio, L"ペン2"},
        {1025, Kind::PushRadio, L"ペン3"},
        {1067, Kind::Label, L"サイズ"},
        {1020, Kind::Number, L""},
        {1417, Kind::Label, L"深さ"},
        {1022, Kind::Number, L""},
        {1027, Kind::PushRadio, L"Pal0"},
        {1028, Kind::PushRadio, L"Pal1"},
        {1029, Kind::PushRadio, L"Pal2"},
        {1030, Kind::PushRadio, L"Pal3"},
        {1031, Kind::PushRadio, L"Pal4"},
        {1032, Kind::PushRadio, L"Pal5"},
        {1033, Kind::PushRadio, L"Pal6"},
        {1034, Kind::PushRadio, L"Pal7"},
        {1084, Kind::Swatch, L""},
        {1112, Kind::Push, L"パレット"},
        {1185, Kind::Push, L"Add"},
        {1186, Kind::Push, L"Del"},
        {1187, Kind::Push, L"Norm"},
        {1188, Kind::Push, L"選択"},
        {1189, Kind::Push, L"オブジェ"},
        {IDC_WEIGHTPEN_BLUR, Kind::Check, L"ぼかし"},
        {1286, Kind::Area, L""}},
       {{1018, 1023, 1024, 1025}, {1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034}}},
      {223, L"", Frame::Row, {{1022, Kind::Swatch, L""}, {1031, Kind::Number, L""}}, {}},
      {226, L"ポーズ", Frame::Panel,
       {{IDC_STATIC, Kind::Group, L"IKタイプ"},
        {1038, Kind::Check, L"子供まで"},
        {IDC_STATIC, Kind::Group, L"マスク"},
        {1007, Kind::Check, L"Pivot"},
        {1009, Kind::Check, L"Roll"},
        {1069, Kind::Check, L"Body"},
        {IDC_STATIC, Kind::Group, L"メニュー"},
        {1101, Kind::Push, L"その他"}},
       {}},
      {242, L"モーフィング", Frame::Panel,
       {{1103, Kind::Label, L""},
        {1104, Kind::Push, L"他"},
        {1286, Kind::Area, L""},
        {IDC_POSEMORPH_SCROLL, Kind::Scroll, L""}},
       {}},
      {243, L"ポーズ", Frame::Panel,
       {{1114, Kind::Label, L""},
        {IDC_STATIC, Kind::Label, L"回転"},
        {1107, Kind::Push, L"リセット"},
        {1100, Kind::Number, L""},
        {1108, Kind::Number, L""},
        {1109, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"移動"},
        {1117, Kind::Push, L"リセット"},
        {1110, Kind::Number, L""},
        {1111, Kind::Number, L""},
        {1116, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"スケール"},
        {1118, Kind::Push, L"リセット"},
        {1112, Kind::Number, L""},
        {1113, Kind::Number, L""},
        {1115, Kind::Number, L""}},
       {}},
      {IDD_GLTFSCALE, L"glTF書き出し", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"1単位 ="},
        {IDC_GLTF_SCALE, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"m"},
        {IDC_STATIC, Kind::Label, L"glTFの長さはメートル、Y軸が上です。"},
        {IDC_STATIC, Kind::Label, L"既定の0.01では1単位が1cmです。"},
        kOk,
        kCancel},
       {}},
      {IDD_RIGAUTO, L"自動ウェイト", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"解像度"},
        {IDC_RIG_RESOLUTION, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"16～512"},
        {IDC_STATIC, Kind::Label, L"減衰"},
        {IDC_RIG_FALLOFF, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"0.05～4"},
        {IDC_STATIC, Kind::Label, L"最大ボーン数"},
        {IDC_RIG_MAXBONES, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"1～4"},
        kOk,
        kCancel},
       {}},
      {IDD_RIGMIRROR, L"ウェイトのミラー", Frame::Property,
       {{IDC_STATIC, Kind::Group, L"方向"},
        {IDC_RIG_PLUS_TO_MINUS, Kind::Radio, L"+X側を-X側へ"},
        {IDC_RIG_MINUS_TO_PLUS, Kind::Radio, L"-X側を+X側へ"},
        {IDC_STATIC, Kind::Label, L"許容誤差"},
        {IDC_RIG_TOLERANCE, Kind::Number, L""},
        kOk,
        kCancel},
       {{IDC_RIG_PLUS_TO_MINUS, IDC_RIG_MINUS_TO_PLUS}}},
      {IDD_RIGSMOOTH, L"ウェイトのスムーズ", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"回数"},
        {IDC_RIG_ITERATIONS, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"1～1000"},
        {IDC_STATIC, Kind::Label, L"強さ"},
        {IDC_RIG_STRENGTH, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"0～1"},
        {IDC_STATIC, Kind::Label, L"最大ボーン数"},
        {IDC_RIG_MAXBONES, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"1～4"},
        kOk,
        kCancel},
       {}},
      {IDD_RIGLIMIT, L"ボーン数の制限", Frame::Property,
       {{IDC_STATIC, Kind::Label, L"最大ボーン数"},
        {IDC_RIG_LIMIT, Kind::Number, L""},
        {IDC_STATIC, Kind::Label, L"1～4"},
        kOk,
        kCancel},
       {}},
  };
  return dialogs;
}

struct MenuItem {
  int id;
  const wchar_t* text;
};

struct Menu {
  int id;
  std::vector<MenuItem> items;
};

const std::vector<Menu>& Menus() {
  static const std::vector<Menu> menus = {
      {124,
       {{40065, L"quorvel許可"},
        {40110, L"オブジェクトオプション"},
        {ID_OPTION_GLTF_EXPORT, L"glTF書き出し..."},
        {ID_OPTION_GLTF_IMPORT, L"glTF読み込み..."}}},
      {129,
       {{40107, L"ローカル表示"},
        {40076, L"ボーン表示"},
        {40077, L"ボーンロール表示"},
        {40079, L"ハンドル表示"},
        {40070, L"現在の頂点ウェイトのみ表示"}}},
      {130,
       {{40108, L"現在のボーンのポーズリセット"},
        {40109, L"全てのボーンのポーズリセット"},
        {40112, L"現在のモーフのポーズリセット"},
        {40111, L"現在のオブジェクトのモーフのポーズリセット"},
        {40113, L"全てのモーフのポーズリセット"}}},
      {131,
       {{40088, L"現在のパレットにカレントオブジェクトを追加"},
        {40089, L"現在のパレットから選択されているオブジェクトの削除"},
        {40084, L"現在のパレットを正規化"},
        {40085, L"現在のパレットをコピー"},
        {40086, L"現在のパレットを複製"},
        {40087, L"現在のパレットをクリア"}}},
      {132,
       {{40114, L"選択されたローカルの回転スケールとリセット"},
        {40115, L"全てのローカルの回転スケールとリセット"},
        {40116, L"整列"},
        {ID_MOVE_MIRROR_BONES, L"ボーンをミラー作成"}}},
      {133,
       {{40122, L"ウェイトの自動適用"},
        {40123, L"ウェイトの正規化"},
        {40124, L"頂点ウェイトの削除"},
        {40126, L"現在のペンで塗りつぶし"},
        {ID_SELWEIGHT_BIND, L"自動ウェイト..."},
        {ID_SELWEIGHT_MIRROR, L"ウェイトをミラー..."},
        {ID_SELWEIGHT_SMOOTH, L"ウェイトをスムーズ..."},
        {ID_SELWEIGHT_LIMIT, L"ボーン数を制限..."}}},
      {134,
       {{40117, L"ウェイトの自動適用"},
        {40118, L"ウェイトの正規化"},
        {40119, L"頂点ウェイトの削除"},
        {40121, L"現在のペンで塗りつぶし"},
        {ID_OBJWEIGHT_BIND, L"自動ウェイト..."},
        {ID_OBJWEIGHT_MIRROR, L"ウェイトをミラー..."},
        {ID_OBJWEIGHT_SMOOTH, L"ウェイトをスムーズ..."},
        {ID_OBJWEIGHT_LIMIT, L"ボーン数を制限..."}}},
      {IDR_MENU_POSELIST,
       {{ID_POSELIST_COPY, L"現在のポーズをコピー"},
        {ID_POSELIST_RESET_ALL, L"全てのボーンのポーズリセット"},
        {ID_POSELIST_MIRROR_BONE, L"現在のボーンのポーズを反対側へ"},
        {ID_POSELIST_MIRROR_PLUS, L"+X側のポーズを-X側へ"},
        {ID_POSELIST_MIRROR_MINUS, L"-X側のポーズを+X側へ"},
        {ID_POSELIST_MIRROR_FLIP, L"ポーズを左右反転"}}},
      {IDR_MENU_MORPH, {{ID_MORPH_STORE_SHAPE, L"現在のモーフターゲットに形状を保存"}}},
  };
  return menus;
}

// ---------------------------------------------------------------- helpers

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

std::wstring ClassOf(HWND window) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return buffer;
}

LONG StyleOf(HWND window) { return GetWindowLongW(window, GWL_STYLE); }

bool IsClass(HWND window, const wchar_t* name) { return lstrcmpiW(ClassOf(window).c_str(), name) == 0; }

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> out;
  for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) out.push_back(w);
  return out;
}

bool HasNoId(HWND window) { return static_cast<WORD>(GetDlgCtrlID(window)) == 0xFFFF; }

bool IsButtonOfType(HWND window, LONG type) {
  return IsClass(window, L"Button") && (StyleOf(window) & BS_TYPEMASK) == type;
}

const char* KindName(Kind kind) {
  static const char* const names[] = {"push-like radio", "radio", "check box", "group box", "push button",
                                      "label",           "text edit", "numeric edit", "drop-down list", "list box",
                                      "scroll bar",      "row area", "colour swatch"};
  return names[static_cast<int>(kind)];
}

// Whether a control of this class and style is of the given kind, and if
// not, why.
testing::AssertionResult IsKind(const std::wstring& class_name, LONG style, Kind kind) {
  const auto is_class = [&](const wchar_t* name) { return lstrcmpiW(class_name.c_str(), name) == 0; };
  const auto is_button = [&](LONG type) { return is_class(L"Button") && (style & BS_TYPEMASK) == type; };
  const LONG static_type = style & SS_TYPEMASK;
  const bool pushlike = (style & BS_PUSHLIKE) != 0;
  bool ok = false;
  switch (kind) {
    case Kind::PushRadio: ok = is_button(BS_AUTORADIOBUTTON) && pushlike; break;
    case Kind::Radio: ok = is_button(BS_AUTORADIOBUTTON) && !pushlike; break;
    case Kind::Check: ok = is_button(BS_AUTOCHECKBOX) && !pushlike; break;
    case Kind::Group: ok = is_button(BS_GROUPBOX); break;
    case Kind::Push: ok = is_button(BS_PUSHBUTTON) || is_button(BS_DEFPUSHBUTTON); break;
    case Kind::Label:
    case Kind::Area:
    case Kind::Swatch:
      // A notifying static would send the dialog command code 0 on a click,
      // which reads as a changed value.
      ok = is_class(L"Static") && (style & SS_NOTIFY) == 0 &&
           (static_type == SS_LEFT || (kind == Kind::Label && static_type == SS_LEFTNOWORDWRAP));
      break;
    case Kind::Text:
    case Kind::Number:
      ok = is_class(L"Edit") && (style & ES_AUTOHSCROLL) && (style & ES_MULTILINE) == 0 &&
           (style & (ES_CENTER | ES_RIGHT)) == (kind == Kind::Number ? ES_RIGHT : 0);
      break;
    case Kind::Combo: ok = is_class(L"ComboBox") && (style & 3) == CBS_DROPDOWNLIST && (style & WS_VSCROLL); break;
    case Kind::List: ok = is_class(L"ListBox") && (style & LBS_NOTIFY) && (style & WS_VSCROLL); break;
    case Kind::Scroll: ok = is_class(L"ScrollBar") && (style & SBS_VERT); break;
  }
  if (ok) return testing::AssertionSuccess();
  char style_text[16];
  std::snprintf(style_text, sizeof style_text, "%08lx", static_cast<unsigned long>(style));
  return testing::AssertionFailure() << "class " << Narrow(class_name) << ", style " << style_text
                                     << " is no " << KindName(kind);
}

testing::AssertionResult IsKind(HWND window, Kind kind) { return IsKind(ClassOf(window), StyleOf(window), kind); }

// ---------------------------------------------------------------- templates
// The dialog templates as the resource holds them. Created controls do not
// keep every template bit (a list box drops WS_VSCROLL while its lines fit,
// and Wine makes the dialog font with the default character set).

struct TemplateItem {
  int id;
  std::wstring class_name;
  std::wstring text;
  LONG style;
};

struct DialogTemplate {
  WORD point_size = 0;
  WORD weight = 0;
  BYTE charset = 0;
  std::wstring face;
  std::vector<TemplateItem> items;
};

class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : p_(data) {}
  WORD Word() { WORD v; std::memcpy(&v, p_, 2); p_ += 2; return v; }
  DWORD Dword() { DWORD v; std::memcpy(&v, p_, 4); p_ += 4; return v; }
  BYTE Byte() { return *p_++; }
  std::wstring String() {
    std::wstring out;
    for (WORD c = Word(); c != 0; c = Word()) out += static_cast<wchar_t>(c);
    return out;
  }
  // A name or, after 0xFFFF, an ordinal (the predefined control classes).
  std::wstring NameOrOrdinal() {
    WORD first;
    std::memcpy(&first, p_, 2);
    if (first != 0xFFFF) return String();
    Word();
    switch (Word()) {
      case 0x80: return L"Button";
      case 0x81: return L"Edit";
      case 0x82: return L"Static";
      case 0x83: return L"ListBox";
      case 0x84: return L"ScrollBar";
      case 0x85: return L"ComboBox";
      default: return L"?";
    }
  }
  void Skip(size_t n) { p_ += n; }
  void AlignDword(const BYTE* base) { while ((p_ - base) % 4 != 0) ++p_; }

 private:
  const BYTE* p_;
};

bool ReadTemplate(HMODULE module, int id, DialogTemplate* out) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  if (found == nullptr) return false;
  const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  TemplateReader r(base);
  if (r.Word() != 1 || r.Word() != 0xFFFF) return false;  // DLGTEMPLATEEX only
  r.Dword();                                              // help id
  r.Dword();                                              // extended style
  const DWORD style = r.Dword();
  const WORD count = r.Word();
  r.Skip(8);  // x, y, cx, cy
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  r.String();         // title
  if (style & DS_SETFONT) {
    out->point_size = r.Word();
    out->weight = r.Word();
    r.Byte();  // italic
    out->charset = r.Byte();
    out->face = r.String();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignDword(base);
    TemplateItem item;
    r.Dword();  // help id
    r.Dword();  // extended style
    item.style = static_cast<LONG>(r.Dword());
    r.Skip(8);
    item.id = static_cast<int>(r.Dword());
    item.class_name = r.NameOrOrdinal();
    item.text = r.NameOrOrdinal();
    r.Skip(r.Word());  // creation data
    out->items.push_back(item);
  }
  return true;
}

// The template's entry for the table row, or null.
const TemplateItem* FindInTemplate(const DialogTemplate& dialog, const Control& control) {
  for (const TemplateItem& item : dialog.items) {
    if (item.id != control.id) continue;
    if (control.id != IDC_STATIC || (item.text == control.text && IsKind(item.class_name, item.style, control.kind))) {
      return &item;
    }
  }
  return nullptr;
}

// The control of the table row, or null.
HWND Find(HWND dialog, const Control& control) {
  if (control.id != IDC_STATIC) return GetDlgItem(dialog, control.id);
  for (HWND w : Children(dialog)) {
    if (HasNoId(w) && WindowText(w) == control.text && IsKind(w, control.kind)) return w;
  }
  return nullptr;
}

RECT RectIn(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Describe(HWND window) {
  return "control " + std::to_string(GetDlgCtrlID(window)) + " \"" + Narrow(WindowText(window)) + "\"";
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// ---------------------------------------------------------------- fixture

class Resources : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll = path;
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"quorvel.dll";
    module_ = LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    // Parent of every dialog; the palette row is a child dialog and needs one.
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr, nullptr, nullptr);
  }
  static void TearDownTestSuite() {
    if (owner_ != nullptr) DestroyWindow(owner_);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "quorvel.dll beside the test";
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override {
    for (HWND dialog : dialogs_) DestroyWindow(dialog);
  }

  HWND Create(int id) {
    HWND dialog = CreateDialogParamW(module_, MAKEINTRESOURCEW(id), owner_, QuietDialogProc, 0);
    if (dialog != nullptr) dialogs_.push_back(dialog);
    return dialog;
  }

  static HMODULE module_;
  static HWND owner_;
  std::vector<HWND> dialogs_;
};

HMODULE Resources::module_ = nullptr;
HWND Resources::owner_ = nullptr;

// The panel font: what every panel sets into its controls.
HFONT PanelFont() {
  return CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");
}

// ---------------------------------------------------------------- dialogs

TEST_F(Resources, DialogsHoldExactlyTheirControlsWithTheirCaptions) {
  for (const Dialog& expected : Dialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    HWND dialog = Create(expected.id);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), expected.title);

    std::map<int, int> id_count;
    for (HWND w : Children(dialog)) {
      if (!HasNoId(w)) ++id_count[GetDlgCtrlID(w)];
    }
    for (const auto& [id, count] : id_count) EXPECT_EQ(count, 1) << "identifier " << id << " is used more than once";
    EXPECT_EQ(Children(dialog).size(), expected.controls.size()) << "controls the table does not list";

    DialogTemplate resource;
    ASSERT_TRUE(ReadTemplate(module_, expected.id, &resource));
    for (const Control& control : expected.controls) {
      SCOPED_TRACE("control " + std::to_string(control.id) + " \"" + Narrow(control.text) + "\"");
      const TemplateItem* item = FindInTemplate(resource, control);
      ASSERT_NE(item, nullptr);
      EXPECT_TRUE(IsKind(item->class_name, item->style, control.kind));
      HWND w = Find(dialog, control);
      ASSERT_NE(w, nullptr);
      EXPECT_EQ(WindowText(w), control.text);
    }
  }
}

TEST_F(Resources, DialogsAreFramedForTheirUse) {
  for (const Dialog& expected : Dialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    HWND dialog = Create(expected.id);
    ASSERT_NE(dialog, nullptr);
    const LONG style = StyleOf(dialog);
    const LONG ex_style = GetWindowLongW(dialog, GWL_EXSTYLE);
    // The plug-in shows each panel when its mode is active, never the template.
    EXPECT_FALSE(style & WS_VISIBLE);
    switch (expected.frame) {
      case Frame::Panel:
      case Frame::SizablePanel:
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
        EXPECT_TRUE(ex_style & WS_EX_TOOLWINDOW);
        EXPECT_EQ((style & WS_THICKFRAME) != 0, expected.frame == Frame::SizablePanel);
        break;
      case Frame::Property:
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
        EXPECT_TRUE(ex_style & WS_EX_DLGMODALFRAME);
        EXPECT_FALSE(ex_style & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(style & WS_THICKFRAME);
        break;
      case Frame::Row:
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE(style & WS_CAPTION);
        EXPECT_TRUE(ex_style & WS_EX_CONTROLPARENT) << "tab reaches the row's edit";
        break;
    }
    // The panel font, its face name recoded from the script's Shift-JIS.
    DialogTemplate resource;
    ASSERT_TRUE(ReadTemplate(module_, expected.id, &resource));
    EXPECT_EQ(resource.point_size, 9);
    EXPECT_EQ(resource.weight, FW_NORMAL);
    EXPECT_EQ(resource.charset, SHIFTJIS_CHARSET);
    EXPECT_EQ(resource.face, L"ＭＳ Ｐゴシック");
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW logfont{};
    ASSERT_NE(GetObjectW(font, sizeof logfont, &logfont), 0);
    EXPECT_STREQ(logfont.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(logfont.lfHeight, -12) << "9 points at 96 dots per inch";
  }
}

TEST_F(Resources, RadioGroupsAreSeparateGroups) {
  for (const Dialog& expected : Dialogs()) {
    if (expected.radio_groups.empty()) continue;
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    HWND dialog = Create(expected.id);
    ASSERT_NE(dialog, nullptr);
    for (const std::vector<int>& group : expected.radio_groups) {
      SCOPED_TRACE("group from " + std::to_string(group.front()));
      for (size_t i = 0; i < group.size(); ++i) {
        HWND radio = GetDlgItem(dialog, group[i]);
        ASSERT_NE(radio, nullptr);
        EXPECT_EQ((StyleOf(radio) & WS_GROUP) != 0, i == 0) << "radio " << group[i];
      }
      // Arrow keys and automatic unchecking stop at the next group.
      HWND after = GetWindow(GetDlgItem(dialog, group.back()), GW_HWNDNEXT);
      if (after != nullptr) {
        EXPECT_TRUE(StyleOf(after) & WS_GROUP) << Describe(after) << " follows the group";
      }
    }
    // Clicking a button of each group in turn leaves one checked per group.
    for (const std::vector<int>& group : expected.radio_groups) SendDlgItemMessageW(dialog, group.front(), BM_CLICK, 0, 0);
    for (const std::vector<int>& group : expected.radio_groups) SendDlgItemMessageW(dialog, group.back(), BM_CLICK, 0, 0);
    for (const std::vector<int>& group : expected.radio_groups) {
      for (int id : group) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), id == group.back() ? BST_CHECKED : BST_UNCHECKED) << "radio " << id;
      }
    }
  }
}

TEST_F(Resources, ComboBoxesDropAListOfSeveralLines) {
  for (const Dialog& expected : Dialogs()) {
    for (const Control& control : expected.controls) {
      if (control.kind != Kind::Combo) continue;
      SCOPED_TRACE("dialog " + std::to_string(expected.id) + " combo " + std::to_string(control.id));
      HWND dialog = Create(expected.id);
      ASSERT_NE(dialog, nullptr);
      HWND combo = GetDlgItem(dialog, control.id);
      RECT dropped{};
      SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      const LRESULT line = SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0);
      ASSERT_GT(line, 0);
      EXPECT_GE(dropped.bottom - dropped.top, 6 * line);
    }
  }
}

// ---------------------------------------------------------------- layout

// Room that a check box or radio button's glyph takes before its text.
constexpr int kGlyph = 16;
// Frame and margins of a push button.
constexpr int kButtonMargin = 6;
// A group box's caption starts after the frame's corner and must end before
// the other one.
constexpr int kGroupMargin = 16;
// Width of the spin box that the panels put at the right of a numeric edit.
constexpr int kSpin = 16;

TEST_F(Resources, CaptionsFitWithThePanelFontAndNothingLeavesTheDialog) {
  HFONT font = PanelFont();
  ASSERT_NE(font, nullptr);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old_font = SelectObject(dc, font);
  for (const Dialog& expected : Dialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    HWND dialog = Create(expected.id);
    ASSERT_NE(dialog, nullptr);
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    RECT client{};
    GetClientRect(dialog, &client);
    RECT frame{};
    GetWindowRect(dialog, &frame);
    std::printf("dialog %d: %ld x %ld pixels, client %ld x %ld\n", expected.id, frame.right - frame.left,
                frame.bottom - frame.top, client.right, client.bottom);

    std::vector<HWND> groups, others;
    for (HWND w : Children(dialog)) {
      SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      (IsButtonOfType(w, BS_GROUPBOX) ? groups : others).push_back(w);
    }

    for (HWND w : Children(dialog)) {
      SCOPED_TRACE(Describe(w));
      const RECT rect = RectIn(dialog, w);
      EXPECT_TRUE(Inside(rect, client)) << "reaches outside the client area";
      const std::wstring text = WindowText(w);
      if (text.empty() || !(IsClass(w, L"Button") || IsClass(w, L"Static"))) continue;
      SIZE extent{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      RECT inner{};
      GetClientRect(w, &inner);
      const LONG style = StyleOf(w);
      int room = inner.right;
      if (IsButtonOfType(w, BS_GROUPBOX)) {
        room -= kGroupMargin;
      } else if (IsButtonOfType(w, BS_AUTOCHECKBOX) || IsButtonOfType(w, BS_AUTORADIOBUTTON)) {
        room -= (style & BS_PUSHLIKE) ? kButtonMargin : kGlyph;
      } else if (IsClass(w, L"Button")) {
        room -= kButtonMargin;
      }
      EXPECT_LE(extent.cx, room) << "the caption is cut off";
      if (!IsButtonOfType(w, BS_GROUPBOX)) {
        EXPECT_LE(extent.cy, inner.bottom) << "the caption is cut off below";
      }
    }

    // Controls neither overlap nor straddle a group box's frame; a numeric
    // edit keeps room for its spin box on the same terms.
    for (size_t i = 0; i < others.size(); ++i) {
      SCOPED_TRACE(Describe(others[i]));
      RECT rect = RectIn(dialog, others[i]);
      for (size_t j = i + 1; j < others.size(); ++j) {
        EXPECT_FALSE(Overlap(rect, RectIn(dialog, others[j]))) << "overlaps " << Describe(others[j]);
      }
      std::vector<RECT> shapes{rect};
      if (IsClass(others[i], L"Edit") && (StyleOf(others[i]) & ES_RIGHT)) {
        RECT spin = rect;
        spin.left = rect.right;
        spin.right = rect.right + kSpin;
        shapes.push_back(spin);
        EXPECT_TRUE(Inside(spin, client)) << "no room for the spin box";
        for (HWND other : others) {
          if (other == others[i]) continue;
          EXPECT_FALSE(Overlap(spin, RectIn(dialog, other))) << "spin box room taken by " << Describe(other);
        }
      }
      for (HWND group : groups) {
        const RECT box = RectIn(dialog, group);
        for (const RECT& shape : shapes) {
          EXPECT_TRUE(!Overlap(shape, box) || Inside(shape, box)) << "straddles the group box " << Describe(group);
        }
      }
    }
  }
  SelectObject(dc, old_font);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
}

// Where the panels move their controls when they are sized, and how wide
// their self-drawn rows are.
TEST_F(Resources, RowAreasHoldTheirRows) {
  constexpr int kRowWidth = 200, kRowHeight = 20;
  struct Case {
    int dialog;
    int area;
    int scroll;        // 0: the panel makes its own bar inside the area
    int scroll_width;  // pixels
    int top_band;      // the controls above the area stay above this y
  };
  const Case cases[] = {
      {214, 1286, IDC_MORPH_SCROLL, 14, 40},
      {242, 1286, IDC_POSEMORPH_SCROLL, 12, 0},
      {220, 1286, 0, 12, 0},
      {198, 1123, 0, 0, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("dialog " + std::to_string(c.dialog));
    HWND dialog = Create(c.dialog);
    ASSERT_NE(dialog, nullptr);
    HWND area = GetDlgItem(dialog, c.area);
    ASSERT_NE(area, nullptr);
    RECT inner{};
    GetClientRect(area, &inner);
    const RECT rect = RectIn(dialog, area);
    RECT client{};
    GetClientRect(dialog, &client);
    if (c.dialog != 198) {
      // A bar of the panel's own is made inside the area's client rectangle.
      const int scroll_inside = c.scroll == 0 ? c.scroll_width : 0;
      EXPECT_GE(inner.right - scroll_inside, kRowWidth) << "rows are cut at the right";
      EXPECT_GE(inner.bottom, 4 * kRowHeight) << "fewer than four rows show";
    }
    if (c.scroll != 0) {
      HWND bar = GetDlgItem(dialog, c.scroll);
      ASSERT_NE(bar, nullptr);
      const RECT bar_rect = RectIn(dialog, bar);
      EXPECT_EQ(bar_rect.right - bar_rect.left, c.scroll_width);
      EXPECT_EQ(bar_rect.left, rect.right) << "the bar sits at the area's right edge";
      EXPECT_EQ(bar_rect.top, rect.top);
      EXPECT_EQ(bar_rect.bottom, rect.bottom);
    }
    if (c.top_band > 0) {
      for (HWND w : Children(dialog)) {
        if (w == area || GetDlgCtrlID(w) == c.scroll) continue;
        EXPECT_LE(RectIn(dialog, w).bottom, c.top_band) << Describe(w) << " lies where the panel puts the rows";
      }
    }
    if (c.dialog == 214) {
      // The panel sizes the area to the client width less the bar.
      EXPECT_GE(client.right - c.scroll_width - 2, kRowWidth);
    }
  }
}

// ---------------------------------------------------------------- menus and icons

TEST_F(Resources, PopUpMenusHoldTheirItemsInSubmenuZero) {
  for (const Menu& expected : Menus()) {
    SCOPED_TRACE("menu " + std::to_string(expected.id));
    HMENU menu = LoadMenuW(module_, MAKEINTRESOURCEW(expected.id));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    std::vector<int> ids;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE | MIIM_ID;
      ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
      if (!(info.fType & MFT_SEPARATOR)) ids.push_back(static_cast<int>(info.wID));
    }
    std::vector<int> expected_ids;
    for (const MenuItem& item : expected.items) expected_ids.push_back(item.id);
    EXPECT_EQ(ids, expected_ids);
    for (const MenuItem& item : expected.items) {
      wchar_t text[256] = {};
      GetMenuStringW(popup, item.id, text, 256, MF_BYCOMMAND);
      EXPECT_STREQ(text, item.text) << "item " << item.id;
    }
    DestroyMenu(menu);
  }
}

TEST_F(Resources, IconsHoldAnImageForEachPanelSize) {
  for (int id : {123, 124}) {
    for (int size : {16, 32}) {
      SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
      HANDLE icon = LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
      ASSERT_NE(icon, nullptr);
      DestroyIcon(static_cast<HICON>(icon));
      // An image drawn at this size, not one scaled from the other.
      HRSRC group = FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
      ASSERT_NE(group, nullptr);
      auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module_, group)));
      const int image_id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
      HRSRC image = FindResourceW(module_, MAKEINTRESOURCEW(image_id), MAKEINTRESOURCEW(3) /* RT_ICON */);
      ASSERT_NE(image, nullptr);
      const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module_, image)));
      EXPECT_EQ(header->biWidth, size);
      EXPECT_EQ(header->biHeight, 2 * size);
      EXPECT_EQ(header->biBitCount, 32);
    }
  }
}

}  // namespace
