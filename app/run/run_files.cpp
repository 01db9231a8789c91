#include "app/run/run_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "app/run/output_name.h"
#include "platform/file_names.h"

void RunFiles::Start(const std::vector<std::string>& inputs) {
    inputs_.clear();
    claimed_.clear();
    for (const std::string& path : inputs) {
        // An input that is missing now is skipped by the run; nothing of it
        // can be harmed.
        if (const auto identity = platform::IdentityOf(path)) {
            inputs_.push_back({platform::ResolvedPath(path), *identity});
        }
    }
}

bool RunFiles::IsInput(const std::string& path) const {
    const auto identity = platform::IdentityOf(path);
    const std::string resolved = platform::ResolvedPath(path);
    return std::any_of(inputs_.begin(), inputs_.end(), [&](const Input& input) {
        return (identity && *identity == input.identity) || resolved == input.resolvedPath;
    });
}

bool RunFiles::IsClaimed(const std::string& path) const {
    return std::find(claimed_.begin(), claimed_.end(), path) != claimed_.end();
}

RunFiles::Name RunFiles::Claim(const std::string& wanted) {
    Name name{wanted, Clash::kNone};
    for (int number = 2;; ++number) {
        if (IsInput(name.path)) {
            if (name.clash == Clash::kNone) name.clash = Clash::kInput;
        } else if (IsClaimed(name.path)) {
            if (name.clash == Clash::kNone) name.clash = Clash::kClaimed;
        } else if (struct stat info{}; lstat(name.path.c_str(), &info) == 0) {
            if (name.clash == Clash::kNone) name.clash = Clash::kExisting;
        } else {
            break;
        }
        name.path = NumberedName(wanted, number);
    }
    claimed_.push_back(name.path);
    return name;
}

void RunFiles::Adopt(const std::string& path) {
    if (!IsClaimed(path)) claimed_.push_back(path);
}

bool RunFiles::RemoveUnlessInput(const std::string& path) const {
    if (IsInput(path)) return false;
    return unlink(path.c_str()) == 0;
}

bool RunFiles::Remove(const std::string& path) const {
    return IsClaimed(path) && RemoveUnlessInput(path);
}

void RunFiles::EmptyFolder(const std::string& folder) const {
    platform::MakeEmptyFolder(folder, [this](const std::string& path) { RemoveUnlessInput(path); });
}
