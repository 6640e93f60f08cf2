// subsystem: console
// A program for the commands phase that reports failure the way external
// programs do: it creates brx_patch_apply_err.txt in its current folder,
// which is the target folder. It ends with exit code 0, so only the error
// file can tell the installer that it failed.
#include <cstdio>

int main() {
  FILE* file = std::fopen("brx_patch_apply_err.txt", "wb");
  if (!file) return 100;
  std::fputs("failed\r\n", file);
  std::fclose(file);
  return 0;
}
