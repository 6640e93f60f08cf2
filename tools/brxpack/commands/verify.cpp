// brxpack verify: every check the installer's reader makes, and more; one
// line per problem.
#include "brxpack/commands/commands.h"
#include "brxpack/commands/exit_codes.h"
#include "brxpack/commands/refuse.h"
#include "brxpack/host/host_path.h"
#include "brxpack/reading/package_file.h"
#include "brxpack/reading/package_verification.h"

namespace brxpack {

int RunVerify(const std::string& file, Console& console) {
  Result<PackageFile> mapped = MapPackageFile(PathFromUtf8(file));
  if (!mapped.ok()) return Refuse(console, mapped.error());
  const VerifyReport report = VerifyPackage(*mapped);
  const std::string& shown = mapped->shown;
  for (const std::string& fact : report.facts) console.out << shown << ": " << fact << "\n";
  for (const std::string& note : report.notes) console.out << shown << ": note: " << note << "\n";
  for (const std::string& problem : report.problems) {
    console.out << shown << ": PROBLEM: " << problem << "\n";
  }
  if (!report.problems.empty()) {
    console.out << shown << ": DAMAGED, " << report.problems.size()
                << (report.problems.size() == 1 ? " problem\n" : " problems\n");
    return kExitDamaged;
  }
  console.out << shown << ": OK\n";
  return kExitOk;
}

}  // namespace brxpack
