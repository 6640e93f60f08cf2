// subsystem: console
// Prints what Windows itself reads from a program's resources, one
// "key=value" line each, for the brand scenarios: the fixed file version,
// the translation and the version texts (GetFileVersionInfoA and
// VerQueryValueA; texts in the ANSI code page), whether dialog 101 is there,
// and the colour at the centre of icon group 102 as LoadIconA gives it.
//
// Usage: read_brand FILE
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

void PrintVersion(const char* file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoA(file, 0, size, info.data())) {
    std::printf("version=none\n");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length)) {
    std::printf("file_version=%d.%d.%d.%d\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
  }
  WORD* translation = nullptr;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &length) ||
      length < 4) {
    std::printf("translation=none\n");
    return;
  }
  std::printf("translation=%04x%04x\n", translation[0], translation[1]);
  for (const char* name : {"CompanyName", "ProductName", "FileVersion", "ProductVersion",
                           "FileDescription", "LegalCopyright"}) {
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                  translation[1], name);
    char* value = nullptr;
    if (VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&value), &length)) {
      std::printf("%s=%s\n", name, value);
    }
  }
}

void PrintIcon(HMODULE module) {
  HICON icon = LoadIconA(module, MAKEINTRESOURCEA(102));
  ICONINFO parts;
  if (icon == nullptr || !GetIconInfo(icon, &parts)) {
    std::printf("icon=none\n");
    return;
  }
  BITMAP bitmap;
  GetObjectA(parts.hbmColor, sizeof bitmap, &bitmap);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, parts.hbmColor);
  const COLORREF centre = GetPixel(dc, bitmap.bmWidth / 2, bitmap.bmHeight / 2);
  SelectObject(dc, previous);
  DeleteDC(dc);
  std::printf("icon_centre=%02x%02x%02x\n", GetRValue(centre), GetGValue(centre),
              GetBValue(centre));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_brand FILE\n");
    return 2;
  }
  PrintVersion(argv[1]);
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::printf("module=none\n");
    return 1;
  }
  std::printf("dialog=%s\n",
              FindResourceA(module, MAKEINTRESOURCEA(101), RT_DIALOG) ? "yes" : "no");
  PrintIcon(module);
  return 0;
}
