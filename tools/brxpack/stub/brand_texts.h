#pragma once
// A publisher's brand for the installer's program: the version information
// that Windows shows for update.exe (company, product, version, description,
// copyright) and, optionally, its icon.
#include <filesystem>
#include <string>

namespace brxpack {

struct Brand {
  // UTF-8 texts; an empty one is left out of the version information.
  std::string company;
  std::string product;
  std::string version;  // one to four numbers 0-65535 with dots: "2.0", "2.0.1.17"
  std::string description;
  std::string copyright;
  std::filesystem::path icon;  // a .ico file; empty keeps the installer's icon
  std::string where;           // "FILE:LINE:COLUMN: brand", for messages
};

}  // namespace brxpack
