#include "brxpack/simulate/installation_simulation.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "brxpack/contents/windows1251.h"
#include "brxpack/host/host_file_io.h"
#include "brxpack/host/host_path.h"
#include "brxpack/host/mapped_file.h"

namespace brxpack {

namespace fs = std::filesystem;

namespace {

class HostFolderMirror : public HostMirror {
 public:
  std::vector<Entry> List(const fs::path& folder) override {
    std::vector<Entry> entries;
    std::error_code error;
    for (fs::directory_iterator walk(folder, error); !error && walk != fs::directory_iterator();
         walk.increment(error)) {
      const Result<std::string> name = Utf8ToWindows1251(Utf8FromPath(walk->path().filename()));
      std::error_code kind;
      entries.push_back(
          {name.ok() ? *name : std::string(), walk->path(), walk->is_directory(kind)});
    }
    if (error) Fault(folder, error);
    // Two host names that Windows takes for one: the same one wins every time.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.host < b.host; });
    return entries;
  }

  fs::path Below(const fs::path& folder, const std::string& name) override {
    return folder / PathFromUtf8(Windows1251ToUtf8(name));
  }

  bool MakeFolder(const fs::path& host) override {
    std::error_code error;
    return fs::create_directory(host, error) || Fault(host, error);
  }

  bool Remove(const fs::path& host) override {
    std::error_code error;
    return fs::remove(host, error) || Fault(host, error);
  }

  bool Move(const fs::path& from, const fs::path& to) override {
    std::error_code error;
    fs::rename(from, to, error);
    return !error || Fault(from, error);
  }

  bool Resize(const fs::path& host, uint32_t size) override {
    std::error_code error;
    if (size != 0) {
      fs::resize_file(host, size, error);
      return !error || Fault(host, error);
    }
    std::FILE* created = OpenHostFile(host, "wb");
    return (created != nullptr && std::fclose(created) == 0) || Fault(host, LastHostError());
  }

  std::optional<uint64_t> Size(const fs::path& host) override {
    std::error_code error;
    const uint64_t size = fs::file_size(host, error);
    if (!error) return size;
    Fault(host, error);
    return std::nullopt;
  }

  std::shared_ptr<const brx::MemoryRange> Map(const fs::path& host) override {
    Result<MappedFile> file = MappedFile::Open(host);
    if (!file.ok()) {
      if (!fault) fault = file.error();  // it names the file
      return nullptr;
    }
    if (!file->FitsIn32Bits()) return nullptr;
    auto mapped = std::make_shared<std::pair<MappedFile, brx::MemoryRange>>(std::move(*file),
                                                                            brx::MemoryRange{});
    mapped->second = mapped->first.range();
    return {mapped, &mapped->second};
  }

  // The whole view into the file, checked up to the close: a full disk may
  // only show when the buffered bytes reach it.
  bool Write(const fs::path& host, const std::vector<uint8_t>& bytes) override {
    std::FILE* file = OpenHostFile(host, "r+b");
    if (file == nullptr) return Fault(host, LastHostError());
    // In pieces, so that progress moves inside a large file.
    constexpr size_t kPiece = 4u << 20;
    bool done = true;
    for (size_t at = 0; done && at < bytes.size(); at += kPiece) {
      const size_t piece = std::min(kPiece, bytes.size() - at);
      done = std::fwrite(bytes.data() + at, 1, piece, file) == piece;
      if (done && written) written(piece);
    }
    done = done && std::fflush(file) == 0;
    const std::error_code error = done ? std::error_code() : LastHostError();
    if (std::fclose(file) != 0 && !error) return Fault(host, LastHostError());
    return !error || Fault(host, error);
  }

 private:
  // Keeps the first fault; false, for the caller to return.
  bool Fault(const fs::path& host, const std::error_code& error) {
    const std::error_code shown = error ? error : std::make_error_code(std::errc::io_error);
    if (!fault) fault = Utf8FromPath(host) + ": " + SystemErrorText(shown);
    return false;
  }
};

}  // namespace

std::unique_ptr<HostMirror> MakeHostMirror() {
  return std::make_unique<HostFolderMirror>();
}

}  // namespace brxpack
