// subsystem: console
// The Wine floor of make bench: a bare 32-bit program that writes every file
// entry of a package the way the installer writes a file (a new file mapped
// at its final size, the stream inflated into the view by one call) and does
// nothing else: no backup names, no status line, no window. Run under Wine
// beside PATCH.EXE and an NSIS installer, it shows what of their time is the
// work itself and what is their own.
//
// Usage: mapped_inflate_floor PACKAGE FOLDER
// Exit 0 when every file was written, 1 when one was not, 2 for a bad call
// or package.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "package/inflate_stream.h"
#include "package/reader.h"

namespace {

brx::MemoryRange MapPackage(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  const DWORD size = GetFileSize(file, nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  // The view keeps the mapping and the file alive on its own.
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  if (view == nullptr || size == INVALID_FILE_SIZE) return {};
  return {static_cast<const uint8_t*>(view), size};
}

// Each folder on the way to a file, once per run: the installer asks for
// them at every file, which is its own cost, not the floor's.
void CreateFoldersFor(const std::string& path, size_t folderLength,
                      std::set<std::string>& created) {
  for (size_t slash = path.find('\\', folderLength); slash != std::string::npos;
       slash = path.find('\\', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (created.insert(folder).second) CreateDirectoryA(folder.c_str(), nullptr);
  }
}

bool WriteEntry(const brx::Package& package, const brx::DirectoryEntry& entry, const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = entry.size == 0;  // an empty file cannot be mapped; created, it is complete
  if (!written) {
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, entry.size, nullptr);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
    if (view != nullptr) {
      const brx::MemoryRange stored = package.StoredBytes(entry);
      auto* destination = static_cast<uint8_t*>(view);
      if (entry.IsCompressed()) {
        written = brx::InflateStream(stored.data, stored.size, destination, entry.size);
      } else {
        std::memcpy(destination, stored.data, entry.size);
        written = true;
      }
      UnmapViewOfFile(view);
    }
    if (mapping) CloseHandle(mapping);
  }
  CloseHandle(file);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mapped_inflate_floor PACKAGE FOLDER\n");
    return 2;
  }
  const brx::MemoryRange bytes = MapPackage(argv[1]);
  brx::Package package;
  if (bytes.data == nullptr || brx::ParsePackage(bytes, brx::PackageSource::kPackageFile,
                                                 &package) != brx::PackageError::kNone) {
    std::fprintf(stderr, "mapped_inflate_floor: %s is not a readable package\n", argv[1]);
    return 2;
  }
  std::string folder = argv[2];
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  std::set<std::string> created;
  int result = 0;
  for (uint32_t i = 0; i < package.entryCount(); ++i) {
    const brx::DirectoryEntry& entry = package.directory[i];
    if (entry.IsSection()) continue;
    const std::string path = folder + entry.name;
    CreateFoldersFor(path, folder.size(), created);
    if (!WriteEntry(package, entry, path.c_str())) {
      std::fprintf(stderr, "mapped_inflate_floor: %s not written (error %lu)\n", path.c_str(),
                   GetLastError());
      result = 1;
    }
  }
  return result;
}
