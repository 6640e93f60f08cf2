#pragma once
// A run ready for the installation steps: the package parsed straight from
// its bytes (no package file), the target's folder set as discovery leaves
// it, and a FakeSystem in which that folder exists.
#include <cstdint>
#include <string>
#include <vector>

#include "authoring/writer.h"
#include "run/run_state.h"
#include "support/fake_system.h"

namespace brx {

inline constexpr char kStepsFolder[] = "C:\\App\\";

PackageEntrySource FileEntry(const std::string& name, const std::string& content,
                             EntryStorage storage = EntryStorage::kCompressed);
PackageEntrySource SectionEntry(const std::string& name, const std::vector<uint8_t>& payload);
std::vector<uint8_t> Payload(const std::string& bytes);

class StepsRun {
 public:
  // The package must parse; a writer or reader error fails the test.
  explicit StepsRun(const std::vector<PackageEntrySource>& entries,
                    const std::string& targetFolder = kStepsFolder);
  ~StepsRun();
  StepsRun(const StepsRun&) = delete;
  StepsRun& operator=(const StepsRun&) = delete;

  // LoadNameTable and CreateFolders, as the driver runs them before the files.
  void Prepare();
  // Bytes of the package as parsed; a test may damage them before the run.
  std::vector<uint8_t>& bytes() { return bytes_; }
  // Where entry `index`'s stored bytes lie in bytes().
  size_t StoredAt(uint32_t index) const;
  // Seam calls logged since `from`.
  std::vector<std::string> CallsSince(size_t from) const;

  FakeSystem system;
  RunState run;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace brx
