// The kinds of disc the program writes, as the burning window and the
// disc-writer wizard number them.
#pragma once

enum DiscKind : int { kDvdDisc = 0, kSuperVcdDisc = 1, kVideoCdDisc = 2 };
