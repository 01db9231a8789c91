// The layers of the source tree, checked on every #include: a folder may
// include only from the folders below it, so the tree reads from the bottom
// (platform services, shared headers) up to the programs, and no two folders
// lean on each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each layer and the layers its files may include from besides its own. A
// file's layer is its top folder, or, inside app/, the folder below app/.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"platform", {}},
    {"libav", {}},
    {"contracts", {}},
    {"ui", {"platform"}},
    {"sdk", {"platform", "libav"}},
    {"korvan", {"platform", "libav", "sdk", "contracts"}},
    {"hosts", {"korvan", "platform", "contracts"}},
    // The program: tool runs at the bottom, then what they run (profiles,
    // discs, the RealMedia hand-off), the run of a queue, the main window's
    // model, and on top the Qt widgets, the automation script, the
    // command-line front end and the programs' own glue.
    {"app/tools", {"platform", "contracts"}},
    {"app/profiles", {"app/tools", "platform", "contracts"}},
    {"app/disc", {"app/tools", "platform", "sdk", "ui"}},
    {"app/rmjob", {"app/tools", "platform", "contracts"}},
    {"app/run", {"app/tools", "app/profiles", "app/disc", "app/rmjob", "platform", "contracts"}},
    {"app/window",
     {"app/run", "app/tools", "app/profiles", "app/disc", "app/rmjob", "platform", "ui",
      "contracts"}},
    {"app/script",
     {"app/window", "app/run", "app/tools", "app/profiles", "app/disc", "app/rmjob", "platform"}},
    {"app/widgets",
     {"app/window", "app/run", "app/tools", "app/profiles", "app/disc", "app/rmjob", "platform",
      "ui"}},
    {"app/cli",
     {"app/run", "app/tools", "app/profiles", "app/disc", "app/rmjob", "platform", "contracts"}},
    {"app/program",
     {"app/script", "app/widgets", "app/window", "app/run", "app/tools", "app/profiles", "app/disc",
      "app/rmjob", "platform", "ui"}},
};

struct Include {
    std::string file;    // relative to the source tree
    std::string target;  // as written: "app/run/run_files.h"
};

std::string LayerOf(const std::string& path) {
    const std::size_t first = path.find('/');
    if (first == std::string::npos) return {};
    const std::string top = path.substr(0, first);
    if (top != "app") return top;
    const std::size_t second = path.find('/', first + 1);
    return second == std::string::npos ? top : path.substr(0, second);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Every quoted include that names a folder, in the sources of the layers.
std::vector<Include> IncludesOfTree(const fs::path& root) {
    std::set<std::string> tops;
    for (const auto& [layer, below] : kAllowed) tops.insert(layer.substr(0, layer.find('/')));
    std::vector<Include> includes;
    for (const std::string& top : tops) {
        if (!fs::exists(root / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string extension = entry.path().extension();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
            const std::string file = fs::relative(entry.path(), root).generic_string();
            std::ifstream in(entry.path());
            std::string line;
            while (std::getline(in, line)) {
                if (!line.starts_with("#include \"")) continue;
                const std::size_t end = line.find('"', 10);
                const std::string target = line.substr(10, end - 10);
                if (end != std::string::npos && target.find('/') != std::string::npos) {
                    includes.push_back({file, target});
                }
            }
        }
    }
    return includes;
}

// "file includes target, but layer may not include from layer" for every
// include the table does not allow.
std::vector<std::string> UpwardIncludes(const std::vector<Include>& includes) {
    std::vector<std::string> wrong;
    for (const Include& include : includes) {
        const std::string from = LayerOf(include.file);
        const std::string to = LayerOf(include.target);
        if (from == to) continue;
        const auto allowed = kAllowed.find(from);
        if (allowed == kAllowed.end() || !allowed->second.contains(to)) {
            wrong.push_back(include.file + " includes " + include.target + ", but " + from +
                            " may not include from " + to);
        }
    }
    return wrong;
}

// A circle of folders ("a -> b -> a") that include from each other, or "".
std::string FolderCircle(const std::vector<Include>& includes) {
    std::map<std::string, std::set<std::string>> edges;
    for (const Include& include : includes) {
        const std::string from = FolderOf(include.file);
        const std::string to = FolderOf(include.target);
        if (from != to) edges[from].insert(to);
    }
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::string circle;
    const auto visit = [&](const auto& self, const std::string& folder) -> void {
        state[folder] = 1;
        path.push_back(folder);
        for (const std::string& next : edges[folder]) {
            if (!circle.empty()) break;
            if (state[next] == 1) {
                const auto start = std::find(path.begin(), path.end(), next);
                for (auto it = start; it != path.end(); ++it) circle += *it + " -> ";
                circle += next;
            } else if (state[next] == 0) {
                self(self, next);
            }
        }
        path.pop_back();
        state[folder] = 2;
    };
    for (const auto& [folder, targets] : edges) {
        if (circle.empty() && state[folder] == 0) visit(visit, folder);
    }
    return circle;
}

TEST(IncludeDirectionsTest, NoFolderIncludesFromALayerAboveIt) {
    const std::vector<Include> includes = IncludesOfTree(ZARVO_SOURCE_DIR);
    ASSERT_GT(includes.size(), 1000u);
    for (const std::string& wrong : UpwardIncludes(includes)) ADD_FAILURE() << wrong;
}

TEST(IncludeDirectionsTest, NoFoldersIncludeFromEachOtherInACircle) {
    EXPECT_EQ(FolderCircle(IncludesOfTree(ZARVO_SOURCE_DIR)), "");
}

TEST(IncludeDirectionsTest, TheChecksSeeAnUpwardIncludeAndACircle) {
    const std::vector<Include> upward = {
        {"app/run/conversion_queue.cpp", "app/run/run_files.h"},
        {"app/run/conversion_queue.cpp", "app/tools/run_context.h"},
        {"app/run/conversion_queue.h", "app/window/main_window_model.h"},
        {"sdk/realengine/decoder.h", "korvan/media/handles.h"}};
    EXPECT_EQ(UpwardIncludes(upward),
              (std::vector<std::string>{
                  "app/run/conversion_queue.h includes app/window/main_window_model.h, but "
                  "app/run may not include from app/window",
                  "sdk/realengine/decoder.h includes korvan/media/handles.h, but sdk may not "
                  "include from korvan"}));
    const std::vector<Include> circle = {{"korvan/a/x.cpp", "korvan/b/y.h"},
                                         {"korvan/b/y.cpp", "korvan/c/z.h"},
                                         {"korvan/c/z.cpp", "korvan/a/x.h"}};
    EXPECT_EQ(FolderCircle(circle), "korvan/a -> korvan/b -> korvan/c -> korvan/a");
    EXPECT_EQ(FolderCircle({circle[0], circle[1]}), "");
}

}  // namespace
