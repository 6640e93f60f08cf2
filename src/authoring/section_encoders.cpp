#include "authoring/section_encoders.h"

#include "package/format.h"

namespace brx {

namespace {

// Every payload closes with one zero byte beyond its content, as the
// packages in use do; readers never depend on it.
constexpr uint8_t kClosingZero = 0;

void AppendText(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

void AppendUint32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  WriteLe32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace

std::vector<uint8_t> EncodeRegistryKeys(const RegistryKeysInput& keys) {
  std::vector<uint8_t> out;
  AppendText(out, keys.keyPath);
  AppendText(out, keys.folderValueName);
  AppendText(out, keys.programValueName);
  AppendText(out, keys.levelValueName);
  AppendUint32(out, static_cast<uint32_t>(keys.packageLevel));
  out.push_back(kClosingZero);
  return out;
}

std::vector<uint8_t> EncodeStartupMessage(const std::string& caption, const std::string& question) {
  std::vector<uint8_t> out;
  AppendText(out, caption);
  AppendText(out, question);
  out.push_back(kClosingZero);
  return out;
}

std::vector<uint8_t> EncodeNameTable(
    const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::vector<uint8_t> out;
  for (const auto& [source, installed] : pairs) {
    AppendText(out, source);
    AppendText(out, installed);
  }
  out.push_back(0);  // the empty text that ends the table
  out.push_back(kClosingZero);
  return out;
}

std::vector<uint8_t> EncodeTextList(const std::vector<std::string>& items) {
  std::vector<uint8_t> out;
  for (const std::string& item : items) AppendText(out, item);
  out.push_back(0);  // the empty text that ends the list
  out.push_back(kClosingZero);
  return out;
}

std::vector<uint8_t> EncodeCommands(const std::vector<CommandInput>& commands) {
  std::vector<uint8_t> out;
  for (const CommandInput& command : commands) {
    out.push_back(command.flags);
    AppendText(out, command.program);
    AppendText(out, command.arguments);
  }
  // The closing record: a flags byte and an empty program.
  out.push_back(0);
  out.push_back(0);
  out.push_back(kClosingZero);
  return out;
}

std::vector<uint8_t> EncodeRegistryTable(const std::vector<RegistryValueInput>& records) {
  std::vector<uint8_t> out;
  for (const RegistryValueInput& record : records) {
    AppendUint32(out, record.operation);
    AppendUint32(out, record.root);
    AppendText(out, record.key);
    AppendUint32(out, record.type);
    AppendText(out, record.valueName);
    AppendText(out, record.data);
  }
  AppendUint32(out, kRegistryOperationEnd);
  out.push_back(kClosingZero);
  return out;
}

}  // namespace brx
