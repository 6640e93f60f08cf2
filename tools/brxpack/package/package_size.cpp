#include "brxpack/package/package_size.h"

#include "brxpack/package/package_plan.h"
#include "brxpack/package/package_stream_writer.h"

namespace brxpack {

Result<uint64_t> PackageSize(const Manifest& manifest, int level, unsigned threads,
                             const std::filesystem::path& scratch, const ProgressTarget& progress) {
  Result<PackagePlan> plan = PlanPackage(manifest);
  if (!plan.ok()) return plan.TakeError();
  Result<AtomicOutputFile> output = AtomicOutputFile::Create(scratch / "measured.brx");
  if (!output.ok()) return output.TakeError();
  StreamWriterOptions options;
  options.compression.level = level;
  options.threads = threads;
  uint64_t input = 0;
  for (const PlannedFile& file : plan->files) input += file.size;
  ProgressMeter meter(progress, input);
  options.progress = &meter;
  Result<std::vector<WrittenEntry>> written =
      WritePackageStream(EntriesToWrite(*plan), options, *output);
  if (!written.ok()) return written.TakeError();
  return output->written();  // never committed: the file goes with the object
}

}  // namespace brxpack
