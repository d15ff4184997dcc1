#include "preview/fleet/fleet_folders.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "preview/exports/ascii.h"
#include "preview/exports/paths.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

// Deeper than any site layout; a link loop ends here.
constexpr int kMaxDepth = 32;

// What a folder holds, as far as telling machines from parents goes.
struct Listing {
  bool listed = false;  // the folder could be read
  bool ver = false;
  std::vector<std::string> regs;       // .reg file names, in name order
  std::vector<fs::path> subfolders;    // in name order
};

Listing List(const fs::path& folder) {
  Listing listing;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return listing;
  listing.listed = true;
  for (const fs::directory_entry& entry : it) {
    std::error_code kind;
    if (entry.is_directory(kind)) {
      listing.subfolders.push_back(entry.path());
      continue;
    }
    if (!entry.is_regular_file(kind)) continue;
    const std::string name = Utf8Of(entry.path().filename());
    const std::string lower = AsciiLower(name);
    if (lower == "ver.txt") listing.ver = true;
    if (IsRegFile(name)) listing.regs.push_back(name);
  }
  std::sort(listing.regs.begin(), listing.regs.end());
  std::sort(listing.subfolders.begin(), listing.subfolders.end());
  return listing;
}

// Tells machine folders from parents, each folder listed once.
class Scanner {
 public:
  // A folder that cannot be listed counts as a machine folder: its row
  // then says why it does not read.
  bool IsMachine(const fs::path& folder, int depth = 0) {
    const Listing& listing = Of(folder);
    if (!listing.listed || listing.ver) return true;
    return !listing.regs.empty() && !HoldsMachines(folder, depth);
  }

  bool HoldsMachines(const fs::path& folder, int depth = 0) {
    const std::string key = Utf8Of(folder);
    if (auto found = below_.find(key); found != below_.end()) return found->second;
    below_[key] = false;  // a link back here finds no machine on the way
    bool holds = false;
    if (depth < kMaxDepth) {
      for (const fs::path& sub : Of(folder).subfolders) {
        if (IsMachine(sub, depth + 1) || HoldsMachines(sub, depth + 1)) {
          holds = true;
          break;
        }
      }
    }
    return below_[key] = holds;
  }

  const Listing& Of(const fs::path& folder) {
    const std::string key = Utf8Of(folder);
    auto found = listings_.find(key);
    if (found == listings_.end()) found = listings_.emplace(key, List(folder)).first;
    return found->second;
  }

 private:
  std::map<std::string, Listing> listings_;
  std::map<std::string, bool> below_;
};

std::string Joined(const std::string& below, const fs::path& name) {
  return below.empty() ? Utf8Of(name) : below + "/" + Utf8Of(name);
}

void Emit(Scanner& scanner, const fs::path& folder, const std::string& below, int depth,
          FleetFolders* found) {
  if (scanner.IsMachine(folder, depth) || !scanner.HoldsMachines(folder, depth)) {
    found->folders.push_back({Utf8Of(folder), below});
    return;
  }
  const Listing& listing = scanner.Of(folder);
  if (!listing.regs.empty()) {
    std::string names;
    for (const std::string& reg : listing.regs) names += (names.empty() ? "" : ", ") + reg;
    found->warnings.push_back(
        {warning::kStrayExports, Utf8Of(folder) + " holds " + names +
                                     " beside machine folders: read as no machine's"});
  }
  for (const fs::path& sub : listing.subfolders) {
    Emit(scanner, sub, Joined(below, sub.filename()), depth + 1, found);
  }
}

// The same folder, however it was named.
std::string Identity(const std::string& path) {
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(PathOf(path), error);
  if (error) canonical = fs::absolute(PathOf(path), error).lexically_normal();
  std::string text = Utf8Of(canonical);
#ifdef _WIN32
  text = AsciiLower(text);  // names are case-insensitive there
#endif
  return text;
}

// A folder below root by names compared without regard to ASCII case; the
// exact name first.
std::optional<fs::path> Resolve(const std::string& root, const std::string& relative) {
  fs::path at = PathOf(root);
  std::error_code error;
  size_t from = 0;
  while (from <= relative.size()) {
    size_t end = relative.find('/', from);
    if (end == std::string::npos) end = relative.size();
    const std::string name = relative.substr(from, end - from);
    from = end + 1;
    if (name.empty()) continue;
    const fs::path exact = at / PathOf(name);
    if (fs::is_directory(exact, error)) {
      at = exact;
      continue;
    }
    std::vector<fs::path> matches;
    for (const fs::directory_entry& entry : fs::directory_iterator(at, error)) {
      std::error_code kind;
      if (entry.is_directory(kind) &&
          AsciiLower(Utf8Of(entry.path().filename())) == AsciiLower(name)) {
        matches.push_back(entry.path());
      }
    }
    if (matches.empty()) return std::nullopt;
    at = *std::min_element(matches.begin(), matches.end());
  }
  return at;
}

}  // namespace

bool IsMachineFolder(const std::string& folder) {
  Scanner scanner;
  return scanner.IsMachine(PathOf(folder));
}

bool HoldsMachineFolders(const std::string& folder) {
  Scanner scanner;
  return scanner.HoldsMachines(PathOf(folder));
}

FleetFolders FindMachines(const std::vector<std::string>& arguments) {
  FleetFolders found;
  Scanner scanner;
  for (const std::string& argument : arguments) {
    const fs::path path = PathOf(argument);
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      found.folders.push_back({argument, Utf8Of(path.filename())});
      continue;
    }
    // The name it is placed by: its real name for "." and the like.
    fs::path named = fs::absolute(path, error).lexically_normal();
    if (named.has_relative_path() && named.filename().empty()) named = named.parent_path();
    if (scanner.IsMachine(path) || !scanner.HoldsMachines(path)) {
      found.folders.push_back({argument, Utf8Of(named.filename())});
      continue;
    }
    Emit(scanner, path, "", 0, &found);
  }
  // A folder named twice, or both itself and through its parent, is one.
  std::set<std::string> seen;
  std::vector<FoundFolder> unique;
  for (FoundFolder& folder : found.folders) {
    if (seen.insert(Identity(folder.path)).second) unique.push_back(std::move(folder));
  }
  found.folders = std::move(unique);
  return found;
}

std::vector<std::string> MachineNames(const std::vector<std::string>& folders) {
  std::vector<std::vector<std::string>> parts(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    std::error_code error;
    fs::path path = fs::absolute(PathOf(folders[i]), error).lexically_normal();
    if (path.has_relative_path() && path.filename().empty()) path = path.parent_path();
    for (const fs::path& part : path.relative_path()) {
      if (!part.empty()) parts[i].push_back(Utf8Of(part));
    }
    if (parts[i].empty()) parts[i].push_back(Utf8Of(path));
  }
  std::vector<size_t> depth(folders.size(), 1);
  const auto name = [&](size_t i) {
    std::string joined;
    const std::vector<std::string>& p = parts[i];
    for (size_t k = p.size() - std::min(depth[i], p.size()); k < p.size(); ++k) {
      joined += (joined.empty() ? "" : "/") + p[k];
    }
    return joined;
  };
  for (bool grew = true; grew;) {
    grew = false;
    std::map<std::string, std::vector<size_t>> by_name;
    for (size_t i = 0; i < folders.size(); ++i) by_name[AsciiLower(name(i))].push_back(i);
    for (const auto& [n, members] : by_name) {
      if (members.size() < 2) continue;
      for (size_t i : members) {
        if (depth[i] < parts[i].size()) {
          ++depth[i];
          grew = true;
        }
      }
    }
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < folders.size(); ++i) names.push_back(name(i));
  return names;
}

AfterFolder FindAfterFolder(const std::string& root, const std::string& below,
                            const std::string& name) {
  AfterFolder after;
  const std::optional<fs::path> mirrored = Resolve(root, below.empty() ? name : below);
  const std::optional<fs::path> flat = Resolve(root, name);
  std::error_code error;
  if (mirrored && flat && !fs::equivalent(*mirrored, *flat, error)) {
    after.warning = Warning{warning::kTwoAfterFolders,
                            "both " + Utf8Of(*mirrored) + " and " + Utf8Of(*flat) +
                                " exist; judged " + Utf8Of(*mirrored) +
                                ", laid out as the folder collected before"};
  }
  if (mirrored) {
    after.path = Utf8Of(*mirrored);
  } else if (flat) {
    after.path = Utf8Of(*flat);
  }
  return after;
}

}  // namespace preview
