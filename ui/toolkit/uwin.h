#pragma once
// One object per window: the window's messages reach the object's virtual
// procedure, whether the window was created here, is a dialog made from the
// module's resources, or is a control of such a dialog that the object
// subclasses. Texts go through the ANSI functions: the plug-in keeps its
// strings in the system code page, as the host does.
#include <windows.h>

class IDLMAIN;

class UWIN {
 public:
  enum Kind { kWindow = 0, kModalDialog = 1, kModelessDialog = 2 };

  UWIN() = default;
  UWIN(const UWIN&) = delete;
  UWIN& operator=(const UWIN&) = delete;
  // Destroys a window or modeless dialog this object still has, and the font
  // it owns. A subclassed control gets its old procedure back first.
  virtual ~UWIN();

  virtual LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) = 0;

  // A window of a class registered on first use (redraw on resize, double
  // clicks, no icon or cursor; `background`: the brush of system colour 11,
  // the inactive border's grey). Null
  // when the class or the window cannot be made.
  HWND Create(HINSTANCE instance, const char* class_name, const char* title, DWORD style,
              DWORD ex_style, int x, int y, int width, int height, HWND parent, int show,
              bool background = true);
  // Dialogs from the module's resources. RunModal answers what EndDialog was
  // given, -1 when the dialog cannot be made.
  INT_PTR RunModal(HINSTANCE instance, int resource_id, HWND owner);
  HWND CreateModeless(HINSTANCE instance, int resource_id, HWND owner);

  // Routes an existing window's messages to this object; its old procedure
  // gets whatever WndProc passes on (CallOld).
  bool Subclass(HWND hwnd);
  void Unsubclass();

  HWND hwnd() const { return hwnd_; }
  int kind() const { return kind_; }
  HINSTANCE instance() const { return instance_; }
  // Takes ownership of `font` (the previous one is deleted).
  void SetOwnedFont(HFONT font);
  HFONT owned_font() const { return font_; }

 protected:
  // The procedure that was in place before: the control's own for a
  // subclassed control, the default one otherwise. Dialogs answer 0 (the
  // dialog manager does the default handling).
  LRESULT CallOld(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  int show_cmd_ = 1;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  int kind_ = kWindow;

 private:
  static LRESULT CALLBACK WindowThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static INT_PTR CALLBACK DialogThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SubclassThunk(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  WNDPROC old_proc_ = nullptr;
  HFONT font_ = nullptr;
};

// The base of every tool panel: knows the plug-in through its service object
// and hands every message to PanelProc.
class UWINMQ : public UWIN {
 public:
  explicit UWINMQ(IDLMAIN* service = nullptr) : service_(service) {}
  LRESULT WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) final {
    return PanelProc(hwnd, message, wparam, lparam);
  }
  virtual LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) = 0;

  IDLMAIN* service() const { return service_; }
  void set_service(IDLMAIN* service) { service_ = service; }

 protected:
  IDLMAIN* service_;
  int shown_once_ = 0;
};

// The panels' font: 12 pixels (or `height`), regular weight, the Shift-JIS
// character set and the modeller users' Japanese face. The caller owns the
// handle.
HFONT CreatePanelFont(int height = 12);
// Gives `window` and every child of it the font (the set-font message).
void ApplyFont(HWND window, HFONT font);

// Sets the window's text only when it differs from what it shows. Panels are
// refreshed on every step of a drag; setting a text repaints its window, and
// leaving an unchanged one alone keeps both the frame time and the caret and
// selection of an edit the user is in. True when the text was set.
bool UpdateWindowText(HWND window, const char* text);
