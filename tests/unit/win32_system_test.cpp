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
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string(temp) + "brx_" + test->name() + "_" +
              std::to_string(GetCurrentProcessId()) + "\\";
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << GetLastError();
  }
  void TearDown() override { RemoveTree(folder_); }

  std::string Path(const std::string& name) const { return folder_ + name; }

  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(folder + name + "\\");
        } else {
          DeleteFileA((folder + name).c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }

  // Writes a file through the seam as the file phase does; false on any failure.
  bool WriteThroughMapping(const std::string& path, const std::string& content) {
    Handle file = system_.CreateFileForWriting(path.c_str());
    if (file == kNoHandle) return false;
    Handle mapping = system_.CreateMapping(file, MapAccess::kWrite, content.size());
    uint8_t* view = mapping != kNoHandle ? system_.MapView(mapping, MapAccess::kWrite) : nullptr;
    if (view != nullptr) std::memcpy(view, content.data(), content.size());
    bool ok = view != nullptr && system_.UnmapView(view);
    if (mapping != kNoHandle) ok = system_.Close(mapping) && ok;
    return system_.Close(file) && ok;
  }

  // Reads a file through the seam as the package reader does.
  std::string ReadThroughMapping(const std::string& path) {
    Handle file = system_.OpenFileForReading(path.c_str());
    EXPECT_NE(file, kNoHandle) << path;
    std::optional<uint32_t> size = system_.FileSize(file);
    Handle mapping = system_.CreateMapping(file, MapAccess::kRead, 0);
    uint8_t* view = system_.MapView(mapping, MapAccess::kRead);
    std::string content;
    if (size && view != nullptr) content.assign(reinterpret_cast<const char*>(view), *size);
    EXPECT_TRUE(view != nullptr && system_.UnmapView(view));
    EXPECT_TRUE(system_.Close(mapping));
    EXPECT_TRUE(system_.Close(file));
    return content;
  }

  static std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
  }

  Win32System system_{nullptr};
  std::string folder_;
};

// Tests that a file created for writing and mapped at a size gets exactly
// that length, replacing a longer file, and that a read mapping gives every
// byte back; sizes around page bounds included.
TEST_F(Win32SystemTest, WriteMappingSetsTheLengthAndReadsBack) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{4096}, size_t{70001}}) {
    SCOPED_TRACE(size);
    std::string content = Pattern(size);
    ASSERT_TRUE(WriteThroughMapping(Path("data.bin"), Pattern(200000)));
    ASSERT_TRUE(WriteThroughMapping(Path("data.bin"), content));
    EXPECT_EQ(ReadThroughMapping(Path("data.bin")), content);
  }
}

// Tests the failures the reader and the file phase rely on: a missing file
// does not open, an empty file has size 0 but cannot be mapped, a bad handle
// has no size, and a folder cannot be opened as a file.
TEST_F(Win32SystemTest, MissingEmptyAndUnopenableFiles) {
  EXPECT_EQ(system_.OpenFileForReading(Path("missing.bin").c_str()), kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(Path("no\\such\\folder.bin").c_str()), kNoHandle);
  EXPECT_EQ(system_.OpenFileForReading(folder_.c_str()), kNoHandle);
  EXPECT_FALSE(system_.FileSize(kNoHandle).has_value());

  Handle empty = system_.CreateFileForWriting(Path("empty.bin").c_str());
  ASSERT_NE(empty, kNoHandle);
  EXPECT_EQ(system_.FileSize(empty), std::optional<uint32_t>(0));
  EXPECT_EQ(system_.CreateMapping(empty, MapAccess::kRead, 0), kNoHandle);
  EXPECT_EQ(system_.CreateMapping(empty, MapAccess::kWrite, 0), kNoHandle);
  EXPECT_TRUE(system_.Close(empty));
}

// Tests the share modes: a file held open by another without sharing can be
// neither read, replaced, moved nor deleted; a file open for reading lets
// other readers in (FILE_SHARE_READ) but no writer; a file being written
// keeps everybody out, since no opener shares writing.
TEST_F(Win32SystemTest, SharingDecidesWhoMayOpenReplaceOrMove) {
  std::string path = Path("held.exe");
  ASSERT_TRUE(WriteThroughMapping(path, "old"));
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(system_.OpenFileForReading(path.c_str()), kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(path.c_str()), kNoHandle);
  EXPECT_FALSE(system_.MovePath(path.c_str(), Path("held.exe.bak").c_str()));
  EXPECT_FALSE(system_.DeletePath(path.c_str()));
  CloseHandle(held);
  EXPECT_EQ(ReadThroughMapping(path), "old");

  Handle reader = system_.OpenFileForReading(path.c_str());
  ASSERT_NE(reader, kNoHandle);
  Handle secondReader = system_.OpenFileForReading(path.c_str());
  EXPECT_NE(secondReader, kNoHandle);
  EXPECT_TRUE(system_.Close(secondReader));
  EXPECT_EQ(system_.CreateFileForWriting(path.c_str()), kNoHandle);
  EXPECT_TRUE(system_.Close(reader));

  Handle writer = system_.CreateFileForWriting(path.c_str());
  ASSERT_NE(writer, kNoHandle);
  EXPECT_EQ(system_.OpenFileForReading(path.c_str()), kNoHandle);
  EXPECT_EQ(system_.CreateFileForWriting(path.c_str()), kNoHandle);
  EXPECT_TRUE(system_.Close(writer));
}

// Tests that folder creation and removal, moves, deletes and the existence
// test give the platform's results, with the path forms the steps build: a
// doubled backslash and a folder named with its trailing backslash.
TEST_F(Win32SystemTest, FolderMoveDeleteAndExistenceResults) {
  std::string sub = Path("sub");
  EXPECT_TRUE(system_.CreateFolder(sub.c_str()));
  EXPECT_FALSE(system_.CreateFolder(sub.c_str())) << "it exists already";
  EXPECT_FALSE(system_.CreateFolder(Path("a\\b").c_str())) << "its parent is missing";
  EXPECT_TRUE(system_.PathExists(sub.c_str()));

  ASSERT_TRUE(WriteThroughMapping(sub + "\\file.txt", "text"));
  EXPECT_TRUE(system_.PathExists((sub + "\\\\file.txt").c_str()));
  EXPECT_FALSE(system_.RemoveFolder(sub.c_str())) << "it is not empty";
  EXPECT_FALSE(system_.DeletePath(sub.c_str())) << "a folder is no file";

  EXPECT_TRUE(system_.MovePath((sub + "\\file.txt").c_str(), (sub + "\\file.txt.bak").c_str()));
  EXPECT_FALSE(system_.PathExists((sub + "\\file.txt").c_str()));
  EXPECT_FALSE(system_.MovePath((sub + "\\file.txt").c_str(), (sub + "\\x").c_str()));
  ASSERT_TRUE(WriteThroughMapping(sub + "\\file.txt", "new"));
  EXPECT_FALSE(system_.MovePath((sub + "\\file.txt").c_str(), (sub + "\\file.txt.bak").c_str()))
      << "a move never replaces a file";

  EXPECT_TRUE(system_.DeletePath((sub + "\\file.txt").c_str()));
  EXPECT_FALSE(system_.DeletePath((sub + "\\file.txt").c_str()));
  EXPECT_TRUE(system_.DeletePath((sub + "\\file.txt.bak").c_str()));
  EXPECT_TRUE(system_.RemoveFolder((sub + "\\").c_str()));
  EXPECT_FALSE(system_.PathExists(sub.c_str()));
  EXPECT_FALSE(system_.RemoveFolder(sub.c_str()));
}

// Tests that a started program runs in the given folder with the given
// command line, that the wait returns when it has ended, and that a missing
// program is not started and leaves the handles untouched.
TEST_F(Win32SystemTest, StartsAProgramInAFolderAndWaitsForIt) {
  char systemFolder[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryA(systemFolder, sizeof(systemFolder)), 0u);
  std::string cmd = std::string(systemFolder) + "\\cmd.exe";
  char commandLine[1024] = "DUMMY /c echo started>marker.txt& exit 3";
  ProcessHandles started;
  ASSERT_TRUE(system_.StartProcess(cmd.c_str(), commandLine, folder_.c_str(), &started));
  ASSERT_NE(started.process, kNoHandle);
  ASSERT_NE(started.thread, kNoHandle);
  system_.WaitForProcess(started.process);
  DWORD exitCode = 0;
  ASSERT_TRUE(GetExitCodeProcess(reinterpret_cast<HANDLE>(started.process), &exitCode));
  EXPECT_EQ(exitCode, 3u);
  EXPECT_TRUE(system_.PathExists(Path("marker.txt").c_str())) << "not run in the given folder";
  EXPECT_TRUE(system_.Close(started.thread));
  EXPECT_TRUE(system_.Close(started.process));

  char missingLine[1024] = "DUMMY";
  ProcessHandles untouched;
  EXPECT_FALSE(
      system_.StartProcess(Path("missing.exe").c_str(), missingLine, folder_.c_str(), &untouched));
  EXPECT_EQ(untouched.process, kNoHandle);
  EXPECT_EQ(untouched.thread, kNoHandle);
}

// A test key under HKEY_CURRENT_USER, deleted with its subkeys afterwards.
class Win32SystemRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    key_ = "Software\\BrindlexUpdaterTests\\" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
  }
  void TearDown() override {
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()), ERROR_SUCCESS);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindlexUpdaterTests");  // if now empty
  }

  Win32System system_{nullptr};
  std::string key_;
};

// Tests the round trip the registry table and completion make: a created key
// (its missing parents with it) takes a text and a number, and a key opened
// for reading gives back their types, lengths and bytes.
TEST_F(Win32SystemRegistryTest, CreateSetOpenQueryRoundTrip) {
  std::string path = key_ + "\\Program\\Settings";
  RegistryKey key = 0;
  ASSERT_EQ(system_.CreateRegistryKey(RegistryRoot::kCurrentUser, path.c_str(), &key),
            kRegistrySuccess);
  const char text[] = "C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0\\";  // Cyrillic in 1251
  EXPECT_EQ(system_.SetRegistryValue(key, "Folder", kRegSz, reinterpret_cast<const uint8_t*>(text),
                                     sizeof(text)),
            kRegistrySuccess);
  const uint32_t level = 0xFFFFFFFB;  // -5
  EXPECT_EQ(system_.SetRegistryValue(key, "Level", kRegDword,
                                     reinterpret_cast<const uint8_t*>(&level), sizeof(level)),
            kRegistrySuccess);
  system_.CloseRegistryKey(key);

  ASSERT_EQ(system_.OpenRegistryKey(RegistryRoot::kCurrentUser, path.c_str(), kKeyQueryValue, &key),
            kRegistrySuccess);
  uint8_t data[512];
  uint32_t type = 0;
  uint32_t size = sizeof(data);
  ASSERT_EQ(system_.QueryRegistryValue(key, "Folder", &type, data, &size), kRegistrySuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string(text, sizeof(text)));
  size = sizeof(data);
  ASSERT_EQ(system_.QueryRegistryValue(key, "Level", &type, data, &size), kRegistrySuccess);
  EXPECT_EQ(type, kRegDword);
  ASSERT_EQ(size, 4u);
  uint32_t read = 0;
  std::memcpy(&read, data, 4);
  EXPECT_EQ(read, level);
  system_.CloseRegistryKey(key);

  // Completion opens, never creates, and writes the level with access 6.
  ASSERT_EQ(system_.OpenRegistryKey(RegistryRoot::kCurrentUser, path.c_str(),
                                    kKeySetValueAndCreateSubKey, &key),
            kRegistrySuccess);
  const uint32_t next = 7;
  EXPECT_EQ(system_.SetRegistryValue(key, "Level", kRegDword,
                                     reinterpret_cast<const uint8_t*>(&next), sizeof(next)),
            kRegistrySuccess);
  system_.CloseRegistryKey(key);
  DWORD stored = 0;
  DWORD storedSize = sizeof(stored);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, path.c_str(), "Level", RRF_RT_REG_DWORD, nullptr,
                         &stored, &storedSize),
            ERROR_SUCCESS);
  EXPECT_EQ(stored, next);

  // Creating an existing key opens it.
  ASSERT_EQ(system_.CreateRegistryKey(RegistryRoot::kCurrentUser, path.c_str(), &key),
            kRegistrySuccess);
  system_.CloseRegistryKey(key);
}

// Tests the registry failures target discovery and completion meet: a missing
// key or value, a value longer than the buffer (whose length is reported),
// and a key opened for reading that refuses a write.
TEST_F(Win32SystemRegistryTest, MissingKeysValuesAndShortBuffers) {
  RegistryKey key = 0;
  EXPECT_EQ(system_.OpenRegistryKey(RegistryRoot::kCurrentUser, (key_ + "\\Missing").c_str(),
                                    kKeyQueryValue, &key),
            ERROR_FILE_NOT_FOUND);

  ASSERT_EQ(system_.CreateRegistryKey(RegistryRoot::kCurrentUser, key_.c_str(), &key),
            kRegistrySuccess);
  const char text[] = "a value of 25 characters";
  EXPECT_EQ(system_.SetRegistryValue(key, "Text", kRegSz, reinterpret_cast<const uint8_t*>(text),
                                     sizeof(text)),
            kRegistrySuccess);
  system_.CloseRegistryKey(key);

  ASSERT_EQ(system_.OpenRegistryKey(RegistryRoot::kCurrentUser, key_.c_str(), kKeyQueryValue, &key),
            kRegistrySuccess);
  uint8_t data[8];
  uint32_t type = 0;
  uint32_t size = sizeof(data);
  EXPECT_EQ(system_.QueryRegistryValue(key, "Missing", &type, data, &size), ERROR_FILE_NOT_FOUND);
  size = sizeof(data);
  EXPECT_EQ(system_.QueryRegistryValue(key, "Text", &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(text));
  const uint32_t number = 1;
  EXPECT_EQ(system_.SetRegistryValue(key, "Number", kRegDword,
                                     reinterpret_cast<const uint8_t*>(&number), sizeof(number)),
            ERROR_ACCESS_DENIED);
  system_.CloseRegistryKey(key);
}

// Tests the window side on a real window of this thread: the status line and
// the button's text land in controls 1000 and 1, the button is shown, and a
// message box is owned by the window and shows the text, caption and style
// it was given, returning the answer.
TEST(Win32SystemWindowTest, StatusButtonAndOwnedMessageBoxes) {
  WorkerState state{kRunning};
  TestProgressWindow window(state);
  Win32System system(window.window());

  system.SetStatusText("\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\r\n(C:\\a)\r\n");
  EXPECT_EQ(window.StatusText(), "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5\r\n(C:\\a)\r\n");
  EXPECT_FALSE(window.ButtonVisible());
  system.ShowButton();
  EXPECT_TRUE(window.ButtonVisible());
  system.SetButtonText("OK");
  EXPECT_EQ(window.ButtonText(), "OK");

  struct Case {
    uint32_t style;
    int answer;
    bool hasCancel;
  };
  for (const Case& c : {Case{kMbOkCancel | kMbIconInformation, kIdCancel, true},
                        Case{kMbOkCancel | kMbIconExclamation, kIdOk, true},
                        Case{kMbOk | kMbIconExclamation, kIdOk, false}}) {
    SCOPED_TRACE(c.style);
    MessageBoxAnswerer answerer(c.answer);
    EXPECT_EQ(system.AskUser("question text", "caption text", c.style), c.answer);
    EXPECT_EQ(answerer.boxes, 1);
    EXPECT_EQ(answerer.owner, window.window());
    EXPECT_EQ(answerer.caption, "caption text");
    EXPECT_EQ(answerer.texts, "question text");
    EXPECT_EQ(answerer.hasCancel, c.hasCancel);
    EXPECT_TRUE(answerer.hasIcon);
  }
}

}  // namespace
}  // namespace brx
