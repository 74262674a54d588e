// SPDX-License-Identifier: MIT
// The open-file dialog's model on std::filesystem. Paths are folded on their
// text, never through realpath, so a folder reached through a link keeps the
// name the user saw.
#include "win/FileBrowser.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "sys/Unicode.h"
#include "win/FileDialog.h"
#include "win/Places.h"

namespace fs = std::filesystem;

namespace win {
namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    auto cmp = [](char x, char y) {
        return (unsigned char)lowerAscii(x) < (unsigned char)lowerAscii(y);
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), cmp)) return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), cmp)) return false;
    return a < b; // "A.jpg" and "a.jpg" may both exist; keep the order stable
}

std::string slashes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

// Absolute '/'-separated path with "." and ".." folded and no trailing '/'.
std::string normalize(const std::string& absolute) {
    std::string out = fs::path(absolute).lexically_normal().generic_string();
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out.empty() ? "/" : out;
}

std::string workingFolder() {
    std::error_code error;
    fs::path cwd = fs::current_path(error);
    return error ? std::string("/") : normalize(cwd.generic_string());
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

bool isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool isFile(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    return !error && fs::exists(status) && !fs::is_directory(status);
}

bool isRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// "~" and "~/..." name the home folder; "~user" is left as a name.
std::string absoluteFrom(const std::string& base, std::string_view typed,
                         const std::string& home = {}) {
    std::string path = slashes(typed);
    if (!home.empty() && (path == "~" || path.starts_with("~/"))) path = home + path.substr(1);
    if (path.empty() || path.front() != '/') path = base + "/" + path;
    return normalize(path);
}

int64_t secondsSinceEpoch(fs::file_time_type time) {
    using namespace std::chrono;
    return duration_cast<seconds>(time - fs::file_time_type::clock::now() +
                                  system_clock::now().time_since_epoch())
        .count();
}

bool endsWithSeparator(std::string_view text) {
    return !text.empty() && (text.back() == '/' || text.back() == '\\');
}

} // namespace

std::vector<FileFilter> parseFilterList(const char16_t* list) {
    std::vector<FileFilter> filters;
    if (!list) return filters;
    auto next = [&list]() {
        std::u16string_view part(list);
        list += part.size() + 1;
        return part;
    };
    for (;;) {
        std::u16string_view description = next();
        if (description.empty()) break;
        std::u16string_view patterns = next();
        if (patterns.empty()) break;
        FileFilter filter{sys::utf16ToUtf8(description), {}};
        std::string all = sys::utf16ToUtf8(patterns);
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = std::min(all.find(';', start), all.size());
            std::string pattern = all.substr(start, end - start);
            pattern.erase(0, pattern.find_first_not_of(' '));
            pattern.erase(pattern.find_last_not_of(' ') + 1);
            if (!pattern.empty()) filter.patterns.push_back(pattern);
            start = end + 1;
        }
        filters.push_back(std::move(filter));
    }
    return filters;
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*") return true;
    // Greedy glob with one backtrack point: the last '*' seen is the only
    // one worth retrying, which keeps this linear in practice.
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool matchesFilter(std::string_view name, const FileFilter& filter) {
    return std::any_of(
        filter.patterns.begin(), filter.patterns.end(),
        [name](const std::string& pattern) { return matchesPattern(name, pattern); });
}

FileBrowser::FileBrowser(std::vector<FileFilter> filters, int filterIndex, DWORD flags)
    : filters_(std::move(filters)), flags_(flags), home_(homeFolder()) {
    filterIndex_ = filterIndex >= 0 && filterIndex < int(filters_.size()) ? filterIndex : 0;
}

void FileBrowser::start(std::string_view previousPath, std::string_view initialFolder) {
    const std::string cwd = workingFolder();
    std::string folder = cwd;
    if (!initialFolder.empty() && isFolder(absoluteFrom(cwd, initialFolder)))
        folder = absoluteFrom(cwd, initialFolder);
    text_.clear();
    if (!previousPath.empty()) {
        std::string previous = absoluteFrom(cwd, previousPath);
        if (isFolder(previous)) {
            folder = previous;
        } else {
            // The name stays even when its folder has gone: the user sees
            // what was chosen last and accept() says why it is refused.
            if (isFolder(parentOf(previous))) folder = parentOf(previous);
            text_ = nameOf(previous);
        }
    }
    open(folder);
}

void FileBrowser::setFilter(int index) {
    if (index < 0 || index >= int(filters_.size())) return;
    filterIndex_ = index;
    refresh();
}

void FileBrowser::sortBy(SortBy column, bool ascending) {
    sortBy_ = column;
    ascending_ = ascending;
    sortEntries();
}

std::optional<size_t> FileBrowser::findByPrefix(std::string_view prefix, size_t from) const {
    if (prefix.empty() || entries_.empty()) return std::nullopt;
    auto starts = [prefix](const std::string& name) {
        return name.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), name.begin(),
                          [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    };
    for (size_t step = 0; step < entries_.size(); ++step) {
        const size_t i = (from + step) % entries_.size();
        if (starts(entries_[i].name)) return i;
    }
    return std::nullopt;
}

bool FileBrowser::enterFolder(std::string_view name) {
    std::string path = resolve(name);
    if (!isFolder(path)) {
        message_ = std::string(name) + "\nThe path does not exist.\nCheck the path and try again.";
        return false;
    }
    text_.clear();
    open(path);
    return true;
}

bool FileBrowser::up() {
    if (folder_ == "/") return false;
    text_.clear();
    open(parentOf(folder_));
    return true;
}

void FileBrowser::select(std::string_view name) {
    text_ = std::string(name);
}

void FileBrowser::refresh() {
    open(folder_);
}

std::optional<std::string> FileBrowser::accept() {
    message_.clear();
    refusedTooLong_ = false;
    if (text_.find_first_not_of(' ') == std::string::npos) return std::nullopt;
    std::string path = resolve(text_);
    if (isFolder(path)) {
        text_.clear();
        open(path);
        return std::nullopt;
    }
    const bool folderMissing = !isFolder(parentOf(path));
    if (endsWithSeparator(text_) || (folderMissing && (flags_ & OFN_PATHMUSTEXIST))) {
        message_ = text_ + "\nThe path does not exist.\nCheck the path and try again.";
        return std::nullopt;
    }
    if (!defaultExtension_.empty() && !isFile(path) && nameOf(path).find('.') == std::string::npos)
        path += "." + defaultExtension_;
    if ((flags_ & OFN_FILEMUSTEXIST) && !isFile(path)) {
        message_ = text_ + "\nFile not found.\nCheck the file name and try again.";
        return std::nullopt;
    }
    if (isFile(path) && !isRegularFile(path)) {
        message_ = text_ + "\nThis is not a regular file (a pipe, device or socket).\n"
                           "Choose an image file.";
        return std::nullopt;
    }
    if (const size_t units = sys::utf8ToUtf16(path).size();
        pathCapacity_ && units >= pathCapacity_) {
        // Cutting the path would name another file, so it is refused whole.
        message_ = path + "\nThe path is " + std::to_string(units) + " characters long; at most " +
                   std::to_string(pathCapacity_ - 1) +
                   " fit.\nMove or rename the file to a shorter path and try again.";
        refusedTooLong_ = true;
        return std::nullopt;
    }
    return path;
}

std::string FileBrowser::resolve(std::string_view typed) const {
    return absoluteFrom(folder_, typed, home_);
}

bool FileBrowser::open(const std::string& folder) {
    folder_ = folder;
    entries_.clear();
    message_.clear();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    const FileFilter* filter = filters_.empty() ? nullptr : &filters_[size_t(filterIndex_)];
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') continue;
        std::error_code statError;
        // Follows links, so a link to a folder is entered like a folder.
        bool folderEntry = it->is_directory(statError);
        if (!folderEntry && filter && !matchesFilter(name, *filter)) continue;
        Entry entry{std::move(name), folderEntry};
        // A link whose target is gone still lists, without size or date.
        if (!folderEntry && it->is_regular_file(statError)) entry.size = it->file_size(statError);
        if (const auto time = it->last_write_time(statError); !statError)
            entry.modified = secondsSinceEpoch(time);
        entries_.push_back(std::move(entry));
    }
    if (error) {
        entries_.clear();
        message_ = "Cannot read the folder " + folder + ":\n" + error.message();
        return false;
    }
    sortEntries();
    return true;
}

void FileBrowser::sortEntries() {
    const SortBy column = sortBy_;
    const bool ascending = ascending_;
    std::sort(entries_.begin(), entries_.end(),
              [column, ascending](const Entry& a, const Entry& b) {
                  if (a.folder != b.folder) return a.folder;
                  const Entry& x = ascending ? a : b;
                  const Entry& y = ascending ? b : a;
                  // Equal sizes or dates fall back to the name, so the order never
                  // depends on how the folder happened to be read.
                  if (column == SortBy::Size && x.size != y.size) return x.size < y.size;
                  if (column == SortBy::Date && x.modified != y.modified)
                      return x.modified < y.modified;
                  return lessIgnoringCase(x.name, y.name);
              });
}

} // namespace win
