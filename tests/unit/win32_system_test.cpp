// Win32System against the real system: the results and side effects that
// the simulated Windows (FakeSystem's) copies and the steps rely on.
#include "system/win32_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/win32_test_window.h"

namespace brx {
namespace {

// A fresh folder under the temporary folder for each test, removed with
// everything in it afterwards.
class Win32SystemTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
    folder_ = std::string(temp) + "brx_" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << GetLastError();
  }
  void TearDown() override { RemoveTree(folder_); }

  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
      const std::string name = found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (name != "." && name != "..") RemoveTree(folder + name + "\\");
      } else {
        DeleteFileA((folder + name).c_str());
      }
      if (!FindNextFileA(search, &found)) break;
    }
    FindClose(search);
    RemoveDirectoryA(folder.c_str());
  }

  // Writes a file as the file phase does; false on any failure.
  bool Write(const std::string& name, const std::string& content) {
    const Handle file = system_.CreateFileForWriting((folder_ + name).c_str());
    const Handle mapping = system_.CreateMapping(file, MapAccess::kWrite, content.size());
    uint8_t* view = system_.MapView(mapping, MapAccess::kWrite);
    if (view != nullptr) std::memcpy(view, content.data(), content.size());
    const bool written = view != nullptr && system_.UnmapView(view);
    return system_.Close(mapping) && system_.Close(file) && written;
  }

  // Reads a file as the package reader does; empty on any failure.
  std::string Read(const std::string& name) {
    const Handle file = system_.OpenFileForReading((folder_ + name).c_str());
    const std::optional<uint32_t> size = system_.FileSize(file);
    const Handle mapping = system_.CreateMapping(file, MapAccess::kRead, 0);
    const uint8_t* view = system_.MapView(mapping, MapAccess::kRead);
    std::string content;
    if (size && view != nullptr) content.assign(reinterpret_cast<const char*>(view), *size);
    EXPECT_TRUE(view != nullptr && system_.UnmapView(view));
    EXPECT_TRUE(system_.Close(mapping) && system_.Close(file));
    return content;
  }

  std::string Path(const std::string& name) const { return folder_ + name; }

  Win32System system_{nullptr};
  std::string folder_;
};

// Tests the files the reader and the file phase make and read: a write
// mapping gives a new file exactly its size, replacing a longer one; a
// missing file, a folder or a bad handle give no handle and no size; an
// empty file cannot be mapped; sharing lets readers in beside a reader but
// nobody beside a writer (a view for writing among them) or a holder that
// shares nothing; a new file is never made over one that stands; and the
// program's own name is found.
TEST_F(Win32SystemTest, FilesMappingsAndSharing) {
  std::string pattern(70001, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(Write("data.bin", std::string(200000, 'x')));
  ASSERT_TRUE(Write("data.bin", pattern));
  EXPECT_EQ(Read("data.bin"), pattern);

  EXPECT_EQ(system_.OpenFileForReading(Path("missing.bin").c_str()), kNoHandle);
  EXPECT_EQ(system_.OpenFileForReading(folder_.c_str()), kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(Path("no\\folder.bin").c_str()), kNoHandle);
  EXPECT_FALSE(system_.FileSize(kNoHandle));
  const Handle empty = system_.CreateFileForWriting(Path("empty.bin").c_str());
  EXPECT_EQ(system_.FileSize(empty), std::optional<uint32_t>(0));
  EXPECT_EQ(system_.CreateMapping(empty, MapAccess::kRead, 0), kNoHandle);
  EXPECT_EQ(system_.CreateMapping(empty, MapAccess::kWrite, 0), kNoHandle);
  EXPECT_TRUE(system_.Close(empty));

  const std::string held = Path("data.bin");
  HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(system_.OpenFileForReading(held.c_str()), kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(held.c_str()), kNoHandle);
  EXPECT_FALSE(system_.MovePath(held.c_str(), (held + ".bak").c_str()));
  EXPECT_FALSE(system_.DeletePath(held.c_str()));
  CloseHandle(holder);
  const Handle reader = system_.OpenFileForReading(held.c_str());
  const Handle secondReader = system_.OpenFileForReading(held.c_str());
  EXPECT_NE(secondReader, kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(held.c_str()), kNoHandle);
  EXPECT_TRUE(system_.Close(secondReader) && system_.Close(reader));
  const Handle writer = system_.CreateFileForWriting(held.c_str());
  EXPECT_EQ(system_.OpenFileForReading(held.c_str()), kNoHandle);
  // A view for writing still writes once its mapping and file are closed.
  const Handle mapping = system_.CreateMapping(writer, MapAccess::kWrite, 5);
  uint8_t* view = system_.MapView(mapping, MapAccess::kWrite);
  EXPECT_TRUE(view != nullptr && system_.Close(mapping) && system_.Close(writer));
  EXPECT_EQ(system_.OpenFileForReading(held.c_str()), kNoHandle);
  EXPECT_TRUE(system_.UnmapView(view));

  // CREATE_NEW never truncates what stands at the path.
  ASSERT_TRUE(Write("kept.bin", "kept"));
  EXPECT_EQ(system_.CreateNewFile(Path("kept.bin").c_str()), kNoHandle);
  EXPECT_EQ(Read("kept.bin"), "kept");
  const Handle created = system_.CreateNewFile(Path("new.bin").c_str());
  EXPECT_NE(created, kNoHandle);
  EXPECT_TRUE(system_.Close(created));
  // The program's own file, whatever the command line called it.
  char own[MAX_PATH];
  ASSERT_TRUE(system_.OwnProgramPath(own, sizeof own));
  EXPECT_TRUE(system_.PathExists(own));
  EXPECT_FALSE(system_.OwnProgramPath(own, 4));
}

// Tests the results of folders, moves, deletes and the existence tests,
// with the path forms the steps build: a doubled backslash and a folder
// named with its trailing backslash.
TEST_F(Win32SystemTest, FoldersMovesAndDeletes) {
  const std::string sub = Path("sub");
  EXPECT_TRUE(system_.CreateFolder(sub.c_str()));
  EXPECT_FALSE(system_.CreateFolder(sub.c_str())) << "it exists already";
  EXPECT_FALSE(system_.CreateFolder(Path("a\\b").c_str())) << "its parent is missing";
  ASSERT_TRUE(Write("sub\\file.txt", "text"));
  EXPECT_TRUE(system_.PathExists((sub + "\\\\file.txt").c_str()));
  EXPECT_TRUE(system_.IsFolder(sub.c_str()));
  EXPECT_FALSE(system_.IsFolder((sub + "\\file.txt").c_str()));
  EXPECT_FALSE(system_.RemoveFolder(sub.c_str())) << "it is not empty";
  EXPECT_FALSE(system_.DeletePath(sub.c_str())) << "a folder is no file";

  EXPECT_TRUE(system_.MovePath((sub + "\\file.txt").c_str(), (sub + "\\file.txt.bak").c_str()));
  EXPECT_FALSE(system_.PathExists((sub + "\\file.txt").c_str()));
  ASSERT_TRUE(Write("sub\\file.txt", "new"));
  EXPECT_FALSE(system_.MovePath((sub + "\\file.txt").c_str(), (sub + "\\file.txt.bak").c_str()))
      << "a move never replaces a file";
  EXPECT_TRUE(system_.DeletePath((sub + "\\file.txt").c_str()));
  EXPECT_FALSE(system_.DeletePath((sub + "\\file.txt").c_str()));
  EXPECT_TRUE(system_.DeletePath((sub + "\\file.txt.bak").c_str()));
  EXPECT_TRUE(system_.RemoveFolder((sub + "\\").c_str()));
  EXPECT_FALSE(system_.PathExists(sub.c_str()));
}

// Tests that a started program runs in the given folder with the given
// command line and that the wait returns once it has ended; a missing
// program is not started and leaves the handles untouched.
TEST_F(Win32SystemTest, StartsAProgramInAFolderAndWaitsForIt) {
  char systemFolder[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryA(systemFolder, sizeof(systemFolder)), 0u);
  const std::string cmd = std::string(systemFolder) + "\\cmd.exe";
  char commandLine[1024] = "DUMMY /c echo started>marker.txt& exit 3";
  ProcessHandles started;
  ASSERT_TRUE(system_.StartProcess(cmd.c_str(), commandLine, folder_.c_str(), &started));
  system_.WaitForProcess(started.process);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeProcess(reinterpret_cast<HANDLE>(started.process), &exitCode));
  EXPECT_EQ(exitCode, 3u);
  EXPECT_TRUE(system_.PathExists(Path("marker.txt").c_str())) << "not run in the given folder";
  EXPECT_TRUE(system_.Close(started.thread) && system_.Close(started.process));

  ProcessHandles untouched;
  EXPECT_FALSE(
      system_.StartProcess(Path("missing.exe").c_str(), commandLine, folder_.c_str(), &untouched));
  EXPECT_EQ(untouched.process, kNoHandle);
  EXPECT_EQ(untouched.thread, kNoHandle);
}

// Tests the registry as the steps use it under a test key of the current
// user: a created key (with its missing parents) takes a text and a number
// and gives them back with their types and lengths; a missing key or value
// and a value longer than the buffer (whose length is reported) fail; a key
// opened for reading refuses a write, one opened for completion's access
// takes it.
TEST(Win32SystemRegistryTest, KeysAndValues) {
  Win32System system(nullptr);
  const std::string root =
      "Software\\BrindlexUpdaterTests\\" + std::to_string(GetCurrentProcessId());
  const std::string path = root + "\\Program\\Settings";
  RegistryKey key = 0;
  ASSERT_EQ(system.CreateRegistryKey(RegistryRoot::kCurrentUser, path.c_str(), &key),
            kRegistrySuccess);
  const char text[] = "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0\\";  // Cyrillic in 1251
  const uint8_t level[4] = {0xFB, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(system.SetRegistryValue(key, "Folder", kRegSz, reinterpret_cast<const uint8_t*>(text),
                                    sizeof(text)),
            kRegistrySuccess);
  EXPECT_EQ(system.SetRegistryValue(key, "Level", kRegDword, level, 4), kRegistrySuccess);
  system.CloseRegistryKey(key);

  EXPECT_EQ(system.OpenRegistryKey(RegistryRoot::kCurrentUser, (root + "\\Missing").c_str(),
                                   kKeyQueryValue, &key),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(system.OpenRegistryKey(RegistryRoot::kCurrentUser, path.c_str(), kKeyQueryValue, &key),
            kRegistrySuccess);
  uint8_t data[512];
  uint32_t type = 0;
  uint32_t size = sizeof(data);
  ASSERT_EQ(system.QueryRegistryValue(key, "Folder", &type, data, &size), kRegistrySuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string(text, sizeof(text)));
  EXPECT_EQ(type, kRegSz);
  size = sizeof(data);
  ASSERT_EQ(system.QueryRegistryValue(key, "Level", &type, data, &size), kRegistrySuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("\xFB\xFF\xFF\xFF"));
  EXPECT_EQ(type, kRegDword);
  size = 8;
  EXPECT_EQ(system.QueryRegistryValue(key, "Folder", &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(text));
  EXPECT_EQ(system.QueryRegistryValue(key, "Missing", &type, data, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(system.SetRegistryValue(key, "Level", kRegDword, level, 4), ERROR_ACCESS_DENIED);
  system.CloseRegistryKey(key);
  ASSERT_EQ(system.OpenRegistryKey(RegistryRoot::kCurrentUser, path.c_str(),
                                   kKeySetValueAndCreateSubKey, &key),
            kRegistrySuccess);
  EXPECT_EQ(system.SetRegistryValue(key, "Level", kRegDword, level, 4), kRegistrySuccess);
  system.CloseRegistryKey(key);
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str()), ERROR_SUCCESS);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindlexUpdaterTests");  // if now empty
}

// Tests the window side on a real window of this thread: the status line and
// the button's text land in controls 1000 and 1, the button is shown, and a
// message box is owned by the window with the caption and buttons it was
// given, returning the answer.
TEST(Win32SystemWindowTest, StatusButtonAndOwnedMessageBoxes) {
  WorkerState state{kRunning};
  TestProgressWindow window(state);
  Win32System system(window.window());
  system.SetStatusText("\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\r\n(C:\\a)\r\n");
  EXPECT_EQ(window.StatusText(), "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\r\n(C:\\a)\r\n");
  EXPECT_FALSE(window.ButtonVisible());
  system.ShowButton();
  system.SetButtonText("OK");
  EXPECT_TRUE(window.ButtonVisible());
  EXPECT_EQ(window.ButtonText(), "OK");
  for (const auto& [style, answer] : {std::pair{kMbOkCancel | kMbIconInformation, kIdCancel},
                                      std::pair{kMbOk | kMbIconExclamation, kIdOk}}) {
    MessageBoxAnswerer answerer(answer);
    EXPECT_EQ(system.AskUser("question text", "caption text", style), answer);
    EXPECT_EQ(answerer.boxes, 1);
    EXPECT_EQ(answerer.owner, window.window());
    EXPECT_EQ(answerer.caption, "caption text");
    EXPECT_EQ(answerer.hasCancel, (style & kMbOkCancel) != 0);
  }
}

}  // namespace
}  // namespace brx
