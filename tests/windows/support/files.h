// Real files for the Windows-side tests: a private temporary folder, whole-file reads and
// writes, and the content lines of an INI file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A new empty folder under the temporary folder, deleted with everything in it on destruction.
// `name` (may hold any Unicode character) becomes part of the folder's name.
class TempFolder {
  public:
    explicit TempFolder(const std::wstring& name = L"ls");
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::wstring& Path() const { return path_; }
    // Path of an entry inside the folder.
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

// Creates a folder (and its parents); returns its path.
std::wstring MakeFolder(const std::wstring& path);

// Writes `bytes` as the whole file, replacing it.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole file, or nothing when it cannot be opened (for instance because it does not exist).
std::optional<std::string> ReadFileBytes(const std::wstring& path);

// The lines of an INI text that carry content, in order: blank lines dropped, blanks at both
// ends and around the first '=' removed (the profile functions are free to change those).
std::vector<std::string> ContentLines(const std::string& text);

}  // namespace testing_support
