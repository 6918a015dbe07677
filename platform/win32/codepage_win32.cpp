#include <windows.h>

#include <climits>
#include <string>

#include "platform/codepage.h"

namespace quorvel::platform {

namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int wide_length = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return {};
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), length, wide.data(), wide_length);
  return wide;
}

std::string FromWide(UINT code_page, const std::wstring& wide) {
  if (wide.empty()) return {};
  const int wide_length = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(code_page, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), wide_length, text.data(), length, nullptr,
                      nullptr);
  return text;
}

}  // namespace

std::string AnsiToUtf8(std::string_view ansi) { return FromWide(CP_UTF8, ToWide(CP_ACP, ansi)); }
std::string Utf8ToAnsi(std::string_view utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }

}  // namespace quorvel::platform
