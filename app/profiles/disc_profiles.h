// The DVD target's profiles that make SuperVCD and VideoCD discs rather than
// DVDs: their conversions are for those discs, and their results go to the
// burning window without a DVD image.
#pragma once

inline bool IsSuperVcdProfile(int profileIndex) { return profileIndex == 4 || profileIndex == 10; }
inline bool IsVideoCdProfile(int profileIndex) { return profileIndex == 5 || profileIndex == 11; }
