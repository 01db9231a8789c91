// The main window's side of the profile editor, for tests that open the
// editor without a window: the nine tables, loaded from the files.
#pragma once

#include "app/profiles/profile_editor_model.h"
#include "app/profiles/profile_files.h"

namespace test {

class ProfileTablesHost : public ProfileEditorHost {
public:
    explicit ProfileTablesHost(const ProfileFiles& files) : files_(files) {
        files_.LoadAll(tables);
    }
    ProfileTable& ProfileTableOf(int target) override {
        return tables[static_cast<std::size_t>(target)];
    }
    void LoadAllProfileFiles() override { files_.LoadAll(tables); }

    ProfileTables tables{};

private:
    const ProfileFiles& files_;
};

}  // namespace test
