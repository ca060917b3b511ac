// The system code page: the encoding of char* text at the host boundary. It is
// UTF-8 on Linux; a Windows build would use the ANSI code page.
#ifndef TOMEVA_PLATFORM_CODE_PAGE_H_
#define TOMEVA_PLATFORM_CODE_PAGE_H_

namespace tomeva::platform {

enum class CodePage { kUtf8, kWindows1251 };

constexpr CodePage SystemCodePage() {
#ifdef _WIN32
  return CodePage::kWindows1251;
#else
  return CodePage::kUtf8;
#endif
}

// The name of the system code page as XML declarations and iconv know it.
constexpr const char* SystemCodePageName() {
  return SystemCodePage() == CodePage::kUtf8 ? "UTF-8" : "windows-1251";
}

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_CODE_PAGE_H_
