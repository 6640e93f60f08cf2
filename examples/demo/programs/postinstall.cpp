// The helper the demo update ships and runs after its files are installed.
// It runs in the program's folder and records what it found there; a missing
// settings file is a failure, reported the installer's way: through the
// error file.
#include <cstdio>

int main(int argc, char** argv) {
  std::FILE* settings = std::fopen("notes.ini", "rb");
  if (settings == nullptr) {
    std::FILE* error = std::fopen("brx_patch_apply_err.txt", "wb");
    if (error != nullptr) std::fclose(error);
    return 1;
  }
  std::fclose(settings);

  std::FILE* log = std::fopen("postinstall.log", "wb");
  if (log == nullptr) return 1;
  std::fprintf(log, "postinstall ran as:");
  for (int i = 0; i < argc; ++i) std::fprintf(log, " %s", argv[i]);
  std::fprintf(log, "\r\nnotes.ini found\r\n");
  std::fclose(log);
  return 0;
}
