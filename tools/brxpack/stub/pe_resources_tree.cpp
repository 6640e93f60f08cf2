#include "brxpack/stub/pe_resources.h"

#include <algorithm>

#include "package/format.h"

namespace brxpack {

namespace {

constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kDirectoryEntrySize = 8;
constexpr uint32_t kDataRecordSize = 16;
constexpr uint32_t kNamedCountField = 12;
constexpr uint32_t kIdCountField = 14;
constexpr uint32_t kHighBit = 0x80000000;
constexpr int kLanguageLevel = 2;

class TreeReader {
 public:
  TreeReader(brx::MemoryRange section, uint32_t sectionRva)
      : section_(section),
        sectionRva_(sectionRva),
        entriesLeft_(section.size / kDirectoryEntrySize) {}

  Status Read(uint32_t offset, int level, Resource& path, std::vector<Resource>& resources) {
    if (!Inside(offset, kDirectoryHeaderSize)) return Error{"a directory passes its end"};
    const uint8_t* header = section_.data + offset;
    const uint32_t count =
        uint32_t{ReadLe16(header + kNamedCountField)} + ReadLe16(header + kIdCountField);
    // Directories may share subdirectories; counting every entry visited
    // keeps such a tree from multiplying beyond what its bytes could hold.
    if (count > entriesLeft_) return Error{"its tree is larger than its bytes can hold"};
    entriesLeft_ -= count;
    if (!Inside(uint64_t{offset} + kDirectoryHeaderSize, uint64_t{count} * kDirectoryEntrySize)) {
      return Error{"a directory's entries pass its end"};
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entry = header + kDirectoryHeaderSize + i * kDirectoryEntrySize;
      Result<ResourceName> name = Name(brx::ReadLe32(entry));
      if (!name.ok()) return name.TakeError();
      const uint32_t target = brx::ReadLe32(entry + 4);
      const bool subdirectory = (target & kHighBit) != 0;
      if (subdirectory != (level < kLanguageLevel)) {
        return Error{"its tree is not three levels deep (type, name, language)"};
      }
      Status status = Status::Ok();
      if (level < kLanguageLevel) {
        (level == 0 ? path.type : path.name) = std::move(*name);
        status = Read(target & ~kHighBit, level + 1, path, resources);
      } else if (!name->text.empty()) {
        status = Error{"a language is given as a text"};
      } else {
        path.language = name->id;
        status = ReadData(target, path, resources);
      }
      if (!status.ok()) return status;
    }
    return Status::Ok();
  }

 private:
  bool Inside(uint64_t offset, uint64_t length) const { return offset + length <= section_.size; }

  Result<ResourceName> Name(uint32_t field) const {
    ResourceName name;
    if ((field & kHighBit) == 0) {
      name.id = static_cast<uint16_t>(field);
      return name;
    }
    const uint32_t offset = field & ~kHighBit;
    if (!Inside(offset, 2)) return Error{"a name passes its end"};
    const uint32_t length = ReadLe16(section_.data + offset);
    if (length == 0 || !Inside(uint64_t{offset} + 2, uint64_t{length} * 2)) {
      return Error{"a name is empty or passes its end"};
    }
    for (uint32_t i = 0; i < length; ++i) {
      name.text.push_back(static_cast<char16_t>(ReadLe16(section_.data + offset + 2 + 2 * i)));
    }
    return name;
  }

  Status ReadData(uint32_t offset, Resource& path, std::vector<Resource>& resources) const {
    if (!Inside(offset, kDataRecordSize)) return Error{"a data record passes its end"};
    const uint8_t* record = section_.data + offset;
    const uint32_t rva = brx::ReadLe32(record);
    const uint32_t size = brx::ReadLe32(record + 4);
    if (rva < sectionRva_ || !Inside(rva - sectionRva_, size)) {
      return Error{"a resource's bytes lie outside the resource section"};
    }
    const uint8_t* bytes = section_.data + (rva - sectionRva_);
    path.codePage = brx::ReadLe32(record + 8);
    path.bytes.assign(bytes, bytes + size);
    resources.push_back(path);
    return Status::Ok();
  }

  brx::MemoryRange section_;
  uint32_t sectionRva_;
  uint32_t entriesLeft_;
};

bool NameBefore(const ResourceName& a, const ResourceName& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.id < b.id;
}

struct NameGroup {
  ResourceName name;
  std::vector<const Resource*> languages;
  uint32_t directory = 0;  // its offset in the tree
};

struct TypeGroup {
  ResourceName type;
  std::vector<NameGroup> names;
  uint32_t directory = 0;
};

std::vector<TypeGroup> Grouped(const std::vector<Resource>& sorted) {
  std::vector<TypeGroup> types;
  for (const Resource& resource : sorted) {
    if (types.empty() || !(types.back().type == resource.type))
      types.push_back({resource.type, {}});
    std::vector<NameGroup>& names = types.back().names;
    if (names.empty() || !(names.back().name == resource.name))
      names.push_back({resource.name, {}});
    names.back().languages.push_back(&resource);
  }
  return types;
}

// A directory entry: the name field and the target.
using Entries = std::vector<std::pair<uint32_t, uint32_t>>;

class TreeWriter {
 public:
  // Room for `size` bytes at the next multiple of `alignment`; gives its offset.
  uint32_t Reserve(size_t size, uint32_t alignment) {
    bytes_.resize((bytes_.size() + alignment - 1) / alignment * alignment);
    const uint32_t offset = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(bytes_.size() + size);
    return offset;
  }
  uint32_t Directory(size_t entries) {
    return Reserve(kDirectoryHeaderSize + entries * kDirectoryEntrySize, 4);
  }
  // The name field of a directory entry: the number, or the offset of the text.
  uint32_t NameField(const ResourceName& name) {
    if (name.text.empty()) return name.id;
    const uint32_t offset = Reserve(2 + 2 * name.text.size(), 2);
    WriteLe16(&bytes_[offset], static_cast<uint16_t>(name.text.size()));
    for (size_t i = 0; i < name.text.size(); ++i) {
      WriteLe16(&bytes_[offset + 2 + 2 * i], static_cast<uint16_t>(name.text[i]));
    }
    return kHighBit | offset;
  }
  void FillDirectory(uint32_t offset, const Entries& entries) {
    const auto named = std::count_if(entries.begin(), entries.end(),
                                     [](const auto& entry) { return entry.first & kHighBit; });
    WriteLe16(&bytes_[offset + kNamedCountField], static_cast<uint16_t>(named));
    WriteLe16(&bytes_[offset + kIdCountField], static_cast<uint16_t>(entries.size() - named));
    for (size_t i = 0; i < entries.size(); ++i) {
      uint8_t* entry = &bytes_[offset + kDirectoryHeaderSize + i * kDirectoryEntrySize];
      brx::WriteLe32(entry, entries[i].first);
      brx::WriteLe32(entry + 4, entries[i].second);
    }
  }
  uint8_t* at(uint32_t offset) { return &bytes_[offset]; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

Result<std::vector<Resource>> ReadResourceTree(brx::MemoryRange section, uint32_t sectionRva) {
  TreeReader reader(section, sectionRva);
  std::vector<Resource> resources;
  Resource path;
  const Status status = reader.Read(0, 0, path, resources);
  if (!status.ok()) return Error{"its resources: " + status.error()};
  return resources;
}

std::vector<uint8_t> WriteResourceTree(std::vector<Resource> resources, uint32_t sectionRva) {
  std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return NameBefore(a.type, b.type);
    if (!(a.name == b.name)) return NameBefore(a.name, b.name);
    return a.language < b.language;
  });
  std::vector<TypeGroup> types = Grouped(resources);

  TreeWriter writer;
  const uint32_t root = writer.Directory(types.size());
  for (TypeGroup& type : types) type.directory = writer.Directory(type.names.size());
  for (TypeGroup& type : types) {
    for (NameGroup& name : type.names) name.directory = writer.Directory(name.languages.size());
  }
  Entries typeEntries;
  for (const TypeGroup& type : types) {
    typeEntries.emplace_back(writer.NameField(type.type), kHighBit | type.directory);
    Entries nameEntries;
    for (const NameGroup& name : type.names) {
      nameEntries.emplace_back(writer.NameField(name.name), kHighBit | name.directory);
    }
    writer.FillDirectory(type.directory, nameEntries);
  }
  writer.FillDirectory(root, typeEntries);

  std::vector<std::pair<uint32_t, const Resource*>> records;
  for (const TypeGroup& type : types) {
    for (const NameGroup& name : type.names) {
      Entries languages;
      for (const Resource* resource : name.languages) {
        languages.emplace_back(resource->language, writer.Reserve(kDataRecordSize, 4));
        records.emplace_back(languages.back().second, resource);
      }
      writer.FillDirectory(name.directory, languages);
    }
  }
  for (const auto& [record, resource] : records) {
    const uint32_t data = writer.Reserve(resource->bytes.size(), 8);
    if (!resource->bytes.empty()) {
      std::copy(resource->bytes.begin(), resource->bytes.end(), writer.at(data));
    }
    brx::WriteLe32(writer.at(record), sectionRva + data);
    brx::WriteLe32(writer.at(record) + 4, static_cast<uint32_t>(resource->bytes.size()));
    brx::WriteLe32(writer.at(record) + 8, resource->codePage);
  }
  return writer.Take();
}

}  // namespace brxpack
